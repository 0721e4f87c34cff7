// Downloads that go wrong, against the scripted fake in passive and active mode: whatever
// ends a transfer early, the partial file keeps exactly the bytes that arrived, the target
// stays as it was, the failure is reported, and the next download resumes with REST.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/Command.h"
#include "net/UiLoop.h"

using namespace testing_support;
using namespace transfer_test;

namespace {

class DownloadFaultTest : public FakeServerTest {
protected:
    CString part() const { return local.file("f.bin.TarnwickPart"); }
    CString target() const { return local.file("f.bin"); }
    // The script of one download that breaks after `sent` bytes in the way `breaking` says,
    // followed by a second download that resumes and completes the file of `size` bytes.
    std::string breakThenResume(int sent, const std::string& breaking, int size) const {
        return "expect TYPE I\nreply 200 binary\n" + dataChannel() +
               "expect RETR /f.bin\nreply 150 sending\n" + FormatString("dpattern %d\n", sent) +
               breaking + "expect TYPE I\nreply 200 binary\n" + dataChannel() +
               FormatString("expect REST %d\nreply 350 restarting\n", sent) +
               "expect RETR /f.bin\nreply 150 sending\n" +
               FormatString("dpattern %d rest\ndclose\nreply 226 done\n", size - sent);
    }
};

// Each way a server can end a transfer early: a reset, or a close followed by an error reply.
TEST_P(DownloadFaultTest, ABrokenTransferKeepsTheBytesThatArrivedAndTheNextOneResumes) {
    // The pause lets the data arrive before the reply that ends the transfer: a reply that
    // overtakes data still on its way ends the download without it (a later resumption
    // fetches those bytes again).
    const char* endings[] = {"dreset\npause 300\nreply 426 connection broken\n",
                             "dclose\npause 300\nreply 426 transfer aborted\n",
                             "dclose\npause 300\nreply 451 local error\n"};
    for (const char* ending : endings) {
        SCOPED_TRACE(ending);
        const CString reply = CString(ending).Mid(CString(ending).Find("reply ") + 6);
        TearDown();
        RemoveTree(part());
        ASSERT_TRUE(WriteFile(target(), "the old f.bin"));
        ASSERT_TRUE(start(breakThenResume(25000, ending, 60000)));

        download("/f.bin", localFolder());
        ASSERT_TRUE(runToIdle());
        ASSERT_EQ(errors().size(), 1u);
        EXPECT_EQ(errors()[0].Left(3), reply.Left(3));
        EXPECT_TRUE(ReadFile(part()) == rig::PatternBytes(0, 25000));
        EXPECT_EQ(ReadFile(target()), "the old f.bin");

        download("/f.bin", localFolder());
        ASSERT_TRUE(runToIdle());
        EXPECT_EQ(errors().size(), 1u);
        EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 60000));
        EXPECT_FALSE(files::Exists(part()));
        EXPECT_EQ(transcript().find("* error"), std::string::npos) << transcript();
        controller.notes.clear();
    }
}

TEST_P(DownloadFaultTest, TheCompletionReplyMayComeBeforeOrAfterTheDataEnds) {
    const char* orders[] = {"dpattern 30000\nreply 226 done\npause 300\ndclose\n",
                            "dpattern 30000\ndclose\npause 300\nreply 226 done\n"};
    for (const char* order : orders) {
        SCOPED_TRACE(order);
        TearDown();
        RemoveTree(target());
        ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                          "expect RETR /f.bin\nreply 150 sending\n" + order));
        download("/f.bin", localFolder());
        ASSERT_TRUE(runToIdle());
        EXPECT_TRUE(errors().empty());
        EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 30000));
        EXPECT_FALSE(files::Exists(part()));
    }
}

// A server that closes the data connection and then says nothing leaves the download waiting
// (there are no reply time-outs); the user's abort then keeps what arrived.
TEST_P(DownloadFaultTest, AnAbortMidTransferKeepsThePartialFile) {
    ASSERT_TRUE(WriteFile(target(), "the old f.bin"));
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\ndpattern 50000\n"
                      "expect ABOR\nreply 426 aborted\nreply 226 abort done\n"));
    download("/f.bin", localFolder());
    ASSERT_TRUE(WaitFor([this] {
        return !progress().empty() && progress().back() == "50 kbytes of f.bin received";
    }));
    controller.abortAll();
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ReadFile(part()) == rig::PatternBytes(0, 50000));
    EXPECT_EQ(ReadFile(target()), "the old f.bin");
    EXPECT_TRUE(errors().empty()); // the user asked for it
    EXPECT_EQ(transcript().find("* error"), std::string::npos) << transcript();
}

TEST_P(DownloadFaultTest, ADataEndWithoutACompletionReplyIsNotAFinishedFile) {
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\ndpattern 7000\ndclose\n"
                      "expect ABOR\nreply 226 abort done\n"));
    download("/f.bin", localFolder());
    ASSERT_TRUE(WaitFor([this] { return controller.traced("<<< Data Manager Closed"); }));
    UiLoop::RunFor(300);
    EXPECT_FALSE(files::Exists(target()));
    ASSERT_NE(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    controller.abortAll();
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(ReadFile(part()) == rig::PatternBytes(0, 7000));
    EXPECT_FALSE(files::Exists(target()));
}

TEST_P(DownloadFaultTest, ARestartFromAPartialFileAppendsToIt) {
    ASSERT_TRUE(WriteFile(part(), rig::PatternBytes(0, 1500)));
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect REST 1500\nreply 350 restarting\n"
                      "expect RETR /f.bin\nreply 150 sending\n"
                      "dpattern 100 rest\npause 300\ndpattern 19900 1600\ndclose\n"
                      "reply 226 done\n"));
    download("/f.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty());
    EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 21500));
    ASSERT_FALSE(progress().empty());
    EXPECT_EQ(progress().front().Left(2), "1 ") << progress().front();
    EXPECT_EQ(transcript().find("* error"), std::string::npos) << transcript();
}

// A server may end the data connection of a failed transfer only after the next transfer has
// begun. That late end belongs to the old connection: it must not count as the end of the
// new file, which would make a completion reply arriving before the new data ends finish a
// cut-short file.
TEST_P(DownloadFaultTest, TheLateEndOfAnEarlierDataConnectionDoesNotEndTheNextFile) {
    const std::string ask = passive() ? "expect PASV\n" : "expect PORT *\n";
    const std::string answer = passive() ? "pasv\n" : "reply 200 PORT ok\n";
    ASSERT_TRUE(start("expect TYPE I\nreply 200 binary\n" + dataChannel() +
                      "expect RETR /a.bin\nreply 150 sending\ndpattern 3000\npause 200\n"
                      "reply 426 transfer failed\n"
                      "expect TYPE I\nreply 200 binary\n" +
                      ask + "dclose\npause 300\n" + answer +
                      "expect RETR /b.bin\nreply 150 sending\n"
                      "dpattern 4000\nreply 226 done\npause 300\ndpattern 6000 4000\ndclose\n"));
    download("/a.bin", localFolder());
    download("/b.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].Left(4), "426 ");
    EXPECT_TRUE(ReadFile(local.file("a.bin.TarnwickPart")) == rig::PatternBytes(0, 3000));
    EXPECT_EQ(ReadFile(local.file("b.bin")).size(), 10000u);
    EXPECT_TRUE(ReadFile(local.file("b.bin")) == rig::PatternBytes(0, 10000));
    EXPECT_EQ(transcript().find("* error"), std::string::npos) << transcript();
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadFaultTest, ::testing::Bool(), ModeName);

} // namespace
