#pragma once
// The remote search: a breadth-first walk of a remote folder tree made of one queued folder
// listing per folder, and the rules of what the results dialog does with what it found.
// Nothing here touches a window or a socket, so all of it is built and tested natively.
//
// The server decides what the walk sees, and it is not trusted: a link is never followed (a
// link to "/" or to a parent would never end, and deleting through it would reach outside the
// tree), names that are no single path element are left out, and the walk stops at a depth
// and an entry count a real tree does not reach. A walk that stopped says why, and a picture
// that is not whole is never acted on by a recursive delete.
#include "common/CString.h"

#include <cstddef>
#include <functional>
#include <vector>

// How many folder levels below the folder where the search started are listed at most.
constexpr int kMaxSearchDepth = 64;
// How many entries one search collects at most.
constexpr size_t kMaxSearchEntries = 100000;

struct SearchResult {
    CString name;          // exactly as listed (line end removed)
    CString folder;        // the remote folder that holds it, as it was listed
    bool isDir = false;    // a folder (a link never counts as one)
    bool expanded = false; // a folder whose own listing has come back
    bool isLink = false;   // the listing marks it as a link
};

class CSearchWalk {
public:
    // Takes in one finished search listing of folder. mode "N" or "N1" starts a new walk at
    // folder; "Y" is a deeper level, taken only for a folder of this walk that has not been
    // listed yet (a late listing of an earlier walk, or a duplicate, changes nothing).
    // listFolder is called with the path of every sub-folder to list next, in listing order.
    // False when the listing was not taken in (no walk of it, or the walk stopped).
    bool addListing(const CString& folder, const CString& mode, const std::vector<char>& listing,
                    const std::function<void(const CString& path)>& listFolder);
    // Ends the walk: later listings are dropped. why is kept unless the walk already stopped.
    void stop(const CString& why);

    // Every folder found has been listed and nothing was cut off: the results are the whole
    // tree.
    bool complete() const;
    bool stopped() const { return !m_stopReason.empty(); }
    // Counts the walks started, so that a viewer can tell a new walk from a grown one.
    unsigned generation() const { return m_generation; }

    CString m_searchRoot;
    std::vector<SearchResult> m_searchResults;
    // The bounds; the named constants unless a caller narrows them.
    int m_maxDepth = kMaxSearchDepth;
    size_t m_maxEntries = kMaxSearchEntries;
    // Why the walk stopped early ("" while it may go on).
    CString m_stopReason;

private:
    unsigned m_generation = 0;
    size_t m_firstWaiting = 0; // no folder before this result waits for its listing
    size_t m_waitingCount = 0; // folders found and not listed yet
};

// The remote path of a result: its folder and name joined with "/".
CString SearchResultPath(const SearchResult& result);
// The result's path below root, "/"-separated without a leading "/" ("Data/Old" for the
// folder Old in /pub/Data, root /pub). False when the result is not below root.
bool SearchRelativePath(const CString& root, const SearchResult& result, CString& relative);

// One request for the queue.
struct SearchRequest {
    CString name; // "DELE" or "RMD"
    CString path;
    bool operator==(const SearchRequest& other) const {
        return name == other.name && path == other.path;
    }
};
// The deletion of the chosen results: every DELE (files, and links as themselves) in the
// order given, then every RMD, deepest folders first, so that each folder is empty when its
// RMD comes.
std::vector<SearchRequest> SearchDeleteOrder(const std::vector<SearchResult>& chosen);

// Where a downloaded result goes inside localDir.
struct SearchDownload {
    // The local folders to create, outermost first (for a folder row, down to itself).
    std::vector<CString> folders;
    // For a file: the remote file and the local folder it goes into; empty for a folder.
    CString remotePath;
    CString localFolder;
    // Why nothing may be done for this result (a name that would leave localDir); "" when
    // it is safe.
    CString refused;
};
// Local paths are joined with "\". Every element below localDir must be a safe local name
// (see IsSafeLocalName), or the result is refused whole.
SearchDownload SearchDownloadPlan(const CString& root, const SearchResult& result,
                                  const CString& localDir);
