// The remote search and the recursive delete: the walk starts with one listing of the remote
// tree's folder and goes on through the queue, one listing per folder found, while the results
// dialog is open (its modal loop keeps the queue running).
#include "mainwnd/CMyMainWnd.h"

#include "res/resource.h"
#include "search/CSearchDialog.h"
#include "transfer/TreeListCommand.h"

void CMyMainWnd::startRemoteSearch() {
    if (!m_bConnected) {
        postCommand(ID_LOGON);
        return;
    }
    m_queue.submit("TreeLIST", m_rightTree.getSelectedPath(), m_bRecursiveDelete ? "N1" : "N");
    schedulePump();
}

// One click on the wrong folder must not empty it: the user names it first.
void CMyMainWnd::recursiveDelete() {
    if (!m_bConnected) {
        postCommand(ID_LOGON);
        return;
    }
    const CString path = m_rightTree.getSelectedPath();
    if (path.empty())
        return;
    const CString question =
        "Are you sure you want to delete everything inside the Directory\n" + path;
    if (MessageBoxA(m_hWnd, question.c_str(), "Warning", MB_YESNO) != IDYES)
        return;
    m_bRecursiveDelete = true;
    startRemoteSearch();
    m_bRecursiveDelete = false;
}

void CMyMainWnd::onSearchListing(CTreeLISTCommand& listing) {
    const CString mode = listing.getArg2();
    std::vector<CString> folders;
    const bool taken =
        m_search.addListing(listing.getArg1(), mode, listing.listing(),
                            [&folders](const CString& path) { folders.push_back(path); });
    if (!taken)
        return; // a late listing of a walk that was closed or replaced
    if (m_pSearchDlg) {
        for (const CString& folder : folders)
            m_queue.submit("TreeLIST", folder, "Y");
        schedulePump();
        m_pSearchDlg->refreshList();
        return;
    }
    // The dialog opens first and the walk goes on under it. Opened from inside this callback
    // it would stop the walk: the control connection hands on no further reply until the
    // callback returns. And a box the walk raises (a refused listing) must open above the
    // dialog, or it could not return while the dialog waits for the walk.
    if (mode == "N" || mode == "N1")
        m_searchWaiting.clear();
    m_searchWaiting.insert(m_searchWaiting.end(), folders.begin(), folders.end());
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
    for (const CString& folder : m_searchWaiting)
        m_queue.submit("TreeLIST", folder, "Y");
    m_searchWaiting.clear();
    schedulePump();
    dialog.DoModal(m_hWnd);
    m_pSearchDlg = nullptr;
    // Downloads from the dialog may have changed the local folder.
    refreshLocalList(m_leftTree.getSelectedPath());
}
