#include "search/SearchWalk.h"

#include "engine/CallBackController.h"
#include "panes/TreePath.h"
#include "transfer/ListingSplitter.h"
#include "transfer/RetrCommand.h"

#include <algorithm>
#include <utility>

namespace {

// The part of folder below root ("" for root itself); false when folder is not below root.
bool belowRoot(const CString& root, const CString& folder, CString& rest) {
    if (folder == root) {
        rest.clear();
        return true;
    }
    const CString prefix = !root.empty() && root.back() == '/' ? root : CString(root + "/");
    if (folder.compare(0, prefix.size(), prefix) != 0)
        return false;
    rest = folder.substr(prefix.size());
    return true;
}

// Path elements of a relative path ("" has none).
std::vector<CString> elementsOf(const CString& relative) {
    std::vector<CString> elements;
    size_t start = 0;
    while (start <= relative.size() && !relative.empty()) {
        const size_t slash = relative.find('/', start);
        if (slash == std::string::npos) {
            elements.push_back(relative.substr(start));
            break;
        }
        elements.push_back(relative.substr(start, slash - start));
        start = slash + 1;
    }
    return elements;
}

CString joinLocal(const CString& folder, const CString& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        return folder + name;
    return folder + "\\" + name;
}

} // namespace

CString SearchResultPath(const SearchResult& result) {
    return JoinRemotePath(result.folder, result.name);
}

bool SearchRelativePath(const CString& root, const SearchResult& result, CString& relative) {
    CString rest;
    if (!belowRoot(root, result.folder, rest))
        return false;
    relative = rest.empty() ? result.name : CString(rest + "/" + result.name);
    return true;
}

void CSearchWalk::stop(const CString& why) {
    if (m_stopReason.empty())
        m_stopReason = why.empty() ? CString("stopped") : why;
}

bool CSearchWalk::complete() const {
    return !stopped() && m_waitingCount == 0;
}

bool CSearchWalk::addListing(const CString& folder, const CString& mode,
                             const std::vector<char>& listing,
                             const std::function<void(const CString& path)>& listFolder) {
    if (mode == "N" || mode == "N1") {
        m_searchResults.clear();
        m_searchRoot = folder;
        m_stopReason.clear();
        m_firstWaiting = 0;
        m_waitingCount = 0;
        ++m_generation;
    } else {
        if (stopped())
            return false;
        // Folders wait in the order they were found, and the queue lists them in that order:
        // the one listed is almost always the first still waiting, so the search starts there.
        auto isWaiting = [](const SearchResult& r) { return r.isDir && !r.expanded; };
        while (m_firstWaiting < m_searchResults.size() &&
               !isWaiting(m_searchResults[m_firstWaiting]))
            ++m_firstWaiting;
        auto waiting =
            std::find_if(m_searchResults.begin() + static_cast<std::ptrdiff_t>(m_firstWaiting),
                         m_searchResults.end(), [&](const SearchResult& r) {
                             return isWaiting(r) && SearchResultPath(r) == folder;
                         });
        if (waiting == m_searchResults.end())
            return false;
        waiting->expanded = true;
        --m_waitingCount;
    }
    CString rest;
    if (!belowRoot(m_searchRoot, folder, rest))
        return false;
    // The level of this listing's entries below the root.
    const int depth = static_cast<int>(elementsOf(rest).size()) + 1;
    const CString where = folder;
    CListingSplitter::split(
        listing.data(), listing.size(), [&](const CFtpListEntry& entry, const CString& name) {
            if (stopped() || name == "." || name == "..")
                return;
            // A name holding "/" is no single entry: joined to a path it would name another.
            if (name.find('/') != std::string::npos) {
                ControllerTrace("Search: left out \"" + name + "\" in " + where, TRACE_COMMAND);
                return;
            }
            if (m_searchResults.size() >= m_maxEntries) {
                stop(FormatString("the tree holds more than %lu entries",
                                  static_cast<unsigned long>(m_maxEntries)));
                return;
            }
            SearchResult result;
            result.name = name;
            result.folder = where;
            result.isLink = entry.isLink;
            result.isDir = entry.isDir && !entry.isLink;
            if (result.isDir && depth > m_maxDepth) {
                stop(FormatString("the tree is deeper than %d levels", m_maxDepth));
                return;
            }
            m_searchResults.push_back(result);
            if (result.isDir) {
                ++m_waitingCount;
                listFolder(SearchResultPath(result));
            }
        });
    return true;
}

std::vector<SearchRequest> SearchDeleteOrder(const std::vector<SearchResult>& chosen) {
    std::vector<SearchRequest> requests;
    std::vector<std::pair<size_t, CString>> folders; // depth, path
    for (const SearchResult& result : chosen) {
        const CString path = SearchResultPath(result);
        if (result.isDir)
            folders.emplace_back(std::count(path.begin(), path.end(), '/'), path);
        else
            requests.push_back({"DELE", path});
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& folder : folders)
        requests.push_back({"RMD", folder.second});
    return requests;
}

SearchDownload SearchDownloadPlan(const CString& root, const SearchResult& result,
                                  const CString& localDir) {
    SearchDownload plan;
    const CString remote = SearchResultPath(result);
    CString relative;
    if (!SearchRelativePath(root, result, relative)) {
        plan.refused = "Not downloaded: " + remote + " is not inside " + root;
        return plan;
    }
    const std::vector<CString> elements = elementsOf(relative);
    for (const CString& element : elements) {
        if (!IsSafeLocalName(element)) {
            plan.refused = "Not downloaded: the name \"" + element + "\" of " + remote +
                           " would not stay inside the folder " + localDir;
            return plan;
        }
    }
    CString local = localDir;
    for (size_t i = 0; i + 1 < elements.size(); ++i) {
        local = joinLocal(local, elements[i]);
        plan.folders.push_back(local);
    }
    if (result.isDir) {
        plan.folders.push_back(joinLocal(local, result.name));
    } else {
        plan.remotePath = remote;
        plan.localFolder = local;
    }
    return plan;
}
