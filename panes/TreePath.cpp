#include "panes/TreePath.h"

// Collapses every run of the separator to one (a single Replace pass would leave "//" of "///").
static void collapse(CString& path, char separator) {
    const char twice[] = {separator, separator, '\0'};
    const char once[] = {separator, '\0'};
    while (path.Find(twice) >= 0)
        path.Replace(twice, once);
}

CString JoinTreePath(const std::vector<CString>& texts, bool localPaths) {
    CString path;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            path += "/";
        path += texts[i];
    }
    if (localPaths) {
        path.Replace('/', '\\');
        collapse(path, '\\');
    } else {
        path.Replace('\\', '/');
        collapse(path, '/');
    }
    return path;
}

CString JoinRemotePath(const CString& folder, const CString& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}
