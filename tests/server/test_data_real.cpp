// Data connections and the one-reply commands against pyftpdlib and vsftpd, in passive and in
// active mode, through the queue as the main window drives it. The effects are checked in the
// server's root folder directly.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"

#include <algorithm>

using namespace engine_test;
using testing_support::WaitFor;

namespace {

struct Setup {
    ServerKind kind;
    bool passive;
};

std::string SetupName(const ::testing::TestParamInfo<Setup>& p) {
    return std::string(Name(p.param.kind)) + (p.param.passive ? "_passive" : "_active");
}

// The lines of a listing, each without its line end.
std::vector<CString> Lines(const std::string& bytes) {
    std::vector<CString> lines;
    size_t start = 0, end;
    while ((end = bytes.find("\r\n", start)) != std::string::npos) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class RealData : public EngineTest, public ::testing::WithParamInterface<Setup> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        server = StartServer(GetParam().kind);
        ASSERT_TRUE(server->ok()) << server->error();
        useServer(*server, GetParam().passive);
    }

    // NLST and LIST set up no data channel of their own. A "PORT" request opens one (passive
    // or active, as the account says); the listing request that follows then gets the data
    // connection the way every command does: the queue registers the command it starts as
    // the data connection's recipient.
    std::string list(const char* verb, const CString& folder) {
        CCommand* port = run("PORT");
        if (!port || port->getName() != "PORT" || port->getState() != CMD_FINISHED) {
            ADD_FAILURE() << "the data channel did not open for " << verb << " " << folder;
            return "";
        }
        const size_t from = protocolLines();
        CCommand* listing = run(verb, folder);
        if (!listing || listing->getName() != verb) {
            ADD_FAILURE() << verb << " " << folder << " did not finish";
            return "";
        }
        // The end of the data finished it; the server's final reply follows and must not be
        // left for the next request.
        EXPECT_TRUE(waitReply("226", from)) << verb << " " << folder;
        return std::string(listing->getData().begin(), listing->getData().end());
    }

    std::unique_ptr<rig::Server> server;
};

TEST_P(RealData, APortRequestOpensTheDataChannelTheAccountAsksFor) {
    ASSERT_TRUE(logOn());
    CCommand* port = run("PORT");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->getName(), "PORT");
    EXPECT_EQ(port->getState(), CMD_FINISHED);
    const std::vector<CString> sent = dialogue().sent;
    if (GetParam().passive) {
        EXPECT_EQ(sent.back(), "PASV");
        EXPECT_EQ(controller.tracedLevel("200 PASV mode opened"), TRACE_PROTOCOL);
        EXPECT_TRUE(GetDataConnection().IsOpen());
        return;
    }
    sockaddr_in listening;
    int length = sizeof listening;
    ASSERT_TRUE(GetDataListener().GetSockName(reinterpret_cast<sockaddr*>(&listening), &length));
    const unsigned p = ntohs(listening.sin_port);
    const CString argument = FormatString("127,0,0,1,%u,%u", p / 256, p % 256);
    EXPECT_EQ(sent.back(), "PORT " + argument);
    EXPECT_EQ(controller.tracedLevel("PORT addr" + argument), TRACE_PORT);
}

TEST_P(RealData, ListingsArriveWholeAndEmptyFoldersAsBlanks) {
    ASSERT_TRUE(MakeFolder(*server, "empty"));
    ASSERT_TRUE(MakeFolder(*server, "big"));
    const std::vector<CString> names = MakeManyFiles(*server, "big", 3000);
    ASSERT_EQ(names.size(), 3000u);
    ASSERT_TRUE(logOn());

    // NLST names every file once (vsftpd puts the folder in front; only the names count).
    std::vector<CString> listed;
    for (const CString& line : Lines(list("NLST", "/big")))
        listed.push_back(line.Mid(line.ReverseFind('/') + 1));
    std::sort(listed.begin(), listed.end());
    EXPECT_TRUE(listed == names) << listed.size() << " names listed";

    const std::string long_listing = list("LIST", "/big");
    EXPECT_EQ(Lines(long_listing).size(), names.size());
    for (const CString& name : names)
        ASSERT_NE(long_listing.find(" " + name + "\r\n"), std::string::npos) << name;

    EXPECT_EQ(list("LIST", "/empty"), " ");
    EXPECT_EQ(list("NLST", "/empty"), "  ");
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_P(RealData, SimpleCommandsWorkOnTheServersFolders) {
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

    const std::vector<CString> sent = dialogue().sent;
    EXPECT_EQ(std::vector<CString>(sent.begin() + static_cast<long>(from), sent.end()),
              (std::vector<CString>{"CWD /gamma", "PWD", "MKD /made", "MKD /made/inner",
                                    "MKD /made/kept", "RMD /made/inner", "DELE /doomed.txt",
                                    "RNFR /gamma/old.txt", "RNTO /gamma/new.txt"}));
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/gamma");
    EXPECT_EQ(controller.tracedLevel("Creating Folder /made/inner"), TRACE_COMMAND);
    EXPECT_EQ(controller.tracedLevel("Deleting Folder /made/inner"), TRACE_COMMAND);
    EXPECT_EQ(controller.tracedLevel("Deleting File /doomed.txt"), TRACE_COMMAND);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);

    EXPECT_TRUE(files::IsFolder(server->file("made/kept")));
    EXPECT_FALSE(files::Exists(server->file("made/inner")));
    EXPECT_FALSE(files::Exists(server->file("doomed.txt")));
    EXPECT_FALSE(files::Exists(server->file("gamma/old.txt")));
    EXPECT_EQ(testing_support::ReadFile(server->file("gamma/new.txt")), "old");
}

TEST_P(RealData, ARefusedCommandIsReportedAndTheNextOneRuns) {
    ASSERT_TRUE(logOn());
    queue.submit("CWD", "/nosuch", "");
    queue.submit("RMD", "\\nosuch", "");
    queue.submit("PWD", "", "");
    ASSERT_TRUE(waitIdle());
    auto boxes = controller.notesOf(EV_SERVER_ERROR);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text.Left(4), "550 ");
    EXPECT_EQ(boxes[0].reply, "Executing FTP Command CWD");
    EXPECT_EQ(boxes[1].text.Left(4), "550 ");
    EXPECT_EQ(boxes[1].reply, "Deleting Folder /nosuch");
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/");
}

TEST_P(RealData, SiteFinishesOnItsFinalReplyLine) {
    ASSERT_TRUE(logOn());
    const int from = static_cast<int>(controller.traces.size());
    CCommand* site = run("SITE", "HELP");
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(site->getName(), "SITE");
    const int last = traceIndexStarting("214 ", from);
    ASSERT_GE(last, 0);
    EXPECT_GT(traceIndex("Command State Change 4 from 0", from), last);
    if (GetParam().kind == ServerKind::Pyftpdlib) { // vsftpd answers on one line
        EXPECT_GE(traceIndexStarting("214-", from), 0);
    }

    // A folder of the log-on user's own: vsftpd lets only the owner change modes.
    ASSERT_NE(run("MKD", "/modes"), nullptr);
    const size_t before = protocolLines();
    site = run("SITE", "CHMOD 700 /modes");
    ASSERT_NE(site, nullptr);
    EXPECT_TRUE(waitReply("200", before));
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

TEST_P(RealData, QuitClosesEverySocket) {
    ASSERT_TRUE(logOn());
    ASSERT_NE(run("PORT"), nullptr); // something open on the data side too
    const size_t from = protocolLines();
    CCommand* quit = run("QUIT");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->getName(), "QUIT");
    EXPECT_TRUE(waitReply("221", from)) << history();
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
    EXPECT_TRUE(controller.traced("Abort complete"));

    // The control connection is still in step: the next requests get their own replies.
    CCommand* pwd = run("PWD");
    ASSERT_NE(pwd, nullptr);
    EXPECT_EQ(notified(EV_REMOTE_DIR).back(), "/");
    ASSERT_NE(run("TreeLIST", "/", ""), nullptr);
    EXPECT_EQ(controller.count(EV_LISTING_DONE), 1);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(Servers, RealData,
                         ::testing::Values(Setup{ServerKind::Pyftpdlib, true},
                                           Setup{ServerKind::Pyftpdlib, false},
                                           Setup{ServerKind::Vsftpd, true},
                                           Setup{ServerKind::Vsftpd, false}),
                         SetupName);

} // namespace
