// The portable rules of the window code: the meter's sampling and chart, the prompts'
// desktop centring and the trees' path joining.
#include "accounts/DialogPlacement.h"
#include "mainwnd/MeterSampler.h"
#include "panes/TreePath.h"

#include <gtest/gtest.h>

namespace {

// A clock the test moves by hand.
struct FakeClock {
    uint32_t now = 0;
    std::function<uint32_t()> source() {
        return [this] { return now; };
    }
};

} // namespace

TEST(MeterSampler, BurstThenIdleSecondsGiveOneFullBarAndEmptyColumns) {
    FakeClock clock;
    CMeterSampler meter(clock.source());
    EXPECT_FALSE(meter.add(10000)); // starts the first period
    for (int second = 1; second <= 4; ++second) {
        clock.now += 1000;
        EXPECT_TRUE(meter.add(0)) << second;
    }
    ASSERT_EQ(4u, meter.samples().size());
    EXPECT_EQ(10000, meter.samples()[0]);
    EXPECT_EQ(0, meter.samples()[3]);
    EXPECT_EQ(10000, meter.maxBytesPerSec());

    auto bars = MeterBars(meter.samples(), meter.maxBytesPerSec(), 40, 600);
    ASSERT_EQ(4u, bars.size());
    EXPECT_EQ(5, bars[0].left);
    EXPECT_EQ(10, bars[0].right);
    EXPECT_EQ(0, bars[0].top); // the largest sample reaches the top
    for (size_t i = 1; i < bars.size(); ++i) {
        EXPECT_EQ(40, bars[i].top) << i; // idle: no bar above the baseline
        EXPECT_EQ(5 * static_cast<int>(i + 1), bars[i].left);
    }
}

TEST(MeterSampler, PeriodsCloseOnlyAfterAboutASecondAndRatesAreScaledToIt) {
    FakeClock clock;
    CMeterSampler meter(clock.source());
    meter.add(0);
    clock.now += 500;
    EXPECT_FALSE(meter.add(3000)); // still the same period
    clock.now += 1000;             // 1.5 s in all
    EXPECT_TRUE(meter.add(0));
    ASSERT_EQ(1u, meter.samples().size());
    EXPECT_EQ(2000, meter.samples()[0]); // 3000 bytes over 1.5 s

    // A tick that comes a little early still closes its period (one sample per tick).
    clock.now += CMeterSampler::kMinPeriodMs;
    EXPECT_TRUE(meter.add(900));
    EXPECT_EQ(1000, meter.samples().back());
    clock.now += CMeterSampler::kMinPeriodMs - 1;
    EXPECT_FALSE(meter.add(0));
}

TEST(MeterBars, NarrowMeterShowsTheNewestColumns) {
    std::deque<int64_t> samples;
    for (int i = 1; i <= 50; ++i)
        samples.push_back(i * 10);
    auto bars = MeterBars(samples, 500, 100, 103); // room for 19 columns (5..100)
    ASSERT_EQ(19u, bars.size());
    EXPECT_EQ(5, bars.front().left);
    EXPECT_EQ(100, bars.back().right);
    EXPECT_EQ(0, bars.back().top);                          // the newest, 500, is the maximum
    EXPECT_EQ(100 - 32 * 10 * 100 / 500, bars.front().top); // sample 32 comes first

    EXPECT_TRUE(MeterBars(samples, 500, 0, 400).empty()); // no room above the caption
    EXPECT_TRUE(MeterBars(samples, 500, 100, 9).empty());
    EXPECT_TRUE(MeterBars({}, 0, 100, 400).empty());
}

