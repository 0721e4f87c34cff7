// Listing benchmark: generated listings of every layout go through the splitter and the
// parser, as the panes and the search use them, and each run's time is measured. Prints lines
// and bytes per second, best and median of the runs, per layout.
//   bench_listing [runs]     (default 7; started by bench/listing)
#include "transfer/ListingSplitter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A small fixed generator, so every run and every machine sees the same listings.
struct Random {
    uint64_t state = 0x9e3779b97f4a7c15ull;
    uint32_t next(uint32_t bound) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>((state >> 33) % bound);
    }
};

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kVmsMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kWords[] = {"report", "backup",       "photo 2019",    "index",   "setup",
                              "data",   "My Documents", "release-notes", "archive", "x"};
const char* const kExts[] = {".txt", ".tar.gz", ".jpg", ".html", "", ".iso", ".c", ".pdf"};

std::string Name(Random& r, int i) {
    char num[16];
    std::snprintf(num, sizeof num, "_%06d", i);
    return std::string(kWords[r.next(10)]) + num + kExts[r.next(8)];
}

uint64_t Size(Random& r) {
    const uint32_t kind = r.next(10);
    if (kind == 0)
        return 3000000000ull + r.next(2000000000); // past 2 and 4 GiB
    return kind < 5 ? r.next(4096) : r.next(200000000);
}

using Line = void (*)(Random&, int, char*, size_t);

void UnixLine(Random& r, int i, char* out, size_t n) {
    const uint32_t kind = r.next(20);
    const char* perms = kind < 2 ? "drwxr-xr-x" : kind < 3 ? "lrwxrwxrwx" : "-rw-r--r--";
    const std::string name = Name(r, i);
    char when[16];
    if (r.next(3) == 0)
        std::snprintf(when, sizeof when, " %4u", 1995 + r.next(30));
    else
        std::snprintf(when, sizeof when, "%02u:%02u", r.next(24), r.next(60));
    std::snprintf(out, n, "%s %3u %-8s %-8s %12llu %s %2u %s %s%s%s\r\n", perms, 1 + r.next(40),
                  "ftpuser", "ftpgroup", static_cast<unsigned long long>(Size(r)),
                  kMonths[r.next(12)], 1 + r.next(28), when, name.c_str(), kind == 2 ? " -> " : "",
                  kind == 2 ? "target/file" : "");
}

void FolderWordLine(Random& r, int i, char* out, size_t n) {
    const std::string name = Name(r, i);
    if (r.next(3) == 0)
        std::snprintf(out, n, "drwxrwxr-x               folder %8u %s %2u  %4u %s\r\n", r.next(500),
                      kMonths[r.next(12)], 1 + r.next(28), 1990 + r.next(30), name.c_str());
    else
        std::snprintf(out, n, "-rw-r--r--    %5u %11u %8llu %s %2u %02u:%02u %s\r\n", r.next(99999),
                      r.next(99999), static_cast<unsigned long long>(Size(r)), kMonths[r.next(12)],
                      1 + r.next(28), r.next(24), r.next(60), name.c_str());
}

void NetWareLine(Random& r, int i, char* out, size_t n) {
    const std::string name = Name(r, i);
    std::snprintf(out, n, "%c [RWCEAFMS] %-16s %12llu       %s %02u %02u:%02u    %s\r\n",
                  r.next(5) == 0 ? 'd' : '-', "supervisor",
                  static_cast<unsigned long long>(Size(r)), kMonths[r.next(12)], 1 + r.next(28),
                  r.next(24), r.next(60), name.c_str());
}

void EplfLine(Random& r, int i, char* out, size_t n) {
    const std::string name = Name(r, i);
    if (r.next(5) == 0)
        std::snprintf(out, n, "+i8388621.%u,m%u,/,\t%s\r\n", r.next(99999),
                      800000000 + r.next(900000000), name.c_str());
    else
        std::snprintf(out, n, "+i8388621.%u,m%u,r,s%llu,\t%s\r\n", r.next(99999),
                      800000000 + r.next(900000000), static_cast<unsigned long long>(Size(r)),
                      name.c_str());
}

void VmsLine(Random& r, int i, char* out, size_t n) {
    char name[40];
    std::snprintf(name, sizeof name, "FILE_%06d.%s", i, r.next(5) == 0 ? "DIR" : "TXT");
    std::snprintf(out, n,
                  "%-24s %6u/%-6u %2u-%s-%4u %02u:%02u:%02u.%02u [GROUP,OWNER] (RWED,RE,,)\r\n",
                  (std::string(name) + ";" + std::to_string(1 + r.next(9))).c_str(), r.next(9999),
                  r.next(9999), 1 + r.next(28), kVmsMonths[r.next(12)], 1990 + r.next(30),
                  r.next(24), r.next(60), r.next(60), r.next(100));
}

void MsDosLine(Random& r, int i, char* out, size_t n) {
    const std::string name = Name(r, i);
    char head[32];
    std::snprintf(head, sizeof head, "%02u-%02u-%02u  %02u:%02u%s", 1 + r.next(12), 1 + r.next(28),
                  r.next(100), 1 + r.next(12), r.next(60), r.next(2) ? "AM" : "PM");
    if (r.next(5) == 0)
        std::snprintf(out, n, "%s       <DIR>          %s\r\n", head, name.c_str());
    else
        std::snprintf(out, n, "%s %20llu %s\r\n", head, static_cast<unsigned long long>(Size(r)),
                      name.c_str());
}

std::string Generate(Line line, int count) {
    Random r;
    std::string listing;
    listing.reserve(static_cast<size_t>(count) * 90);
    char buf[256];
    for (int i = 0; i < count; ++i) {
        line(r, i, buf, sizeof buf);
        listing += buf;
    }
    return listing;
}

struct Layout {
    const char* name;
    Line line;
    int lines;
};

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const Layout layouts[] = {
        {"Unix", UnixLine, 1000000},      {"EPLF", EplfLine, 100000},
        {"VMS", VmsLine, 100000},         {"MS-DOS", MsDosLine, 100000},
        {"NetWare", NetWareLine, 100000}, {"folder word", FolderWordLine, 100000},
    };
    std::printf("Listing split and parse, %d runs each (best / median)\n\n", runs);
    std::printf("%-12s %9s %8s %14s %14s %10s %10s\n", "layout", "lines", "MiB", "Mlines/s best",
                "Mlines/s med", "MiB/s best", "MiB/s med");
    int failures = 0;
    for (const Layout& layout : layouts) {
        const std::string listing = Generate(layout.line, layout.lines);
        std::vector<double> seconds;
        size_t entries = 0;
        uint64_t checksum = 0;
        for (int run = 0; run < runs; ++run) {
            checksum = 0;
            const auto start = std::chrono::steady_clock::now();
            entries = CListingSplitter::split(
                listing.data(), listing.size(), [&](const CFtpListEntry& e, const CString& name) {
                    checksum += name.size() + (e.isDir ? 1 : 0) + static_cast<uint64_t>(e.size);
                });
            const auto stop = std::chrono::steady_clock::now();
            seconds.push_back(std::chrono::duration<double>(stop - start).count());
        }
        if (entries != static_cast<size_t>(layout.lines)) {
            std::fprintf(stderr, "%s: %zu of %d lines were entries\n", layout.name, entries,
                         layout.lines);
            ++failures;
        }
        std::sort(seconds.begin(), seconds.end());
        const double best = seconds.front();
        const double median = seconds[seconds.size() / 2];
        const double mib = static_cast<double>(listing.size()) / (1024.0 * 1024.0);
        std::printf("%-12s %9d %8.1f %14.2f %14.2f %10.0f %10.0f   (check %llu)\n", layout.name,
                    layout.lines, mib, layout.lines / best / 1e6, layout.lines / median / 1e6,
                    mib / best, mib / median, static_cast<unsigned long long>(checksum));
    }
    return failures ? 1 : 0;
}
