// The command line as an installer or a shortcut hands it over: which run it asks for and what
// it leaves in the settings. Each row starts from the same store ("Other" current; "Work"
// stored with every key when the row says it exists).
#include "app/CommandLine.h"
#include "settings/Prefs.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// The list, the current account and Work's keys: SERVER PORT USER WORD WORDSAVED ANONYMOUS
// PASV ("-" when absent).
CString storeSummary() {
    CString s = GetPrefString(PREFS_SECTION, "ACCOUNTS", "-") + " " +
                GetPrefString(PREFS_SECTION, "DEFAULT", "-") + " |";
    for (const char* key : {"SERVER", "PORT", "USER", "WORD", "WORDSAVED", "ANONYMOUS", "PASV"})
        s += " " + GetPrefString("USERPREFS/Work", key, "-");
    return s;
}

const char kUntouchedNew[] = "Other Other | - - - - - - -";
const char kUntouchedOld[] = "Other,Work Other | oldhost 2121 old pw 1 N Y";

struct Row {
    const char* line;
    bool exists;    // Work is in the store before
    bool uninstall; // the uninstaller runs (nothing else happens)
    bool shortcuts;
    bool refused;   // a box explains why the account was not touched
    const char* store;
};

const Row kRows[] = {
    {"", false, false, false, false, kUntouchedNew},
    {"-nWork -sftphost -uann", false, false, false, false,
     "Other,Work Work | ftphost 21 ann  0 N N"},
    {"-nWork", false, false, false, false, "Other,Work Work |  21   0 N N"},
    {"-nWork", true, false, false, false, kUntouchedOld},
    {"-nWork -snewhost", true, false, false, false, kUntouchedOld},
    {"-nWork -uann", true, false, false, false, "Other,Work Work |  21 ann  0 N N"},
    {"-n Work -uann", false, false, false, false, kUntouchedNew}, // the value is glued on
    {"-N Work -q -nWork -uann", false, false, false, false, "Other,Work Work |  21 ann  0 N N"},
    {"-nWork -xsecret -p2121 -vy -sh", true, false, false, false,
     "Other,Work Work | h 2121  secret 1 N Y"},
    {"-nWork -aY", false, false, false, false, "Other,Work Work |  21   0 Y N"},
    {"-nWork -ay", false, false, false, false, "Other,Work Work |  21   0 Y N"},
    {"-nWork -ayes", true, false, false, false, "Other,Work Work |  21   0 N N"},
    {"-nWork -p -uann", true, false, false, false, "Other,Work Work |  21 ann  0 N N"},
    {"-nWork -p0", true, false, false, true, kUntouchedOld},
    {"-nWork -p70000", true, false, false, true, kUntouchedOld},
    {"-nWork -pftp", false, false, false, true, kUntouchedNew},
    {"-nA,B -sh", false, false, false, true, kUntouchedNew},
    {"-nW[x] -uann", false, false, false, true, kUntouchedNew},
    {"-r", false, false, true, false, kUntouchedNew},
    {"-r -nWork", false, false, true, false, "Other,Work Work |  21   0 N N"},
    {"-nWork -r ", true, false, true, false, kUntouchedOld},
    {"-nWork -r", true, false, false, false, kUntouchedOld},
    {"-U", false, true, false, false, kUntouchedNew},
    {"-Ux -nWork", false, true, false, false, kUntouchedNew},
    {" -U", false, false, false, false, kUntouchedNew},
    {"-u", false, false, false, false, kUntouchedNew},
};

} // namespace

TEST(CommandLine, EachLineGivesItsRunAndAccount) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(CString("command line \"") + row.line + "\"");
        ScopedPrefs prefs;
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Other");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Other");
        if (row.exists) {
            AccountRecord old;
            old.name = "Work";
            old.server = "oldhost";
            old.port = 2121;
            old.user = "old";
            old.password = "pw";
            old.passive = true;
            AddAccountToList("Work");
            SaveAccountPrefs(old);
        }
        // As the program starts: the uninstaller takes over before any switch is looked at.
        EXPECT_EQ(IsUninstallCommandLine(row.line), row.uninstall);
        CommandLineSwitches switches;
        AccountDecision decision;
        if (!row.uninstall) {
            switches = ScanCommandLine(row.line);
            decision = ApplyCommandLineAccount(switches);
        }
        EXPECT_EQ(switches.shortcuts, row.shortcuts);
        EXPECT_EQ(decision.action == AccountAction::Refuse, row.refused);
        EXPECT_EQ(decision.reason.empty(), !row.refused);
        EXPECT_EQ(storeSummary(), row.store);
    }
}
