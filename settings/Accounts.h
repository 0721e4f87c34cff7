#pragma once
// Account records and the comma-separated account list ("USERPREFS"/"ACCOUNTS").
#include "common/CString.h"

#include <functional>
#include <vector>

struct AccountRecord {
    CString name;
    CString server;
    unsigned port = 21;
    CString user;
    CString password;
    bool anonymous = false;
    bool passive = false;
    bool savePassword = true;
};

// Finds name between commas in the stored list. start/end: the name's position in the list
// (end is just behind it); start is -1 when not found.
bool FindAccountInList(const CString& name, int& start, int& end);
// Appends name to the list; false (and nothing written) when it is there already.
bool AddAccountToList(const CString& name);
// Removes name from the list and writes the list back; returns the list as it now stands.
CString RemoveAccountFromList(const CString& name);
// Writes the account's section; the first account saved becomes the current one.
void SaveAccountPrefs(const AccountRecord& account);
// Reads an account the way the account manager and the export see it (empty server and user
// when absent, port 21, password saved unless stored otherwise).
AccountRecord LoadAccountPrefs(const CString& name);

// Visits the account names in list order. The walk stops at the first empty entry; names are
// trimmed of blanks. With repair, doubled commas are first collapsed (one pass) and the
// repaired list is written back.
// A name the list and the store can hold: not empty, no blank at either end (the list walk
// trims them, so the section would be unreachable), no "," (it splits the list) and no "[" or
// "]" (they break the section header), no control characters (a line break ends the value).
bool IsValidAccountName(const CString& name);
// A port as typed: decimal digits only (blanks around them allowed), 1 to 65535. False leaves
// port unchanged.
bool ParsePort(const CString& text, int& port);

// The listed name that names the same account as name: the store matches section names
// without regard to case, so "home" and "Home" share one section. Empty when there is none.
CString ExistingAccountName(const CString& name);
// True when both names lead to the same section.
bool IsSameAccountName(const CString& a, const CString& b);

void WalkAccountList(bool repair, const std::function<void(const CString& name)>& visit);
std::vector<CString> AccountNames(bool repair);
