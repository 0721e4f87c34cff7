#pragma once
// The file-system seam: the few operations the engine needs, with 64-bit sizes, implemented
// once per platform (Files_win.cpp, Files_posix.cpp). Paths are in the platform's own form;
// "/" works as a separator on both.
#include "common/CString.h"

#include <cstdint>
#include <functional>
#include <string>

namespace files {

bool Exists(const CString& path);
bool IsFolder(const CString& path);
// Size in bytes, or -1 when the file does not exist or cannot be read.
int64_t Size(const CString& path);
// What tells one version of a file from the next without reading it: size, time of the last
// write (in the platform's finest unit) and, where the system has one, the file's identity
// (a file replaced by a rename is another file). False when the file does not exist.
struct FileStamp {
    int64_t size = -1;
    int64_t modified = 0;
    int64_t identity = 0;
    bool operator==(const FileStamp& o) const {
        return size == o.size && modified == o.modified && identity == o.identity;
    }
};
bool Stamp(const CString& path, FileStamp& out);
bool Remove(const CString& path);
// The user's read-only mark (Windows attribute; elsewhere: no write permission for anyone).
// Renaming over such a file would succeed on POSIX and under Wine, so callers ask first.
bool IsReadOnly(const CString& path);
bool SetReadOnly(const CString& path, bool readOnly);
// Renames within one folder, replacing an existing target in one step.
bool RenameReplace(const CString& from, const CString& to);
bool CreateFolder(const CString& path);
// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateFolders(const CString& path);
bool RemoveFolder(const CString& path);

// Calls visit(name, isFolder, size) for every entry but "." and "..". False when the folder
// cannot be read.
bool Enumerate(const CString& folder,
               const std::function<void(const CString& name, bool isFolder, int64_t size)>& visit);

bool ReadAll(const CString& path, std::string& out);
// Writes a temporary file beside the target, flushes it to disk and renames it over the
// target, so a crash leaves either the old or the new content, never a mix. The file is
// private to the user (it may hold passwords).
bool WriteAllAtomic(const CString& path, const std::string& data);

// The folder part of a path ("" when there is none), accepting "/" and "\".
CString ParentFolder(const CString& path);

// One open file with 64-bit positions and no buffering of our own: every write reaches the
// system at once, so what a failure leaves on disk is exactly what was written.
class CLocalFile {
public:
    enum Mode {
        ReadOnly,      // an existing file
        WriteTruncate, // created or cut to zero length
        ReadWriteKeep, // created when missing, content kept
    };
    CLocalFile() = default;
    ~CLocalFile() { Close(); }
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;

    bool Open(const CString& path, Mode mode);
    // False when closing reported an error (data may not have reached the disk).
    bool Close();
    bool IsOpen() const { return m_handle != kNoHandle; }
    // Bytes read (0 at the end), or -1 on an error.
    int Read(void* buffer, int count);
    // True only when every byte was written.
    bool Write(const void* data, int count);
    bool Seek(int64_t position);
    bool SeekToEnd();
    int64_t Position() const;
    int64_t Size() const;

private:
    static constexpr intptr_t kNoHandle = -1;
    intptr_t m_handle = kNoHandle;
};

} // namespace files
