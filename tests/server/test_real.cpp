// The engine against pyftpdlib and vsftpd, requested as the window requests: one round trip
// per server and mode for transfers and for listings, one session and one abort on each
// server, and on one server what does not depend on it (64-bit restart points, remote names
// that must not write outside the chosen folder). Effects are checked in the server's root.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "transfer/TreeListCommand.h"

#include <algorithm>
#include <cstdlib>
#include <map>

using namespace engine_test;
using namespace testing_support;

namespace {

enum class ServerKind { Pyftpdlib, Vsftpd };
struct ServerMode {
    ServerKind kind;
    bool passive;
};
const ServerMode kAllServerModes[] = {{ServerKind::Pyftpdlib, true},
                                      {ServerKind::Pyftpdlib, false},
                                      {ServerKind::Vsftpd, true},
                                      {ServerKind::Vsftpd, false}};
std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info) {
    return std::string(info.param.kind == ServerKind::Pyftpdlib ? "pyftpdlib" : "vsftpd") +
           (info.param.passive ? "_passive" : "_active");
}

// A file of size bytes whose last tail.size() bytes are tail, the rest a hole of zeros.
bool WriteSparse(const CString& path, int64_t size, const std::string& tail) {
    files::CLocalFile file;
    return file.Open(path, files::CLocalFile::WriteTruncate) &&
           file.Seek(size - static_cast<int64_t>(tail.empty() ? 1 : tail.size())) &&
           file.Write(tail.empty() ? "" : tail.data(),
                      static_cast<int>(tail.empty() ? 1 : tail.size())) &&
           file.Close();
}

// count bytes of a file from offset ("" when it cannot be read).
std::string ReadAt(const CString& path, int64_t offset, int count) {
    files::CLocalFile file;
    std::string out(static_cast<size_t>(count), '\0');
    const int n = file.Open(path, files::CLocalFile::ReadOnly) && file.Seek(offset)
                      ? file.Read(&out[0], count)
                      : 0;
    return out.substr(0, static_cast<size_t>(std::max(n, 0)));
}

// pyftpdlib or vsftpd (started, not logged on) with its password user as the account.
class Real : public EngineTest, public ::testing::WithParamInterface<ServerMode> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        server =
            GetParam().kind == ServerKind::Pyftpdlib ? rig::StartPyftpdlib() : rig::StartVsftpd();
        ASSERT_TRUE(server->ok()) << server->error();
        useServer(false);
    }
    void useServer(bool anonymous) {
        Account account;
        account.port = server->port();
        account.user = server->user();
        account.password = server->password();
        account.anonymous = anonymous;
        account.passive = GetParam().passive;
        setAccount(account);
    }
    // A path in the server's root, as this program reaches it.
    CString remoteFile(const char* name) const { return server->file(name); }
    bool makeFile(const char* name, const std::string& content = "x") const {
        return files::CreateFolders(files::ParentFolder(remoteFile(name))) &&
               WriteFile(remoteFile(name), content);
    }
    // count files "entry-NNNNN.dat" in a new folder; their names in order.
    std::vector<CString> makeManyFiles(const char* folder, int count) const {
        std::vector<CString> names;
        for (int i = 0; i < count; ++i) {
            names.push_back(FormatString("entry-%05d.dat", i));
            if (!makeFile((CString(folder) + "/" + names.back()).c_str()))
                return {};
        }
        return names;
    }
    CString lastProgress(const CString& name) const {
        CString last;
        for (const CString& text : progress())
            if (text.find(" of " + name + " received") != std::string::npos)
                last = text;
        return last;
    }
    // What the window would read at each completed listing: the folder and its bytes.
    void keepListings() {
        controller.onNotify = [this](const CString&, int event) {
            auto* tree = dynamic_cast<CTreeLISTCommand*>(queue.currentCommand());
            if (event == EV_LISTING_DONE && tree)
                listings[tree->getArg1()].assign(tree->listing().begin(), tree->listing().end());
        };
    }
    std::map<CString, std::string> listings;
    std::unique_ptr<rig::Server> server;
};

using RoundTrip = Real;

TEST_P(RoundTrip, FilesGoUpAndComeBackByteExactAndFoldersAreListed) {
    struct Case {
        const char* name;
        size_t size;
        const char* kbytes; // the last download progress line's kilobyte number
    };
    const Case cases[] = {{"empty.bin", 0, "0"},
                          {"f999.bin", 999, "0"},
                          {"f1000.bin", 1000, "1"},
                          {"f4000.bin", 4000, "4"},
                          {"big.bin", 3 << 20, "3145"}};
    TempDir downloads;
    std::vector<std::string> contents;
    for (const Case& c : cases) {
        contents.push_back(RandomBytes(c.size, static_cast<uint32_t>(c.size) + 1));
        ASSERT_TRUE(WriteFile(local.file(c.name), contents.back()));
    }
    // Existing files of the same name are replaced; an empty partial file is a fresh start.
    ASSERT_TRUE(makeFile("f4000.bin", "an older f4000.bin on the server"));
    ASSERT_TRUE(WriteFile(downloads.file("f4000.bin"), "an older f4000.bin"));
    ASSERT_TRUE(WriteFile(downloads.file("big.bin.TarnwickPart"), ""));
    ASSERT_TRUE(files::CreateFolders(remoteFile("empty")));
    const std::vector<CString> names = makeManyFiles("many", 3000);
    ASSERT_EQ(names.size(), 3000u);
    ASSERT_TRUE(logOn());
    keepListings();

    const CString up = localFolder();
    CString down = downloads.path();
    down.Replace("\\", "/");
    for (const Case& c : cases)
        upload(local.file(c.name), "/");
    for (size_t i = 0; i < 5; ++i) // one remote path without a folder: the whole path is the name
        download(i == 1 ? CString(cases[i].name) : CString("/") + cases[i].name, down);
    queue.submit("UpdateLocalListCommand", down, "");
    // Listings queued back to back, as the panes and the search do.
    for (const char* folder : {"/", "/empty", "/many"})
        queue.submit("TreeLIST", folder, "");
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_FALSE(sent("REST"));
    const std::vector<CString> shown = progress();
    for (size_t i = 0; i < 5; ++i) {
        const CString name = cases[i].name;
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadFile(remoteFile(cases[i].name)) == contents[i]);
        EXPECT_TRUE(ReadFile(downloads.file(cases[i].name)) == contents[i]);
        EXPECT_FALSE(files::Exists(downloads.file((name + ".TarnwickPart").c_str())));
        // The root folder joined with the name: two slashes, as the window has always sent.
        EXPECT_TRUE(sent("STOR //" + name));
        // Upload progress tells what was sent before each round: it starts at 0.
        EXPECT_TRUE(std::count(shown.begin(), shown.end(), "0 kbytes of " + name + " sent"));
        EXPECT_EQ(lastProgress(name),
                  CString(cases[i].kbytes) + " kbytes of " + name + " received");
        EXPECT_TRUE(
            controller.traced(FormatString("Finished Writing File %s/%s count %lld >>>", up.c_str(),
                                           name.c_str(), static_cast<long long>(cases[i].size))));
    }
    // The progress event carries the kilobyte number alone as its reply text.
    for (const auto& note : controller.notesOf(EV_PROGRESS))
        EXPECT_EQ(note.text.Left(note.reply.GetLength() + 1), note.reply + " ");
    EXPECT_EQ(notified(EV_REFRESH_LOCAL), std::vector<CString>{down});

    EXPECT_EQ(controller.count(EV_LISTING_DONE), 3);
    for (const char* name : {" big.bin\r\n", " empty\r\n", " many\r\n"})
        EXPECT_NE(listings["/"].find(name), std::string::npos) << name;
    EXPECT_EQ(listings["/empty"], "");
    const std::string& many = listings["/many"];
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 3000);
    for (const CString& name : names)
        ASSERT_NE(many.find(" " + name + "\r\n"), std::string::npos) << name;
}

// The network fails mid-file: both our sockets are reset (the servers see resets, and what our
// buffers held is lost) and the reset handler runs as the socket layer would call it. The
// user answers Retry; after the new log-on each transfer resumes where the server really is,
// in binary mode, and both files end up byte for byte what they should be.
TEST_P(RoundTrip, TransfersCutMidFileResumeByteExactAfterRetry) {
    const std::string content = RandomBytes(24 << 20, 31);
    ASSERT_TRUE(WriteFile(local.file("up.bin"), content));
    ASSERT_TRUE(makeFile("down.bin", content));
    ASSERT_TRUE(logOn());
    controller.retryAfterConnectionError = true;
    bool cut = false;
    int cuts = 0;
    auto cutNow = [&] { // from inside the engine's own call, as a network failure may strike
        cut = true;
        ++cuts;
        for (CAsyncSocket* socket : {static_cast<CAsyncSocket*>(&GetDataConnection()),
                                     static_cast<CAsyncSocket*>(&GetControlSocket())}) {
            linger hard = {1, 0};
            setsockopt(socket->m_hSocket, SOL_SOCKET, SO_LINGER,
                       reinterpret_cast<const char*>(&hard), sizeof hard);
            socket->Close();
        }
        GetControlSocket().OnClose(WSAECONNRESET);
    };
    controller.onNotify = [&](const CString& text, int event) {
        if (event == EV_PROGRESS && !cut && atoi(text.c_str()) >= 4000)
            cutNow();
    };
    // Wine takes a whole upload into buffers of its own in one round of sending: cut as that
    // round ends, while most of the file is still on its way.
    controller.onTrace = [&](const CString& text, int) {
        if (!cut && RunningUnderWine() && text.Left(22) == "Finished Writing File " &&
            text.find("up.bin count") != std::string::npos)
            cutNow();
    };
    for (const char* direction : {"up", "down"}) {
        SCOPED_TRACE(direction);
        cut = false;
        if (direction[0] == 'u')
            upload(local.file("up.bin"), "/");
        else
            download("/down.bin", localFolder());
        // The queue is idle for a moment after the cut, until the retry puts the work back.
        const CString size = direction[0] == 'u' ? "SIZE //up.bin" : "SIZE /down.bin";
        // (A slow client, the sanitizers' build, may hand over a whole upload in one round
        // before any progress is reported: nothing is cut then.)
        ASSERT_TRUE(WaitFor([&] { return cut || idle(); }, 60000));
        if (cut) {
            ASSERT_TRUE(WaitFor([&] { return sent(size); }, 60000));
        }
        ASSERT_TRUE(runToIdle(60000));
        EXPECT_TRUE(errors().empty()) << errors()[0];
    }
    EXPECT_GE(cuts, 1);
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), cuts);
    EXPECT_EQ(rig::Checksum(ReadFile(remoteFile("up.bin"))), rig::Checksum(content));
    EXPECT_EQ(rig::Checksum(ReadFile(local.file("down.bin"))), rig::Checksum(content));
}

INSTANTIATE_TEST_SUITE_P(Servers, RoundTrip, ::testing::ValuesIn(kAllServerModes), ServerModeName);

// Sent lines as they are, replies as their code; continuation lines left out, so servers
// that add a line of welcome compare the same.
std::vector<CString> Shape(const std::vector<CString>& dialogue) {
    std::vector<CString> shape;
    for (const CString& line : dialogue) {
        if (line.size() < 3 || !isdigit(static_cast<unsigned char>(line[0])))
            shape.push_back(line);
        else if (line.size() < 4 || line[3] != '-')
            shape.push_back(line.Left(3));
    }
    return shape;
}

using Session = Real;

TEST_P(Session, LogsOnRunsTheSimpleCommandsAndQuitClosesEverySocket) {
    ASSERT_TRUE(makeFile("gamma/old.txt", "old"));
    ASSERT_TRUE(makeFile("doomed.txt", "doomed"));
    // Anonymous on the server that taught us its name is case-sensitive ("USER anonymous").
    const bool anonymous = GetParam().kind == ServerKind::Pyftpdlib;
    useServer(anonymous);
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    EXPECT_EQ(queue.currentCommand()->getState(), CMD_STARTED);
    EXPECT_EQ(controller.tracedLevel("Logging into account Test"), TRACE_COMMAND);
    EXPECT_TRUE(queue.submit("CWD", "/gamma", "")); // waits behind the log-on

    // The connection is up: the controller asks for PWD, which queues behind the CWD.
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) == 1; }, kWaitMs));
    ASSERT_EQ(queue.pendingCount(), 2u);
    EXPECT_EQ(queue.pending()[0].name, "CWD");
    EXPECT_EQ(queue.pending()[1].name, "PWD");
    ASSERT_TRUE(WaitFor([&] { return idle() && controller.count(EV_REMOTE_DIR) == 2; }, kWaitMs));
    // The queue reported the connection once more, with the local address, and ran its own
    // PWD first; the controller's second PWD request was a duplicate and was dropped.
    auto states = controller.notesOf(EV_CONNECTION_STATE);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[1].reply, "127.0.0.1");
    EXPECT_EQ(notified(EV_REMOTE_DIR), (std::vector<CString>{"/", "/gamma"}));
    const CString user = anonymous ? "anonymous" : server->user();
    EXPECT_EQ(Shape(protocol()), (std::vector<CString>{"220", "USER " + user, "331", "230", "PWD",
                                                       "257", "CWD /gamma", "250", "PWD", "257"}));
    const CString password = anonymous ? "guest@example.com" : server->password();
    for (const auto& trace : controller.traces) {
        EXPECT_NE(trace.first.Left(4), "PASS") << "a password line was traced";
        EXPECT_EQ(trace.first.find(password), std::string::npos) << trace.first;
    }

    const size_t from = sentLines().size();
    for (const char* mkd : {"\\made", "\\made\\\\inner", "\\made\\kept"})
        queue.submit("MKD", mkd, "");
    queue.submit("RMD", "/made/inner", "");
    queue.submit("DELE", "/doomed.txt", "");
    queue.submit("RNFR", "/gamma/old.txt", "");
    queue.submit("RNTO", "/gamma/new.txt", "");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(
        sentLines(from),
        (std::vector<CString>{"MKD /made", "MKD /made/inner", "MKD /made/kept", "RMD /made/inner",
                              "DELE /doomed.txt", "RNFR /gamma/old.txt", "RNTO /gamma/new.txt"}));
    EXPECT_EQ(controller.tracedLevel("Deleting Folder /made/inner"), TRACE_COMMAND);
    EXPECT_EQ(controller.count(EV_SERVER_ERROR), 0);
    EXPECT_TRUE(files::IsFolder(remoteFile("made/kept")));
    EXPECT_FALSE(files::Exists(remoteFile("made/inner")));
    EXPECT_FALSE(files::Exists(remoteFile("doomed.txt")));
    EXPECT_EQ(ReadFile(remoteFile("gamma/new.txt")), "old");

    // QUIT with the data side open too: it closes that first, then says goodbye.
    ASSERT_NE(run("PORT"), nullptr);
    const size_t beforeQuit = protocol().size();
    ASSERT_NE(run("QUIT"), nullptr);
    EXPECT_TRUE(WaitFor([&] { return replied("221", beforeQuit); }, kWaitMs));
    EXPECT_FALSE(GetControlSocket().IsOpen());
    EXPECT_FALSE(GetDataConnection().IsOpen());
    EXPECT_FALSE(GetDataListener().IsOpen());
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 0);
}

TEST_P(Session, AbortDuringAListingLeavesTheConnectionUsable) {
    ASSERT_EQ(makeManyFiles("big", 3000).size(), 3000u);
    ASSERT_TRUE(logOn());
    const size_t from = protocol().size();
    queue.submit("TreeLIST", "/big", "");
    // Wait for the transfer to be under way: its first block and the 150 (or 125) are in.
    ASSERT_TRUE(WaitFor(
        [&] {
            return (replied("150", from) || replied("125", from)) &&
                   std::any_of(controller.traces.begin(), controller.traces.end(), [](auto& t) {
                       return t.first.rfind("myListData TreeLIST length", 0) == 0;
                   });
        },
        kWaitMs));
    controller.abortAll();
    ASSERT_TRUE(
        WaitFor([&] { return queue.currentCommand()->getName() == "ABOR" && idle(); }, kWaitMs));
    EXPECT_EQ(sentLines().back(), "ABOR");
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

// Each server once, one in each mode: the session does not depend on the mode.
INSTANTIATE_TEST_SUITE_P(Servers, Session,
                         ::testing::Values(kAllServerModes[0], kAllServerModes[3]), ServerModeName);

using Once = Real;

// A name the server hands over is used inside the chosen folder or not at all.
TEST_P(Once, RemoteNamesThatLeaveTheFolderAreRefusedBeforeAnythingIsSent) {
    ASSERT_TRUE(makeFile("x", "plain x"));
    ASSERT_TRUE(files::CreateFolder(local.file("dl")));
    ASSERT_TRUE(logOn());
    const CString folder = localFolder() + "/dl";
    const std::vector<std::string> parentBefore = Listing(local.path());
    for (const char* path : {"..", "/pub/..", "a\\..\\..\\x", "C:x", "/C:x", "", "/pub/"}) {
        SCOPED_TRACE(path);
        const size_t sentBefore = sentLines().size(), errorsBefore = errors().size();
        download(path, folder);
        ASSERT_TRUE(runToIdle());
        EXPECT_EQ(sentLines(sentBefore), std::vector<CString>{"TYPE I"});
        ASSERT_EQ(errors().size(), errorsBefore + 1);
        EXPECT_EQ(errors().back().Left(15), "Not downloaded:") << errors().back();
        EXPECT_TRUE(Listing(local.file("dl")).empty());
        EXPECT_EQ(Listing(local.path()), parentBefore);
    }
    download("../x", folder); // names the file x: it lands in the folder
    ASSERT_TRUE(runToIdle());
    EXPECT_EQ(Listing(local.file("dl")), std::vector<std::string>{"x 7"});
    EXPECT_EQ(Listing(local.path()), parentBefore);
}

// 64-bit sizes and restart points without moving gigabytes: the files are holes up to the
// last few KiB, and only those travel, down and up.
TEST_P(Once, FilesBeyondFourGiBResumeAtA64BitOffsetBothWays) {
    const int64_t size = (int64_t{5} << 30) + 12345;
    const std::string tail = rig::PatternBytes(0, 40000);
    const int64_t restart = size - static_cast<int64_t>(tail.size());
    ASSERT_TRUE(WriteSparse(remoteFile("down.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(local.file("down.bin.TarnwickPart"), restart, ""));
    ASSERT_TRUE(WriteSparse(local.file("up.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(remoteFile("up.bin"), restart, ""));
    ASSERT_TRUE(logOn());
    download("/down.bin", localFolder());
    ASSERT_TRUE(runToIdle(60000));
    ASSERT_TRUE(queue.start("STOR", local.file("up.bin"), "/", restart));
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    const CString rest = FormatString("REST %lld", static_cast<long long>(restart));
    const std::vector<CString> lines = sentLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), rest), 2);
    for (const CString& file : {local.file("down.bin"), remoteFile("up.bin")}) {
        EXPECT_EQ(files::Size(file), size) << file;
        EXPECT_TRUE(ReadAt(file, restart, 40000) == tail) << file;
        EXPECT_EQ(ReadAt(file, restart - 8, 8), std::string(8, '\0')) << file;
    }
    EXPECT_EQ(lastProgress("down.bin"), FormatString("%lld kbytes of down.bin received",
                                                     static_cast<long long>(size / 1000)));
    EXPECT_TRUE(
        controller.traced(FormatString("Finished Writing File %s/up.bin count %lld >>>",
                                       localFolder().c_str(), static_cast<long long>(size))));
}

INSTANTIATE_TEST_SUITE_P(Server, Once, ::testing::Values(ServerMode{ServerKind::Vsftpd, true}),
                         ServerModeName);

} // namespace
