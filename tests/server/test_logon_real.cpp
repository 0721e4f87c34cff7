// The log-on against real servers (pyftpdlib and vsftpd), driven the way the main window drives
// it: what goes over the wire, line by line, and what the controller is told.
#include "tests/server/EngineTest.h"

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

    // The connection is up: the controller asks for PWD, which queues behind the CWD.
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) == 1; }, kWaitMs));
    EXPECT_EQ(controller.notesOf(EV_CONNECTION_STATE)[0].reply, "Y");
    ASSERT_EQ(queue.pendingCount(), 2u);
    EXPECT_EQ(queue.pending()[0].name, "CWD");
    EXPECT_EQ(queue.pending()[1].name, "PWD");

    ASSERT_TRUE(WaitFor([&] { return idle() && controller.count(EV_REMOTE_DIR) == 2; }, kWaitMs))
        << ::testing::PrintToString(dialogue().all);
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
                         // Anonymous on the server that taught us its name is case-sensitive.
                         ::testing::Values(LogOnCase{ServerKind::Pyftpdlib, true},
                                           LogOnCase{ServerKind::Vsftpd, false}),
                         [](const auto& p) {
                             return std::string(Name(p.param.kind)) +
                                    (p.param.anonymous ? "_anonymous" : "_user");
                         });

} // namespace
