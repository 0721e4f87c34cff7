#include "settings/IniFile.h"

#include "common/CString.h"

#include <cctype>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& s, size_t from, size_t to) {
    while (from < to && isBlank(s[from]))
        ++from;
    while (to > from && isBlank(s[to - 1]))
        --to;
    return s.substr(from, to - from);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "[name]" lines: the name, trimmed. Returns false for any other line.
bool sectionName(const std::string& line, std::string& name) {
    size_t first = 0;
    while (first < line.size() && isBlank(line[first]))
        ++first;
    if (first >= line.size() || line[first] != '[')
        return false;
    size_t close = line.find(']', first + 1);
    name = trimmed(line, first + 1, close == std::string::npos ? line.size() : close);
    return true;
}

// "key=value" lines that are not comments. Returns false for any other line.
bool keyLine(const std::string& line, std::string& key, size_t& equals) {
    size_t first = 0;
    while (first < line.size() && isBlank(line[first]))
        ++first;
    if (first >= line.size() || line[first] == ';' || line[first] == '[')
        return false;
    equals = line.find('=', first);
    if (equals == std::string::npos)
        return false;
    key = trimmed(line, first, equals);
    return true;
}

} // namespace

void CIniFile::Parse(const std::string& text) {
    const std::vector<CString> lines = SplitLines(text);
    m_lines.assign(lines.begin(), lines.end());
}

std::string CIniFile::Text() const {
    std::string out;
    for (const std::string& line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

int CIniFile::FindSection(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (sectionName(m_lines[i], name) && sameName(name, section))
            return static_cast<int>(i);
    }
    return -1;
}

int CIniFile::SectionEnd(int header) const {
    std::string name;
    size_t i = static_cast<size_t>(header) + 1;
    while (i < m_lines.size() && !sectionName(m_lines[i], name))
        ++i;
    return static_cast<int>(i);
}

int CIniFile::FindKey(int header, const std::string& key) const {
    std::string name;
    size_t equals = 0;
    int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (keyLine(m_lines[static_cast<size_t>(i)], name, equals) && sameName(name, key))
            return i;
    }
    return -1;
}

bool CIniFile::Get(const std::string& section, const std::string& key, std::string& value) const {
    int header = FindSection(section);
    if (header < 0)
        return false;
    int at = FindKey(header, key);
    if (at < 0)
        return false;
    const std::string& line = m_lines[static_cast<size_t>(at)];
    value = trimmed(line, line.find('=') + 1, line.size());
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
}

void CIniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    int header = FindSection(section);
    if (header < 0) {
        if (!m_lines.empty() && !trimmed(m_lines.back(), 0, m_lines.back().size()).empty())
            m_lines.emplace_back();
        m_lines.push_back("[" + section + "]");
        m_lines.push_back(key + "=" + value);
        return;
    }
    int at = FindKey(header, key);
    if (at >= 0) {
        std::string& line = m_lines[static_cast<size_t>(at)];
        std::string name;
        size_t equals = 0;
        keyLine(line, name, equals);
        line = name + "=" + value;
        return;
    }
    // New key: after the section's last non-blank line, so the blank separator stays between
    // this section and the next.
    int end = SectionEnd(header);
    while (end > header + 1 && trimmed(m_lines[static_cast<size_t>(end - 1)], 0,
                                       m_lines[static_cast<size_t>(end - 1)].size())
                                   .empty())
        --end;
    m_lines.insert(m_lines.begin() + end, key + "=" + value);
}
