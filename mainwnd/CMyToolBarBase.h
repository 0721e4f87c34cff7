#pragma once
// The toolbar: log-on (with the account list behind its arrow), close, send, retrieve, create
// and delete folder, delete file, abort. Its tooltips come from the string table.
#include <windows.h>

class CMyMainWnd;

class CMyToolBarBase {
public:
    CMyToolBarBase() = default;
    virtual ~CMyToolBarBase() = default;
    CMyToolBarBase(const CMyToolBarBase&) = delete;
    CMyToolBarBase& operator=(const CMyToolBarBase&) = delete;

    bool create(CMyMainWnd* owner, DWORD extraStyle);
    // The height of the toolbar window, 0 before it exists.
    int height() const;

    HWND m_hWnd = nullptr;
    CMyMainWnd* m_pOwner = nullptr;
};
