#pragma once
// The command line an installer or a desktop shortcut starts the program with: "-U" uninstalls,
// "-r" creates the start-menu entries, and -n -s -p -u -x -a -v hand over a whole account.
#include "common/CString.h"
#include "settings/Accounts.h"

// The switches' values, each glued to its letter ("-nWork", never "-n Work").
struct CommandLineSwitches {
    CString name;            // -n: the account to create or update; empty: no account is touched
    CString server;          // -s
    CString port = "21";     // -p
    CString user;            // -u
    CString password;        // -x
    CString anonymous = "N"; // -a: "Y" or "y" for an anonymous account
    CString passive = "N";   // -v: "Y" or "y" for passive mode
    bool shortcuts = false;  // -r, or a command line that is exactly "-r"
    // Set by -a -p -u -v -x: an existing account is only rewritten when one of them is there.
    bool switchChanged = false;
    bool passwordGiven = false; // -x
};

// The uninstaller runs when the command line begins with "-U" (case counts; nothing before it).
bool IsUninstallCommandLine(const CString& commandLine);
CommandLineSwitches ScanCommandLine(const CString& commandLine);

enum class AccountAction { None, Save, Refuse };

struct AccountDecision {
    AccountAction action = AccountAction::None;
    AccountRecord account; // what Save writes
    CString reason;        // why the change was refused, for the user
};

// What the switches do to the account named by -n; exists: the name is in the account list.
AccountDecision DecideAccount(const CommandLineSwitches& switches, bool exists);
// Carries the decision out in the settings: a new name joins the account list, and a saved
// account becomes the current one with every key written from the switches.
AccountDecision ApplyCommandLineAccount(const CommandLineSwitches& switches);
