// The tree listing command, queued as "TreeLIST" the way the panes and the search queue it:
// against pyftpdlib and vsftpd in both data-connection modes, and against the fake server for
// the orders in which the server's reply and the end of the data may arrive.
#include "tests/server/EngineTest.h"

#include "transfer/TreeListCommand.h"

#include <map>

using namespace engine_test;
using testing_support::WaitFor;

namespace {

// What the window would read at each completed listing: the folder and its bytes.
template <class Base>
class WithListings : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        this->controller.onNotify = [this](const CString&, int event) {
            if (event != EV_LISTING_DONE)
                return;
            auto* tree = dynamic_cast<CTreeLISTCommand*>(this->queue.currentCommand());
            ASSERT_NE(tree, nullptr) << "a completed listing that is not the current command";
            listings[tree->getArg1()] = std::string(tree->listing().begin(), tree->listing().end());
        };
    }
    std::map<CString, std::string> listings;
};
using TreeListTest = WithListings<EngineTest>;
using RealTreeList = WithListings<RealServerTest>;

TEST_P(RealTreeList, ListsFoldersSmallEmptyAndLarge) {
    ASSERT_TRUE(MakeFile(*server, "top.txt", "top"));
    ASSERT_TRUE(MakeFolder(*server, "empty"));
    ASSERT_TRUE(MakeFolder(*server, "big"));
    const std::vector<CString> names = MakeManyFiles(*server, "big", 3000);
    ASSERT_EQ(names.size(), 3000u);
    ASSERT_TRUE(logOn());

    // Queued back to back, as the panes and the search do.
    queue.submit("TreeLIST", "/", "");
    queue.submit("TreeLIST", "/empty", "");
    queue.submit("TreeLIST", "/big", "");
    ASSERT_TRUE(WaitFor([&] { return idle() && listings.size() == 3; }, kWaitMs)) << history();
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 3);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);

    for (const char* name : {" top.txt\r\n", " empty\r\n", " big\r\n"})
        EXPECT_NE(listings["/"].find(name), std::string::npos) << name;
    EXPECT_EQ(listings["/empty"], "");
    const std::string& big = listings["/big"];
    size_t lines = 0;
    for (size_t at = big.find("\r\n"); at != std::string::npos; at = big.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, names.size());
    for (const CString& name : names)
        ASSERT_NE(big.find(" " + name + "\r\n"), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(Servers, RealTreeList, ::testing::ValuesIn(kAllServerModes),
                         ServerModeName);

// The listing needs both the server's final reply and the end of the data, in either order.
struct Order {
    const char* name;  // the script is "tree-<name>"
    int stepAtDataEnd; // where the command stood when the data ended
};

class FakeTreeList : public TreeListTest, public ::testing::WithParamInterface<Order> {};

TEST_P(FakeTreeList, CompletesWhicheverComesLast) {
    auto fake = rig::StartFake(kFakeLogOn + Script((std::string("tree-") + GetParam().name).c_str()));
    ASSERT_TRUE(fake->ok()) << fake->error();
    useFake(*fake);
    ASSERT_TRUE(logOn());
    CCommand* tree = run("TreeLIST", "/dir", "");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->getName(), "TreeLIST");
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(listings["/dir"], "a\r\nb\r\n");
    EXPECT_TRUE(controller.traced(
        FormatString("<<< myListData TreeLIST total len = 6 step %d DATA Completed >>>",
                     GetParam().stepAtDataEnd)))
        << history();
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, FakeTreeList,
    ::testing::Values(Order{"ReplyThenDataThenFinal", 6}, Order{"ReplyThenFinalThenData", 7},
                      Order{"DataBeforeAnyReply", 5}, Order{"Final250", 6}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(TreeListTest, AnEmptyPathListsTheFolderTheWindowShows) {
    auto fake = rig::StartFake(kFakeLogOn + Script("tree-empty-path"));
    ASSERT_TRUE(fake->ok()) << fake->error();
    useFake(*fake);
    ASSERT_TRUE(logOn());
    controller.remoteDir = "/shown/here";
    ASSERT_NE(run("TreeLIST", "  ", ""), nullptr);
    EXPECT_EQ(controller.count(EV_GET_REMOTE_DIR), 1);
    EXPECT_EQ(controller.tracedLevel("Getting Directory Listing for /shown/here"), TRACE_COMMAND);
    EXPECT_EQ(listings["/shown/here"], "z\r\n");
}

} // namespace
