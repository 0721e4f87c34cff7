#include "common/Files.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

bool Exists(const CString& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsFolder(const CString& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t Size(const CString& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool Stamp(const CString& path, FileStamp& out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    out.size = static_cast<int64_t>(st.st_size);
    out.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    out.identity = static_cast<int64_t>(st.st_ino);
    return true;
}

bool Remove(const CString& path) { return unlink(path.c_str()) == 0; }

bool IsReadOnly(const CString& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SetReadOnly(const CString& path, bool readOnly) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return chmod(path.c_str(), mode) == 0;
}

bool RenameReplace(const CString& from, const CString& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool CreateFolder(const CString& path) { return mkdir(path.c_str(), 0777) == 0; }

bool RemoveFolder(const CString& path) { return rmdir(path.c_str()) == 0; }

bool Enumerate(const CString& folder,
               const std::function<void(const CString&, bool, int64_t)>& visit) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (struct dirent* entry = readdir(dir)) {
        CString name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st;
        CString full = folder + "/" + name;
        if (stat(full.c_str(), &st) != 0)
            continue;
        visit(name, S_ISDIR(st.st_mode), static_cast<int64_t>(st.st_size));
    }
    closedir(dir);
    return true;
}

bool WriteAllAtomic(const CString& path, const std::string& data) {
    CString temp = FormatString("%s.tmp%ld", path.c_str(), static_cast<long>(getpid()));
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        done += static_cast<size_t>(n);
    }
    bool ok = done == data.size() && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok)
        ok = rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        unlink(temp.c_str());
    return ok;
}

bool CLocalFile::Open(const CString& path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case ReadOnly: flags |= O_RDONLY; break;
    case WriteTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case ReadWriteKeep: flags |= O_RDWR | O_CREAT; break;
    }
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0)
        return false;
    m_handle = fd;
    return true;
}

bool CLocalFile::Close() {
    if (m_handle == kNoHandle)
        return true;
    bool ok = close(static_cast<int>(m_handle)) == 0;
    m_handle = kNoHandle;
    return ok;
}

int CLocalFile::Read(void* buffer, int count) {
    for (;;) {
        ssize_t n = read(static_cast<int>(m_handle), buffer, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<int>(n);
    }
}

bool CLocalFile::Write(const void* data, int count) {
    const char* at = static_cast<const char*>(data);
    size_t left = static_cast<size_t>(count);
    while (left > 0) {
        ssize_t n = write(static_cast<int>(m_handle), at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool CLocalFile::Seek(int64_t position) {
    return lseek(static_cast<int>(m_handle), static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool CLocalFile::SeekToEnd() { return lseek(static_cast<int>(m_handle), 0, SEEK_END) >= 0; }

int64_t CLocalFile::Position() const {
    return static_cast<int64_t>(lseek(static_cast<int>(m_handle), 0, SEEK_CUR));
}

int64_t CLocalFile::Size() const {
    struct stat st;
    if (fstat(static_cast<int>(m_handle), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

} // namespace files
