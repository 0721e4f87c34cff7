// The settings store, the accounts kept in it, the command line that fills it and the account
// export file. The same source runs natively (our INI code) and under Wine (the Windows
// profile functions), so both are held to one behaviour. The cases are in tests/data:
// settings.tsv (account files imported included) and command-lines.tsv.
#include "accounts/AccountFile.h"
#include "app/CommandLine.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include "common/Files.h"
#include "tests/support/TestSupport.h"
#include "tests/unit/Table.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

TW_TABLE(k_settings_tsv)
TW_TABLE(k_command_lines_tsv)

using namespace testing_support;

namespace {
using Args = TableArgs;

// An account saved through the store: name, server, port, user, password, then flags
// "p" passive, "a" anonymous, "u" password not saved.
void Save(const Args& a) {
    auto has = [&](char flag) { return a[5].find(flag) != std::string::npos; };
    const unsigned port = std::stoi(a[2]);
    SaveAccountPrefs({a[0], a[1], port, a[3], a[4], has('a'), has('p'), !has('u')});
}

const char* const kResults[] = {"Done", "CannotCreate", "CannotRead", "NotAccountFile", "Damaged"};

CString Beside(const std::string& name) { // a file beside the settings file
    return files::ParentFolder(GetPrefFilePath()) + "/" + name;
}

std::string YesNo(bool yes) { return yes ? "yes" : "no"; }

} // namespace

TEST(Settings, EachScriptAndCommandLineLeavesItsStore) {
    std::unique_ptr<ScopedPrefs> prefs;
    RunTable("settings.tsv", k_settings_tsv_text(), {
        {"get", [](const Args& a) {
             const char* absent = a[2] == "null" ? nullptr : a[2].c_str();
             return GetPrefString(a[0].c_str(), a[1].c_str(), absent);
         }},
        {"int", [](const Args& a) {
             return std::to_string(GetPrefInt(a[0].c_str(), a[1].c_str(), std::stoi(a[2])));
         }},
        {"exists", [](const Args&) { return YesNo(files::Exists(GetPrefFilePath())); }},
        {"filehas", [](const Args& a) {
             return YesNo(ReadFile(GetPrefFilePath()).find(a[0]) != std::string::npos);
         }},
        {"add", [](const Args& a) { return YesNo(AddAccountToList(a[0])); }},
        {"remove", [](const Args& a) { return RemoveAccountFromList(a[0]); }},
        {"names", [](const Args& a) {
             std::string out;
             for (const CString& n : AccountNames(a[0] == "repair"))
                 out += (out.empty() ? "" : "|") + n;
             return "[" + out + "]";
         }},
        {"anonymous", [](const Args& a) { return YesNo(LoadAccountPrefs(a[0]).anonymous); }},
        {"store", [](const Args&) { // list, current, then per account name:each key ("-": absent)
             std::string out = "[" + GetPrefString(PREFS_SECTION, "ACCOUNTS", "-") + "] current " +
                               GetPrefString(PREFS_SECTION, "DEFAULT", "-");
             for (const CString& name : AccountNames(false)) {
                 out += "; " + name + ":";
                 for (const char* key :
                      {"SERVER", "PORT", "USER", "ANONYMOUS", "WORD", "WORDSAVED", "PASV"})
                     out += GetPrefString(AccountSection(name).c_str(), key, "-") + "|";
                 out.pop_back();
             }
             return out;
         }},
        {"export", [](const Args& a) { return AccountExportText(a[0] == "passwords"); }},
        {"import", [](const Args& a) { // a damaged file names its line
             int badLine = -1;
             const AccountFileResult result = ImportAccountsFromFile(Beside(a[0]), badLine);
             EXPECT_EQ(badLine > 0, result == AccountFileResult::Damaged ||
                                        result == AccountFileResult::NotAccountFile);
             return kResults[static_cast<int>(result)];
         }},
        {"long", [](const Args& a) { // a text of N characters: how many of them read back
             const std::string text = std::string(std::stoi(a[0]) - 1, 'L') + "Z";
             SetPrefString("USERPREFS/Work", "K", text.c_str());
             const std::string back = GetPrefString("USERPREFS/Work", "K", "");
             return text.compare(0, back.size(), back) == 0 ? std::to_string(back.size()) : "other";
         }},
        {"exportto", [](const Args& a) {
             const bool passwords = a[1] == "passwords";
             return kResults[static_cast<int>(ExportAccountsToFile(Beside(a[0]), passwords))];
         }},
    }, {
        {"==", [&](const Args&) { prefs.reset(), prefs.reset(new ScopedPrefs); }},
        {"write", [](const Args& a) { // the settings file, or a file beside it
             ASSERT_TRUE(WriteFile(a.size() > 1 ? Beside(a[1]) : GetPrefFilePath(), a[0]));
         }},
        {"set", [](const Args& a) { SetPrefString(a[0].c_str(), a[1].c_str(), a[2].c_str()); }},
        {"setint", [](const Args& a) { SetPrefInt(a[0].c_str(), a[1].c_str(), std::stoi(a[2])); }},
        {"save", Save},
    });
    prefs.reset();
    // Each line: the command line between quotes, the store before ("old" adds Work), the run it
    // asks for, and the store after ("=": unchanged).
    auto summary = [] {
        std::string s = GetPrefString(PREFS_SECTION, "ACCOUNTS", "-") + " " +
                        GetPrefString(PREFS_SECTION, "DEFAULT", "-") + " |";
        for (const char* key : {"SERVER", "PORT", "USER", "WORD", "WORDSAVED", "ANONYMOUS", "PASV"})
            s += " " + GetPrefString("USERPREFS/Work", key, "-");
        return s;
    };
    RunTable("command-lines.tsv", k_command_lines_tsv_text(), {{"cmdline", [&](const Args& a) {
        const std::string &quoted = a[0], &run = a[2]; // "" reads as an empty field
        const CString line = quoted.empty() ? "" : quoted.substr(1, quoted.size() - 2);
        ScopedPrefs fresh;
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Other");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Other");
        if (a[1] == "old" && AddAccountToList("Work"))
            Save({"Work", "oldhost", "2121", "old", "pw", "p"});
        const std::string before = summary();
        // As the program starts: the uninstaller takes over before any switch is looked at.
        EXPECT_EQ(IsUninstallCommandLine(line), run == "uninstall");
        CommandLineSwitches switches;
        AccountDecision decision;
        if (run != "uninstall")
            decision = ApplyCommandLineAccount(switches = ScanCommandLine(line));
        EXPECT_EQ(switches.shortcuts, run == "shortcuts");
        EXPECT_EQ(decision.action == AccountAction::Refuse, run == "refused");
        EXPECT_EQ(decision.reason.empty(), run != "refused");
        return summary() == before ? "=" : summary();
    }}});
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
    }
    ScopedPrefs prefs;
    EXPECT_EQ(GetPrefFilePath(), prefs.path());
    EXPECT_EQ(CurrentAccountName(), "");
#ifndef _WIN32
    SetPrefString("USERPREFS/Work", "WORD", "secret");
    struct stat st;
    ASSERT_EQ(stat(prefs.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds passwords
    int entries = 0;
    files::Enumerate(files::ParentFolder(prefs.path()),
                     [&](const CString&, bool, int64_t) { ++entries; });
    EXPECT_EQ(entries, 1); // written whole through a temporary file, none left behind
#endif
}

