// The main window as a user shapes it: splitters dragged with the mouse, the window closed and
// started again; and the Help menu (the help page, its "Getting help" section, About).
#include "mainwnd/CMyMainWnd.h"

#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>

using namespace ui_test;

namespace {

// What the Help menu handed to the shell: "owner show document" per call.
std::vector<std::string> g_opened;
INT_PTR g_shellResult = 42;

HINSTANCE WINAPI recordShellOpen(HWND owner, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT show) {
    g_opened.push_back(FormatString("%s %d %s", owner ? "owned" : "unowned", show, file));
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
        CMyMainWnd::s_shellOpen = recordShellOpen;
        g_opened.clear();
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
    RECT windowRect() const {
        RECT rect = {};
        GetWindowRect(window->m_hWnd, &rect);
        return rect;
    }
    // What the user sees of the layout: the four panes' left and right edges, the trace bar's
    // top and bottom, the window's rectangle, the remote list's first column.
    std::string layoutText() const {
        std::string text;
        for (HWND pane : {window->m_leftTree.window(), window->m_leftList.window(),
                          window->m_rightTree.window(), window->m_rightList.window()}) {
            RECT rect = childRect(pane);
            text += FormatString("%ld-%ld ", rect.left, rect.right);
        }
        RECT trace = childRect(window->m_traceBar.m_hWnd), frame = windowRect();
        return text + FormatString("trace %ld-%ld window %ld,%ld,%ld,%ld column %d", trace.top,
                                   trace.bottom, frame.left, frame.top, frame.right, frame.bottom,
                                   ListView_GetColumnWidth(window->m_rightList.window(), 0));
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
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-before-drag.bmp"));
    const int traceTop = childRect(window->m_traceBar.m_hWnd).top;
    const int paneY = traceTop - 100;
    const std::string first = layoutText();
    EXPECT_EQ(first.substr(0, 26), "0-197 203-397 403-597 603-") << first;
    EXPECT_EQ(cursorAt(200, paneY), LoadCursorA(nullptr, IDC_SIZEWE));
    EXPECT_EQ(cursorAt(400, traceTop - 3), LoadCursorA(nullptr, IDC_SIZENS));

    drag(200, paneY, 150, paneY);                // splitter 0: 50 to the left
    drag(350, paneY, 450, paneY);                // splitter 1: 100 to the right
    drag(1, paneY, 300, paneY);                  // not on a splitter: nothing moves
    drag(650, paneY, 120, paneY);                // splitter 2 onto splitter 1: one bar left
    drag(400, traceTop - 3, 400, traceTop - 60); // the trace bar starts where the bar was let go
    ListView_SetColumnWidth(window->m_rightList.window(), 0, 123);
    const std::string dragged = layoutText();
    RECT client = {};
    GetClientRect(window->m_hWnd, &client);
    EXPECT_EQ(dragged.substr(0, dragged.find("window")),
              std::string(FormatString("0-147 153-447 453-453 459-%ld trace %d-%d ", client.right,
                                       traceTop - 60, traceTop + 100)));
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-after-drag.bmp"));

    start();
    EXPECT_EQ(layoutText(), dragged);
    EXPECT_TRUE(SaveScreenshot(window->m_hWnd, "layout-after-restart.bmp"));
}

TEST_F(LayoutTest, MaximisedOffScreenAndMinimisedCloses) {
    SetPrefString(PREFS_SECTION, "LASTDIR", "C:\\windows");
    for (const char* key : {"MainWndL", "MainWndT"})
        SetPrefInt(PREFS_SECTION, key, 20000); // a screen since removed
    SetPrefInt(PREFS_SECTION, "MainWndW", 700);
    SetPrefInt(PREFS_SECTION, "MainWndH", 500);
    start();
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr) << rect.left;

    ShowWindow(window->m_hWnd, SW_MAXIMIZE);
    start();
    EXPECT_TRUE(IsZoomed(window->m_hWnd));
    ShowWindow(window->m_hWnd, SW_RESTORE);
    rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 700); // the normal size was kept

    // Closed minimised: only the local folder is stored.
    const CString folder = window->m_leftTree.getSelectedPath();
    ASSERT_FALSE(folder.empty());
    SetPrefString(PREFS_SECTION, "LASTDIR", "elsewhere");
    SetPrefInt(PREFS_SECTION, "MainWndW", 640);
    ShowWindow(window->m_hWnd, SW_MINIMIZE);
    SendMessageA(window->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "LASTDIR", ""), folder);
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "MainWndW", 0), 640);
}

TEST_F(LayoutTest, SizesFollowTheScreensDpi) {
    testing_support::ScopedEnv dpi("TARNWICK2_DPI", "144");
    start();
    EXPECT_EQ(window->m_splitterW[0], 300);
    EXPECT_EQ(window->m_traceBar.m_height, 150);
    const int paneY = childRect(window->m_traceBar.m_hWnd).top - 100;
    EXPECT_EQ(cursorAt(304, paneY), LoadCursorA(nullptr, IDC_SIZEWE)); // 9 wide: 296 to 305
    EXPECT_NE(cursorAt(306, paneY), LoadCursorA(nullptr, IDC_SIZEWE));

    // Moved to a 96-DPI screen: the system suggests a rectangle, the sizes go back.
    RECT suggested = {60, 50, 860, 650};
    SendMessageA(window->m_hWnd, WM_DPICHANGED, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window->m_splitterW[0], 200);
    EXPECT_EQ(windowRect().right, 860);
    SendMessageA(window->m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "SPLITTERW0", ""), "200");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "TRACEH", ""), "100");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "MainWndW", ""), "800");
}

TEST_F(LayoutTest, HelpMenuOpensThePagesBesideTheProgramAndAbout) {
    start();
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string page = module;
    page = page.substr(0, page.rfind('\\') + 1) + "main.htm";

    MSG f1 = {window->m_hWnd, WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
    EXPECT_TRUE(window->translateAccelerator(f1));
    SendMessageA(window->m_hWnd, WM_COMMAND, ID_HELP_SUPPORT, 0);
    std::string url = "file:///" + page;
    std::replace(url.begin(), url.end(), '\\', '/');
    EXPECT_EQ(g_opened,
              (std::vector<std::string>{"owned 1 " + page, "unowned 3 " + url + "#getting-help"}));

    // A page that cannot be opened is said so, with its path.
    g_shellResult = 2; // SE_ERR_FNF
    CString boxText;
    RunModal([&] { return SendMessageA(window->m_hWnd, WM_COMMAND, ID_HELP_OVERVIEW, 0); },
             "Tarnwick",
             [&](HWND box) {
                 boxText = GetText(box, 0xFFFF);
                 ClickButton(box, IDOK);
             });
    EXPECT_NE(boxText.find(page), std::string::npos) << boxText;

    // About closes with Escape and with OK (RunModal fails a dialog that stays open).
    for (bool escape : {true, false}) {
        CString version;
        RunModal([&] { return SendMessageA(window->m_hWnd, WM_COMMAND, ID_ABOUT, 0); },
                 "About Tarnwick",
                 [&](HWND dialog) {
                     version = GetText(dialog, IDC_ABOUT_VERSION);
                     if (escape)
                         PostMessageA(GetFocus() ? GetFocus() : dialog, WM_KEYDOWN, VK_ESCAPE, 0);
                     else
                         ClickButton(dialog, IDOK);
                 });
        EXPECT_EQ(version, "Tarnwick Version 2.302");
    }
}

} // namespace
