// Downloads that go wrong, against the scripted fake in passive and active mode: whatever
// ends a transfer early, the partial file keeps exactly the bytes that arrived, the target
// stays as it was, the failure is reported, and the next download resumes with REST.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/Command.h"
#include "net/FtpDataManager.h"
#include "net/UiLoop.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace testing_support;
using namespace transfer_test;

namespace {

class DownloadFaultTest : public FakeServerTest {
protected:
    // The dialogue after the log-on, with the PORT address (new each time) left out.
    std::string dialogue() {
        std::string all = transcript();
        for (size_t at = all.find("PORT "); at != std::string::npos; at = all.find("PORT ", at))
            all.erase(at + 4, all.find('\n', at) - at - 4);
        return all;
    }
    std::string channelLine() const { return passive() ? "PASV\n" : "PORT\n"; }
    std::string binary() const { return "expect TYPE I\nreply 200 binary\n"; }
    CString part() const { return local.file("f.bin.TarnwickPart"); }
    CString target() const { return local.file("f.bin"); }
    // The script of one download that breaks after `sent` bytes in the way `breaking` says,
    // followed by a second download that resumes and completes the file of `size` bytes.
    std::string breakThenResume(int sent, const std::string& breaking, int size) const {
        return "expect TYPE I\nreply 200 binary\n" + dataChannel() +
               "expect RETR /f.bin\nreply 150 sending\n" + FormatString("dpattern %d\n", sent) +
               breaking + "expect TYPE I\nreply 200 binary\n" +
               FormatString("expect SIZE /f.bin\nreply 213 %d\n", size) + dataChannel() +
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
    // The reset comes only once the client has surely taken the connection: the peer of a
    // connection reset before it is accepted cannot be named (Wine), and such a connection
    // is refused like a stranger's.
    const char* endings[] = {"pause 1000\ndreset\npause 300\nreply 426 connection broken\n",
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

// A refused restart: neither RETR nor STOR goes out, nothing is written, and no data
// connection is left for the server to wait on.
TEST_P(DownloadFaultTest, ARefusedRestartSendsNeitherRetrNorStor) {
    ASSERT_TRUE(WriteFile(part(), rig::PatternBytes(0, 4000)));
    ASSERT_TRUE(WriteFile(local.file("u.bin"), RandomBytes(40000, 8)));
    const std::string refused = dataChannel() + "expect REST *\nreply 501 no restart here\n";
    ASSERT_TRUE(start(binary() + "expect SIZE /f.bin\nreply 213 9000\n" + refused +
                      "expect SIZE /u.bin\nreply 213 20000\n" + refused + binary()));
    download("/f.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", local.file("u.bin"), "", 30000)); // restored
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(errors(), std::vector<CString>(2, "501 no restart here\r\n"));
    EXPECT_TRUE(ReadFile(part()) == rig::PatternBytes(0, 4000));
    EXPECT_FALSE(GetDataConnection().IsOpen() || GetDataListener().IsOpen());
    EXPECT_EQ(dialogue(), "TYPE I\nSIZE /f.bin\n" + channelLine() + "REST 4000\nSIZE /u.bin\n" +
                              channelLine() + "REST 20000\nTYPE I\n* client closed\n");
}

// Where the server tells the size, a file of another size is not complete: one cut short
// (the 150 named 60000 bytes), and a stale partial file larger than the file, which starts
// again from 0 instead of being renamed into place.
TEST_P(DownloadFaultTest, AShortOrStaleFileIsNotTakenAsComplete) {
    ASSERT_TRUE(WriteFile(target(), "the old f.bin"));
    ASSERT_TRUE(WriteFile(local.file("g.bin.TarnwickPart"), rig::PatternBytes(0, 70000)));
    ASSERT_TRUE(start(binary() + dataChannel() +
                      "expect RETR /f.bin\n"
                      "reply 150 Opening BINARY mode data connection for /f.bin (60000 bytes).\n"
                      "dpattern 30000\ndclose\nreply 226 done\n" +
                      binary() + "expect SIZE /g.bin\nreply 213 60000\n" + dataChannel() +
                      "expect RETR /g.bin\nreply 150 sending\ndpattern 60000\ndclose\n"
                      "reply 226 done\n"));
    download("/f.bin", localFolder());
    download("/g.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0], "Download incomplete: /f.bin arrived with 30000 of its 60000 bytes; "
                           "they are kept in " +
                               localFolder() + "/f.bin.TarnwickPart");
    EXPECT_TRUE(ReadFile(part()) == rig::PatternBytes(0, 30000));
    EXPECT_EQ(ReadFile(target()), "the old f.bin");
    EXPECT_TRUE(ReadFile(local.file("g.bin")) == rig::PatternBytes(0, 60000));
    EXPECT_FALSE(files::Exists(local.file("g.bin.TarnwickPart")));
    EXPECT_EQ(dialogue().find("REST"), std::string::npos);
}

// Windows would store these under another name (over an existing file) or hand them to a
// device; no build writes them, and nothing is asked of the server.
TEST_P(DownloadFaultTest, NamesWindowsCannotStoreAreRefusedBeforeAnythingIsWritten) {
    ASSERT_TRUE(WriteFile(local.file("x.txt"), "mine"));
    ASSERT_TRUE(WriteFile(local.file("trailing"), "mine too"));
    const std::vector<std::string> before = Listing(local.path());
    const char* names[] = {"/x.txt.", "/trailing. ", "/NUL", "/d/com1.txt", "/a*b", "/q?", "/p|q"};
    std::string script, expected;
    for (size_t i = 0; i < 7; ++i) {
        script += binary();
        expected += "TYPE I\n";
    }
    ASSERT_TRUE(start(script));
    for (const char* name : names)
        download(name, localFolder());
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(errors().size(), 7u);
    for (const CString& error : errors())
        EXPECT_EQ(error.Left(24), "Not downloaded: the name") << error;
    EXPECT_EQ(Listing(local.path()), before);
    EXPECT_EQ(dialogue(), expected + "* client closed\n");
}

// A failed download leaves no empty partial file; a read-only target is not replaced (the
// partial file keeps the bytes) and the message says so.
TEST_P(DownloadFaultTest, AFailedDownloadLeavesNoEmptyPartialAndAReadOnlyTargetStays) {
    ASSERT_TRUE(WriteFile(target(), "keep me"));
    ASSERT_TRUE(files::SetReadOnly(target(), true));
    ASSERT_TRUE(start(binary() + dataChannel() + "expect RETR /gone.bin\nreply 550 no such file\n" +
                      binary() + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\n"
                      "dpattern 5000\ndclose\nreply 226 done\n"));
    download("/gone.bin", localFolder());
    download("/f.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(errors(), (std::vector<CString>{"550 no such file\r\n",
                                              "Download complete, but " + localFolder() +
                                                  "/f.bin is read-only and was not replaced; the "
                                                  "file is in " +
                                                  localFolder() + "/f.bin.TarnwickPart"}));
    EXPECT_EQ(Listing(local.path()),
              (std::vector<std::string>{"f.bin 7", "f.bin.TarnwickPart 5000"}));
    EXPECT_TRUE(files::SetReadOnly(target(), false));
}

// The connection breaks mid-file and the user answers Retry: after the new log-on the
// download runs in binary mode again (the server's default may refuse REST) and resumes.
TEST_P(DownloadFaultTest, ARetriedDownloadRunsInBinaryModeAndResumes) {
    controller.retryAfterConnectionError = true;
    ASSERT_TRUE(start(binary() + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\n"
                      "dpattern 25000\npause 1000\ndreset\nreset\naccept\nreply 220 again\n"
                      "expect USER *\nreply 331 password\nexpect PASS *\nreply 230 logged on\n"
                      "expect PWD\nreply 257 \"/\" is current\n" +
                      binary() + "expect SIZE /f.bin\nreply 213 60000\n" + dataChannel() +
                      "expect REST 25000\nreply 350 restarting\nexpect RETR /f.bin\n"
                      "reply 150 sending\ndpattern 35000 rest\ndclose\nreply 226 done\n"
                      "expect PWD\nreply 257 \"/\" is current\n"));
    download("/f.bin", localFolder());
    // The queue is idle for a moment after the cut, until the retry puts the work back.
    ASSERT_TRUE(WaitFor([this] { return sent("SIZE /f.bin"); }));
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 60000));
    EXPECT_EQ(dialogue().find("* error"), std::string::npos) << dialogue();
}

// The server has answered and closes the session in order before the data ends: the file
// completes, and no "Server Connection Closed!" box says otherwise.
TEST_P(DownloadFaultTest, AnOrderlyCloseAfterTheCompletionReplyIsNoLostConnection) {
    ASSERT_TRUE(start(binary() + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\n"
                      "dpattern 20000\nreply 226 done\nclose\n"
                      "pause 300\ndclose\n"));
    download("/f.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 20000));
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadFaultTest, ::testing::Bool(), ModeName);

// Active mode: the listener is open to anyone who can reach it.
class ActiveDataTest : public DownloadFaultTest {};

TEST_P(ActiveDataTest, ADataConnectionFromAnotherHostIsRefused) {
    ASSERT_TRUE(start(binary() + dataChannel() +
                      "expect RETR /f.bin\nreply 150 sending\n"
                      "dopen 127.0.0.2\ndsend INJECTED\npause 300\ndopen\ndpattern 20000\n"
                      "dclose\nreply 226 done\n"));
    download("/f.bin", localFolder());
    ASSERT_TRUE(runToIdle());
    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(ReadFile(target()) == rig::PatternBytes(0, 20000));
    EXPECT_TRUE(controller.traced("<<< Data connection from 127.0.0.2 refused: not the server "
                                  "127.0.0.1"));
}

#ifndef _WIN32
// With no descriptor left for a listener there is no address to announce: no PORT goes out,
// the failure is reported and the queue goes on.
TEST_P(ActiveDataTest, AListenerThatCannotBeOpenedSendsNoPort) {
    // One PORT that works first: the sanitizers' first look at a code path may need a
    // descriptor of their own.
    ASSERT_TRUE(start("expect PORT *\nreply 200 PORT ok\n" + binary()));
    queue.submit("PORT", "", "");
    ASSERT_TRUE(runToIdle());
    GetDataListener().Close(); // its descriptor would be free for the next one
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    const int lowestFree = dup(0);
    close(lowestFree);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    queue.submit("PORT", "", "");
    setrlimit(RLIMIT_NOFILE, &old);
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].Left(53), "Cannot open a data connection: no listening socket (e");
    EXPECT_EQ(dialogue(), "PORT\nTYPE I\n* client closed\n");
}
#endif

INSTANTIATE_TEST_SUITE_P(Modes, ActiveDataTest, ::testing::Values(false), ModeName);

} // namespace
