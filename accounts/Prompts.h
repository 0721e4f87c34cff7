#pragma once
// The four one-line prompts of the main window. Each has the edit box IDC_PROMPT_EDIT, OK
// and Cancel; after DoModal returned IDOK the prompt's field holds the text typed, whole and
// untrimmed (the callers trim it). Cancel, Escape and the close box end with IDCANCEL and
// save nothing.
#include "accounts/CMyBaseDialog.h"
#include "common/CString.h"

// "Specify Name": the name of a new remote folder.
class CGetNameDlg : public CMyBaseDialog {
public:
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    CString m_name;
};

// "Enter Password" for an account. On OK with "Save Password" checked the password is stored
// with the account ("WORDSAVED" 1, "WORD"); unchecked, a stored password is erased
// ("WORDSAVED" 0, "WORD" empty) so that the next log-on asks again.
class CGetPassDlg : public CMyBaseDialog {
public:
    explicit CGetPassDlg(const CString& account) : m_account(account) {}
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    CString m_password;
    CString m_account;
};

// "Enter Username" for an account. On OK with "Save Username" checked (its initial state)
// the user name is stored with the account ("USER"); unchecked nothing is written.
class CGetUserNameDlg : public CMyBaseDialog {
public:
    explicit CGetUserNameDlg(const CString& account) : m_account(account) {}
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    CString m_user;
    CString m_account;
};

// "Enter SITE Parameters": set m_command before DoModal to pre-fill the box.
class CSITECommandDlg : public CMyBaseDialog {
public:
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    CString m_command;
};
