// Uploads against the scripted fake in passive and active mode, where the exact wire and the
// bytes the server received can be checked: a slow reader that makes sends block and fall
// short, restart values of restored uploads, and a data connection the server breaks.
#include "tests/server/TransferTest.h"

#include "engine/CallBackController.h"

#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// A restored upload carries the bytes it counted as sent (less 10000), but what the system
// buffered when the connection died never reached the server: the restart is never past the
// server's size, and without that size the whole file goes again. One saved after at most
// 10000 bytes carries 0 or less: it starts from byte 0 without asking.
TEST_P(UploadFlowTest, ARestoredUploadRestartsNoLaterThanTheServersSize) {
    const std::string content = RandomBytes(40000, 8);
    ASSERT_TRUE(WriteFile(local.file("r.bin"), content));
    struct Case {
        int64_t option;
        const char* sizeReply; // null: no SIZE
        int restart;           // 0: no REST
    };
    const Case cases[] = {{30000, "213 12000", 12000},
                          {5000, "213 38000", 5000},
                          {30000, "550 no such file", 0},
                          {-5000, nullptr, 0}};
    std::string script = "expect TYPE I\nreply 200 binary\n", received;
    for (const Case& c : cases) {
        if (c.sizeReply)
            script += FormatString("expect SIZE /up/r.bin\nreply %s\n", c.sizeReply);
        script += dataChannel();
        if (c.restart > 0)
            script += FormatString("expect REST %d\nreply 350 restarting\n", c.restart);
        script += "expect STOR /up/r.bin\nreply 150 go ahead\ndrecv\ndclose\nreply 226 stored\n";
        received += this->received(content.substr(static_cast<size_t>(c.restart)));
    }
    ASSERT_TRUE(start(script));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    for (const Case& c : cases) {
        ASSERT_TRUE(queue.start("STOR", local.file("r.bin"), "/up", c.option));
        ASSERT_TRUE(runToIdle());
    }
    EXPECT_TRUE(errors().empty()) << errors()[0];
    ASSERT_FALSE(progress().empty());
    EXPECT_EQ(progress().front(), "12 kbytes of r.bin sent");
    std::string record = transcript(), got;
    for (size_t at = record.find("* data received"); at != std::string::npos;
         at = record.find("* data received", at + 1))
        got += record.substr(at, record.find('\n', at) + 1 - at);
    EXPECT_EQ(got, received) << record;
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

#ifndef _WIN32
// A read may return less than asked long before the end of the file: only a read that
// returns nothing ends it. A pipe hands over what its writer has written so far.
TEST_P(UploadFlowTest, AShortReadDoesNotEndTheUpload) {
    const CString pipe = local.file("pipe.bin");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string content = RandomBytes(3000, 12);
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect STOR /up/pipe.bin\nreply 150 go ahead\ndrecv\nreply 226 stored\n"));
    signal(SIGPIPE, SIG_IGN); // a writer left alone must not end the test program
    std::thread writer([&] {
        int fd = open(pipe.c_str(), O_WRONLY); // waits for the upload to open it
        for (size_t at = 0; fd >= 0 && at < content.size(); at += 1000) {
            // Each piece only once the last one has been read: every read falls short.
            int queued = 1;
            for (int i = 0; i < 500 && queued > 0 && ioctl(fd, FIONREAD, &queued) == 0; ++i)
                usleep(10000);
            if (write(fd, content.data() + at, 1000) != 1000)
                break;
        }
        if (fd >= 0)
            close(fd);
    });
    upload(pipe, "/up");
    const bool done = runToIdle();
    writer.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(errors().empty()) << errors()[0];
    const std::string record = transcript();
    EXPECT_NE(record.find(received(content)), std::string::npos) << record;
}
#endif

INSTANTIATE_TEST_SUITE_P(Modes, UploadFlowTest, ::testing::Bool(), ModeName);

} // namespace
