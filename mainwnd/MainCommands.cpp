// The main window's command dispatch and the commands of this window itself.
#include "mainwnd/CMyMainWnd.h"

#include "accounts/CAccountsDlg.h"
#include "res/resource.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"

#include <commctrl.h>

// The account manager, owned by the main window; the caller sets the title afterwards, as the
// current account may have changed whatever the dialog ended with.
static void runAccountManager(HWND owner) {
    CAccountsDlg manager;
    manager.DoModal(owner);
}

bool CMyMainWnd::onCommand(int id) {
    if (id >= ID_ACCOUNT_FIRST && id <= ID_ACCOUNT_LAST) {
        chooseAccount(id - ID_ACCOUNT_FIRST);
        return true;
    }
    switch (id) {
    case ID_LOGON: logOn(); return true;
    case ID_CLOSE_CONNECTION: disconnect(); return true;
    case ID_ABORT: abortAll(); return true;
    case ID_RESUME: resumeAfterReconnect(); return true;
    case ID_CLEAR_TRACE: m_traceBar.clear(); return true;
    case ID_REFRESH_REMOTE: listRemoteDir(m_rightTree.getSelectedPath()); return true;
    case ID_REFRESH_LOCAL: refreshLocalList(m_leftTree.getSelectedPath()); return true;
    case ID_SEND: sendToServer(); return true;
    case ID_RETRIEVE: retrieveFromServer(); return true;
    case ID_REMOVE_FILE: removeRemoteFiles(); return true;
    case ID_CREATE_DIR: createRemoteDir(); return true;
    case ID_DELETE_DIR: deleteRemoteDir(); return true;
    case ID_SITE_USING_DIR: runSiteCommand(false); return true;
    case ID_SITE_USING_FILE: runSiteCommand(true); return true;
    case ID_PASTE: m_rightList.paste(); return true;
    case ID_REMOTE_SEARCH: startRemoteSearch(); return true;
    case ID_RECURSIVE_DELETE: recursiveDelete(); return true;
    case ID_EXIT: SendMessageA(m_hWnd, WM_CLOSE, 0, 0); return true;
    case ID_ACCOUNT_MANAGER:
        runAccountManager(m_hWnd);
        updateTitle();
        return true;
    case ID_HELP_OVERVIEW: showHelpOverview(); return true;
    case ID_HELP_SUPPORT: showSupport(); return true;
    case ID_ABOUT: showAbout(); return true;
    default: return false;
    }
}

void CMyMainWnd::logOn() {
    CString name = GetPrefString(PREFS_SECTION, "DEFAULT", "");
    if (!name.empty()) {
        if (m_bConnected)
            disconnect();
        m_queue.submit("LOGIN", name, "");
        return;
    }
    if (MessageBoxA(m_hWnd,
                    "You must create an account before you can log on.\nDo you want to enter "
                    "the account manager?",
                    "Tarnwick", MB_YESNO) != IDYES)
        return;
    runAccountManager(m_hWnd);
    updateTitle();
}

void CMyMainWnd::disconnect() {
    m_queue.submit("QUIT", "", "");
    m_bConnected = false;
    m_rightTree.reset();
    m_remotePath = "";
}

void CMyMainWnd::listRemoteDir(const CString& path) {
    if (m_bConnected)
        m_queue.submit("TreeLIST", path, "");
    else
        postCommand(ID_LOGON);
    schedulePump();
}

void CMyMainWnd::clearRemoteList() {
    m_rightList.deleteAllItems();
}

void CMyMainWnd::listLocalFolder(const CString& path) {
    m_leftList.listFolder(path);
}

void CMyMainWnd::refreshLocalList(const CString& path) {
    m_leftList.refreshFolder(path);
}

void CMyMainWnd::abortAll() {
    m_queue.submit("ABOR", "", "");
    trace("Abort complete", TRACE_DETAIL);
}

void CMyMainWnd::resumeAfterReconnect() {
    if (!m_bConnected) {
        // The work saved when the connection was lost goes back into the queue, and the
        // log-on starts at once: it then runs after the log-on and its PWD, as the Retry answer
        // promised. (Left saved, it would wait for the user to ask for it; with the log-on only
        // posted, the queue's timer could start it first, unconnected.)
        m_queue.restoreStack();
        logOn();
        return;
    }
    m_queue.retireCurrent();
    m_queue.restoreStack();
    m_queue.submit("", "", "");
}

void CMyMainWnd::chooseAccount(int index) {
    if (m_bConnected)
        disconnect();
    std::vector<CString> names = AccountNames(false);
    CString name = index >= 0 && static_cast<size_t>(index) < names.size()
                       ? names[static_cast<size_t>(index)]
                       : CString();
    SetPrefString(PREFS_SECTION, "DEFAULT", name.c_str());
    updateTitle();
}

void CMyMainWnd::showAccountMenu() {
    HMENU menu = LoadMenuA(m_hInstance, MAKEINTRESOURCEA(IDR_POPUPS));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, POPUP_ACCOUNTS);
    DeleteMenu(popup, 0, MF_BYPOSITION); // the "account" placeholder
    const CString current = GetPrefString(PREFS_SECTION, "DEFAULT", "");
    std::vector<CString> names = AccountNames(true);
    for (size_t i = 0; i < names.size(); ++i) {
        AppendMenuA(popup, MF_STRING, ID_ACCOUNT_FIRST + i, names[i].c_str());
        if (names[i] == current)
            SetMenuDefaultItem(popup, static_cast<UINT>(i), TRUE);
    }
    RECT button;
    GetWindowRect(m_toolBar.m_hWnd, &button);
    TrackPopupMenu(popup, 0, button.left < 0 ? 0 : button.left, button.bottom, 0, m_hWnd,
                   nullptr);
    DestroyMenu(menu);
}
