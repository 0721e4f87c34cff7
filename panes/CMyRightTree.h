#pragma once
// The server's folders. The root is the folder the server reported after the log-on ("Not
// Connected" before); selecting or expanding a node asks the host to list that folder, and the
// finished listing comes back through showListing, which rebuilds the node's folders (each
// with a placeholder) and refills the remote list. Paths join the node texts with "/" as they
// are, so a root "/" gives "//pub".
#include "panes/CMyBaseTree.h"
#include "panes/PaneHost.h"

#include <vector>

class CMyRightList;

class CMyRightTree : public CMyBaseTree {
public:
    explicit CMyRightTree(IPaneHost& host) : CMyBaseTree(false), m_host(host) {}

    // "Not Connected" with its placeholder, selected.
    void initRoot() override;
    void onSelChanged(NMTREEVIEWA* info, LRESULT* result) override;
    // A node that is not selected is selected (which lists it); the selected one is listed.
    void onItemExpanding(NMTREEVIEWA* info, LRESULT* result) override;
    void onContextMenu(int x, int y) override;
    // The path of the selected node, or of the drop-highlighted one when none is selected.
    CString getSelectedPath() const override;

    // Back to the not-connected look, the remote list emptied.
    void reset();
    // The server's folder becomes the root, which is expanded and so listed.
    void setRoot(const CString& path);
    // Opens the selected node's child with exactly this name (a folder opened from the list);
    // the selected node itself is not listed again on the way.
    bool openChild(const CString& name);
    // Rebuilds the selected node's children and the list from a finished listing.
    void showListing(const std::vector<char>& listing, CMyRightList& list);

    // Selection and expansion queue listings; false while the tree rebuilds itself.
    bool isActive() const { return m_active; }

private:
    IPaneHost& m_host;
    bool m_active = false;
};

// The remote context menu (list and tree), owned by the host so that it gets the command.
void ShowRemoteContextMenu(HWND owner, int x, int y);
