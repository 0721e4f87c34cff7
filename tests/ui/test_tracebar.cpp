// The trace bar in a host window standing in for the main window: which lines show, the
// 1001-row rule, the context menu's command reaching the owner, and the meter sampling on
// its own timer.
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
    std::vector<CString> rows() const {
        std::vector<CString> out;
        for (int row = 0; row < bar.m_list.getItemCount(); ++row)
            out.push_back(bar.m_list.getItemText(row, 0));
        return out;
    }
    // Wine repaints a visible list's scroll bar at every insertion (about 12 ms a row), so
    // long fills run with the list hidden; the rule under test does not depend on it.
    void fill(int count) {
        ShowWindow(bar.m_list.window(), SW_HIDE);
        for (int i = 0; i < count; ++i)
            bar.addLine(FormatString("line %d", i), 2);
        ShowWindow(bar.m_list.window(), SW_SHOW);
    }

    HostWindow host{800, 400};
    CTraceBar bar;
};

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
    EXPECT_EQ(0, bar.m_list.getItemCount());
    bar.addLine("not yet full", 9);
    EXPECT_EQ(0, bar.m_list.getItemCount());
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
