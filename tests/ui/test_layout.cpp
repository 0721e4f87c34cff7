// The main window as a user shapes it: splitters dragged with the mouse, the window resized,
// closed and started again, maximised, off-screen, on another screen's DPI; the Help menu.
#include "tests/ui/MainWindowJourney.h"

using namespace ui_journey;

namespace {

struct LayoutTest : MainWindowTest {
    RECT childRect(HWND child) const {
        RECT rect = {};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, win->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    int width() const {
        RECT rect = {};
        GetWindowRect(win->m_hWnd, &rect);
        return rect.right - rect.left;
    }
    // What the user sees: the four panes' left and right edges, the trace bar's top and bottom,
    // the window's rectangle, the remote list's first column.
    std::string layoutText() const {
        std::string text;
        for (HWND pane :
             {win->m_leftTree.window(), win->m_leftList.window(), win->m_rightTree.window(),
              win->m_rightList.window(), win->m_traceBar.m_hWnd}) {
            RECT rect = childRect(pane);
            text += pane == win->m_traceBar.m_hWnd
                        ? FormatString("trace %ld-%ld ", rect.top, rect.bottom)
                        : FormatString("%ld-%ld ", rect.left, rect.right);
        }
        RECT frame = {};
        GetWindowRect(win->m_hWnd, &frame);
        return text + FormatString("window %ld,%ld,%ld,%ld column %d", frame.left, frame.top,
                                   frame.right, frame.bottom,
                                   ListView_GetColumnWidth(win->m_rightList.window(), 0));
    }
    // Press, move in steps, release: the messages a mouse sends, posted.
    void drag(int x, int y, int toX, int toY) {
        PostMessageA(win->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        for (int step = 1; step <= 4; ++step)
            PostMessageA(win->m_hWnd, WM_MOUSEMOVE, MK_LBUTTON,
                         MAKELPARAM(x + (toX - x) * step / 4, y + (toY - y) * step / 4));
        PostMessageA(win->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(toX, toY));
        PumpPending();
        EXPECT_EQ(GetCapture(), nullptr);
    }
    bool sizingCursorAt(int x, int y, const char* cursor) {
        POINT point = {x, y};
        ClientToScreen(win->m_hWnd, &point);
        SetCursorPos(point.x, point.y);
        SendMessageA(win->m_hWnd, WM_SETCURSOR, WPARAM(win->m_hWnd),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor() == LoadCursorA(nullptr, cursor);
    }
};

TEST_F(LayoutTest, SplittersDraggedWithTheMouseComeBackAfterARestartAndBarsFollowTheWindow) {
    start();
    SetWindowPos(win->m_hWnd, nullptr, 40, 30, 900, 640, SWP_NOZORDER);
    PumpPending();
    const int traceTop = childRect(win->m_traceBar.m_hWnd).top, paneY = traceTop - 100;
    EXPECT_EQ(layoutText().substr(0, 26), "0-197 203-397 403-597 603-") << layoutText();
    SaveScreenshot(win->m_hWnd, "layout-before-drag.bmp");
    drag(200, paneY, 150, paneY);                // splitter 0: 50 to the left
    drag(350, paneY, 450, paneY);                // splitter 1: 100 to the right
    drag(650, paneY, 120, paneY);                // splitter 2 onto splitter 1: one bar left
    drag(400, traceTop - 3, 400, traceTop - 60); // the trace bar starts where the bar was let go
    ListView_SetColumnWidth(win->m_rightList.window(), 0, 123);
    const std::string dragged = layoutText();
    SaveScreenshot(win->m_hWnd, "layout-after-drag.bmp");
    RECT client = {};
    GetClientRect(win->m_hWnd, &client);
    EXPECT_EQ(dragged.substr(0, dragged.find("window")),
              FormatString("0-147 153-447 453-453 459-%ld trace %d-%d ", client.right,
                           traceTop - 60, traceTop + 100));
    start();
    EXPECT_EQ(layoutText(), dragged);
    SaveScreenshot(win->m_hWnd, "layout-after-restart.bmp");

    // Grown and shrunk: toolbar, status bar, trace bar and panes span the width, above the bars.
    for (SIZE size : {SIZE{1200, 800}, SIZE{700, 450}}) {
        SetWindowPos(win->m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        PumpPending();
        GetClientRect(win->m_hWnd, &client);
        RECT toolbar = childRect(win->m_toolBar.m_hWnd), status = childRect(win->m_hStatus);
        RECT bar = childRect(win->m_traceBar.m_hWnd), list = childRect(win->m_rightList.window());
        EXPECT_GE(toolbar.right - toolbar.left, client.right - 2) << size.cx; // inside the edge
        EXPECT_TRUE(status.right - status.left == client.right &&
                    bar.right - bar.left == client.right)
            << size.cx;
        EXPECT_TRUE(list.right == client.right && list.bottom < status.top) << size.cx;
    }
}

TEST_F(LayoutTest, AWindowFromAScreenSinceRemovedComesBackMaximisedAtItsSize) {
    for (const char* key : {"MainWndL", "MainWndT"})
        SetPrefInt(PREFS_SECTION, key, 20000); // a screen since removed
    SetPrefInt(PREFS_SECTION, "MainWndW", 700);
    SetPrefInt(PREFS_SECTION, "MainWndH", 500);
    start();
    RECT rect = {};
    GetWindowRect(win->m_hWnd, &rect);
    EXPECT_EQ(width(), 700);
    EXPECT_NE(MonitorFromRect(&rect, MONITOR_DEFAULTTONULL), nullptr) << rect.left;
    ShowWindow(win->m_hWnd, SW_MAXIMIZE);
    start();
    EXPECT_TRUE(IsZoomed(win->m_hWnd));
    ShowWindow(win->m_hWnd, SW_RESTORE);
    EXPECT_EQ(width(), 700); // the normal size was kept
}

TEST_F(LayoutTest, SizesFollowTheScreensDpi) {
    testing_support::ScopedEnv dpi("TARNWICK2_DPI", "144");
    start();
    EXPECT_EQ(win->m_splitterW[0], 300);
    EXPECT_EQ(win->m_traceBar.m_height, 150);
    const int paneY = childRect(win->m_traceBar.m_hWnd).top - 100;
    EXPECT_TRUE(sizingCursorAt(304, paneY, IDC_SIZEWE)); // 9 wide: 296 to 305
    EXPECT_FALSE(sizingCursorAt(306, paneY, IDC_SIZEWE));
    // Moved to a 96-DPI screen: the system suggests a rectangle, the sizes go back.
    RECT suggested = {60, 50, 860, 650};
    SendMessageA(win->m_hWnd, WM_DPICHANGED, MAKEWPARAM(96, 96),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(win->m_splitterW[0], 200);
    EXPECT_EQ(width(), 800);
    EXPECT_EQ(win->m_traceBar.m_height, 100);
}

// What the Help menu handed to the shell: "owner show document" per call.
std::vector<std::string> g_opened;
INT_PTR g_shellResult = 42;

HINSTANCE WINAPI recordShellOpen(HWND owner, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT show) {
    g_opened.push_back(FormatString("%s %d %s", owner ? "owned" : "unowned", show, file));
    return reinterpret_cast<HINSTANCE>(g_shellResult);
}

TEST_F(LayoutTest, HelpMenuOpensThePagesBesideTheProgram) {
    CMyMainWnd::s_shellOpen = recordShellOpen;
    start();
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string page = module;
    page = page.substr(0, page.rfind('\\') + 1) + "main.htm";
    MSG f1 = {win->m_hWnd, WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
    EXPECT_TRUE(win->translateAccelerator(f1));
    command(ID_HELP_SUPPORT);
    std::string url = "file:///" + page;
    std::replace(url.begin(), url.end(), '\\', '/');
    EXPECT_EQ(g_opened,
              (std::vector<std::string>{"owned 1 " + page, "unowned 3 " + url + "#getting-help"}));

    g_shellResult = 2; // SE_ERR_FNF: a page that cannot be opened is said so, with its path
    {
        BoxAnswers box("Tarnwick", {IDOK});
        command(ID_HELP_OVERVIEW);
        EXPECT_TRUE(box.texts.size() == 1 && box.texts[0].find(page) != std::string::npos);
    }
    CMyMainWnd::s_shellOpen = ShellExecuteA;
}

} // namespace
