// Listings as the engine reads them: lines from other FTP clients' test suites, whole and
// damaged (data/listing-corpus.tsv), listings captured from pyftpdlib and vsftpd (data/*.lst,
// read as data/server-listings.txt says), and blocks of any size.
#include "transfer/ListingSplitter.h"

#include "tests/unit/Table.h"

TW_TABLE(k_listing_corpus_tsv)
TW_TABLE(k_pyftpdlib_list_lst)
TW_TABLE(k_vsftpd_list_lst)
TW_TABLE(k_server_listings_txt)

namespace {

// One entry a line: kind, size, date and the name between brackets.
std::string Line(const CFtpListEntry& e, const CString& name) {
    return std::string(e.isDir    ? "dir"
                       : e.isLink ? "link"
                                  : "file") +
           "\t" + std::to_string(e.size) + "\t" + e.date.text() + "\t[" + name + "]\n";
}

std::string Describe(const std::string& listing, bool brief = false) {
    std::string out;
    auto add = [&](const CFtpListEntry& e, const CString& name) {
        out += brief ? (e.isDir ? "dir[" : "file[") + name + "]" : Line(e, name);
    };
    CListingSplitter::split(listing.data(), listing.size(), add);
    return out;
}

// Line breaks, tabs, blanks and NULs dropped in anywhere: whatever comes out lies inside the
// text it came from, and a name is never empty nor holds a line break. The first fault, or "".
std::string Damage(const std::string& line) {
    for (size_t at = 0; at <= line.size(); ++at)
        for (char c : {'\r', '\n', '\t', ' ', '\0'})
            for (std::string text : {line, line + "\r\n"}) {
                text.insert(at, 1, c);
                std::vector<char> exact(text.begin(), text.end()); // reads past it are caught
                const char *b = exact.data(), *e = b + exact.size();
                auto inside = [&](const CListPiece& p) {
                    return p.empty() || (p.begin >= b && p.begin <= p.end && p.end <= e);
                };
                bool ok = true;
                CListingSplitter::split(b, exact.size(),
                                        [&](const CFtpListEntry& en, const CString& n) {
                                            ok = ok && inside(en.name) && inside(en.date) &&
                                                 !n.empty() && n.find_first_of("\r\n") == n.npos;
                                        });
                if (!ok)
                    return text;
            }
    return "";
}

const std::string kUnix = "-rw-r--r--   1 ftp      ftp         1024 Mar 03 14:07 ";

} // namespace

// Each line gives the entry its peer expects, or ours (columns 8-10) where our reading
// differs; damaged, it still gives nothing from outside itself.
TEST(ListingCorpus, EachLineGivesItsEntryOrNone) {
    int rows = 0;
    for (const TableRow& row : TableRows(k_listing_corpus_tsv_text())) {
        const std::vector<std::string>& f = row.f;
        if (f[0] == "source") // the header
            continue;
        SCOPED_TRACE("listing-corpus.tsv:" + std::to_string(row.line) + " " + f[10]);
        ASSERT_EQ(f.size(), 11u);
        const bool ours = !f[7].empty();
        const std::string expected =
            (ours ? f[7] : f[2]) != "1"
                ? ""
                : ((ours ? f[8] : f[3]) == "1" ? "dir[" : "file[") + (ours ? f[9] : f[4]) + "]";
        for (const char* end : {"\r\n", "\n"})
            EXPECT_EQ(Describe(f[5] + end, true), expected);
        EXPECT_EQ(Damage(f[5]), "");
        ++rows;
    }
    EXPECT_GT(rows, 400);
}

TEST(ListingSplitter, RealServerListings) {
    EXPECT_EQ("== pyftpdlib\n" + Describe(k_pyftpdlib_list_lst_text()) + "== vsftpd\n" +
                  Describe(k_vsftpd_list_lst_text()),
              k_server_listings_txt_text());
}

TEST(ListingSplitter, BlocksOfAnySizeGiveTheSameEntriesAndACutLastLineIsDropped) {
    const std::string listing = "total 3\r\n  " + kUnix + "first file\r\n" +
                                "11-05-03  02:14PM       <DIR>          up load\n" +
                                "+i42.7,m1070000000,r,s2048,\treadme.txt\r\n" +
                                "LOGS.DIR;1  2  3-NOV-2003 11:20 [FTP] (RWE,RWE,RE,RE)\r\n" +
                                kUnix + "last\r\n" + kUnix + "cut";
    const std::string whole = Describe(listing);
    for (size_t block = 1; block <= listing.size(); ++block) {
        std::string got;
        CListingSplitter splitter(
            [&](const CFtpListEntry& e, const CString& name) { got += Line(e, name); });
        size_t count = 0;
        for (size_t at = 0; at < listing.size(); at += block)
            count += splitter.addBytes(listing.data() + at, std::min(block, listing.size() - at));
        EXPECT_EQ(splitter.finish(), kUnix.size() + 3) << block; // the dropped line
        EXPECT_EQ(count, 5u) << block;
        // After finish a new listing starts: the dropped line does not join the next bytes.
        splitter.addBytes("x\r\n", 3);
        EXPECT_EQ(got, whole) << "blocks of " << block;
    }
}
