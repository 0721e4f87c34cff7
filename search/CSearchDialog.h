#pragma once
// "Search Results": everything the remote search found below a folder, as paths relative to
// it, with Delete, Download and Refresh on the selected rows. The dialog keeps no copy of the
// results: it shows the main window's walk and grows while the walk goes on in the queue
// (the main window calls refreshList after every listing). Folder rows stand at the top,
// deepest first; files follow in the order found. Each row's item data is the index of its
// result, so that what goes back to the server is the name exactly as it was listed.
//
// In delete mode (Recursive Delete) the dialog waits for the walk to end, then deletes every
// result and closes; a walk that stopped early or could not list every folder deletes
// nothing, and the user is told why. Close, Escape and the close box only close.
#include "accounts/CMyBaseDialog.h"
#include "panes/CBaseList.h"

#include <map>

class CMyMainWnd;
struct SearchResult;

class CSearchDialog : public CMyBaseDialog {
public:
    CSearchDialog(CMyMainWnd& main, bool deleteMode) : m_main(main), m_bDeleteMode(deleteMode) {}

    INT_PTR dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    int templateId() const override;

    // Brings the rows up to the main window's results, and in delete mode deletes once the
    // walk is whole.
    void refreshList();
    bool deleteMode() const { return m_bDeleteMode; }

private:
    void onInit();
    void onCommand(int id);
    void deleteSelected();
    void downloadSelected();
    void restartSearch();
    void close(INT_PTR result);
    // Stops the walk and drops the listings it still has queued.
    void endWalk(const CString& why);
    // Delete mode only: the walk has ended without giving the whole tree; nothing is deleted.
    void giveUp(const CString& why);
    // Delete mode only: true once the queue has nothing left to run or finish.
    bool queueIdle() const;
    // Indexes of the selected rows' results, in row order.
    std::vector<size_t> selectedResults() const;
    int iconOf(const CString& text, bool isDir);

    CMyMainWnd& m_main;
    CString m_root;
    CBaseList m_list;
    bool m_bDeleteMode = false;
    // What the rows show: the walk's generation and how many of its results.
    unsigned m_shownWalk = 0;
    size_t m_shown = 0;
    bool m_stopToldOf = false;
    bool m_bClosing = false;
    std::map<CString, int> m_icons; // by extension ("/" for folders)
};
