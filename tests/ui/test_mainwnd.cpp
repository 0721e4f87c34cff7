// The main window driven for real under Wine, as a user goes: logging on to a local server with
// the account in the settings, browsing and renaming in the remote panes, closing the
// connection, shortcut keys from every pane, resizing, a refused connection, and closing.
#include "mainwnd/CMyMainWnd.h"

#include "engine/Command.h"
#include "net/FtpSocketControl.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/RawPeer.h"
#include "tests/support/Rig.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>

using namespace ui_test;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Local");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Local");
        SetPrefString("USERPREFS/Local", "SERVER", "127.0.0.1");
        SetPrefString("USERPREFS/Local", "PASV", "Y");
    }
    void TearDown() override {
        if (window.m_hWnd)
            DestroyWindow(window.m_hWnd);
        GetControlSocket().Close();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    void useServer(const rig::Server& server) {
        SetPrefInt("USERPREFS/Local", "PORT", server.port());
        SetPrefString("USERPREFS/Local", "USER", server.user().c_str());
        SetPrefString("USERPREFS/Local", "WORD", server.password().c_str());
    }
    std::vector<CString> traceRows() const {
        std::vector<CString> rows;
        const CBaseList& list = window.m_traceBar.m_list;
        for (int i = list.getItemCount() - 1; i >= 0; --i) // oldest first
            rows.push_back(list.getItemText(i, 0));
        return rows;
    }
    bool traceHas(const char* prefix) const {
        for (const CString& row : traceRows()) {
            if (row.rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    }
    CString statusText() const {
        char text[256] = {};
        SendMessageA(window.m_hStatus, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool idle() const {
        const CCommand* current = window.m_queue.currentCommand();
        // A finished listing is retired at once: then no command is current.
        return window.m_queue.pendingCount() == 0 &&
               (!current || current->getState() == CMD_FINISHED);
    }

    // The remote list's names, top row first; the tree node's children's texts.
    std::vector<CString> remoteRows() const {
        std::vector<CString> rows;
        for (int i = 0; i < window.m_rightList.getItemCount(); ++i)
            rows.push_back(window.m_rightList.getItemText(i, 0));
        return rows;
    }
    std::vector<CString> children(HTREEITEM node) const {
        std::vector<CString> texts;
        const CMyRightTree& tree = window.m_rightTree;
        for (HTREEITEM child = tree.getChild(node); child; child = tree.getNextSibling(child))
            texts.push_back(tree.getItemText(child));
        return texts;
    }
    HTREEITEM child(HTREEITEM node, const char* text) const {
        const CMyRightTree& tree = window.m_rightTree;
        for (HTREEITEM c = tree.getChild(node); c; c = tree.getNextSibling(c)) {
            if (tree.getItemText(c) == text)
                return c;
        }
        return nullptr;
    }
    int remoteRow(const char* name) const {
        for (int i = 0; i < window.m_rightList.getItemCount(); ++i) {
            if (window.m_rightList.getItemText(i, 0) == name)
                return i;
        }
        return -1;
    }
    int traceCount(const char* line) const {
        int n = 0;
        for (const CString& row : traceRows())
            n += row == line;
        return n;
    }
    bool showsFolder(const char* path) {
        return idle() && window.m_rightTree.getSelectedPath() == path;
    }
    // A key pressed with the focus where it is, through the program's message loop step.
    bool pressKey(UINT key, bool control, bool shift = false) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        BYTE saved[256];
        memcpy(saved, state, sizeof saved);
        state[VK_CONTROL] = control ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg = {};
        msg.hwnd = GetFocus();
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        msg.lParam = 1;
        bool translated = window.translateAccelerator(msg);
        if (!translated) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SetKeyboardState(saved);
        PumpPending();
        return translated;
    }
    void doubleClickRow(int row) {
        HWND list = window.m_rightList.window();
        RECT bounds = {};
        bounds.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        const int x = bounds.left + 4, y = (bounds.top + bounds.bottom) / 2;
        Click(list, x, y);
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpPending();
    }

    testing_support::ScopedPrefs prefs;
    CMyMainWnd window;
};

TEST_F(MainWindowTest, LogsOnWithTheCurrentAccountAndShowsTheDialogue) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    useServer(*server);
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    char title[256] = {};
    GetWindowTextA(window.m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Tarnwick2 - Local");
    EXPECT_EQ(GetCallBackController(), &window);

    SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
    ASSERT_TRUE(PumpUntil([&] { return window.m_bConnected && idle() && !window.m_remotePath.empty(); }))
        << "the log-on and the PWD after it did not finish";
    EXPECT_TRUE(traceHas("220 "));
    EXPECT_TRUE(traceHas("USER tw"));
    EXPECT_TRUE(traceHas("230 "));
    EXPECT_TRUE(traceHas("Logging into account Local"));
    EXPECT_FALSE(traceHas("PASS"));
    EXPECT_FALSE(traceHas("Command State Change")); // level 9 is never shown
    for (const CString& row : traceRows())
        EXPECT_EQ(row.find_first_of("\r\n"), std::string::npos) << row; // shown without CR LF
    EXPECT_EQ(statusText(), "Ready");
    EXPECT_EQ(window.m_remotePath, "/");
    EXPECT_TRUE(SaveScreenshot(window.m_hWnd, "mainwnd-logged-on.png"));
}

// What the panes make of a listing, exactly as the server sent it.
TEST_F(MainWindowTest, TheServersFolderFillsTheRemotePanes) {
    auto fake = rig::StartFake("reply 220 Fake ready\nexpect USER tester\nreply 331 Password\n"
                               "expect PASS word\nreply 230 Logged in\n"
                               "expect PWD\nreply 257 \"/\" is current\n"
                               "expect PWD\nreply 257 \"/\" is current\n"
                               "expect PASV\npasv\nexpect LIST /\nreply 150 Here it comes\n"
                               "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 .\\r\\n"
                               "drwxr-xr-x 2 u g 0 Jan 01 10:00 ..\\r\\n"
                               "drwxr-xr-x 2 u g 0 Jan 01 10:00 sub\\r\\n"
                               "lrwxrwxrwx 1 u g 3 Jan 01 10:00 link -> sub\\r\\n"
                               "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt \\r\\n"
                               "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt\\r\\n\n"
                               "dclose\nreply 226 Done\n");
    ASSERT_TRUE(fake->ok()) << fake->error();
    SetPrefInt("USERPREFS/Local", "PORT", fake->port());
    SetPrefString("USERPREFS/Local", "USER", "tester");
    SetPrefString("USERPREFS/Local", "WORD", "word");
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    const CMyRightTree& tree = window.m_rightTree;
    EXPECT_EQ(tree.getItemText(tree.getRoot()), "Not Connected");
    EXPECT_EQ(children(tree.getRoot()), std::vector<CString>{"???? Loading..."});

    SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && window.m_rightList.getItemCount() > 0; }))
        << fake->transcript();
    EXPECT_EQ(tree.getItemText(tree.getRoot()), "/");
    // Folders into the tree, each with its placeholder; a link is no folder of the tree.
    EXPECT_EQ(children(tree.getRoot()), std::vector<CString>{"sub"});
    EXPECT_EQ(children(child(tree.getRoot(), "sub")), std::vector<CString>{"???? Loading..."});
    // Every entry into the list (folders on top), never "." or ".."; the names exactly as
    // listed, the details the whole line without its line end.
    EXPECT_EQ(remoteRows(), (std::vector<CString>{"sub", "link", "a.txt ", "a.txt"}));
    EXPECT_EQ(window.m_rightList.getItemText(1, 1), "lrwxrwxrwx 1 u g 3 Jan 01 10:00 link -> sub");
    EXPECT_EQ(window.m_rightList.getItemText(3, 1), "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt");
}

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
    CMyRightTree& tree = window.m_rightTree;

    // A click in the trace list does not take the shortcut keys away from the window.
    Click(window.m_traceBar.m_list.window(), 20, 30);
    EXPECT_EQ(GetFocus(), window.m_traceBar.m_list.window());
    EXPECT_TRUE(pressKey('L', true));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("top.txt") >= 0; }))
        << "the log-on did not list the root";
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
