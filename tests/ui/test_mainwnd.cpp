// The main window as a user goes through it on each real server and mode: logging on from the
// keyboard, browsing, renaming, sending and retrieving files, closing the connection (shortcut
// keys from the trace list, a list view, a tree and a label editor); a refused connection and
// a silent one.
#include "tests/ui/MainWindowJourney.h"

#include "net/FtpDataManager.h"
#include "tests/support/RawPeer.h"

#include <tuple>

using namespace ui_journey;

namespace {

struct ServersAndModes : MainWindowTest,
                         ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(ServersAndModes, AUserBrowsesRenamesSendsRetrievesAndClosesTheConnection) {
    const bool vsftpd = CString(std::get<0>(GetParam())) == "vsftpd";
    auto server = vsftpd ? rig::StartVsftpd() : rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    useServer(*server, std::get<1>(GetParam()));
    for (const char* folder : {"share", "share/docs"})
        ASSERT_TRUE(CreateDirectoryA(server->file(folder).c_str(), nullptr));
    ASSERT_TRUE(WriteFile(server->file("top.txt"), "top") &&
                WriteFile(server->file("share/a.txt"), "a"));
    const std::string one = testing_support::RandomBytes(700000, 7), two = "two\r\nlines\n";
    ASSERT_TRUE(WriteFile(local.file("one.bin"), one) && WriteFile(local.file("two.txt"), two));
    CString last = local.path(); // stored with doubled backslashes, as older versions wrote it
    last.Replace("\\", "\\\\");
    SetPrefString(PREFS_SECTION, "LASTDIR", last.c_str());
    start();
    EXPECT_EQ(win->m_leftTree.getSelectedPath(), local.path());
    CMyRightTree& tree = win->m_rightTree;

    // A click in the trace list does not take the shortcut keys away from the window.
    Click(win->m_traceBar.m_list.window(), 20, 30);
    EXPECT_TRUE(pressKey('L', true));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("top.txt") >= 0; }))
        << trace();
    EXPECT_FALSE(traceHas("PASS") || traceHas("Command State Change"))
        << trace();                               // level 9 never shows
    EXPECT_EQ(trace().find('\r'), CString::npos); // lines shown without their CR LF
    HTREEITEM share = child(tree.getRoot(), "share");

    // Expanding a folder that is not selected selects it and lists it, once.
    tree.expand(share, TVE_EXPAND);
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/share") && remoteRow("a.txt") >= 0; }));
    EXPECT_EQ(names(win->m_rightList), (std::vector<CString>{"docs", "a.txt"}));
    SaveScreenshot(win->m_hWnd, "logged-on-remote-tree-expanded.bmp");
    const CString listed = trace();
    EXPECT_EQ(listed.find("\nLIST /share\n"), listed.rfind("\nLIST /share\n")) << listed;

    // Renaming in place: the server has the new name and the list shows it. Ctrl+X in the
    // editor cuts text and aborts nothing.
    tree.selectItem(tree.getRoot());
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("top.txt") >= 0; }));
    SetFocus(win->m_rightList.window());
    HWND editor = reinterpret_cast<HWND>(
        SendMessageA(win->m_rightList.window(), LVM_EDITLABELA, remoteRow("top.txt"), 0));
    SetFocus(editor);
    EXPECT_FALSE(pressKey('X', true)) << "Ctrl+X belongs to the label editor";
    char cut[64] = "?";
    GetWindowTextA(editor, cut, sizeof cut);
    EXPECT_STREQ(cut, "") << "Ctrl+X did not cut the selected name";
    SetWindowTextA(editor, "renamed.txt");
    SendMessageA(editor, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil(
        [&] { return idle() && remoteRow("renamed.txt") >= 0 && remoteRow("top.txt") < 0; }));
    EXPECT_EQ(ReadFile(server->file("renamed.txt")), "top");

    // Every local file sent, then every remote file (not the folders) retrieved.
    win->m_leftList.selectAll();
    command(ID_SEND);
    ASSERT_TRUE(PumpUntil(
        [&] { return idle() && remoteRow("one.bin") >= 0 && remoteRow("two.txt") >= 0; }));
    EXPECT_TRUE(ReadFile(server->file("one.bin")) == one &&
                ReadFile(server->file("two.txt")) == two);
    SaveScreenshot(win->m_hWnd, "both-panes-after-upload.bmp");
    EXPECT_TRUE(PumpUntil([] { return TransferMeterSampler().maxBytesPerSec() > 0; }))
        << "no meter sample";
    ASSERT_TRUE(DeleteFileA(local.file("one.bin").c_str()) &&
                DeleteFileA(local.file("two.txt").c_str()));
    SetFocus(win->m_leftList.window()); // keys reach the window from a list view too
    EXPECT_TRUE(pressKey(VK_F5, false));
    EXPECT_EQ(win->m_leftList.getItemCount(), 0);
    win->m_rightList.selectAll();
    command(ID_RETRIEVE);
    ASSERT_TRUE(PumpUntil([&] {
        return idle() && localRow("one.bin") >= 0 && localRow("renamed.txt") >= 0;
    })) << "the local list was not refreshed after the download";
    EXPECT_TRUE(ReadFile(local.file("one.bin")) == one && ReadFile(local.file("two.txt")) == two);
    EXPECT_EQ(localRow("share"), -1);

    // Closing the connection: back to "Not Connected"; opening the root logs on again.
    SetFocus(tree.window());
    EXPECT_TRUE(pressKey('Q', true));
    EXPECT_EQ(tree.getItemText(tree.getRoot()), "Not Connected");
    ASSERT_TRUE(PumpUntil([&] { return idle() && !win->m_bConnected; }));
    tree.expand(tree.getRoot(), TVE_EXPAND);
    EXPECT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("renamed.txt") >= 0; }))
        << "expanding the root while disconnected did not log on";
}

INSTANTIATE_TEST_SUITE_P(Servers, ServersAndModes,
                         ::testing::Combine(::testing::Values("pyftpdlib", "vsftpd"),
                                            ::testing::Bool()));

// A first start without an account: the log-on offers the manager, and the account made there
// becomes the current one; its server refuses, the box offers Retry, Cancel aborts; a server
// that never answers gets the same box after the time limit.
TEST_F(MainWindowTest, AFirstStartMakesAnAccountWhoseRefusedConnectionIsCancelled) {
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "");
    SetPrefString(PREFS_SECTION, "DEFAULT", "");
    start();
    const CString port = FormatString("%d", testing_support::UnusedLoopbackPort());
    {
        BoxAnswers question("Tarnwick", {IDYES});
        RunModal([&] { return command(ID_LOGON); }, "Accounts",
                 [&](HWND m) {
                     ClickInto(m, IDC_ACCOUNTS_ADD, "Preferences", [&](HWND d) {
                         SetText(d, IDC_ACC_NAME, "Local");
                         SetText(d, IDC_ACC_SERVER, "127.0.0.1");
                         SetText(d, IDC_ACC_PORT, port);
                         ClickButton(d, IDOK);
                     });
                     ClickButton(m, IDOK);
                 });
        EXPECT_NE((question.texts.empty() ? "" : question.texts[0]).find("account manager"),
                  CString::npos);
    }
    EXPECT_EQ(title(), "Tarnwick2 - Local");
    {
        BoxAnswers box("Tarnwick", {IDCANCEL});
        command(ID_LOGON);
        ASSERT_TRUE(PumpUntil([&] { return traceHas("Abort complete"); })) << trace();
        ASSERT_EQ(box.texts.size(), 1u);
        EXPECT_NE(box.texts[0].find("Could Not Connect To Server!"), CString::npos) << box.texts[0];
        EXPECT_TRUE(!win->m_bConnected && win->m_queue.pendingCount() == 0);
        EXPECT_TRUE(traceHas("<<< Could not connect to 127.0.0.1 port " + port + ": refused"));
    }
    // The account moves to a server that takes the connection and never says a word: the box
    // comes after the time limit, and Cancel leaves no socket open.
    auto silent = rig::StartFake("idle 20\n");
    ASSERT_TRUE(silent->ok()) << silent->error();
    SetPrefString(PREFS_SECTION, "TIMEOUT", "1");
    SetPrefString("USERPREFS/Local", "PORT", FormatString("%d", silent->port()).c_str());
    BoxAnswers box("Tarnwick", {IDCANCEL});
    command(ID_LOGON);
    ASSERT_TRUE(PumpUntil([&] { return box.texts.size() == 1 && idle(); })) << trace();
    EXPECT_NE(box.texts[0].find("Server Connection Closed!"), CString::npos) << box.texts[0];
    EXPECT_FALSE(GetControlSocket().IsOpen() || GetDataConnection().IsOpen() ||
                 GetDataListener().IsOpen());
}

} // namespace
