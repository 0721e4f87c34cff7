#include "transfer/FtpListEntry.h"

#include <cstring>

namespace {

// Moves p to the next c; false when the line ends first.
bool SkipTo(const char*& p, const char* e, char c) {
    const void* at = p < e ? std::memchr(p, c, static_cast<size_t>(e - p)) : nullptr;
    p = at ? static_cast<const char*>(at) : e;
    return p < e;
}

// Moves p past a run of c; false when the line ends there.
bool SkipRun(const char*& p, const char* e, char c) {
    while (p < e && *p == c)
        ++p;
    return p < e;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A size the panes can show and sort by: plain decimal digits that fit a signed 64-bit value.
// Anything else ("33.5k", "-528", "******", twenty digits) is unknown rather than a wrong number.
int64_t ReadSize(const char* b, const char* e) {
    if (b == e)
        return -1;
    uint64_t value = 0;
    for (const char* p = b; p < e; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9 || value > (static_cast<uint64_t>(INT64_MAX) - digit) / 10)
            return -1;
        value = value * 10 + digit;
    }
    return static_cast<int64_t>(value);
}

// Where the name of a link ends: before the first " -> " (what follows is the link target).
const char* FindArrow(const char* b, const char* e) {
    const char* p = b;
    while (SkipTo(p, e, ' ') && e - p >= 4) {
        if (p[1] == '-' && p[2] == '>' && p[3] == ' ')
            return p;
        ++p;
    }
    return nullptr;
}

// Or-ing 0x20 into a byte equals a lower-case letter exactly when the byte is that letter in
// either case, so keys built this way compare case-blind without making other bytes match.
constexpr uint32_t MonthKey(unsigned char a, unsigned char b, unsigned char c) {
    return (static_cast<uint32_t>(a | 0x20) << 16) | (static_cast<uint32_t>(b | 0x20) << 8) |
           static_cast<uint32_t>(c | 0x20);
}

constexpr uint32_t kMonthKeys[12] = {
    MonthKey('j', 'a', 'n'), MonthKey('f', 'e', 'b'), MonthKey('m', 'a', 'r'),
    MonthKey('a', 'p', 'r'), MonthKey('m', 'a', 'y'), MonthKey('j', 'u', 'n'),
    MonthKey('j', 'u', 'l'), MonthKey('a', 'u', 'g'), MonthKey('s', 'e', 'p'),
    MonthKey('o', 'c', 't'), MonthKey('n', 'o', 'v'), MonthKey('d', 'e', 'c')};

} // namespace

int CFtpListEntry::monthIndex(const char* token, size_t length) {
    if (length != 3)
        return -1;
    const auto* t = reinterpret_cast<const unsigned char*>(token);
    const uint32_t key = MonthKey(t[0], t[1], t[2]);
    for (int i = 0; i < 12; ++i) {
        if (key == kMonthKeys[i])
            return i;
    }
    return -1;
}

uint64_t CFtpListEntry::readNumber(const char* token, size_t length) {
    uint64_t value = 0;
    for (size_t i = 0; i < length; ++i)
        value = value * 10 + static_cast<uint64_t>(static_cast<unsigned char>(token[i]) - '0');
    return value;
}

void CFtpListEntry::reset() {
    *this = CFtpListEntry();
}

void CFtpListEntry::parse(const CString& line) {
    parse(line.data(), line.size());
}

void CFtpListEntry::parse(const char* line, size_t length) {
    reset();
    if (!line || length == 0)
        return;
    const char* b = line;
    const char* e = line + length;
    bool ok = false;
    switch (*b) {
    case '+':
        ok = parseEplf(b, e);
        break;
    case '-':
    case 'b':
    case 'c':
    case 'd':
    case 'l':
    case 'p':
    case 's':
        ok = parseUnix(b, e);
        break;
    default:
        if (std::memchr(b, ';', length))
            ok = parseVms(b, e);
        else if (IsDigit(*b))
            ok = parseMsDos(b, e);
        break;
    }
    // An entry without a name cannot be shown, fetched or entered; a folder with an empty name
    // would even make a tree walk list its own parent ("dir/") again and again.
    if (ok && !name.empty()) {
        valid = true;
        entryLine = {b, e};
    } else {
        reset();
    }
}

// "+" facts separated by "," up to a tab, then the name: "+i8388621.48594,m825718503,r,s280,\tname"
bool CFtpListEntry::parseEplf(const char* b, const char* e) {
    if (e - b < 2)
        return false;
    layout = ListLayout::Eplf;
    const char* p = b + 1;
    while (p < e) {
        if (*p == '\t') {
            name = {p + 1, e};
            return true;
        }
        const char* fact = p;
        while (p < e && *p != ',' && *p != '\t')
            ++p;
        switch (*fact) { // "r" (retrievable) and "i" (identifier) say nothing we keep
        case '/':
            isDir = true;
            break;
        case 's':
            size = ReadSize(fact + 1, p);
            break;
        case 'm':
            date = {fact + 1, p};
            break;
        default:
            break;
        }
        if (p < e && *p == ',')
            ++p;
    }
    return false;
}

// Permissions, link count, owner, group, size, month, day, time or year, name; the states
// below let the group column be missing, the owner and group hold blanks, and a word such as
// "folder" stand in place of link count and owner. Only the month anchors the date.
bool CFtpListEntry::parseUnix(const char* b, const char* e) {
    if (e - b < 2)
        return false;
    isDir = *b == 'd';
    isLink = *b == 'l';
    const bool netWare = b[1] == ' ' || b[1] == '[';
    layout = netWare ? ListLayout::NetWare : ListLayout::Unix;
    enum { Perms, Links, Owner, FirstSize, SizeOrMonth, Day, TimeOrYear };
    int state = Perms;
    const char* sizeBegin = nullptr;
    const char* sizeEnd = nullptr;
    const char* month = nullptr;
    const char* tok = b; // never a blank: tokens start after a run of blanks
    for (;;) {
        const char* p = tok + 1;
        while (p < e && *p != ' ')
            ++p;
        if (p == e)
            return false; // this token never ends, so the line ends before the name
        const size_t n = static_cast<size_t>(p - tok);
        switch (state) {
        case Perms:
            state = Links;
            break;
        case Links:
            if (n == 6 && *tok == 'f') {
                state = FirstSize;
                layout = ListLayout::UnixFolderWord;
            } else {
                state = Owner;
            }
            break;
        case Owner:
            state = FirstSize;
            break;
        case FirstSize:
            sizeBegin = tok;
            sizeEnd = p;
            state = SizeOrMonth;
            break;
        case SizeOrMonth:
            if (monthIndex(tok, n) >= 0) {
                month = tok;
                state = Day;
            } else {
                sizeBegin = tok;
                sizeEnd = p;
            }
            break;
        case Day:
            state = TimeOrYear;
            break;
        default: // TimeOrYear: "9:30", "14:07" and years are all at least 4 long
            if (n < 4)
                return false;
            date = {month, p};
            size = ReadSize(sizeBegin, sizeEnd);
            // The name starts right after the one blank that ended the time or year.
            name = {p + 1, e};
            if (isLink) {
                if (const char* arrow = FindArrow(name.begin, name.end))
                    name.end = arrow;
            }
            if (netWare && name.length() > 3 && name.begin[0] == ' ' && name.begin[1] == ' ' &&
                name.begin[2] == ' ')
                name.begin += 3; // NetWare pads the name column with three blanks
            return true;
        }
        tok = p + 1;
        if (!SkipRun(tok, e, ' '))
            return false;
    }
}

// NAME.EXT;version  size  day-MON-year hour:minute... e.g. "LOGS.DIR;1  2  3-NOV-2003 11:20 [FTP]"
//
// The name is the text before ";version", and a folder's name also loses ".DIR". That is what
// a user knows the entry by and what the server takes back: RETR of "README.TXT" fetches the
// newest version, and in a path a folder goes by "LOGS", not by the "LOGS.DIR" file that holds
// it. Keeping ";1" would also put a ";" into every local file a download creates. The case is
// kept as the server sent it.
bool CFtpListEntry::parseVms(const char* b, const char* e) {
    layout = ListLayout::Vms;
    const char* semi = static_cast<const char*>(std::memchr(b, ';', static_cast<size_t>(e - b)));
    isDir = semi - b >= 5 && std::memcmp(semi - 4, ".DIR", 4) == 0;
    name = {b, isDir ? semi - 4 : semi};
    const char* p = semi;
    if (!SkipTo(p, e, ' ') || !SkipRun(p, e, ' ')) // version
        return false;
    if (!SkipTo(p, e, ' ') || !SkipRun(p, e, ' ')) // size in blocks
        return false;
    const char* day = p;
    if (!SkipTo(p, e, '-') || !SkipRun(p, e, '-'))
        return false;
    const char* month = p;
    if (!SkipTo(p, e, '-') || monthIndex(month, static_cast<size_t>(p - month)) < 0 ||
        !SkipRun(p, e, '-'))
        return false;
    if (!SkipTo(p, e, ' ') || !SkipRun(p, e, ' ')) // year
        return false;
    if (!SkipTo(p, e, ':') || !SkipRun(p, e, ':')) // hour
        return false;
    while (p < e && *p != ':' && *p != ' ') // minute
        ++p;
    if (p == e)
        return false;
    while (p < e && *p != ' ' && *p != '\r' && *p != '\n') // seconds and hundredths, if any
        ++p;
    date = {day, p};
    return true;
}

// "11-05-03  02:14PM       <DIR>          upload" or "11-05-03  08:45AM     2048 index.htm".
// The date and time values are not checked; their shape finds where the name begins.
bool CFtpListEntry::parseMsDos(const char* b, const char* e) {
    layout = ListLayout::MsDos;
    const char* p = b;
    if (!SkipTo(p, e, '-') || !SkipRun(p, e, '-')) // month
        return false;
    if (!SkipTo(p, e, '-') || !SkipRun(p, e, '-')) // day
        return false;
    if (!SkipTo(p, e, ' ') || !SkipRun(p, e, ' ')) // year
        return false;
    if (!SkipTo(p, e, ':') || !SkipRun(p, e, ':')) // hour
        return false;
    // The minutes end at the A or P of "AM"/"PM", or, in the 24-hour form servers also send
    // ("13:08  <DIR>  Program Files"), at the blank: ending only at A or P would run on into
    // the size or the name and read a folder as a file named after the rest of its name.
    while (p < e && *p != 'A' && *p != 'P' && *p != ' ') // minute
        ++p;
    if (p == e)
        return false;
    if (*p == 'A' || *p == 'P') {
        ++p;
        if (p < e && *p == 'M')
            ++p;
    }
    date = {b, p};
    if (!SkipRun(p, e, ' '))
        return false;
    isDir = *p == '<'; // "<DIR>" or any other mark in angle brackets
    const char* sizeBegin = p;
    if (!SkipTo(p, e, ' '))
        return false;
    if (!isDir)
        size = ReadSize(sizeBegin, p);
    if (!SkipRun(p, e, ' '))
        return false;
    name = {p, e};
    return true;
}
