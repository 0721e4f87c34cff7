#include "panes/CMyLeftList.h"

#include "panes/LocalFolder.h"
#include "settings/Prefs.h"

#include <string>

namespace {
const char* const kColumnKeys[] = {"LeftListCol0", "LeftListCol1"};
}

void CMyLeftList::setupColumns() {
    insertColumn(0, "Name", LVCFMT_LEFT, GetPrefInt(PREFS_SECTION, kColumnKeys[0], 100), -1);
    insertColumn(1, "Size", LVCFMT_LEFT, GetPrefInt(PREFS_SECTION, kColumnKeys[1], 100), -1);
}

void CMyLeftList::saveColumns(int flag) {
    if (!flag || !m_hWnd)
        return;
    for (int column = 0; column < 2; ++column)
        SetPrefInt(PREFS_SECTION, kColumnKeys[column], columnWidth(column));
}

void CMyLeftList::listFolder(const CString& path) {
    m_folder = path;
    deleteAllItems();
    if (path.empty())
        return;
    // A visible list repaints at every row; it is drawn once, when it is full.
    SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    for (const LocalEntry& entry : ReadLocalFolder(path)) {
        // The whole 64-bit size: a file of several GiB is neither negative nor wrapped.
        int row = addItem(entry.name, std::to_string(entry.size), entry.isDir);
        if (row >= 0)
            setNumber(row, entry.size);
    }
    SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMyLeftList::refreshFolder(const CString& path) {
    listFolder(path);
    sortItems();
}
