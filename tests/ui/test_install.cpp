// Installation and uninstallation into places the test owns: a program folder with a blank in
// its name, two registry roots and two start menus. The machine-wide ones cannot be written,
// as for a standard user: the registry root is a key deleted under its open handle, the start
// menu and programs folder lie in a folder that does not exist.
#include "app/Install.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <objbase.h>

using namespace ui_test;
using testing_support::TempDir;

namespace {

const char kTestKey[] = "Software\\Tarnwick2Tests";
const char kEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick2";

// Answers the "Tarnwick2" message boxes that open while run() runs, in order, and keeps their
// texts. A box left open at the deadline is cancelled.
struct BoxAnswers {
    std::vector<int> answers;
    std::vector<CString> texts;
    HWND last = nullptr;
    ULONGLONG deadline = 0;
};
BoxAnswers* g_boxes = nullptr;

BOOL CALLBACK collectStatic(HWND child, LPARAM lParam) {
    char text[1024] = "";
    if (ClassOf(child) == "Static" && GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<CString*>(lParam) += text;
    return TRUE;
}

void CALLBACK answerTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindThreadWindow("#32770", "Tarnwick2");
    if (!box || box == g_boxes->last)
        return;
    if (g_boxes->texts.size() >= g_boxes->answers.size() || GetTickCount64() > g_boxes->deadline) {
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    g_boxes->last = box;
    CString text;
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
    g_boxes->texts.push_back(text);
    PostMessageA(box, WM_COMMAND, g_boxes->answers[g_boxes->texts.size() - 1], 0);
}

std::vector<CString> answerBoxes(const std::function<void()>& run, std::vector<int> answers) {
    BoxAnswers boxes;
    boxes.answers = std::move(answers);
    boxes.deadline = GetTickCount64() + kDefaultTimeoutMs;
    g_boxes = &boxes;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, answerTick);
    run();
    KillTimer(nullptr, timer);
    g_boxes = nullptr;
    return boxes.texts;
}

int countLinks(const CString& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.lnk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do
        ++count;
    while (FindNextFileA(search, &found) && count < 100);
    FindClose(search);
    return count;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
        const CString gonePath = CString(kTestKey) + "\\machine";
        RegCreateKeyExA(HKEY_CURRENT_USER, gonePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &m_machine, nullptr);
        RegDeleteKeyA(HKEY_CURRENT_USER, gonePath.c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, (CString(kTestKey) + "\\user").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &m_user, nullptr);
        CreateDirectoryA(m_dir.file("Tarn wick").c_str(), nullptr);
        CreateDirectoryA(m_dir.file("Start Menu").c_str(), nullptr);
        CreateDirectoryA(m_dir.file("Start Menu\\Programs").c_str(), nullptr);
        places.program = m_dir.file("Tarn wick") + "\\Tarnwick2.exe";
        testing_support::WriteFile(places.program, "MZ");
        places.registryRoots[0] = m_machine;
        places.registryRoots[1] = m_user;
        places.startMenus[0] = m_dir.file("missing\\Start Menu");
        places.startMenus[1] = m_dir.file("Start Menu");
        places.programsFolders[0] = m_dir.file("missing\\Programs");
        places.programsFolders[1] = m_dir.file("Start Menu\\Programs");
        places.scheduleDeletion = [this](const std::vector<CString>& paths) {
            scheduled = paths;
            return schedulingWorks;
        };
    }
    void TearDown() override {
        RegCloseKey(m_machine);
        RegCloseKey(m_user);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    }

    // The uninstall command in the user's root; "" when there is no entry.
    CString entry() const {
        char text[MAX_PATH * 2] = "";
        DWORD size = sizeof text;
        if (RegGetValueA(m_user, kEntryKey, "UninstallString", RRF_RT_REG_SZ, nullptr, text,
                         &size) != ERROR_SUCCESS)
            return CString();
        return text;
    }
    int links() const {
        return countLinks(places.startMenus[1]) +
               countLinks(places.programsFolders[1] + "\\Tarnwick2") +
               countLinks(m_dir.file("missing"));
    }

    InstallPlaces places;
    std::vector<CString> scheduled;
    bool schedulingWorks = true;

private:
    TempDir m_dir;
    HKEY m_machine = nullptr;
    HKEY m_user = nullptr;
};

} // namespace

TEST_F(InstallTest, StandardUserGetsEntryAndShortcutsInItsOwnPlaces) {
    registerUninstaller(places);
    EXPECT_EQ(entry(), "\"" + places.program + "\" -U");
    createShortcuts(places);
    createShortcuts(places);
    EXPECT_EQ(links(), 5);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkA, reinterpret_cast<void**>(&link))));
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    WCHAR path[MAX_PATH];
    CString uninstallMe = places.programsFolders[1] + "\\Tarnwick2\\UninstallMe.lnk";
    MultiByteToWideChar(CP_ACP, 0, uninstallMe.c_str(), -1, path, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Load(path, STGM_READ)));
    char arguments[64] = "";
    link->GetArguments(arguments, sizeof arguments);
    EXPECT_STREQ(arguments, "-U");
    file->Release();
    link->Release();
}

TEST_F(InstallTest, DecliningTheUninstallChangesNothing) {
    registerUninstaller(places);
    createShortcuts(places);
    int exitCode = 0;
    auto texts = answerBoxes([&] { exitCode = uninstall(places); }, {IDNO});
    EXPECT_EQ(exitCode, -1);
    EXPECT_EQ(texts.size(), 1u);
    EXPECT_FALSE(entry().empty());
    EXPECT_EQ(links(), 5);
    EXPECT_TRUE(scheduled.empty());
}

TEST_F(InstallTest, UninstallRemovesItsTracesAndSaysWhatIsLeft) {
    const CString folder = places.program.Left(places.program.ReverseFind('\\'));
    for (bool works : {true, false}) {
        SCOPED_TRACE(works ? "files scheduled" : "scheduling refused");
        schedulingWorks = works;
        registerUninstaller(places);
        createShortcuts(places);
        int exitCode = -1;
        auto texts = answerBoxes([&] { exitCode = uninstall(places); }, {IDYES, IDOK});
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(entry(), "");
        EXPECT_EQ(links(), 0);
        EXPECT_EQ(GetFileAttributesA((places.programsFolders[1] + "\\Tarnwick2").c_str()),
                  INVALID_FILE_ATTRIBUTES);
        ASSERT_EQ(scheduled.size(), 7u);
        EXPECT_EQ(scheduled.front(), places.program);
        EXPECT_EQ(scheduled.back(), folder); // the folder only once its files are gone
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_EQ(texts[1] == "You must restart your machine to complete the uninstall", works) << texts[1];
        EXPECT_EQ(texts[1].Find(folder.c_str()) >= 0, !works) << texts[1];
    }
}

TEST(BootDeletionList, AppendsShortPathsToItsSection) {
    TempDir dir;
    CreateDirectoryA(dir.file("Tarn wick").c_str(), nullptr);
    const CString exe = dir.file("Tarn wick") + "\\Tarnwick2.exe";
    testing_support::WriteFile(exe, "MZ");
    const std::vector<CString> paths = {exe, dir.file("Tarn wick") + "\\absent.htm",
                                        dir.file("Tarn wick")};
    struct Case {
        const char* before; // null: no file
        const char* kept;   // what must come before the new lines
    } cases[] = {
        {"[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n",
         "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n"},
        {nullptr, "[rename]\r\n"},
        {"[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[rename]\r\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        const CString ini = dir.file(FormatString("wininit%d.ini", n++).c_str());
        if (c.before)
            testing_support::WriteFile(ini, c.before);
        EXPECT_TRUE(AppendBootDeletions(ini, paths));
        const CString text = testing_support::ReadFile(ini);
        ASSERT_EQ(text.Left(static_cast<int>(strlen(c.kept))), c.kept);
        // One line per existing path, each the path's short form: no blanks, same file.
        CString added = text.Mid(static_cast<int>(strlen(c.kept)));
        std::vector<CString> expected = {exe, dir.file("Tarn wick")};
        for (const CString& path : expected) {
            int end = added.Find("\r\n");
            ASSERT_TRUE(added.Left(4) == "NUL=" && end > 4) << added;
            CString shortPath = added.Mid(4, end - 4);
            EXPECT_LT(shortPath.Find(' '), 0) << shortPath;
            char longPath[MAX_PATH] = "";
            GetLongPathNameA(shortPath.c_str(), longPath, MAX_PATH);
            EXPECT_EQ(CString(longPath), path);
            added = added.Mid(end + 2);
        }
        EXPECT_EQ(added, "");
    }
}
