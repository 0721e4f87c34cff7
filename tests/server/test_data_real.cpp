// The one-reply commands and an abort against pyftpdlib and vsftpd, through the queue as the
// main window drives it. The effects are checked in the server's root folder directly.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"

using namespace engine_test;
using testing_support::WaitFor;

namespace {

class RealData : public RealServerTest {};

TEST_P(RealData, SimpleCommandsWorkOnTheServersFoldersAndQuitClosesEverySocket) {
    ASSERT_TRUE(MakeFolder(*server, "gamma"));
    ASSERT_TRUE(MakeFile(*server, "gamma/old.txt", "old"));
    ASSERT_TRUE(MakeFile(*server, "doomed.txt", "doomed"));
    ASSERT_TRUE(logOn());
    const size_t from = dialogue().sent.size();
    queue.submit("CWD", "/gamma", "");
    queue.submit("PWD", "", "");
    queue.submit("MKD", "\\made", "");
    queue.submit("MKD", "\\made\\\\inner", "");
    queue.submit("MKD", "\\made\\kept", "");
    queue.submit("RMD", "/made/inner", "");
    queue.submit("DELE", "/doomed.txt", "");
    queue.submit("RNFR", "/gamma/old.txt", "");
    queue.submit("RNTO", "/gamma/new.txt", "");
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(sentLines(from),
              (std::vector<CString>{"CWD /gamma", "PWD", "MKD /made", "MKD /made/inner",
                                    "MKD /made/kept", "RMD /made/inner", "DELE /doomed.txt",
                                    "RNFR /gamma/old.txt", "RNTO /gamma/new.txt"}));
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/gamma");
    EXPECT_EQ(controller.tracedLevel("Deleting Folder /made/inner"), TRACE_COMMAND);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_TRUE(files::IsFolder(server->file("made/kept")));
    EXPECT_FALSE(files::Exists(server->file("made/inner")));
    EXPECT_FALSE(files::Exists(server->file("doomed.txt")));
    EXPECT_EQ(testing_support::ReadFile(server->file("gamma/new.txt")), "old");

    // QUIT with the data side open too: it closes that first, then says goodbye.
    ASSERT_NE(run("PORT"), nullptr);
    const size_t beforeQuit = protocolLines();
    ASSERT_NE(run("QUIT"), nullptr);
    EXPECT_TRUE(waitReply("221", beforeQuit)) << history();
    EXPECT_FALSE(GetControlSocket().IsOpen());
    EXPECT_FALSE(GetDataConnection().IsOpen());
    EXPECT_FALSE(GetDataListener().IsOpen());
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
}

TEST_P(RealData, AbortDuringAListingLeavesTheConnectionUsable) {
    ASSERT_TRUE(MakeFolder(*server, "big"));
    ASSERT_EQ(MakeManyFiles(*server, "big", 3000).size(), 3000u);
    ASSERT_TRUE(logOn());
    const size_t from = protocolLines();
    queue.submit("TreeLIST", "/big", "");
    // Wait for the transfer to be under way: its first block and the 150 (or 125) are in.
    ASSERT_TRUE(
        WaitFor([&] { return traceIndexStarting("myListData TreeLIST length") >= 0; }, kWaitMs));
    ASSERT_TRUE(WaitFor([&] { return replied("150", from) || replied("125", from); }, kWaitMs));
    controller.abortAll();
    ASSERT_TRUE(WaitFor(
        [&] {
            CCommand* current = queue.currentCommand();
            return current && current->getName() == "ABOR" && idle();
        },
        kWaitMs));
    EXPECT_EQ(dialogue().sent.back(), "ABOR");
    EXPECT_FALSE(GetDataConnection().IsOpen());
    EXPECT_FALSE(GetDataListener().IsOpen());
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 0);

    // The control connection is still in step: the next requests get their own replies.
    ASSERT_NE(run("PWD"), nullptr);
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/");
    ASSERT_NE(run("TreeLIST", "/", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealData, ::testing::ValuesIn(kEachServer), ServerModeName);

} // namespace
