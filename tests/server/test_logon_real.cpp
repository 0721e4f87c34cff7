// The control connection and the log-on against real servers (pyftpdlib and vsftpd), driven
// the way the main window drives them: what goes over the wire, line by line, and what the
// controller is told.
#include "tests/server/EngineTest.h"

#include "net/FtpSocketControl.h"

#include <cctype>

using namespace engine_test;
using testing_support::WaitFor;

namespace {

// The base command with its reply lines recorded: the engine's spine without any subclass.
class RecordingCommand : public CCommand {
public:
    RecordingCommand() : CCommand("PWD") {}
    std::vector<CString> lines;
    bool onReply(const CString& line) override {
        lines.push_back(line);
        return CCommand::onReply(line);
    }
};

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

class RealServer : public EngineTest, public ::testing::WithParamInterface<ServerKind> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        server = StartServer(GetParam());
        ASSERT_TRUE(server->ok()) << server->error();
    }
    std::unique_ptr<rig::Server> server;
};

TEST_P(RealServer, ACommandBeforeLogOnIsRefusedAndReported) {
    useServer(*server, false);
    // The bare connection and command: no window reacts (a connected window would ask for
    // its own PWD, which would take the connection's replies).
    controller.answer = [](const CString&, int, CString&) { return true; };
    RecordingCommand pwd;
    GetControlSocket().m_pCommand = &pwd;
    ASSERT_TRUE(GetControlSocket().ConnectToServer());
    ASSERT_TRUE(WaitFor([&] { return !pwd.lines.empty(); }, kWaitMs));
    EXPECT_EQ(notified(EV_CONNECTION_STATE), std::vector<CString>{"Y"});
    EXPECT_EQ(pwd.lines[0].Left(4), "220 ");
    for (const CString& line : pwd.lines) { // one line per call, each with its own line end
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
        EXPECT_EQ(line.Right(2), "\r\n") << line;
    }
    const size_t greeting = pwd.lines.size();

    ASSERT_TRUE(pwd.execute("", ""));
    EXPECT_EQ(pwd.getState(), CMD_STARTED);
    ASSERT_TRUE(WaitFor([&] { return pwd.getState() == CMD_FINISHED; }, kWaitMs));
    ASSERT_EQ(pwd.lines.size(), greeting + 1);
    EXPECT_EQ(pwd.lines.back().Left(4), "530 ");
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].text, pwd.lines.back());
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].reply, "Executing FTP Command PWD");
    const int started = traceIndex("Command State Change 0 from 3");
    const int error = traceIndex("Command State Change 1 from 0");
    const int finished = traceIndex("Command State Change 4 from 1");
    EXPECT_TRUE(started >= 0 && started < error && error < finished);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServer,
                         ::testing::Values(ServerKind::Pyftpdlib, ServerKind::Vsftpd),
                         [](const auto& p) { return std::string(Name(p.param)); });

struct LogOnCase {
    ServerKind kind;
    bool anonymous;
};

class RealLogOn : public EngineTest, public ::testing::WithParamInterface<LogOnCase> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        server = StartServer(GetParam().kind);
        ASSERT_TRUE(server->ok()) << server->error();
        ASSERT_TRUE(MakeFolder(*server, "sub"));
        useServer(*server, false, GetParam().anonymous);
    }
    std::unique_ptr<rig::Server> server;
};

TEST_P(RealLogOn, LogOnThenPwdThenThePendingRequestsInOrder) {
    const bool anonymous = GetParam().anonymous;
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_NE(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.currentCommand()->getName(), "LOGIN");
    EXPECT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    EXPECT_EQ(controller.tracedLevel("Logging into account Test"), TRACE_COMMAND);
    EXPECT_TRUE(queue.submit("CWD", "/sub", "")); // waits behind the log-on

    // The connection comes up: the controller asks for PWD, which queues behind the CWD; so
    // both wait when the finished log-on is retired and the connection reported again. (The
    // moment between is too short to look at: a quick server answers the whole log-on within
    // one turn of the loop.)
    std::vector<CString> pendingAtLogOn;
    controller.onNotify = [&](const CString&, int event) {
        if (event == EV_CONNECTION_STATE && controller.count(EV_CONNECTION_STATE) == 2) {
            for (const auto& record : queue.pending())
                pendingAtLogOn.push_back(record.name);
        }
    };

    ASSERT_TRUE(WaitFor([&] { return idle() && controller.count(EV_REMOTE_DIR) == 2; }, kWaitMs))
        << ::testing::PrintToString(dialogue().all);
    EXPECT_EQ(controller.notesOf(EV_CONNECTION_STATE)[0].reply, "Y");
    EXPECT_EQ(pendingAtLogOn, (std::vector<CString>{"CWD", "PWD"}));
    // The queue reported the connection once more, with the local address, and ran its own
    // PWD first; the controller's second PWD request was a duplicate and was dropped.
    auto states = controller.notesOf(EV_CONNECTION_STATE);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[1].text, "Y");
    EXPECT_EQ(states[1].reply, "127.0.0.1");
    EXPECT_EQ(notified(EV_REMOTE_DIR), (std::vector<CString>{"/", "/sub"}));
    const CString user = anonymous ? "anonymous" : server->user();
    EXPECT_EQ(Shape(dialogue()), (std::vector<CString>{"220", "USER " + user, "331", "230", "PWD",
                                                       "257", "CWD /sub", "250", "PWD", "257"}));
    const CString password = anonymous ? "guest@example.com" : server->password();
    for (const auto& trace : controller.traces) {
        EXPECT_NE(trace.first.Left(4), "PASS") << "a password line was traced";
        EXPECT_EQ(trace.first.find(password), std::string::npos) << trace.first;
    }
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
}

INSTANTIATE_TEST_SUITE_P(Accounts, RealLogOn,
                         ::testing::Values(LogOnCase{ServerKind::Pyftpdlib, false},
                                           LogOnCase{ServerKind::Pyftpdlib, true},
                                           LogOnCase{ServerKind::Vsftpd, false},
                                           LogOnCase{ServerKind::Vsftpd, true}),
                         [](const auto& p) {
                             return std::string(Name(p.param.kind)) +
                                    (p.param.anonymous ? "_anonymous" : "_user");
                         });

} // namespace
