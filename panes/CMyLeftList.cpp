#include "panes/CMyLeftList.h"

#include "engine/CallBackController.h"
#include "panes/LocalFolder.h"
#include "res/resource.h"
#include "settings/Prefs.h"

#include <shellapi.h>

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

void ShowLocalContextMenu(HWND owner, int x, int y) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
    if (!menu)
        return;
    if (HMENU popup = GetSubMenu(menu, POPUP_LOCAL_LIST))
        TrackPopupMenu(popup, 0, x, y, 0, owner, nullptr);
    DestroyMenu(menu);
}

void CMyLeftList::onContextMenu(int x, int y) {
    if (m_pParent)
        ShowLocalContextMenu(m_pParent->ownerWindow(), x, y);
}

bool CMyLeftList::onNotify(NMHDR* header, LRESULT* result) {
    if (!header || header->hwndFrom != m_hWnd || header->code != NM_DBLCLK)
        return CBaseList::onNotify(header, result);
    *result = 0;
    const int first = firstSelected();
    if (!first)
        return true;
    const CString name = nameOf(first - 1);
    if (getRecord(first - 1).isDir) {
        ControllerNotify(name, EV_SELECT_LOCAL_PATH);
        return true;
    }
    if (m_folder.empty())
        return true;
    const CString path = JoinLocalPath(m_folder, name);
    auto code = reinterpret_cast<INT_PTR>(
        ShellExecuteA(m_hWnd, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (code == SE_ERR_NOASSOC)
        MessageBoxA(m_hWnd, "There is no association with this file.\nPlease create one first",
                    "Warning", MB_OK);
    return true;
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
        addItem(entry.name, std::to_string(entry.size), entry.isDir, entry.size);
    }
    SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CMyLeftList::refreshFolder(const CString& path) {
    listFolder(path);
    sortItems();
}
