// The splitter between the collected bytes of a listing and its consumers: line ends, blanks,
// blocks of any size, listings captured from real servers, and damaged lines.
#include "transfer/ListingSplitter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Listings captured from pyftpdlib and vsftpd (LIST of a folder and of its sub-folder "pub",
// for vsftpd also "LIST -a pub"), byte for byte. The folder held files, folders, symbolic
// links, names with blanks at the start, inside and at the end, and sparse files of 3 GiB and
// 5,000,000,000 bytes; two entries were dated 2003 so the year form appears.
extern const unsigned char kPyftpdlibListing[];
extern const size_t kPyftpdlibListing_size;
extern const unsigned char kVsftpdListing[];
extern const size_t kVsftpdListing_size;
extern const unsigned char kServerListings[];
extern const size_t kServerListings_size;

namespace {

struct Seen {
    bool isDir = false;
    std::string name;
    bool isLink = false;
    int64_t size = -1;
    std::string date;
    bool operator==(const Seen& o) const {
        return isDir == o.isDir && name == o.name && isLink == o.isLink && size == o.size &&
               date == o.date;
    }
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << (s.isDir    ? "dir "
                  : s.isLink ? "link "
                             : "file ")
              << '"' << s.name << "\" " << s.size << " \"" << s.date << '"';
}

Seen Take(const CFtpListEntry& e, const CString& name) {
    return {e.isDir, name, e.isLink, e.size, e.date.text()};
}

std::vector<Seen> Split(const std::string& listing) {
    std::vector<Seen> out;
    CListingSplitter::split(
        listing.data(), listing.size(),
        [&](const CFtpListEntry& e, const CString& name) { out.push_back(Take(e, name)); });
    return out;
}

std::vector<std::string> Names(const std::string& listing) {
    std::vector<std::string> names;
    for (const Seen& s : Split(listing))
        names.push_back(s.name);
    return names;
}

const std::string kUnix = "-rw-r--r--   1 ftp      ftp         1024 Mar 03 14:07 ";

} // namespace

TEST(ListingSplitter, BlanksAndLineEnds) {
    // Blanks go at the start of a line only; those in front of the line break stay.
    EXPECT_EQ(Names("   " + kUnix + "notes.txt  \r\n"), std::vector<std::string>{"notes.txt  "});
    // A bare line feed stays on the line for the parser and is removed from the name.
    EXPECT_EQ(Names(kUnix + "a\n" + kUnix + "b\r\n"), (std::vector<std::string>{"a", "b"}));
    // CR and LF characters left anywhere in a name are removed.
    EXPECT_EQ(Names(kUnix + "a\rb\r\r\n"), std::vector<std::string>{"ab"});
    EXPECT_EQ(Names("+/,\tx\r\n"), std::vector<std::string>{"x"});
    // A name made of line ends only names nothing.
    EXPECT_EQ(Names(kUnix + "\r\r\n" + "+/,\t\n"), std::vector<std::string>{});
    // Headers, totals, blank lines and an empty listing give nothing.
    EXPECT_EQ(Names("total 12\r\n\r\n   \r\n\n"), std::vector<std::string>{});
    EXPECT_EQ(Names(""), std::vector<std::string>{});
}

TEST(ListingSplitter, LastLineWithoutLineFeedIsNotParsed) {
    const std::string listing = kUnix + "a\r\n" + kUnix + "b";
    EXPECT_EQ(Names(listing), std::vector<std::string>{"a"});

    std::vector<std::string> names;
    CListingSplitter splitter(
        [&](const CFtpListEntry&, const CString& name) { names.push_back(name); });
    EXPECT_EQ(splitter.addBytes(listing.data(), listing.size()), 1u);
    EXPECT_EQ(splitter.finish(), kUnix.size() + 1);
    // After finish a new listing starts: the dropped line does not join the next bytes.
    const std::string next = "c\r\n" + kUnix + "d\r\n";
    EXPECT_EQ(splitter.addBytes(next.data(), next.size()), 1u);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "d"}));
}

TEST(ListingSplitter, BlocksOfAnySizeGiveTheSameEntries) {
    const std::string listing = "total 3\r\n  " + kUnix + "first file\r\n" +
                                "11-05-03  02:14PM       <DIR>          up load\n" +
                                "+i42.7,m1070000000,r,s2048,\treadme.txt\r\n" +
                                "LOGS.DIR;1  2  3-NOV-2003 11:20 [FTP] (RWE,RWE,RE,RE)\r\n" +
                                kUnix + "last\r\n" + kUnix + "cut";
    const std::vector<Seen> whole = Split(listing);
    ASSERT_EQ(whole.size(), 5u);
    for (size_t block = 1; block <= listing.size(); ++block) {
        std::vector<Seen> got;
        CListingSplitter splitter(
            [&](const CFtpListEntry& e, const CString& name) { got.push_back(Take(e, name)); });
        size_t count = 0;
        for (size_t at = 0; at < listing.size(); at += block)
            count += splitter.addBytes(listing.data() + at, std::min(block, listing.size() - at));
        EXPECT_EQ(splitter.finish(), kUnix.size() + 3);
        EXPECT_EQ(count, whole.size());
        EXPECT_EQ(got, whole) << "blocks of " << block;
    }
}

// What the splitter reads from them is in tests/data/server-listings.txt, one entry a line.
TEST(ListingSplitter, RealServerListings) {
    auto describe = [](const std::string& listing) {
        std::string out;
        for (const Seen& s : Split(listing))
            out += std::string(s.isDir ? "dir" : s.isLink ? "link" : "file") + "\t" +
                   std::to_string(s.size) + "\t" + s.date + "\t[" + s.name + "]\n";
        return out;
    };
    const std::string expected(reinterpret_cast<const char*>(kServerListings),
                               kServerListings_size);
    const size_t vs = expected.find("== vsftpd\n");
    ASSERT_NE(vs, std::string::npos);
    EXPECT_EQ(describe(std::string(reinterpret_cast<const char*>(kPyftpdlibListing),
                                   kPyftpdlibListing_size)),
              expected.substr(13, vs - 13));
    EXPECT_EQ(describe(std::string(reinterpret_cast<const char*>(kVsftpdListing),
                                   kVsftpdListing_size)),
              expected.substr(vs + 10));
}

// Line breaks, tabs, blanks and NULs dropped into lines anywhere: whatever comes out must lie
// inside the text it came from and obey the record's rules.
TEST(ListingSplitter, DamagedLinesStayInside) {
    const std::vector<std::string> lines = {
        kUnix + "notes.txt",
        "lrwxrwxrwx   1 ftp      ftp            9 Feb 14 09:30 docs -> pub/docs",
        "drwxrwxr-x               folder        4 Jun 21  2001 images",
        "d [RWCEAFMS] admin               512       Nov 02 10:15    archive",
        "+i42.7,m1070000000,/,\tincoming",
        "11-05-03  02:14PM       <DIR>          upload",
        "11-05-03  08:45AM                 2048 index.htm",
        "LOGS.DIR;1          2  3-NOV-2003 11:20 [FTP] (RWE,RWE,RE,RE)",
    };
    const char inserts[] = {'\r', '\n', '\t', ' ', '\0'};
    auto check = [](const std::string& text) {
        std::vector<char> exact(text.begin(), text.end());
        const char* b = exact.data();
        const char* e = b + exact.size();
        CFtpListEntry entry;
        entry.parse(b, exact.size());
        if (!entry.valid) {
            EXPECT_FALSE(entry.isDir);
            EXPECT_TRUE(entry.name.empty());
        } else {
            EXPECT_TRUE(entry.name.begin >= b && entry.name.begin < entry.name.end &&
                        entry.name.end <= e);
            EXPECT_TRUE(entry.date.empty() || (entry.date.begin >= b && entry.date.end <= e &&
                                               entry.date.begin <= entry.date.end));
        }
        CListingSplitter::split(b, exact.size(), [&](const CFtpListEntry& en, const CString& n) {
            EXPECT_TRUE(en.name.begin >= b && en.name.end <= e);
            EXPECT_FALSE(n.empty());
            EXPECT_EQ(n.find_first_of("\r\n"), std::string::npos);
        });
    };
    for (const std::string& line : lines) {
        for (size_t at = 0; at <= line.size(); ++at) {
            for (char c : inserts) {
                SCOPED_TRACE(line + " @" + std::to_string(at) + " #" + std::to_string(int(c)));
                std::string damaged = line;
                damaged.insert(at, 1, c);
                check(damaged);
                check(damaged + "\r\n");
            }
        }
    }
}
