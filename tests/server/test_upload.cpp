// Uploads to pyftpdlib and vsftpd in passive and active mode, requested as the window
// requests them: byte-exact results, progress and traces, restored uploads that restart with
// REST (also beyond 4 GiB), and uploads that cannot start.
#include "tests/server/TransferTest.h"

#include "common/Files.h"
#include "engine/CallBackController.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"

#include <algorithm>
#include <cstdlib>

using namespace testing_support;
using namespace transfer_test;

namespace {

class UploadTest : public RealServerTest {
protected:
    // The local path as the window hands it over: its own separators, so under Windows the
    // upload also splits a backslash path.
    CString localPath(const char* name) const { return local.file(name); }
};

TEST_P(UploadTest, FilesArriveByteExactWithProgressAndTraces) {
    struct Case {
        const char* name;
        size_t size;
    };
    const Case cases[] = {
        {"empty.bin", 0}, {"f999.bin", 999}, {"f4000.bin", 4000}, {"big.bin", 3 << 20}};
    std::vector<std::string> contents;
    for (const Case& c : cases) {
        contents.push_back(RandomBytes(c.size, static_cast<uint32_t>(c.size) + 7));
        ASSERT_TRUE(WriteFile(localPath(c.name), contents.back()));
    }
    // An existing remote file of the same name is replaced.
    ASSERT_TRUE(WriteFile(remoteFile("f4000.bin"), "an older f4000.bin on the server"));

    for (const Case& c : cases)
        upload(localPath(c.name), "/");
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    const CString folder = localFolder();
    for (size_t i = 0; i < 4; ++i) {
        const CString name = cases[i].name;
        SCOPED_TRACE(name);
        EXPECT_EQ(rig::Sha256Hex(ReadFile(remoteFile(cases[i].name))), rig::Sha256Hex(contents[i]));
        // The root folder joined with the name: two slashes, as the window has always sent.
        EXPECT_TRUE(sent("STOR //" + name));
        // Progress tells what was sent before each round of sending: from 0 upwards, never
        // past the file.
        std::vector<int> kbytes;
        for (const CString& text : progress())
            if (text.find(" kbytes of " + name + " sent") != std::string::npos)
                kbytes.push_back(atoi(text.c_str()));
        ASSERT_FALSE(kbytes.empty());
        EXPECT_EQ(kbytes.front(), 0);
        EXPECT_TRUE(std::is_sorted(kbytes.begin(), kbytes.end()));
        EXPECT_LE(kbytes.back(), static_cast<int>(cases[i].size / 1000));
        EXPECT_EQ(controller.tracedLevel("Writing File " + name + " from " + folder + " to / >>>"),
                  TRACE_COMMAND);
        EXPECT_EQ(controller.tracedLevel(FormatString("Finished Writing File %s/%s count %lld >>>",
                                                      folder.c_str(), name.c_str(),
                                                      static_cast<long long>(cases[i].size))),
                  TRACE_COMMAND);
    }
}

// A restored upload starts where its saved restart value says; the server appends.
TEST_P(UploadTest, ARestoredUploadRestartsWithRestAndSkipsWhatTheServerHas) {
    const std::string content = RandomBytes(50000, 3);
    ASSERT_TRUE(WriteFile(localPath("r.bin"), content));
    ASSERT_TRUE(WriteFile(remoteFile("r.bin"), content.substr(0, 5000)));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());

    ASSERT_TRUE(queue.start("STOR", localPath("r.bin"), "/", 5000));
    ASSERT_TRUE(runToIdle());

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(sent("REST 5000"));
    EXPECT_EQ(rig::Sha256Hex(ReadFile(remoteFile("r.bin"))), rig::Sha256Hex(content));
    ASSERT_FALSE(progress().empty());
    EXPECT_EQ(progress().front(), "5 kbytes of r.bin sent");
    EXPECT_TRUE(controller.traced(
        FormatString("Finished Writing File %s/r.bin count 50000 >>>", localFolder().c_str())));
}

// 64-bit restart points: a sparse local file beyond 5 GiB whose last bytes go to a sparse
// remote file holding all the rest.
TEST_P(UploadTest, ARestoredUploadBeyondFourGiBSendsOnlyItsTail) {
    const int64_t size = (int64_t{5} << 30) + 777;
    const std::string tail = RandomBytes(30000, 11);
    const int64_t restart = size - static_cast<int64_t>(tail.size());
    ASSERT_TRUE(WriteSparse(localPath("huge.bin"), size, tail));
    ASSERT_TRUE(WriteSparse(remoteFile("huge.bin"), restart, ""));
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());

    ASSERT_TRUE(queue.start("STOR", localPath("huge.bin"), "/", restart));
    ASSERT_TRUE(runToIdle(60000));

    EXPECT_TRUE(errors().empty()) << errors()[0];
    EXPECT_TRUE(sent(FormatString("REST %lld", static_cast<long long>(restart))));
    EXPECT_EQ(files::Size(remoteFile("huge.bin")), size);
    EXPECT_TRUE(ReadAt(remoteFile("huge.bin"), restart, 30000) == tail);
    EXPECT_TRUE(
        controller.traced(FormatString("Finished Writing File %s/huge.bin count %lld >>>",
                                       localFolder().c_str(), static_cast<long long>(size))));
}

// Nothing is asked of the server for an upload that cannot start, and the queue goes on.
TEST_P(UploadTest, AnUploadThatCannotStartIsReportedBeforeAnythingIsSent) {
    ASSERT_TRUE(WriteFile(localPath("short.bin"), std::string(3000, 's')));
    ASSERT_TRUE(WriteFile(localPath("ok.bin"), "fine"));
    const size_t before = sentLines().size();

    upload(localPath("missing.bin"), "/");
    ASSERT_TRUE(runToIdle());
    queue.submit("TYPE", "I", "");
    ASSERT_TRUE(runToIdle());
    ASSERT_TRUE(queue.start("STOR", localPath("short.bin"), "/", 5000));
    ASSERT_TRUE(runToIdle());
    upload(localPath("ok.bin"), "/");
    ASSERT_TRUE(runToIdle());

    const std::vector<CString> lines = sentLines(before);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "TYPE I");
    EXPECT_EQ(lines[1], "TYPE I");
    EXPECT_EQ(lines[2], "TYPE I"); // and only now a data channel, for ok.bin
    EXPECT_TRUE(lines[3] == "PASV" || lines[3].Left(5) == "PORT ") << lines[3];
    EXPECT_FALSE(sent("REST"));
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[0], "Not uploaded: cannot open " + localFolder() + "/missing.bin");
    EXPECT_EQ(errors()[1], "Not uploaded: " + localFolder() +
                               "/short.bin is shorter than the restart point 5000");
    EXPECT_EQ(ReadFile(remoteFile("ok.bin")), "fine");
    EXPECT_FALSE(files::Exists(remoteFile("missing.bin")));
    EXPECT_FALSE(files::Exists(remoteFile("short.bin")));
}

// The network fails mid-file: both connections are reset, and what our side's buffers held
// is gone (the servers see resets; the client hears of it as its socket layer reports a
// reset). The user answers Retry; after the new log-on each transfer resumes, and the files
// on both sides end up byte for byte what they should be.
TEST_P(UploadTest, TransfersCutMidFileResumeByteExactAfterRetry) {
    const std::string content = RandomBytes(24 << 20, 31);
    ASSERT_TRUE(WriteFile(localPath("up.bin"), content));
    ASSERT_TRUE(WriteFile(remoteFile("down.bin"), content));
    controller.retryAfterConnectionError = true;
    bool cut = false;
    // At once, from inside the engine's own call, as a network failure may strike: the
    // engine's next step finds the sockets gone.
    auto cutNow = [&cut] {
        cut = true;
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
    // An upload handed over in one round of sending (Wine takes it all into buffers of its
    // own; a slow client never fills the system's) is cut as that round ends, while much of
    // the file may still be on its way.
    controller.onTrace = [&](const CString& text, int) {
        if (!cut && text.Left(22) == "Finished Writing File " &&
            text.find("up.bin count") != std::string::npos)
            cutNow();
    };
    for (const char* direction : {"up", "down"}) {
        SCOPED_TRACE(direction);
        cut = false;
        if (direction[0] == 'u')
            upload(localPath("up.bin"), "/");
        else
            download("/down.bin", localFolder());
        // The queue is idle for a moment after the cut, until the retry puts the work back.
        const CString size = direction[0] == 'u' ? "SIZE //up.bin" : "SIZE /down.bin";
        ASSERT_TRUE(WaitFor([&] { return sent(size); }, 60000));
        ASSERT_TRUE(runToIdle(60000));
        EXPECT_TRUE(errors().empty()) << errors()[0];
    }
    EXPECT_EQ(controller.count(EV_CONNECT_FAILED), 2);
    EXPECT_EQ(rig::Sha256Hex(ReadFile(remoteFile("up.bin"))), rig::Sha256Hex(content));
    EXPECT_EQ(rig::Sha256Hex(ReadFile(local.file("down.bin"))), rig::Sha256Hex(content));
}

INSTANTIATE_TEST_SUITE_P(Servers, UploadTest, ::testing::ValuesIn(kAllServerModes), ServerModeName);

} // namespace
