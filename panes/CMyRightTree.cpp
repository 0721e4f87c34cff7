#include "panes/CMyRightTree.h"

#include "panes/CMyRightList.h"
#include "res/resource.h"
#include "transfer/ListingSplitter.h"

#include <shellapi.h>

namespace {

// The shell's small folder icon for a name (the folder need not exist: it is remote).
int folderIcon(const CString& name) {
    SHFILEINFOA info = {};
    SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

// The listing line as the details column shows it: without its line end and outer blanks.
CString detailsOf(const CFtpListEntry& entry) {
    CString line = entry.entryLine.text();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line.Trim();
}

// Clears the active flag for the life of a rebuild, whatever way the rebuild ends.
class CQuiet {
public:
    explicit CQuiet(bool& active) : m_active(active) { m_active = false; }
    ~CQuiet() { m_active = true; }
    CQuiet(const CQuiet&) = delete;
    CQuiet& operator=(const CQuiet&) = delete;

private:
    bool& m_active;
};

} // namespace

void ShowRemoteContextMenu(HWND owner, int x, int y) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
    if (!menu)
        return;
    if (HMENU popup = GetSubMenu(menu, POPUP_REMOTE))
        TrackPopupMenu(popup, 0, x, y, 0, owner, nullptr);
    DestroyMenu(menu);
}

void CMyRightTree::initRoot() {
    m_active = false;
    HTREEITEM root = insertItem("Not Connected", 0, 0, nullptr);
    insertLoadingChild(root, 0, 0);
    selectItem(root);
    m_active = true;
}

void CMyRightTree::onSelChanged(NMTREEVIEWA* info, LRESULT* result) {
    *result = 0;
    if (!m_pParent || !m_active || !info->itemNew.hItem)
        return;
    m_host.listRemoteDir(pathOf(info->itemNew.hItem));
}

void CMyRightTree::onItemExpanding(NMTREEVIEWA* info, LRESULT* result) {
    *result = 0;
    // Collapsing shows nothing new: only an expansion lists.
    if (!m_pParent || !m_active || !(info->action & TVE_EXPAND))
        return;
    HTREEITEM node = info->itemNew.hItem;
    if (node != getSelection())
        selectItem(node); // the selection lists it
    else
        m_host.listRemoteDir(pathOf(node));
}

void CMyRightTree::onContextMenu(int x, int y) {
    if (m_pParent)
        ShowRemoteContextMenu(m_pParent->ownerWindow(), x, y);
}

CString CMyRightTree::getSelectedPath() const {
    HTREEITEM node = getSelection();
    if (!node)
        node = getNextItem(TVGN_DROPHILITE, nullptr);
    return pathOf(node);
}

void CMyRightTree::reset() {
    if (!m_pParent)
        return;
    {
        CQuiet quiet(m_active);
        deleteAllItems();
    }
    initRoot();
    m_host.clearRemoteList();
}

void CMyRightTree::setRoot(const CString& path) {
    if (!m_pParent)
        return;
    reset();
    HTREEITEM root = getRoot();
    setItemText(root, path);
    expand(root, TVE_EXPAND);
}

bool CMyRightTree::openChild(const CString& name) {
    {
        CQuiet quiet(m_active);
        expand(getSelection(), TVE_EXPAND);
    }
    return selectChildByName(name);
}

void CMyRightTree::showListing(const std::vector<char>& listing, CMyRightList& list) {
    CQuiet quiet(m_active);
    HTREEITEM node = getSelection();
    list.deleteAllItems();
    deleteChildren(node);
    const int emptyIcon = folderIcon("");
    // A visible list repaints at every row; it is drawn once, when it is full.
    SendMessageA(list.window(), WM_SETREDRAW, FALSE, 0);
    CListingSplitter::split(
        listing.data(), listing.size(), [&](const CFtpListEntry& entry, const CString& name) {
            if (name == "." || name == "..")
                return;
            if (entry.isDir && node) {
                const int icon = folderIcon(name);
                HTREEITEM child = insertItem(name, icon, icon, node);
                insertLoadingChild(child, emptyIcon, emptyIcon);
            }
            list.addItem(name, detailsOf(entry), entry.isDir);
        });
    SendMessageA(list.window(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list.window(), nullptr, TRUE);
    // The node lost its children on the way; it shows the new ones open.
    if (node && getChild(node))
        expand(node, TVE_EXPAND);
}
