// The remote search's rules: where a result stands below the search's folder and where its
// download may go, and what the walk makes of a server's listings and deletes of it.
#include "search/SearchWalk.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SearchResult found(const char* folder, const char* name, bool isDir, bool isLink = false) {
    return SearchResult{name, folder, isDir, false, isLink};
}

// Where a result stands below the root ("outside": not below it), then the download into C:\Dl:
// the local folders made and the folder a file goes into (empty for a folder), or "refused".
struct PathCase {
    const char *root, *folder, *name;
    bool isDir;
    const char* expected;
};

const PathCase kPaths[] = {
    {"/pub", "/pub", "a.txt", false, "a.txt => into C:\\Dl"},
    {"/pub", "/pub/Data/Old", "b.txt", false,
     "Data/Old/b.txt => C:\\Dl\\Data C:\\Dl\\Data\\Old into C:\\Dl\\Data\\Old"},
    {"/pub", "/pub/Data", "Old", true, "Data/Old => C:\\Dl\\Data C:\\Dl\\Data\\Old into "},
    {"/", "/", "etc", true, "etc => C:\\Dl\\etc into "},
    {"/", "/x", " b.txt", false, "x/ b.txt => C:\\Dl\\x into C:\\Dl\\x"},
    {"/pub", "/pubx", "a", false, "outside => refused "},
    // Folder names no listing of ours gives, as a server could still make them appear.
    {"/pub", "/pub/..", "passwd", false, "../passwd => refused "},
    {"/pub", "/pub/C:", "boot.ini", false, "C:/boot.ini => refused "},
    {"/pub", "/pub/a\\..\\..", "x", false, "a\\..\\../x => refused "},
    {"/pub", "/pub", "..", true, ".. => refused "},
};

TEST(SearchPaths, RelativeToTheRootAndDownloadsStayInsideTheLocalFolder) {
    for (const PathCase& c : kPaths) {
        const SearchResult result = found(c.folder, c.name, c.isDir);
        CString relative, made;
        const bool below = SearchRelativePath(c.root, result, relative);
        const SearchDownload plan = SearchDownloadPlan(c.root, result, "C:\\Dl");
        for (const CString& folder : plan.folders)
            made += folder + " ";
        const CString into = plan.refused.empty() ? made + "into " + plan.localFolder
                                                  : "refused " + made + plan.remotePath;
        EXPECT_EQ((below ? relative : CString("outside")) + " => " + into, c.expected);
        EXPECT_EQ(plan.remotePath,
                  c.isDir || !plan.refused.empty() ? "" : SearchResultPath(result));
    }
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
    // Deleted as found: files and links by their names as listed, then the folders.
    EXPECT_EQ(SearchDeleteOrder(walk.m_searchResults),
              (std::vector<SearchRequest>{
                  {"DELE", "/top/root"}, {"DELE", "/top/a.txt "}, {"RMD", "/top/Sub"}}));

    EXPECT_TRUE(add("/top", "N", top)); // a new walk
    EXPECT_TRUE(add("/top/Sub", "Y", sub));
    EXPECT_EQ(walk.m_stopReason, "the tree is deeper than 1 levels");
    EXPECT_FALSE(walk.complete());
    EXPECT_EQ(listed.size(), 2u);
}

} // namespace
