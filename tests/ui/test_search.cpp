// Journeys through the remote search: a search whose dialog fills while the walk runs and whose
// buttons download, delete and search again, and recursive deletes that ask first and delete
// only a whole tree, links as themselves.
#include "tests/ui/MainWindowJourney.h"

#include "common/Files.h"
#include "search/CSearchDialog.h"

extern const unsigned char kFakeSearch[];
extern const size_t kFakeSearch_size;

using namespace ui_journey;

namespace {

struct SearchJourney : MainWindowTest {
    // Logged on, the remote tree showing /top, the local tree the test's folder.
    void open(const rig::Server& server) {
        ASSERT_NO_FATAL_FAILURE(logOn(server));
        win->m_rightTree.selectItem(child(win->m_rightTree.getRoot(), "top"));
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/top"); }));
    }
    // Starts the search (or delete) of /top and runs script inside the results dialog once it
    // holds `count` rows; returns when the dialog has closed.
    void inResults(size_t count, const std::function<void(HWND)>& script,
                   int id = ID_REMOTE_SEARCH) {
        bool ran = false;
        RunModal(
            [&] {
                command(id);
                return INT_PTR(PumpUntil([&] { return ran && !win->m_pSearchDlg; }));
            },
            "Remote Search for Folder /top",
            [&](HWND dialog) {
                // (A box the walk raised and closed may have enabled it again.)
                EXPECT_TRUE(id != ID_REMOTE_SEARCH || !IsWindowEnabled(win->m_hWnd));
                EXPECT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == count; }));
                script(dialog);
                ran = true;
            });
        EXPECT_TRUE(IsWindowEnabled(win->m_hWnd));
    }
    static std::vector<CString> rows(HWND d) { return ListRows(GetDlgItem(d, IDC_SEARCH_LIST)); }
    static void select(HWND d, std::vector<CString> texts) {
        SelectRows(GetDlgItem(d, IDC_SEARCH_LIST), texts);
    }
    // The boxes of a recursive delete of /top: the question first.
    std::vector<CString> recursiveDelete(std::vector<int> answers, size_t boxes) {
        BoxAnswers answered("Warning|Tarnwick", std::move(answers));
        command(ID_RECURSIVE_DELETE);
        EXPECT_TRUE(PumpUntil(
            [&] { return idle() && !win->m_pSearchDlg && answered.texts.size() == boxes; }));
        EXPECT_EQ(answered.texts.empty() ? "" : answered.texts[0],
                  "Are you sure you want to delete everything inside the Directory\n/top");
        return answered.texts;
    }
};

TEST_F(SearchJourney, ResultsFillWhileTheWalkRunsAndTheirButtonsAct) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    for (const char* folder : {"top", "top/Data", "top/Data/Old", "top/Empty"})
        ASSERT_TRUE(files::CreateFolder(server->file(folder)));
    const std::string bytes = testing_support::RandomBytes(300000, 17);
    for (const char* name : {"top/a.txt", "top/Data/b.txt", "top/Data/Old/d.txt"})
        ASSERT_TRUE(WriteFile(server->file(name), name));
    ASSERT_TRUE(WriteFile(server->file("top/Data/Old/c.bin"), bytes));
    ASSERT_NO_FATAL_FAILURE(open(*server));
    BoxAnswers none("Warning|Tarnwick", {});

    inResults(7, [&](HWND dialog) {
        // Folders first, each below the folders it holds; then the files.
        SaveScreenshot(dialog, "search-results.bmp");
        std::vector<CString> shown = rows(dialog);
        EXPECT_LT(std::find(shown.begin(), shown.end(), "Data/Old"),
                  std::find(shown.begin(), shown.end(), "Data"));
        std::sort(shown.begin(), shown.begin() + 3);
        std::sort(shown.begin() + 3, shown.end());
        EXPECT_EQ(shown, (std::vector<CString>{"Data", "Data/Old", "Empty", "Data/Old/c.bin",
                                               "Data/Old/d.txt", "Data/b.txt", "a.txt"}));
        select(dialog, {"Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DOWNLOAD);
        ASSERT_TRUE(
            PumpUntil([&] { return idle() && files::Exists(local.file("Data\\Old\\c.bin")); }));
        EXPECT_TRUE(ReadFile(local.file("Data\\Old\\c.bin")) == bytes);
        // The files go first: the folder could not go before them.
        select(dialog, {"Data/Old/d.txt", "Data/Old", "Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DELETE);
        ASSERT_TRUE(
            PumpUntil([&] { return idle() && !files::Exists(server->file("top/Data/Old")); }));
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(win->m_leftList.getItemCount(), 1) << "the local list shows the new folder";

    // Refresh walks again; Escape and the close box only close.
    inResults(4, [&](HWND dialog) {
        ClickButton(dialog, IDC_SEARCH_REFRESH);
        EXPECT_TRUE(rows(dialog).empty());
        EXPECT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == 4; }));
        select(dialog, {"a.txt"});
        PostMessageA(GetDlgItem(dialog, IDC_SEARCH_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    inResults(4, [&](HWND dialog) {
        select(dialog, {"a.txt"});
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(PumpUntil([&] { return idle(); }));
    EXPECT_EQ(ReadFile(server->file("top/a.txt")), "top/a.txt");
    EXPECT_EQ(none.texts, std::vector<CString>{});
}

// A link to the server's root inside the folder: followed, the walk would never end and the
// delete would reach everything.
TEST_F(SearchJourney, RecursiveDeleteAsksAndDeletesOnlyAWholeTree) {
    auto server = rig::StartVsftpd();
    ASSERT_TRUE(server->ok()) << server->error();
    for (const char* folder : {"top", "top/Sub", "top/Sub/Deep"})
        ASSERT_TRUE(files::CreateFolder(server->file(folder)));
    for (const char* name : {"keep.txt", "top/a.txt", "top/Sub/b.txt", "top/Sub/Deep/c.txt"})
        ASSERT_TRUE(WriteFile(server->file(name), name));
    ASSERT_TRUE(RunUnix("Z:\\bin\\ln -s / root", server->file("top")));
    ASSERT_TRUE(PumpUntil([&] { return files::Exists(server->file("top/root")); }));
    ASSERT_NO_FATAL_FAILURE(open(*server));
    recursiveDelete({IDNO}, 1);
    EXPECT_EQ(win->m_search.m_searchRoot, "") << "no search started";

    // Over the bound: the walk stops, nothing is deleted, the user is told why.
    win->m_search.m_maxEntries = 3;
    EXPECT_EQ(
        recursiveDelete({IDYES, IDOK}, 2).back(),
        "Nothing was deleted in /top.\nThe search stopped: the tree holds more than 3 entries.");
    EXPECT_TRUE(files::Exists(server->file("top/Sub/Deep/c.txt")));
    win->m_search.m_maxEntries = kMaxSearchEntries;
    recursiveDelete({IDYES}, 1);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !files::Exists(server->file("top/Sub")); }))
        << trace();
    EXPECT_TRUE(traceHas("DELE /top/root"));
    EXPECT_FALSE(files::Exists(server->file("top/root")) ||
                 files::Exists(server->file("top/a.txt")));
    EXPECT_TRUE(files::IsFolder(server->file("top"))) << "the folder itself stays";
    EXPECT_EQ(ReadFile(server->file("keep.txt")), "keep.txt");
}

// A folder that cannot be listed leaves a hole in the picture: nothing is deleted. Refresh,
// pressed while the walk waits on that folder, turns the delete into a search.
TEST_F(SearchJourney, ARecursiveDeleteDeletesNothingAfterAFailedWalkOrARefresh) {
    auto fake =
        rig::StartFake(std::string(reinterpret_cast<const char*>(kFakeSearch), kFakeSearch_size));
    ASSERT_TRUE(fake->ok()) << fake->error();
    ASSERT_NO_FATAL_FAILURE(open(*fake));
    EXPECT_EQ(recursiveDelete({IDYES, IDYES, IDOK}, 3).back(),
              "Nothing was deleted in /top.\nNot every folder below it could be listed.")
        << fake->transcript();
    BoxAnswers answers("Warning|Tarnwick", {IDYES, IDYES});
    answers.before = [&](const CString& text) {
        if (text.rfind("The Ftp Servere", 0) == 0 && win->m_pSearchDlg)
            SendMessageA(win->m_pSearchDlg->window(), WM_COMMAND, IDC_SEARCH_REFRESH, 0);
    };
    inResults(
        2, [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); }, ID_RECURSIVE_DELETE);
    EXPECT_EQ(answers.texts.size(), 2u);
    // After the script the fake answers nothing: a DELE sent would still be waiting.
    EXPECT_EQ(fake->transcript().find("DELE"), std::string::npos) << fake->transcript();
}

} // namespace
