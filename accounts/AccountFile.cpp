#include "accounts/AccountFile.h"

#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include "common/Files.h"

namespace {

const char* const kStamp = "CHECKSTAMP2";

CString firstChar(const CString& text) {
    return text.Left(1);
}

// The names of a list line as the store's walk sees them: split at ",", trimmed, up to the
// first empty entry.
std::vector<CString> listNames(const CString& list) {
    std::vector<CString> names;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        CString name =
            list.substr(start, comma == std::string::npos ? CString::npos : comma - start);
        if (name.empty())
            break;
        names.push_back(name.Trim());
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return names;
}

} // namespace

std::string AccountExportText(bool includePasswords) {
    CString current = GetPrefString(PREFS_SECTION, "DEFAULT", "");
    std::string out;
    auto line = [&out](const CString& value) { out += value + "\r\n"; };
    line(kStamp);
    line(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""));
    line(current);
    WalkAccountList(false, [&](const CString& name) {
        CString section = AccountSection(name);
        const char* s = section.c_str();
        line(name);
        line(GetPrefString(s, "SERVER", ""));
        line(FormatString("%d", GetPrefInt(s, "PORT", 21)));
        line(GetPrefString(s, "USER", ""));
        line(firstChar(GetPrefString(s, "ANONYMOUS", "N")));
        line(includePasswords ? GetPrefString(s, "WORD", "") : CString());
        line(name == current ? "Y" : "N");
        line(firstChar(GetPrefString(s, "PASV", "N")));
    });
    return out;
}

AccountFileResult ParseAccountFile(const std::string& text, std::vector<ImportedAccount>& accounts,
                                   int& badLine) {
    accounts.clear();
    badLine = 1;
    if (text.find('\0') != std::string::npos)
        return AccountFileResult::NotAccountFile;
    std::vector<CString> lines = SplitLines(text);
    if (lines.size() < 3) {
        badLine = static_cast<int>(lines.size()) + 1;
        // A stamped file cut in its header is ours, damaged; anything else is not ours.
        return !lines.empty() && lines[0] == kStamp ? AccountFileResult::Damaged
                                                    : AccountFileResult::NotAccountFile;
    }
    const bool stamped = lines[0] == kStamp;
    const size_t perRecord = stamped ? 8 : 7;
    std::vector<CString> names = listNames(lines[1]);
    badLine = 2;
    // An older file has no stamp to know it by; without accounts nothing says it is ours.
    if (!stamped && names.empty())
        return AccountFileResult::NotAccountFile;
    std::vector<ImportedAccount> records;
    size_t at = 3;
    for (const CString& listed : names) {
        ImportedAccount record;
        if (at < lines.size()) {
            record.name = lines[at];
            record.name.Trim();
            badLine = static_cast<int>(at) + 1;
            // The records must follow the list one for one; a name that differs means
            // lines went missing or this is some other file.
            if (record.name != listed || !IsValidAccountName(record.name))
                return AccountFileResult::NotAccountFile;
        }
        if (at + perRecord > lines.size()) {
            badLine = static_cast<int>(lines.size()) + 1;
            // Only a stamp or a first record that matches the list tells an older file
            // from any other text.
            return stamped || !records.empty() || at < lines.size()
                       ? AccountFileResult::Damaged
                       : AccountFileResult::NotAccountFile;
        }
        record.server = lines[at + 1];
        // A port the connection could not use (or none at all) falls back to the FTP port.
        int port = 21;
        record.port = ParsePort(lines[at + 2], port) ? port : 21;
        record.user = lines[at + 3];
        record.anonymous = lines[at + 4];
        record.password = lines[at + 5];
        record.makeCurrent = lines[at + 6] == "Y";
        if (stamped)
            record.passive = lines[at + 7];
        records.push_back(record);
        at += perRecord;
    }
    accounts.swap(records);
    badLine = 0;
    return AccountFileResult::Done;
}

void MergeImportedAccounts(const std::vector<ImportedAccount>& accounts) {
    for (const ImportedAccount& record : accounts) {
        CString name = ExistingAccountName(record.name);
        if (name.empty()) {
            name = record.name;
            AddAccountToList(name);
        }
        CString section = AccountSection(name);
        const char* s = section.c_str();
        SetPrefInt(s, "PORT", record.port);
        SetPrefString(s, "SERVER", record.server.c_str());
        SetPrefString(s, "USER", record.user.c_str());
        SetPrefString(s, "WORD", record.password.c_str());
        if (record.password.empty())
            SetPrefInt(s, "WORDSAVED", 0);
        SetPrefString(s, "ANONYMOUS", record.anonymous.c_str());
        SetPrefString(s, "PASV", record.passive.c_str());
        if (record.makeCurrent)
            SetPrefString(PREFS_SECTION, "DEFAULT", name.c_str());
    }
}

AccountFileResult ExportAccountsToFile(const CString& path, bool includePasswords) {
    if (path.empty() || !files::WriteAllAtomic(path, AccountExportText(includePasswords)))
        return AccountFileResult::CannotCreate;
    return AccountFileResult::Done;
}

AccountFileResult ImportAccountsFromFile(const CString& path, int& badLine) {
    badLine = 0;
    std::string text;
    if (path.empty() || files::IsFolder(path) || !files::ReadAll(path, text))
        return AccountFileResult::CannotRead;
    std::vector<ImportedAccount> accounts;
    AccountFileResult result = ParseAccountFile(text, accounts, badLine);
    if (result == AccountFileResult::Done)
        MergeImportedAccounts(accounts);
    return result;
}

CString AccountFileMessage(AccountFileResult result, const CString& path, int badLine) {
    switch (result) {
    case AccountFileResult::Done:
        return "";
    case AccountFileResult::CannotCreate:
        return "The file\n" + path + "\ncannot be created. No accounts were exported.";
    case AccountFileResult::CannotRead:
        return "The file\n" + path + "\ncannot be opened or read. No accounts were imported.";
    case AccountFileResult::NotAccountFile:
        return FormatString("The file\n%s\nis not a Tarnwick account file (line %d). No "
                            "accounts were imported.",
                            path.c_str(), badLine);
    case AccountFileResult::Damaged:
        return FormatString("The file\n%s\nis damaged: it ends inside an account (line %d). No "
                            "accounts were imported.",
                            path.c_str(), badLine);
    }
    return "";
}
