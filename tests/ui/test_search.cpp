// Journeys through the remote search: a search whose dialog fills while the walk runs and whose
// buttons download, delete and search again, and recursive deletes that ask first and delete
// only a whole tree, links as themselves.
#include "tests/ui/MainWindowJourney.h"

#include "common/Files.h"
#include "search/CSearchDialog.h"

#include <algorithm>
#include <functional>

using namespace ui_journey;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// Answers every box titled "Tarnwick" (Yes, or OK when it has no Yes) and keeps its text.
struct BoxAnswerer {
    BoxAnswerer() {
        answered = nullptr;
        texts.clear();
        timer = SetTimer(nullptr, 0, 50, &tick);
    }
    ~BoxAnswerer() { KillTimer(nullptr, timer); }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND box = FindThreadWindow("#32770", "Tarnwick");
        if (!box || box == answered)
            return;
        answered = box;
        texts.push_back(GetText(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, GetDlgItem(box, IDYES) ? IDYES : IDOK, 0);
    }
    UINT_PTR timer = 0;
    static inline HWND answered = nullptr;
    static inline std::vector<CString> texts;
};

class SearchJourney : public MainWindowTest {
protected:
    // Logged on, the remote tree showing /top, the local tree the test's folder.
    void open(const rig::Server& server) {
        if (server.user().empty()) { // the scripted server
            SetPrefInt("USERPREFS/Local", "PORT", server.port());
            SetPrefString("USERPREFS/Local", "USER", "tester");
            SetPrefString("USERPREFS/Local", "WORD", "word");
        } else {
            useServer(server);
        }
        SetPrefString(PREFS_SECTION, "LASTDIR", local.path().c_str());
        ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
        SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && window.m_bConnected; }));
        window.m_rightTree.selectItem(child(window.m_rightTree.getRoot(), "top"));
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/top"); }));
    }
    // Chooses command and runs script inside the results dialog it opens; returns once the
    // dialog has closed.
    void inResults(int command, const std::function<void(HWND)>& script) {
        bool ran = false;
        RunModal(
            [&] {
                SendMessageA(window.m_hWnd, WM_COMMAND, command, 0);
                PumpUntil([&] { return ran && !window.m_pSearchDlg; });
                return INT_PTR(0);
            },
            "Remote Search for Folder /top", [&](HWND dialog) {
                script(dialog);
                ran = true;
            });
        EXPECT_TRUE(IsWindowEnabled(window.m_hWnd));
    }
    static std::vector<CString> rows(HWND dialog) {
        CBaseList list;
        list.attach(GetDlgItem(dialog, IDC_SEARCH_LIST));
        std::vector<CString> texts;
        for (int i = 0; i < list.getItemCount(); ++i)
            texts.push_back(list.getItemText(i, 0));
        return texts;
    }
    static void select(HWND dialog, const std::vector<CString>& texts) {
        const std::vector<CString> shown = rows(dialog);
        HWND list = GetDlgItem(dialog, IDC_SEARCH_LIST);
        for (int i = 0; i < static_cast<int>(shown.size()); ++i) {
            LVITEMA item = {};
            item.stateMask = LVIS_SELECTED;
            item.state = std::count(texts.begin(), texts.end(), shown[i]) ? LVIS_SELECTED : 0;
            SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    int traceIndex(const char* line) const {
        const std::vector<CString> all = traceRows();
        return static_cast<int>(std::find(all.begin(), all.end(), line) - all.begin());
    }
    // Asks for a recursive delete of /top and answers the question; returns its text.
    CString recursiveDelete(int answer) {
        CString question;
        RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_RECURSIVE_DELETE, 0); },
                 "Warning", [&](HWND box) {
                     question = GetText(box, 0xFFFF);
                     ClickButton(box, answer);
                 });
        return question;
    }

    testing_support::TempDir local;
};

TEST_F(SearchJourney, ResultsFillWhileTheWalkRunsAndTheirButtonsAct) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    for (const char* folder : {"top", "top/Data", "top/Data/Old", "top/Empty"})
        ASSERT_TRUE(files::CreateFolder(server->file(folder)));
    const std::string bytes = testing_support::RandomBytes(300000, 17);
    ASSERT_TRUE(WriteFile(server->file("top/a.txt"), "a") && WriteFile(server->file("top/Data/b.txt"), "b") &&
                WriteFile(server->file("top/Data/Old/c.bin"), bytes) &&
                WriteFile(server->file("top/Data/Old/d.txt"), "d"));
    ASSERT_NO_FATAL_FAILURE(open(*server));

    inResults(ID_REMOTE_SEARCH, [&](HWND dialog) {
        EXPECT_FALSE(IsWindowEnabled(window.m_hWnd));
        ASSERT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == 7; }));
        std::vector<CString> shown = rows(dialog);
        const auto at = [&](const char* text) { return std::find(shown.begin(), shown.end(), text) - shown.begin(); };
        // Folders first, deeper levels above the ones that hold them; files after, by path.
        EXPECT_LT(at("Data/Old"), at("Data"));
        EXPECT_LT(std::max(at("Data"), at("Empty")), 3);
        std::sort(shown.begin() + 3, shown.end());
        EXPECT_EQ(std::vector<CString>(shown.begin() + 3, shown.end()),
                  (std::vector<CString>{"Data/Old/c.bin", "Data/Old/d.txt", "Data/b.txt", "a.txt"}));
        EXPECT_TRUE(SaveScreenshot(dialog, "search-results.png"));

        select(dialog, {"Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DOWNLOAD);
        ASSERT_TRUE(PumpUntil([&] { return idle() && files::Exists(local.file("Data\\Old\\c.bin")); }))
            << traceText();
        EXPECT_TRUE(ReadFile(local.file("Data\\Old\\c.bin")) == bytes);

        select(dialog, {"Data/Old/d.txt", "Data/Old", "Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DELETE);
        ASSERT_TRUE(PumpUntil([&] { return idle() && !files::Exists(server->file("top/Data/Old")); }))
            << traceText();
        EXPECT_LT(std::max(traceIndex("DELE /top/Data/Old/c.bin"), traceIndex("DELE /top/Data/Old/d.txt")),
                  traceIndex("RMD /top/Data/Old"));
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(window.m_leftList.getItemCount(), 1) << "the local list was not refreshed"; // Data

    // Refresh walks again; Escape and the close box only close.
    inResults(ID_REMOTE_SEARCH, [&](HWND dialog) {
        ASSERT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == 4; }));
        ClickButton(dialog, IDC_SEARCH_REFRESH);
        EXPECT_TRUE(rows(dialog).empty());
        ASSERT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == 4; }));
        select(dialog, {"a.txt"});
        SendMessageA(GetDlgItem(dialog, IDC_SEARCH_LIST), WM_SETFOCUS, 0, 0);
        PostMessageA(GetDlgItem(dialog, IDC_SEARCH_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    inResults(ID_REMOTE_SEARCH, [&](HWND dialog) {
        ASSERT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == 4; }));
        select(dialog, {"a.txt"});
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_TRUE(PumpUntil([&] { return idle(); }));
    EXPECT_EQ(ReadFile(server->file("top/a.txt")), "a");
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
    CString link = "Z:\\bin\\ln -s / " + server->file("top/root").Mid(2);
    std::replace(link.begin() + 10, link.end(), '\\', '/');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &link[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(PumpUntil([&] { return files::Exists(server->file("top/root")); }));
    ASSERT_NO_FATAL_FAILURE(open(*server));

    EXPECT_EQ(recursiveDelete(IDNO), "Are you sure you want to delete everything inside the Directory\n/top");
    EXPECT_TRUE(idle());
    EXPECT_EQ(window.m_search.m_searchRoot, "") << "no search started";

    // Over the bound: the walk stops, nothing is deleted, the user is told why.
    window.m_search.m_maxEntries = 3;
    {
        BoxAnswerer answer;
        EXPECT_EQ(recursiveDelete(IDYES), "Are you sure you want to delete everything inside the Directory\n/top");
        ASSERT_TRUE(PumpUntil([&] { return idle() && !window.m_pSearchDlg && !BoxAnswerer::texts.empty(); }));
    }
    EXPECT_EQ(BoxAnswerer::texts, std::vector<CString>{
        "Nothing was deleted in /top.\nThe search stopped: the tree holds more than 3 entries."});
    EXPECT_TRUE(files::Exists(server->file("top/Sub/Deep/c.txt")));
    EXPECT_TRUE(files::Exists(server->file("top/a.txt")));

    window.m_search.m_maxEntries = kMaxSearchEntries;
    recursiveDelete(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !window.m_pSearchDlg && !files::Exists(server->file("top/Sub")); }))
        << traceText();
    EXPECT_TRUE(IsWindowEnabled(window.m_hWnd));
    EXPECT_TRUE(traceHas("DELE /top/root"));
    EXPECT_FALSE(files::Exists(server->file("top/root")));
    EXPECT_FALSE(files::Exists(server->file("top/a.txt")));
    EXPECT_TRUE(files::IsFolder(server->file("top"))) << "the folder itself stays";
    EXPECT_EQ(ReadFile(server->file("keep.txt")), "keep.txt");
}

// A folder that cannot be listed leaves a hole in the picture: nothing is deleted.
TEST_F(SearchJourney, ARecursiveDeleteWhoseWalkFailedDeletesNothing) {
    const std::string listing = "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 Locked\\r\\n"
                                "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt\\r\\n\ndclose\nreply 226 Done\n";
    auto fake = rig::StartFake(
        "reply 220 Fake ready\nexpect USER tester\nreply 331 Password\nexpect PASS word\n"
        "reply 230 Logged in\nexpect PWD\nreply 257 \"/\" is current\nexpect PWD\n"
        "reply 257 \"/\" is current\nexpect PASV\npasv\nexpect LIST /\nreply 150 Here\n"
        "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 top\\r\\n\ndclose\nreply 226 Done\n"
        "expect PASV\npasv\nexpect LIST /top\nreply 150 Here\n" + listing +
        "expect PASV\npasv\nexpect LIST /top\nreply 150 Here\n" + listing +
        "expect PASV\npasv\nexpect LIST /top/Locked\nreply 550 Permission denied\n");
    ASSERT_TRUE(fake->ok()) << fake->error();
    ASSERT_NO_FATAL_FAILURE(open(*fake));
    BoxAnswerer answer;
    recursiveDelete(IDYES);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !window.m_pSearchDlg && BoxAnswerer::texts.size() == 2; }))
        << fake->transcript();
    EXPECT_EQ(BoxAnswerer::texts[1], "Nothing was deleted in /top.\nNot every folder below it could be listed.");
    // After the script the fake answers nothing: a DELE sent would still be waiting.
    EXPECT_EQ(fake->transcript().find("DELE"), std::string::npos) << fake->transcript();
}

} // namespace
