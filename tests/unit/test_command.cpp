// The command base without a server: a listing's cap, the deferred destruction of commands and
// a step no case knows (listing collection and replies without a controller: data/parsers.tsv).
#include "engine/CommandFactory.h"
#include "transfer/ListCommands.h"
#include "transfer/TransferCommands.h"

#include "tests/support/TestController.h"

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

TEST(CommandBase, AListingBeyondTheCapIsRefusedNotAccumulated) {
    TestController controller;
    CLISTCommand list;
    std::string block(1 << 20, 'x');
    size_t fed = 0;
    while (fed <= kMaxListingBytes && list.getState() != CMD_FINISHED) {
        list.eventData(block.data(), static_cast<int>(block.size()));
        fed += block.size();
    }
    EXPECT_EQ(list.getState(), CMD_FINISHED);
    EXPECT_LE(list.getData().size(), kMaxListingBytes);
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 1);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[0].text.find("Listing refused"), 0u);
    list.eventData(block.data(), 10); // later blocks and the end change nothing
    list.eventData(nullptr, -1);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 1);
}

namespace {
struct Tracked : CCommand {
    explicit Tracked(bool* gone) : CCommand("NOOP"), m_gone(gone) {}
    ~Tracked() override { *m_gone = true; }
    bool* m_gone;
};
} // namespace

TEST(CommandBase, ACommandDestroyedInsideAHandlerLivesUntilTheHandlerReturns) {
    bool gone = false;
    {
        CommandCallScope outer;
        {
            CommandCallScope inner; // a nested loop inside a handler
            DestroyCommand(new Tracked(&gone));
        }
        EXPECT_FALSE(gone);
    }
    EXPECT_TRUE(gone);
    bool immediately = false;
    DestroyCommand(new Tracked(&immediately));
    EXPECT_TRUE(immediately);
}

// A step no case handles is a fault of ours: the command reports it and finishes instead of
// holding the queue for ever.
TEST(CommandBase, AnUnknownStepEndsTheCommandWithABox) {
    TestController controller;
    RegisterTransferCommands();
    for (const char* name : {"LOGIN", "TreeLIST", "RETR", "STOR"}) {
        std::unique_ptr<CCommand> command(CreateCommand(name));
        command->setState(CMD_STARTED);
        command->setStep(99);
        command->onReply("200 fine\r\n");
        EXPECT_EQ(command->getState(), CMD_FINISHED) << name;
    }
    ASSERT_EQ(controller.count(EV_SERVER_ERROR), 4);
    EXPECT_EQ(controller.notesOf(EV_SERVER_ERROR)[3].text, "Internal error: STOR at unknown step 99");
}
