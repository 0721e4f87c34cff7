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
    DragAcceptFiles(m_hWnd, TRUE);
}

std::vector<CString> DroppedPaths(HDROP drop) {
    std::vector<CString> paths;
    if (!drop)
        return paths;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Asked for its length first: a path may be longer than MAX_PATH.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
        DragQueryFileA(drop, i, buffer.data(), length + 1);
        paths.emplace_back(buffer.data(), length);
    }
    return paths;
}

LRESULT CMyRightList::onDropFiles(HDROP drop) {
    const std::vector<CString> paths = DroppedPaths(drop);
    if (drop)
        DragFinish(drop);
    uploadPaths(paths);
    return 1;
}

void CMyRightList::paste() {
    if (!IsClipboardFormatAvailable(CF_HDROP) || !OpenClipboard(m_hWnd))
        return;
    // The handle stays the clipboard's: it is read, never released here.
    const std::vector<CString> paths =
        DroppedPaths(static_cast<HDROP>(GetClipboardData(CF_HDROP)));
    CloseClipboard();
    uploadPaths(paths);
}

void CMyRightList::uploadPaths(const std::vector<CString>& paths) {
    if (paths.empty())
        return;
    CString remote = m_host.remoteFolder();
    remote.Trim();
    for (const CString& path : paths) {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            m_host.uploadFile(path, remote);
            continue;
        }
        CString name = path;
        while (name.size() > 1 && (name.back() == '\\' || name.back() == '/'))
            name.pop_back();
        const size_t slash = name.find_last_of("\\/");
        if (slash != CString::npos)
            name = name.substr(slash + 1);
        m_host.uploadFolder(path, remote, name);
    }
    // The user sees what arrived (a drop while disconnected must not start a second log-on).
    if (m_host.connected())
        m_host.listRemoteDir(m_host.remoteFolder());
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
