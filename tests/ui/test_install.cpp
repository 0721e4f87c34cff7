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

int countLinks(const CString& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.lnk").c_str(), &found);
    int count = search == INVALID_HANDLE_VALUE ? 0 : 1;
    while (count > 0 && count < 100 && FindNextFileA(search, &found))
        ++count;
    FindClose(search);
    return count;
}

bool exists(const CString& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); // left by a run that died
        const CString machine = CString(kTestKey) + "\\machine";
        RegCreateKeyExA(HKEY_CURRENT_USER, machine.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &places.registryRoots[0], nullptr);
        RegDeleteKeyA(HKEY_CURRENT_USER, machine.c_str());
        RegCreateKeyExA(HKEY_CURRENT_USER, (CString(kTestKey) + "\\user").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &places.registryRoots[1], nullptr);
        for (const char* folder : {"Tarn wick", "Start Menu", "Start Menu\\Programs"})
            CreateDirectoryA(m_dir.file(folder).c_str(), nullptr);
        places.program = m_dir.file("Tarn wick") + "\\Tarnwick2.exe";
        testing_support::WriteFile(places.program, "MZ");
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
        RegCloseKey(places.registryRoots[0]);
        RegCloseKey(places.registryRoots[1]);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    }

    // The uninstall command in the user's root; "" when there is no entry.
    CString entry() const {
        char text[MAX_PATH * 2] = "";
        DWORD size = sizeof text;
        RegGetValueA(places.registryRoots[1], kEntryKey, "UninstallString", RRF_RT_REG_SZ,
                     nullptr, text, &size);
        return text;
    }
    int links() const {
        EXPECT_FALSE(exists(m_dir.file("missing")));
        return countLinks(places.startMenus[1]) +
               countLinks(places.programsFolders[1] + "\\Tarnwick2");
    }

    // Runs the uninstaller, answering its boxes in turn; their texts.
    std::vector<CString> uninstallAnswering(std::vector<int> answers, int exitCode) {
        BoxAnswers boxes("Tarnwick2", std::move(answers));
        EXPECT_EQ(uninstall(places), exitCode);
        return boxes.texts;
    }

    InstallPlaces places;
    std::vector<CString> scheduled;
    bool schedulingWorks = false;

private:
    TempDir m_dir;
};

} // namespace

// A standard user: the machine-wide places cannot be written, the user's own take everything.
TEST_F(InstallTest, InstallDeclineAndUninstall) {
    registerUninstaller(places);
    EXPECT_EQ(entry(), "\"" + places.program + "\" -U");
    createShortcuts(places);
    createShortcuts(places);
    EXPECT_EQ(links(), 5);

    EXPECT_EQ(uninstallAnswering({IDNO}, -1).size(), 1u);
    EXPECT_NE(entry(), "");
    EXPECT_EQ(links(), 5);
    EXPECT_TRUE(scheduled.empty());

    // The files cannot be scheduled: the box names the folder instead of asking for a restart.
    const CString folder = places.program.Left(places.program.ReverseFind('\\'));
    std::vector<CString> texts = uninstallAnswering({IDYES, IDOK}, 0);
    EXPECT_EQ(entry(), "");
    EXPECT_EQ(links(), 0);
    EXPECT_FALSE(exists(places.programsFolders[1] + "\\Tarnwick2"));
    ASSERT_EQ(scheduled.size(), 7u);
    EXPECT_EQ(scheduled.front(), places.program);
    EXPECT_EQ(scheduled.back(), folder); // the folder only once its files are gone
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[1].Find(folder.c_str()) >= 0 && texts[1].Find("must restart") < 0) << texts[1];

    schedulingWorks = true;
    texts = uninstallAnswering({IDYES, IDOK}, 0);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1], "You must restart your machine to complete the uninstall");
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
