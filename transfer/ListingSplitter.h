#pragma once
// Cuts the bytes of a directory listing into lines and hands every line that is a directory
// entry to a consumer. Lines end at each line feed; blanks in front of a line are dropped, the
// line's CR LF is removed, and a line feed without CR stays on the line for the parser (so
// blanks in front of the line break belong to the name). Bytes after the last line feed are
// never parsed.
//
// Listings can be hundreds of MiB: complete lines are parsed where they lie, and only a line
// that straddles two blocks is copied.
#include "common/CString.h"
#include "transfer/FtpListEntry.h"

#include <cstddef>
#include <functional>

class CListingSplitter {
public:
    // Called once per entry. The entry's pieces and the name live only during the call; the
    // name is the entry's name with every CR and LF removed, and never empty.
    using Consumer = std::function<void(const CFtpListEntry& entry, const CString& name)>;

    explicit CListingSplitter(Consumer consumer);

    // Feeds the next block of the listing. Returns the number of entries handed over.
    size_t addBytes(const char* data, size_t length);
    // Ends the listing: an unfinished last line (no line feed) is dropped, and the next bytes
    // start a new listing. Returns how many bytes were dropped.
    size_t finish();

    // Splits a whole collected listing in one go. Returns the number of entries handed over.
    static size_t split(const char* data, size_t length, const Consumer& consumer);

private:
    // Parses the complete lines of [data, data + length); returns where the unfinished rest
    // begins.
    const char* parseLines(const char* data, size_t length, size_t& entries);
    // One line, its line feed included; true when it was handed over as an entry.
    bool handleLine(const char* b, const char* e);

    Consumer m_consumer;
    CString m_partial; // the start of a line whose line feed has not come yet
    CFtpListEntry m_entry;
    CString m_name; // reused, so names cost no allocation once it has grown
};
