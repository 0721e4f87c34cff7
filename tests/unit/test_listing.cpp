// The listing-line parser on hand-written lines: every layout and its edge cases, the month and
// number rules, what the record keeps beyond the name, and never reading past the line.
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

void ExpectEntry(const std::string& line, bool isDir, const std::string& name) {
    SCOPED_TRACE("line: " + line);
    Parsed p = Parse(line);
    EXPECT_TRUE(p.valid);
    EXPECT_EQ(p.isDir, isDir);
    EXPECT_EQ(p.name, name);
}

void ExpectNoEntry(const std::string& line) {
    SCOPED_TRACE("line: " + line);
    Parsed p = Parse(line);
    EXPECT_FALSE(p.valid);
    EXPECT_FALSE(p.isDir);
    EXPECT_TRUE(p.name.empty());
}

} // namespace

TEST(ListEntry, UnixLayouts) {
    ExpectEntry("-rw-r--r--   1 ftp      ftp         1024 Mar 03 14:07 notes.txt", false,
                "notes.txt");
    ExpectEntry("drwxr-xr-x   3 ftp      ftp          512 Oct 12  2003 pub", true, "pub");
    ExpectEntry("drwxr-xr-x   3 ftp      512 Oct 12  2003 pub", true, "pub"); // no group
    ExpectEntry("lrwxrwxrwx   1 ftp      ftp            9 Feb 14 09:30 docs -> pub/docs", false,
                "docs");
    ExpectEntry("drwxrwxr-x               folder        4 Jun 21  2001 images", true, "images");
    ExpectEntry("d [RWCEAFMS] admin               512       Nov 02 10:15    archive", true,
                "archive");
    ExpectEntry("-rw-r--r--   1 ftp ftp 1 Mar 03 9:07 a", false, "a"); // one-digit hour
    ExpectEntry("prw-r--r--   1 ftp ftp 0 Mar 03 14:07 fifo", false, "fifo");
    // The name starts right after the blank that ends the time or year; inner blanks stay.
    ExpectEntry("-rw-r--r--   1 ftp ftp 1024 Mar 03  2003  two", false, " two");
    ExpectEntry("-rw-r--r--   1 ftp ftp 1024 Mar 03 14:07 my file.txt", false, "my file.txt");
    // Only NetWare lines lose blanks, and only three of them.
    ExpectEntry("d [RWCEAFMS] admin 512 Nov 02 10:15     five", true, " five");
    ExpectEntry("drwxr-xr-x 1 a b 512 Nov 02 10:15    three", true, "   three");
    // Only links lose " -> target"; a link without a target keeps its whole name.
    ExpectEntry("-rw-r--r-- 1 a b 1 Nov 02 10:15 a -> b", false, "a -> b");
    ExpectEntry("lrwxrwxrwx 1 a b 1 Nov 02 10:15 a->b", false, "a->b");
    ExpectEntry("lrwxrwxrwx 1 a b 1 Nov 02 10:15 a -> b -> c", false, "a");
    // A time or year shorter than 4 characters, a missing name and no month: no entry.
    ExpectNoEntry("drwxr-xr-x   3 ftp      ftp          512 Oct 12  12 pub");
    ExpectNoEntry("drwxr-xr-x   3 ftp      ftp          512 Oct 12  2003");
    ExpectNoEntry("drwxr-xr-x   3 ftp      ftp          512 Sept 12  2003 pub");
    ExpectNoEntry("total 12");
    ExpectNoEntry("d");
}

TEST(ListEntry, EplfFacts) {
    ExpectEntry("+i42.7,m1070000000,/,\tincoming", true, "incoming");
    ExpectEntry("+i42.7,m1070000000,r,s2048,\treadme.txt", false, "readme.txt");
    ExpectEntry("+/\tnamed", true, "named"); // the last fact needs no comma
    ExpectEntry("+\tplain", false, "plain");
    ExpectEntry("+r,\tname with\ttab", false, "name with\ttab");
    ExpectNoEntry("+i42.7,m1070000000,/,incoming"); // no tab
    ExpectNoEntry("+");
}

TEST(ListEntry, MsDosLayout) {
    ExpectEntry("11-05-03  02:14PM       <DIR>          upload", true, "upload");
    ExpectEntry("11-05-03  08:45AM                 2048 index.htm", false, "index.htm");
    ExpectEntry("11-05-2003  08:45AM  2048   my  file", false, "my  file");
    ExpectEntry("11-05-03  02:14P <DIR> p", true, "p"); // the M is optional
    ExpectNoEntry("11-05-03  02:14PM");
    ExpectNoEntry("11-05-03  02:14PM       ");
    ExpectNoEntry("11-05-03  02:14PM       <DIR>");
    ExpectNoEntry("11-05-03  02:14PM       <DIR>     ");
    // The 24-hour form: the minutes end at the blank.
    ExpectEntry("12-05-96  17:03         <DIR>          Program Files", true, "Program Files");
    ExpectEntry("11-05-03 02:14 2048 x", false, "x");
    ExpectNoEntry("11-05-03  17:03");
    ExpectNoEntry("11-05-03  17:03   ");
}

TEST(ListEntry, VmsLayout) {
    const char* logs = "LOGS.DIR;1          2  3-NOV-2003 11:20 [FTP] (RWE,RWE,RE,RE)";
    ExpectEntry(logs, true, "LOGS");
    ExpectEntry("README.TXT;4  2  18-apr-2000 10:40:39.90", false, "README.TXT");
    ExpectEntry("A.DIR;1 2 3-NOV-2003 11:20 x", true, "A");
    ExpectEntry(".DIR;1 2 3-NOV-2003 11:20 x", false, ".DIR"); // too short for a folder
    ExpectEntry("LOGS.dir;1 2 3-NOV-2003 11:20 x", false, "LOGS.dir");
    ExpectNoEntry("LOGS.DIR;1          2  3-NUV-2003 11:20 [FTP] (RWE,RWE,RE,RE)");
    ExpectNoEntry("LOGS.DIR;1          2  3-NOV-2003 11:20"); // the minutes never end
    ExpectNoEntry("Directory USER1:[TEMP]");
    ExpectNoEntry("Total of 1 file, 2 blocks.");
}

// A name that is empty names nothing; as a folder it would make a tree walk list "dir/",
// the folder itself, again and again.
TEST(ListEntry, EmptyNameIsNoEntry) {
    ExpectNoEntry("+i42.7,/,\t");
    ExpectNoEntry("drwxr-xr-x   3 ftp      ftp          512 Oct 12  2003 ");
    ExpectNoEntry("lrwxrwxrwx   1 ftp      ftp          512 Oct 12  2003  -> pub");
    ExpectNoEntry(";1 2 3-NOV-2003 11:20 x");
}

TEST(ListEntry, MonthLookup) {
    const char* months[] = {"jan", "FEB", "Mar", "aPr", "mAY", "JUN",
                            "jul", "Aug", "SEP", "oct", "Nov", "dEC"};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(CFtpListEntry::monthIndex(months[i], 3), i) << months[i];
    for (const char* no : {"Sept", "ja", "", "jaN ", "j@n", "J\xc1N", "1an", "Maj"})
        EXPECT_EQ(CFtpListEntry::monthIndex(no, std::char_traits<char>::length(no)), -1) << no;
    EXPECT_EQ(CFtpListEntry::monthIndex("Octo", 3), 9); // only the given length counts
}

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
