#include "tests/ui/UiHarness.h"

#include "panes/CBaseList.h"
#include "panes/CMyBaseTree.h"
#include "tests/ui/PngWriter.h"

#include <gtest/gtest.h>
#include <shellapi.h>

namespace ui_test {

// ---- Pumping -------------------------------------------------------------------------------

void PumpPending() {
    MSG msg;
    // Bounded: a window that keeps posting to itself cannot hold the test here.
    for (int n = 0; n < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (done())
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return done();
        DWORD wait = static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

// ---- Host window ---------------------------------------------------------------------------

namespace {
const char* const kHostClass = "TarnwickUiTestHost";
}

HostWindow::HostWindow(int clientWidth, int clientHeight, const char* title) {
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kHostClass;
        registered = RegisterClassExA(&wc) != 0;
    }
    SHFILEINFOA info = {};
    m_images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    m_hWnd = CreateWindowExA(0, kHostClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                             instance, this);
    SetForegroundWindow(m_hWnd);
    PumpPending();
}

HostWindow::~HostWindow() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    PumpPending();
}

LRESULT CALLBACK HostWindow::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NOTIFY: {
        // As the main window does: the pane that sent it handles it.
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (CBaseList* list = CBaseList::fromHandle(header->hwndFrom)) {
            if (list->onNotify(header, &result))
                return result;
        } else if (CMyBaseTree* tree = CMyBaseTree::fromHandle(header->hwndFrom)) {
            if (tree->onNotify(header, &result))
                return result;
        }
        break;
    }
    case WM_COMMAND:
        if (host)
            host->m_commands.push_back(LOWORD(wParam));
        return 0;
    case WM_NCDESTROY:
        if (host)
            host->m_hWnd = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Finding windows -----------------------------------------------------------------------

CString ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return CString(name);
}

namespace {

struct WindowQuery {
    const char* className;
    const char* text;
    HWND found;
};

bool matches(HWND window, const WindowQuery& query) {
    if (query.className && ClassOf(window) != query.className)
        return false;
    if (!query.text)
        return true;
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return CString(text) == query.text;
}

BOOL CALLBACK visitTopLevel(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    if (IsWindowVisible(window) && matches(window, *query)) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindThreadWindow(const char* className, const char* title) {
    WindowQuery query = {className, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &visitTopLevel, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// ---- Modal dialogs and popup menus --------------------------------------------------------

namespace {

// Something to do from inside a modal loop (a dialog's or a menu's) that open() starts: a
// thread timer looks for the window, acts on it once, and gives up at the deadline.
struct LoopRun {
    const char* className;
    const char* title;
    std::function<void(HWND)> act;    // once, when the window has appeared
    std::function<void(HWND)> expire; // at the deadline, with the window or null
    ULONGLONG deadline = 0;
    bool acted = false;
    bool expired = false;
};

LoopRun* g_loop = nullptr;

void CALLBACK loopTick(HWND, UINT, UINT_PTR, DWORD) {
    LoopRun* run = g_loop;
    if (!run)
        return;
    HWND window = FindThreadWindow(run->className, run->title);
    if (GetTickCount64() >= run->deadline) {
        if (!run->expired) {
            run->expired = true;
            run->expire(window);
        }
        return;
    }
    // Once only, and not again from a modal loop the action itself opened.
    if (run->acted || !window)
        return;
    run->acted = true;
    run->act(window);
}

void runInLoop(LoopRun& run, const std::function<void()>& open, DWORD timeoutMs) {
    run.deadline = GetTickCount64() + timeoutMs;
    LoopRun* outer = g_loop;
    g_loop = &run;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, &loopTick);
    open();
    KillTimer(nullptr, timer);
    g_loop = outer;
}

} // namespace

INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script, DWORD timeoutMs) {
    bool stillOpen = false;
    INT_PTR result = 0;
    LoopRun run{"#32770", title, script, [&](HWND dialog) {
                    stillOpen = dialog != nullptr;
                    if (dialog)
                        EndDialog(dialog, IDCANCEL);
                }};
    runInLoop(run, [&] { result = open(); }, timeoutMs);
    EXPECT_TRUE(run.acted) << "the dialog \"" << (title ? title : "(any)") << "\" never appeared";
    EXPECT_FALSE(stillOpen) << "the dialog was still open at the deadline";
    return result;
}

bool ChoosePopupItem(const std::function<void()>& open, int position, std::vector<CString>* items,
                     DWORD timeoutMs) {
    LoopRun run{"#32768", nullptr,
                [&](HWND menuWindow) {
                    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
                    for (int i = 0; items && menu && i < GetMenuItemCount(menu); ++i) {
                        char text[256] = "";
                        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
                        items->push_back(text);
                    }
                    // The menu loop reads the keyboard messages of the whole thread.
                    for (int i = 0; i <= position; ++i)
                        PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
                    PostMessageA(menuWindow, WM_KEYDOWN, position < 0 ? VK_ESCAPE : VK_RETURN, 0);
                },
                [](HWND) { EndMenu(); }};
    runInLoop(run, open, timeoutMs);
    PumpPending(); // the chosen command is posted to the menu's owner
    return run.acted;
}

// ---- Controls and input --------------------------------------------------------------------

void SetText(HWND dialog, int id, const CString& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

CString GetText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    int length = control ? GetWindowTextLengthA(control) : 0;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    if (control)
        GetWindowTextA(control, buffer.data(), length + 1);
    return CString(buffer.data());
}

void ClickButton(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

namespace {
void postButton(HWND window, int x, int y, UINT down, UINT up, WPARAM keys) {
    POINT screen = {x, y};
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y);
    // The button-up waits in the queue: controls that track the mouse after a press find
    // it there and end their tracking.
    PostMessageA(window, down, keys, MAKELPARAM(x, y));
    PostMessageA(window, up, 0, MAKELPARAM(x, y));
    PumpPending();
}
} // namespace

void Click(HWND window, int x, int y) {
    postButton(window, x, y, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);
}

void RightClick(HWND window, int x, int y) {
    postButton(window, x, y, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
}

// ---- Artifacts -----------------------------------------------------------------------------

namespace {
bool isFile(const CString& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
} // namespace

CString ArtifactPath(const char* name) {
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    CString folder(module);
    // Up from the program to the build folder (the one with CMakeCache.txt).
    CString build;
    for (int slash = folder.ReverseFind('\\'); slash > 0; slash = folder.ReverseFind('\\')) {
        folder = folder.Left(slash);
        if (isFile(folder + "\\CMakeCache.txt")) {
            build = folder;
            break;
        }
    }
    if (build.empty())
        build = CString(module).Left(CString(module).ReverseFind('\\'));
    CString artifacts = build + "\\artifacts";
    CreateDirectoryA(artifacts.c_str(), nullptr);
    return artifacts + "\\" + name;
}

bool SaveScreenshot(HWND window, const char* name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpPending();
    RECT bounds;
    if (!GetWindowRect(window, &bounds))
        return false;
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY) != 0;
        GdiFlush();
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        const auto* bgra = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            rgb[i * 3] = bgra[i * 4 + 2];
            rgb[i * 3 + 1] = bgra[i * 4 + 1];
            rgb[i * 3 + 2] = bgra[i * 4];
        }
        ok = ok && WritePng(ArtifactPath(name), width, height, rgb);
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace ui_test
