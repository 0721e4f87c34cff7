// Journeys through the remote search: a search whose dialog fills while the walk runs and whose
// buttons download, delete and search again, and recursive deletes that ask first and delete
// only a whole tree, links as themselves.
#include "tests/ui/MainWindowJourney.h"

#include "common/Files.h"
#include "search/CSearchDialog.h"

#include <algorithm>
#include <utility>

using namespace ui_journey;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

const char kQuestion[] = "Are you sure you want to delete everything inside the Directory\n/top";

// Answers the message boxes as they open, "Warning" with `answer`, "Tarnwick" with Yes (OK
// when it has none), and keeps their texts. s_beforeError runs once, before the first server
// error box is answered.
struct Boxes {
    explicit Boxes(int answer) {
        s_answer = answer;
        s_texts.clear();
        m_timer = SetTimer(nullptr, 0, 50, &tick);
    }
    ~Boxes() {
        KillTimer(nullptr, m_timer);
        s_beforeError = nullptr;
    }
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND box = FindThreadWindow("#32770", "Warning");
        const int answer = box ? s_answer : IDYES;
        box = box ? box : FindThreadWindow("#32770", "Tarnwick");
        if (!box || GetPropA(box, "tw-answered"))
            return;
        SetPropA(box, "tw-answered", box);
        s_texts.push_back(GetText(box, 0xFFFF));
        if (s_beforeError && s_texts.back().rfind("The Ftp Servere", 0) == 0)
            std::exchange(s_beforeError, nullptr)();
        PostMessageA(box, WM_COMMAND, GetDlgItem(box, answer) ? answer : IDOK, 0);
    }
    UINT_PTR m_timer = 0;
    static inline int s_answer = IDNO;
    static inline std::vector<CString> s_texts;
    static inline std::function<void()> s_beforeError;
};

class SearchJourney : public MainWindowTest {
protected:
    // Logged on, the remote tree showing /top, the local tree the test's folder.
    void open(const rig::Server& server) {
        useServer(server);
        if (server.user().empty()) { // the scripted server
            SetPrefString("USERPREFS/Local", "USER", "tester");
            SetPrefString("USERPREFS/Local", "WORD", "word");
        }
        SetPrefString(PREFS_SECTION, "LASTDIR", local.path().c_str());
        ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
        SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && window.m_bConnected; }));
        window.m_rightTree.selectItem(child(window.m_rightTree.getRoot(), "top"));
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/top"); }));
    }
    // Searches /top and runs script inside the results dialog, once it holds `count` rows;
    // returns when the dialog has closed.
    void inResults(size_t count, const std::function<void(HWND)>& script,
                   int command = ID_REMOTE_SEARCH) {
        bool ran = false;
        RunModal(
            [&] {
                SendMessageA(window.m_hWnd, WM_COMMAND, command, 0);
                return INT_PTR(PumpUntil([&] { return ran && !window.m_pSearchDlg; }));
            },
            "Remote Search for Folder /top",
            [&](HWND dialog) {
                EXPECT_FALSE(IsWindowEnabled(window.m_hWnd));
                EXPECT_TRUE(PumpUntil([&] { return idle() && rows(dialog).size() == count; }));
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
        for (size_t i = 0; i < shown.size(); ++i) {
            LVITEMA item = {};
            item.stateMask = LVIS_SELECTED;
            item.state = std::count(texts.begin(), texts.end(), shown[i]) ? LVIS_SELECTED : 0;
            SendMessageA(GetDlgItem(dialog, IDC_SEARCH_LIST), LVM_SETITEMSTATE, i,
                         reinterpret_cast<LPARAM>(&item));
        }
    }

    testing_support::TempDir local;
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
    Boxes errors(IDNO);

    inResults(7, [&](HWND dialog) {
        // Folders first, each below the folders it holds; then the files.
        std::vector<CString> shown = rows(dialog);
        EXPECT_LT(std::find(shown.begin(), shown.end(), "Data/Old"),
                  std::find(shown.begin(), shown.end(), "Data"));
        std::sort(shown.begin(), shown.begin() + 3);
        std::sort(shown.begin() + 3, shown.end());
        EXPECT_EQ(shown, (std::vector<CString>{"Data", "Data/Old", "Empty", "Data/Old/c.bin",
                                               "Data/Old/d.txt", "Data/b.txt", "a.txt"}));
        EXPECT_TRUE(SaveScreenshot(dialog, "search-results.png"));

        select(dialog, {"Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DOWNLOAD);
        ASSERT_TRUE(
            PumpUntil([&] { return idle() && files::Exists(local.file("Data\\Old\\c.bin")); }));
        EXPECT_TRUE(ReadFile(local.file("Data\\Old\\c.bin")) == bytes);

        window.m_traceBar.clear();
        select(dialog, {"Data/Old/d.txt", "Data/Old", "Data/Old/c.bin"});
        ClickButton(dialog, IDC_SEARCH_DELETE);
        ASSERT_TRUE(
            PumpUntil([&] { return idle() && !files::Exists(server->file("top/Data/Old")); }));
        std::vector<CString> sent;
        for (const CString& row : traceRows())
            if (row.rfind("DELE ", 0) == 0 || row.rfind("RMD ", 0) == 0)
                sent.push_back(row);
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[2], "RMD /top/Data/Old");
        ClickButton(dialog, IDOK);
    });
    EXPECT_EQ(window.m_leftList.getItemCount(), 1) << "the local list shows the new folder";

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
    EXPECT_EQ(Boxes::s_texts, std::vector<CString>{});
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
    CString ln = "Z:\\bin\\ln -s / " + server->file("top/root").Mid(2); // Z: is the Linux root
    std::replace(ln.begin() + 10, ln.end(), '\\', '/');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &ln[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_TRUE(PumpUntil([&] { return files::Exists(server->file("top/root")); }));
    ASSERT_NO_FATAL_FAILURE(open(*server));
    auto recursiveDelete = [&](int answer, size_t boxes) {
        Boxes answers(answer);
        SendMessageA(window.m_hWnd, WM_COMMAND, ID_RECURSIVE_DELETE, 0);
        EXPECT_TRUE(PumpUntil(
            [&] { return idle() && !window.m_pSearchDlg && Boxes::s_texts.size() == boxes; }));
        ASSERT_FALSE(Boxes::s_texts.empty());
        EXPECT_EQ(Boxes::s_texts.front(), kQuestion);
    };

    recursiveDelete(IDNO, 1);
    EXPECT_EQ(window.m_search.m_searchRoot, "") << "no search started";

    // Over the bound: the walk stops, nothing is deleted, the user is told why.
    window.m_search.m_maxEntries = 3;
    recursiveDelete(IDYES, 2);
    EXPECT_EQ(
        Boxes::s_texts.back(),
        "Nothing was deleted in /top.\nThe search stopped: the tree holds more than 3 entries.");
    EXPECT_TRUE(files::Exists(server->file("top/Sub/Deep/c.txt")));

    window.m_search.m_maxEntries = kMaxSearchEntries;
    recursiveDelete(IDYES, 1);
    ASSERT_TRUE(PumpUntil([&] { return idle() && !files::Exists(server->file("top/Sub")); }))
        << traceText();
    EXPECT_TRUE(traceHas("DELE /top/root"));
    EXPECT_FALSE(files::Exists(server->file("top/root")) ||
                 files::Exists(server->file("top/a.txt")));
    EXPECT_TRUE(files::IsFolder(server->file("top"))) << "the folder itself stays";
    EXPECT_EQ(ReadFile(server->file("keep.txt")), "keep.txt");
}

// A folder that cannot be listed leaves a hole in the picture: nothing is deleted. Refresh,
// pressed while the walk waits on that folder, turns the delete into a search.
TEST_F(SearchJourney, ARecursiveDeleteDeletesNothingAfterAFailedWalkOrARefresh) {
    const std::string top = "expect PASV\npasv\nexpect LIST /top\nreply 150 Here\n"
                            "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 Locked\\r\\n"
                            "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt\\r\\n\ndclose\nreply 226 Done\n";
    const std::string refused = "expect PASV\npasv\nexpect LIST /top/Locked\nreply 550 No access\n";
    auto fake = rig::StartFake(
        "reply 220 Fake ready\nexpect USER tester\nreply 331 Password\nexpect PASS word\n"
        "reply 230 Logged in\nexpect PWD\nreply 257 \"/\" is current\nexpect PWD\n"
        "reply 257 \"/\" is current\nexpect PASV\npasv\nexpect LIST /\nreply 150 Here\n"
        "dsend drwxr-xr-x 2 u g 0 Jan 01 10:00 top\\r\\n\ndclose\nreply 226 Done\n" +
        top + top + refused + top + refused + top +
        "expect PASV\npasv\nexpect LIST /top/Locked\nreply 150 Here\ndclose\nreply 226 Done\n");
    ASSERT_TRUE(fake->ok()) << fake->error();
    ASSERT_NO_FATAL_FAILURE(open(*fake));
    {
        Boxes answers(IDYES);
        SendMessageA(window.m_hWnd, WM_COMMAND, ID_RECURSIVE_DELETE, 0);
        ASSERT_TRUE(PumpUntil([&] {
            return idle() && !window.m_pSearchDlg && Boxes::s_texts.size() == 3;
        })) << fake->transcript();
        EXPECT_EQ(Boxes::s_texts[2],
                  "Nothing was deleted in /top.\nNot every folder below it could be listed.");
    }
    Boxes answers(IDYES);
    Boxes::s_beforeError = [&] {
        SendMessageA(window.m_pSearchDlg->window(), WM_COMMAND, IDC_SEARCH_REFRESH, 0);
    };
    inResults(
        2, [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); }, ID_RECURSIVE_DELETE);
    EXPECT_EQ(Boxes::s_texts.size(), 2u);
    // After the script the fake answers nothing: a DELE sent would still be waiting.
    EXPECT_EQ(fake->transcript().find("DELE"), std::string::npos) << fake->transcript();
}

} // namespace
