// Data-channel set-up and the one-reply commands against the scripted fake server: the
// replies and faults real servers seldom produce (odd 227 replies, refusals of PASV, PORT,
// TYPE and SITE, split SITE replies, data and close together, a second data connection, a
// data connection that cannot be opened).
#include "tests/server/EngineTest.h"

#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "transfer/TreeListCommand.h"

#include "tests/support/RawPeer.h"

using namespace engine_test;
using testing_support::WaitFor;

namespace {

class FakeData : public EngineTest {
protected:
    // The fake logs the client on, then plays script.
    void start(const std::string& script, bool passive = true) {
        fake = rig::StartFake(kFakeLogOn + script);
        ASSERT_TRUE(fake->ok()) << fake->error();
        useFake(*fake, passive);
        ASSERT_TRUE(logOn());
    }
    // The listing the current tree-listing command collected.
    std::string listing() const {
        auto* tree = dynamic_cast<CTreeLISTCommand*>(queue.currentCommand());
        if (!tree)
            return "(no tree listing)";
        return std::string(tree->listing().begin(), tree->listing().end());
    }
    std::unique_ptr<rig::Server> fake;
};

// The listing part of a script: LIST, a 150, the bytes, the end of the data and a 226.
std::string Listing(const char* folder, const char* bytes) {
    return FormatString("expect LIST %s\nreply 150 Here it comes\ndsend %s\ndclose\n"
                        "reply 226 Done\n",
                        folder, bytes);
}

TEST_F(FakeData, APassiveReplyNamingAnotherHostLeadsToTheServerItself) {
    ASSERT_NO_FATAL_FAILURE(
        start("expect PASV\npasv 227 Entering Passive Mode (192,168,1,2,{p1},{p2}).\n" +
              Listing("/dir", "one\\r\\ntwo\\r\\n")));
    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(listing(), "one\r\ntwo\r\n");
    EXPECT_EQ(controller.tracedLevel("<<< Passive reply names 192.168.1.2; connecting to the "
                                     "server at 127.0.0.1 instead"),
              TRACE_DETAIL);
    EXPECT_EQ(controller.tracedLevel("200 PASV mode opened"), TRACE_PROTOCOL);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_F(FakeData, UnusablePassiveRepliesAreReportedAndTheQueueMovesOn) {
    const std::vector<std::string> replies = {
        "227 Entering Passive Mode (127,0,0,1,300,1)", // a number out of range
        "227 Entering Passive Mode (127,0,0,1,4)",     // five numbers
        "227 Entering Passive Mode",                   // none
        "227 Entering Passive Mode (127,0,0,1,0,0)",   // port 0
    };
    std::string script;
    for (const std::string& reply : replies)
        script += "expect PASV\nreply " + reply + "\n";
    ASSERT_NO_FATAL_FAILURE(start(script + "expect PWD\nreply 257 \"/after\"\n"));
    for (size_t i = 0; i < replies.size(); ++i)
        queue.submit("PORT", "", "");
    queue.submit("PWD", "", "");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/after");
    auto boxes = controller.notesOf(EV_SERVER_ERROR);
    ASSERT_EQ(boxes.size(), replies.size());
    for (size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(boxes[i].text, "Unusable passive-mode reply: " + replies[i] + "\r\n");
        EXPECT_EQ(boxes[i].reply, "Setting up data channel to Server");
    }
    EXPECT_FALSE(GetDataConnection().IsOpen()); // nothing was connected to
    EXPECT_EQ(traceIndexStarting("<<< Data connection failed"), -1);
}

TEST_F(FakeData, A227ContinuationLineIsNotTheReply) {
    ASSERT_NO_FATAL_FAILURE(
        start("expect PASV\nreply 227-Entering Passive Mode (127,0,0,1,0,1)\npasv\n" +
              Listing("/dir", "x\\r\\n")));
    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(listing(), "x\r\n");
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_F(FakeData, ActiveModeAnnouncesTheListenersAddress) {
    ASSERT_NO_FATAL_FAILURE(start("expect PORT 127,0,0,1,*\nreply 200 PORT ok\n"
                                  "expect PORT 127,0,0,1,*\nreply 200 PORT ok\n" +
                                      Listing("/dir", "active\\r\\n"),
                                  false));
    ASSERT_NE(run("PORT"), nullptr);
    sockaddr_in listening;
    int length = sizeof listening;
    ASSERT_TRUE(GetDataListener().GetSockName(reinterpret_cast<sockaddr*>(&listening), &length));
    const unsigned p = ntohs(listening.sin_port);
    const CString argument = FormatString("127,0,0,1,%u,%u", p / 256, p % 256);
    EXPECT_EQ(dialogue().sent.back(), "PORT " + argument);
    EXPECT_EQ(controller.tracedLevel("PORT addr" + argument), TRACE_PORT);

    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(listing(), "active\r\n");
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_F(FakeData, ARefusedPasvIsReportedOnceAndItsOwnerFinishes) {
    ASSERT_NO_FATAL_FAILURE(start("expect PASV\nreply 500 PASV not understood\n"
                                  "expect PASV\nreply 425 No passive ports free\n"
                                  "expect PWD\nreply 257 \"/\"\n"));
    queue.submit("TreeLIST", "/a", "");
    queue.submit("TreeLIST", "/b", "");
    queue.submit("PWD", "", "");
    ASSERT_TRUE(waitIdle()) << fake->transcript();
    EXPECT_EQ(queue.currentCommand()->getName(), "PWD");
    auto boxes = controller.notesOf(EV_SERVER_ERROR);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "500 PASV not understood\r\n");
    EXPECT_EQ(boxes[0].reply, "Executing FTP Command PASV");
    EXPECT_EQ(boxes[1].text, "425 No passive ports free\r\n");
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 0);
}

// Refusals that hold the queue in the error state until the user aborts.
struct Holding {
    const char* name;
    const char* request;
    const char* argument;
    const char* expect;
    const char* reply;
    bool passive;
};

class FakeHolding : public FakeData, public ::testing::WithParamInterface<Holding> {};

TEST_P(FakeHolding, TheRefusalHoldsTheQueueUntilTheAbort) {
    const Holding& h = GetParam();
    ASSERT_NO_FATAL_FAILURE(start(FormatString("expect %s\nreply %s\nexpect ABOR\n"
                                               "reply 225 Nothing to abort\n",
                                               h.expect, h.reply),
                                  h.passive));
    queue.submit(h.request, h.argument, "");
    queue.submit("PWD", "", "");
    CCommand* held = queue.currentCommand();
    ASSERT_EQ(held->getName(), h.request);
    ASSERT_TRUE(WaitFor([&] { return held->getState() == CMD_ERROR; }, kWaitMs));
    UiLoop::RunFor(300); // pump after pump: nothing moves
    EXPECT_EQ(queue.currentCommand(), held);
    EXPECT_EQ(held->getState(), CMD_ERROR);
    EXPECT_EQ(queue.pendingCount(), 1u);
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].text, CString(h.reply) + "\r\n");

    controller.abortAll();
    ASSERT_TRUE(WaitFor([&] { return idle() && queue.currentCommand(); }, kWaitMs));
    EXPECT_EQ(queue.currentCommand()->getName(), "ABOR");
    EXPECT_EQ(queue.pendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FakeHolding,
    ::testing::Values(Holding{"Type500", "TYPE", "I", "TYPE I", "500 TYPE not understood", true},
                      Holding{"Port501", "PORT", "", "PORT *", "501 Bad address", false},
                      Holding{"Port530", "PORT", "", "PORT *", "530 Log in first", false},
                      Holding{"Site500", "SITE", "CHMOD 600 f", "SITE CHMOD 600 f",
                              "500 SITE not understood", true}),
    [](const auto& p) { return std::string(p.param.name); });

// A 421 closes every socket: TYPE and SITE finish after its box instead of holding the queue.
TEST_F(FakeData, A421FinishesTypeAndSiteAfterTheBox) {
    for (const char* request : {"TYPE", "SITE"}) {
        SCOPED_TRACE(request);
        ASSERT_NO_FATAL_FAILURE(start(FormatString("expect %s I\nreply 421 Closing\n", request)));
        queue.submit(request, "I", "");
        CCommand* command = queue.currentCommand();
        ASSERT_TRUE(WaitFor([&] { return command->getState() != CMD_STARTED; }, kWaitMs));
        UiLoop::RunFor(100);
        EXPECT_EQ(command->getState(), CMD_FINISHED);
        EXPECT_FALSE(GetControlSocket().IsOpen());
        controller.notes.clear();
    }
}

// The server has answered and closes the session in order before the data ends: nothing
// was lost, and no "Server Connection Closed!" box says otherwise.
TEST_F(FakeData, AnOrderlyCloseAfterTheFinalReplyIsNoLostConnection) {
    ASSERT_NO_FATAL_FAILURE(start("expect PASV\npasv\nexpect LIST /dir\nreply 150 Here\n"
                                  "dsend a\\r\\n\nreply 226 Done\nclose\npause 300\ndclose\n"));
    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
    EXPECT_EQ(listing(), "a\r\n");
}

TEST_F(FakeData, ARefusedPortFinishesATreeListingWithItsStatus) {
    ASSERT_NO_FATAL_FAILURE(start("expect PORT *\nreply 500 Illegal PORT\n"
                                  "expect PWD\nreply 257 \"/\"\n",
                                  false));
    queue.submit("TreeLIST", "/x", "");
    queue.submit("PWD", "", "");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(queue.currentCommand()->getName(), "PWD");
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].reply, "Getting Directory Listing for /x");
}

TEST_F(FakeData, SiteFinishesOnlyOnTheFinalLineOfItsReply) {
    ASSERT_NO_FATAL_FAILURE(start("expect SITE STATUS\nsend 211-Status of the fake\\r\\n\n"
                                  "pause 300\nsend 211-more\\r\\n211 End of status\\r\\n\n"
                                  "expect PWD\nreply 257 \"/\"\n"));
    const int from = static_cast<int>(controller.traces.size());
    queue.submit("SITE", "STATUS", "");
    queue.submit("PWD", "", "");
    ASSERT_TRUE(waitIdle());
    const int last = traceIndex("211 End of status\r\n", from);
    ASSERT_GE(last, 0);
    EXPECT_GT(traceIndex("Command State Change 4 from 0", from), last);
    EXPECT_GT(traceIndex("PWD", from), last);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_F(FakeData, DataAndTheCloseTogetherLoseNothing) {
    ASSERT_NO_FATAL_FAILURE(start("expect PASV\npasv\nexpect LIST /dir\nreply 150 Here\n"
                                  "dpattern 25000\ndclose\nreply 226 Done\n"));
    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_TRUE(listing() == rig::PatternBytes(0, 25000)) << listing().size() << " bytes";
    int ends = 0;
    for (const auto& trace : controller.traces)
        ends += trace.first == "277 Data End";
    EXPECT_EQ(ends, 1);
}

TEST_F(FakeData, ASecondDataConnectionReplacesTheFirst) {
    ASSERT_NO_FATAL_FAILURE(start("expect PORT *\nreply 200 PORT ok\nexpect LIST /dir\n"
                                  "reply 150 Here\ndopen\ndopen\ndsend second\\r\\n\ndclose\n"
                                  "reply 226 Done\n",
                                  false));
    ASSERT_NE(run("TreeLIST", "/dir", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(listing(), "second\r\n");
    int accepted = 0;
    for (const auto& trace : controller.traces)
        accepted += trace.first == "<<< Data Manager Connected";
    EXPECT_EQ(accepted, 2);
}

TEST_F(FakeData, ARestSentBeforeThe227LeavesItToThePassiveExchange) {
    testing_support::TempDir local;
    ASSERT_TRUE(testing_support::WriteFile(local.file("f.bin.TarnwickPart"), "HELLO"));
    // PASV and REST go out together; the 227 comes first and must reach the passive exchange.
    // A server without SIZE: the restart cannot be checked, and goes ahead.
    ASSERT_NO_FATAL_FAILURE(start("expect SIZE /f.bin\nreply 502 no SIZE here\n"
                                  "expect PASV\nexpect REST 5\npasv\nreply 350 Restarting at 5\n"
                                  "expect RETR /f.bin\nreply 150 Sending\ndsend -WORLD\n"
                                  "dclose\nreply 226 Done\n"));
    CCommand* retr = run("RETR", "/f.bin", local.path());
    ASSERT_NE(retr, nullptr);
    EXPECT_EQ(retr->getName(), "RETR");
    EXPECT_EQ(testing_support::ReadFile(local.file("f.bin")), "HELLO-WORLD");
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_F(FakeData, APassiveDataConnectionThatCannotBeOpenedIsReported) {
    const int unused = testing_support::UnusedLoopbackPort();
    // Like a real server, the fake waits a while for the data connection before it gives up
    // on the LIST; the client has long noticed by then.
    ASSERT_NO_FATAL_FAILURE(
        start(FormatString("expect PASV\nreply 227 Entering Passive Mode (127,0,0,1,%d,%d).\n"
                           "expect LIST /dir\npause 2000\n"
                           "reply 425 Cannot open data connection.\n"
                           "expect PWD\nreply 257 \"/\"\n",
                           unused / 256, unused % 256)));
    queue.submit("TreeLIST", "/dir", "");
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_SERVER_ERROR) == 1; }, kWaitMs))
        << history();
    const auto box = controller.notesOf(EV_SERVER_ERROR)[0];
    EXPECT_EQ(box.text.find("425 Could not open the data connection (error "), 0u) << box.text;
    EXPECT_EQ(box.reply, "Getting Directory Listing for /dir");
    EXPECT_GE(traceIndexStarting("<<< Data connection failed, error"), 0);
    EXPECT_EQ(queue.currentCommand()->getState(), CMD_FINISHED);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 0);

    // The server's own word on the LIST comes later, to the finished command (a second box);
    // then the queue goes on.
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_SERVER_ERROR) == 2; }, kWaitMs));
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[1].text, "425 Cannot open data connection.\r\n");
    ASSERT_NE(run("PWD"), nullptr);
    EXPECT_EQ(queue.currentCommand()->getName(), "PWD");
    EXPECT_EQ(controller.count(EV_REMOTE_DIR), 3);
}

} // namespace
