// Journeys of a user who moves files: sending and retrieving by menu, uploading folders by
// menu, drop and paste, changing the server's folders, aborting and resuming a download, and
// opening local folders and files.
#include "tests/ui/MainWindowJourney.h"

#include "common/Files.h"
#include "panes/LocalFolder.h"

#include <shlobj.h>

#include <tuple>

using namespace ui_journey;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// The Linux path of a local path (the program under test runs under Wine).
CString unixPath(const CString& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[4096] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, 4096);
    char* unix = toUnix ? toUnix(wide) : nullptr;
    CString result = unix ? unix : "";
    if (unix)
        HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts a Linux program (Wine starts those too), for what Windows calls cannot make: a
// symbolic link, a name that ends in a blank. Its end cannot be waited for: callers wait for
// what it makes.
bool runUnix(CString commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// A shell file list, as the shell hands it over in a drop or on the clipboard.
HGLOBAL makeFileList(const std::vector<CString>& paths) {
    size_t chars = 1;
    for (const CString& path : paths)
        chars += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND | GMEM_SHARE, sizeof(DROPFILES) + chars);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    char* p = reinterpret_cast<char*>(files + 1);
    for (const CString& path : paths) {
        memcpy(p, path.c_str(), path.size() + 1);
        p += path.size() + 1;
    }
    GlobalUnlock(memory);
    return memory;
}

class TransferJourney : public MainWindowTest {
protected:
    // The window, showing the local folder, logged on to server.
    void open(const rig::Server& server, bool passive = true) {
        if (server.user().empty()) // the scripted server: the test sets the account
            SetPrefInt("USERPREFS/Local", "PORT", server.port());
        else
            useServer(server);
        SetPrefString("USERPREFS/Local", "PASV", passive ? "Y" : "N");
        // Stored with doubled backslashes, as older versions wrote it.
        CString last = local.path();
        last.Replace("\\", "\\\\");
        SetPrefString(PREFS_SECTION, "LASTDIR", last.c_str());
        ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
        ASSERT_EQ(window.m_leftTree.getSelectedPath(), local.path());
        SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && window.m_bConnected; }));
    }
    int localRow(const char* name) const {
        for (int i = 0; i < window.m_leftList.getItemCount(); ++i) {
            if (window.m_leftList.nameOf(i) == name)
                return i;
        }
        return -1;
    }
    static void select(CBaseList& list, int row) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        item.state = 0;
        SendMessageA(list.window(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED;
        SendMessageA(list.window(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    // The command lines of an upload as sent, oldest first. The upload also traces each
    // folder's MKD when it queues it, always before that MKD is sent: those are taken out.
    std::vector<CString> uploadLines(const std::vector<CString>& expected) const {
        std::vector<CString> queued;
        for (const CString& line : expected) {
            if (line.rfind("MKD ", 0) == 0)
                queued.push_back(line);
        }
        std::vector<CString> lines;
        size_t next = 0;
        for (const CString& row : traceRows()) {
            if (next < queued.size() && row == queued[next])
                ++next;
            else if (row.rfind("MKD ", 0) == 0 || row == "TYPE I" || row.rfind("STOR /", 0) == 0)
                lines.push_back(row);
        }
        return lines;
    }
    // What uploading folder into remote must send, in the order the file system lists it;
    // links are left out.
    static void expectedUpload(const CString& folder, const CString& remote,
                               std::vector<CString>& lines) {
        lines.push_back("MKD " + remote);
        for (const LocalEntry& entry : ReadLocalFolder(folder)) {
            if (entry.isLink)
                continue;
            if (entry.isDir) {
                expectedUpload(folder + "\\" + entry.name, remote + "/" + entry.name, lines);
            } else {
                lines.push_back("TYPE I");
                lines.push_back("STOR " + remote + "/" + entry.name);
            }
        }
    }

    testing_support::TempDir local;
};

struct SendAndRetrieve : TransferJourney, ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(SendAndRetrieve, SelectedFilesGoToTheServerAndComeBackByteExact) {
    const bool vsftpd = CString(std::get<0>(GetParam())) == "vsftpd";
    auto server = vsftpd ? rig::StartVsftpd() : rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    const std::string one = testing_support::RandomBytes(700000, 7), two = "two\r\nlines\n";
    ASSERT_TRUE(WriteFile(local.file("one.bin"), one));
    ASSERT_TRUE(WriteFile(local.file("two.txt"), two));
    ASSERT_NO_FATAL_FAILURE(open(*server, std::get<1>(GetParam())));
    ASSERT_GE(localRow("one.bin"), 0);
    EXPECT_EQ(window.m_leftList.getItemText(localRow("one.bin"), 1), "700000");

    window.m_leftList.selectAll();
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_SEND, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("one.bin") >= 0 && remoteRow("two.txt") >= 0; }));
    EXPECT_EQ(rig::Checksum(ReadFile(server->file("one.bin"))), rig::Checksum(one));
    EXPECT_EQ(ReadFile(server->file("two.txt")), two);
    EXPECT_TRUE(SaveScreenshot(window.m_hWnd, "transfers-after-upload.png"));

    ASSERT_TRUE(DeleteFileA(local.file("one.bin").c_str()));
    ASSERT_TRUE(DeleteFileA(local.file("two.txt").c_str()));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_REFRESH_LOCAL, 0);
    EXPECT_EQ(window.m_leftList.getItemCount(), 0);
    window.m_rightList.selectAll();
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_RETRIEVE, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && localRow("one.bin") >= 0 && localRow("two.txt") >= 0; }))
        << "the local list was not refreshed after the download";
    EXPECT_EQ(rig::Checksum(ReadFile(local.file("one.bin"))), rig::Checksum(one));
    EXPECT_EQ(ReadFile(local.file("two.txt")), two);
}

INSTANTIATE_TEST_SUITE_P(ServersAndModes, SendAndRetrieve,
                         ::testing::Combine(::testing::Values("pyftpdlib", "vsftpd"), ::testing::Bool()));

// A folder tree by the menu, then a file and a folder dropped at once, then the same pasted
// from the clipboard, which keeps its list.
TEST_F(TransferJourney, FolderTreesGoUpInTheirOrderWithoutFollowingLinks) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    ASSERT_TRUE(CreateDirectoryA(local.file("Up").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(local.file("Up\\Sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(local.file("Up\\Empty").c_str(), nullptr));
    for (const char* name : {"Up\\a.txt", "Up\\z.txt", "Up\\Sub\\b.txt", "lone.txt"})
        ASSERT_TRUE(WriteFile(local.file(name), name));
    // A link back to the folder above: followed, it would never end.
    ASSERT_TRUE(runUnix("Z:\\bin\\ln -s .. " + unixPath(local.file("Up\\Sub")) + "/back"));
    ASSERT_TRUE(PumpUntil([&] { return files::Exists(local.file("Up\\Sub\\back")); }));
    ASSERT_NO_FATAL_FAILURE(open(*server));
    std::vector<CString> expected;
    expectedUpload(local.file("Up"), "/Up", expected);
    ASSERT_EQ(expected.size(), 9u); // 3 MKD, 3 files

    select(window.m_leftList, localRow("Up"));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_SEND, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("Up") >= 0; }));
    EXPECT_EQ(uploadLines(expected), expected);
    EXPECT_TRUE(traceHas(("Not uploading " + local.file("Up\\Sub") + "\\back").c_str()));
    EXPECT_EQ(ReadFile(server->file("Up/Sub/b.txt")), "Up\\Sub\\b.txt");
    EXPECT_EQ(GetFileAttributesA(server->file("Up/Sub/back").c_str()), INVALID_FILE_ATTRIBUTES);

    // Dropped on the remote list: into the folder selected there.
    ASSERT_TRUE(CreateDirectoryA(server->file("in").c_str(), nullptr));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_REFRESH_REMOTE, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("in") >= 0; }));
    doubleClickRow(remoteRow("in"));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/in"); }));
    window.m_traceBar.clear();
    PostMessageA(window.m_rightList.window(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(makeFileList({local.file("lone.txt"), local.file("Up")})), 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("Up") >= 0 && remoteRow("lone.txt") >= 0; }));
    expected.clear();
    expected = {"TYPE I", "STOR /in/lone.txt"};
    expectedUpload(local.file("Up"), "/in/Up", expected);
    EXPECT_EQ(uploadLines(expected), expected);
    EXPECT_EQ(ReadFile(server->file("in/Up/a.txt")), "Up\\a.txt");

    // Pasted: the clipboard's list is read, never released.
    ASSERT_TRUE(OpenClipboard(window.m_hWnd));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, makeFileList({local.file("lone.txt")}));
    CloseClipboard();
    ASSERT_TRUE(DeleteFileA(server->file("in/lone.txt").c_str()));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_PASTE, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && files::Exists(server->file("in/lone.txt")); }));
    ASSERT_TRUE(OpenClipboard(window.m_hWnd));
    auto list = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    EXPECT_NE(GlobalSize(list), 0u) << "the clipboard's file list was released";
    EXPECT_EQ(list ? DragQueryFileA(list, 0xFFFFFFFF, nullptr, 0) : 0u, 1u);
    CloseClipboard();

    // Any length: the shell's paths come out whole.
    const CString longPath = "C:\\" + CString(300, 'd') + "\\" + CString(250, 'f') + ".txt";
    HGLOBAL memory = makeFileList({"C:\\short.txt", longPath});
    EXPECT_EQ(DroppedPaths(static_cast<HDROP>(memory)), (std::vector<CString>{"C:\\short.txt", longPath}));
    GlobalFree(memory);
}

// Removing one of two names that differ only by a trailing blank, creating and deleting a
// folder, and SITE commands with the folder or the file name filled in.
TEST_F(TransferJourney, TheServersFoldersChangeAsTheUserAsks) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    ASSERT_TRUE(WriteFile(server->file("a.txt"), "plain"));
    ASSERT_TRUE(runUnix("Z:\\bin\\touch \"" + unixPath(server->file("a.txt")) + " \""));
    ASSERT_NO_FATAL_FAILURE(open(*server));
    ASSERT_TRUE(PumpUntil([&] { return remoteRow("a.txt ") >= 0 && remoteRow("a.txt") >= 0; }));

    select(window.m_rightList, remoteRow("a.txt "));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_REMOVE_FILE, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("a.txt ") < 0; }));
    EXPECT_GE(remoteRow("a.txt"), 0);
    EXPECT_EQ(ReadFile(server->file("a.txt")), "plain");

    RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_CREATE_DIR, 0); }, "Specify Name",
             [](HWND dialog) {
                 SetText(dialog, IDC_PROMPT_EDIT, " made ");
                 ClickButton(dialog, IDOK);
             });
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("made") >= 0; }));
    EXPECT_TRUE(files::IsFolder(server->file("made")));

    window.m_rightTree.selectItem(child(window.m_rightTree.getRoot(), "made"));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/made"); }));
    CString question;
    RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_DELETE_DIR, 0); }, "Warning",
             [&](HWND box) {
                 question = GetText(box, 0xFFFF);
                 ClickButton(box, IDYES);
             });
    EXPECT_EQ(question, "Are you sure you want to delete the Directory\n/made");
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("made") < 0; }));
    EXPECT_FALSE(files::Exists(server->file("made")));

    CString filled;
    RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_SITE_USING_DIR, 0); },
             "Enter SITE Parameters", [&](HWND dialog) {
                 filled = GetText(dialog, IDC_PROMPT_EDIT);
                 SetText(dialog, IDC_PROMPT_EDIT, "HELP");
                 ClickButton(dialog, IDOK);
             });
    EXPECT_EQ(filled, "/");
    EXPECT_TRUE(PumpUntil([&] { return idle() && traceHas("214"); }));
    select(window.m_rightList, remoteRow("a.txt"));
    RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_SITE_USING_FILE, 0); },
             "Enter SITE Parameters", [&](HWND dialog) {
                 filled = GetText(dialog, IDC_PROMPT_EDIT);
                 ClickButton(dialog, IDCANCEL);
             });
    EXPECT_EQ(filled, "a.txt");
}

// What the panes make of a listing exactly as the server sent it; then an abort in the middle
// of a download keeps what arrived beside an untouched target, and the next Retrieve goes on
// from there.
TEST_F(TransferJourney, TheScriptedListingAndADownloadAbortedAndResumed) {
    auto fake = rig::StartFake(
        "reply 220 Fake ready\nexpect USER tester\nreply 331 Password\nexpect PASS word\n"
        "reply 230 Logged in\nexpect PWD\nreply 257 \"/\" is current\nexpect PWD\n"
        "reply 257 \"/\" is current\nexpect PASV\npasv\nexpect LIST /\nreply 150 Here\n"
        "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 .\\r\\ndrwxr-xr-x 2 u g 0 Jan 01 10:00 ..\\r\\n"
        "drwxr-xr-x 2 u g 0 Jan 01 10:00 sub\\r\\nlrwxrwxrwx 1 u g 3 Jan 01 10:00 link -> sub\\r\\n"
        "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt \\r\\n-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt\\r\\n"
        "-rw-r--r-- 1 u g 90000 Jan 01 10:00 f.bin\\r\\n\ndclose\nreply 226 Done\n"
        "expect TYPE I\nreply 200 binary\nexpect PASV\npasv\nexpect RETR /f.bin\n"
        "reply 150 sending\ndpattern 50000\nexpect ABOR\ndclose\nreply 426 aborted\nreply 226 abort done\n"
        "expect TYPE I\nreply 200 binary\nexpect PASV\npasv\nexpect REST 50000\n"
        "reply 350 restarting\nexpect RETR /f.bin\nreply 150 sending\ndpattern 40000 rest\n"
        "dclose\nreply 226 done\n");
    ASSERT_TRUE(fake->ok()) << fake->error();
    SetPrefString("USERPREFS/Local", "USER", "tester");
    SetPrefString("USERPREFS/Local", "WORD", "word");
    ASSERT_TRUE(WriteFile(local.file("f.bin"), "the old f.bin"));
    ASSERT_NO_FATAL_FAILURE(open(*fake));
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("f.bin") >= 0; })) << fake->transcript();
    // Folders into the tree, each with its placeholder; a link is no folder of the tree. Every
    // entry into the list (folders on top), never "." or ".."; the names exactly as listed, the
    // details the whole line without its line end.
    const CMyRightTree& tree = window.m_rightTree;
    EXPECT_EQ(children(tree.getRoot()), std::vector<CString>{"sub"});
    EXPECT_EQ(children(child(tree.getRoot(), "sub")), std::vector<CString>{"???? Loading..."});
    EXPECT_EQ(remoteRows(), (std::vector<CString>{"sub", "link", "a.txt ", "a.txt", "f.bin"}));
    EXPECT_EQ(window.m_rightList.getItemText(1, 1), "lrwxrwxrwx 1 u g 3 Jan 01 10:00 link -> sub");
    EXPECT_EQ(window.m_rightList.getItemText(3, 1), "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt");
    const CString part = local.file("f.bin.TarnwickPart");

    select(window.m_rightList, remoteRow("f.bin"));
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_RETRIEVE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ReadFile(part).size() == 50000; })) << fake->transcript();
    SetFocus(window.m_rightList.window());
    EXPECT_TRUE(pressKey('X', true));
    ASSERT_TRUE(PumpUntil([&] { return idle() && traceHas("Abort complete"); }));
    EXPECT_TRUE(ReadFile(part) == rig::PatternBytes(0, 50000));
    EXPECT_EQ(ReadFile(local.file("f.bin")), "the old f.bin");

    SendMessageA(window.m_hWnd, WM_COMMAND, ID_RETRIEVE, 0);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !files::Exists(part); }))
        << fake->transcript() << traceText();
    EXPECT_TRUE(ReadFile(local.file("f.bin")) == rig::PatternBytes(0, 90000));
    EXPECT_EQ(fake->transcript().find("* error"), std::string::npos) << fake->transcript();
}

// The local list: whole sizes of big files, folders opened by a double-click, and a file no
// program is associated with.
TEST_F(TransferJourney, LocalFoldersOpenAndFilesWithoutAProgramWarn) {
    ASSERT_TRUE(CreateDirectoryA(local.file("sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFile(local.file("sub\\inner.txt"), "inner"));
    ASSERT_TRUE(WriteFile(local.file("x.tw2unknown"), "x"));
    HANDLE big = CreateFileA(local.file("big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER fiveGiB;
    fiveGiB.QuadPart = 5LL << 30;
    EXPECT_TRUE(SetFilePointerEx(big, fiveGiB, nullptr, FILE_BEGIN) && SetEndOfFile(big));
    CloseHandle(big);
    CString last = local.path();
    SetPrefString(PREFS_SECTION, "LASTDIR", last.c_str());
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    ASSERT_GE(localRow("big.bin"), 0);
    EXPECT_EQ(window.m_leftList.getItemText(localRow("big.bin"), 1), "5368709120");

    auto doubleClickLocal = [&](int row) {
        select(window.m_leftList, row);
        NMITEMACTIVATE click = {};
        click.hdr.hwndFrom = window.m_leftList.window();
        click.hdr.idFrom = static_cast<UINT_PTR>(window.m_leftList.controlId());
        click.hdr.code = NM_DBLCLK;
        click.iItem = row;
        SendMessageA(window.m_hWnd, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    };
    doubleClickLocal(localRow("sub"));
    EXPECT_EQ(window.m_leftTree.getSelectedPath(), local.file("sub"));
    EXPECT_GE(localRow("inner.txt"), 0);

    window.m_leftTree.selectItem(window.m_leftTree.getParent(window.m_leftTree.getSelection()));
    CString warning;
    RunModal(
        [&] {
            doubleClickLocal(localRow("x.tw2unknown"));
            return static_cast<INT_PTR>(0);
        },
        "Warning", [&](HWND box) {
            warning = GetText(box, 0xFFFF);
            ClickButton(box, IDOK);
        });
    EXPECT_EQ(warning, "There is no association with this file.\nPlease create one first");
}

} // namespace
