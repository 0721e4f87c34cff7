#pragma once
// How the local panes and the folder upload read a folder: every entry but "." and "..",
// hidden and system ones included, in the order the file system gives them.
#include "common/CString.h"

#include <cstdint>
#include <vector>

struct LocalEntry {
    CString name;
    bool isDir = false;
    // A junction or symbolic link (a reparse point): followed, it may lead back up the tree.
    bool isLink = false;
    uint64_t size = 0;
};

// The entries of folder; empty when it cannot be read.
std::vector<LocalEntry> ReadLocalFolder(const CString& folder);
// folder and name joined with "\" (none added when folder already ends with one).
CString JoinLocalPath(const CString& folder, const CString& name);
