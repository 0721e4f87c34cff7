#pragma once
// The base of every modal dialog: binds a dialog template to an object and routes the
// template's messages to the object's dialogProc.
//
// A process-wide map leads from a dialog window to its object. The entry is made (replacing
// any earlier one for the same handle) when the dialog initialises and removed when its
// window is destroyed, so a later dialog that gets the same handle never reaches an object
// that is gone.
#include "common/CString.h"

#include <windows.h>

class CMyBaseDialog {
public:
    CMyBaseDialog() = default;
    virtual ~CMyBaseDialog();
    CMyBaseDialog(const CMyBaseDialog&) = delete;
    CMyBaseDialog& operator=(const CMyBaseDialog&) = delete;

    // The dialog's messages from WM_INITDIALOG on; 0 = not handled.
    virtual INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The dialog template's resource number.
    virtual int templateId() const;

    // Runs the dialog from the program's own template, owned by parent. Returns the value
    // the dialog ended with (IDOK 1, IDCANCEL 2, ...), or the platform's result (-1 or 0)
    // when the dialog cannot be created.
    INT_PTR DoModal(HWND parent);

    HWND window() const { return m_hWnd; }
    // The object of an open dialog, or null.
    static CMyBaseDialog* fromHandle(HWND dialog);

protected:
    // The whole text of a control, however long.
    CString controlText(int id) const;
    void setControlText(int id, const CString& text);
    bool isChecked(int id) const;
    void setChecked(int id, bool checked);
    // Places the dialog so that its client area is centred on the desktop (size, z-order and
    // activation unchanged).
    void centreOnDesktop();

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK sharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The whole text of a dialog's control, however long (empty when there is no such control).
CString DialogItemText(HWND dialog, int id);
