// The remote search and the recursive delete: the walk starts with one listing of the remote
// tree's folder and goes on through the queue, one listing per folder found, while the results
// dialog is open (its modal loop keeps the queue running).
#include "mainwnd/CMyMainWnd.h"

#include "res/resource.h"
#include "search/CSearchDialog.h"
#include "transfer/TreeListCommand.h"

void CMyMainWnd::startRemoteSearch() {
    if (!m_bConnected) {
        PostMessageA(m_hWnd, WM_COMMAND, ID_LOGON, 0);
        return;
    }
    m_queue.submit("TreeLIST", m_rightTree.getSelectedPath(), m_bRecursiveDelete ? "N1" : "N");
    setQueueTimer();
}

// One click on the wrong folder must not empty it: the user names it first.
void CMyMainWnd::recursiveDelete() {
    if (!m_bConnected) {
        PostMessageA(m_hWnd, WM_COMMAND, ID_LOGON, 0);
        return;
    }
    const CString path = m_rightTree.getSelectedPath();
    if (path.empty())
        return;
    const CString question = "Are you sure you want to delete everything inside the Directory\n" + path;
    if (MessageBoxA(m_hWnd, question.c_str(), "Warning", MB_YESNO) != IDYES)
        return;
    m_bRecursiveDelete = true;
    startRemoteSearch();
    m_bRecursiveDelete = false;
}

void CMyMainWnd::onSearchListing(CTreeLISTCommand& listing) {
    const CString mode = listing.getArg2();
    const bool taken = m_search.addListing(
        listing.getArg1(), mode, listing.listing(),
        [this](const CString& path) { m_queue.submit("TreeLIST", path, "Y"); });
    setQueueTimer();
    if (!taken)
        return; // a late listing of a walk that was closed or replaced
    if (m_pSearchDlg) {
        m_pSearchDlg->refreshList();
        return;
    }
    // Not from inside this callback: the control connection hands on no further reply until
    // it returns, and the walk needs those replies while the dialog is open.
    if (!m_bSearchDlgPosted) {
        m_bSearchDlgPosted = true;
        PostMessageA(m_hWnd, WM_OPEN_SEARCH, mode == "N1", 0);
    }
}

void CMyMainWnd::openSearchDialog(bool deleteMode) {
    m_bSearchDlgPosted = false;
    if (m_pSearchDlg)
        return;
    CSearchDialog dialog(*this, deleteMode);
    m_pSearchDlg = &dialog;
    dialog.DoModal(m_hWnd);
    m_pSearchDlg = nullptr;
    // Downloads from the dialog may have changed the local folder.
    refreshLocalList(m_leftTree.getSelectedPath());
}
