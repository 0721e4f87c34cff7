#pragma once
// The system's string: a std::string of 8-bit text with the few helpers the engine and the
// window code use everywhere. Positions and counts are ints; -1 means "not found".
#include <string>
#include <vector>

class CString : public std::string {
public:
    CString() = default;
    CString(const char* text) : std::string(text ? text : "") {}
    CString(const char* text, size_t length) : std::string(text, length) {}
    CString(size_t count, char ch) : std::string(count, ch) {}
    CString(const std::string& text) : std::string(text) {}
    CString(std::string&& text) : std::string(std::move(text)) {}
    CString(const CString&) = default;
    CString(CString&&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) = default;
    CString& operator=(const char* text) {
        assign(text ? text : "");
        return *this;
    }
    virtual ~CString();

    int GetLength() const { return static_cast<int>(size()); }
    bool IsEmpty() const { return empty(); }

    // First n characters; all when n >= length; empty when n <= 0.
    CString Left(int n) const;
    // From first to the end / count characters from first. Empty when first is past the end
    // or count <= 0; a negative first counts from 0.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Last n characters; all when n >= length; empty when n <= 0.
    CString Right(int n) const;

    int Find(char ch, int start = 0) const;
    int Find(const char* text, int start = 0) const;
    int ReverseFind(char ch) const;

    // Replaces every non-overlapping occurrence of oldText, scanning on behind each inserted
    // text (so a replacement never feeds the search). Returns the number of replacements.
    int Replace(const char* oldText, const char* newText);
    int Replace(char oldCh, char newCh);

    // Blanks only (' '); tabs and line ends stay.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { return TrimRight().TrimLeft(); }

    // printf-style formatting of any length (%s, %d, %ld and the rest of printf).
    void Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
};

// The lines of a text, each without its LF or CR LF; a last line without a line end counts.
std::vector<CString> SplitLines(const std::string& text);

// A formatted CString in one expression.
CString FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
