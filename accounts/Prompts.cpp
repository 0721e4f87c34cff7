#include "accounts/Prompts.h"

#include "res/resource.h"
#include "settings/Prefs.h"

namespace {

// The command half all prompts share. OK reads the box whole (a cut text could turn a SITE
// command or a folder name into another one), runs save and ends with IDOK; Cancel ends with
// IDCANCEL and saves nothing; other commands are not handled.
template <typename Save>
INT_PTR onPromptCommand(HWND dialog, WPARAM wParam, CString& text, Save save) {
    switch (LOWORD(wParam)) {
    case IDOK:
        text = DialogItemText(dialog, IDC_PROMPT_EDIT);
        save();
        EndDialog(dialog, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

void nothingToSave() {}

} // namespace

// Every prompt returns TRUE from WM_INITDIALOG, so the edit box (the first control) gets
// the focus.

int CGetNameDlg::templateId() const {
    return IDD_GETNAME;
}

INT_PTR CGetNameDlg::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND)
        return onPromptCommand(m_hWnd, wParam, m_name, nothingToSave);
    return FALSE;
}

int CGetPassDlg::templateId() const {
    return IDD_GETPASS;
}

INT_PTR CGetPassDlg::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        centreOnDesktop();
        setChecked(IDC_SAVE_PASSWORD, false);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        return onPromptCommand(m_hWnd, wParam, m_password, [this] {
            const CString section = AccountSection(m_account);
            const bool save = isChecked(IDC_SAVE_PASSWORD);
            SetPrefInt(section.c_str(), "WORDSAVED", save ? 1 : 0);
            SetPrefString(section.c_str(), "WORD", save ? m_password.c_str() : "");
        });
    }
    return FALSE;
}

int CGetUserNameDlg::templateId() const {
    return IDD_GETUSERNAME;
}

INT_PTR CGetUserNameDlg::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        setChecked(IDC_SAVE_USERNAME, true);
        centreOnDesktop();
        return TRUE;
    }
    if (message == WM_COMMAND) {
        return onPromptCommand(m_hWnd, wParam, m_user, [this] {
            if (isChecked(IDC_SAVE_USERNAME))
                SetPrefString(AccountSection(m_account).c_str(), "USER", m_user.c_str());
        });
    }
    return FALSE;
}

int CSITECommandDlg::templateId() const {
    return IDD_SITECOMMAND;
}

INT_PTR CSITECommandDlg::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        setControlText(IDC_PROMPT_EDIT, m_command);
        return TRUE;
    }
    if (message == WM_COMMAND)
        return onPromptCommand(m_hWnd, wParam, m_command, nothingToSave);
    return FALSE;
}
