// The main window as a user shapes it: splitters dragged with the mouse, the window closed and
// started again; and the Help menu (the help page, its "Getting help" section, About).
#include "mainwnd/CMyMainWnd.h"

#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>

using namespace ui_test;

namespace {

struct ShellCall {
    HWND owner;
    CString file;
    int show;
};
std::vector<ShellCall> g_shellCalls;
INT_PTR g_shellResult = 42;

HINSTANCE WINAPI recordShellOpen(HWND owner, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT show) {
    g_shellCalls.push_back({owner, file ? file : "", show});
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
        CMyMainWnd::s_shellOpen = recordShellOpen;
        g_shellCalls.clear();
        g_shellResult = 42;
    }
    void TearDown() override {
        if (window && window->m_hWnd)
            DestroyWindow(window->m_hWnd);
        CMyMainWnd::s_shellOpen = ShellExecuteA;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    // A new window object, as at a new start of the program.
    void start() {
        if (window && window->m_hWnd)
            SendMessageA(window->m_hWnd, WM_COMMAND, ID_EXIT, 0);
        window = std::make_unique<CMyMainWnd>();
        ASSERT_TRUE(window->create(GetModuleHandleA(nullptr), SW_SHOW));
        PumpPending();
    }
    RECT childRect(HWND child) const {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    // The four panes' rectangles in the main window's client area, left to right.
    std::vector<RECT> paneRects() const {
        std::vector<RECT> rects;
        for (HWND pane : {window->m_leftTree.window(), window->m_leftList.window(),
                          window->m_rightTree.window(), window->m_rightList.window()})
            rects.push_back(childRect(pane));
        return rects;
    }
    RECT windowRect() const {
        RECT rect = {};
        GetWindowRect(window->m_hWnd, &rect);
        return rect;
    }
    // Press at (x, y) in the main window's client area, move in steps to (toX, toY), release:
    // the messages a mouse sends, posted.
    void drag(int x, int y, int toX, int toY) {
        HWND hwnd = window->m_hWnd;
        PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        for (int step = 1; step <= 4; ++step)
            PostMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON,
                         MAKELPARAM(x + (toX - x) * step / 4, y + (toY - y) * step / 4));
        PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(toX, toY));
        PumpPending();
        EXPECT_EQ(GetCapture(), nullptr);
    }
    // The cursor shown over a client point.
    HCURSOR cursorAt(int x, int y) {
        POINT point = {x, y};
        ClientToScreen(window->m_hWnd, &point);
        SetCursorPos(point.x, point.y);
        SendMessageA(window->m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(window->m_hWnd),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    }

    testing_support::ScopedPrefs prefs;
    std::unique_ptr<CMyMainWnd> window;
};

TEST_F(LayoutTest, SplittersDraggedWithTheMouseComeBackAfterARestart) {
    start();
    SetWindowPos(window->m_hWnd, nullptr, 40, 30, 900, 640, SWP_NOZORDER);
    PumpPending();
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-before-drag.png"));
    const RECT trace = childRect(window->m_traceBar.m_hWnd);
    const int paneY = trace.top - 100; // in the pane row
    std::vector<RECT> panes = paneRects();
    EXPECT_EQ(panes[0].right - panes[0].left, 197);
    EXPECT_EQ(panes[1].right - panes[1].left, 194);
    EXPECT_EQ(panes[2].right - panes[2].left, 194);
    EXPECT_EQ(panes[3].left, panes[2].right + 6);
    EXPECT_EQ(cursorAt(200, paneY), LoadCursorA(nullptr, IDC_SIZEWE));
    EXPECT_EQ(cursorAt(400, trace.top - 3), LoadCursorA(nullptr, IDC_SIZENS));

    drag(200, paneY, 150, paneY); // splitter 0: 50 to the left
    drag(350, paneY, 450, paneY); // splitter 1: 100 to the right
    drag(1, paneY, 300, paneY);   // not on a splitter: nothing moves
    drag(650, paneY, 120, paneY); // splitter 2 onto splitter 1: one bar left
    drag(400, trace.top - 3, 400, trace.top - 60); // the trace bar starts where the bar was let go
    EXPECT_EQ(window->m_splitterW[0], 150);
    EXPECT_EQ(window->m_splitterW[1], 300);
    EXPECT_EQ(window->m_splitterW[2], 6);
    EXPECT_EQ(window->m_traceBar.m_height, 160);
    const RECT draggedTrace = childRect(window->m_traceBar.m_hWnd);
    EXPECT_EQ(draggedTrace.top, trace.top - 60);
    panes = paneRects();
    EXPECT_EQ(panes[0].right, 147);
    EXPECT_EQ(panes[1].left, 153);
    EXPECT_EQ(panes[2].left, 453); // pushed right by splitter 1, 0 wide
    EXPECT_EQ(panes[2].right, 453);
    EXPECT_EQ(panes[3].left, 459);
    EXPECT_EQ(panes[0].bottom, draggedTrace.top - 6);
    ListView_SetColumnWidth(window->m_rightList.window(), 0, 123);
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-after-drag.png"));
    const RECT placed = windowRect();

    start();
    EXPECT_EQ(window->m_splitterW[0], 150);
    EXPECT_EQ(window->m_splitterW[1], 300);
    EXPECT_EQ(window->m_splitterW[2], 6);
    EXPECT_EQ(window->m_traceBar.m_height, 160);
    const RECT restored = windowRect();
    EXPECT_EQ(restored.left, placed.left);
    EXPECT_EQ(restored.top, placed.top);
    EXPECT_EQ(restored.right, placed.right);
    EXPECT_EQ(restored.bottom, placed.bottom);
    const RECT restoredTrace = childRect(window->m_traceBar.m_hWnd);
    EXPECT_EQ(restoredTrace.top, draggedTrace.top);
    EXPECT_EQ(restoredTrace.bottom, draggedTrace.bottom);
    const std::vector<RECT> restoredPanes = paneRects();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(restoredPanes[i].left, panes[i].left) << i;
        EXPECT_EQ(restoredPanes[i].right, panes[i].right) << i;
        EXPECT_EQ(restoredPanes[i].bottom, panes[i].bottom) << i;
    }
    EXPECT_EQ(ListView_GetColumnWidth(window->m_rightList.window(), 0), 123);
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-after-restart.png"));
}

TEST_F(LayoutTest, MaximisedComesBackMaximisedAndOffScreenComesBackIntoView) {
    SetPrefString(PREFS_SECTION, "LASTDIR", "C:\\windows");
    SetPrefInt(PREFS_SECTION, "MainWndL", 20000);
    SetPrefInt(PREFS_SECTION, "MainWndT", 20000);
    SetPrefInt(PREFS_SECTION, "MainWndW", 700);
    SetPrefInt(PREFS_SECTION, "MainWndH", 500);
    start();
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_EQ(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr, true)
        << rect.left << "," << rect.top;

    ShowWindow(window->m_hWnd, SW_MAXIMIZE);
    PumpPending();
    start();
    EXPECT_TRUE(IsZoomed(window->m_hWnd));
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "MainWndW", 0), 700); // the normal size is kept
    ShowWindow(window->m_hWnd, SW_RESTORE);
    PumpPending();
    rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 700);

    // Closed minimised: only the local folder is stored.
    const CString folder = window->m_leftTree.getSelectedPath();
    ASSERT_FALSE(folder.empty());
    SetPrefString(PREFS_SECTION, "LASTDIR", "elsewhere");
    SetPrefInt(PREFS_SECTION, "MainWndW", 640);
    ShowWindow(window->m_hWnd, SW_MINIMIZE);
    PumpPending();
    SendMessageA(window->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "LASTDIR", ""), folder);
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "MainWndW", 0), 640);
}

TEST_F(LayoutTest, SizesFollowTheScreensDpi) {
    {
        testing_support::ScopedEnv dpi("TARNWICK2_DPI", "144");
        start();
        EXPECT_EQ(window->m_splitterW[0], 300);
        EXPECT_EQ(window->m_traceBar.m_height, 150);
        // The bar is 9 pixels wide: 300 - 4 to 300 + 5.
        const int paneY = childRect(window->m_traceBar.m_hWnd).top - 100;
        EXPECT_EQ(cursorAt(304, paneY), LoadCursorA(nullptr, IDC_SIZEWE));
        EXPECT_NE(cursorAt(306, paneY), LoadCursorA(nullptr, IDC_SIZEWE));

        // Moved to a 96-DPI screen: the system suggests a rectangle, the sizes go back.
        RECT suggested = {60, 50, 860, 650};
        SendMessageA(window->m_hWnd, WM_DPICHANGED, MAKEWPARAM(96, 96),
                     reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(window->m_splitterW[0], 200);
        EXPECT_EQ(window->m_traceBar.m_height, 100);
        RECT rect = windowRect();
        EXPECT_EQ(rect.left, 60);
        EXPECT_EQ(rect.right, 860);
        SendMessageA(window->m_hWnd, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "SPLITTERW0", 0), 200);
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "TRACEH", 0), 100);
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "MainWndW", 0), 800);
}

TEST_F(LayoutTest, HelpMenuOpensThePagesBesideTheProgramAndAbout) {
    start();
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    CString folder(module);
    folder = folder.substr(0, folder.rfind('\\') + 1);

    // F1, as the accelerator table turns it into the command.
    MSG f1 = {window->m_hWnd, WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
    EXPECT_TRUE(window->translateAccelerator(f1));
    ASSERT_EQ(g_shellCalls.size(), 1u);
    EXPECT_EQ(g_shellCalls[0].file, folder + "main.htm");
    EXPECT_EQ(g_shellCalls[0].owner, window->m_hWnd);
    EXPECT_EQ(g_shellCalls[0].show, SW_SHOWNORMAL);

    SendMessageA(window->m_hWnd, WM_COMMAND, ID_HELP_SUPPORT, 0);
    ASSERT_EQ(g_shellCalls.size(), 2u);
    const CString& url = g_shellCalls[1].file;
    EXPECT_EQ(url.rfind("file:///", 0), 0u) << url;
    EXPECT_EQ(url.substr(url.size() - 22), "/main.htm#getting-help") << url;
    EXPECT_EQ(url.find('\\'), std::string::npos) << url;
    EXPECT_EQ(g_shellCalls[1].show, SW_SHOWMAXIMIZED);

    // A page that cannot be opened is said so, with its path.
    g_shellResult = 2; // SE_ERR_FNF
    CString boxText;
    RunModal(
        [&] { return SendMessageA(window->m_hWnd, WM_COMMAND, ID_HELP_OVERVIEW, 0); }, "Tarnwick",
        [&](HWND box) {
            boxText = GetText(box, 0xFFFF);
            ClickButton(box, IDOK);
        });
    EXPECT_NE(boxText.find(folder + "main.htm"), std::string::npos) << boxText;

    for (int key : {VK_ESCAPE, VK_RETURN}) {
        CString version;
        INT_PTR closedWith = RunModal(
            [&] {
                SendMessageA(window->m_hWnd, WM_COMMAND, ID_ABOUT, 0);
                return static_cast<INT_PTR>(IsWindowEnabled(window->m_hWnd));
            },
            "About Tarnwick",
            [&](HWND dialog) {
                version = GetText(dialog, IDC_ABOUT_VERSION);
                HWND focus = GetFocus() ? GetFocus() : dialog;
                PostMessageA(focus, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
                PostMessageA(focus, WM_KEYUP, static_cast<WPARAM>(key), 0xC0000000);
            });
        EXPECT_EQ(version, "Tarnwick Version 2.302");
        EXPECT_TRUE(closedWith) << "the main window is usable again after key " << key;
    }
}

} // namespace
