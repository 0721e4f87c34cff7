#pragma once
// The contents of the remote folder selected in the remote tree: the name and the server's
// listing line. Double-clicking a folder opens it, editing a name renames the entry on the
// server, and both go to the controller as events (the list itself sends nothing).
#include "panes/CBaseList.h"
#include "panes/PaneHost.h"

#include <vector>

class CMyRightList : public CBaseList {
public:
    explicit CMyRightList(IPaneHost& host) : m_host(host) {}

    // "Name" and "Details", widths from "RightListCol0" and "RightListCol1"; files dropped
    // from the shell are accepted.
    void setupColumns() override;
    void saveColumns(int flag) override;
    void onContextMenu(int x, int y) override;
    // Label edit ended → rename; double-click on a folder → open it; the rest as the base.
    bool onNotify(NMHDR* header, LRESULT* result) override;
    // Uploads what was dropped into the remote folder, then releases the drop.
    LRESULT onDropFiles(HDROP drop) override;
    // Uploads the shell's file list on the clipboard, when there is one, the same way. The
    // clipboard keeps its list: it owns it.
    void paste();
    // Files are uploaded, folders with everything below them; then the folder is listed.
    void uploadPaths(const std::vector<CString>& paths);

    // The row's name exactly as listed (never the shown text trimmed or cut).
    CString nameOf(int row) const { return getRecord(row).name; }
    // The name of the row whose label edit ended last (the entry a rename is for).
    const CString& renamedFrom() const { return m_renamedFrom; }

private:
    IPaneHost& m_host;
    CString m_renamedFrom;
};

// Every path of a shell file list, whole, whatever its length.
std::vector<CString> DroppedPaths(HDROP drop);
