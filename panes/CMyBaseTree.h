#pragma once
// A tree-view control that shows a folder hierarchy. A node's path joins the texts of the
// node and its ancestors. Folders may load lazily: a node whose children are not known yet
// holds one placeholder child (kLoadingText), so that the control shows an expand button;
// the derived tree replaces it by the real children when the node is expanded or selected.
//
// The parent window forwards the control's WM_NOTIFY to onNotify (find the tree with
// fromHandle(header->hwndFrom)); when onNotify returns true the parent returns *result.
#include "common/CString.h"
#include "panes/PaneOwner.h"

#include <windows.h>

#include <commctrl.h>

class CMyBaseTree {
public:
    // The text of the placeholder child of a node whose children are not loaded yet.
    static const char* const kLoadingText;

    // localPaths: the root node is left out of paths and "\" is the separator (local
    // folders); otherwise every node counts and "/" separates (remote folders).
    explicit CMyBaseTree(bool localPaths = false) : m_localPaths(localPaths) {}
    virtual ~CMyBaseTree();
    CMyBaseTree(const CMyBaseTree&) = delete;
    CMyBaseTree& operator=(const CMyBaseTree&) = delete;

    // Creates the control (once) in the owner's window, with the next tree control id
    // (IDC_FIRST_TREE upwards, one counter for all trees) and the owner's image list.
    // True when the control exists.
    virtual bool create(IPaneOwner* parent);
    // Expanding and selection go to the handlers below; a right-click opens the context
    // menu (once) and then selects the node that was clicked. True when handled; *result is
    // then what the parent returns.
    virtual bool onNotify(NMHDR* header, LRESULT* result);
    // Fills the first nodes (derived trees).
    virtual void initRoot();
    // TVN_SELCHANGED; *result starts at 0.
    virtual void onSelChanged(NMTREEVIEWA* info, LRESULT* result) = 0;
    // TVN_ITEMEXPANDING; *result starts at 0 (set it to TRUE to keep the node as it is).
    virtual void onItemExpanding(NMTREEVIEWA* info, LRESULT* result) = 0;
    // A right-click or the context-menu key, at screen position (x, y).
    virtual void onContextMenu(int x, int y);

    // The tree whose control this is, or null.
    static CMyBaseTree* fromHandle(HWND control);

    HWND window() const { return m_hWnd; }
    int controlId() const { return m_controlId; }
    IPaneOwner* owner() const { return m_pParent; }
    bool localPaths() const { return m_localPaths; }

    // Inserts a node under parentNode (null: a top node) after insertAfter (null: at the end).
    HTREEITEM insertItem(const CString& text, int icon, int selectedIcon, HTREEITEM parentNode,
                         HTREEITEM insertAfter = nullptr);
    bool deleteItem(HTREEITEM node);
    bool deleteAllItems();
    bool setItemText(HTREEITEM node, const CString& text);
    // The whole text of a node, however long; empty for no node.
    CString getItemText(HTREEITEM node) const;
    HTREEITEM getRoot() const;
    HTREEITEM getParent(HTREEITEM node) const;
    HTREEITEM getChild(HTREEITEM node) const;
    HTREEITEM getNextSibling(HTREEITEM node) const;
    HTREEITEM getNextItem(UINT code, HTREEITEM node) const;
    HTREEITEM getSelection() const;
    // Selects the node; the control then notifies TVN_SELCHANGED.
    bool selectItem(HTREEITEM node);
    bool expand(HTREEITEM node, UINT code);
    bool sortChildren(HTREEITEM node);

    // Expands the selected node and selects its first child named exactly (case-sensitive)
    // name; nothing is selected when no child has that name. True when one was selected.
    bool selectChildByName(const CString& name);
    // The selected node's path (empty when nothing is selected, and for the root of a tree
    // with local paths).
    virtual CString getSelectedPath() const;
    // The path of any node, by the same rule.
    CString pathOf(HTREEITEM node) const;

    // Lazy loading: puts the placeholder under node / removes every child of node.
    HTREEITEM insertLoadingChild(HTREEITEM node, int icon, int selectedIcon);
    void deleteChildren(HTREEITEM node);

protected:
    HWND m_hWnd = nullptr;
    int m_controlId = 0;
    IPaneOwner* m_pParent = nullptr;
    bool m_localPaths = false;
    WNDPROC m_oldProc = nullptr;

private:
    static LRESULT CALLBACK sharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void subclass(HWND control);
    void unsubclass();
    void onRightClick();
    POINT contextMenuPoint(LPARAM position) const;
};
