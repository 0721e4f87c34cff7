#pragma once
// An INI text held as its lines, read and changed with the semantics of the Windows profile
// functions: section and key names match without regard to case, keys and values are trimmed
// of blanks and tabs, a value wrapped in matching quotes is read without them, comment lines
// (";") and lines that are not "key=value" are kept as they are and never match. A change
// touches only the one line it concerns; every other line is written back unchanged.
#include <string>
#include <vector>

class CIniFile {
public:
    CIniFile() = default;
    explicit CIniFile(const std::string& text) { Parse(text); }

    void Parse(const std::string& text);
    // The text to store: every line ended with CR LF.
    std::string Text() const;

    // True when section/key exists; value receives its text.
    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);

private:
    // Index of the section's header line, or -1.
    int FindSection(const std::string& section) const;
    // Index of the key's line inside the section starting at header, or -1.
    int FindKey(int header, const std::string& key) const;
    // One past the last line that belongs to the section starting at header.
    int SectionEnd(int header) const;

    std::vector<std::string> m_lines;
};
