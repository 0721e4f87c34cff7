// Listing lines from other FTP clients' test suites (tests/data/listing-corpus.tsv), each with
// the result that client expects, or ours and the reason where our reading differs.
#include "transfer/ListingSplitter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

extern const unsigned char kListingCorpus[];
extern const size_t kListingCorpus_size;

namespace {

struct Row {
    int lineNo = 0;
    std::string source, layout, line, why;
    bool entry = false, dir = false;
    std::string name;
};

// "\t" is a tab and "\xNN" a raw byte; any other backslash is itself.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 't') {
            out += '\t';
            ++i;
        } else if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' &&
                   std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    return f;
}

std::vector<Row> LoadCorpus() {
    const std::string text(reinterpret_cast<const char*>(kListingCorpus), kListingCorpus_size);
    std::vector<Row> rows;
    size_t start = 0;
    int lineNo = 0;
    bool header = true;
    for (size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1) {
        const std::string line = text.substr(start, lf - start);
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        if (header) { // source layout is_entry is_dir name line note our_entry our_dir ...
            header = false;
            continue;
        }
        const std::vector<std::string> f = Fields(line);
        if (f.size() != 11) {
            ADD_FAILURE() << "corpus line " << lineNo << " has " << f.size() << " fields";
            continue;
        }
        Row r;
        r.lineNo = lineNo;
        r.source = f[0].substr(0, f[0].find_first_of(": "));
        r.layout = f[1];
        r.line = Unescape(f[5]);
        const bool ours = !f[7].empty();
        r.entry = (ours ? f[7] : f[2]) == "1";
        r.dir = (ours ? f[8] : f[3]) == "1";
        r.name = Unescape(ours ? f[9] : f[4]);
        r.why = f[10];
        rows.push_back(r);
    }
    return rows;
}

const std::vector<Row>& Corpus() {
    static const std::vector<Row> rows = LoadCorpus();
    return rows;
}

struct Got {
    int entries = 0;
    bool dir = false;
    std::string name;
};

Got SplitOne(const std::string& listing) {
    Got g;
    CListingSplitter::split(listing.data(), listing.size(),
                            [&](const CFtpListEntry& e, const CString& name) {
                                ++g.entries;
                                g.dir = e.isDir;
                                g.name = name;
                            });
    return g;
}

class ListingCorpus : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(ListingCorpus, Line) {
    const Row& r = GetParam();
    SCOPED_TRACE("line: [" + r.line + "]" + (r.why.empty() ? "" : " (ours: " + r.why + ")"));
    for (const char* end : {"\r\n", "\n"}) {
        const Got g = SplitOne(r.line + end);
        ASSERT_EQ(g.entries, r.entry ? 1 : 0) << (end[0] == '\r' ? "CRLF" : "LF");
        if (r.entry) {
            EXPECT_EQ(g.dir, r.dir);
            EXPECT_EQ(g.name, r.name);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, ListingCorpus, testing::ValuesIn(Corpus()),
                         [](const testing::TestParamInfo<Row>& row) {
                             std::string id = "r" + std::to_string(row.param.lineNo) + "_" +
                                              row.param.layout + "_" + row.param.source;
                             for (char& c : id) {
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return id;
                         });
