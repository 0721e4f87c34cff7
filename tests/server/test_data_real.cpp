// A session on pyftpdlib (anonymous) and vsftpd (a password user), driven the way the main
// window drives it: the log-on line by line, the one-reply commands, QUIT, and an abort. The
// effects are checked in the server's root folder directly.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"

#include <cctype>

using namespace engine_test;
using testing_support::WaitFor;

namespace {

// Sent lines as they are, replies as their code; continuation lines left out, so servers
// that add a line of welcome compare the same.
std::vector<CString> Shape(const Dialogue& dialogue) {
    std::vector<CString> shape;
    for (const CString& line : dialogue.all) {
        const bool reply = line.size() >= 3 && isdigit(static_cast<unsigned char>(line[0]));
        if (!reply)
            shape.push_back(line);
        else if (line.size() < 4 || line[3] != '-')
            shape.push_back(line.Left(3));
    }
    return shape;
}

class RealData : public RealServerTest {};

TEST_P(RealData, ASessionLogsOnRunsTheSimpleCommandsAndQuitClosesEverySocket) {
    ASSERT_TRUE(MakeFolder(*server, "gamma"));
    ASSERT_TRUE(MakeFile(*server, "gamma/old.txt", "old"));
    ASSERT_TRUE(MakeFile(*server, "doomed.txt", "doomed"));
    // Anonymous on the server that taught us its name is case-sensitive ("USER anonymous").
    const bool anonymous = GetParam().kind == ServerKind::Pyftpdlib;
    useServer(*server, GetParam().passive, anonymous);
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    EXPECT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    EXPECT_EQ(controller.tracedLevel("Logging into account Test"), TRACE_COMMAND);
    EXPECT_TRUE(queue.submit("CWD", "/gamma", "")); // waits behind the log-on

    // The connection is up: the controller asks for PWD, which queues behind the CWD.
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) == 1; }, kWaitMs));
    ASSERT_EQ(queue.pendingCount(), 2u);
    EXPECT_EQ(queue.pending()[0].name, "CWD");
    EXPECT_EQ(queue.pending()[1].name, "PWD");
    ASSERT_TRUE(WaitFor([&] { return idle() && controller.count(EV_REMOTE_DIR) == 2; }, kWaitMs));
    // The queue reported the connection once more, with the local address, and ran its own
    // PWD first; the controller's second PWD request was a duplicate and was dropped.
    auto states = controller.notesOf(EV_CONNECTION_STATE);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[1].reply, "127.0.0.1");
    EXPECT_EQ(notified(EV_REMOTE_DIR), (std::vector<CString>{"/", "/gamma"}));
    const CString user = anonymous ? "anonymous" : server->user();
    EXPECT_EQ(Shape(dialogue()), (std::vector<CString>{"220", "USER " + user, "331", "230", "PWD",
                                                       "257", "CWD /gamma", "250", "PWD", "257"}));
    const CString password = anonymous ? "guest@example.com" : server->password();
    for (const auto& trace : controller.traces) {
        EXPECT_NE(trace.first.Left(4), "PASS") << "a password line was traced";
        EXPECT_EQ(trace.first.find(password), std::string::npos) << trace.first;
    }

    const size_t from = dialogue().sent.size();
    queue.submit("MKD", "\\made", "");
    queue.submit("MKD", "\\made\\\\inner", "");
    queue.submit("MKD", "\\made\\kept", "");
    queue.submit("RMD", "/made/inner", "");
    queue.submit("DELE", "/doomed.txt", "");
    queue.submit("RNFR", "/gamma/old.txt", "");
    queue.submit("RNTO", "/gamma/new.txt", "");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(sentLines(from),
              (std::vector<CString>{"MKD /made", "MKD /made/inner", "MKD /made/kept",
                                    "RMD /made/inner", "DELE /doomed.txt", "RNFR /gamma/old.txt",
                                    "RNTO /gamma/new.txt"}));
    EXPECT_EQ(controller.tracedLevel("Deleting Folder /made/inner"), TRACE_COMMAND);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_TRUE(files::IsFolder(server->file("made/kept")));
    EXPECT_FALSE(files::Exists(server->file("made/inner")));
    EXPECT_FALSE(files::Exists(server->file("doomed.txt")));
    EXPECT_EQ(testing_support::ReadFile(server->file("gamma/new.txt")), "old");

    // QUIT with the data side open too: it closes that first, then says goodbye.
    ASSERT_NE(run("PORT"), nullptr);
    const size_t beforeQuit = protocolLines();
    ASSERT_NE(run("QUIT"), nullptr);
    EXPECT_TRUE(waitReply("221", beforeQuit)) << history();
    EXPECT_FALSE(GetControlSocket().IsOpen());
    EXPECT_FALSE(GetDataConnection().IsOpen());
    EXPECT_FALSE(GetDataListener().IsOpen());
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
}

TEST_P(RealData, AbortDuringAListingLeavesTheConnectionUsable) {
    ASSERT_TRUE(MakeFolder(*server, "big"));
    ASSERT_EQ(MakeManyFiles(*server, "big", 3000).size(), 3000u);
    ASSERT_TRUE(logOn());
    const size_t from = protocolLines();
    queue.submit("TreeLIST", "/big", "");
    // Wait for the transfer to be under way: its first block and the 150 (or 125) are in.
    ASSERT_TRUE(
        WaitFor([&] { return traceIndexStarting("myListData TreeLIST length") >= 0; }, kWaitMs));
    ASSERT_TRUE(WaitFor([&] { return replied("150", from) || replied("125", from); }, kWaitMs));
    controller.abortAll();
    ASSERT_TRUE(WaitFor(
        [&] {
            CCommand* current = queue.currentCommand();
            return current && current->getName() == "ABOR" && idle();
        },
        kWaitMs));
    EXPECT_EQ(dialogue().sent.back(), "ABOR");
    EXPECT_FALSE(GetDataConnection().IsOpen());
    EXPECT_FALSE(GetDataListener().IsOpen());
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 0);

    // The control connection is still in step: the next requests get their own replies.
    ASSERT_NE(run("PWD"), nullptr);
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/");
    ASSERT_NE(run("TreeLIST", "/", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealData, ::testing::ValuesIn(kEachServer), ServerModeName);

} // namespace
