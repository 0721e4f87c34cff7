// Installation and uninstallation into places the test owns: a program folder with a blank in
// its name, two registry roots and two start menus. The machine-wide ones cannot be written,
// as for a standard user: the registry root is a key deleted under its open handle, the start
// menu and programs folder lie in a folder that does not exist.
#include "app/Install.h"
#include "common/Files.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <objbase.h>

using namespace ui_test;
using testing_support::TempDir;

namespace {

TEST(Install, AStandardUserInstallsDeclinesAndUninstalls) {
    CoInitialize(nullptr);
    const CString key = "Software\\Tarnwick2Tests";
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str()); // left by a run that died
    InstallPlaces places;
    RegCreateKeyA(HKEY_CURRENT_USER, (key + "\\machine").c_str(), &places.registryRoots[0]);
    RegCreateKeyA(HKEY_CURRENT_USER, (key + "\\user").c_str(), &places.registryRoots[1]);
    RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\machine").c_str());
    TempDir dir;
    for (const char* folder : {"Tarn wick", "Start Menu", "Start Menu\\Programs"})
        CreateDirectoryA(dir.file(folder).c_str(), nullptr);
    places.program = dir.file("Tarn wick") + "\\Tarnwick2.exe";
    testing_support::WriteFile(places.program, "MZ");
    places.startMenus[0] = dir.file("missing\\Start Menu");
    places.startMenus[1] = dir.file("Start Menu");
    places.programsFolders[0] = dir.file("missing\\Programs");
    places.programsFolders[1] = places.startMenus[1] + "\\Programs";
    std::vector<CString> scheduled;
    bool schedulingWorks = false;
    places.scheduleDeletion = [&](const std::vector<CString>& paths) {
        return scheduled = paths, schedulingWorks;
    };
    auto entry = [&] { // the uninstall command in the user's root; "" when there is none
        char text[MAX_PATH * 2] = "";
        DWORD size = sizeof text;
        RegGetValueA(places.registryRoots[1],
                     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick2",
                     "UninstallString", RRF_RT_REG_SZ, nullptr, text, &size);
        return CString(text);
    };
    auto links = [&] {
        int count = 0;
        for (const CString& in :
             {places.startMenus[1], CString(places.programsFolders[1] + "\\Tarnwick2")})
            files::Enumerate(
                in, [&](const CString& name, bool, int64_t) { count += name.Right(4) == ".lnk"; });
        return count;
    };
    auto uninstallAnswering = [&](std::vector<int> answers, int exitCode) { // the boxes' texts
        BoxAnswers boxes("Tarnwick2", std::move(answers));
        EXPECT_EQ(uninstall(places), exitCode);
        return boxes.texts;
    };

    registerUninstaller(places);
    EXPECT_EQ(entry(), "\"" + places.program + "\" -U");
    createShortcuts(places);
    createShortcuts(places);
    EXPECT_EQ(links(), 5);
    EXPECT_EQ(GetFileAttributesA(dir.file("missing").c_str()), INVALID_FILE_ATTRIBUTES);
    // Declined: one question, and everything stays.
    EXPECT_TRUE(uninstallAnswering({IDNO}, -1).size() == 1 && entry() != "" && links() == 5 &&
                scheduled.empty());

    // The files cannot be scheduled: the box names the folder instead of asking for a restart.
    const CString folder = dir.file("Tarn wick");
    std::vector<CString> texts = uninstallAnswering({IDYES, IDOK}, 0);
    EXPECT_EQ(entry(), "");
    EXPECT_EQ(links(), 0);
    EXPECT_EQ(GetFileAttributesA((places.programsFolders[1] + "\\Tarnwick2").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(scheduled.size(), 7u);
    EXPECT_EQ(scheduled.front(), places.program);
    EXPECT_EQ(scheduled.back(), folder); // the folder only once its files are gone
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[1].Find(folder.c_str()) >= 0 && texts[1].Find("must restart") < 0)
        << texts[1];
    schedulingWorks = true;
    texts = uninstallAnswering({IDYES, IDOK}, 0);
    EXPECT_EQ(texts.size() == 2 ? texts[1] : "",
              "You must restart your machine to complete the uninstall");
    for (HKEY root : places.registryRoots)
        RegCloseKey(root);
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

TEST(Install, TheBootDeletionListGainsShortPathsInItsSection) {
    TempDir dir;
    const CString folder = dir.file("Tarn wick"), exe = folder + "\\Tarnwick2.exe",
                  ini = dir.file("Wininit.ini");
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
    // Before (null: no file yet), and what must come before the new lines after.
    for (auto c : {std::pair<const char*, const char*>{
                       "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n",
                       "[boot]\r\nshell=x\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\n"},
                   {nullptr, "[rename]\r\n"},
                   {"[boot]\r\nshell=x", "[boot]\r\nshell=x\r\n[rename]\r\n"}}) {
        DeleteFileA(ini.c_str());
        if (c.first)
            testing_support::WriteFile(ini, c.first);
        EXPECT_TRUE(AppendBootDeletions(ini, {exe, folder + "\\absent.htm", folder}));
        EXPECT_EQ(testing_support::ReadFile(ini), c.second + lines);
    }
}

} // namespace
