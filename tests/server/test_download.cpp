// Uploads and downloads with pyftpdlib and vsftpd in passive and active mode, requested as the
// window requests them: byte-exact results, progress and traces; then, on one server, a
// resumption beyond 4 GiB and remote names that must not write outside the chosen folder.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/CallBackController.h"

#include <algorithm>
#include <cstdlib>

using namespace testing_support;
using namespace transfer_test;

namespace {

class DownloadTest : public RealServerTest {
protected:
    void SetUp() override {
        RealServerTest::SetUp();
        ASSERT_TRUE(logOn());
    }
    CString lastProgress(const CString& name) const {
        CString last;
        for (const CString& text : progress())
            if (text.find(" of " + name + " received") != std::string::npos)
                last = text;
        return last;
    }
};

// Files go up and come back through the queue as the window requests them.
TEST_P(DownloadTest, FilesGoUpAndComeBackByteExactWithProgressAndTraces) {
    struct Case {
        const char* name;
        size_t size;
        const char* kbytes; // the last download progress line's kilobyte number
    };
    const Case cases[] = {{"empty.bin", 0, "0"},
                          {"f999.bin", 999, "0"},
                          {"f1000.bin", 1000, "1"},
                          {"f4000.bin", 4000, "4"},
                          {"big.bin", 3 << 20, "3145"}};
    TempDir downloads;
    std::vector<std::string> contents;
    for (const Case& c : cases) {
        contents.push_back(RandomBytes(c.size, static_cast<uint32_t>(c.size) + 1));
        ASSERT_TRUE(WriteFile(local.file(c.name), contents.back()));
    }
    // Existing files of the same name are replaced; an empty partial file is a fresh start.
    ASSERT_TRUE(WriteFile(remoteFile("f4000.bin"), "an older f4000.bin on the server"));
    ASSERT_TRUE(WriteFile(downloads.file("f4000.bin"), "an older f4000.bin"));
    ASSERT_TRUE(WriteFile(downloads.file("big.bin.TarnwickPart"), ""));

    const CString up = localFolder();
    CString down = downloads.path();
    down.Replace("\\", "/");
    for (const Case& c : cases)
        upload(local.file(c.name), "/");
    for (size_t i = 0; i < 5; ++i)
        // One remote path without a folder: the whole path is the name.
        download(i == 1 ? CString(cases[i].name) : CString("/") + cases[i].name, down);
    queue.submit("UpdateLocalListCommand", down, "");
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_FALSE(sent("REST"));
    for (size_t i = 0; i < 5; ++i) {
        const CString name = cases[i].name;
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadFile(remoteFile(cases[i].name)) == contents[i]);
        EXPECT_TRUE(ReadFile(downloads.file(cases[i].name)) == contents[i]);
        EXPECT_FALSE(files::Exists(downloads.file((name + ".TarnwickPart").c_str())));
        // The root folder joined with the name: two slashes, as the window has always sent.
        EXPECT_TRUE(sent("STOR //" + name));
        // Upload progress tells what was sent before each round of sending: from 0 upwards,
        // never past the file.
        std::vector<int> kbytes;
        for (const CString& text : progress())
            if (text.find(" kbytes of " + name + " sent") != std::string::npos)
                kbytes.push_back(atoi(text.c_str()));
        ASSERT_FALSE(kbytes.empty());
        EXPECT_EQ(kbytes.front(), 0);
        EXPECT_TRUE(std::is_sorted(kbytes.begin(), kbytes.end()));
        EXPECT_LE(kbytes.back(), static_cast<int>(cases[i].size / 1000));
        EXPECT_EQ(lastProgress(name),
                  CString(cases[i].kbytes) + " kbytes of " + name + " received");
        const long long size = static_cast<long long>(cases[i].size);
        EXPECT_EQ(controller.tracedLevel("Writing File " + name + " from " + up + " to / >>>"),
                  TRACE_COMMAND);
        EXPECT_TRUE(controller.traced(FormatString("Finished Writing File %s/%s count %lld >>>",
                                                   up.c_str(), name.c_str(), size)));
        EXPECT_EQ(controller.tracedLevel(FormatString(
                      "Finished Writing File %s/%s total len = %lld >>>", down.c_str(),
                      name.c_str(), size)),
                  TRACE_COMMAND);
    }
    // The progress event carries the kilobyte number alone as its reply text.
    for (const auto& note : controller.notesOf(EV_PROGRESS))
        EXPECT_EQ(note.text.Left(note.reply.GetLength() + 1), note.reply + " ");
    ASSERT_EQ(controller.count(EV_REFRESH_LOCAL), 1);
    EXPECT_EQ(controller.notesOf(EV_REFRESH_LOCAL)[0].text, down);
}

INSTANTIATE_TEST_SUITE_P(Servers, DownloadTest, ::testing::ValuesIn(kAllServerModes),
                         ServerModeName);

class DownloadOnce : public DownloadTest {};

// A name the server hands over is used inside the chosen folder or not at all.
TEST_P(DownloadOnce, RemoteNamesThatLeaveTheFolderAreRefusedBeforeAnythingIsSent) {
    ASSERT_TRUE(WriteFile(remoteFile("x"), "plain x"));
    ASSERT_TRUE(files::CreateFolder(local.file("dl")));
    CString folder = localFolder() + "/dl";
    const std::vector<std::string> parentBefore = Listing(local.path());

    const char* refused[] = {"..", "/pub/..", "a\\..\\..\\x", "C:x", "/C:x", "", "/pub/"};
    for (const char* path : refused) {
        SCOPED_TRACE(path);
        const size_t sentBefore = sentLines().size();
        const size_t errorsBefore = errors().size();
        download(path, folder);
        ASSERT_TRUE(runToIdle());
        EXPECT_EQ(sentLines(sentBefore), std::vector<CString>{"TYPE I"});
        ASSERT_EQ(errors().size(), errorsBefore + 1);
        EXPECT_EQ(errors().back().Left(15), "Not downloaded:") << errors().back();
        EXPECT_TRUE(Listing(local.file("dl")).empty());
        EXPECT_EQ(Listing(local.path()), parentBefore);
    }

    // "../x" names the file x: it lands in the folder.
    download("../x", folder);
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(Listing(local.file("dl")), std::vector<std::string>{"x 7"});
    EXPECT_EQ(Listing(local.path()), parentBefore);
}

// 64-bit sizes and restart points, without moving gigabytes: both files are holes up to the
// last few KiB, and only those are fetched.
TEST_P(DownloadOnce, AFileBeyondFourGiBResumesAtA64BitOffset) {
    const int64_t size = (int64_t{5} << 30) + 12345;
    const std::string tail = rig::PatternBytes(0, 40000);
    const int64_t restart = size - static_cast<int64_t>(tail.size());
    ASSERT_TRUE(WriteSparse(remoteFile("huge.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(local.file("huge.bin.TarnwickPart"), restart, ""));

    download("/huge.bin", localFolder());
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(sent(FormatString("REST %lld", static_cast<long long>(restart))));
    EXPECT_EQ(files::Size(local.file("huge.bin")), size);
    EXPECT_TRUE(ReadAt(local.file("huge.bin"), restart, 40000) == tail);
    EXPECT_EQ(ReadAt(local.file("huge.bin"), restart - 8, 8), std::string(8, '\0'));
    EXPECT_EQ(lastProgress("huge.bin"), FormatString("%lld kbytes of huge.bin received",
                                                     static_cast<long long>(size / 1000)));
}

INSTANTIATE_TEST_SUITE_P(Server, DownloadOnce,
                         ::testing::Values(ServerMode{ServerKind::Vsftpd, true}), ServerModeName);

} // namespace
