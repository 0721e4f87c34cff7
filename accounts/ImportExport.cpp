#include "accounts/ImportExport.h"

#include "res/resource.h"
#include "settings/Prefs.h"

#include <commdlg.h>

#include <vector>

CMyImpAccs::CMyImpAccs()
    : m_fileName(GetPrefString(PREFS_SECTION, "IMPEXPORTLASTNAME", "c:\\temp\\TarnwickExport.inf")),
      m_chooserTitle("Import Tarnwick Accounts") {}

int CMyImpAccs::templateId() const {
    return IDD_IMPORT;
}

CMyExpAccs::CMyExpAccs() {
    m_chooserTitle = "Export Tarnwick Accounts";
}

int CMyExpAccs::templateId() const {
    return IDD_EXPORT;
}

// The open-file chooser for both directions: the file need not exist (an export names a new
// one), only its folder.
void CMyImpAccs::choose() {
    std::vector<char> path(MAX_PATH, '\0');
    CString typed = controlText(IDC_IMPEXP_FILE);
    typed.copy(path.data(), path.size() - 1);
    OPENFILENAMEA chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = m_hWnd;
    chooser.lpstrFilter = "Tarnwick Files (*.inf)\0*.inf\0All Files (*.*)\0*.*\0";
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = path.data();
    chooser.nMaxFile = static_cast<DWORD>(path.size());
    chooser.lpstrTitle = m_chooserTitle.c_str();
    chooser.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&chooser))
        return;
    m_fileName = path.data();
    setControlText(IDC_IMPEXP_FILE, m_fileName);
}

INT_PTR CMyImpAccs::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        setControlText(IDC_IMPEXP_FILE, m_fileName);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_IMPEXP_BROWSE:
        choose();
        return TRUE;
    case IDOK:
        // What the box shows is what the user means, typed or chosen.
        m_fileName = controlText(IDC_IMPEXP_FILE);
        m_includePasswords =
            GetDlgItem(m_hWnd, IDC_EXPORT_PASSWORDS) != nullptr && isChecked(IDC_EXPORT_PASSWORDS);
        SetPrefString(PREFS_SECTION, "IMPEXPORTLASTNAME", m_fileName.c_str());
        EndDialog(m_hWnd, IDOK);
        return TRUE;
    case IDCANCEL:
        EndDialog(m_hWnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
