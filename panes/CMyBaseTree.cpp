#include "panes/CMyBaseTree.h"

#include "panes/ControlMap.h"
#include "panes/TreePath.h"
#include "res/resource.h"

#include <windowsx.h>

#include <cstring>
#include <vector>

namespace {

using TreeMap = CControlMap<CMyBaseTree>;

int g_nextTreeId = IDC_FIRST_TREE;

constexpr size_t kMaxNodeText = 1 << 20;

} // namespace

const char* const CMyBaseTree::kLoadingText = "???? Loading...";

CMyBaseTree::~CMyBaseTree() {
    unsubclass();
}

bool CMyBaseTree::create(IPaneOwner* parent) {
    if (m_pParent || m_hWnd)
        return m_hWnd != nullptr;
    if (!parent || !parent->ownerWindow())
        return false;
    m_pParent = parent;
    m_controlId = g_nextTreeId++;
    // No right-to-left reading order: the other panes do not use it either.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                  TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    HWND control = CreateWindowExA(
        0, WC_TREEVIEWA, "", style, 0, 0, 100, 100, parent->ownerWindow(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_controlId)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent->ownerWindow(), GWLP_HINSTANCE)),
        nullptr);
    if (!control)
        return false;
    if (parent->smallImageList())
        SendMessageA(control, TVM_SETIMAGELIST, TVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(parent->smallImageList()));
    subclass(control);
    return true;
}

void CMyBaseTree::initRoot() {}

void CMyBaseTree::onContextMenu(int, int) {}

CMyBaseTree* CMyBaseTree::fromHandle(HWND control) {
    return TreeMap::find(control);
}

bool CMyBaseTree::onNotify(NMHDR* header, LRESULT* result) {
    if (!header || header->hwndFrom != m_hWnd)
        return false;
    LRESULT ignored = 0;
    if (!result)
        result = &ignored;
    *result = 0;
    // The control sends the ANSI or the wide form depending on its parent; the two
    // structures differ only in the type of the text pointers, which the handlers never read.
    switch (header->code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
        onItemExpanding(reinterpret_cast<NMTREEVIEWA*>(header), result);
        return true;
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
        onSelChanged(reinterpret_cast<NMTREEVIEWA*>(header), result);
        return true;
    case NM_RCLICK:
        onRightClick();
        // Non-zero: the control must not send a WM_CONTEXTMENU of its own, or the menu
        // would open a second time.
        *result = 1;
        return true;
    default:
        return false;
    }
}

// The menu opens first and acts on the selection as it was; the clicked node is selected
// afterwards.
void CMyBaseTree::onRightClick() {
    DWORD position = GetMessagePos();
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    SendMessageA(m_hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(at.x, at.y));
    HTREEITEM clicked = getNextItem(TVGN_DROPHILITE, nullptr);
    if (!clicked) {
        TVHITTESTINFO hit = {};
        hit.pt = at;
        ScreenToClient(m_hWnd, &hit.pt);
        clicked = reinterpret_cast<HTREEITEM>(
            SendMessageA(m_hWnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (!(hit.flags & TVHT_ONITEM))
            clicked = nullptr;
    }
    if (clicked)
        selectItem(clicked);
}

void CMyBaseTree::subclass(HWND control) {
    unsubclass();
    m_hWnd = control;
    m_oldProc = TreeMap::install(control, this, &sharedProc);
}

void CMyBaseTree::unsubclass() {
    if (m_hWnd && m_oldProc)
        TreeMap::restore(m_hWnd, m_oldProc);
    m_oldProc = nullptr;
}

LRESULT CALLBACK CMyBaseTree::sharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CMyBaseTree* tree = fromHandle(window);
    if (!tree)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CONTEXTMENU: {
        POINT at = tree->contextMenuPoint(lParam);
        tree->onContextMenu(at.x, at.y);
        return 0;
    }
    case WM_NCDESTROY: {
        WNDPROC old = tree->m_oldProc;
        tree->unsubclass();
        tree->m_hWnd = nullptr;
        return CallWindowProcA(old, window, message, wParam, lParam);
    }
    default:
        return CallWindowProcA(tree->m_oldProc, window, message, wParam, lParam);
    }
}

POINT CMyBaseTree::contextMenuPoint(LPARAM position) const {
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (at.x != -1 || at.y != -1)
        return at;
    at = {0, 0};
    RECT bounds = {};
    HTREEITEM selected = getSelection();
    // TVM_GETITEMRECT takes the node in the rectangle's first bytes.
    memcpy(&bounds, &selected, sizeof selected);
    if (selected && SendMessageA(m_hWnd, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&bounds)))
        at = {bounds.left, bounds.bottom};
    ClientToScreen(m_hWnd, &at);
    return at;
}

HTREEITEM CMyBaseTree::insertItem(const CString& text, int icon, int selectedIcon,
                                  HTREEITEM parentNode, HTREEITEM insertAfter) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parentNode ? parentNode : TVI_ROOT;
    insert.hInsertAfter = insertAfter ? insertAfter : TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = icon;
    insert.item.iSelectedImage = selectedIcon;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(m_hWnd, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

bool CMyBaseTree::deleteItem(HTREEITEM node) {
    return node && SendMessageA(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node));
}

bool CMyBaseTree::deleteAllItems() {
    return SendMessageA(m_hWnd, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)) != 0;
}

bool CMyBaseTree::setItemText(HTREEITEM node, const CString& text) {
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = node;
    item.pszText = const_cast<char*>(text.c_str());
    return node && SendMessageA(m_hWnd, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

CString CMyBaseTree::getItemText(HTREEITEM node) const {
    if (!node)
        return CString();
    std::vector<char> buffer(256);
    for (;;) {
        TVITEMA item = {};
        item.mask = TVIF_TEXT;
        item.hItem = node;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        if (!SendMessageA(m_hWnd, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
            return CString();
        // The control may hand back its own text pointer instead of filling the buffer.
        CString text(item.pszText ? item.pszText : "");
        if (text.size() < buffer.size() - 1 || buffer.size() >= kMaxNodeText)
            return text;
        buffer.assign(buffer.size() * 2, '\0');
    }
}

HTREEITEM CMyBaseTree::getNextItem(UINT code, HTREEITEM node) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(m_hWnd, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM CMyBaseTree::getRoot() const {
    return getNextItem(TVGN_ROOT, nullptr);
}

HTREEITEM CMyBaseTree::getParent(HTREEITEM node) const {
    return node ? getNextItem(TVGN_PARENT, node) : nullptr;
}

HTREEITEM CMyBaseTree::getChild(HTREEITEM node) const {
    return node ? getNextItem(TVGN_CHILD, node) : nullptr;
}

HTREEITEM CMyBaseTree::getNextSibling(HTREEITEM node) const {
    return node ? getNextItem(TVGN_NEXT, node) : nullptr;
}

HTREEITEM CMyBaseTree::getSelection() const {
    return getNextItem(TVGN_CARET, nullptr);
}

bool CMyBaseTree::selectItem(HTREEITEM node) {
    return SendMessageA(m_hWnd, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node)) != 0;
}

bool CMyBaseTree::expand(HTREEITEM node, UINT code) {
    return node && SendMessageA(m_hWnd, TVM_EXPAND, code, reinterpret_cast<LPARAM>(node));
}

bool CMyBaseTree::sortChildren(HTREEITEM node) {
    return SendMessageA(m_hWnd, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(node)) != 0;
}

bool CMyBaseTree::selectChildByName(const CString& name) {
    HTREEITEM selected = getSelection();
    if (!selected)
        return false;
    expand(selected, TVE_EXPAND);
    for (HTREEITEM child = getChild(selected); child; child = getNextSibling(child)) {
        if (getItemText(child) == name)
            return selectItem(child);
    }
    return false;
}

CString CMyBaseTree::getSelectedPath() const {
    return pathOf(getSelection());
}

CString CMyBaseTree::pathOf(HTREEITEM node) const {
    if (!node)
        return CString();
    // Local paths leave the top node out (it stands for the computer, not a folder); the
    // path of the top node itself is therefore empty.
    std::vector<CString> texts;
    for (; node; node = getParent(node)) {
        if (m_localPaths && !getParent(node))
            break;
        texts.insert(texts.begin(), getItemText(node));
    }
    return JoinTreePath(texts, m_localPaths);
}

HTREEITEM CMyBaseTree::insertLoadingChild(HTREEITEM node, int icon, int selectedIcon) {
    return insertItem(kLoadingText, icon, selectedIcon, node);
}

void CMyBaseTree::deleteChildren(HTREEITEM node) {
    for (HTREEITEM child = getChild(node); child; child = getChild(node)) {
        if (!deleteItem(child))
            break;
    }
}
