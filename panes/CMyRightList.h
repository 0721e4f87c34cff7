#pragma once
// The contents of the remote folder selected in the remote tree: the name and the server's
// listing line. Double-clicking a folder opens it, editing a name renames the entry on the
// server, and both go to the controller as events (the list itself sends nothing).
#include "panes/CBaseList.h"

class CMyRightList : public CBaseList {
public:
    // "Name" and "Details", widths from "RightListCol0" and "RightListCol1".
    void setupColumns() override;
    void saveColumns(int flag) override;
    void onContextMenu(int x, int y) override;
    // Label edit ended → rename; double-click on a folder → open it; the rest as the base.
    bool onNotify(NMHDR* header, LRESULT* result) override;

    // The row's name exactly as listed (never the shown text trimmed or cut).
    CString nameOf(int row) const { return getRecord(row).name; }
    // The name of the row whose label edit ended last (the entry a rename is for).
    const CString& renamedFrom() const { return m_renamedFrom; }

private:
    CString m_renamedFrom;
};
