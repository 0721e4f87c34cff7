#include "mainwnd/CMyToolBarBase.h"

#include "mainwnd/CMyMainWnd.h"
#include "res/resource.h"

#include <commctrl.h>

bool CMyToolBarBase::create(CMyMainWnd* owner, DWORD extraStyle) {
    m_pOwner = owner;
    const TBBUTTON buttons[] = {
        {0, ID_LOGON, TBSTATE_ENABLED, BTNS_DROPDOWN, {0}, 0, 0},
        {1, ID_CLOSE_CONNECTION, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {0}, 0, 0},
        {2, ID_SEND, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {3, ID_RETRIEVE, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {0}, 0, 0},
        {4, ID_CREATE_DIR, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {5, ID_DELETE_DIR, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {0}, 0, 0},
        {6, ID_REMOVE_FILE, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
        {7, ID_ABORT, TBSTATE_ENABLED, BTNS_BUTTON, {0}, 0, 0},
    };
    // The structure size is the real one: 20 bytes is the 32-bit layout.
    m_hWnd = CreateToolbarEx(owner->m_hWnd,
                             WS_CHILD | WS_VISIBLE | WS_BORDER | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT |
                                 extraStyle,
                             IDC_TOOLBAR, TOOLBAR_IMAGE_COUNT, owner->m_hInstance, IDB_TOOLBAR,
                             buttons, static_cast<int>(sizeof buttons / sizeof buttons[0]), 0, 0,
                             16, 16, sizeof(TBBUTTON));
    if (!m_hWnd)
        return false;
    SendMessageA(m_hWnd, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    return true;
}

int CMyToolBarBase::height() const {
    if (!m_hWnd)
        return 0;
    RECT r;
    GetWindowRect(m_hWnd, &r);
    return r.bottom - r.top;
}
