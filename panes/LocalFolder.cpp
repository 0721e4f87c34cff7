#include "panes/LocalFolder.h"

#include <windows.h>

CString JoinLocalPath(const CString& folder, const CString& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        return folder + name;
    return folder + "\\" + name;
}

std::vector<LocalEntry> ReadLocalFolder(const CString& folder) {
    std::vector<LocalEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(JoinLocalPath(folder, "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return entries;
    do {
        LocalEntry entry;
        entry.name = data.cFileName;
        if (entry.name == "." || entry.name == "..")
            continue;
        entry.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entries.push_back(entry);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}
