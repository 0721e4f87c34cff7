// Journeys of a user who moves files: folder trees by menu, drop and paste, changing the
// server's folders; a listing exactly as a server sent it and
// a download aborted and resumed.
#include "tests/ui/MainWindowJourney.h"

#include "common/Files.h"

#include <shlobj.h>

extern const unsigned char kFakeDownload[];
extern const size_t kFakeDownload_size;

using namespace ui_journey;

namespace {

// A shell file list, as the shell hands it over in a drop or on the clipboard.
HGLOBAL makeFileList(const std::vector<CString>& paths) {
    CString all;
    for (const CString& path : paths)
        all += path + '\0';
    HGLOBAL memory = GlobalAlloc(GHND | GMEM_SHARE, sizeof(DROPFILES) + all.size() + 1);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    memcpy(files + 1, all.data(), all.size());
    GlobalUnlock(memory);
    return memory;
}

using TransferJourney = MainWindowTest;

TEST_F(TransferJourney, FoldersGoUpWithoutLinksAndTheServersFoldersChange) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    ASSERT_TRUE(WriteFile(server->file("a.txt"), "plain") &&
                CreateDirectoryA(server->file("in").c_str(), nullptr));
    ASSERT_TRUE(RunUnix("Z:\\bin\\touch \"a.txt \"", server->root()));
    for (const char* folder : {"Up", "Up\\Sub", "Up\\Empty"})
        ASSERT_TRUE(CreateDirectoryA(local.file(folder).c_str(), nullptr));
    for (const char* name : {"Up\\a.txt", "Up\\Sub\\b.txt", "lone.txt"})
        ASSERT_TRUE(WriteFile(local.file(name), name));
    // A link back to the folder above: followed, it would never end.
    ASSERT_TRUE(RunUnix("Z:\\bin\\ln -s .. back", local.file("Up\\Sub")));
    ASSERT_TRUE(RunUnix("Z:\\bin\\truncate -s 5G big.bin", local.path()));
    ASSERT_TRUE(PumpUntil([&] { return files::Exists(local.file("Up\\Sub\\back")); }));
    ASSERT_NO_FATAL_FAILURE(logOn(*server));
    ASSERT_TRUE(remoteRow("a.txt ") >= 0 && remoteRow("a.txt") >= 0);
    EXPECT_EQ(win->m_leftList.getItemText(localRow("big.bin"), 1), "5368709120");

    SelectRows(win->m_leftList.window(), {"Up"});
    command(ID_SEND);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("Up") >= 0; }));
    EXPECT_TRUE(traceHas("Not uploading " + local.file("Up\\Sub") + "\\back")) << trace();
    EXPECT_TRUE(ReadFile(server->file("Up/Sub/b.txt")) == "Up\\Sub\\b.txt" &&
                files::IsFolder(server->file("Up/Empty")));
    EXPECT_FALSE(files::Exists(server->file("Up/Sub/back")));

    // A file and a folder dropped at once on the remote list: into the folder shown there.
    doubleClick(win->m_rightList, "in");
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/in"); }));
    PostMessageA(win->m_rightList.window(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(makeFileList({local.file("lone.txt"), local.file("Up")})),
                 0);
    ASSERT_TRUE(
        PumpUntil([&] { return idle() && remoteRow("Up") >= 0 && remoteRow("lone.txt") >= 0; }));
    EXPECT_TRUE(ReadFile(server->file("in/Up/Sub/b.txt")) == "Up\\Sub\\b.txt" &&
                !files::Exists(server->file("in/Up/Sub/back")));

    // Pasted: the clipboard's list is read, never released.
    ASSERT_TRUE(OpenClipboard(win->m_hWnd) && EmptyClipboard());
    SetClipboardData(CF_HDROP, makeFileList({local.file("lone.txt")}));
    CloseClipboard();
    ASSERT_TRUE(DeleteFileA(server->file("in/lone.txt").c_str()));
    command(ID_PASTE);
    ASSERT_TRUE(PumpUntil([&] { return idle() && files::Exists(server->file("in/lone.txt")); }));
    ASSERT_TRUE(OpenClipboard(win->m_hWnd));
    auto list = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    EXPECT_TRUE(GlobalSize(list) && DragQueryFileA(list, 0xFFFFFFFF, nullptr, 0) == 1)
        << "the clipboard's file list was released";
    CloseClipboard();
    // Any length: the shell's paths come out whole.
    const CString longPath = "C:\\" + CString(300, 'd') + "\\" + CString(250, 'f') + ".txt";
    HGLOBAL memory = makeFileList({"C:\\short.txt", longPath});
    EXPECT_EQ(DroppedPaths(static_cast<HDROP>(memory)),
              (std::vector<CString>{"C:\\short.txt", longPath}));
    GlobalFree(memory);

    // Of two names that differ by a trailing blank, the one chosen goes.
    win->m_rightTree.selectItem(win->m_rightTree.getRoot());
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && remoteRow("a.txt ") >= 0; }));
    SelectRows(win->m_rightList.window(), {"a.txt "});
    command(ID_REMOVE_FILE);
    ASSERT_TRUE(PumpUntil([&] { return idle() && remoteRow("a.txt ") < 0; }));
    EXPECT_EQ(ReadFile(server->file("a.txt")), "plain");

    // The empty folder sent above goes after a question.
    win->m_rightTree.selectItem(child(win->m_rightTree.getRoot(), "Up"));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/Up") && remoteRow("Empty") >= 0; }));
    win->m_rightTree.selectItem(child(child(win->m_rightTree.getRoot(), "Up"), "Empty"));
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/Up/Empty"); }));
    {
        BoxAnswers question("Warning", {IDYES});
        command(ID_DELETE_DIR);
        EXPECT_EQ(question.texts.size(), 1u) << "the folder went without a question";
    }
    ASSERT_TRUE(PumpUntil([&] { return showsFolder("/Up") && remoteRow("Empty") < 0; }));
    EXPECT_FALSE(files::Exists(server->file("Up/Empty")));
}

// What the panes make of a listing exactly as the server sent it; then an abort in the middle
// of a download keeps what arrived beside an untouched target, and the next Retrieve goes on
// from there.
TEST_F(TransferJourney, TheScriptedListingAndADownloadAbortedAndResumed) {
    auto fake = rig::StartFake(
        std::string(reinterpret_cast<const char*>(kFakeDownload), kFakeDownload_size));
    ASSERT_TRUE(fake->ok()) << fake->error();
    ASSERT_TRUE(WriteFile(local.file("f.bin"), "the old f.bin"));
    ASSERT_NO_FATAL_FAILURE(logOn(*fake));
    ASSERT_GE(remoteRow("f.bin"), 0) << fake->transcript();
    // Folders into the tree with their placeholder; a link is no folder of the tree. Every
    // entry into the list (folders on top), never "." or ".."; names exactly as listed, the
    // details the whole line without its line end.
    const CMyRightTree& tree = win->m_rightTree;
    EXPECT_EQ(children(tree.getRoot()), std::vector<CString>{"sub"});
    EXPECT_EQ(children(child(tree.getRoot(), "sub")), std::vector<CString>{"???? Loading..."});
    EXPECT_EQ(names(win->m_rightList),
              (std::vector<CString>{"sub", "link", "a.txt ", "a.txt", "f.bin"}));
    EXPECT_EQ(win->m_rightList.getItemText(3, 1), "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt");

    const CString part = local.file("f.bin.TarnwickPart");
    SelectRows(win->m_rightList.window(), {"f.bin"});
    command(ID_RETRIEVE);
    ASSERT_TRUE(PumpUntil([&] { return ReadFile(part).size() == 50000; })) << fake->transcript();
    SetFocus(win->m_rightList.window());
    EXPECT_TRUE(pressKey('X', true));
    ASSERT_TRUE(PumpUntil([&] { return idle() && traceHas("Abort complete"); }));
    EXPECT_TRUE(ReadFile(part) == rig::PatternBytes(0, 50000));
    EXPECT_EQ(ReadFile(local.file("f.bin")), "the old f.bin");

    command(ID_RETRIEVE);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !files::Exists(part); }))
        << fake->transcript() << trace();
    EXPECT_TRUE(ReadFile(local.file("f.bin")) == rig::PatternBytes(0, 90000));
    EXPECT_EQ(fake->transcript().find("* error"), std::string::npos) << fake->transcript();
}

} // namespace
