// The command line as an installer or a shortcut hands it over: which run it asks for and what
// it leaves in the settings, for each line of data/command-lines.tsv.
#include "app/CommandLine.h"
#include "settings/Prefs.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

extern const unsigned char kCommandLines[];
extern const size_t kCommandLines_size;

using namespace testing_support;

namespace {

CString storeSummary() {
    CString s = GetPrefString(PREFS_SECTION, "ACCOUNTS", "-") + " " +
                GetPrefString(PREFS_SECTION, "DEFAULT", "-") + " |";
    for (const char* key : {"SERVER", "PORT", "USER", "WORD", "WORDSAVED", "ANONYMOUS", "PASV"})
        s += " " + GetPrefString("USERPREFS/Work", key, "-");
    return s;
}

} // namespace

TEST(CommandLine, EachLineGivesItsRunAndAccount) {
    std::istringstream table(std::string(reinterpret_cast<const char*>(kCommandLines),
                                         kCommandLines_size));
    int rows = 0;
    for (std::string row; std::getline(table, row);) {
        if (row.empty() || row[0] == '#')
            continue;
        ++rows;
        std::istringstream fields(row);
        std::string quoted, before, run, after;
        std::getline(fields, quoted, '\t');
        std::getline(fields, before, '\t');
        std::getline(fields, run, '\t');
        std::getline(fields, after);
        const CString line = quoted.substr(1, quoted.size() - 2);
        SCOPED_TRACE("command line " + quoted);

        ScopedPrefs prefs;
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Other");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Other");
        if (before == "old") {
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
        const CString unchanged = storeSummary();
        // As the program starts: the uninstaller takes over before any switch is looked at.
        EXPECT_EQ(IsUninstallCommandLine(line), run == "uninstall");
        CommandLineSwitches switches;
        AccountDecision decision;
        if (run != "uninstall") {
            switches = ScanCommandLine(line);
            decision = ApplyCommandLineAccount(switches);
        }
        EXPECT_EQ(switches.shortcuts, run == "shortcuts");
        EXPECT_EQ(decision.action == AccountAction::Refuse, run == "refused");
        EXPECT_EQ(decision.reason.empty(), run != "refused");
        EXPECT_EQ(storeSummary(), after == "=" ? unchanged : CString(after));
    }
    EXPECT_EQ(rows, 26);
}
