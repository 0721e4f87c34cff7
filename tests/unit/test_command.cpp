// The command base without a server: the listing cap and the deferred destruction of commands
// (listing collection and replies without a controller are in data/parsers.tsv).
#include "engine/Command.h"

#include "tests/support/TestController.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(CommandBase, AListingBeyondTheCapIsRefusedNotAccumulated) {
    TestController controller;
    CCommand list("LIST");
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
