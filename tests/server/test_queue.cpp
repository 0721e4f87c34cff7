// The queue's own rules: duplicates, the question when nothing is connected, saving and
// restoring work, and the release of every command it drops (EngineTest's TearDown counts
// them). The server accepts and never greets, so a log-on stays running.
#include "tests/server/EngineTest.h"

#include "net/FtpSocketControl.h"

#include <sstream>

#include "tests/support/RawPeer.h"

using namespace engine_test;

namespace {

std::vector<CString> names(const std::deque<CommandRecord>& records) {
    std::vector<CString> out;
    for (const auto& r : records)
        out.push_back(r.name + ":" + r.arg1 + (r.arg2.empty() ? "" : ":" + r.arg2));
    return out;
}

class QueueTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Account account;
        account.port = peer.Listen();
        setAccount(account);
    }
    void startRunningLogin() {
        ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
        ASSERT_TRUE(peer.Accept());
        ASSERT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    }
    testing_support::RawPeer peer;
};

// Only the newest pending request is compared; another search mark is not the same. Dropping
// some pending requests keeps the others in order.
TEST_F(QueueTest, OnlyListingAndPwdRequestsCollapseAndDroppingKeepsTheRestInOrder) {
    startRunningLogin();
    for (const char* request : {"TreeLIST /pub", "TreeLIST /pub", "TreeLIST /pub N", "DELE /a",
                                "DELE /a", "PWD", "PWD", "TreeLIST /pub"}) {
        std::vector<std::string> w(3);
        std::istringstream(request) >> w[0] >> w[1] >> w[2];
        EXPECT_TRUE(queue.submit(w[0], w[1], w[2]));
    }
    EXPECT_EQ(names(queue.pending()),
              (std::vector<CString>{"TreeLIST:/pub", "TreeLIST:/pub:N", "DELE:/a", "DELE:/a",
                                    "PWD:", "TreeLIST:/pub"}));
    EXPECT_EQ(queue.dropPending([](const CommandRecord& r) { return r.name == "TreeLIST"; }), 3u);
    EXPECT_EQ(names(queue.pending()), (std::vector<CString>{"DELE:/a", "DELE:/a", "PWD:"}));
}

TEST_F(QueueTest, WithoutAConnectionTheUserIsAskedFirstButNeverForAnAbort) {
    answerYes = false;
    EXPECT_FALSE(queue.submit("CWD", "/pub", ""));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.pendingCount(), 0u);

    answerYes = true;
    EXPECT_TRUE(queue.submit("ABOR", "", ""));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(queue.currentCommand(), nullptr);
    EXPECT_FALSE(GetControlSocket().IsOpen());

    EXPECT_TRUE(queue.submit("CWD", "/pub", ""));
    EXPECT_EQ(questions, 2);
    ASSERT_NE(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.currentCommand()->getName() + " " + queue.currentCommand()->getArg1(),
              "LOGIN Test");
    EXPECT_EQ(names(queue.pending()), std::vector<CString>{"CWD:/pub"});
}

TEST_F(QueueTest, SavingKeepsPendingWorkButNeverPortAndRestoringDropsADuplicatePwd) {
    startRunningLogin();
    queue.submit("PWD", "", "");
    queue.submit("PORT", "", "");
    queue.submit("RETR", "/f", "C:/dl");
    queue.submit("TreeLIST", "/pub", "");
    queue.saveStack(); // the current log-on cannot be restarted: only pending work is kept
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(names(queue.saved()),
              (std::vector<CString>{"PWD:", "RETR:/f:C:/dl", "TreeLIST:/pub"}));
    queue.submit("PWD", "", ""); // the newest pending request when the work comes back
    queue.restoreStack();
    EXPECT_EQ(names(queue.pending()),
              (std::vector<CString>{"PWD:", "RETR:/f:C:/dl", "TreeLIST:/pub"}));
    EXPECT_TRUE(queue.saved().empty());
}

TEST_F(QueueTest, EveryCommandTheQueueDropsIsReleased) {
    const int before = CCommand::LiveCount();
    startRunningLogin();
    EXPECT_TRUE(queue.submit("LOGIN", "Test", "")); // replaces the running log-on
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(CCommand::LiveCount(), before + 1);
    queue.currentCommand()->setState(CMD_FINISHED);
    EXPECT_TRUE(queue.submit("LOGIN", "Test", "")); // replaces a finished one
    EXPECT_EQ(CCommand::LiveCount(), before + 1);
    queue.retireCurrent();
    EXPECT_EQ(CCommand::LiveCount(), before);
    EXPECT_FALSE(queue.submit("NOSUCH", "", "")); // unknown names start nothing
    EXPECT_TRUE(controller.traced("NOSUCH UNKNOWN FTP command"));
    EXPECT_EQ(CCommand::LiveCount(), before);
}

} // namespace
