#include "tests/ui/UiHarness.h"

#include "panes/CBaseList.h"
#include "panes/CMyBaseTree.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace ui_test {

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
        if (GetTickCount64() >= deadline)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

HostWindow::HostWindow() {
    static ATOM registered = 0;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &proc;
        wc.hInstance = instance;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = "TarnwickUiTestHost";
        registered = RegisterClassA(&wc);
    }
    SHFILEINFOA info = {};
    m_images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    m_hWnd = CreateWindowExA(0, "TarnwickUiTestHost", "Tarnwick2 ui test",
                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 820, 540, nullptr, nullptr,
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
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (message == WM_NOTIFY) { // as the main window does: the pane that sent it handles it
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        CBaseList* list = CBaseList::fromHandle(header->hwndFrom);
        CMyBaseTree* tree = CMyBaseTree::fromHandle(header->hwndFrom);
        if ((list && list->onNotify(header, &result)) || (tree && tree->onNotify(header, &result)))
            return result;
    } else if (message == WM_COMMAND && host) {
        host->commands.push_back(LOWORD(wParam));
        return 0;
    } else if (message == WM_NCDESTROY && host) {
        host->m_hWnd = nullptr;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

namespace {

struct WindowQuery {
    const char* className;
    const char* text;
    HWND found;
};

BOOL CALLBACK visitTopLevel(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    char name[256] = "", text[512] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, text, sizeof text);
    if (!IsWindowVisible(window) || (query->className && strcmp(name, query->className) != 0) ||
        (query->text && strcmp(text, query->text) != 0))
        return TRUE;
    query->found = window;
    return FALSE;
}

// Something to do from inside a modal loop (a dialog's or a menu's) that open() starts: a
// thread timer looks for the window, acts on it once, and ends it at the deadline.
struct LoopRun {
    const char* className;
    const char* title;
    std::function<void(HWND)> act;
    std::function<void(HWND)> expire; // at the deadline, with the window or null
    ULONGLONG deadline = GetTickCount64() + kDefaultTimeoutMs;
    bool acted = false;
    bool expired = false;
    LoopRun* outer = nullptr;
};

LoopRun* g_loop = nullptr;

void CALLBACK loopTick(HWND, UINT, UINT_PTR, DWORD) {
    LoopRun* run = g_loop;
    if (!run || run->expired)
        return;
    HWND window = FindThreadWindow(run->className, run->title);
    if (GetTickCount64() >= run->deadline) {
        run->expired = true;
        run->expire(window);
    } else if (!run->acted && window) { // once, not again from a loop the action opened
        run->acted = true;
        run->act(window);
    }
}

void runInLoop(LoopRun& run, const std::function<void()>& open) {
    run.outer = g_loop;
    g_loop = &run;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, &loopTick);
    open();
    KillTimer(nullptr, timer);
    g_loop = run.outer;
}

BoxAnswers* g_boxes = nullptr;

} // namespace

HWND FindThreadWindow(const char* className, const char* title) {
    WindowQuery query = {className, title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &visitTopLevel, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script) {
    bool stillOpen = false;
    INT_PTR result = 0;
    LoopRun run{"#32770", title, script, [&](HWND dialog) {
                    stillOpen = dialog != nullptr;
                    if (dialog)
                        EndDialog(dialog, IDCANCEL);
                }};
    runInLoop(run, [&] { result = open(); });
    EXPECT_TRUE(run.acted) << "the dialog \"" << (title ? title : "(any)") << "\" never appeared";
    EXPECT_FALSE(stillOpen) << "the dialog \"" << (title ? title : "(any)") << "\" stayed open";
    return result;
}

bool ChoosePopupItem(const std::function<void()>& open, int position, std::vector<CString>* items) {
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
    runInLoop(run, open);
    PumpPending(); // the chosen command is posted to the menu's owner
    return run.acted;
}

BoxAnswers::BoxAnswers(const char* title, std::vector<int> answers)
    : m_title(title), m_answers(std::move(answers)), m_outer(g_boxes),
      m_timer(SetTimer(nullptr, 0, 30, &tick)) {
    g_boxes = this;
}

BoxAnswers::~BoxAnswers() {
    KillTimer(nullptr, m_timer);
    g_boxes = m_outer;
}

void CALLBACK BoxAnswers::tick(HWND, UINT, UINT_PTR, DWORD) {
    BoxAnswers* self = g_boxes;
    HWND box = self ? FindThreadWindow("#32770", self->m_title) : nullptr;
    if (!box || box == self->m_last || !GetDlgItem(box, 0xFFFF)) // message boxes only, once
        return;
    self->m_last = box;
    size_t n = self->texts.size();
    self->texts.push_back(GetText(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, n < self->m_answers.size() ? self->m_answers[n] : IDCANCEL, 0);
}

void SetText(HWND dialog, int id, const CString& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

CString GetText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::vector<char> buffer(static_cast<size_t>(control ? GetWindowTextLengthA(control) : 0) + 1);
    if (control)
        GetWindowTextA(control, buffer.data(), static_cast<int>(buffer.size()));
    return CString(buffer.data());
}

void ClickButton(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Click(HWND window, int x, int y, bool right) {
    POINT screen = {x, y};
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y); // controls read the message position too
    // The button-up waits in the queue: a control that tracks the mouse after a press finds
    // it there and ends its tracking.
    PostMessageA(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                 MAKELPARAM(x, y));
    PostMessageA(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PumpPending();
}

bool SaveScreenshot(HWND window, const char* name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpPending();
    RECT r;
    if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top)
        return false;
    BITMAPINFOHEADER info = {sizeof info, r.right - r.left, r.top - r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD bytes = static_cast<DWORD>(info.biWidth * -info.biHeight * 4), header = sizeof(BITMAPFILEHEADER) + sizeof info;
    BITMAPFILEHEADER file = {0x4D42, header + bytes, 0, 0, header};
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = bits && BitBlt(memory, 0, 0, info.biWidth, -info.biHeight, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    // <build folder>/artifacts: the programs lie in <build folder>/tests.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    CString folder = CString(path).Left(CString(path).ReverseFind('\\'));
    folder = folder.Left(folder.ReverseFind('\\')) + "\\artifacts";
    CreateDirectoryA(folder.c_str(), nullptr);
    FILE* out = ok ? fopen((folder + "\\" + name).c_str(), "wb") : nullptr;
    ok = out && fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
         fwrite(bits, bytes, 1, out) == 1;
    ok = out && fclose(out) == 0 && ok;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace ui_test

namespace {
// A crash ends the program with a message instead of waiting in a debugger's dialog.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "ui test crashed: exception 0x%08lx at %p\n",
            static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    ExitProcess(3);
}
} // namespace

// The common controls are registered before any test makes a window, as the program does.
int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(&reportCrash);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&controls))
        return fprintf(stderr, "the common controls could not be registered\n"), 2;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
