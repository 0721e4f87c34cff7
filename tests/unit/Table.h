// The tables of tests/data, compiled into the test program with tw_embed. One row a line,
// fields split at tabs; lines that are empty or start with "#" are notes. In a field "\t",
// "\r", "\n", "\\" and "\xNN" stand for those bytes and a field of just "" is empty.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#define TW_TABLE(symbol)                                                                       \
    extern const unsigned char symbol[];                                                       \
    extern const size_t symbol##_size;                                                         \
    static std::string symbol##_text() {                                                       \
        return std::string(reinterpret_cast<const char*>(symbol), symbol##_size);              \
    }

inline std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size() && s != "\"\""; ++i) {
        const char next = i + 1 < s.size() ? s[i + 1] : 0;
        if (s[i] == '\\' && next && std::string("trn\\").find(next) != std::string::npos)
            out += "\t\r\n\\"[std::string("trn\\").find(s[++i])];
        else if (s[i] == '\\' && next == 'x' && i + 3 < s.size() &&
                 s.find_first_not_of("0123456789abcdefABCDEF", i + 2) >= i + 4)
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16)), i += 3;
        else
            out += s[i];
    }
    return out;
}

struct TableRow {
    int line;                   // in the data file, for the failure message
    std::vector<std::string> f; // unescaped fields
};

inline std::vector<TableRow> TableRows(const std::string& text) {
    std::vector<TableRow> rows;
    int line = 0;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        const std::string row = text.substr(start, end - start);
        if (++line, row.empty() || row[0] == '#')
            continue;
        rows.push_back({line, {}});
        for (size_t from = 0, tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = row.find('\t', from);
            rows.back().f.push_back(Unescape(row.substr(from, tab - from)));
        }
    }
    return rows;
}

// Rows "operation <TAB> arguments... <TAB> expected": each operation computes its text from the
// arguments, which must equal the last field. An action instead takes every field after its
// name and only acts (a row "==<TAB>what" may start a new case).
using TableArgs = std::vector<std::string>;
using TableOps = std::map<std::string, std::function<std::string(const TableArgs&)>>;
using TableActions = std::map<std::string, std::function<void(const TableArgs&)>>;

inline void RunTable(const char* file, const std::string& text, const TableOps& ops,
                     const TableActions& actions = {}) {
    int rows = 0;
    for (const TableRow& row : TableRows(text)) {
        SCOPED_TRACE(std::string(file) + ":" + std::to_string(row.line));
        auto op = ops.find(row.f[0]);
        auto act = actions.find(row.f[0]);
        if (act != actions.end())
            act->second({row.f.begin() + 1, row.f.end()});
        else if (op != ops.end() && row.f.size() >= 2 && ++rows)
            EXPECT_EQ(op->second({row.f.begin() + 1, row.f.end() - 1}), row.f.back());
        else
            ADD_FAILURE() << "no such operation: " << row.f[0];
    }
    EXPECT_GT(rows, 0) << file;
}
