#pragma once
// The file dialogs of the account import and export: a file name (remembered under
// "IMPEXPORTLASTNAME"), a "..." button for the file chooser and, for the export, whether to
// include passwords. DoModal returns IDOK when the user confirmed; m_fileName (as typed or
// chosen) and m_includePasswords then hold the choice.
#include "accounts/CMyBaseDialog.h"
#include "common/CString.h"

class CMyImpAccs : public CMyBaseDialog {
public:
    CMyImpAccs();
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    CString m_fileName;
    bool m_includePasswords = false;
    CString m_chooserTitle;

private:
    void choose();
};

class CMyExpAccs : public CMyImpAccs {
public:
    CMyExpAccs();
    int templateId() const override;
};
