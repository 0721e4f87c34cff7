// Downloads from pyftpdlib and vsftpd in passive and active mode, requested as the window
// requests them: byte-exact results, progress and traces, resumption from a partial file,
// files beyond 4 GiB, and remote names that must not write outside the chosen folder.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/CallBackController.h"

#include <cstdlib>

using namespace testing_support;
using namespace transfer_test;

namespace {

class DownloadTest : public RealServerTest {
protected:
    // The first progress text of a file, and the last one.
    CString firstProgress(const CString& name) const {
        for (const CString& text : progress())
            if (text.find(" of " + name + " received") != std::string::npos)
                return text;
        return "";
    }
    CString lastProgress(const CString& name) const {
        CString last;
        for (const CString& text : progress())
            if (text.find(" of " + name + " received") != std::string::npos)
                last = text;
        return last;
    }
};

TEST_P(DownloadTest, FilesArriveByteExactWithProgressAndTheFinalTrace) {
    struct Case {
        const char* name;
        size_t size;
        const char* kbytes; // the last progress line's kilobyte number
    };
    const Case cases[] = {{"empty.bin", 0, "0"},
                          {"f999.bin", 999, "0"},
                          {"f1000.bin", 1000, "1"},
                          {"f4000.bin", 4000, "4"},
                          {"big.bin", 3 << 20, "3145"}};
    std::vector<std::string> contents;
    for (const Case& c : cases) {
        contents.push_back(RandomBytes(c.size, static_cast<uint32_t>(c.size) + 1));
        ASSERT_TRUE(WriteFile(remoteFile(c.name), contents.back()));
    }
    // An existing file of the same name is replaced.
    ASSERT_TRUE(WriteFile(local.file("f4000.bin"), "an older f4000.bin"));

    const CString folder = localFolder();
    for (size_t i = 0; i < 5; ++i)
        // One remote path without a folder: the whole path is the name.
        download(i == 1 ? CString(cases[i].name) : CString("/") + cases[i].name, folder);
    queue.submit("UpdateLocalListCommand", folder, "");
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    for (size_t i = 0; i < 5; ++i) {
        const CString name = cases[i].name;
        SCOPED_TRACE(name);
        EXPECT_EQ(rig::Sha256Hex(ReadFile(local.file(cases[i].name))), rig::Sha256Hex(contents[i]));
        EXPECT_FALSE(files::Exists(local.file((name + ".TarnwickPart").c_str())));
        EXPECT_EQ(lastProgress(name),
                  CString(cases[i].kbytes) + " kbytes of " + name + " received");
        EXPECT_EQ(controller.tracedLevel(FormatString(
                      "Finished Writing File %s/%s total len = %lld >>>", folder.c_str(),
                      name.c_str(), static_cast<long long>(cases[i].size))),
                  TRACE_COMMAND);
    }
    // The progress event carries the kilobyte number alone as its reply text.
    for (const auto& note : controller.notesOf(EV_PROGRESS))
        EXPECT_EQ(note.text.Left(note.reply.GetLength() + 1), note.reply + " ");
    EXPECT_EQ(sentLines().back(), "RETR /big.bin");
    ASSERT_EQ(controller.count(EV_REFRESH_LOCAL), 1);
    EXPECT_EQ(controller.notesOf(EV_REFRESH_LOCAL)[0].text, folder);
}

TEST_P(DownloadTest, APartialFileIsResumedFromItsSizeAndThenReplacesTheOldTarget) {
    const std::string content = RandomBytes(300000, 99);
    ASSERT_TRUE(WriteFile(remoteFile("r.bin"), content));
    ASSERT_TRUE(WriteFile(local.file("r.bin.TarnwickPart"), content.substr(0, 123456)));
    ASSERT_TRUE(WriteFile(local.file("r.bin"), "the old r.bin"));
    const size_t before = sentLines().size();

    download("/r.bin", localFolder());
    ASSERT_TRUE(runToIdle());

    EXPECT_TRUE(errors().empty()) << errors()[0];
    const std::vector<CString> lines = sentLines(before);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "REST 123456"), lines.end());
    EXPECT_EQ(rig::Sha256Hex(ReadFile(local.file("r.bin"))), rig::Sha256Hex(content));
    EXPECT_FALSE(files::Exists(local.file("r.bin.TarnwickPart")));
    // Counted from the partial file's size, whatever the blocks: it ends at the whole file.
    EXPECT_GE(atoi(firstProgress("r.bin").c_str()), 123) << firstProgress("r.bin");
    EXPECT_EQ(lastProgress("r.bin"), "300 kbytes of r.bin received");
}

TEST_P(DownloadTest, AnEmptyPartialFileMeansAFreshStart) {
    const std::string content = RandomBytes(5000, 5);
    ASSERT_TRUE(WriteFile(remoteFile("z.bin"), content));
    ASSERT_TRUE(WriteFile(local.file("z.bin.TarnwickPart"), ""));

    download("/z.bin", localFolder());
    ASSERT_TRUE(runToIdle());

    EXPECT_FALSE(sent("REST"));
    EXPECT_TRUE(ReadFile(local.file("z.bin")) == content);
}

// A name the server hands over is used inside the chosen folder or not at all.
TEST_P(DownloadTest, RemoteNamesThatLeaveTheFolderAreRefusedBeforeAnythingIsSent) {
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
TEST_P(DownloadTest, AFileBeyondFourGiBResumesAtA64BitOffset) {
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
    EXPECT_TRUE(
        controller.traced(FormatString("Finished Writing File %s/huge.bin total len = %lld >>>",
                                       localFolder().c_str(), static_cast<long long>(size))));
    EXPECT_EQ(lastProgress("huge.bin"), FormatString("%lld kbytes of huge.bin received",
                                                     static_cast<long long>(size / 1000)));
}

INSTANTIATE_TEST_SUITE_P(Servers, DownloadTest, ::testing::ValuesIn(kAllServerModes),
                         ServerModeName);

} // namespace
