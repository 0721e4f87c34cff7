// The listing-line parser beyond what the line table (tests/data/listing-corpus.tsv, run by
// test_listing_corpus.cpp) checks: the month and number rules, what the record keeps beyond
// the name, and never reading past the line.
#include "transfer/FtpListEntry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Parses from a heap block of exactly the line's size, so a read past the line is caught by
// the address sanitizer instead of finding a terminating NUL.
struct Parsed {
    bool valid = false;
    bool isDir = false;
    std::string name;
    CFtpListEntry entry; // pieces point into `line`, whose block moves along with it
    std::vector<char> line;
};

Parsed Parse(const std::string& text) {
    Parsed p;
    p.line.assign(text.begin(), text.end());
    p.entry.parse(p.line.data(), p.line.size());
    p.valid = p.entry.valid;
    p.isDir = p.entry.isDir;
    p.name = p.entry.name.text();
    return p;
}

} // namespace

TEST(ListEntry, NumberRuleReadsAnyCharacters) {
    EXPECT_EQ(CFtpListEntry::readNumber("0", 1), 0u);
    EXPECT_EQ(CFtpListEntry::readNumber("5000000000", 10), 5000000000u);
    EXPECT_EQ(CFtpListEntry::readNumber("1a", 2), 10u + ('a' - '0'));
    EXPECT_EQ(CFtpListEntry::readNumber("12345", 2), 12u);
    // Absurd tokens wrap instead of overflowing.
    EXPECT_EQ(CFtpListEntry::readNumber("18446744073709551616", 20), 0u);
    EXPECT_EQ(CFtpListEntry::readNumber("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", 12),
              CFtpListEntry::readNumber("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", 12));
}

TEST(ListEntry, RecordKeepsSizeDateAndLayout) {
    struct Case {
        const char* line;
        ListLayout layout;
        int64_t size;
        const char* date;
    } cases[] = {
        {"-rw-r--r-- 1 a b 5000000000 Mar 03 14:07 big.iso", ListLayout::Unix, 5000000000,
         "Mar 03 14:07"},
        {"drwxr-xr-x 3 a 512 Oct 12  2003 pub", ListLayout::Unix, 512, "Oct 12  2003"},
        {"-rw-r--r-- 1 a b 9223372036854775807 Mar 03 14:07 x", ListLayout::Unix, INT64_MAX,
         "Mar 03 14:07"},
        {"-rw-r--r-- 1 a b 9223372036854775808 Mar 03 14:07 x", ListLayout::Unix, -1,
         "Mar 03 14:07"},
        {"-rw-r--r-- 1 a b 33.5k Mar 03 14:07 x", ListLayout::Unix, -1, "Mar 03 14:07"},
        {"drwxrwxr-x     folder  4 Jun 21  2001 images", ListLayout::UnixFolderWord, 4,
         "Jun 21  2001"},
        {"- [RWCEAFMS] admin 214059  Oct 20 15:27    x", ListLayout::NetWare, 214059,
         "Oct 20 15:27"},
        {"+i42.7,m1070000000,r,s2048,\tx", ListLayout::Eplf, 2048, "1070000000"},
        {"11-05-03  08:45AM      000002048 x", ListLayout::MsDos, 2048, "11-05-03  08:45AM"},
        {"11-05-03  02:14PM       <DIR>          x", ListLayout::MsDos, -1, "11-05-03  02:14PM"},
        {"X.TXT;1 4/6 3-NOV-2003 11:20:05.12 [FTP]", ListLayout::Vms, -1, "3-NOV-2003 11:20:05.12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Parsed p = Parse(c.line);
        ASSERT_TRUE(p.valid);
        EXPECT_EQ(p.entry.layout, c.layout);
        EXPECT_EQ(p.entry.size, c.size);
        EXPECT_EQ(p.entry.date.text(), c.date);
    }
    EXPECT_TRUE(Parse("lrwxrwxrwx 1 a b 9 Feb 14 09:30 docs -> pub").entry.isLink);
    EXPECT_FALSE(Parse("drwxrwxrwx 1 a b 9 Feb 14 09:30 docs -> pub").entry.isLink);
}

// A parse must never look past the length it is given, whatever follows in memory.
TEST(ListEntry, ReadsOnlyInsideTheLine) {
    const std::string text = "drwxr-xr-x 1 a b 1 Jan 1 2003 name";
    CFtpListEntry e;
    e.parse(text.data(), text.find("2003") + 4);
    EXPECT_FALSE(e.valid);
    const std::string eplf = "+/,\tname";
    e.parse(eplf.data(), 3);
    EXPECT_FALSE(e.valid);
    const std::string vms = "X;1 2 3-NOV-2003 11:20 x";
    e.parse(vms.data(), 1);
    EXPECT_FALSE(e.valid);
    e.parse(nullptr, 5);
    EXPECT_FALSE(e.valid);
    static const char withNul[] = "-rw-r--r-- 1 a b 1 Jan 1 2003 x\0y";
    e.parse(CString(withNul, sizeof withNul - 1));
    ASSERT_TRUE(e.valid); // a NUL is just a byte
    EXPECT_EQ(e.name.length(), 3u);
}
