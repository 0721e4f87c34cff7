// The queue's own rules: duplicates, holding, the question when nothing is connected, saving
// and restoring work, and the release of every command it drops.
#include "engine/Command.h"
#include "engine/CommandQueue.h"
#include "engine/EnginePlatform.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "settings/Prefs.h"

#include "tests/support/RawPeer.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::vector<CString> names(const std::deque<CommandRecord>& records) {
    std::vector<CString> out;
    for (const auto& r : records)
        out.push_back(r.name + ":" + r.arg1);
    return out;
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
        SetPrefString("USERPREFS/Test", "SERVER", "127.0.0.1");
        ASSERT_GT(peer.Listen(), 0); // accepts but never greets: a log-on stays running
        SetPrefInt("USERPREFS/Test", "PORT", peer.port());
        SetConnectQuestionHook([this] {
            ++questions;
            return answerYes;
        });
        SetDebugOutputHook([this](const CString& line) { debug += line; });
        liveBefore = CCommand::LiveCount();
    }
    void TearDown() override {
        queue.retireCurrent();
        queue.clearPending();
        GetControlSocket().Close();
        SetConnectQuestionHook(nullptr);
        SetDebugOutputHook(nullptr);
    }
    // A log-on that connects and then waits for a greeting that never comes.
    void startRunningLogin() {
        ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
        ASSERT_TRUE(peer.Accept());
        ASSERT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    }

    ScopedPrefs prefs;
    CCommandQueue queue;
    TestController controller{&queue};
    RawPeer peer;
    int questions = 0;
    bool answerYes = false;
    CString debug;
    int liveBefore = 0;
};

TEST_F(QueueTest, OnlyListingAndPwdRequestsCollapse) {
    startRunningLogin();
    EXPECT_TRUE(queue.submit("TreeLIST", "/pub", ""));
    EXPECT_TRUE(queue.submit("TreeLIST", "/pub", ""));
    EXPECT_TRUE(queue.submit("TreeLIST", "/pub", "N")); // another search mark: not the same
    EXPECT_TRUE(queue.submit("DELE", "/a", ""));
    EXPECT_TRUE(queue.submit("DELE", "/a", ""));
    EXPECT_TRUE(queue.submit("PWD", "", ""));
    EXPECT_TRUE(queue.submit("PWD", "", ""));
    EXPECT_TRUE(queue.submit("TreeLIST", "/pub", "")); // only the newest pending is compared
    EXPECT_EQ(names(queue.pending()),
              (std::vector<CString>{"TreeLIST:/pub", "TreeLIST:/pub", "DELE:/a", "DELE:/a",
                                    "PWD:", "TreeLIST:/pub"}));
    EXPECT_EQ(queue.pending()[1].arg2, "N");
}

TEST_F(QueueTest, WithoutAConnectionTheUserIsAskedFirst) {
    answerYes = false;
    EXPECT_FALSE(queue.submit("CWD", "/pub", ""));
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.pendingCount(), 0u);

    answerYes = true;
    EXPECT_TRUE(queue.submit("CWD", "/pub", ""));
    EXPECT_EQ(questions, 2);
    ASSERT_NE(queue.currentCommand(), nullptr);
    EXPECT_EQ(queue.currentCommand()->getName(), "LOGIN");
    EXPECT_EQ(queue.currentCommand()->getArg1(), "Test");
    EXPECT_EQ(names(queue.pending()), std::vector<CString>{"CWD:/pub"});
}

TEST_F(QueueTest, AnAbortWithoutAConnectionNeverOffersToConnect) {
    answerYes = true;
    EXPECT_TRUE(queue.submit("ABOR", "", ""));
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(queue.currentCommand(), nullptr);
    EXPECT_FALSE(GetControlSocket().IsOpen());
}

TEST_F(QueueTest, SavingKeepsPendingWorkButNeverPortAndRestoringDropsADuplicatePwd) {
    startRunningLogin();
    queue.submit("PWD", "", "");
    queue.submit("PORT", "", "");
    queue.submit("RETR", "/f", "C:/dl");
    queue.submit("TreeLIST", "/pub", "");
    queue.saveStack(); // the current log-on cannot be restarted: only pending work is kept
    EXPECT_EQ(queue.pendingCount(), 0u);
    EXPECT_EQ(names(queue.saved()), (std::vector<CString>{"PWD:", "RETR:/f", "TreeLIST:/pub"}));
    EXPECT_EQ(debug, "SAVE STACK BEGIN\n"
                     " PWD ,  ,  , 0\n"
                     " RETR , /f , C:/dl , 0\n"
                     " TreeLIST , /pub ,  , 0\n"
                     "SAVE STACK END\n");

    debug.clear();
    queue.submit("PWD", "", ""); // the newest pending request when the work comes back
    queue.restoreStack();
    EXPECT_EQ(names(queue.pending()), (std::vector<CString>{"PWD:", "RETR:/f", "TreeLIST:/pub"}));
    EXPECT_TRUE(queue.saved().empty());
    EXPECT_EQ(debug, "RESTORE STACK BEGIN\n"
                     " RETR , /f , C:/dl , 0\n"
                     " TreeLIST , /pub ,  , 0\n"
                     "RESTORE STACK END\n");
}

TEST_F(QueueTest, EveryCommandTheQueueDropsIsReleased) {
    startRunningLogin();
    EXPECT_TRUE(queue.submit("LOGIN", "Test", "")); // replaces the running log-on
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(CCommand::LiveCount(), liveBefore + 1);
    queue.currentCommand()->setState(CMD_FINISHED);
    EXPECT_TRUE(queue.submit("LOGIN", "Test", "")); // replaces a finished one
    EXPECT_EQ(CCommand::LiveCount(), liveBefore + 1);
    queue.retireCurrent();
    EXPECT_EQ(CCommand::LiveCount(), liveBefore);
    EXPECT_FALSE(queue.submit("NOSUCH", "", "")); // unknown names start nothing
    EXPECT_TRUE(controller.traced("NOSUCH UNKNOWN FTP command"));
    EXPECT_EQ(CCommand::LiveCount(), liveBefore);
}

} // namespace
