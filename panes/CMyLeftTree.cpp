#include "panes/CMyLeftTree.h"

#include "engine/CallBackController.h"
#include "panes/CMyLeftList.h"
#include "panes/LocalFolder.h"
#include "panes/TreePath.h"
#include "settings/Prefs.h"

#include <shellapi.h>

#include <vector>

const char* const CMyLeftTree::kPlaceholderMark = "????";

namespace {

int folderIcon(const CString& path) {
    SHFILEINFOA info = {};
    SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

void collapseBackslashes(CString& path) {
    while (path.Find("\\\\") >= 0)
        path.Replace("\\\\", "\\");
}

// The drive roots ("C:\", "D:\", ...), as the system lists them.
std::vector<CString> driveRoots() {
    std::vector<char> buffer(1024);
    DWORD length = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        buffer.assign(length + 1, '\0');
        length = GetLogicalDriveStringsA(static_cast<DWORD>(buffer.size()), buffer.data());
    }
    std::vector<CString> roots;
    for (const char* p = buffer.data(); length > 0 && *p; p += strlen(p) + 1)
        roots.push_back(p);
    return roots;
}

} // namespace

void CMyLeftTree::initRoot() {
    HTREEITEM root = insertItem("My Computer", 0, 0, nullptr);
    for (const CString& drive : driveRoots()) {
        const int icon = folderIcon(drive);
        HTREEITEM node = insertItem(drive, icon, icon, root);
        // Removable, optical and network drives are not touched until the user opens them.
        if (GetDriveTypeA(drive.c_str()) == DRIVE_FIXED)
            loadFolders(drive, node);
        else
            insertItem(kPlaceholderMark + drive + "\\", icon, icon, node);
    }
    CString last = GetPrefString(PREFS_SECTION, "LASTDIR", "C:\\");
    collapseBackslashes(last);
    selectPath(last, getChild(root));
}

void CMyLeftTree::loadFolders(const CString& path, HTREEITEM node) {
    CString folder = path;
    collapseBackslashes(folder);
    for (const LocalEntry& entry : ReadLocalFolder(folder)) {
        if (!entry.isDir)
            continue;
        const int icon = folderIcon(entry.name);
        HTREEITEM child = insertItem(entry.name, icon, icon, node);
        insertItem(kPlaceholderMark + JoinLocalPath(folder, entry.name), 0, 0, child);
    }
    sortChildren(node);
}

void CMyLeftTree::onItemExpanding(NMTREEVIEWA* info, LRESULT* result) {
    *result = 0;
    HTREEITEM node = info->itemNew.hItem;
    HTREEITEM first = getChild(node);
    const CString text = getItemText(first);
    if (text.size() > 4 && text.Left(4) == kPlaceholderMark) {
        deleteItem(first);
        loadFolders(text.Mid(4), node);
    }
}

void CMyLeftTree::onSelChanged(NMTREEVIEWA* info, LRESULT* result) {
    *result = 0;
    HTREEITEM node = info->itemNew.hItem;
    if (!node)
        return;
    // The root stands for the computer: it has no folder, and its listing is empty.
    m_host.listLocalFolder(getParent(node) ? pathOf(node) : CString());
}

void CMyLeftTree::selectPath(const CString& path, HTREEITEM node) {
    CString rest = path;
    // Bounded by the path: every round takes one component off.
    while (!rest.empty() && node) {
        CString component;
        const int slash = rest.Find('\\');
        if (slash < 0) {
            component = rest;
            rest.clear();
        } else {
            component = rest.Left(slash + 1);
            rest = rest.Mid(slash + 1);
            // A drive root keeps its "\" ("C:\" is a node's text); a folder's is a separator.
            if (component.Find(":\\") < 0)
                component = component.Left(component.GetLength() - 1);
        }
        HTREEITEM match = nullptr;
        for (HTREEITEM sibling = node; sibling && !match; sibling = getNextSibling(sibling)) {
            if (getItemText(sibling) == component)
                match = sibling;
        }
        if (!match)
            return;
        if (rest.empty()) {
            selectItem(match);
            SendMessageA(m_hWnd, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(match));
            return;
        }
        expand(match, TVE_EXPAND);
        node = getChild(match);
    }
}

void CMyLeftTree::onContextMenu(int x, int y) {
    if (m_pParent)
        ShowLocalContextMenu(m_pParent->ownerWindow(), x, y);
}

void CMyLeftTree::uploadFolder(const CString& localPath, const CString& remoteBase,
                               const CString& relative, int depth) {
    const CString remote = JoinRemotePath(remoteBase, relative);
    ControllerTrace("MKD " + remote, TRACE_DETAIL);
    m_host.makeRemoteDir(remote);
    if (depth >= kMaxUploadDepth) {
        ControllerTrace(FormatString("Not uploading below %s: more than %d folder levels",
                                     localPath.c_str(), kMaxUploadDepth),
                        TRACE_COMMAND);
        return;
    }
    for (const LocalEntry& entry : ReadLocalFolder(localPath)) {
        const CString path = JoinLocalPath(localPath, entry.name);
        if (entry.isLink) {
            ControllerTrace("Not uploading " + path + ": a junction or link is not followed",
                            TRACE_COMMAND);
        } else if (entry.isDir) {
            uploadFolder(path, remoteBase, relative + "/" + entry.name, depth + 1);
        } else {
            ControllerTrace("STOR" + path + "," + remote, TRACE_DETAIL);
            m_host.uploadFile(path, remote);
        }
    }
}
