// The account export file against the store: what an export writes, and what each file text
// does to a store that already holds an account. Runs natively and under Wine.
#include "accounts/AccountFile.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include "common/Files.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

extern const unsigned char kAccountFiles[];
extern const size_t kAccountFiles_size;

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

// The cases of tests/data/account-files.txt, each imported into the store storeHome makes;
// then a file with binary data.
TEST(AccountFile, ImportMergesCompleteFilesAndChangesNothingOtherwise) {
    const std::string data(reinterpret_cast<const char*>(kAccountFiles), kAccountFiles_size);
    struct Case {
        std::string what, result, store, file;
    };
    std::vector<Case> cases;
    for (size_t start = 0, end; start < data.size(); start = end + 1) {
        end = data.find('\n', start);
        const std::string line = data.substr(start, end - start);
        if (line.rfind("== ", 0) == 0)
            cases.push_back({line.substr(3), "", "", ""});
        else if (cases.empty())
            continue; // the notes at the top
        else if (cases.back().result.empty())
            cases.back().result = line.substr(line.find(' ') + 1);
        else if (cases.back().store.empty())
            cases.back().store = line.substr(line.find(' ') + 1);
        else
            cases.back().file += line + "\n";
    }
    ASSERT_EQ(cases.size(), 11u);
    cases.push_back({"binary data", "NotAccountFile", "unchanged",
                     std::string("CHECKSTAMP2\r\n\0\r\n\r\n", 17)});
    const char* const names[] = {"Done", "CannotCreate", "CannotRead", "NotAccountFile", "Damaged"};
    for (const Case& c : cases) {
        ScopedPrefs prefs;
        storeHome();
        CString path = files::ParentFolder(prefs.path()) + "/accounts.inf";
        ASSERT_TRUE(WriteFile(path, c.file));
        int badLine = -1;
        AccountFileResult result = ImportAccountsFromFile(path, badLine);
        EXPECT_EQ(names[static_cast<int>(result)], c.result) << c.what;
        EXPECT_EQ(dumpStore(), c.store == "unchanged" ? kHomeBefore : c.store) << c.what;
        EXPECT_EQ(badLine > 0, result != AccountFileResult::Done) << c.what;
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
