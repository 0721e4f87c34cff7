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

bool Stamp(const CString& path, FileStamp& out) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!attributes(path, data))
        return false;
    out.size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    out.modified = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                   data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool Remove(const CString& path) { return DeleteFileA(path.c_str()) != 0; }

bool IsReadOnly(const CString& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool SetReadOnly(const CString& path, bool readOnly) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                          : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return SetFileAttributesA(path.c_str(), attributes) != 0;
}

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

static HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool CLocalFile::Open(const CString& path, Mode mode) {
    Close();
    DWORD access = mode == ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = mode == ReadOnly        ? OPEN_EXISTING
                        : mode == WriteTruncate ? CREATE_ALWAYS
                                                : OPEN_ALWAYS;
    HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_handle = reinterpret_cast<intptr_t>(file);
    return true;
}

bool CLocalFile::Close() {
    if (m_handle == kNoHandle)
        return true;
    bool ok = CloseHandle(asHandle(m_handle)) != 0;
    m_handle = kNoHandle;
    return ok;
}

int CLocalFile::Read(void* buffer, int count) {
    DWORD got = 0;
    if (!ReadFile(asHandle(m_handle), buffer, static_cast<DWORD>(count), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

bool CLocalFile::Write(const void* data, int count) {
    DWORD written = 0;
    return WriteFile(asHandle(m_handle), data, static_cast<DWORD>(count), &written, nullptr) &&
           written == static_cast<DWORD>(count);
}

bool CLocalFile::Seek(int64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(asHandle(m_handle), to, nullptr, FILE_BEGIN) != 0;
}

bool CLocalFile::SeekToEnd() {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    return SetFilePointerEx(asHandle(m_handle), zero, nullptr, FILE_END) != 0;
}

int64_t CLocalFile::Position() const {
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(asHandle(m_handle), zero, &at, FILE_CURRENT))
        return -1;
    return at.QuadPart;
}

int64_t CLocalFile::Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(asHandle(m_handle), &size))
        return -1;
    return size.QuadPart;
}

} // namespace files
