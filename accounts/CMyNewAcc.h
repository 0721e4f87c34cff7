#pragma once
// "Preferences": one account's details. Set m_name before DoModal to edit that account;
// leave it empty for a new one. On OK the account is saved at once (SaveAccountPrefs) and
// DoModal returns IDOK; m_name then holds the name it was saved under. The caller keeps the
// account list.
//
// OK refuses, with a warning and the dialog left open: a port outside 1 to 65535, a name the
// list cannot hold, and, unless the user agrees to replace it, the name of another existing
// account.
#include "accounts/CMyBaseDialog.h"
#include "common/CString.h"

class CMyNewAcc : public CMyBaseDialog {
public:
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    unsigned m_port = 0;
    CString m_password;
    CString m_server;
    CString m_user;
    CString m_name;
    bool m_anonymous = false;
    bool m_savePassword = false;
    bool m_passive = false;

private:
    void load();
    // Reads and checks the boxes; true when the account may be saved.
    bool readBoxes();
    bool warn(const char* text);

    CString m_editedName; // the name the dialog opened with
};
