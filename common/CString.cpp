#include "common/CString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

CString::~CString() = default;

CString CString::Left(int n) const {
    if (n <= 0)
        return CString();
    return CString(substr(0, static_cast<size_t>(n)));
}

CString CString::Mid(int first) const {
    if (first < 0)
        first = 0;
    if (static_cast<size_t>(first) >= size())
        return CString();
    return CString(substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const {
    if (first < 0)
        first = 0;
    if (count <= 0 || static_cast<size_t>(first) >= size())
        return CString();
    return CString(substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int n) const {
    if (n <= 0)
        return CString();
    if (static_cast<size_t>(n) >= size())
        return *this;
    return CString(substr(size() - static_cast<size_t>(n)));
}

int CString::Find(char ch, int start) const {
    if (start < 0)
        start = 0;
    size_t at = find(ch, static_cast<size_t>(start));
    return at == npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text, int start) const {
    if (start < 0)
        start = 0;
    if (static_cast<size_t>(start) > size())
        return -1;
    size_t at = find(text ? text : "", static_cast<size_t>(start));
    return at == npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    size_t at = rfind(ch);
    return at == npos ? -1 : static_cast<int>(at);
}

int CString::Replace(const char* oldText, const char* newText) {
    if (!oldText || !*oldText)
        return 0;
    if (!newText)
        newText = "";
    const size_t oldLen = strlen(oldText);
    size_t at = find(oldText);
    if (at == npos)
        return 0;
    // Build the result in one pass so long texts with many matches stay linear.
    std::string out;
    out.reserve(size());
    size_t from = 0;
    int count = 0;
    while (at != npos) {
        out.append(*this, from, at - from);
        out.append(newText);
        from = at + oldLen;
        ++count;
        at = find(oldText, from);
    }
    out.append(*this, from, npos);
    assign(std::move(out));
    return count;
}

int CString::Replace(char oldCh, char newCh) {
    int count = 0;
    for (char& c : *this) {
        if (c == oldCh) {
            c = newCh;
            ++count;
        }
    }
    return count;
}

CString& CString::TrimLeft() {
    size_t first = find_first_not_of(' ');
    erase(0, first == npos ? size() : first);
    return *this;
}

CString& CString::TrimRight() {
    size_t last = find_last_not_of(' ');
    erase(last == npos ? 0 : last + 1);
    return *this;
}

static std::string formatList(const char* format, va_list args) {
    if (!format)
        return std::string();
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int needed = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    assign(formatList(format, args));
    va_end(args);
}

std::vector<CString> SplitLines(const std::string& text) {
    std::vector<CString> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        if (end > start && text[end - 1] == '\r')
            --end;
        lines.emplace_back(text.substr(start, end - start));
        start = next;
    }
    return lines;
}

CString FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString out(formatList(format, args));
    va_end(args);
    return out;
}
