#pragma once
// The contents of the local folder selected in the local tree: names and sizes.
#include "panes/CBaseList.h"

class CMyLeftList : public CBaseList {
public:
    // "Name" and "Size", widths from "LeftListCol0" and "LeftListCol1".
    void setupColumns() override;
    void saveColumns(int flag) override;
    void onContextMenu(int x, int y) override;
    // Double-click: a folder opens in the tree, a file with the program the shell associates
    // with it.
    bool onNotify(NMHDR* header, LRESULT* result) override;

    // Shows the folders and files of path, folders on top, in the file system's order.
    void listFolder(const CString& path);
    // The same, sorted by the list's current order.
    void refreshFolder(const CString& path);
    // The folder shown (empty before the first listFolder).
    const CString& folder() const { return m_folder; }
    // The row's name exactly as read from the disk.
    CString nameOf(int row) const { return getRecord(row).name; }

private:
    CString m_folder;
};

// The local context menu (list and tree), owned by the window that gets the command.
void ShowLocalContextMenu(HWND owner, int x, int y);
