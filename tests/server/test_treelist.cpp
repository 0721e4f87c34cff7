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
class TreeListTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        controller.onNotify = [this](const CString&, int event) {
            if (event != EV_LISTING_DONE)
                return;
            auto* tree = dynamic_cast<CTreeLISTCommand*>(queue.currentCommand());
            ASSERT_NE(tree, nullptr) << "a completed listing that is not the current command";
            listings[tree->getArg1()] = std::string(tree->listing().begin(), tree->listing().end());
        };
    }
    std::map<CString, std::string> listings;
};

struct Setup {
    ServerKind kind;
    bool passive;
};

class RealTreeList : public TreeListTest, public ::testing::WithParamInterface<Setup> {
protected:
    void SetUp() override {
        TreeListTest::SetUp();
        server = StartServer(GetParam().kind);
        ASSERT_TRUE(server->ok()) << server->error();
        useServer(*server, GetParam().passive);
    }
    std::unique_ptr<rig::Server> server;
};

TEST_P(RealTreeList, ListsFoldersSmallEmptyAndLarge) {
    ASSERT_TRUE(testing_support::WriteFile(server->file("top.txt"), "top"));
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

INSTANTIATE_TEST_SUITE_P(
    Servers, RealTreeList,
    ::testing::Values(Setup{ServerKind::Pyftpdlib, true}, Setup{ServerKind::Pyftpdlib, false},
                      Setup{ServerKind::Vsftpd, true}, Setup{ServerKind::Vsftpd, false}),
    [](const auto& p) {
        return std::string(Name(p.param.kind)) + (p.param.passive ? "_passive" : "_active");
    });

// The listing needs both the server's final reply and the end of the data, in either order.
struct Order {
    const char* name;
    const char* afterList; // the fake's part after LIST
    int stepAtDataEnd;     // where the command stood when the data ended
};

class FakeTreeList : public TreeListTest, public ::testing::WithParamInterface<Order> {};

TEST_P(FakeTreeList, CompletesWhicheverComesLast) {
    auto fake = rig::StartFake(kFakeLogOn + std::string("expect PASV\npasv\nexpect LIST /dir\n") +
                               GetParam().afterList);
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
    ::testing::Values(Order{"ReplyThenDataThenFinal",
                            "reply 150 Here\npause 500\ndsend a\\r\\nb\\r\\n\ndclose\npause 700\n"
                            "reply 226 Done\n",
                            6},
                      Order{"ReplyThenFinalThenData",
                            "reply 150 Here\nreply 226 Done\npause 700\ndsend a\\r\\nb\\r\\n\n"
                            "dclose\n",
                            7},
                      Order{"DataBeforeAnyReply",
                            "dsend a\\r\\nb\\r\\n\ndclose\npause 700\nreply 150 Here\n"
                            "reply 226 Done\n",
                            5},
                      Order{"Final250",
                            "reply 150 Here\npause 500\ndsend a\\r\\nb\\r\\n\ndclose\npause 700\n"
                            "reply 250 Done\n",
                            6}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(TreeListTest, AnEmptyPathListsTheFolderTheWindowShows) {
    auto fake = rig::StartFake(kFakeLogOn + std::string("expect PASV\npasv\n"
                                                        "expect LIST /shown/here\n"
                                                        "reply 150 Here\ndsend z\\r\\n\ndclose\n"
                                                        "reply 226 Done\n"));
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
