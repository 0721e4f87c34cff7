// The tree-view base driven through a real tree control in a host window: the two path
// rules, the right-click and destruction.
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
    void onSelChanged(NMTREEVIEWA*, LRESULT*) override {}
    void onItemExpanding(NMTREEVIEWA*, LRESULT*) override {}
    void onContextMenu(int, int) override {
        // The selection the menu would act on, at the moment it opens.
        menuSelections.push_back(getSelection());
    }

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

} // namespace

TEST_F(BaseTreeTest, SelectedPathsFollowTheLocalAndRemoteRules) {
    ProbeTree local(true), remote(false);
    make(local);
    make(remote);
    HTREEITEM computer = local.insertItem("My Computer", 0, 0, nullptr);
    HTREEITEM windows = local.insertItem("Windows", 0, 0, local.insertItem("C:\\", 0, 0, computer));
    EXPECT_EQ("", local.getSelectedPath()); // nothing selected
    local.selectItem(windows);
    EXPECT_EQ("C:\\Windows", local.getSelectedPath());
    local.selectItem(computer);
    EXPECT_EQ("", local.getSelectedPath());

    HTREEITEM home = remote.insertItem("\\home\\user\\", 0, 0, nullptr);
    remote.selectItem(remote.insertItem("win\\style", 0, 0, home));
    EXPECT_EQ("/home/user/win/style", remote.getSelectedPath());
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
