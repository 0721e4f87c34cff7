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
        if (m_hStatus)
            SendMessageA(m_hStatus, WM_SIZE, wParam, lParam);
        layout();
        return 0;
    case WM_SETCURSOR: {
        m_traceCursor = kCursorUnknown;
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
        break;
    case WM_SOCKET_NOTIFY:
        CAsyncSocket::HandleNotification(reinterpret_cast<CAsyncSocket*>(wParam));
        return 0;
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
    if (CBaseList* list = CBaseList::fromHandle(header->hwndFrom)) {
        LRESULT result = 0;
        if (list->onNotify(header, &result))
            return result;
    }
    return DefWindowProcA(m_hWnd, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

void CMyMainWnd::createChildren() {
    m_hStatus = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, "Started", m_hWnd, IDC_STATUSBAR);
    m_statusText = "Started";
    m_traceBar.create(this);
    m_toolBar.create(this, CCS_TOP);
    layout();
}

void CMyMainWnd::layout() {
    if (!m_hWnd)
        return;
    RECT client;
    GetClientRect(m_hWnd, &client);
    int statusHeight = 0;
    if (m_hStatus) {
        RECT status;
        GetClientRect(m_hStatus, &status);
        statusHeight = status.bottom - status.top;
    }
    // The pane row (still empty) runs from under the toolbar to the splitter bar above the
    // trace bar.
    const int paneBottom = client.bottom - m_traceBar.m_height - statusHeight - kSplitterBar;
    if (m_traceBar.m_hWnd)
        m_traceBar.move(0, paneBottom + kSplitterBar, client.right, m_traceBar.m_height);
}

void CMyMainWnd::setStatus(const CString& text) {
    // Every trace line sets the status, mostly to what it shows already; each setting
    // repaints the bar.
    if (!m_hStatus || text == m_statusText)
        return;
    m_statusText = text;
    SendMessageA(m_hStatus, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
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
