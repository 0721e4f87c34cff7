// The remote search's rules: where a result stands below the search's folder and where its
// download may go, the order of a deletion, and what the walk makes of a server's listings.
#include "search/SearchWalk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SearchResult found(const char* folder, const char* name, bool isDir, bool isLink = false) {
    return SearchResult{name, folder, isDir, false, isLink};
}

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
    {"/", "/x", " b.txt", false, "x/ b.txt", "C:\\Dl\\x", "C:\\Dl\\x"},
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
        const SearchResult result = found(c.folder, c.name, c.isDir);
        CString relative;
        ASSERT_EQ(SearchRelativePath(c.root, result, relative), c.relative != nullptr);
        EXPECT_EQ(relative, c.relative ? c.relative : "");
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

TEST(SearchDeleteOrder, FilesAndLinksFirstThenFoldersDeepestFirst) {
    const std::vector<SearchResult> chosen = {
        found("/p", "Data", true),
        found("/p", "a.txt ", false),
        found("/p/Data", "Old", true),
        found("/p", "root", false, true),
        found("/p/Data/Old", "c.txt", false),
        found("/p/Data/Old", "Z", true),
    };
    const std::vector<SearchRequest> expected = {
        {"DELE", "/p/a.txt "},    {"DELE", "/p/root"},    {"DELE", "/p/Data/Old/c.txt"},
        {"RMD", "/p/Data/Old/Z"}, {"RMD", "/p/Data/Old"}, {"RMD", "/p/Data"},
    };
    EXPECT_EQ(SearchDeleteOrder(chosen), expected);
}

// A walk from /top, one level deep at most: dots and links are never listed, a listing is
// taken once and only for a folder the walk found, and the level below the bound stops it.
TEST(SearchWalk, ListsFoldersOnlyOnceNeverLinksAndStopsAtItsDepth) {
    const char top[] = "drwxr-xr-x 2 u g 0 Jan 01 10:00 .\r\n"
                       "drwxr-xr-x 2 u g 0 Jan 01 10:00 ..\r\n"
                       "drwxr-xr-x 2 u g 0 Jan 01 10:00 Sub\r\n"
                       "lrwxrwxrwx 1 u g 1 Jan 01 10:00 root -> /\r\n"
                       "+/,m1,\t../../etc\r\n"
                       "-rw-r--r-- 1 u g 5 Jan 01 10:00 a.txt \r\n";
    const char sub[] = "drwxr-xr-x 2 u g 0 Jan 01 10:00 Deeper\r\n";
    CSearchWalk walk;
    walk.m_maxDepth = 1;
    std::vector<CString> listed;
    auto add = [&](const char* folder, const char* mode, const char* text) {
        return walk.addListing(folder, mode, std::vector<char>(text, text + strlen(text)),
                               [&](const CString& path) { listed.push_back(path); });
    };
    EXPECT_TRUE(add("/top", "N1", top));
    EXPECT_EQ(listed, std::vector<CString>{"/top/Sub"});
    ASSERT_EQ(walk.m_searchResults.size(), 3u);
    EXPECT_TRUE(walk.m_searchResults[1].isLink && !walk.m_searchResults[1].isDir);
    EXPECT_EQ(walk.m_searchResults[2].name, "a.txt ");
    EXPECT_FALSE(add("/top/Other", "Y", sub));
    EXPECT_FALSE(walk.complete());

    EXPECT_TRUE(add("/top/Sub", "Y", ""));
    EXPECT_FALSE(add("/top/Sub", "Y", sub)) << "a second listing of the same folder";
    EXPECT_TRUE(walk.complete());

    EXPECT_TRUE(add("/top", "N", top)); // a new walk
    EXPECT_TRUE(add("/top/Sub", "Y", sub));
    EXPECT_EQ(walk.m_stopReason, "the tree is deeper than 1 levels");
    EXPECT_FALSE(walk.complete());
    EXPECT_EQ(listed.size(), 2u);
}

} // namespace
