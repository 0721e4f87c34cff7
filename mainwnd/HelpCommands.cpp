// The Help menu: the help page that lies beside the program, its "Getting help" section, and
// the About box.
#include "mainwnd/CMyMainWnd.h"

#include "res/resource.h"

#include <shellapi.h>

#include <cstdio>

CMyMainWnd::ShellOpenFn CMyMainWnd::s_shellOpen = ShellExecuteA;

namespace {

// The program's folder with its final backslash; empty when the path has none.
CString programFolder() {
    char path[MAX_PATH * 2] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return "";
    CString folder(path, length);
    size_t slash = folder.rfind('\\');
    return slash == std::string::npos ? CString() : CString(folder.substr(0, slash + 1));
}

// A file URL of the local path, so that the browser can be sent to a section of the page.
CString fileUrl(const CString& path) {
    CString url = "file:///";
    for (unsigned char c : path) {
        if (c == '\\') {
            url += '/';
        } else if (isalnum(c) || strchr(":/.-_~", c)) {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            url += escaped;
        }
    }
    return url;
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void CMyMainWnd::showHelpOverview() {
    CString folder = programFolder();
    if (folder.empty())
        return;
    openHelpDocument(m_hWnd, folder + "main.htm", SW_SHOWNORMAL);
}

// The project has no web site of its own: its support page is the help page's section on
// getting help, which says where to turn.
void CMyMainWnd::showSupport() {
    CString folder = programFolder();
    if (folder.empty())
        return;
    openHelpDocument(nullptr, fileUrl(folder + "main.htm") + "#getting-help", SW_SHOWMAXIMIZED);
}

void CMyMainWnd::openHelpDocument(HWND owner, const CString& document, int show) {
    auto result = reinterpret_cast<INT_PTR>(
        s_shellOpen(owner, nullptr, document.c_str(), nullptr, nullptr, show));
    if (result > 32)
        return;
    CString text = "The help page could not be opened:\n" + document +
                   "\n\nThe help pages are installed beside Tarnwick2.exe; a browser opens them.";
    MessageBoxA(m_hWnd, text.c_str(), "Tarnwick", MB_OK | MB_ICONWARNING);
}

void CMyMainWnd::showAbout() {
    DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), m_hWnd, aboutProc, 0);
}
