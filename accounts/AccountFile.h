#pragma once
// The account export file: moves accounts between machines and users.
//
//   CHECKSTAMP2            (a file without this first line is an older one: no passive line)
//   <the account list as stored>
//   <the current account>
//   then per account, in list order: name, server, port, user, anonymous flag (first
//   character), password (or an empty line), "Y"/"N" for the current account, passive flag.
//
// Lines end with CR LF; LF alone is read too. Every value is one whole line.
//
// The import checks the whole file before it writes anything: a file that ends inside a
// record, or whose records do not follow its list, changes no account and is reported.
#include "common/CString.h"

#include <string>
#include <vector>

// One record of the file, as it is written to the store.
struct ImportedAccount {
    CString name;
    CString server;
    int port = 21;
    CString user;
    CString anonymous;
    CString password;
    bool makeCurrent = false;
    CString passive = "N";
};

enum class AccountFileResult {
    Done,
    CannotCreate,   // the export could not write the file
    CannotRead,     // the import could not open or read the file
    NotAccountFile, // not an export of accounts (or one whose records do not match its list)
    Damaged,        // an account file that ends inside a record
};

// The file text for the accounts in the store; passwords only when asked for.
std::string AccountExportText(bool includePasswords);
// Reads a file text. On Done, accounts holds every record; otherwise it is empty and
// badLine (from 1) tells where the text stopped making sense.
AccountFileResult ParseAccountFile(const std::string& text, std::vector<ImportedAccount>& accounts,
                                   int& badLine);
// Writes the records into the store: an account of the same name (in any case: the store
// does not tell them apart) is overwritten and keeps its place, a new one goes to the end of
// the list; the last record marked current becomes the current account. A record without a
// password has its password not saved, so that the log-on asks for it.
void MergeImportedAccounts(const std::vector<ImportedAccount>& accounts);

AccountFileResult ExportAccountsToFile(const CString& path, bool includePasswords);
// Reads, checks and merges; badLine as for ParseAccountFile.
AccountFileResult ImportAccountsFromFile(const CString& path, int& badLine);
// What to tell the user about a failed export or import (empty for Done).
CString AccountFileMessage(AccountFileResult result, const CString& path, int badLine);
