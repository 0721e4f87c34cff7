// The bytes-per-second meter: periods of about a second on a clock the table moves by hand,
// rates scaled to each period's length, and the chart's columns. Scripts in data/meter.tsv.
#include "mainwnd/MeterSampler.h"

#include "tests/unit/Table.h"

#include <memory>
#include <sstream>

TW_TABLE(k_meter_tsv)

namespace {
using std::to_string;

std::string Bars(const std::deque<int64_t>& samples, int64_t max, const std::string& baseline,
                 const std::string& width) {
    std::string out;
    for (const MeterBar& bar : MeterBars(samples, max, std::stoi(baseline), std::stoi(width)))
        out += (out.empty() ? "" : " ") + to_string(bar.left) + "-" + to_string(bar.right) + "@" +
               to_string(bar.top);
    return out;
}
} // namespace

TEST(Meter, EachScriptGivesItsSamplesAndColumns) {
    uint32_t now = 0;
    std::unique_ptr<CMeterSampler> meter;
    RunTable("meter.tsv", k_meter_tsv_text(), {
        {"add", [&](const TableArgs& a) -> std::string {
             return meter->add(std::stoll(a[0])) ? "closed" : "open";
         }},
        {"samples", [&](const TableArgs&) {
             std::string out;
             for (int64_t s : meter->samples())
                 out += (out.empty() ? "" : " ") + to_string(s);
             return out + " max " + to_string(meter->maxBytesPerSec());
         }},
        {"bars", [&](const TableArgs& a) {
             return Bars(meter->samples(), meter->maxBytesPerSec(), a[0], a[1]);
         }},
        {"chart", [](const TableArgs& a) { // samples max baseline width
             std::deque<int64_t> samples;
             std::istringstream in(a[0]);
             for (int64_t s; in >> s;)
                 samples.push_back(s);
             return Bars(samples, std::stoll(a[1]), a[2], a[3]);
         }},
    }, {
        {"==", [&](const TableArgs&) {
             now = 0;
             meter.reset(new CMeterSampler([&] { return now; }));
         }},
        {"wait", [&](const TableArgs& a) { now += static_cast<uint32_t>(std::stoul(a[0])); }},
    });
}
