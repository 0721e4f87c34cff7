#include "settings/Accounts.h"

#include "settings/Prefs.h"

#include <cctype>

static CString readList() { return GetPrefString(PREFS_SECTION, "ACCOUNTS", ""); }

bool FindAccountInList(const CString& name, int& start, int& end) {
    CString widened = "," + readList() + ",";
    int at = widened.Find(("," + name + ",").c_str());
    if (at < 0) {
        start = -1;
        return false;
    }
    start = at;
    end = at + name.GetLength();
    return true;
}

bool AddAccountToList(const CString& name) {
    int start = 0, end = 0;
    if (FindAccountInList(name, start, end))
        return false;
    CString list = readList() + "," + name;
    if (!list.empty() && list[0] == ',')
        list.erase(0, 1);
    SetPrefString(PREFS_SECTION, "ACCOUNTS", list.c_str());
    return true;
}

CString RemoveAccountFromList(const CString& name) {
    CString list = readList();
    int start = 0, end = 0;
    if (!FindAccountInList(name, start, end))
        return list;
    list = list.Left(start - 1) + list.Mid(end);
    if (!list.empty() && list[0] == ',')
        list.erase(0, 1);
    SetPrefString(PREFS_SECTION, "ACCOUNTS", list.c_str());
    return list;
}

void SaveAccountPrefs(const AccountRecord& account) {
    // The list walk trims names before it builds section names; trimming here keeps a name
    // typed with blanks around it pointing at the same section.
    CString name(account.name);
    name.Trim();
    CString section = AccountSection(name);
    const char* s = section.c_str();
    SetPrefInt(s, "PORT", static_cast<int>(account.port));
    SetPrefString(s, "USER", account.user.c_str());
    SetPrefInt(s, "WORDSAVED", account.savePassword ? 1 : 0);
    SetPrefString(s, "WORD", account.savePassword ? account.password.c_str() : "");
    SetPrefString(s, "SERVER", account.server.c_str());
    SetPrefString(s, "ANONYMOUS", account.anonymous ? "Y" : "N");
    if (GetPrefString(PREFS_SECTION, "DEFAULT", "").empty())
        SetPrefString(PREFS_SECTION, "DEFAULT", name.c_str());
    SetPrefString(s, "PASV", account.passive ? "Y" : "N");
}

AccountRecord LoadAccountPrefs(const CString& name) {
    AccountRecord account;
    CString section = AccountSection(name);
    const char* s = section.c_str();
    account.name = name;
    account.server = GetPrefString(s, "SERVER", "");
    account.port = static_cast<unsigned>(GetPrefInt(s, "PORT", 21));
    account.user = GetPrefString(s, "USER", "");
    account.password = GetPrefString(s, "WORD", "");
    account.savePassword = GetPrefInt(s, "WORDSAVED", 1) != 0;
    account.anonymous = GetPrefString(s, "ANONYMOUS", "N") != "N";
    account.passive = GetPrefString(s, "PASV", "N") != "N";
    return account;
}

void WalkAccountList(bool repair, const std::function<void(const CString& name)>& visit) {
    CString list = readList();
    if (repair && list.Find(",,") >= 0) {
        list.Replace(",,", ",");
        SetPrefString(PREFS_SECTION, "ACCOUNTS", list.c_str());
    }
    CString rest = list;
    for (;;) {
        int comma = rest.Find(',');
        CString name = comma < 0 ? rest : rest.Left(comma);
        rest = comma < 0 ? CString() : rest.Mid(comma + 1);
        if (name.empty())
            return;
        name.Trim();
        visit(name);
        if (comma < 0)
            return;
    }
}

std::vector<CString> AccountNames(bool repair) {
    std::vector<CString> names;
    WalkAccountList(repair, [&](const CString& name) { names.push_back(name); });
    return names;
}

bool IsValidAccountName(const CString& name) {
    if (name.empty() || name.front() == ' ' || name.back() == ' ')
        return false;
    for (char c : name) {
        if (c == ',' || c == '[' || c == ']' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

bool ParsePort(const CString& text, int& port) {
    CString digits(text);
    digits.Trim();
    if (digits.empty())
        return false;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535) // before it can overflow, whatever is typed
            return false;
    }
    if (value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

bool IsSameAccountName(const CString& a, const CString& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

CString ExistingAccountName(const CString& name) {
    for (const CString& listed : AccountNames(false)) {
        if (IsSameAccountName(listed, name))
            return listed;
    }
    return "";
}
