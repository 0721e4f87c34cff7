#include "panes/CMyRightList.h"

#include "engine/CallBackController.h"
#include "panes/CMyRightTree.h"
#include "settings/Prefs.h"

namespace {
const char* const kColumnKeys[] = {"RightListCol0", "RightListCol1"};

// The text of an ended label edit, or false when the edit was cancelled. The control sends
// the wide form to a parent that asked for Unicode notifications.
bool editedText(NMHDR* header, CString& text) {
    if (header->code == LVN_ENDLABELEDITA) {
        const auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
        if (!info->item.pszText)
            return false;
        text = info->item.pszText;
        return true;
    }
    const auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    if (!info->item.pszText)
        return false;
    int length = WideCharToMultiByte(CP_ACP, 0, info->item.pszText, -1, nullptr, 0, nullptr,
                                     nullptr);
    std::vector<char> buffer(static_cast<size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, info->item.pszText, -1, buffer.data(), length, nullptr,
                        nullptr);
    text = buffer.data();
    return true;
}
} // namespace

void CMyRightList::setupColumns() {
    insertColumn(0, "Name", LVCFMT_LEFT, GetPrefInt(PREFS_SECTION, kColumnKeys[0], 100), -1);
    insertColumn(1, "Details", LVCFMT_LEFT, GetPrefInt(PREFS_SECTION, kColumnKeys[1], 100), -1);
}

void CMyRightList::saveColumns(int flag) {
    if (!flag || !m_hWnd)
        return;
    for (int column = 0; column < 2; ++column)
        SetPrefInt(PREFS_SECTION, kColumnKeys[column], columnWidth(column));
}

void CMyRightList::onContextMenu(int x, int y) {
    if (m_pParent)
        ShowRemoteContextMenu(m_pParent->ownerWindow(), x, y);
}

bool CMyRightList::onNotify(NMHDR* header, LRESULT* result) {
    if (!header || header->hwndFrom != m_hWnd)
        return false;
    switch (header->code) {
    case LVN_ENDLABELEDITA:
    case LVN_ENDLABELEDITW: {
        // The label keeps its old text: the new name shows with the next listing.
        // The row edited is the focused one, which need not be the first selected.
        CString name;
        const int row = reinterpret_cast<NMLVDISPINFOA*>(header)->item.iItem;
        m_renamedFrom = row >= 0 ? nameOf(row) : CString();
        if (editedText(header, name) && !name.empty() && !m_renamedFrom.empty() &&
            name != m_renamedFrom)
            ControllerNotify(name, EV_RENAME);
        *result = 0;
        return true;
    }
    case NM_DBLCLK:
        if (firstSelectedIsDir())
            ControllerNotify(nameOf(firstSelected() - 1), EV_SELECT_REMOTE_PATH);
        *result = 0;
        return true;
    default: return CBaseList::onNotify(header, result);
    }
}
