// The list-view base driven through a real list control in a host window: header clicks and
// the comparison, the selection walk, the context menu, and destruction.
#include "panes/CBaseList.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

using namespace ui_test;

namespace {

class ProbeList : public CBaseList {
public:
    void setupColumns() override {
        insertColumn(0, "Name", LVCFMT_LEFT, 160, -1);
        insertColumn(1, "Details", LVCFMT_LEFT, 100, 1);
    }
    void onContextMenu(int x, int y) override { menus.push_back({x, y}); }
    // Rows with a sort number, as the local list adds its files with their sizes.
    int addNumbered(const CString& name, uint64_t number) {
        int row = insertItem(getItemCount(), name, 0);
        CListItemData data;
        data.name = name;
        data.number = number;
        setItemData(row, appendRecord(data));
        return row;
    }
    int compare(int rowA, int rowB) const {
        return compareRows(getItemData(rowA), getItemData(rowB));
    }

    std::vector<POINT> menus;
};

std::vector<CString> names(const CBaseList& list) {
    std::vector<CString> out;
    for (int row = 0; row < list.getItemCount(); ++row)
        out.push_back(list.getItemText(row, 0));
    return out;
}

void clickHeader(const CBaseList& list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list.window(), LVM_GETHEADER, 0, 0));
    ASSERT_TRUE(header);
    RECT item = {};
    ASSERT_TRUE(SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item)));
    Click(header, (item.left + item.right) / 2, (item.top + item.bottom) / 2);
}

void select(const CBaseList& list, int row, bool on) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = on ? LVIS_SELECTED : 0;
    SendMessageA(list.window(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

class BaseListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(list.create(&host));
        MoveWindow(list.window(), 10, 10, 400, 300, TRUE);
        PumpPending();
    }
    HostWindow host;
    ProbeList list;
};

} // namespace

TEST_F(BaseListTest, HeaderClicksGroupFoldersAndFlipTheDirection) {
    for (const char* file : {"beta.txt", "Alpha.txt", "gamma.txt"})
        list.addItem(file, "file", false);
    for (const char* folder : {"Docs", "apps"})
        list.addItem(folder, "folder", true);
    EXPECT_EQ(1, list.sortDirection());

    // The first click sorts downwards: files before folders, names descending.
    clickHeader(list, 0);
    EXPECT_EQ(-1, list.sortDirection());
    EXPECT_EQ(0, list.sortColumn());
    EXPECT_EQ((std::vector<CString>{"gamma.txt", "beta.txt", "Alpha.txt", "Docs", "apps"}),
              names(list));

    // The next one upwards: folders first, names ascending without regard to case.
    clickHeader(list, 0);
    EXPECT_EQ(1, list.sortDirection());
    EXPECT_EQ((std::vector<CString>{"apps", "Docs", "Alpha.txt", "beta.txt", "gamma.txt"}),
              names(list));

}

TEST_F(BaseListTest, ComparisonIgnoresCaseAndOrdersByNumberOffColumnZero) {
    int lower = list.addItem("readme", "", false);
    int upper = list.addItem("README", "", false);
    int other = list.addItem("readme2", "", false);
    EXPECT_EQ(0, list.compare(lower, upper));
    EXPECT_GT(0, list.compare(lower, other));
    EXPECT_LT(0, list.compare(other, upper));

    list.deleteAllItems();
    list.addNumbered("small", 10);
    list.addNumbered("big", 5000000000ull); // sizes above 4 GiB keep their order
    list.addNumbered("a", 0);
    list.addNumbered("b", 0);
    clickHeader(list, 1); // column 1, direction -1
    ASSERT_EQ(-1, list.sortDirection());
    auto order = names(list);
    ASSERT_EQ(4u, order.size());
    EXPECT_EQ("big", order[0]);
    EXPECT_EQ("small", order[1]);
    // Equal numbers are equal, whichever order they are asked in.
    EXPECT_EQ(0, list.compare(2, 3));
    EXPECT_EQ(0, list.compare(3, 2));
}

TEST_F(BaseListTest, SelectionWalkVisitsSelectedRowsInOrder) {
    for (const char* name : {"a", "b", "c", "d", "e"})
        list.addItem(name, "", false);
    list.addItem("folder", "", true); // row 0; the files move down by one
    EXPECT_EQ(0, list.firstSelected());
    EXPECT_EQ("", list.firstSelectedText());
    EXPECT_FALSE(list.firstSelectedIsDir());

    for (int row : {1, 3, 4})
        select(list, row, true);
    std::vector<int> visited;
    int cursor = list.firstSelected();
    EXPECT_EQ(2, cursor);
    for (int guard = 0; cursor && guard < 10; ++guard)
        visited.push_back(list.nextSelected(cursor));
    EXPECT_EQ((std::vector<int>{1, 3, 4}), visited);
    EXPECT_EQ(0, cursor);
    EXPECT_EQ("a", list.firstSelectedText());
    EXPECT_FALSE(list.firstSelectedIsDir());

    // A real click selects one row, the folder at the top.
    RECT row0 = {};
    row0.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageA(list.window(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row0)));
    Click(list.window(), row0.left + 5, (row0.top + row0.bottom) / 2);
    EXPECT_EQ(1, list.firstSelected());
    EXPECT_EQ("folder", list.firstSelectedText());
    EXPECT_TRUE(list.firstSelectedIsDir());

}

TEST_F(BaseListTest, ASecondCreateAddsNoSecondSetOfColumns) {
    EXPECT_TRUE(list.create(&host));
    EXPECT_EQ(2, Header_GetItemCount(
                     reinterpret_cast<HWND>(SendMessageA(list.window(), LVM_GETHEADER, 0, 0))));
}

TEST_F(BaseListTest, RightClickAndKeyboardOpenTheContextMenuOnce) {
    list.addItem("file.txt", "", false);
    RightClick(list.window(), 50, 60);
    PumpPending();
    ASSERT_EQ(1u, list.menus.size());
    POINT expected = {50, 60};
    ClientToScreen(list.window(), &expected);
    EXPECT_EQ(expected.x, list.menus[0].x);
    EXPECT_EQ(expected.y, list.menus[0].y);

    // The context-menu key: the menu opens at the selected row, not at (-1, -1).
    select(list, 0, true);
    SendMessageA(list.window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.window()),
                 MAKELPARAM(-1, -1));
    ASSERT_EQ(2u, list.menus.size());
    RECT bounds;
    GetWindowRect(list.window(), &bounds);
    EXPECT_TRUE(PtInRect(&bounds, list.menus[1]));
}

TEST_F(BaseListTest, NoMessageReachesAListThatIsGone) {
    HWND control = nullptr;
    {
        ProbeList shortLived;
        ASSERT_TRUE(shortLived.create(&host));
        control = shortLived.window();
    }
    EXPECT_EQ(nullptr, CBaseList::fromHandle(control));
    // The control is back on its own procedure: this must neither crash nor call anybody.
    SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(5, 5));
    EXPECT_TRUE(IsWindow(control));

    // The other way round: the control goes first.
    DestroyWindow(list.window());
    EXPECT_EQ(nullptr, list.window());
    EXPECT_EQ(0, list.getItemCount());
}

// Widths are stored as at 96 DPI, so a width saved on one screen restores right on another.
TEST_F(BaseListTest, ColumnWidthsFollowTheDpi) {
    EXPECT_EQ(160, list.columnWidth(0));
    testing_support::ScopedEnv dpi("TARNWICK2_DPI", "192");
    CBaseList large;
    ASSERT_TRUE(large.create(&host));
    EXPECT_EQ(200, SendMessageA(large.window(), LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(100, large.columnWidth(0));
}
