// libFuzzer target for the listing-line parser and the splitter. Beyond "no crash", it checks
// what must hold for any bytes a server sends: every piece lies inside its line, a record
// that is no entry is empty, blocks of any size split like the whole, and the splitter agrees
// with a plain re-statement of its rules built on CString.
// Build and run: tests/fuzz/run-listing-fuzz.sh
#include "transfer/ListingSplitter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool ok) {
    if (!ok)
        abort();
}

bool Inside(const CListPiece& p, const char* b, const char* e) {
    return p.empty() || (p.begin >= b && p.begin <= p.end && p.end <= e);
}

void CheckOneLine(const uint8_t* data, size_t size) {
    std::vector<char> line(data, data + size); // exact size: reads past it are caught
    const char* b = line.data();
    const char* e = b + line.size();
    CFtpListEntry entry;
    entry.parse(b, line.size());
    Require(Inside(entry.name, b, e) && Inside(entry.date, b, e));
    if (entry.valid)
        Require(!entry.name.empty());
    else
        Require(!entry.isDir && entry.name.empty() && entry.date.empty() && entry.size == -1);
    Require(entry.size >= -1);
}

using Seen = std::vector<std::string>;

void Add(Seen& seen, const CFtpListEntry& e, const CString& name) {
    Require(!name.empty() && name.find_first_of("\r\n") == std::string::npos);
    seen.push_back((e.isDir ? "d" : "f") + name);
}

// The splitting rules spelled out with CString operations, one byte at a time.
Seen ReferenceSplit(const char* b, size_t size) {
    Seen seen;
    CString line;
    CFtpListEntry entry;
    for (size_t i = 0; i < size; ++i) {
        line += b[i];
        if (b[i] != '\n')
            continue;
        line.Trim();
        line.Replace("\r\n", "");
        entry.parse(line);
        if (entry.valid) {
            CString name = entry.name.text();
            name.Replace("\r", "");
            name.Replace("\n", "");
            if (!name.empty())
                seen.push_back((entry.isDir ? "d" : "f") + name);
        }
        line = "";
    }
    return seen;
}

void CheckSplitter(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    // The first byte chooses the block size; the rest is the listing.
    const size_t block = 1 + data[0] % 64;
    std::vector<char> listing(data + 1, data + size);
    const char* b = listing.data();
    const char* e = b + listing.size();

    Seen whole;
    CListingSplitter::split(b, listing.size(), [&](const CFtpListEntry& en, const CString& n) {
        Require(Inside(en.name, b, e) && Inside(en.date, b, e));
        Add(whole, en, n);
    });
    Seen blocks;
    CListingSplitter splitter(
        [&](const CFtpListEntry& en, const CString& n) { Add(blocks, en, n); });
    for (size_t at = 0; at < listing.size(); at += block)
        splitter.addBytes(b + at, std::min(block, listing.size() - at));
    splitter.finish();
    Require(blocks == whole);
    Require(ReferenceSplit(b, listing.size()) == whole);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckOneLine(data, size);
    CheckSplitter(data, size);
    return 0;
}
