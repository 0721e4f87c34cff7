// The control connection and the command base against a scripted peer on loopback: exact
// bytes on the wire, line cutting, connection failures and the server-error report.
#include "engine/Command.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "settings/Prefs.h"

#include "net/UiLoop.h"
#include "tests/support/RawPeer.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace testing_support;

namespace {

class RecordingCommand : public CCommand {
public:
    explicit RecordingCommand(const char* name = "PWD") : CCommand(name) {}
    std::vector<CString> lines;
    bool onReply(const CString& line) override {
        lines.push_back(line);
        return CCommand::onReply(line);
    }
};

class ControlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
        SetPrefString("USERPREFS/Test", "SERVER", "127.0.0.1");
        ASSERT_GT(peer.Listen(), 0);
        SetPrefInt("USERPREFS/Test", "PORT", peer.port());
    }
    void TearDown() override {
        GetControlSocket().Close();
        GetControlSocket().m_pCommand = nullptr;
    }
    // Connects with command registered; the peer accepts.
    void connect(CCommand& command) {
        GetControlSocket().m_pCommand = &command;
        ASSERT_TRUE(GetControlSocket().ConnectToServer());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) > 0; }));
        ASSERT_EQ(controller.notesOf(EV_CONNECTION_STATE)[0].text, "Y");
    }

    ScopedPrefs prefs;
    TestController controller;
    RawPeer peer;
};

TEST_F(ControlConnectionTest, ServerDefaultsToLocalhost) {
    SetPrefString("USERPREFS/Test", "SERVER", "");
    SetPrefString(PREFS_SECTION, "DEFAULT", "Other"); // an account with no SERVER key
    SetPrefInt("USERPREFS/Other", "PORT", peer.port());
    RecordingCommand command;
    connect(command);
    CString address;
    unsigned port = 0;
    ASSERT_TRUE(GetControlSocket().GetLocalAddress(address, port));
    EXPECT_EQ(address, "127.0.0.1");
}

TEST_F(ControlConnectionTest, RefusedConnectReportsThenSends777ThenN) {
    SetPrefInt("USERPREFS/Test", "PORT", UnusedLoopbackPort());
    RecordingCommand command;
    GetControlSocket().m_pCommand = &command;
    ASSERT_TRUE(GetControlSocket().ConnectToServer());
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) > 0; }));
    ASSERT_EQ(controller.notes.size(), 2u);
    EXPECT_EQ(controller.notes[0].event, EV_CONNECT_FAILED);
    EXPECT_EQ(controller.notes[0].text, "Could Not Connect To Server!");
    EXPECT_EQ(controller.notes[1].text, "N");
    EXPECT_EQ(command.lines, std::vector<CString>{"777"});
    CString address;
    unsigned port = 0;
    EXPECT_FALSE(GetControlSocket().GetLocalAddress(address, port)); // not a connection
}

TEST_F(ControlConnectionTest, RepliesAreCutIntoLinesAndCarriedOverAcrossReads) {
    RecordingCommand command;
    connect(command);
    ASSERT_TRUE(peer.Send("220-Welcome\r\n220 Ready\r\n"));
    ASSERT_TRUE(WaitFor([&] { return command.lines.size() == 2; }));
    EXPECT_EQ(command.lines[0], "220-Welcome\r\n");
    EXPECT_EQ(command.lines[1], "220 Ready\r\n");

    ASSERT_TRUE(peer.Send("250 hel"));
    UiLoop::RunFor(200); // the first half is read on its own
    ASSERT_TRUE(peer.Send("lo\r\n"));
    ASSERT_TRUE(WaitFor([&] { return command.lines.size() == 3; }));
    EXPECT_EQ(command.lines[2], "250 hello\r\n");
}

TEST_F(ControlConnectionTest, ResetReportsServerConnectionClosedAnd777) {
    RecordingCommand command;
    connect(command);
    peer.Reset();
    if (RunningUnderWine()) {
        // Wine 8 cannot tell a reset from an orderly close; it takes the orderly path.
        ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) == 2; }));
        EXPECT_FALSE(GetControlSocket().IsOpen());
        return;
    }
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECT_FAILED) == 1; }));
    EXPECT_EQ(controller.notesOf(EV_CONNECT_FAILED)[0].text, "Server Connection Closed!");
    EXPECT_EQ(command.lines, std::vector<CString>{"777"});
}

TEST_F(ControlConnectionTest, OrderlyCloseAfter221ShowsNoBox) {
    RecordingCommand command;
    connect(command);
    ASSERT_TRUE(peer.Send("221 Goodbye\r\n"));
    peer.Close();
    ASSERT_TRUE(WaitFor([&] { return !GetControlSocket().IsOpen(); }));
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
    EXPECT_EQ(command.lines, std::vector<CString>{"221 Goodbye\r\n"});
    EXPECT_EQ(controller.notesOf(EV_CONNECTION_STATE).back().text, "N");
}

TEST_F(ControlConnectionTest, AServerThatHangsUpOnAWaitingCommandBrokeTheConnection) {
    RecordingCommand command("CWD");
    connect(command);
    ASSERT_TRUE(command.execute("/pub", ""));
    EXPECT_EQ(peer.ReceiveUntil("\r\n"), "CWD /pub\r\n");
    peer.Close(); // no reply: the command would wait for ever
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECT_FAILED) == 1; }));
    EXPECT_EQ(controller.notesOf(EV_CONNECT_FAILED)[0].text, "Server Connection Closed!");
    EXPECT_EQ(command.lines, std::vector<CString>{"777"});
    EXPECT_FALSE(GetControlSocket().IsOpen());
}

TEST_F(ControlConnectionTest, NegativeReplyToARunningCommandIsReportedOnceItEnds) {
    RecordingCommand command("PWD");
    connect(command);
    ASSERT_TRUE(command.execute("", ""));
    EXPECT_EQ(peer.ReceiveUntil("\r\n"), "PWD\r\n");
    EXPECT_EQ(controller.tracedLevel("<<< EXECUTE CCommand::execute PWD  "), TRACE_DETAIL);
    EXPECT_EQ(command.getState(), CMD_STARTED);

    ASSERT_TRUE(peer.Send("550 No such folder\r\n"));
    ASSERT_TRUE(WaitFor([&] { return command.getState() == CMD_FINISHED; }));
    EXPECT_EQ(controller.tracedLevel("550 No such folder\r\n"), TRACE_PROTOCOL);
    EXPECT_TRUE(controller.traced("Command State Change 1 from 0"));
    EXPECT_TRUE(controller.traced("Command State Change 4 from 1"));
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].text, "550 No such folder\r\n");
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].reply, "Executing FTP Command PWD");

    // Late lines: a positive one is only traced, another negative one is reported again.
    ASSERT_TRUE(peer.Send("200 Fine\r\n500 Again\r\n"));
    ASSERT_TRUE(WaitFor([&] { return command.lines.size() == 3; }));
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 2);
    EXPECT_EQ(command.getState(), CMD_FINISHED);
}

TEST_F(ControlConnectionTest, ArgumentsWithLineBreaksAreNeverSent) {
    RecordingCommand cwd("CWD");
    connect(cwd);
    EXPECT_TRUE(cwd.execute("pub\r\nDELE important", ""));
    EXPECT_EQ(peer.Receive(1, 300), "");
    EXPECT_EQ(cwd.getState(), CMD_FINISHED);
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_NE(controller.notesOf(EV_SERVER_ERROR)[0].text.find("line break"), std::string::npos);
    EXPECT_FALSE(GetControlSocket().SendCommand("NOOP\nDELE x", &cwd));
    EXPECT_EQ(peer.Receive(1, 300), "");
}

TEST_F(ControlConnectionTest, Reply421ClosesTheConnection) {
    RecordingCommand command;
    connect(command);
    command.execute("", "");
    ASSERT_TRUE(peer.Send("421 Timeout, closing control connection\r\n"));
    ASSERT_TRUE(WaitFor([&] { return command.getState() == CMD_FINISHED; }));
    EXPECT_FALSE(GetControlSocket().IsOpen());
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 1);
}

TEST_F(ControlConnectionTest, AnEndlessLineIsHandedOnInBoundedPieces) {
    RecordingCommand command;
    connect(command);
    ASSERT_TRUE(peer.Send(std::string(200 * 1024, 'x')));
    ASSERT_TRUE(peer.Send("\r\n220 after\r\n"));
    ASSERT_TRUE(WaitFor([&] {
        return !command.lines.empty() && command.lines.back() == "220 after\r\n";
    }));
    size_t total = 0;
    for (const CString& line : command.lines) {
        EXPECT_LE(line.size(), kMaxReplyLine);
        total += line.size();
    }
    EXPECT_EQ(total, 200 * 1024 + 2 + 11);
}

} // namespace
