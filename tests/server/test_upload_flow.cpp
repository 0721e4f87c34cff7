// Uploads against the scripted fake in passive and active mode, where the exact wire and the
// bytes the server received can be checked: a slow reader that makes sends block and fall
// short, restart values of restored uploads, and a data connection the server breaks.
#include "tests/server/TransferTest.h"

#include "engine/CallBackController.h"

using namespace testing_support;
using namespace transfer_test;

namespace {

class UploadFlowTest : public FakeServerTest {
protected:
    std::string received(const std::string& data) const {
        return FormatString("* data received %lld bytes sha256 %s\n",
                            static_cast<long long>(data.size()), rig::Sha256Hex(data).c_str());
    }
};

// The reader lets the client fill its buffers first and then takes 4 KiB at a time through a
// 4 KiB window, so the client's sends would block and fall short; not one byte may be lost
// or sent twice.
TEST_P(UploadFlowTest, ASlowReaderGetsEveryByteOnceWhateverTheSendsDo) {
    const std::string content = RandomBytes(8 << 20, 21);
    ASSERT_TRUE(WriteFile(local.file("slow.bin"), content));
    ASSERT_TRUE(start("set rcvbuf 4096\nexpect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect STOR /up/slow.bin\nreply 150 go ahead\ndopen\npause 300\n"
                      "drecv 0 4096\nreply 226 stored\n"));
    upload(local.file("slow.bin"), "/up");
    ASSERT_TRUE(runToIdle(60000));
    EXPECT_TRUE(errors().empty()) << errors()[0];
    // Each round of sending reports progress once: the file is twice what the system buffers
    // at most, so the sends would block at least once mid-file. (Wine takes the whole file
    // into buffers of its own, so there they never block.)
    if (!RunningUnderWine()) {
        EXPECT_GE(progress().size(), 2u);
    }
    EXPECT_TRUE(controller.traced(FormatString("Finished Writing File %s/slow.bin count %d >>>",
                                               localFolder().c_str(), 8 << 20)));
    const std::string record = transcript();
    EXPECT_NE(record.find(received(content)), std::string::npos) << record;
}

// Some servers (pyftpdlib) connect in active mode as soon as they get PORT, and drop a data
// connection that speaks before they know what it is for. The file waits for the server's
// answer to STOR, in both modes, however long it takes.
TEST_P(UploadFlowTest, TheFileGoesOutOnlyWhenTheServerHasAnsweredStor) {
    const std::string content = RandomBytes(30000, 4);
    ASSERT_TRUE(WriteFile(local.file("e.bin"), content));
    const std::string channel = passive() ? "expect PASV\npasv\ndopen\npause 300\n"
                                          : "expect PORT *\ndopen\npause 300\nreply 200 PORT ok\n";
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + channel +
                      "expect STOR /up/e.bin\npause 300\nreply 150 go ahead\ndrecv\n"
                      "reply 226 stored\n"));
    upload(local.file("e.bin"), "/up");
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty()) << errors()[0];
    int answered = -1, writing = -1;
    for (size_t i = 0; i < controller.traces.size(); ++i) {
        if (controller.traces[i].first.Left(12) == "150 go ahead") // the line as received
            answered = static_cast<int>(i);
        if (controller.traces[i].first.Left(20) == "Writing File e.bin f")
            writing = static_cast<int>(i);
    }
    EXPECT_GE(answered, 0);
    EXPECT_GT(writing, answered);
    const std::string record = transcript();
    EXPECT_NE(record.find(received(content)), std::string::npos) << record;
}

TEST_P(UploadFlowTest, ARestartValueAbove0SendsRestAndSkipsThoseBytes) {
    const std::string content = RandomBytes(40000, 8);
    ASSERT_TRUE(WriteFile(local.file("r.bin"), content));
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect REST 5000\nreply 350 restarting\n"
                      "expect STOR /up/r.bin\nreply 150 go ahead\ndrecv\nreply 226 stored\n"));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", local.file("r.bin"), "/up", 5000));
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty()) << errors()[0];
    ASSERT_FALSE(progress().empty());
    EXPECT_EQ(progress().front(), "5 kbytes of r.bin sent");
    const std::string record = transcript();
    EXPECT_NE(record.find(received(content.substr(5000))), std::string::npos) << record;
}

// An upload saved after at most 10000 bytes carries 0 or less: it starts again from byte 0.
TEST_P(UploadFlowTest, ARestartValueOf0OrLessStartsFromTheBeginningWithoutRest) {
    const std::string content = RandomBytes(12000, 9);
    ASSERT_TRUE(WriteFile(local.file("r.bin"), content));
    const std::string once = dataChannel() + "expect STOR /up/r.bin\nreply 150 go ahead\n"
                                             "drecv\ndclose\nreply 226 stored\n";
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + once + once));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", local.file("r.bin"), "/up", 0));
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", local.file("r.bin"), "/up", -5000));
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty()) << errors()[0];
    const std::string record = transcript();
    const std::string whole = received(content);
    const size_t first = record.find(whole);
    ASSERT_NE(first, std::string::npos) << record;
    EXPECT_NE(record.find(whole, first + 1), std::string::npos) << record;
    EXPECT_EQ(record.find("REST"), std::string::npos) << record;
}

// The server breaks the data connection mid-file. However the client learns of it (a failed
// send, or the close), the upload is a failure even when the server then reports the file as
// stored, and the reply is taken by the upload, not left to the next command.
TEST_P(UploadFlowTest, ADataConnectionBrokenMidFileIsAFailureWhateverTheServerSays) {
    ASSERT_TRUE(WriteFile(local.file("b.bin"), RandomBytes(8 << 20, 5)));
    for (const char* reply : {"426 connection broken", "226 stored"}) {
        SCOPED_TRACE(reply);
        TearDown();
        controller.notes.clear();
        controller.traces.clear();
        ASSERT_TRUE(start("set rcvbuf 4096\nexpect TYPE I\nreply 200 binary\n" + dataChannel() +
                          "expect STOR /up/b.bin\nreply 150 go ahead\ndopen\npause 300\n"
                          "dreset\npause 300\nreply " +
                          reply +
                          "\n"
                          "expect TYPE I\nreply 200 binary\n"));
        upload(local.file("b.bin"), "/up");
        queue.submit("TYPE", "I", "");
        ASSERT_TRUE(runToIdle());
        ASSERT_EQ(errors().size(), 1u);
        if (reply[0] == '4') {
            EXPECT_EQ(errors()[0], "426 connection broken\r\n");
        } else {
            EXPECT_EQ(errors()[0].Left(54),
                      "Upload failed: the data connection for b.bin ended aft")
                << errors()[0];
        }
        bool errorTraced = false;
        for (const CString& line : controller.tracesAt(TRACE_COMMAND)) {
            errorTraced = errorTraced || line.Left(19) == "Error Writing File ";
            EXPECT_NE(line.Left(22), "Finished Writing File ");
        }
        EXPECT_TRUE(errorTraced);
        EXPECT_EQ(transcript().find("* error"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, UploadFlowTest, ::testing::Bool(), ModeName);

} // namespace
