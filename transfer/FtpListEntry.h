#pragma once
// One line of a server's directory listing, recognised in any of the layouts servers send:
// Unix "ls -l" (with its NetWare variant and the variant with a folder word in place of the
// link count), EPLF, VMS and MS-DOS. The text comes from the server and is never trusted: the
// parser reads only inside the line it is given, in one forward pass, and cannot fail other
// than by saying "not an entry".
#include "common/CString.h"

#include <cstddef>
#include <cstdint>

// A piece [begin, end) of the line that was parsed. Meaningful only while that line lives, so
// users copy the text out at once.
struct CListPiece {
    const char* begin = nullptr;
    const char* end = nullptr;

    size_t length() const { return static_cast<size_t>(end - begin); }
    bool empty() const { return begin == end; }
    CString text() const { return empty() ? CString() : CString(begin, length()); }
};

// Which layout recognised the line; it says how to read `date` (see there).
enum class ListLayout { None, Eplf, Unix, UnixFolderWord, NetWare, Vms, MsDos };

class CFtpListEntry {
public:
    // The line is a directory entry; when false the other fields mean nothing.
    bool valid = false;
    // The entry is a folder.
    bool isDir = false;
    // The entry's name. It runs to the end of the line unless the layout ends it sooner, so a
    // line that still carries its line end has it here too: users remove CR and LF.
    CListPiece name;
    // The whole line that was parsed (the details a pane shows beside the name).
    CListPiece entryLine;

    // What the line tells beyond that, for the panes and the search. None of it decides
    // whether a line is an entry, nor its name.
    ListLayout layout = ListLayout::None;
    // A Unix symbolic link ("l"); the " -> target" part is not in the name.
    bool isLink = false;
    // Size in bytes when the line gives it as plain decimal digits that fit; -1 otherwise.
    // VMS lines count blocks, not bytes, so their size stays -1.
    int64_t size = -1;
    // The date and time as the line writes them: "Mar 03 14:07" or "Oct 12  2003" (Unix,
    // NetWare, folder word), "11-05-03  02:14PM" (MS-DOS), "3-NOV-2003 11:20:05.12" (VMS), or
    // the seconds since 1970 of the "m" fact (EPLF). Empty when the line has none.
    CListPiece date;

    // Resets every field, then recognises the line (already cut and trimmed by the splitter).
    void parse(const CString& line);
    void parse(const char* line, size_t length);

    // Index 0 to 11 of a three-letter month name in any mix of cases ("jan", "Feb", "MAR");
    // -1 when the token is no month.
    static int monthIndex(const char* token, size_t length);
    // Reads a token as decimal, value = value * 10 + (c - '0') for every character, with no
    // check that the characters are digits (wrapping modulo 2^64 on absurd input). Sizes are
    // not read this way: a size that is no plain number must stay unknown, not become one.
    static uint64_t readNumber(const char* token, size_t length);

private:
    void reset();
    bool parseEplf(const char* b, const char* e);
    bool parseUnix(const char* b, const char* e);
    bool parseVms(const char* b, const char* e);
    bool parseMsDos(const char* b, const char* e);
};
