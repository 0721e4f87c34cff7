#include "transfer/ListingSplitter.h"

#include <algorithm>
#include <cstring>
#include <utility>

CListingSplitter::CListingSplitter(Consumer consumer) : m_consumer(std::move(consumer)) {}

size_t CListingSplitter::split(const char* data, size_t length, const Consumer& consumer) {
    CListingSplitter splitter(consumer);
    size_t entries = 0;
    if (data)
        splitter.parseLines(data, length, entries); // the unfinished rest is never parsed
    return entries;
}

size_t CListingSplitter::addBytes(const char* data, size_t length) {
    if (!data || length == 0)
        return 0;
    size_t entries = 0;
    const char* end = data + length;
    if (!m_partial.empty()) {
        const char* lf = static_cast<const char*>(std::memchr(data, '\n', length));
        if (!lf) {
            m_partial.append(data, length);
            return 0;
        }
        m_partial.append(data, static_cast<size_t>(lf + 1 - data));
        if (handleLine(m_partial.data(), m_partial.data() + m_partial.size()))
            ++entries;
        m_partial.clear();
        data = lf + 1;
    }
    const char* rest = parseLines(data, static_cast<size_t>(end - data), entries);
    m_partial.assign(rest, static_cast<size_t>(end - rest));
    return entries;
}

size_t CListingSplitter::finish() {
    const size_t dropped = m_partial.size();
    m_partial.clear();
    return dropped;
}

const char* CListingSplitter::parseLines(const char* data, size_t length, size_t& entries) {
    const char* p = data;
    const char* end = data + length;
    while (p < end) {
        const char* lf =
            static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!lf)
            break;
        if (handleLine(p, lf + 1))
            ++entries;
        p = lf + 1;
    }
    return p;
}

bool CListingSplitter::handleLine(const char* b, const char* e) {
    // Trimming both ends while the line feed is still the last character drops only the blanks
    // at the start: blanks in front of the line break stay part of the name.
    while (*b == ' ')
        ++b;
    // The only line feed is the last character, so at most one CR LF pair can be there.
    if (e - b >= 2 && e[-2] == '\r')
        e -= 2;
    m_entry.parse(b, static_cast<size_t>(e - b));
    if (!m_entry.valid)
        return false;
    const CListPiece& piece = m_entry.name;
    m_name.assign(piece.begin, piece.length());
    if (std::memchr(piece.begin, '\r', piece.length()) ||
        std::memchr(piece.begin, '\n', piece.length()))
        m_name.erase(std::remove_if(m_name.begin(), m_name.end(),
                                    [](char c) { return c == '\r' || c == '\n'; }),
                     m_name.end());
    if (m_name.empty())
        return false; // a name of nothing but line ends names nothing
    if (m_consumer)
        m_consumer(m_entry, m_name);
    return true;
}
