// Uploads on one server (the round trips of every server and mode are in test_download.cpp):
// a restored upload that restarts with REST beyond 4 GiB, and uploads that cannot start.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/CallBackController.h"

#include <algorithm>
#include <cstdlib>

using namespace testing_support;
using namespace transfer_test;

namespace {

class UploadOnce : public RealServerTest {
protected:
    void SetUp() override {
        RealServerTest::SetUp();
        ASSERT_TRUE(logOn());
    }
    // The local path as the window hands it over: its own separators, so under Windows the
    // upload also splits a backslash path.
    CString localPath(const char* name) const { return local.file(name); }
};

// 64-bit restart points: a sparse local file beyond 5 GiB whose last bytes go to a sparse
// remote file holding all the rest.
TEST_P(UploadOnce, ARestoredUploadBeyondFourGiBSendsOnlyItsTail) {
    const int64_t size = (int64_t{5} << 30) + 777;
    const std::string tail = RandomBytes(30000, 11);
    const int64_t restart = size - static_cast<int64_t>(tail.size());
    ASSERT_TRUE(WriteSparse(localPath("huge.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(remoteFile("huge.bin"), restart, ""));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());

    ASSERT_TRUE(queue.start("STOR", localPath("huge.bin"), "/", restart));
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(sent(FormatString("REST %lld", static_cast<long long>(restart))));
    EXPECT_EQ(files::Size(remoteFile("huge.bin")), size);
    EXPECT_TRUE(ReadAt(remoteFile("huge.bin"), restart, 30000) == tail);
    EXPECT_TRUE(
        controller.traced(FormatString("Finished Writing File %s/huge.bin count %lld >>>",
                                       localFolder().c_str(), static_cast<long long>(size))));
}

// Nothing is asked of the server for an upload that cannot start, and the queue goes on.
TEST_P(UploadOnce, AnUploadThatCannotStartIsReportedBeforeAnythingIsSent) {
    ASSERT_TRUE(WriteFile(localPath("short.bin"), std::string(3000, 's')));
    ASSERT_TRUE(WriteFile(localPath("ok.bin"), "fine"));
    const size_t before = sentLines().size();

    upload(localPath("missing.bin"), "/");
    ASSERT_TRUE(runToIdle());
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", localPath("short.bin"), "/", 5000));
    ASSERT_TRUE(runToIdle());
    upload(localPath("ok.bin"), "/");
    ASSERT_TRUE(runToIdle());

    const std::vector<CString> lines = sentLines(before);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "TYPE I");
    EXPECT_EQ(lines[1], "TYPE I");
    EXPECT_EQ(lines[2], "TYPE I"); // and only now a data channel, for ok.bin
    EXPECT_TRUE(lines[3] == "PASV" || lines[3].Left(5) == "PORT ") << lines[3];
    EXPECT_FALSE(sent("REST"));
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[0], "Not uploaded: cannot open " + localFolder() + "/missing.bin");
    EXPECT_EQ(errors()[1], "Not uploaded: " + localFolder() +
                               "/short.bin is shorter than the restart point 5000");
    EXPECT_EQ(ReadFile(remoteFile("ok.bin")), "fine");
    EXPECT_FALSE(files::Exists(remoteFile("missing.bin")));
    EXPECT_FALSE(files::Exists(remoteFile("short.bin")));
}

INSTANTIATE_TEST_SUITE_P(Server, UploadOnce,
                         ::testing::Values(ServerMode{ServerKind::Pyftpdlib, false}),
                         ServerModeName);

} // namespace
