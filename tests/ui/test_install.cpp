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
// texts. A box beyond the answers, or still open at the deadline, is cancelled.
struct BoxAnswers {
    std::vector<int> answers;
    std::vector<CString> texts;
    HWND last = nullptr;
    ULONGLONG deadline = GetTickCount64() + kDefaultTimeoutMs;
} * g_boxes;

BOOL CALLBACK collectStatic(HWND child, LPARAM text) {
    if (ClassOf(child) == "Static")
        *reinterpret_cast<CString*>(text) += GetText(GetParent(child), GetDlgCtrlID(child));
    return TRUE;
}

void CALLBACK answerTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindThreadWindow("#32770", "Tarnwick2");
    if (!box || box == g_boxes->last)
        return;
    size_t n = g_boxes->texts.size();
    bool answer = n < g_boxes->answers.size() && GetTickCount64() < g_boxes->deadline;
    g_boxes->last = box;
    g_boxes->texts.emplace_back();
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&g_boxes->texts.back()));
    PostMessageA(box, WM_COMMAND, answer ? g_boxes->answers[n] : IDCANCEL, 0);
}

std::vector<CString> answerBoxes(const std::function<void()>& run, std::vector<int> answers) {
    BoxAnswers boxes;
    boxes.answers = std::move(answers);
    g_boxes = &boxes;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, answerTick);
    run();
    KillTimer(nullptr, timer);
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
    // The uninstall shortcut hands "-U" to the program.
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                     reinterpret_cast<void**>(&link));
    ASSERT_TRUE(link && SUCCEEDED(link->QueryInterface(IID_IPersistFile,
                                                       reinterpret_cast<void**>(&file))));
    WCHAR path[MAX_PATH];
    CString uninstallMe = places.programsFolders[1] + "\\Tarnwick2\\UninstallMe.lnk";
    MultiByteToWideChar(CP_ACP, 0, uninstallMe.c_str(), -1, path, MAX_PATH);
    char arguments[64] = "";
    if (SUCCEEDED(file->Load(path, STGM_READ)))
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
    const CString folder = dir.file("Tarn wick"), exe = folder + "\\Tarnwick2.exe";
    CreateDirectoryA(folder.c_str(), nullptr);
    testing_support::WriteFile(exe, "MZ");
    // An absent file has no short form and is left out; the others lose their blanks.
    CString lines;
    for (const CString& path : {exe, folder}) {
        char shortPath[MAX_PATH] = "";
        GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
        EXPECT_EQ(CString(shortPath).Find(' '), -1) << shortPath;
        lines += CString("NUL=") + shortPath + "\r\n";
    }
    struct {
        const char* before; // null: no file yet
        const char* kept;   // what comes before the new lines
    } cases[] = {
        {"[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n",
         "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n"},
        {nullptr, "[rename]\r\n"},
        {"[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[rename]\r\n"},
    };
    for (const auto& c : cases) {
        const CString ini = dir.file("Wininit.ini");
        DeleteFileA(ini.c_str());
        if (c.before)
            testing_support::WriteFile(ini, c.before);
        EXPECT_TRUE(AppendBootDeletions(ini, {exe, folder + "\\absent.htm", folder}));
        EXPECT_EQ(testing_support::ReadFile(ini), c.kept + lines);
    }
}
