#pragma once
// The local folders: "My Computer" with one node per drive. Fixed drives are read at start,
// the others only when expanded; a folder not read yet holds one placeholder whose text is
// "????" and the folder's path. Selecting a folder shows it in the local list.
#include "panes/CMyBaseTree.h"
#include "panes/PaneHost.h"

class CMyLeftTree : public CMyBaseTree {
public:
    // The mark that opens a placeholder's text; the folder's path follows it.
    static const char* const kPlaceholderMark;
    // How many folder levels below the one chosen an upload goes down at most.
    static constexpr int kMaxUploadDepth = 64;

    explicit CMyLeftTree(IPaneHost& host) : CMyBaseTree(true), m_host(host) {}

    // The root, the drives, and the folder last shown ("LASTDIR") selected.
    void initRoot() override;
    void onSelChanged(NMTREEVIEWA* info, LRESULT* result) override;
    // Reads a folder whose only child is its placeholder.
    void onItemExpanding(NMTREEVIEWA* info, LRESULT* result) override;
    // The local context menu, as the local list's.
    void onContextMenu(int x, int y) override;

    // One child per sub-folder of path under node, each with its placeholder, sorted.
    void loadFolders(const CString& path, HTREEITEM node);
    // Walks down from node (the first of a level) along path's components, expanding on the
    // way, and selects the last one. Nothing is selected when a component is not found.
    void selectPath(const CString& path, HTREEITEM node);
    // Queues the upload of the local folder localPath into remoteBase/relative: its MKD, then
    // depth first in the file system's order each file's TYPE I and STOR and each sub-folder
    // the same way. Junctions and symbolic links are not followed (a link to a parent would
    // never end), and no more than kMaxUploadDepth levels are gone down.
    void uploadFolder(const CString& localPath, const CString& remoteBase,
                      const CString& relative, int depth = 0);

private:
    IPaneHost& m_host;
};
