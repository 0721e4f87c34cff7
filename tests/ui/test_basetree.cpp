// The tree-view base driven through a real tree control in a host window: the two path
// rules, selecting a child by name, lazy loading, long texts and the right-click.
#include "panes/CMyBaseTree.h"
#include "res/resource.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace ui_test;

namespace {

class ProbeTree : public CMyBaseTree {
public:
    explicit ProbeTree(bool localPaths) : CMyBaseTree(localPaths) {}
    void onSelChanged(NMTREEVIEWA* info, LRESULT*) override {
        selected.push_back(info->itemNew.hItem);
    }
    void onItemExpanding(NMTREEVIEWA* info, LRESULT*) override {
        expanding.push_back(info->itemNew.hItem);
    }
    void onContextMenu(int, int) override {
        // The selection the menu would act on, at the moment it opens.
        menuSelections.push_back(getSelection());
    }

    std::vector<HTREEITEM> selected;
    std::vector<HTREEITEM> expanding;
    std::vector<HTREEITEM> menuSelections;
};

class BaseTreeTest : public ::testing::Test {
protected:
    void make(ProbeTree& tree) {
        ASSERT_TRUE(tree.create(&host));
        MoveWindow(tree.window(), 10, 10, 300, 400, TRUE);
        PumpPending();
    }
    HostWindow host;
};

bool isExpanded(const CMyBaseTree& tree, HTREEITEM node) {
    return (SendMessageA(tree.window(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(node),
                         TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

} // namespace

TEST_F(BaseTreeTest, LocalPathsLeaveTheRootOutAndUseBackslashes) {
    ProbeTree tree(true);
    make(tree);
    HTREEITEM root = tree.insertItem("My Computer", 0, 0, nullptr);
    HTREEITEM drive = tree.insertItem("C:\\", 0, 0, root);
    HTREEITEM windows = tree.insertItem("Windows", 0, 0, drive);
    HTREEITEM system = tree.insertItem("System32", 0, 0, windows);
    EXPECT_EQ("", tree.getSelectedPath()); // nothing selected

    tree.selectItem(windows);
    EXPECT_EQ("C:\\Windows", tree.getSelectedPath());
    tree.selectItem(system);
    EXPECT_EQ("C:\\Windows\\System32", tree.getSelectedPath());
    tree.selectItem(drive);
    EXPECT_EQ("C:\\", tree.getSelectedPath());
    tree.selectItem(root);
    EXPECT_EQ("", tree.getSelectedPath());
}

TEST_F(BaseTreeTest, RemotePathsUseSlashesAndCollapseDoubles) {
    ProbeTree tree(false);
    make(tree);
    HTREEITEM root = tree.insertItem("/", 0, 0, nullptr);
    HTREEITEM pub = tree.insertItem("pub", 0, 0, root);
    HTREEITEM odd = tree.insertItem("win\\style", 0, 0, pub);
    tree.selectItem(root);
    EXPECT_EQ("/", tree.getSelectedPath());
    tree.selectItem(pub);
    EXPECT_EQ("/pub", tree.getSelectedPath());
    tree.selectItem(odd);
    EXPECT_EQ("/pub/win/style", tree.getSelectedPath());

    tree.deleteAllItems();
    HTREEITEM home = tree.insertItem("\\home\\user\\", 0, 0, nullptr);
    tree.selectItem(tree.insertItem("dir", 0, 0, home));
    EXPECT_EQ("/home/user/dir", tree.getSelectedPath());
}

TEST_F(BaseTreeTest, SelectChildByNameExpandsAndMatchesCaseExactly) {
    ProbeTree tree(false);
    make(tree);
    HTREEITEM root = tree.insertItem("/srv", 0, 0, nullptr);
    tree.insertItem("docs2", 0, 0, root);
    HTREEITEM docs = tree.insertItem("Docs", 0, 0, root);
    tree.selectItem(root);
    tree.selected.clear();

    EXPECT_FALSE(tree.selectChildByName("docs"));
    EXPECT_EQ(root, tree.getSelection());
    EXPECT_TRUE(tree.selected.empty());
    EXPECT_TRUE(isExpanded(tree, root));
    ASSERT_FALSE(tree.expanding.empty());
    EXPECT_EQ(root, tree.expanding.back());

    EXPECT_TRUE(tree.selectChildByName("Docs"));
    EXPECT_EQ(docs, tree.getSelection());
    ASSERT_EQ(1u, tree.selected.size());
    EXPECT_EQ(docs, tree.selected[0]);
    EXPECT_EQ("/srv/Docs", tree.getSelectedPath());

    EXPECT_FALSE(tree.selectChildByName("anything")); // Docs has no children
}

TEST_F(BaseTreeTest, LazyLoadingPlaceholderAndLongTexts) {
    ProbeTree tree(false);
    make(tree);
    HTREEITEM root = tree.insertItem("/", 0, 0, nullptr);
    HTREEITEM placeholder = tree.insertLoadingChild(root, 0, 0);
    EXPECT_EQ("???? Loading...", tree.getItemText(placeholder));
    EXPECT_EQ(placeholder, tree.getChild(root));

    tree.deleteChildren(root);
    EXPECT_EQ(nullptr, tree.getChild(root));
    CString longName(300, 'n');
    longName += "END";
    HTREEITEM deep = tree.insertItem(longName, 0, 0, root);
    EXPECT_EQ(longName, tree.getItemText(deep));
    EXPECT_TRUE(tree.setItemText(deep, "short"));
    EXPECT_EQ("short", tree.getItemText(deep));
    EXPECT_EQ(root, tree.getParent(deep));
    EXPECT_EQ(nullptr, tree.getNextSibling(deep));
    EXPECT_EQ(root, tree.getRoot());
    EXPECT_EQ("", tree.getItemText(nullptr));
}

TEST_F(BaseTreeTest, RightClickOpensTheMenuOnceThenSelectsTheClickedNode) {
    ProbeTree tree(false);
    make(tree);
    HTREEITEM root = tree.insertItem("/", 0, 0, nullptr);
    HTREEITEM first = tree.insertItem("first", 0, 0, root);
    HTREEITEM second = tree.insertItem("second", 0, 0, root);
    tree.expand(root, TVE_EXPAND);
    tree.selectItem(first);
    PumpPending();

    RECT bounds = {};
    memcpy(&bounds, &second, sizeof second);
    ASSERT_TRUE(
        SendMessageA(tree.window(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&bounds)));
    RightClick(tree.window(), (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
    PumpPending();

    ASSERT_EQ(1u, tree.menuSelections.size());
    EXPECT_EQ(first, tree.menuSelections[0]); // the menu acts on the selection it found
    EXPECT_EQ(second, tree.getSelection());   // and the clicked node is selected afterwards
}

TEST_F(BaseTreeTest, NoMessageReachesATreeThatIsGone) {
    HWND control = nullptr;
    {
        ProbeTree shortLived(false);
        make(shortLived);
        control = shortLived.window();
    }
    EXPECT_EQ(nullptr, CMyBaseTree::fromHandle(control));
    SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(5, 5));
    EXPECT_TRUE(IsWindow(control));
    DestroyWindow(control);
}
