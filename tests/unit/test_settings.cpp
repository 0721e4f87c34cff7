// The settings store through its accessors. The same source runs natively (our INI code) and
// under Wine (the Windows profile functions), so both are held to one behaviour.
#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include "common/Files.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace testing_support;

namespace {
std::string kMaxLong() {
    std::string text(kMaxPrefText, 'L');
    text[0] = 'F';
    return text;
}
} // namespace

TEST(Settings, AbsentValuesReadAsTheReadersDefaults) {
    ScopedPrefs prefs;
    EXPECT_FALSE(files::Exists(prefs.path()));
    EXPECT_EQ(GetPrefInt("USERPREFS/Nobody", "PORT", 21), 21);
    EXPECT_EQ(GetPrefString("USERPREFS/Nobody", "SERVER", ""), "");
    EXPECT_EQ(GetPrefString("USERPREFS/Nobody", "SERVER", "localhost"), "localhost");
    EXPECT_EQ(GetPrefString("USERPREFS", "DEFAULT", nullptr), "");
    EXPECT_FALSE(files::Exists(prefs.path())); // reading never creates the file
}

TEST(Settings, IntegersReadLenientlyAndNegativesReadBack) {
    ScopedPrefs prefs;
    SetPrefInt(PREFS_SECTION, "MainWndL", -1);
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "MainWndL", 0), -1);
    SetPrefString("S", "word", "abc");
    SetPrefString("S", "mixed", "12abc");
    SetPrefString("S", "empty", "");
    SetPrefString("S", "spaced", "  42  ");
    EXPECT_EQ(GetPrefInt("S", "word", 7), 0);
    EXPECT_EQ(GetPrefInt("S", "mixed", 7), 12);
    EXPECT_EQ(GetPrefInt("S", "empty", 7), 7);
    EXPECT_EQ(GetPrefInt("S", "spaced", 7), 42);
}

TEST(Settings, TextsReadBackAsWritten) {
    ScopedPrefs prefs;
    std::string password(200, 'p');
    password[199] = 'Z';
    CString list;
    for (int i = 0; i < 12; ++i)
        list += FormatString("%sAccount number %02d", i ? "," : "", i);
    const std::string texts[] = {password,     list,       " lead",   "trail ",    "\ttab",
                                 "\"quoted\"", "'single'", "\"",      "a \"b\" c", "it's",
                                 "  ",         "x\"",      kMaxLong()};
    int n = 0;
    for (const std::string& text : texts) {
        CString key = FormatString("K%d", n++);
        SetPrefString("USERPREFS/Work", key.c_str(), text.c_str());
        EXPECT_EQ(GetPrefString("USERPREFS/Work", key.c_str(), "absent"), text) << text;
    }
    // Beyond the bound a value is cut, never read past.
    SetPrefString("USERPREFS/Work", "Long", (kMaxLong() + "tail").c_str());
    EXPECT_EQ(GetPrefString("USERPREFS/Work", "Long", ""), kMaxLong());
}

TEST(Settings, HandWrittenValuesReadAsBefore) {
    ScopedPrefs prefs;
    ASSERT_TRUE(WriteFile(prefs.path(), "[USERPREFS/Home]\r\n"
                                        "SERVER =  ftp.home  \r\n"
                                        "USER=\"me\"\r\n"
                                        "WORD='pw'\r\n"
                                        "PASV=\"Y\r\n"));
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "SERVER", ""), "ftp.home");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "USER", ""), "me");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "WORD", ""), "pw");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "PASV", ""), "\"Y");
}

TEST(Settings, AWriteNeverDamagesOtherKeys) {
    ScopedPrefs prefs;
    ASSERT_TRUE(WriteFile(prefs.path(), "; hand-written note\r\n"
                                        "[USERPREFS]\r\n"
                                        "ACCOUNTS=Home,Work\r\n"
                                        "this line is garbage\r\n"
                                        "\r\n"
                                        "[USERPREFS/Home]\r\n"
                                        "SERVER=home.example\r\n"
                                        "WORD=secret\r\n"));
    SetPrefString("USERPREFS/Home", "SERVER", "new.example");
    SetPrefString("USERPREFS/Work", "SERVER", "work.example");
    SetPrefInt(PREFS_SECTION, "TRACEH", 120);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "Home,Work");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "WORD", ""), "secret");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "SERVER", ""), "new.example");
    EXPECT_EQ(GetPrefString("USERPREFS/Work", "SERVER", ""), "work.example");
    EXPECT_EQ(GetPrefInt(PREFS_SECTION, "TRACEH", 100), 120);
    std::string text = ReadFile(prefs.path());
    EXPECT_NE(text.find("this line is garbage"), std::string::npos);
}

TEST(Settings, LineBreaksInAValueCannotForgeOtherKeys) {
    ScopedPrefs prefs;
    SetPrefString("USERPREFS/Work", "USER", "me\r\nWORD=forged\r\n[USERPREFS]\r\nDEFAULT=x");
    EXPECT_EQ(GetPrefString("USERPREFS/Work", "WORD", "absent"), "absent");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "DEFAULT", "absent"), "absent");
}

TEST(Settings, TheFileIsPerUserUnlessOverridden) {
    TempDir home;
#ifdef _WIN32
    ScopedEnv appData("APPDATA", home.path().c_str());
    const CString expected = home.path() + "\\Tarnwick2\\Tarnwick2.ini";
#else
    ScopedEnv xdg("XDG_CONFIG_HOME", home.path().c_str());
    const CString expected = home.path() + "/tarnwick2/Tarnwick2.ini";
#endif
    {
        ScopedEnv none("TARNWICK2_INI", nullptr);
        EXPECT_EQ(GetPrefFilePath(), expected);
        SetPrefString(PREFS_SECTION, "DEFAULT", "Work"); // creates the folders on first write
        EXPECT_TRUE(files::IsFolder(files::ParentFolder(expected)));
        EXPECT_EQ(CurrentAccountName(), "Work");
#ifndef _WIN32
        // (On Windows a registered section may live in the user's registry instead.)
        EXPECT_TRUE(files::Exists(expected));
#endif
    }
    ScopedPrefs prefs;
    EXPECT_EQ(GetPrefFilePath(), prefs.path());
    EXPECT_EQ(CurrentAccountName(), "");
}

#ifndef _WIN32
TEST(Settings, WritesAreAtomicAndPrivate) {
    ScopedPrefs prefs;
    SetPrefString("USERPREFS/Work", "WORD", "secret");
    struct stat st;
    ASSERT_EQ(stat(prefs.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds passwords
    int entries = 0;
    files::Enumerate(files::ParentFolder(prefs.path()),
                     [&](const CString&, bool, int64_t) { ++entries; });
    EXPECT_EQ(entries, 1); // no temporary file left behind
}
#endif

TEST(AccountList, AddAndRemoveKeepTheOthersInOrder) {
    const char* cases[][2] = {{"Alpha", "Beta,Gamma"},
                              {"Beta", "Alpha,Gamma"},
                              {"Gamma", "Alpha,Beta"},
                              {"Delta", "Alpha,Beta,Gamma"}};
    for (auto& c : cases) {
        ScopedPrefs prefs;
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Alpha,Beta,Gamma");
        EXPECT_EQ(RemoveAccountFromList(c[0]), c[1]) << c[0];
        EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), c[1]) << c[0];
    }
    ScopedPrefs prefs;
    EXPECT_TRUE(AddAccountToList("Home"));
    EXPECT_FALSE(AddAccountToList("Home"));
    EXPECT_TRUE(AddAccountToList("Homes")); // names are found between commas only
    EXPECT_EQ(RemoveAccountFromList("Home"), "Homes");
}

TEST(AccountList, WalkStopsAtEmptyEntriesAndRepairsDoubledCommas) {
    ScopedPrefs prefs;
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "A,,B");
    EXPECT_EQ(AccountNames(false), std::vector<CString>{"A"});
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "A,,B");
    EXPECT_EQ(AccountNames(true), (std::vector<CString>{"A", "B"}));
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "A,B");

    SetPrefString(PREFS_SECTION, "ACCOUNTS", "A,,,B");
    EXPECT_EQ(AccountNames(true), std::vector<CString>{"A"});
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "A,,B");
    EXPECT_EQ(AccountNames(true), (std::vector<CString>{"A", "B"}));

    SetPrefString(PREFS_SECTION, "ACCOUNTS", ",A");
    EXPECT_TRUE(AccountNames(false).empty());

    SetPrefString(PREFS_SECTION, "ACCOUNTS", " Work , ,Home");
    EXPECT_EQ(AccountNames(false), (std::vector<CString>{"Work", "", "Home"}));
}

TEST(AccountRecords, SaveWritesTheSectionAndTheFirstBecomesCurrent) {
    ScopedPrefs prefs;
    AccountRecord home;
    home.name = "Home";
    home.server = "ftp.home";
    home.port = 2121;
    home.user = "me";
    home.password = "pw";
    home.passive = true;
    SaveAccountPrefs(home);
    EXPECT_EQ(CurrentAccountName(), "Home");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "WORD", ""), "pw");
    EXPECT_EQ(GetPrefInt("USERPREFS/Home", "WORDSAVED", 7), 1);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), ""); // the list is the caller's

    AccountRecord work = home;
    work.name = " Work ";
    work.savePassword = false;
    SaveAccountPrefs(work);
    EXPECT_EQ(CurrentAccountName(), "Home");
    EXPECT_EQ(GetPrefInt("USERPREFS/Work", "WORDSAVED", 7), 0);
    EXPECT_EQ(GetPrefString("USERPREFS/Work", "WORD", "x"), ""); // an unsaved password is erased

    SetPrefString("USERPREFS/Home", "ANONYMOUS", "n"); // only "N" means no
    EXPECT_TRUE(LoadAccountPrefs("Home").anonymous);
    SetPrefString("USERPREFS/Home", "ANONYMOUS", "");
    EXPECT_TRUE(LoadAccountPrefs("Home").anonymous);
}

