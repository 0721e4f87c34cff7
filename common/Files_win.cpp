#include "common/Files.h"

#include <windows.h>

#include <algorithm>

namespace files {

static bool attributes(const CString& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

bool Exists(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes(path, data);
}

bool IsFolder(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t Size(const CString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributes(path, data))
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Remove(const CString& path) { return DeleteFileA(path.c_str()) != 0; }

bool RenameReplace(const CString& from, const CString& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool CreateFolder(const CString& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool RemoveFolder(const CString& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool Enumerate(const CString& folder,
               const std::function<void(const CString&, bool, int64_t)>& visit) {
    WIN32_FIND_DATAA data;
    CString pattern = folder + "\\*";
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    do {
        CString name(data.cFileName);
        if (name == "." || name == "..")
            continue;
        int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        visit(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, size);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return true;
}

bool WriteAllAtomic(const CString& path, const std::string& data) {
    CString temp = FormatString("%s.tmp%lu", path.c_str(), GetCurrentProcessId());
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        DWORD written = 0;
        ok = WriteFile(file, data.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (ok)
        ok = MoveFileExA(temp.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}

} // namespace files
