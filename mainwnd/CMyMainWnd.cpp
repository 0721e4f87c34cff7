// The main window: class, creation, message handling and the placement of its children.
#include "mainwnd/CMyMainWnd.h"

#include "engine/Command.h"
#include "net/AsyncSocket.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "panes/CBaseList.h"
#include "res/resource.h"
#include "settings/Prefs.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {
const char kClassName[] = "MainWClass";
// The horizontal splitter bar between the panes and the trace bar.
constexpr int kSplitterBar = 6;
} // namespace

CString MainWindowTitle(const CString& account) { return "Tarnwick2 - " + account; }

CMyMainWnd::CMyMainWnd() {
    // The shell's small system icons, asked for through the root of drive C:.
    SHFILEINFOA info = {};
    m_hSmallImages = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    m_traceBar.m_height = GetPrefInt(PREFS_SECTION, "TRACEH", 100);
}

CMyMainWnd::~CMyMainWnd() {
    if (GetCallBackController() == this)
        SetCallBackController(nullptr);
    if (m_hWnd)
        DestroyWindow(m_hWnd);
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
    ShowWindow(window, showCommand);
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
    if (!m_hWnd || !m_hAccel)
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
        SetCallBackController(this);
        CAsyncSocket::SetNotifyWindow(m_hWnd);
        createChildren();
        return result;
    }
    case WM_DESTROY:
        if (GetCallBackController() == this)
            SetCallBackController(nullptr);
        KillTimer(m_hWnd, IDT_QUEUE);
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        GetDataConnection().Close();
        GetControlSocket().Close();
        GetDataListener().Close();
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
        drawSplitters(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_SETCURSOR: {
        CCommand* current = m_queue.currentCommand();
        if (current && current->getState() != CMD_FINISHED && current->getState() != CMD_ERROR) {
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
            return TRUE;
        }
        break;
    }
    case WM_NOTIFY: return onNotifyMessage(reinterpret_cast<NMHDR*>(lParam));
    case WM_MENUSELECT: {
        char text[256];
        int id = LOWORD(wParam);
        bool found = id != 0 && LoadStringA(m_hInstance, static_cast<UINT>(id), text,
                                            sizeof text) > 0;
        setStatus(found ? CString(text) : CString("Ready"));
        break;
    }
    case WM_TIMER:
        if (wParam == IDT_QUEUE) {
            KillTimer(m_hWnd, IDT_QUEUE);
            m_queue.pump();
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
    const PaneRow row = paneRow();
    const int height = row.bottom - row.top;
    const int w0 = m_splitterW[0], w1 = m_splitterW[1], w2 = m_splitterW[2];
    MoveWindow(m_leftTree.window(), 0, row.top, w0 - kSplitterBar / 2, height, TRUE);
    MoveWindow(m_leftList.window(), w0 + kSplitterBar / 2, row.top, w1 - kSplitterBar, height,
               TRUE);
    MoveWindow(m_rightTree.window(), w0 + w1 + kSplitterBar / 2, row.top, w2 - kSplitterBar,
               height, TRUE);
    MoveWindow(m_rightList.window(), w0 + w1 + w2 + kSplitterBar / 2, row.top,
               row.width - w0 - w1 - w2 - kSplitterBar / 2, height, TRUE);
    if (m_traceBar.m_hWnd)
        m_traceBar.move(0, row.bottom + kSplitterBar, row.width, m_traceBar.m_height);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

CMyMainWnd::PaneRow CMyMainWnd::paneRow() const {
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    int statusHeight = 0;
    if (m_hStatus) {
        RECT status;
        GetClientRect(m_hStatus, &status);
        statusHeight = status.bottom - status.top;
    }
    PaneRow row;
    row.width = client.right;
    // The panes overlap the toolbar's lower border.
    row.top = m_toolBar.height() - 2;
    row.bottom = client.bottom - m_traceBar.m_height - statusHeight - kSplitterBar;
    return row;
}

// The window's own background is only the splitter bars between the panes, and the strip
// behind the toolbar (a flat toolbar lets its parent paint its background).
void CMyMainWnd::drawSplitters(HDC dc) {
    if (!dc)
        return;
    const PaneRow row = paneRow();
    RECT strip = {0, 0, row.width, row.top};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
    int x = -kSplitterBar / 2;
    for (int i = 0; i < 3; ++i) {
        x += m_splitterW[i];
        RECT bar = {x, row.top, x + kSplitterBar, row.bottom};
        DrawEdge(dc, &bar, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
    RECT bar = {0, row.bottom, row.width, row.bottom + kSplitterBar};
    DrawEdge(dc, &bar, EDGE_RAISED, BF_RECT | BF_MIDDLE);
}

void CMyMainWnd::setStatus(const CString& text) {
    if (m_hStatus)
        SendMessageA(m_hStatus, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMyMainWnd::setQueueTimer() {
    if (m_hWnd)
        SetTimer(m_hWnd, IDT_QUEUE, 1, nullptr);
}

void CMyMainWnd::updateTitle() {
    if (m_hWnd)
        SetWindowTextA(m_hWnd,
                       MainWindowTitle(GetPrefString(PREFS_SECTION, "DEFAULT", "")).c_str());
}
