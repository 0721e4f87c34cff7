// The log-on dialogue against the scripted fake server: the replies real servers rarely give
// (multi-line greetings, 120, 332, 230 without a password), the prompts, the account kinds,
// and the connection failures as the main window handles them.
#include "tests/server/EngineTest.h"

#include "engine/EnginePlatform.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include "tests/support/RawPeer.h"

using namespace engine_test;
using testing_support::WaitFor;

namespace {

const char* const kSection = "USERPREFS/Test";

// Two PWD requests follow every log-on: the controller's and the queue's.
const std::string kTwoPwd = "expect PWD\n"
                            "reply 257 \"/\" is the current folder\n"
                            "expect PWD\n"
                            "reply 257 \"/\" is the current folder\n";

class FakeLogOn : public EngineTest {
protected:
    void start(const std::string& script) {
        fake = rig::StartFake(script);
        ASSERT_TRUE(fake->ok()) << fake->error();
        useFake(*fake);
    }
    std::unique_ptr<rig::Server> fake;
};

TEST_F(FakeLogOn, OnlyTheFinalLineOfAMultiLineGreetingSendsUser) {
    start(std::string("send 220-Welcome\\r\\n220-to the fake\\r\\n\n"
                      "pause 300\n") +
          kFakeLogOn);
    ASSERT_TRUE(logOn());
    const int greeted = traceIndex("220 Fake ready\r\n");
    ASSERT_GE(traceIndex("220-to the fake\r\n"), 0);
    EXPECT_GT(traceIndex("USER tester"), greeted);
    EXPECT_EQ(dialogue().sent, (std::vector<CString>{"USER tester", "PWD", "PWD"}));
    EXPECT_EQ(fake->transcript(), "USER tester\nPASS word\nPWD\nPWD\n");
}

struct Exchange {
    const char* name;
    const char* script; // after the greeting; two PWD exchanges follow
    const char* transcript;
};

class FakeLogOnExchange : public FakeLogOn, public ::testing::WithParamInterface<Exchange> {};

TEST_P(FakeLogOnExchange, EndsInALogOn) {
    start(std::string("reply 220 Fake ready\n") + GetParam().script + kTwoPwd);
    ASSERT_TRUE(logOn());
    EXPECT_EQ(fake->transcript(), GetParam().transcript);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FakeLogOnExchange,
    ::testing::Values(Exchange{"LoggedInRightAfterUser", "expect USER tester\nreply 230 Come in\n",
                               "USER tester\nPWD\nPWD\n"},
                      Exchange{"AccountAskedAfterUser",
                               "expect USER tester\nreply 332 Need account\n"
                               "expect ACCT what\nreply 202 Fine\n",
                               "USER tester\nACCT what\nPWD\nPWD\n"},
                      Exchange{"AccountAskedAfterPassword",
                               "expect USER tester\nreply 331 Password\nexpect PASS word\n"
                               "reply 332 Need account\nexpect ACCT what\nreply 230 Fine\n",
                               "USER tester\nPASS word\nACCT what\nPWD\nPWD\n"}),
    [](const auto& p) { return std::string(p.param.name); });

// 120 only says the server will be ready soon; the log-on goes on with its 220.
TEST_F(FakeLogOn, Reply120IsFollowedByTheGreetingAndTheLogOn) {
    start(std::string("reply 120 Ready in a moment\npause 300\n") + kFakeLogOn);
    ASSERT_TRUE(logOn());
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_EQ(fake->transcript(), "USER tester\nPASS word\nPWD\nPWD\n");
}

TEST_F(FakeLogOn, ARefusedPasswordIsReportedWithTheAccount) {
    start("reply 220 Fake ready\nexpect USER tester\nreply 331 Password\nexpect PASS word\n"
          "reply 530 Login incorrect.\nidle 10\n");
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_SERVER_ERROR) == 1; }, kWaitMs));
    const auto box = controller.notesOf(EV_SERVER_ERROR)[0];
    EXPECT_EQ(box.text, "530 Login incorrect.\r\n");
    EXPECT_EQ(box.reply, "Logging into account Test");
    const int refused = traceIndex("530 Login incorrect.\r\n");
    const int error = traceIndex("Command State Change 1 from 0", refused);
    EXPECT_GT(error, refused);
    EXPECT_GT(traceIndex("Command State Change 4 from 1", error), error);
}

TEST_F(FakeLogOn, APasswordNotSavedIsAskedForAndTheTypedOneSent) {
    start("reply 220 Fake ready\nexpect USER tester\nreply 331 Password\n"
          "expect PASS typed-secret\nreply 230 In\n" +
          kTwoPwd);
    SetPrefString(kSection, "WORD", "stored-word");
    SetPrefInt(kSection, "WORDSAVED", 0);
    controller.prompt = [](int event, CString& entered) {
        EXPECT_EQ(event, EV_ASK_PASSWORD);
        entered = "  typed-secret ";
        return true;
    };
    ASSERT_TRUE(logOn());
    ASSERT_EQ(controller.count(EV_ASK_PASSWORD), 1);
    EXPECT_EQ(controller.notesOf(EV_ASK_PASSWORD)[0].reply, "stored-word");
    EXPECT_EQ(fake->transcript(), "USER tester\nPASS typed-secret\nPWD\nPWD\n");
    for (const auto& trace : controller.traces)
        EXPECT_EQ(trace.first.find("secret"), std::string::npos) << trace.first;
}

TEST_F(FakeLogOn, AnEmptyUserIsAskedForAndCancellingSendsNoUserButQuit) {
    start("reply 220 Fake ready\nexpect QUIT\nreply 221 Bye\n");
    SetPrefString(kSection, "USER", "");
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_TRUE(WaitFor([&] { return !GetControlSocket().IsOpen(); }, kWaitMs));
    ASSERT_EQ(controller.count(EV_ASK_USER), 1);
    EXPECT_EQ(controller.notesOf(EV_ASK_USER)[0].reply, "");
    ASSERT_NE(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.currentCommand()->getName(), "QUIT"); // the log-on was retired
    EXPECT_EQ(queue.previousCommand(), nullptr);
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(fake->transcript(kWaitMs), "QUIT\n* client closed\n");
}

TEST_F(FakeLogOn, AnAnonymousAccountNeverAsksForThePassword) {
    start("reply 220 Fake ready\nexpect USER anonymous\nreply 331 Guest, your e-mail\n"
          "expect PASS guest@example.com\nreply 230 Welcome\n" +
          kTwoPwd);
    SetPrefString(kSection, "ANONYMOUS", "Y");
    SetPrefInt(kSection, "WORDSAVED", 0);
    ASSERT_TRUE(logOn());
    EXPECT_EQ(controller.count(EV_ASK_PASSWORD), 0);
    EXPECT_EQ(controller.count(EV_ASK_USER), 0);
    EXPECT_EQ(dialogue().sent[0], "USER anonymous");
}

TEST_F(FakeLogOn, AnAccountWithoutAUserKeyLogsOnAsNeedToSetUser) {
    fake = rig::StartFake("reply 220 Fake ready\nexpect USER NEEDTOSETUSER\nreply 530 Who?\n"
                          "idle 10\n");
    ASSERT_TRUE(fake->ok()) << fake->error();
    Account account;
    account.port = fake->port();
    account.writeUser = false;
    setAccount(account);
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_SERVER_ERROR) == 1; }, kWaitMs));
    EXPECT_EQ(dialogue().sent[0], "USER NEEDTOSETUSER");
}

// Connection failures, answered as the main window's Retry/Cancel box would be.
class ConnectionFailure : public FakeLogOn {
protected:
    void SetUp() override {
        FakeLogOn::SetUp();
        SetDebugOutputHook([this](const CString& line) { debug += line; });
    }
    CString debug;
};

TEST_F(ConnectionFailure, AServerThatCannotBeResolvedIsNotResponding) {
    Account account;
    // A name no resolver can look up (a label longer than 63 characters): it fails at once,
    // without a query leaving the machine.
    account.server = CString(70, 'x') + ".invalid";
    account.port = 21;
    setAccount(account);
    EXPECT_FALSE(queue.submit("LOGIN", "Test", ""));
    ASSERT_GE(controller.notes.size(), 1u);
    EXPECT_EQ(controller.notes[0].event, EV_CONNECT_FAILED);
    EXPECT_EQ(controller.notes[0].text, "Server not responding");
    EXPECT_EQ(controller.tracedLevel("LOGIN FAILED!"), TRACE_COMMAND);
    EXPECT_FALSE(GetControlSocket().IsOpen());
    ASSERT_TRUE(WaitFor([&] { return controller.traced("Abort complete"); }, kWaitMs));
    EXPECT_EQ(queue.currentCommand(), nullptr);
}

// 70000 would reach port 4464 (here: the fake's port plus 65536 reaches the fake).
TEST_F(ConnectionFailure, APortOutsideTheRangeIsRefusedNotCut) {
    start("set timeout 2\nreply 220 Fake ready\nexpect USER *\nreply 230 in\n");
    const int port = fake->port() + 65536;
    SetPrefInt(kSection, "PORT", port);
    EXPECT_FALSE(queue.submit("LOGIN", "Test", ""));
    ASSERT_GE(controller.notes.size(), 1u);
    EXPECT_EQ(controller.notes[0].event, EV_CONNECT_FAILED);
    EXPECT_EQ(controller.notes[0].text,
              FormatString("The port %d of account Test is not a port (1 to 65535)", port));
    EXPECT_EQ(fake->transcript(5000).find("USER"), std::string::npos);
}

TEST_F(ConnectionFailure, CancelAbortsAllWork) {
    Account account;
    account.port = testing_support::UnusedLoopbackPort();
    setAccount(account);
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_TRUE(queue.submit("CWD", "/work", ""));
    ASSERT_TRUE(WaitFor([&] { return controller.traced("Abort complete"); }, kWaitMs));
    EXPECT_EQ(notified(EV_CONNECT_FAILED), std::vector<CString>{"Could Not Connect To Server!"});
    EXPECT_EQ(notified(EV_CONNECTION_STATE), std::vector<CString>{"N"});
    EXPECT_EQ(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_TRUE(queue.saved().empty());
    EXPECT_EQ(questions, 0);
    UiLoop::RunFor(200);
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 1); // no second attempt
}

TEST_F(ConnectionFailure, RetryKeepsTheWorkLogsOnAgainAndTheWorkResumes) {
    start("reply 220 Fake ready\nexpect USER tester\nreply 331 Password please\n"
          "expect PASS word\nreply 230 Logged in\nexpect PWD\nreply 257 \"/\" is current\n"
          "expect CWD /work\nreply 250 Changed\nexpect PWD\nreply 257 \"/work\" is current\n");
    SetPrefInt(kSection, "PORT", testing_support::UnusedLoopbackPort());
    controller.retryAfterConnectionError = true;
    CString heldName, heldCode;
    controller.onNotify = [&](const CString& text, int event) {
        if (event == EV_CONNECT_FAILED) // the server is back for the retry
            SetPrefInt(kSection, "PORT", fake->port());
        if (event == EV_CONNECTION_STATE && text == "N" && queue.previousCommand()) {
            heldName = queue.previousCommand()->getName();
            heldCode = queue.previousCommand()->getErrorCode();
        }
    };
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    ASSERT_TRUE(queue.submit("CWD", "/work", ""));

    // Refused: the log-on is marked and kept, the CWD saved; the retry puts the CWD back and
    // logs on again, and the CWD runs after the log-on's PWD without anyone asking for it.
    ASSERT_TRUE(WaitFor([&] { return controller.connected && idle() && dialogue().sent.size() == 4; },
                        kWaitMs))
        << ::testing::PrintToString(dialogue().all);
    EXPECT_EQ(notified(EV_CONNECT_FAILED), std::vector<CString>{"Could Not Connect To Server!"});
    EXPECT_EQ(heldName, "LOGIN");
    EXPECT_EQ(heldCode, "777");
    EXPECT_EQ(debug, "SAVE STACK BEGIN\n CWD , /work ,  , 0\nSAVE STACK END\n"
                     "RESTORE STACK BEGIN\n CWD , /work ,  , 0\nRESTORE STACK END\n");
    EXPECT_EQ(dialogue().sent, (std::vector<CString>{"USER tester", "PWD", "CWD /work", "PWD"}));
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_EQ(questions, 0); // the work never ran ahead of the log-on, unconnected
}

} // namespace
