#include "common/Files.h"

#include <cstdio>

namespace files {

CString ParentFolder(const CString& path) {
    size_t at = path.find_last_of("/\\");
    if (at == std::string::npos)
        return CString();
    return path.Left(static_cast<int>(at));
}

bool CreateFolders(const CString& path) {
    if (path.empty())
        return false;
    if (IsFolder(path))
        return true;
    CString parent = ParentFolder(path);
    // Stop at roots ("/", "C:", "\\server") rather than recursing forever.
    if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == ':'))
        CreateFolders(parent);
    return CreateFolder(path) || IsFolder(path);
}

bool ReadAll(const CString& path, std::string& out) {
    out.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

} // namespace files
