// The list and tree bases and the trace bar, driven through their real controls in a host
// window standing in for the main window.
#include "mainwnd/CTraceBar.h"
#include "net/TransferMeter.h"
#include "panes/CBaseList.h"
#include "panes/CMyBaseTree.h"
#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ui_test;

namespace {

class ProbeList : public CBaseList {
public:
    void setupColumns() override {
        insertColumn(0, "Name", LVCFMT_LEFT, 160, -1);
        insertColumn(1, "Details", LVCFMT_LEFT, 100, 1);
    }
    void onContextMenu(int x, int y) override { menus.push_back({x, y}); }
    int compare(int rowA, int rowB) const { return compareRows(getItemData(rowA), getItemData(rowB)); }
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

std::vector<CString> rows(const CBaseList& list) {
    std::vector<CString> out;
    for (int row = 0; row < list.getItemCount(); ++row)
        out.push_back(list.getItemText(row, 0));
    return out;
}

HWND header(const CBaseList& list) {
    return reinterpret_cast<HWND>(SendMessageA(list.window(), LVM_GETHEADER, 0, 0));
}

void clickHeader(const CBaseList& list, int column) {
    RECT item = {};
    SendMessageA(header(list), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item));
    Click(header(list), (item.left + item.right) / 2, (item.top + item.bottom) / 2);
}

struct PaneTest : ::testing::Test {
    HostWindow host;
    ProbeList list;
    void SetUp() override {
        ASSERT_TRUE(list.create(&host));
        MoveWindow(list.window(), 10, 10, 400, 300, TRUE);
    }
};

TEST_F(PaneTest, AListSortsByItsHeaderAndComparesRecordsSoundly) {
    for (const char* file : {"beta.txt", "Alpha.txt", "gamma.txt"})
        list.addItem(file, "file", false);
    for (const char* folder : {"Docs", "apps"})
        list.addItem(folder, "folder", true);
    clickHeader(list, 0); // downwards: files before folders
    EXPECT_EQ(rows(list), (std::vector<CString>{"gamma.txt", "beta.txt", "Alpha.txt", "Docs", "apps"}));
    clickHeader(list, 0); // upwards: folders first, without regard to case
    EXPECT_EQ(rows(list), (std::vector<CString>{"apps", "Docs", "Alpha.txt", "beta.txt", "gamma.txt"}));

    // Equal keys compare equal whichever way round; sizes beyond 4 GiB keep their order.
    list.deleteAllItems();
    for (auto row : {std::pair<const char*, uint64_t>{"readme", 0}, {"README", 0}, {"small", 10},
                     {"big", 5000000000ull}})
        list.setNumber(list.addItem(row.first, "", false), row.second);
    EXPECT_EQ(list.compare(0, 1), 0);
    EXPECT_EQ(list.compare(1, 0), 0);
    clickHeader(list, 1);
    EXPECT_EQ(rows(list)[0], "big");
    EXPECT_EQ(rows(list)[1], "small");
    EXPECT_EQ(list.compare(2, 3) | list.compare(3, 2), 0);

    EXPECT_TRUE(list.create(&host));
    EXPECT_EQ(Header_GetItemCount(header(list)), 2) << "a second create added columns";
    // Widths are stored as at 96 DPI, so a width saved on one screen restores right on another.
    testing_support::ScopedEnv dpi("TARNWICK2_DPI", "192");
    ProbeList large;
    ASSERT_TRUE(large.create(&host));
    EXPECT_EQ(SendMessageA(large.window(), LVM_GETCOLUMNWIDTH, 0, 0), 320);
    EXPECT_EQ(large.columnWidth(0), 160);
}

TEST_F(PaneTest, ContextMenusOpenOnceWhereTheUserAsksAndAGoneListHearsNothing) {
    list.addItem("file.txt", "", false);
    Click(list.window(), 50, 60, true);
    POINT clicked = {50, 60};
    ClientToScreen(list.window(), &clicked);
    ASSERT_EQ(list.menus.size(), 1u);
    EXPECT_TRUE(list.menus[0].x == clicked.x && list.menus[0].y == clicked.y);
    // The context-menu key: at the selected row, not at (-1, -1).
    ListView_SetItemState(list.window(), 0, LVIS_SELECTED, LVIS_SELECTED);
    SendMessageA(list.window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list.window()), MAKELPARAM(-1, -1));
    RECT bounds;
    GetWindowRect(list.window(), &bounds);
    ASSERT_EQ(list.menus.size(), 2u);
    EXPECT_TRUE(PtInRect(&bounds, list.menus[1]));

    // A tree's menu acts on the selection it found, then the clicked node is selected.
    ProbeTree tree;
    ASSERT_TRUE(tree.create(&host));
    MoveWindow(tree.window(), 420, 10, 300, 300, TRUE);
    HTREEITEM root = tree.insertItem("/", 0, 0, nullptr);
    HTREEITEM first = tree.insertItem("first", 0, 0, root), second = tree.insertItem("second", 0, 0, root);
    tree.expand(root, TVE_EXPAND);
    tree.selectItem(first);
    RECT node = {};
    memcpy(&node, &second, sizeof second);
    SendMessageA(tree.window(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&node));
    Click(tree.window(), (node.left + node.right) / 2, (node.top + node.bottom) / 2, true);
    EXPECT_EQ(tree.menuSelections, std::vector<HTREEITEM>{first});
    EXPECT_EQ(tree.getSelection(), second);

    HWND control = nullptr;
    {
        ProbeList shortLived;
        ASSERT_TRUE(shortLived.create(&host));
        control = shortLived.window();
    }
    EXPECT_EQ(CBaseList::fromHandle(control), nullptr);
    SendMessageA(control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(5, 5));
    EXPECT_TRUE(IsWindow(control)); // back on its own procedure: nobody was called
}

TEST(TraceBar, ShowsLevelsUpToFiveNewestFirstStartsAfreshWhenFullAndMetersOnItsOwn) {
    HostWindow host;
    CTraceBar bar;
    ASSERT_TRUE(bar.create(&host));
    bar.move(0, 250, 800, 150);
    for (int level : {1, 2, 8, 9, 5})
        bar.addLine(FormatString("level %d", level), level);
    EXPECT_EQ(rows(bar.m_list), (std::vector<CString>{"level 5", "level 2", "level 1"}));
    HWND barHeader = header(bar.m_list);
    Click(barHeader, 20, 5); // lines without records are all kept
    EXPECT_EQ(bar.m_list.getItemCount(), 3);
    EXPECT_TRUE(ChoosePopupItem([&] { Click(bar.m_list.window(), 40, 40, true); }, 0, nullptr));
    EXPECT_EQ(host.commands, std::vector<int>{ID_CLEAR_TRACE});

    // Full at 1001 rows: the next line, even one not shown, empties the list first. Filled
    // hidden: Wine repaints a visible list's scroll bar at every insertion.
    for (int hidden : {2, 9}) {
        bar.clear();
        ShowWindow(bar.m_list.window(), SW_HIDE);
        for (int i = 0; i < CTraceBar::kMaxRows; ++i)
            bar.addLine(FormatString("line %d", i), 2);
        ShowWindow(bar.m_list.window(), SW_SHOW);
        ASSERT_EQ(bar.m_list.getItemCount(), 1001);
        bar.addLine("next", hidden);
        EXPECT_EQ(rows(bar.m_list), hidden == 2 ? std::vector<CString>{"next"} : std::vector<CString>{});
    }

    addBytes(250000);
    // The first tick opens a period holding the bytes, the next closes it.
    ASSERT_TRUE(PumpUntil([] { return !TransferMeterSampler().samples().empty(); }));
    EXPECT_GT(TransferMeterSampler().maxBytesPerSec(), 0);
    EXPECT_EQ(TakeMeterBytes(), 0); // the meter took the count
    EXPECT_TRUE(SaveScreenshot(host.ownerWindow(), "tracebar.bmp"));
}

} // namespace
