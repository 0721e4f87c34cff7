#include "accounts/CAccountsDlg.h"

#include "accounts/CMyNewAcc.h"
#include "accounts/ImportExport.h"
#include "res/resource.h"
#include "accounts/AccountFile.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

namespace {

struct Column {
    const char* title;
    int width;
};
const Column kColumns[] = {{"Account", 140},  {"Server", 100}, {"Port", 40},   {"User", 100},
                           {"Anonymous", 40}, {"PASV", 40},    {"Default", 30}};

} // namespace

int CAccountsDlg::templateId() const {
    return IDD_ACCOUNTS;
}

void CAccountsDlg::onInit() {
    m_list.attach(GetDlgItem(m_hWnd, IDC_ACCOUNTS_LIST));
    int index = 0;
    for (const Column& column : kColumns) {
        m_list.insertColumn(index, column.title, LVCFMT_LEFT, column.width, index);
        ++index;
    }
    setControlText(IDC_ACCOUNTS_ANONNAME, GetPrefString(PREFS_SECTION, "ANOYMOUSNAME", ""));
    refresh();
}

void CAccountsDlg::refresh() {
    m_list.deleteAllItems();
    const CString current = GetPrefString(PREFS_SECTION, "DEFAULT", "");
    WalkAccountList(true, [&](const CString& name) {
        const CString section = AccountSection(name);
        const char* s = section.c_str();
        // Each row goes to the top, so the newest account is seen first.
        int row = m_list.insertItem(0, name, 0);
        if (row < 0)
            return;
        m_list.setSubItemText(row, 1, GetPrefString(s, "SERVER", ""));
        m_list.setSubItemText(row, 2, FormatString("%d", GetPrefInt(s, "PORT", 21)));
        m_list.setSubItemText(row, 3, GetPrefString(s, "USER", ""));
        m_list.setSubItemText(row, 4, GetPrefString(s, "ANONYMOUS", "N").Left(1));
        m_list.setSubItemText(row, 5, GetPrefString(s, "PASV", "N").Left(1));
        m_list.setSubItemText(row, 6, name == current ? "Y" : "N");
    });
}

bool CAccountsDlg::selectedName(CString& name) const {
    int cursor = m_list.firstSelected();
    if (!cursor)
        return false;
    name = m_list.getItemText(m_list.nextSelected(cursor), 0);
    return true;
}

void CAccountsDlg::addAccount() {
    CMyNewAcc details;
    if (details.DoModal(m_hWnd) != IDOK)
        return;
    // Replacing an existing account (the user agreed to it) keeps its place in the list.
    if (ExistingAccountName(details.m_name).empty())
        AddAccountToList(details.m_name);
    refresh();
}

void CAccountsDlg::editAccount() {
    CString oldName;
    if (!selectedName(oldName))
        return;
    CMyNewAcc details;
    details.m_name = oldName;
    if (details.DoModal(m_hWnd) != IDOK)
        return;
    const CString& newName = details.m_name;
    int start = 0, end = 0;
    if (newName != oldName && FindAccountInList(oldName, start, end)) {
        // A renamed account moves to the end of the list, unless it replaced another one
        // (the user agreed to that), which keeps its own place.
        RemoveAccountFromList(oldName);
        CString listed = ExistingAccountName(newName);
        if (listed.empty())
            AddAccountToList(listed = newName);
        // The current account stays current under its new name; the old name would point
        // at the section the edits did not go to.
        if (GetPrefString(PREFS_SECTION, "DEFAULT", "") == oldName)
            SetPrefString(PREFS_SECTION, "DEFAULT", listed.c_str());
    }
    refresh();
}

void CAccountsDlg::deleteAccount() {
    CString name;
    if (!selectedName(name))
        return;
    RemoveAccountFromList(name);
    // No account is current any more, so the next log-on offers the manager instead of
    // using an account the user no longer sees.
    if (GetPrefString(PREFS_SECTION, "DEFAULT", "") == name)
        SetPrefString(PREFS_SECTION, "DEFAULT", "");
    refresh();
}

void CAccountsDlg::setDefault() {
    CString name;
    if (!selectedName(name))
        return;
    SetPrefString(PREFS_SECTION, "DEFAULT", name.c_str());
    refresh();
}

void CAccountsDlg::report(const CString& text) {
    MessageBoxA(m_hWnd, text.c_str(), "Tarnwick", MB_OK | MB_ICONEXCLAMATION);
}

void CAccountsDlg::importAccounts() {
    CMyImpAccs chooser;
    if (chooser.DoModal(m_hWnd) != IDOK)
        return;
    int badLine = 0;
    AccountFileResult result = ImportAccountsFromFile(chooser.m_fileName, badLine);
    if (result != AccountFileResult::Done)
        report(AccountFileMessage(result, chooser.m_fileName, badLine));
    refresh();
}

void CAccountsDlg::exportAccounts() {
    CMyExpAccs chooser;
    if (chooser.DoModal(m_hWnd) != IDOK)
        return;
    AccountFileResult result = ExportAccountsToFile(chooser.m_fileName, chooser.m_includePasswords);
    if (result != AccountFileResult::Done)
        report(AccountFileMessage(result, chooser.m_fileName, 0));
    refresh();
}

INT_PTR CAccountsDlg::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        onInit();
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_ACCOUNTS_ADD:
        addAccount();
        return TRUE;
    case IDC_ACCOUNTS_EDIT:
        editAccount();
        return TRUE;
    case IDC_ACCOUNTS_DELETE:
        deleteAccount();
        return TRUE;
    case IDC_ACCOUNTS_DEFAULT:
        setDefault();
        return TRUE;
    case IDC_ACCOUNTS_IMPORT:
        importAccounts();
        return TRUE;
    case IDC_ACCOUNTS_EXPORT:
        exportAccounts();
        return TRUE;
    case IDOK:
        SetPrefString(PREFS_SECTION, "ANOYMOUSNAME", controlText(IDC_ACCOUNTS_ANONNAME).c_str());
        EndDialog(m_hWnd, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(m_hWnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
