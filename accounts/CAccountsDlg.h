#pragma once
// "Accounts": the account manager. Lists the accounts (newest at the top) with their main
// settings; adds, edits, deletes, chooses the current account, imports and exports. Every
// button writes to the store at once and the list is rebuilt from the store after each
// change; the dialog holds no copy of the accounts. Close also stores the anonymous
// password box; Escape and the close box discard it.
#include "accounts/CMyBaseDialog.h"
#include "panes/CBaseList.h"

class CAccountsDlg : public CMyBaseDialog {
public:
    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    void refresh();
    void importAccounts();
    void exportAccounts();

private:
    void onInit();
    void addAccount();
    void editAccount();
    void deleteAccount();
    void setDefault();
    // The selected row's account name; false when no row is selected.
    bool selectedName(CString& name) const;
    void report(const CString& text);

    CBaseList m_list;
};
