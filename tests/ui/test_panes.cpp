// The list and tree bases and the trace bar, driven through their real controls in the main
// window.
#include "tests/ui/MainWindowJourney.h"

using namespace ui_journey;

namespace {

class ProbeList : public CBaseList {
public:
    void setupColumns() override {
        insertColumn(0, "Name", LVCFMT_LEFT, 160, -1);
        insertColumn(1, "Details", LVCFMT_LEFT, 100, 1);
    }
    void onContextMenu(int x, int y) override { menus.push_back({x, y}); }
    int compare(int rowA, int rowB) const {
        return compareRows(getItemData(rowA), getItemData(rowB));
    }
    using CBaseList::setNumber;
    std::vector<POINT> menus;
};

class ProbeTree : public CMyBaseTree {
public:
    ProbeTree() : CMyBaseTree(false) {}
    void onSelChanged(NMTREEVIEWA*, LRESULT*) override {}
    void onItemExpanding(NMTREEVIEWA*, LRESULT*) override {}
    void onContextMenu(int, int) override { menuSelections.push_back(getSelection()); }
    std::vector<HTREEITEM> menuSelections;
};

void clickHeader(const CBaseList& list, int column) {
    RECT item = {};
    Header_GetItemRect(ListView_GetHeader(list.window()), column, &item);
    Click(ListView_GetHeader(list.window()), (item.left + item.right) / 2,
          (item.top + item.bottom) / 2);
}

using PaneTest = MainWindowTest;

TEST_F(PaneTest, ListsSortAndCompareSoundlyMenusOpenOnceAndAGoneListHearsNothing) {
    start();
    ProbeList list;
    ASSERT_TRUE(list.create(win.get()));
    MoveWindow(list.window(), 10, 10, 400, 300, TRUE);
    for (const char* name : {"beta.txt", "Alpha.txt", "gamma.txt", "Docs", "apps"})
        list.addItem(name, "", strchr(name, '.') == nullptr); // the folders have no dot
    clickHeader(list, 0); // downwards, then upwards: folders first, without regard to case
    clickHeader(list, 0);
    EXPECT_EQ(names(list),
              (std::vector<CString>{"apps", "Docs", "Alpha.txt", "beta.txt", "gamma.txt"}));
    // Equal keys compare equal whichever way round; sizes beyond 4 GiB keep their order.
    list.deleteAllItems();
    for (auto row : {std::pair<const char*, uint64_t>{"readme", 0},
                     {"README", 0},
                     {"small", 10},
                     {"big", 5000000000ull}})
        list.setNumber(list.addItem(row.first, "", false), row.second);
    EXPECT_TRUE(list.compare(0, 1) == 0 && list.compare(1, 0) == 0);
    clickHeader(list, 1);
    EXPECT_EQ(names(list)[0] + names(list)[1], "bigsmall");
    EXPECT_TRUE(list.compare(2, 3) == 0 && list.compare(3, 2) == 0);
    EXPECT_TRUE(list.create(win.get()));
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list.window())), 2)
        << "a second create added columns";

    list.deleteAllItems();
    list.addItem("file.txt", "", false);
    Click(list.window(), 50, 60, true);
    POINT clicked = {50, 60};
    ClientToScreen(list.window(), &clicked);
    // The context-menu key: at the selected row, not at (-1, -1).
    SelectRows(list.window(), {"file.txt"});
    SendMessageA(list.window(), WM_CONTEXTMENU, WPARAM(list.window()), MAKELPARAM(-1, -1));
    RECT bounds;
    GetWindowRect(list.window(), &bounds);
    ASSERT_EQ(list.menus.size(), 2u);
    EXPECT_TRUE(list.menus[0].x == clicked.x && list.menus[0].y == clicked.y);
    EXPECT_TRUE(PtInRect(&bounds, list.menus[1]));

    // A tree's menu acts on the selection it found, then the clicked node is selected.
    ProbeTree tree;
    ASSERT_TRUE(tree.create(win.get()));
    MoveWindow(tree.window(), 420, 10, 300, 300, TRUE);
    HTREEITEM root = tree.insertItem("/", 0, 0, nullptr), first = tree.insertItem("1", 0, 0, root);
    HTREEITEM second = tree.insertItem("2", 0, 0, root);
    tree.expand(root, TVE_EXPAND);
    tree.selectItem(first);
    RECT node = {};
    TreeView_GetItemRect(tree.window(), second, &node, TRUE);
    Click(tree.window(), (node.left + node.right) / 2, (node.top + node.bottom) / 2, true);
    EXPECT_EQ(tree.menuSelections, std::vector<HTREEITEM>{first});
    EXPECT_EQ(tree.getSelection(), second);

    HWND control = [&] {
        ProbeList shortLived;
        return shortLived.create(win.get()) ? shortLived.window() : nullptr;
    }();
    EXPECT_EQ(CBaseList::fromHandle(control), nullptr);
    SendMessageA(control, WM_CONTEXTMENU, WPARAM(control), MAKELPARAM(-1, -1));
    EXPECT_TRUE(IsWindow(control)); // back on its own procedure: nobody was called

    // Widths are stored as at 96 DPI, so a width saved on one screen restores right on another.
    testing_support::ScopedEnv dpi("TARNWICK2_DPI", "192");
    ProbeList large;
    ASSERT_TRUE(large.create(win.get()));
    EXPECT_EQ(SendMessageA(large.window(), LVM_GETCOLUMNWIDTH, 0, 0), 320);
    EXPECT_EQ(large.columnWidth(0), 160);
}

TEST_F(PaneTest, TheTraceShowsLevelsUpToFiveAndABurstEmptiesTheListWhereSingleLinesWould) {
    start();
    CTraceBar& bar = win->m_traceBar;
    bar.clear();
    for (int level : {1, 2, 8, 9, 5})
        bar.addLine(FormatString("level %d", level), level);
    EXPECT_EQ(trace(), "\nlevel 1\nlevel 2\nlevel 5\n"); // oldest first
    bar.clear();
    // A burst goes in as batches, yet the list empties exactly where single lines would empty
    // it: whenever a line finds 1001 rows. Of 5000 lines (every thousandth hidden) the stretch
    // from "line 4008" stays, without "line 4500".
    for (int i = 0; i < 5000; ++i)
        bar.addLine(FormatString("line %d", i), i % 1000 == 500 ? 9 : 2);
    const std::vector<CString> rows = traceRows();
    ASSERT_EQ(rows.size(), 991u);
    EXPECT_TRUE(rows.front() == "line 4008" && rows.back() == "line 4999");
    EXPECT_TRUE(rows[4499 - 4008] == "line 4499" && rows[4500 - 4008] == "line 4501");
}

} // namespace
