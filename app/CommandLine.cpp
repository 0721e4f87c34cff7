#include "app/CommandLine.h"

#include "settings/Prefs.h"

bool IsUninstallCommandLine(const CString& commandLine) {
    return commandLine.Left(2) == "-U";
}

CommandLineSwitches ScanCommandLine(const CString& commandLine) {
    CommandLineSwitches s;
    const int length = commandLine.GetLength();
    int i = 0;
    while (i < length) {
        // A letter that ends the command line is not a switch: something must follow it.
        if (commandLine[i] != '-' || i + 1 >= length - 1) {
            ++i;
            continue;
        }
        const char letter = commandLine[i + 1];
        CString* value = nullptr;
        switch (letter) {
        case 'n': value = &s.name; break;
        case 's': value = &s.server; break;
        case 'p': value = &s.port; break;
        case 'u': value = &s.user; break;
        case 'x': value = &s.password; break;
        case 'a': value = &s.anonymous; break;
        case 'v': value = &s.passive; break;
        case 'r': s.shortcuts = true; break;
        default: break;
        }
        i += 2;
        if (!value)
            continue;
        int end = commandLine.Find(' ', i);
        if (end < 0)
            end = length;
        *value = commandLine.Mid(i, end - i);
        i = end;
        if (letter != 'n' && letter != 's')
            s.switchChanged = true;
        if (letter == 'x')
            s.passwordGiven = true;
    }
    if (commandLine == "-r")
        s.shortcuts = true;
    return s;
}

static bool isYes(const CString& value) { return value == "Y" || value == "y"; }

AccountDecision DecideAccount(const CommandLineSwitches& s, bool exists) {
    AccountDecision decision;
    if (s.name.empty())
        return decision;
    // The account list is comma-separated and each account is an INI section: a name with
    // "," "[" or "]" would split the list or break the section header.
    if (!IsValidAccountName(s.name)) {
        decision.action = AccountAction::Refuse;
        decision.reason.Format("The account name \"%s\" given with -n cannot be used: account "
                               "names may not contain \",\", \"[\" or \"]\".\r\n\r\n"
                               "No account was created or changed.",
                               s.name.c_str());
        return decision;
    }
    // An empty -p keeps the switch's default port.
    int port = 21;
    if (!s.port.empty() && !ParsePort(s.port, port)) {
        decision.action = AccountAction::Refuse;
        decision.reason.Format("The port \"%s\" given with -p is not a number from 1 to 65535."
                               "\r\n\r\nThe account \"%s\" was not created or changed.",
                               s.port.c_str(), s.name.c_str());
        return decision;
    }
    if (exists && !s.switchChanged)
        return decision;
    // The command line describes a whole account: a switch left out resets its key.
    decision.action = AccountAction::Save;
    AccountRecord& a = decision.account;
    a.name = s.name;
    a.server = s.server;
    a.port = static_cast<unsigned>(port);
    a.user = s.user;
    a.password = s.password;
    a.anonymous = isYes(s.anonymous);
    a.passive = isYes(s.passive);
    a.savePassword = s.passwordGiven;
    return decision;
}

AccountDecision ApplyCommandLineAccount(const CommandLineSwitches& switches) {
    int start = 0, end = 0;
    bool exists = !switches.name.empty() && FindAccountInList(switches.name, start, end);
    AccountDecision decision = DecideAccount(switches, exists);
    if (decision.action == AccountAction::Refuse || switches.name.empty())
        return decision;
    AddAccountToList(switches.name);
    if (decision.action == AccountAction::Save) {
        SetPrefString(PREFS_SECTION, "DEFAULT", switches.name.c_str());
        SaveAccountPrefs(decision.account);
    }
    return decision;
}
