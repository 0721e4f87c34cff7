#pragma once
// The transfer meter's figures: about once a second the bytes moved since the last sample
// become a rate, the last 300 rates are kept for the chart, and the highest rate of the run
// is remembered (never lowered). The clock is injected, so the rules are tested without
// windows or waiting.
#include "common/CString.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class CMeterSampler {
public:
    // Samples kept for the chart: five minutes.
    static constexpr size_t kMaxSamples = 300;
    // A period closes at the first call at least this long after it started. The meter's
    // timer fires once a second give or take the timer's granularity; a little slack keeps
    // one sample per tick instead of merging two ticks whenever one comes early.
    static constexpr uint32_t kMinPeriodMs = 900;

    // ticks: a millisecond counter that may wrap around (GetTickCount).
    explicit CMeterSampler(std::function<uint32_t()> ticks);

    // Counts bytes moved since the last call. The first call of the run starts the first
    // period. A call that comes kMinPeriodMs or more after the period started closes it: its
    // sample is the period's bytes scaled to bytes per second of its real length. True when
    // a sample was added.
    bool add(int64_t bytes);

    const std::deque<int64_t>& samples() const { return m_samples; }
    int64_t maxBytesPerSec() const { return m_max; }

private:
    std::function<uint32_t()> m_ticks;
    bool m_started = false;
    uint32_t m_periodStart = 0;
    int64_t m_bytes = 0;
    int64_t m_max = 0;
    std::deque<int64_t> m_samples;
};

// The meter's caption: "Max Bytes/Sec" and the highest rate.
CString MeterText(int64_t maxBytesPerSec);

// One column of the chart, from top down to the baseline (left inclusive, right exclusive).
struct MeterBar {
    int left;
    int right;
    int top;
};

// The chart's columns, oldest first: 5 pixels per sample from x = 5, heights scaled so that
// the highest rate of the run reaches y = 0 and a rate of 0 stays at the baseline. When not
// every column fits in width, the oldest are left out so that the newest stay in view.
std::vector<MeterBar> MeterBars(const std::deque<int64_t>& samples, int64_t maxBytesPerSec,
                                int baseline, int width);
