// The remote search's rules: where a result stands below the search's folder and where its
// download may go, the order of a deletion, and what the walk makes of a server's listings.
#include "search/SearchWalk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct PathCase {
    const char* root;
    const char* folder;
    const char* name;
    bool isDir;
    const char* relative; // null: not below root
    // The download into C:\Dl: local folders made ("|" between them) and the folder a file
    // goes into (empty for a folder); null when it must be refused.
    const char* made;
    const char* into;
};

const PathCase kPaths[] = {
    {"/pub", "/pub", "a.txt", false, "a.txt", "", "C:\\Dl"},
    {"/pub", "/pub/Data/Old", "b.txt", false, "Data/Old/b.txt", "C:\\Dl\\Data|C:\\Dl\\Data\\Old",
     "C:\\Dl\\Data\\Old"},
    {"/pub", "/pub/Data", "Old", true, "Data/Old", "C:\\Dl\\Data|C:\\Dl\\Data\\Old", ""},
    {"/", "/", "etc", true, "etc", "C:\\Dl\\etc", ""},
    {"/", "/x", " b.txt ", false, "x/ b.txt ", "C:\\Dl\\x", "C:\\Dl\\x"},
    {"/pub", "/pubx", "a", false, nullptr, nullptr, nullptr},
    // Folder names no listing of ours gives, as a server could still make them appear.
    {"/pub", "/pub/..", "passwd", false, "../passwd", nullptr, nullptr},
    {"/pub", "/pub/C:", "boot.ini", false, "C:/boot.ini", nullptr, nullptr},
    {"/pub", "/pub/a\\..\\..", "x", false, "a\\..\\../x", nullptr, nullptr},
    {"/pub", "/pub", "..", true, "..", nullptr, nullptr},
};

TEST(SearchPaths, RelativeToTheRootAndDownloadsStayInsideTheLocalFolder) {
    for (const PathCase& c : kPaths) {
        SCOPED_TRACE(CString(c.folder) + " | " + c.name);
        SearchResult result;
        result.folder = c.folder;
        result.name = c.name;
        result.isDir = c.isDir;
        CString relative;
        ASSERT_EQ(SearchRelativePath(c.root, result, relative), c.relative != nullptr);
        if (c.relative) {
            EXPECT_EQ(relative, c.relative);
        }
        SearchDownload plan = SearchDownloadPlan(c.root, result, "C:\\Dl");
        if (!c.made) {
            EXPECT_FALSE(plan.refused.empty());
            EXPECT_TRUE(plan.folders.empty() && plan.remotePath.empty());
            continue;
        }
        EXPECT_EQ(plan.refused, "");
        CString made;
        for (const CString& folder : plan.folders)
            made += (made.empty() ? "" : "|") + folder;
        EXPECT_EQ(made, c.made);
        EXPECT_EQ(plan.localFolder, c.into);
        EXPECT_EQ(plan.remotePath, c.isDir ? CString() : SearchResultPath(result));
    }
}

SearchResult found(const char* folder, const char* name, bool isDir, bool isLink = false) {
    SearchResult result;
    result.folder = folder;
    result.name = name;
    result.isDir = isDir;
    result.isLink = isLink;
    return result;
}

TEST(SearchDeleteOrder, FilesAndLinksFirstThenFoldersDeepestFirst) {
    const std::vector<SearchResult> chosen = {
        found("/p", "Data", true),          found("/p", "a.txt ", false),
        found("/p/Data", "Old", true),      found("/p", "root", false, true),
        found("/p/Data/Old", "c.txt", false), found("/p/Data/Old", "Z", true),
    };
    const std::vector<SearchRequest> expected = {
        {"DELE", "/p/a.txt "}, {"DELE", "/p/root"},       {"DELE", "/p/Data/Old/c.txt"},
        {"RMD", "/p/Data/Old/Z"}, {"RMD", "/p/Data/Old"}, {"RMD", "/p/Data"},
    };
    EXPECT_EQ(SearchDeleteOrder(chosen), expected);
}

std::vector<char> listing(const char* text) { return std::vector<char>(text, text + strlen(text)); }

struct Walk {
    CSearchWalk walk;
    std::vector<CString> listed;
    bool add(const char* folder, const char* mode, const char* text) {
        return walk.addListing(folder, mode, listing(text),
                               [this](const CString& path) { listed.push_back(path); });
    }
};

const char kTop[] = "drwxr-xr-x 2 u g 0 Jan 01 10:00 .\r\n"
                    "drwxr-xr-x 2 u g 0 Jan 01 10:00 ..\r\n"
                    "drwxr-xr-x 2 u g 0 Jan 01 10:00 Sub\r\n"
                    "lrwxrwxrwx 1 u g 1 Jan 01 10:00 root -> /\r\n"
                    "lrwxrwxrwx 1 u g 1 Jan 01 10:00 up -> ..\r\n"
                    "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt \r\n";
const char kSub[] = "drwxr-xr-x 2 u g 0 Jan 01 10:00 Deeper\r\n"
                    "-rw-r--r-- 1 u g 5 Jan 01 10:00 b.txt\r\n";

TEST(SearchWalk, ListsFoldersOnlyNeverLinksAndTakesEachListingOnce) {
    Walk w;
    EXPECT_TRUE(w.add("/top", "N1", kTop));
    EXPECT_EQ(w.listed, std::vector<CString>{"/top/Sub"});
    ASSERT_EQ(w.walk.m_searchResults.size(), 4u);
    EXPECT_EQ(w.walk.m_searchResults[3].name, "a.txt ");
    EXPECT_TRUE(w.walk.m_searchResults[1].isLink);
    EXPECT_FALSE(w.walk.m_searchResults[1].isDir);
    EXPECT_FALSE(w.walk.complete());

    EXPECT_FALSE(w.add("/top/Other", "Y", kSub)) << "a folder this walk never found";
    EXPECT_TRUE(w.add("/top/Sub", "Y", kSub));
    EXPECT_FALSE(w.add("/top/Sub", "Y", kSub)) << "a second listing of the same folder";
    EXPECT_EQ(w.walk.m_searchResults.size(), 6u);
    EXPECT_TRUE(w.add("/top/Sub/Deeper", "Y", ""));
    EXPECT_TRUE(w.walk.complete());

    // From the server's root, paths do not start with "//".
    Walk root;
    root.add("/", "N", kSub);
    EXPECT_EQ(root.listed, std::vector<CString>{"/Deeper"});
}

TEST(SearchWalk, StopsAtItsBoundsAndSaysWhy) {
    Walk deep;
    deep.walk.m_maxDepth = 1;
    deep.add("/top", "N", kTop);
    deep.add("/top/Sub", "Y", kSub);
    EXPECT_TRUE(deep.walk.stopped());
    EXPECT_EQ(deep.walk.m_stopReason, "the tree is deeper than 1 levels");
    EXPECT_EQ(deep.listed, std::vector<CString>{"/top/Sub"});
    EXPECT_FALSE(deep.walk.complete());

    Walk wide;
    wide.walk.m_maxEntries = 3;
    wide.add("/top", "N", kTop);
    EXPECT_EQ(wide.walk.m_searchResults.size(), 3u);
    EXPECT_EQ(wide.walk.m_stopReason, "the tree holds more than 3 entries");
    EXPECT_FALSE(wide.add("/top/Sub", "Y", kSub)) << "a stopped walk takes nothing more";

    // A new walk starts afresh.
    EXPECT_TRUE(wide.add("/top", "N", kSub));
    EXPECT_FALSE(wide.walk.stopped());
    EXPECT_EQ(wide.walk.m_searchResults.size(), 2u);
}

} // namespace
