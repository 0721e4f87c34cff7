// The main window as the engine's controller: what each engine event becomes.
#include "mainwnd/CMyMainWnd.h"

#include "accounts/Prompts.h"
#include "engine/Command.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "transfer/TreeListCommand.h"

void CMyMainWnd::trace(const CString& text, int level) {
    const size_t pending = m_queue.pendingCount();
    CString status = FormatString("Commands left to complete %ld", static_cast<long>(pending));
    if (pending == 0)
        status = "Ready";
    // Setting the cursor is a round trip to the window system (under Wine a server request);
    // it is set again only when the choice changes or WM_SETCURSOR has set another since.
    const int cursor = pending != 0 ? kCursorWait : kCursorArrow;
    if (cursor != m_traceCursor) {
        m_traceCursor = cursor;
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(cursor == kCursorWait ? IDC_WAIT
                                                                                   : IDC_ARROW)));
    }
    showQueueStatus(status, pending != 0);
    m_traceBar.addLine(text, level);
    // The queue moves on from here: every state change is traced.
    schedulePump();
}

bool CMyMainWnd::notify(const CString& text, int event, CString& reply) {
    switch (event) {
    case EV_CONNECT_FAILED: return onConnectionError(text, reply);
    case EV_REMOTE_DIR: onRemoteDir(text); return true;
    case EV_PROGRESS: m_traceBar.addLine(text, TRACE_DETAIL); return true;
    case EV_SERVER_ERROR: return onServerError(text, reply);
    case EV_ASK_PASSWORD:
    case EV_ASK_USER: return onLogOnPrompt(event, reply);
    case EV_GET_REMOTE_DIR: reply = m_remotePath; return true;
    case EV_REFRESH_LOCAL: refreshLocalList(m_leftTree.getSelectedPath()); return true;
    case EV_RENAME: renameRemote(text); return true;
    case EV_LISTING_DONE: onListingDone(); return true;
    case EV_CONNECTION_STATE:
        m_bConnected = text == "Y";
        if (m_bConnected) {
            m_queue.submit("PWD", "", "");
            schedulePump();
        }
        return true;
    case EV_SELECT_REMOTE_PATH: m_rightTree.openChild(text); return true;
    case EV_SELECT_LOCAL_PATH: m_leftTree.selectChildByName(text); return true;
    default: return true;
    }
}

bool CMyMainWnd::onConnectionError(const CString& text, CString& reply) {
    m_bConnected = false;
    CString message = "FTP error\n" + text + "\nWould you like to retry or cancel?";
    int answer = MessageBoxA(m_hWnd, message.c_str(), "Tarnwick", MB_RETRYCANCEL | MB_ICONQUESTION);
    CCommand* current = m_queue.currentCommand();
    if (answer == IDRETRY) {
        if (current) {
            current->markForRetry();
            m_queue.retireCurrent();
            m_queue.saveStack();
        }
        postCommand(ID_RESUME);
    } else {
        // Forgotten, or the next log-on's folder would equal it and the tree would stay
        // "Not Connected".
        m_remotePath = "";
        m_rightTree.reset();
        if (current)
            current->setState(CMD_FINISHED);
        reply = "N";
        postCommand(ID_ABORT);
    }
    return true;
}

bool CMyMainWnd::onServerError(const CString& text, CString& reply) {
    if (CCommand* current = m_queue.currentCommand())
        current->setState(CMD_ERROR);
    CString message = "The Ftp Servere Responded with the error\n\n\t" + text + "\nwhilst " +
                      reply + "\n\n\tDo you want to continue?";
    if (MessageBoxA(m_hWnd, message.c_str(), "Tarnwick", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        postCommand(ID_ABORT);
        reply = "Y";
    }
    return true;
}

bool CMyMainWnd::onLogOnPrompt(int event, CString& reply) {
    CString account = GetPrefString(PREFS_SECTION, "DEFAULT", "");
    bool confirmed = false;
    CString entered;
    if (event == EV_ASK_PASSWORD) {
        CGetPassDlg dialog(account);
        confirmed = dialog.DoModal(m_hWnd) == IDOK;
        entered = dialog.m_password;
    } else {
        CGetUserNameDlg dialog(account);
        confirmed = dialog.DoModal(m_hWnd) == IDOK;
        entered = dialog.m_user;
    }
    if (!confirmed) {
        disconnect();
        return false;
    }
    reply = entered.Trim();
    return true;
}

void CMyMainWnd::onRemoteDir(const CString& text) {
    CString path = text;
    path.Replace("\\", "/");
    if (path == m_remotePath)
        return;
    m_remotePath = path;
    m_rightTree.setRoot(path);
    onListingDone();
}

void CMyMainWnd::onListingDone() {
    auto* listing = dynamic_cast<CTreeLISTCommand*>(m_queue.currentCommand());
    if (!listing) {
        listRemoteDir(m_remotePath);
        return;
    }
    // A search's listing is not the panes' (the search comes with its own dialog).
    if (!listing->getArg2().empty()) {
        onSearchListing(*listing);
        return;
    }
    // The user has moved on to another folder: this listing is stale.
    if (listing->getArg1() != m_rightTree.getSelectedPath())
        return;
    m_rightTree.showListing(listing->listing(), m_rightList);
    m_queue.retireCurrent();
}

void CMyMainWnd::renameRemote(const CString& newName) {
    CString folder = m_rightTree.getSelectedPath();
    folder.Trim();
    m_queue.submit("RNFR", folder + "/" + m_rightList.renamedFrom(), "");
    m_queue.submit("RNTO", folder + "/" + newName, "");
    m_queue.submit("TreeLIST", folder, "");
    schedulePump();
}
