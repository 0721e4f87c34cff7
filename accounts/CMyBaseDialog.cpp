#include "accounts/CMyBaseDialog.h"

#include "accounts/DialogPlacement.h"

#include <map>
#include <vector>

namespace {

// Open dialogs and their objects (user-interface thread only).
std::map<HWND, CMyBaseDialog*>& dialogMap() {
    static std::map<HWND, CMyBaseDialog*> map;
    return map;
}

void forget(const CMyBaseDialog* dialog) {
    auto& map = dialogMap();
    for (auto it = map.begin(); it != map.end();)
        it = it->second == dialog ? map.erase(it) : std::next(it);
}

} // namespace

CMyBaseDialog::~CMyBaseDialog() {
    forget(this);
}

INT_PTR CMyBaseDialog::dialogProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

int CMyBaseDialog::templateId() const {
    return 0;
}

CMyBaseDialog* CMyBaseDialog::fromHandle(HWND dialog) {
    auto it = dialogMap().find(dialog);
    return it == dialogMap().end() ? nullptr : it->second;
}

INT_PTR CMyBaseDialog::DoModal(HWND parent) {
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId()),
                                     parent, &sharedProc, reinterpret_cast<LPARAM>(this));
    forget(this);
    m_hWnd = nullptr;
    return result;
}

INT_PTR CALLBACK CMyBaseDialog::sharedProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CMyBaseDialog*>(lParam);
        if (!dialog)
            return 0;
        dialog->m_hWnd = window;
        dialogMap()[window] = dialog;
    }
    CMyBaseDialog* dialog = fromHandle(window);
    if (!dialog)
        return 0; // messages before the initialisation
    if (message == WM_NCDESTROY) {
        INT_PTR result = dialog->dialogProc(window, message, wParam, lParam);
        dialogMap().erase(window);
        dialog->m_hWnd = nullptr;
        return result;
    }
    return dialog->dialogProc(window, message, wParam, lParam);
}

CString DialogItemText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0)
        return CString();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextA(control, buffer.data(), length + 1);
    return CString(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

CString CMyBaseDialog::controlText(int id) const {
    return DialogItemText(m_hWnd, id);
}

void CMyBaseDialog::setControlText(int id, const CString& text) {
    SetDlgItemTextA(m_hWnd, id, text.c_str());
}

bool CMyBaseDialog::isChecked(int id) const {
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CMyBaseDialog::setChecked(int id, bool checked) {
    CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CMyBaseDialog::centreOnDesktop() {
    RECT desktop = {};
    RECT client = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetClientRect(m_hWnd, &client);
    DialogOrigin origin = CentreOnDesktop(desktop.left, desktop.top, desktop.right, desktop.bottom,
                                          client.right - client.left, client.bottom - client.top);
    SetWindowPos(m_hWnd, nullptr, origin.left, origin.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
