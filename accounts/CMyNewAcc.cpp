#include "accounts/CMyNewAcc.h"

#include "res/resource.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

int CMyNewAcc::templateId() const {
    return IDD_ACCOUNT;
}

void CMyNewAcc::load() {
    m_editedName = m_name;
    if (m_name.empty()) {
        setControlText(IDC_ACC_PORT, "21");
        return;
    }
    const CString section = AccountSection(m_name);
    const char* s = section.c_str();
    m_anonymous = GetPrefString(s, "ANONYMOUS", "N") != "N";
    m_passive = GetPrefString(s, "PASV", "N") != "N";
    m_savePassword = GetPrefInt(s, "WORDSAVED", 1) == 1;
    m_port = static_cast<unsigned>(GetPrefInt(s, "PORT", 21));
    m_user = GetPrefString(s, "USER", "");
    m_password = GetPrefString(s, "WORD", "");
    m_server = GetPrefString(s, "SERVER", "");
    setControlText(IDC_ACC_NAME, m_name);
    setControlText(IDC_ACC_USER, m_user);
    setControlText(IDC_ACC_PASSWORD, m_password);
    setControlText(IDC_ACC_SERVER, m_server);
    setControlText(IDC_ACC_PORT, FormatString("%u", m_port));
    setChecked(IDC_ACC_ANONYMOUS, m_anonymous);
    setChecked(IDC_ACC_SAVEPASSWORD, m_savePassword);
    setChecked(IDC_ACC_PASV, m_passive);
}

bool CMyNewAcc::warn(const char* text) {
    MessageBoxA(m_hWnd, text, "Warning", MB_OK);
    return false;
}

bool CMyNewAcc::readBoxes() {
    CString name = controlText(IDC_ACC_NAME);
    int port = 0;
    if (!ParsePort(controlText(IDC_ACC_PORT), port))
        return warn("You must specify a valid port number");
    if (name.empty())
        return warn("You must specify an account name");
    // A comma would split the list into other accounts, brackets break the section, and
    // blanks at either end are trimmed away when the list is read.
    if (!IsValidAccountName(name))
        return warn("You must specify an account name without \",\", \"[\" or \"]\" and "
                    "without blanks at its beginning or end");
    // The store does not tell "home" from "Home": either names the same account.
    const CString existing = ExistingAccountName(name);
    if (!existing.empty() && !IsSameAccountName(existing, m_editedName)) {
        CString question = "An account named \"" + existing +
                           "\" exists already.\nDo you want to replace it with this one?";
        if (MessageBoxA(m_hWnd, question.c_str(), "Warning", MB_YESNO | MB_ICONWARNING) != IDYES)
            return false;
    }
    m_name = name;
    m_user = controlText(IDC_ACC_USER);
    m_password = controlText(IDC_ACC_PASSWORD);
    m_server = controlText(IDC_ACC_SERVER);
    m_port = static_cast<unsigned>(port);
    m_anonymous = isChecked(IDC_ACC_ANONYMOUS);
    m_savePassword = isChecked(IDC_ACC_SAVEPASSWORD);
    m_passive = isChecked(IDC_ACC_PASV);
    return true;
}

INT_PTR CMyNewAcc::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        load();
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        if (readBoxes()) {
            AccountRecord account;
            account.name = m_name;
            account.server = m_server;
            account.port = m_port;
            account.user = m_user;
            account.password = m_password;
            account.anonymous = m_anonymous;
            account.passive = m_passive;
            account.savePassword = m_savePassword;
            SaveAccountPrefs(account);
            EndDialog(m_hWnd, IDOK);
        }
        return TRUE;
    case IDCANCEL:
        EndDialog(m_hWnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
