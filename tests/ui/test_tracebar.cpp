// The trace bar in a host window standing in for the main window: which lines show, the
// 1001-row rule, the layout of its parts, the context menu's command reaching the owner,
// and the meter sampling on its own timer.
#include "mainwnd/CTraceBar.h"
#include "net/TransferMeter.h"
#include "res/resource.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ui_test;

namespace {

class TraceBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bar.create(&host));
        bar.move(0, 250, 800, 150);
        PumpPending();
    }
    std::vector<CString> rows() {
        bar.flush();
        std::vector<CString> out;
        for (int row = 0; row < bar.m_list.getItemCount(); ++row)
            out.push_back(bar.m_list.getItemText(row, 0));
        return out;
    }
    void fill(int count) {
        for (int i = 0; i < count; ++i)
            bar.addLine(FormatString("line %d", i), 2);
        bar.flush();
    }

    HostWindow host{800, 400};
    CTraceBar bar;
};

RECT rectIn(HWND parent, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

TEST_F(TraceBarTest, OnlyLevelsUpToFiveAreShownNewestFirst) {
    bar.addLine("<<< EXECUTE CCommand::execute USER", 1);
    bar.addLine("331 Password required", 2);
    bar.addLine("PORT 127,0,0,1,4,1", 8);
    bar.addLine("state 0 -> 4", 9);
    bar.addLine("Received 10 KB", 5);
    EXPECT_EQ((std::vector<CString>{"Received 10 KB", "331 Password required",
                                    "<<< EXECUTE CCommand::execute USER"}),
              rows());
    bar.clear();
    EXPECT_EQ(0, bar.m_list.getItemCount());
}

TEST_F(TraceBarTest, AFullListIsEmptiedBeforeTheNextLineEvenAHiddenOne) {
    fill(CTraceBar::kMaxRows);
    ASSERT_EQ(1001, bar.m_list.getItemCount());
    EXPECT_EQ("line 1000", bar.m_list.getItemText(0, 0));

    bar.addLine("line 1001", 1); // the 1002nd shown line
    EXPECT_EQ((std::vector<CString>{"line 1001"}), rows());

    bar.clear();
    fill(CTraceBar::kMaxRows);
    bar.addLine("socket event", 9);
    EXPECT_EQ(0u, rows().size());
    bar.addLine("not yet full", 9);
    EXPECT_EQ(0u, rows().size());
}

TEST_F(TraceBarTest, ABurstEmptiesTheListExactlyWhereSingleLinesWould) {
    // 5000 lines in one go, some hidden: the list empties whenever a line finds 1001 rows,
    // so only the last stretch stays.
    for (int i = 0; i < 5000; ++i)
        bar.addLine(FormatString("line %d", i), i % 1000 == 500 ? 9 : 2);
    std::vector<CString> shown = rows();
    // Shown: 0..999 but 500 (999 rows), then 1000 and 1001 (1001 rows); 1002 empties; the
    // next 1001 shown lines are 1002..2003 less 1500; 2004 empties; 2004..3005 less 2500;
    // 3006 empties; 3006..4007 less 3500; 4008 empties; 4008..4999 less 4500 remain.
    ASSERT_EQ(991u, shown.size());
    EXPECT_EQ("line 4999", shown.front());
    EXPECT_EQ("line 4008", shown.back());
    EXPECT_EQ("line 4501", shown[4999 - 4501]);
    EXPECT_EQ("line 4499", shown[4999 - 4501 + 1]);
}

TEST_F(TraceBarTest, PartsSitInTheContainer) {
    HWND container = bar.m_hWnd;
    EXPECT_EQ("ToolbarWindow32", ClassOf(container));
    EXPECT_EQ(IDC_TRACEBAR, GetDlgCtrlID(container));
    EXPECT_EQ(host.ownerWindow(), GetParent(container));
    EXPECT_EQ(container, GetParent(bar.m_list.window()));
    EXPECT_EQ(IDC_TRACE_LIST, bar.m_list.controlId());
    EXPECT_EQ(&bar.m_list, CBaseList::fromHandle(bar.m_list.window()));
    HWND meter = TransferMeterWindow();
    ASSERT_TRUE(meter);
    EXPECT_EQ(container, GetParent(meter));
    EXPECT_EQ(IDC_METER, GetDlgCtrlID(meter));

    RECT inHost = rectIn(host.ownerWindow(), container);
    EXPECT_EQ(250, inHost.top);
    EXPECT_EQ(150, inHost.bottom - inHost.top);
    RECT client;
    GetClientRect(container, &client);
    RECT list = rectIn(container, bar.m_list.window());
    RECT chart = rectIn(container, meter);
    EXPECT_EQ(0, list.top);
    EXPECT_EQ(client.bottom * 2 / 3, list.bottom);
    EXPECT_EQ(list.bottom, chart.top);
    EXPECT_EQ(client.bottom, chart.bottom); // the meter's foot stays in view
    EXPECT_EQ(client.right, chart.right - chart.left);

    // One column, as wide as the owner was less 30 when the bar was made.
    char text[32] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(
        SendMessageA(bar.m_list.window(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ("TRACE", text);
    EXPECT_EQ(770, column.cx);
}

TEST_F(TraceBarTest, ClearFromTheContextMenuReachesTheOwner) {
    bar.addLine("a line", 1);
    std::vector<CString> items;
    bool shown = ChoosePopupItem([&] { RightClick(bar.m_list.window(), 40, 40); }, 0, &items);
    ASSERT_TRUE(shown);
    EXPECT_EQ((std::vector<CString>{"Clear"}), items);
    // The container passes the command on to the main window, which clears the bar.
    EXPECT_EQ((std::vector<int>{ID_CLEAR_TRACE}), host.commands());
}

TEST_F(TraceBarTest, HeaderClickOnLinesWithoutRecordsKeepsThemAll) {
    bar.addLine("first", 1);
    bar.addLine("second", 1);
    bar.flush();
    HWND header = reinterpret_cast<HWND>(SendMessageA(bar.m_list.window(), LVM_GETHEADER, 0, 0));
    Click(header, 20, 5);
    EXPECT_EQ(2, bar.m_list.getItemCount());
}

TEST_F(TraceBarTest, MeterSamplesOnItsOwnTimerAndShowsTheMaximum) {
    for (int i = 0; i < 5; ++i)
        bar.addLine(FormatString("226 Transfer complete %d", i), 2);
    addBytes(250000);
    // The first tick opens a period holding the bytes, the next closes it.
    ASSERT_TRUE(PumpUntil([] { return !TransferMeterSampler().samples().empty(); }, 8000));
    EXPECT_GT(TransferMeterSampler().maxBytesPerSec(), 0);
    EXPECT_EQ(0, TakeMeterBytes()); // the meter took the count
    EXPECT_TRUE(SaveScreenshot(host.ownerWindow(), "tracebar.png"));
}
