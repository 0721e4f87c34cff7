// The main window driven for real under Wine, as a user goes: logging on to a local server with
// the account in the settings, browsing and renaming in the remote panes, closing the
// connection, shortcut keys from every pane, resizing, a refused connection, and closing.
// (The scripted server's listing is read in test_transfers.cpp, before a download.)
#include "tests/ui/MainWindowJourney.h"

#include "tests/support/RawPeer.h"

#include <algorithm>

using namespace ui_journey;

namespace {
struct Browsing : MainWindowTest, ::testing::WithParamInterface<const char*> {};

// Logging on from the trace list with the keyboard, opening folders from the tree and from the
// list, renaming in place, closing the connection and logging on again from the tree.
TEST_P(Browsing, ALoggedOnUserBrowsesRenamesAndClosesTheConnection) {
    const bool vsftpd = CString(GetParam()) == "vsftpd";
    auto server = vsftpd ? rig::StartVsftpd() : rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    useServer(*server);
    ASSERT_TRUE(CreateDirectoryA(server->file("share").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(server->file("share/docs").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(server->file("empty").c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteFile(server->file("top.txt"), "top"));
    ASSERT_TRUE(testing_support::WriteFile(server->file("share/a.txt"), "a"));
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    EXPECT_EQ(GetCallBackController(), &window);
    CMyRightTree& tree = window.m_rightTree;
    EXPECT_EQ(tree.getItemText(tree.getRoot()), "Not Connected");
    char title[256] = {};
    GetWindowTextA(window.m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Tarnwick2 - Local");

    // A click in the trace list does not take the shortcut keys away from the window.
    Click(window.m_traceBar.m_list.window(), 20, 30);
    EXPECT_EQ(GetFocus(), window.m_traceBar.m_list.window());
    EXPECT_TRUE(pressKey('L', true));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("top.txt") >= 0; }))
        << "the log-on did not list the root";
    EXPECT_TRUE(traceHas(("USER " + server->user()).c_str()));
    EXPECT_TRUE(traceHas("Logging into account Local"));
    EXPECT_FALSE(traceHas("PASS"));
    EXPECT_FALSE(traceHas("Command State Change")); // level 9 is never shown
    for (const CString& row : traceRows())
        EXPECT_EQ(row.find_first_of("\r\n"), std::string::npos) << row; // shown without CR LF
    EXPECT_EQ(statusText(), "Ready");
    std::vector<CString> folders = children(tree.getRoot());
    folders.erase(std::remove(folders.begin(), folders.end(), "pub"), folders.end()); // vsftpd's
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<CString>{"empty", "share"}));
    HTREEITEM share = child(tree.getRoot(), "share");
    ASSERT_NE(share, nullptr);
    EXPECT_EQ(children(share), std::vector<CString>{"???? Loading..."});
    EXPECT_EQ(window.m_rightList.getItemText(remoteRow("top.txt"), 1).find("-rw"), 0u);

    // Expanding a folder that is not selected selects it and lists it, once.
    tree.expand(share, TVE_EXPAND);
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/share") && remoteRow("a.txt") >= 0; }));
    EXPECT_EQ(children(share), std::vector<CString>{"docs"});
    EXPECT_EQ(remoteRows(), (std::vector<CString>{"docs", "a.txt"}));
    EXPECT_EQ(traceCount("LIST /share"), 1);

    // A folder opened from the list; an empty one leaves its node without children.
    tree.selectItem(tree.getRoot());
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("empty") >= 0; }));
    doubleClickRow(remoteRow("empty"));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/empty") && traceHas("LIST /empty"); }));
    EXPECT_TRUE(PumpUntil([&] { return idle() && window.m_rightList.getItemCount() == 0; }));
    EXPECT_TRUE(children(tree.getSelection()).empty());

    // Renaming in place: the server has the new name and the list shows it.
    tree.selectItem(tree.getRoot());
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("top.txt") >= 0; }));
    HWND list = window.m_rightList.window();
    SetFocus(list);
    HWND editor = reinterpret_cast<HWND>(SendMessageA(list, LVM_EDITLABELA, remoteRow("top.txt"), 0));
    ASSERT_NE(editor, nullptr);
    SetWindowTextA(editor, "renamed.txt");
    SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("renamed.txt") >= 0; }));
    EXPECT_EQ(remoteRow("top.txt"), -1);
    EXPECT_EQ(testing_support::ReadFile(server->file("renamed.txt")), "top");

    // Closing the connection: back to "Not Connected"; opening the root logs on again.
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_CLOSE_CONNECTION, 0);
    EXPECT_EQ(tree.getItemText(tree.getRoot()), "Not Connected");
    EXPECT_EQ(window.m_rightList.getItemCount(), 0);
    EXPECT_FALSE(window.m_bConnected);
    ASSERT_TRUE(PumpUntil([&] { return idle(); }));
    tree.expand(tree.getRoot(), TVE_EXPAND);
    EXPECT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("renamed.txt") >= 0; }))
        << "expanding the root while disconnected did not log on";
    EXPECT_TRUE(SaveScreenshot(window.m_hWnd, (GetParam() + CString("-browsed.png")).c_str()));
}

INSTANTIATE_TEST_SUITE_P(Servers, Browsing, ::testing::Values("pyftpdlib", "vsftpd"));

// Each shortcut reaches the window's commands with the focus in any pane or in the trace list;
// a label being edited keeps Ctrl+X for itself.
TEST_F(MainWindowTest, ShortcutKeysReachTheWindowWhereverTheFocusIs) {
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    // The commands are recorded here instead of being carried out.
    static std::vector<int> received;
    static WNDPROC original = nullptr;
    received.clear();
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window.m_hWnd, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_COMMAND) {
                received.push_back(LOWORD(wp));
                return 0;
            }
            return CallWindowProcA(original, w, m, wp, lp);
        })));
    struct Key {
        UINT key;
        bool control, shift;
        int command;
    };
    const Key keys[] = {{'L', true, false, ID_LOGON},         {'Q', true, false, ID_CLOSE_CONNECTION},
                        {'X', true, false, ID_ABORT},         {'A', true, false, ID_ACCOUNT_MANAGER},
                        {'S', true, false, ID_REMOTE_SEARCH}, {VK_F5, false, false, ID_REFRESH_LOCAL},
                        {VK_F5, true, false, ID_REFRESH_REMOTE}, {VK_RETURN, true, true, ID_RESUME}};
    const HWND places[] = {window.m_leftTree.window(), window.m_leftList.window(),
                           window.m_rightTree.window(), window.m_rightList.window(),
                           window.m_traceBar.m_list.window()};
    for (HWND place : places) {
        for (const Key& key : keys) {
            SetFocus(place);
            received.clear();
            EXPECT_TRUE(pressKey(key.key, key.control, key.shift)) << ClassOf(place) << " " << key.command;
            EXPECT_EQ(received, std::vector<int>{key.command}) << ClassOf(place);
        }
    }
    window.m_rightList.addItem("name.txt", "", false);
    HWND editor = reinterpret_cast<HWND>(
        SendMessageA(window.m_rightList.window(), LVM_EDITLABELA, 0, 0));
    ASSERT_NE(editor, nullptr);
    SetFocus(editor);
    received.clear();
    EXPECT_FALSE(pressKey('X', true));
    EXPECT_EQ(std::count(received.begin(), received.end(), ID_ABORT), 0);
    char text[64] = "?";
    GetWindowTextA(editor, text, sizeof text);
    EXPECT_STREQ(text, "") << "Ctrl+X did not cut the selected name";
    SendMessageA(editor, WM_KEYDOWN, VK_ESCAPE, 0);
    SetWindowLongPtrA(window.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

// After the window grows and shrinks, the toolbar, the status bar, the trace bar and the panes
// span the whole width, and the menu help still shows.
TEST_F(MainWindowTest, BarsAndPanesFollowTheWindowSize) {
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    auto width = [](HWND w) {
        RECT r = {};
        GetWindowRect(w, &r);
        return static_cast<int>(r.right - r.left);
    };
    auto rightEdge = [&](HWND w) {
        RECT r = {};
        GetWindowRect(w, &r);
        POINT p = {r.right, r.top};
        ScreenToClient(window.m_hWnd, &p);
        return static_cast<int>(p.x);
    };
    for (SIZE size : {SIZE{1200, 800}, SIZE{700, 450}}) {
        SetWindowPos(window.m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        PumpPending();
        RECT client = {};
        GetClientRect(window.m_hWnd, &client);
        // The toolbar sizes itself inside the client area's edge.
        EXPECT_GE(width(window.m_toolBar.m_hWnd), client.right - 2) << size.cx;
        EXPECT_EQ(width(window.m_hStatus), client.right) << size.cx;
        EXPECT_EQ(width(window.m_traceBar.m_hWnd), client.right) << size.cx;
        EXPECT_EQ(rightEdge(window.m_rightList.window()), client.right) << size.cx;
        RECT status = {}, list = {};
        GetWindowRect(window.m_hStatus, &status);
        GetWindowRect(window.m_rightList.window(), &list);
        EXPECT_LT(list.bottom, status.top) << "the panes run into the bars";
    }
    SendMessageA(window.m_hWnd, WM_MENUSELECT, MAKEWPARAM(ID_LOGON, MF_HILITE), 0);
    EXPECT_EQ(statusText(), "Logon to Server");
    EXPECT_TRUE(SaveScreenshot(window.m_hWnd, "mainwnd-resized.png"));
}

TEST_F(MainWindowTest, ARefusedConnectionOffersRetryAndCancelAborts) {
    SetPrefInt("USERPREFS/Local", "PORT", testing_support::UnusedLoopbackPort());
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    CString boxText;
    RunModal(
        [&] {
            SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
            PumpUntil([&] { return traceHas("Abort complete"); });
            return static_cast<INT_PTR>(0);
        },
        "Tarnwick",
        [&](HWND box) {
            boxText = GetText(box, 0xFFFF); // the message text of a message box
            ClickButton(box, IDCANCEL);
        });
    EXPECT_NE(boxText.find("FTP error"), std::string::npos) << boxText;
    EXPECT_NE(boxText.find("Could Not Connect To Server!"), std::string::npos) << boxText;
    EXPECT_TRUE(traceHas("Abort complete"));
    EXPECT_FALSE(window.m_bConnected);
    EXPECT_EQ(window.m_queue.pendingCount(), 0u);
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndEndsTheLoop) {
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    HWND handle = window.m_hWnd;
    SendMessageA(handle, WM_COMMAND, ID_EXIT, 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.m_hWnd, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(GetCallBackController(), nullptr);
}

} // namespace
