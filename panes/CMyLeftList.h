#pragma once
// The contents of the local folder selected in the local tree: names and sizes.
#include "panes/CBaseList.h"

class CMyLeftList : public CBaseList {
public:
    // "Name" and "Size", widths from "LeftListCol0" and "LeftListCol1".
    void setupColumns() override;
    void saveColumns(int flag) override;

    // Shows the folders and files of path, folders on top, in the file system's order.
    void listFolder(const CString& path);
    // The same, sorted by the list's current order.
    void refreshFolder(const CString& path);
    // The folder shown (empty before the first listFolder).
    const CString& folder() const { return m_folder; }

private:
    CString m_folder;
};
