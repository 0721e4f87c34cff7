#include "mainwnd/MeterSampler.h"

#include <utility>

namespace {
constexpr int kColumnWidth = 5;
}

CMeterSampler::CMeterSampler(std::function<uint32_t()> ticks) : m_ticks(std::move(ticks)) {}

bool CMeterSampler::add(int64_t bytes) {
    const uint32_t now = m_ticks();
    if (!m_started) {
        m_started = true;
        m_periodStart = now;
    }
    if (bytes > 0)
        m_bytes += bytes;
    // Unsigned difference: right across the counter's wrap-around.
    const uint32_t elapsed = now - m_periodStart;
    if (elapsed < kMinPeriodMs)
        return false;
    const int64_t sample = m_bytes * 1000 / static_cast<int64_t>(elapsed);
    if (sample > m_max)
        m_max = sample;
    m_samples.push_back(sample);
    if (m_samples.size() > kMaxSamples)
        m_samples.pop_front();
    m_bytes = 0;
    m_periodStart = now;
    return true;
}

CString MeterText(int64_t maxBytesPerSec) {
    return FormatString("Max Bytes/Sec %lld", static_cast<long long>(maxBytesPerSec));
}

std::vector<MeterBar> MeterBars(const std::deque<int64_t>& samples, int64_t maxBytesPerSec,
                                int baseline, int width) {
    std::vector<MeterBar> bars;
    if (baseline <= 0)
        return bars; // no room above the caption
    // Column k (from 1) spans 5k to 5k + 5; it fits when its right edge is within width.
    const size_t fit = width / kColumnWidth > 1 ? static_cast<size_t>(width / kColumnWidth - 1) : 0;
    const size_t skip = samples.size() > fit ? samples.size() - fit : 0;
    for (size_t i = skip; i < samples.size(); ++i) {
        const int k = static_cast<int>(i - skip) + 1;
        int top = baseline;
        if (maxBytesPerSec > 0 && samples[i] > 0) {
            int64_t height = samples[i] * baseline / maxBytesPerSec;
            top = baseline - static_cast<int>(height > baseline ? baseline : height);
        }
        bars.push_back({kColumnWidth * k, kColumnWidth * k + kColumnWidth, top});
    }
    return bars;
}
