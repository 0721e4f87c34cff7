// The account export file against the store: what an export writes, and what each file text
// does to a store that already holds an account. Runs natively and under Wine.
#include "settings/AccountFile.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include "common/Files.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// The store every import starts from: Home, current, with a saved password.
void storeHome() {
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "Home");
    SetPrefString(PREFS_SECTION, "DEFAULT", "Home");
    const char* s = "USERPREFS/Home";
    SetPrefString(s, "SERVER", "old.home");
    SetPrefInt(s, "PORT", 2121);
    SetPrefString(s, "USER", "olduser");
    SetPrefString(s, "WORD", "oldpw");
    SetPrefInt(s, "WORDSAVED", 1);
    SetPrefString(s, "ANONYMOUS", "N");
    SetPrefString(s, "PASV", "Y");
}

// The store's accounts in one line: list, current, then per listed account
// name:server|port|user|anonymous|password|password saved|passive ("-" for absent keys).
CString dumpStore() {
    CString out = "[" + GetPrefString(PREFS_SECTION, "ACCOUNTS", "-") + "] current " +
                  GetPrefString(PREFS_SECTION, "DEFAULT", "-");
    for (const CString& name : AccountNames(false)) {
        CString s = AccountSection(name);
        out += "; " + name + ":";
        for (const char* key : {"SERVER", "PORT", "USER", "ANONYMOUS", "WORD", "WORDSAVED"})
            out += GetPrefString(s.c_str(), key, "-") + "|";
        out += GetPrefString(s.c_str(), "PASV", "-");
    }
    return out;
}

const char* const kHomeBefore = "[Home] current Home; Home:old.home|2121|olduser|N|oldpw|1|Y";

} // namespace

TEST(AccountFile, ExportWritesTheListTheCurrentAccountAndEightLinesEach) {
    ScopedPrefs prefs;
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "Home,My Server");
    SetPrefString(PREFS_SECTION, "DEFAULT", "My Server");
    SetPrefString("USERPREFS/Home", "SERVER", "ftp.home");
    SetPrefString("USERPREFS/Home", "WORD", "pw1");
    SetPrefString("USERPREFS/Home", "ANONYMOUS", "No");
    SetPrefString("USERPREFS/My Server", "PORT", "990");
    SetPrefString("USERPREFS/My Server", "USER", "me");
    SetPrefString("USERPREFS/My Server", "WORD", " pw 2 ");
    SetPrefString("USERPREFS/My Server", "PASV", "Yes");
    EXPECT_EQ(AccountExportText(false), "CHECKSTAMP2\r\nHome,My Server\r\nMy Server\r\n"
                                        "Home\r\nftp.home\r\n21\r\n\r\nN\r\n\r\nN\r\nN\r\n"
                                        "My Server\r\n\r\n990\r\nme\r\nN\r\n\r\nY\r\nY\r\n");
    EXPECT_NE(AccountExportText(true).find("\r\nN\r\n pw 2 \r\nY\r\n"), std::string::npos);
}

// Each file text imported into the store kHomeBefore describes.
TEST(AccountFile, ImportMergesCompleteFilesAndChangesNothingOtherwise) {
    struct Case {
        const char* what;
        std::string file;
        AccountFileResult result;
        const char* store; // after the import
    } cases[] = {
        {"export of Home and Work, with passwords",
         "CHECKSTAMP2\r\nHome,Work\r\nWork\r\n"
         "Home\r\nnew.home\r\n21\r\nme\r\nN\r\nhpw\r\nN\r\nN\r\n"
         "Work\r\nftp.work\r\n2121\r\nwk\r\nY\r\nwpw\r\nY\r\nY\r\n",
         AccountFileResult::Done,
         "[Home,Work] current Work; Home:new.home|21|me|N|hpw|1|N; "
         "Work:ftp.work|2121|wk|Y|wpw|-|Y"},
        {"export without passwords: the passwords are not saved, so the log-on asks",
         "CHECKSTAMP2\r\nHome,Work\r\nWork\r\n"
         "Home\r\nnew.home\r\n21\r\nme\r\nN\r\n\r\nN\r\nN\r\n"
         "Work\r\nftp.work\r\n2121\r\nwk\r\nN\r\n\r\nY\r\nY\r\n",
         AccountFileResult::Done,
         "[Home,Work] current Work; Home:new.home|21|me|N||0|N; Work:ftp.work|2121|wk|N||0|Y"},
        {"blanks in names and values are read whole; LF line ends; no port number gives 21",
         "CHECKSTAMP2\nMy Server, Far Away ,Work\nHome\n"
         "My Server\n srv \nabc\nuser name\nN\npass word\nN\nY\n"
         "Far Away\nfar\n70000\nu\nN\np\nN\nN\n"
         "Work\nw\n\"21\"\nu\nN\np\nN\nN\n",
         AccountFileResult::Done,
         "[Home,My Server,Far Away,Work] current Home; Home:old.home|2121|olduser|N|oldpw|1|Y; "
         "My Server: srv |21|user name|N|pass word|-|Y; Far Away:far|21|u|N|p|-|N; "
         "Work:w|21|u|N|p|-|N"},
        {"an older file without stamp has no passive line",
         "OLDSTAMP\r\nWork,home\r\n\r\n"
         "Work\r\nftp.work\r\n21\r\nwk\r\nN\r\nwpw\r\nY\r\n"
         "home\r\nh\r\n22\r\nhu\r\nY\r\nhp\r\nN\r\n",
         AccountFileResult::Done,
         "[Home,Work] current Work; Home:h|22|hu|Y|hp|1|N; Work:ftp.work|21|wk|N|wpw|-|N"},
        {"an empty list imports nothing", "CHECKSTAMP2\r\n\r\nHome\r\n", AccountFileResult::Done,
         kHomeBefore},
        {"the file ends inside the second record",
         "CHECKSTAMP2\r\nHome,Work\r\nWork\r\n"
         "Home\r\nnew.home\r\n21\r\nme\r\nN\r\nhpw\r\nN\r\nN\r\n"
         "Work\r\nftp.work\r\n2121\r\nwk\r\nY\r\n",
         AccountFileResult::Damaged, kHomeBefore},
        {"the file ends in its header", "CHECKSTAMP2\r\nHome\r\n", AccountFileResult::Damaged,
         kHomeBefore},
        {"a record that does not follow the list",
         "CHECKSTAMP2\r\nHome,Work\r\n\r\n"
         "Home\r\nnew.home\r\n21\r\nme\r\nN\r\nhpw\r\nN\r\nN\r\n"
         "Other\r\nftp.work\r\n2121\r\nwk\r\nY\r\nwpw\r\nY\r\nY\r\n",
         AccountFileResult::NotAccountFile, kHomeBefore},
        {"a name the store cannot hold",
         "CHECKSTAMP2\r\n[x]\r\n\r\n[x]\r\ns\r\n21\r\nu\r\nN\r\np\r\nN\r\nN\r\n",
         AccountFileResult::NotAccountFile, kHomeBefore},
        {"some other text file", "Dear Anna,\r\nHome is where the heart is.\r\n\r\nHome\r\n",
         AccountFileResult::NotAccountFile, kHomeBefore},
        {"an empty file", "", AccountFileResult::NotAccountFile, kHomeBefore},
        {"binary data", std::string("CHECKSTAMP2\r\n\0\r\n\r\n", 17),
         AccountFileResult::NotAccountFile, kHomeBefore},
    };
    for (const Case& c : cases) {
        ScopedPrefs prefs;
        storeHome();
        CString path = files::ParentFolder(prefs.path()) + "/accounts.inf";
        ASSERT_TRUE(WriteFile(path, c.file));
        int badLine = -1;
        EXPECT_EQ(ImportAccountsFromFile(path, badLine), c.result) << c.what;
        EXPECT_EQ(dumpStore(), c.store) << c.what;
        EXPECT_EQ(badLine > 0, c.result != AccountFileResult::Done) << c.what;
    }
}

TEST(AccountFile, ExportAndImportRoundTripThroughFiles) {
    ScopedPrefs prefs;
    storeHome();
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "Home,Far Away");
    SetPrefString("USERPREFS/Far Away", "WORD", "'quoted' ");
    SetPrefString(PREFS_SECTION, "DEFAULT", "Far Away");
    const std::string exported = AccountExportText(true);
    const CString file = files::ParentFolder(prefs.path()) + "/out.inf";
    ASSERT_EQ(ExportAccountsToFile(file, true), AccountFileResult::Done);
    SetPrefString(PREFS_SECTION, "ACCOUNTS", "");
    int badLine = 0;
    ASSERT_EQ(ImportAccountsFromFile(file, badLine), AccountFileResult::Done);
    EXPECT_EQ(AccountExportText(true), exported);
    EXPECT_EQ(ImportAccountsFromFile(file + ".missing", badLine), AccountFileResult::CannotRead);
    EXPECT_EQ(ExportAccountsToFile(file + "/in/no/folder", true), AccountFileResult::CannotCreate);
}
