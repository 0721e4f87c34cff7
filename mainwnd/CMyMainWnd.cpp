// The main window: class, creation, message handling and the placement of its children.
#include "mainwnd/CMyMainWnd.h"

#include "engine/Command.h"
#include "engine/SimpleCommands.h"
#include "net/AsyncSocket.h"
#include "panes/CBaseList.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "transfer/TransferCommands.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

namespace {
const char kClassName[] = "MainWClass";
} // namespace

CString MainWindowTitle(const CString& account) { return "Tarnwick2 - " + account; }

CMyMainWnd::CMyMainWnd() {
    // The shell's small system icons, asked for through the root of drive C:.
    SHFILEINFOA info = {};
    m_hSmallImages = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // As stored, for 96 DPI: the window scales them once it knows its screen.
    setPaneSizes(ReadStoredSizes());
    m_hHalftoneBrush = makeHalftoneBrush();
}

CMyMainWnd::~CMyMainWnd() {
    if (GetCallBackController() == this)
        SetCallBackController(nullptr);
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    if (m_hHalftoneBrush)
        DeleteObject(m_hHalftoneBrush);
}

bool CMyMainWnd::registerWindowClass(HINSTANCE instance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = staticProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TARNWICK));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = kClassName;
    return RegisterClassExA(&wc) != 0;
}

bool CMyMainWnd::create(HINSTANCE instance, int showCommand) {
    m_hInstance = instance;
    m_hAccel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
    CString title = MainWindowTitle(GetPrefString(PREFS_SECTION, "DEFAULT", ""));
    HWND window = CreateWindowExA(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, instance, this);
    if (!window)
        return false;
    const bool plainShow = showCommand == SW_SHOW || showCommand == SW_SHOWNORMAL ||
                           showCommand == SW_SHOWDEFAULT;
    ShowWindow(window, m_bRestoreMaximised && plainShow ? SW_SHOWMAXIMIZED : showCommand);
    // Stored sizes that do not fit the window as shown (a damaged settings file, a smaller
    // screen) are brought within what dragging allows; a minimised window has no size to go by.
    if (!IsIconic(window)) {
        setPaneSizes(ClampSizes(layoutFrame(), paneSizes()));
        layout();
    }
    UpdateWindow(window);
    return true;
}

namespace {
// The in-place editor of a list or tree label: an edit control inside the list or tree.
bool isLabelEditor(HWND window) {
    char name[64] = "";
    if (!window || !GetClassNameA(window, name, sizeof name) || lstrcmpiA(name, "Edit") != 0)
        return false;
    char parent[64] = "";
    GetClassNameA(GetParent(window), parent, sizeof parent);
    return lstrcmpiA(parent, WC_LISTVIEWA) == 0 || lstrcmpiA(parent, WC_TREEVIEWA) == 0;
}
} // namespace

bool CMyMainWnd::translateAccelerator(MSG& msg) {
    // Accelerators are keys; the rest (socket notifications, the pump) pass by at once.
    if (!m_hWnd || !m_hAccel || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    // Only keys meant for this window: a dialog of its own keeps its keys.
    if (msg.hwnd != m_hWnd && !IsChild(m_hWnd, msg.hwnd))
        return false;
    if (isLabelEditor(GetFocus()))
        return false;
    // Translated for this window, not for the control that has the focus: a list view does
    // not pass WM_COMMAND on.
    return TranslateAcceleratorA(m_hWnd, m_hAccel, &msg) != 0;
}

LRESULT CALLBACK CMyMainWnd::staticProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<CMyMainWnd*>(create->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = window;
    }
    auto* self = reinterpret_cast<CMyMainWnd*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // No message of a later window with this handle may reach the object.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->windowProc(message, wParam, lParam);
}

LRESULT CMyMainWnd::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        LRESULT result = DefWindowProcA(m_hWnd, message, wParam, lParam);
        RegisterTransferCommands();
        SetCallBackController(this);
        CAsyncSocket::SetNotifyWindow(m_hWnd);
        createChildren();
        restoreWindowRect();
        return result;
    }
    case WM_DESTROY:
        if (GetCallBackController() == this)
            SetCallBackController(nullptr);
        KillTimer(m_hWnd, IDT_QUEUE);
        KillTimer(m_hWnd, IDT_STATUS);
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        if (m_bClosing)
            return 0; // closed once the goodbye is over
        m_bClosing = true;
        QuitBeforeExit(m_queue);
        saveLayout();
        break; // the default processing destroys the window
    case WM_SIZE:
        // The bars size themselves to the new width when told.
        if (m_hStatus)
            SendMessageA(m_hStatus, WM_SIZE, wParam, lParam);
        if (m_toolBar.m_hWnd)
            SendMessageA(m_toolBar.m_hWnd, TB_AUTOSIZE, 0, 0);
        layout();
        return 0;
    case WM_ERASEBKGND:
        // 0: the flat toolbar, which asks its parent for its background first, then paints
        // its own instead of leaving it black.
        drawSplitters(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETCURSOR: {
        m_traceCursor = kCursorUnknown;
        CCommand* current = m_queue.currentCommand();
        if (current && current->getState() != CMD_FINISHED && current->getState() != CMD_ERROR) {
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
            return TRUE;
        }
        if (reinterpret_cast<HWND>(wParam) == m_hWnd && LOWORD(lParam) == HTCLIENT &&
            setSplitterCursor())
            return TRUE;
        break;
    }
    case WM_LBUTTONDOWN:
        beginDrag(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        dragTo(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        endDrag();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != m_hWnd)
            cancelDrag();
        return 0;
    case WM_DPICHANGED:
        onDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_NOTIFY: return onNotifyMessage(reinterpret_cast<NMHDR*>(lParam));
    case WM_MENUSELECT: {
        char text[256];
        int id = LOWORD(wParam);
        bool found = id != 0 && LoadStringA(m_hInstance, static_cast<UINT>(id), text,
                                            sizeof text) > 0;
        setStatus(found ? CString(text) : CString("Ready"));
        break;
    }
    case WM_QUEUE_PUMP:
        if (wParam != m_pumpTicket)
            return 0;
        m_pumpPosted = false;
        m_queue.pump();
        return 0;
    case WM_TIMER:
        if (wParam == IDT_QUEUE) {
            KillTimer(m_hWnd, IDT_QUEUE);
            m_queue.pump();
            return 0;
        }
        if (wParam == IDT_STATUS) {
            setStatus(m_statusWaiting, true);
            return 0;
        }
        break;
    case WM_SOCKET_NOTIFY:
        CAsyncSocket::HandleNotification(reinterpret_cast<CAsyncSocket*>(wParam));
        return 0;
    case WM_OPEN_SEARCH: openSearchDialog(wParam != 0); return 0;
    case WM_COMMAND:
        if (onCommand(LOWORD(wParam)))
            return 1;
        break;
    default: break;
    }
    return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CMyMainWnd::onNotifyMessage(NMHDR* header) {
    if (!header)
        return 0;
    if (header->code == TBN_DROPDOWN && header->hwndFrom == m_toolBar.m_hWnd) {
        showAccountMenu();
        return TBDDRET_DEFAULT;
    }
    if (header->code == TTN_NEEDTEXTA) {
        auto* tip = reinterpret_cast<NMTTDISPINFOA*>(header);
        char text[80];
        if (LoadStringA(m_hInstance, static_cast<UINT>(header->idFrom), text, sizeof text) > 0) {
            lstrcpynA(tip->szText, text, sizeof tip->szText);
            return 0;
        }
        return DefWindowProcA(m_hWnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
    }
    // By the sender's handle, not its id: the status bar shares its id with the remote tree.
    LRESULT result = 0;
    if (CBaseList* list = CBaseList::fromHandle(header->hwndFrom)) {
        if (list->onNotify(header, &result))
            return result;
    } else if (CMyBaseTree* tree = CMyBaseTree::fromHandle(header->hwndFrom)) {
        if (tree->onNotify(header, &result))
            return result;
    }
    return DefWindowProcA(m_hWnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

void CMyMainWnd::createChildren() {
    m_hStatus = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Started", m_hWnd, IDC_STATUSBAR);
    m_statusText = "Started";
    m_traceBar.create(this);
    m_toolBar.create(this, CCS_TOP);
    createPanes();
}

bool CMyMainWnd::createPanes() {
    bool ok = m_leftList.create(this) && m_rightList.create(this) && m_leftTree.create(this);
    if (ok)
        m_leftTree.initRoot();
    ok = ok && m_rightTree.create(this);
    if (ok)
        m_rightTree.initRoot();
    layout();
    // The last folder was scrolled to while the tree was still small.
    if (HTREEITEM selected = m_leftTree.getSelection())
        SendMessageA(m_leftTree.window(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(selected));
    return ok;
}

// From the top: the toolbar, the four panes side by side with a splitter bar between each
// two, the splitter bar above the trace bar, the trace bar, the status bar.
void CMyMainWnd::layout() {
    if (!m_hWnd)
        return;
    const PanePlacement placed = PlacePanes(layoutFrame(), paneSizes());
    const HWND panes[4] = {m_leftTree.window(), m_leftList.window(), m_rightTree.window(),
                           m_rightList.window()};
    for (int i = 0; i < 4; ++i) {
        const LayoutRect& pane = placed.pane[i];
        if (panes[i])
            MoveWindow(panes[i], pane.left, pane.top, pane.width(), pane.height(), TRUE);
    }
    if (m_traceBar.m_hWnd)
        m_traceBar.move(0, placed.trace.top, placed.trace.width(), placed.trace.height());
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMyMainWnd::setStatus(const CString& text, bool isCount) {
    if (m_statusWaits) {
        KillTimer(m_hWnd, IDT_STATUS);
        m_statusWaits = false;
    }
    m_statusIsCount = isCount;
    if (isCount)
        m_statusShownAt = GetTickCount();
    // Every trace line sets the status, mostly to what it shows already; each setting
    // repaints the bar.
    if (!m_hStatus || text == m_statusText)
        return;
    m_statusText = text;
    SendMessageA(m_hStatus, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMyMainWnd::showQueueStatus(const CString& text, bool isCount) {
    // The count changes with nearly every trace line, and the bar repaints as its text is
    // set: two or three paints per small file. So one count replaces another at most every
    // kStatusDelayMs, the newest shown when the time is up (by the timer, or by the next line
    // when posted messages keep the timer waiting). "Ready", and a count replacing any other
    // text, show at once: the bar says "Ready" exactly when nothing is pending.
    constexpr DWORD kStatusDelayMs = 50;
    if (text == m_statusText && !m_statusWaits)
        return;
    if (isCount && m_statusIsCount && GetTickCount() - m_statusShownAt < kStatusDelayMs) {
        m_statusWaiting = text;
        if (!m_statusWaits)
            m_statusWaits = SetTimer(m_hWnd, IDT_STATUS, kStatusDelayMs, nullptr) != 0;
        if (m_statusWaits)
            return;
    }
    setStatus(text, isCount);
}

void CMyMainWnd::schedulePump() {
    if (!m_hWnd || m_pumpPosted)
        return;
    // A timer would wait 10 to 16 ms for every finished command; a posted message runs next.
    if (PostMessageA(m_hWnd, WM_QUEUE_PUMP, m_pumpTicket, 0))
        m_pumpPosted = true;
    else
        SetTimer(m_hWnd, IDT_QUEUE, 1, nullptr);
}

void CMyMainWnd::postCommand(int id) {
    PostMessageA(m_hWnd, WM_COMMAND, static_cast<WPARAM>(id), 0);
    if (m_pumpPosted) {
        ++m_pumpTicket;
        m_pumpPosted = false;
        schedulePump();
    }
}

void CMyMainWnd::updateTitle() {
    if (m_hWnd)
        SetWindowTextA(m_hWnd,
                       MainWindowTitle(GetPrefString(PREFS_SECTION, "DEFAULT", "")).c_str());
}
