// The engine against pyftpdlib and vsftpd, requested as the window requests: one round trip
// per server and mode for transfers and for listings, one session on each server, and on one
// server what does not depend on it (64-bit restart points, remote names that must not write
// outside the chosen folder). Effects are checked in the server's root.
#include "tests/server/EngineTest.h"

#include "common/Files.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "transfer/TreeListCommand.h"

#include <algorithm>
#include <map>

using namespace engine_test;
using namespace testing_support;

namespace {

struct ServerMode {
    bool vsftpd, passive;
};
const ServerMode kAllServerModes[] = {{false, true}, {false, false}, {true, true}, {true, false}};
std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info) {
    return std::string(info.param.vsftpd ? "vsftpd" : "pyftpdlib") +
           (info.param.passive ? "_passive" : "_active");
}

// A file of size bytes whose last tail.size() bytes are tail, the rest a hole of zeros.
bool WriteSparse(const CString& path, int64_t size, const std::string& tail) {
    files::CLocalFile file;
    return file.Open(path, files::CLocalFile::WriteTruncate) &&
           file.Seek(size - static_cast<int64_t>(tail.size())) &&
           file.Write(tail.data(), static_cast<int>(tail.size())) && file.Close();
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
        server = GetParam().vsftpd ? rig::StartVsftpd() : rig::StartPyftpdlib();
        ASSERT_TRUE(server->ok()) << server->error();
        useServer(false);
    }
    void useServer(bool anonymous) {
        setAccount({"127.0.0.1", server->port(), true, server->user(), server->password(),
                    anonymous, GetParam().passive});
    }
    // A path in the server's root, as this program reaches it.
    CString remoteFile(const char* name) const { return server->file(name); }
    bool makeFile(const char* name, const std::string& content = "x") const {
        return files::CreateFolders(files::ParentFolder(remoteFile(name))) &&
               WriteFile(remoteFile(name), content);
    }
    // Whether the progress line for size bytes of name received was shown (whole kilobytes).
    bool showedReceived(const CString& name, int64_t size) const {
        const std::vector<CString> shown = progress();
        return std::count(shown.begin(), shown.end(),
                          FormatString("%lld kbytes of %s received",
                                       static_cast<long long>(size / 1000), name.c_str())) > 0;
    }
    std::unique_ptr<rig::Server> server;
};

using RoundTrip = Real;

TEST_P(RoundTrip, FilesGoUpAndComeBackByteExactAndFoldersAreListed) {
    // Nothing, a few kilobytes replacing an older file, and a file of many blocks.
    const std::pair<const char*, size_t> cases[] = {
        {"empty.bin", 0}, {"f4000.bin", 4000}, {"big.bin", 3 << 20}};
    TempDir downloads;
    for (const auto& c : cases)
        ASSERT_TRUE(WriteFile(local.file(c.first), RandomBytes(c.second, 7)));
    // Existing files of the same name are replaced; an empty partial file is a fresh start.
    ASSERT_TRUE(makeFile("f4000.bin", "an older f4000.bin on the server"));
    ASSERT_TRUE(WriteFile(downloads.file("f4000.bin"), "an older f4000.bin"));
    ASSERT_TRUE(WriteFile(downloads.file("big.bin.TarnwickPart"), ""));
    ASSERT_TRUE(files::CreateFolders(remoteFile("empty")));
    for (int i = 0; i < 3000; ++i)
        ASSERT_TRUE(makeFile(FormatString("many/entry-%05d.dat", i).c_str()));
    ASSERT_TRUE(logOn());
    // What the window would read at each completed listing: the folder and its bytes.
    std::map<CString, std::string> listings;
    controller.onNotify = [&](const CString&, int event) {
        auto* tree = dynamic_cast<CTreeLISTCommand*>(queue.currentCommand());
        if (event == EV_LISTING_DONE && tree)
            listings[tree->getArg1()].assign(tree->listing().begin(), tree->listing().end());
    };

    CString down = downloads.path();
    down.Replace("\\", "/");
    for (const auto& c : cases)
        upload(local.file(c.first), "/");
    for (size_t i = 0; i < std::size(cases);
         ++i) // one remote path without a folder: the whole path is the name
        download(i == 1 ? CString(cases[i].first) : CString("/") + cases[i].first, down);
    // Listings queued back to back, as the panes and the search do.
    for (const char* folder : {"/", "/empty", "/many"})
        queue.submit("TreeLIST", folder, "");
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_FALSE(sent("REST"));
    const std::vector<CString> shown = progress();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const CString name = cases[i].first;
        SCOPED_TRACE(name);
        const std::string content = RandomBytes(cases[i].second, 7);
        EXPECT_TRUE(ReadFile(remoteFile(cases[i].first)) == content);
        EXPECT_TRUE(ReadFile(downloads.file(cases[i].first)) == content);
        // Upload progress tells what was sent before each round: it starts at 0.
        EXPECT_TRUE(std::count(shown.begin(), shown.end(), "0 kbytes of " + name + " sent"));
        EXPECT_TRUE(showedReceived(name, static_cast<int64_t>(cases[i].second)));
    }

    EXPECT_EQ(controller.count(EV_LISTING_DONE), 3);
    for (const char* name : {" big.bin\r\n", " empty\r\n", " many\r\n"})
        EXPECT_NE(listings["/"].find(name), std::string::npos) << name;
    EXPECT_EQ(listings["/empty"], "");
    const std::string& many = listings["/many"];
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 3000);
    for (int i = 0; i < 3000; ++i)
        ASSERT_NE(many.find(FormatString(" entry-%05d.dat\r\n", i)), std::string::npos) << i;
}

// The network fails mid-file: both our sockets are reset (the servers see resets, and what our
// buffers held is lost) and the reset handler runs as the socket layer would call it. The
// user answers Retry; after the new log-on each transfer resumes where the server really is,
// in binary mode, and both files end up byte for byte what they should be.
TEST_P(RoundTrip, TransfersCutMidFileResumeByteExactAfterRetry) {
    // pyftpdlib 1.5.7 in active mode now and then greets the new session after the cut and
    // then never answers its USER (seen about once in ten runs, on a loaded machine): a stall of
    // the server's that no client can get past without a reply time limit.
    if (!GetParam().vsftpd && !GetParam().passive)
        GTEST_SKIP() << "pyftpdlib in active mode may stall the session after a cut";
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
        for (CAsyncSocket* socket :
             std::initializer_list<CAsyncSocket*>{&GetDataConnection(), &GetControlSocket()}) {
            linger hard = {1, 0};
            setsockopt(socket->m_hSocket, SOL_SOCKET, SO_LINGER,
                       reinterpret_cast<const char*>(&hard), sizeof hard);
            socket->Close();
        }
        GetControlSocket().OnClose(WSAECONNRESET);
    };
    controller.onNotify = [&](const CString& text, int event) {
        if (event == EV_PROGRESS && !cut && std::stoi(text) >= 4000)
            cutNow();
    };
    // Wine takes a whole upload into buffers of its own in one round of sending: cut as that
    // round ends, while most of the file is still on its way.
    controller.onTrace = [&](const CString& text, int) {
        if (!cut && RunningUnderWine() && text.Left(22) == "Finished Writing File " &&
            text.find("up.bin count") != std::string::npos)
            cutNow();
    };
    for (const bool up : {true, false}) {
        SCOPED_TRACE(up ? "up" : "down");
        cut = false;
        up ? upload(local.file("up.bin"), "/") : download("/down.bin", localFolder());
        // The queue is idle for a moment after the cut, until the retry puts the work back.
        // (A slow client, the sanitizers' build, may hand over a whole upload in one round
        // before any progress is reported: nothing is cut then.)
        ASSERT_TRUE(WaitFor([&] { return cut || idle(); }, 60000));
        const CString size = up ? "SIZE //up.bin" : "SIZE /down.bin";
        ASSERT_TRUE(!cut || WaitFor([&] { return sent(size); }, 60000));
        ASSERT_TRUE(runToIdle(60000));
        EXPECT_TRUE(errors().empty()) << errors()[0];
    }
    EXPECT_GE(cuts, 1);
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), cuts);
    EXPECT_EQ(rig::Checksum(ReadFile(remoteFile("up.bin"))), rig::Checksum(content));
    EXPECT_EQ(rig::Checksum(ReadFile(local.file("down.bin"))), rig::Checksum(content));
}

INSTANTIATE_TEST_SUITE_P(Servers, RoundTrip, ::testing::ValuesIn(kAllServerModes), ServerModeName);

using Session = Real;

TEST_P(Session, LogsOnRunsTheSimpleCommandsAndQuitClosesEverySocket) {
    ASSERT_TRUE(makeFile("gamma/old.txt", "old"));
    ASSERT_TRUE(makeFile("doomed.txt", "doomed"));
    // Anonymous on the server that taught us its name is case-sensitive ("USER anonymous").
    const bool anonymous = !GetParam().vsftpd;
    useServer(anonymous);
    ASSERT_TRUE(queue.submit("LOGIN", "Test", ""));
    EXPECT_TRUE(queue.submit("CWD", "/gamma", "")); // waits behind the log-on
    // The queue runs its own PWD first; the controller's PWD request for the new connection
    // queues behind the CWD, and the second one is a duplicate and is dropped.
    ASSERT_TRUE(WaitFor([&] { return idle() && controller.count(EV_REMOTE_DIR) == 2; }, kWaitMs));
    EXPECT_EQ(controller.notesOf(EV_CONNECTION_STATE).back().reply, "127.0.0.1");
    const CString user = "USER " + (anonymous ? CString("anonymous") : server->user());
    EXPECT_EQ(sentLines(), (std::vector<CString>{user, "PWD", "CWD /gamma", "PWD"}));

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

// Each server once, one in each mode: the session does not depend on the mode.
INSTANTIATE_TEST_SUITE_P(Servers, Session,
                         ::testing::Values(kAllServerModes[0], kAllServerModes[3]), ServerModeName);

using Once = Real;

// A name the server hands over is used inside the chosen folder or not at all; sizes and
// restart points beyond 4 GiB.
TEST_P(Once, RemoteNamesThatLeaveTheFolderAreRefusedAndFilesBeyondFourGiBResume) {
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

    // 64-bit sizes and restart points without moving gigabytes: the files are holes up to the
    // last few KiB, and only those travel, down and up.
    const int64_t size = (int64_t{5} << 30) + 12345;
    const std::string tail = rig::PatternBytes(0, 40000);
    const int64_t restart = size - static_cast<int64_t>(tail.size());
    ASSERT_TRUE(WriteSparse(remoteFile("down.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(local.file("down.bin.TarnwickPart"), restart, std::string(1, '\0')));
    ASSERT_TRUE(WriteSparse(local.file("up.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(remoteFile("up.bin"), restart, std::string(1, '\0')));
    const size_t from = sentLines().size();
    download("/down.bin", localFolder());
    ASSERT_TRUE(runToIdle(60000));
    ASSERT_TRUE(queue.start("STOR", local.file("up.bin"), "/", restart));
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_EQ(errors().size(), 7u) << errors().back();
    const std::vector<CString> lines = sentLines(from);
    const CString rest = FormatString("REST %lld", static_cast<long long>(restart));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), rest), 2);
    for (const CString& file : {local.file("down.bin"), remoteFile("up.bin")}) {
        EXPECT_EQ(files::Size(file), size) << file;
        EXPECT_TRUE(ReadAt(file, restart - 8, 40008) == std::string(8, '\0') + tail) << file;
    }
    EXPECT_TRUE(showedReceived("down.bin", size));
    EXPECT_TRUE(
        controller.traced(FormatString("Finished Writing File %s/up.bin count %lld >>>",
                                       localFolder().c_str(), static_cast<long long>(size))));
}

INSTANTIATE_TEST_SUITE_P(Server, Once, ::testing::Values(kAllServerModes[2]), ServerModeName);

} // namespace
