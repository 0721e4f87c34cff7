// The server rig itself: each server starts, speaks FTP on loopback in both data-connection
// modes, serves the root folder the test sees, and the fake plays its script exactly.
#include "tests/support/RawPeer.h"
#include "tests/support/Rig.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testing_support::RawPeer;
using testing_support::ReadFile;
using testing_support::WriteFile;

const int kWaitMs = 10000;

std::string Code(const std::string& reply) {
    return reply.substr(0, 3);
}

// A raw control connection. reply() returns the last line of a (possibly multi-line) reply.
class RawFtp {
public:
    std::string open(int port) { return control.Connect(port) ? reply() : "connect failed"; }

    bool readLine(std::string& line) {
        size_t end;
        while ((end = m_pending.find('\n')) == std::string::npos) {
            std::string more = control.ReceiveUntil("\n", kWaitMs);
            if (more.empty())
                return false;
            m_pending += more;
        }
        line = m_pending.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_pending.erase(0, end + 1);
        return true;
    }

    std::string reply() {
        std::string line, first;
        if (!readLine(first))
            return "no reply";
        if (first.size() < 4 || first[3] != '-')
            return first;
        while (readLine(line))
            if (line.size() >= 4 && line.compare(0, 3, first, 0, 3) == 0 && line[3] == ' ')
                return line;
        return "reply cut short";
    }

    std::string command(const std::string& line) {
        return control.Send(line + "\r\n") ? reply() : "send failed";
    }

    // PASV and a connected data connection.
    bool passive(RawPeer& data) {
        std::string answer = command("PASV");
        int h[4], p1 = -1, p2 = -1;
        size_t open = answer.find('(');
        if (Code(answer) != "227" || open == std::string::npos ||
            sscanf(answer.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &h[0], &h[1], &h[2], &h[3], &p1,
                   &p2) != 6) {
            ADD_FAILURE() << "PASV: " << answer;
            return false;
        }
        return data.Connect(p1 * 256 + p2);
    }

    // PORT for a listener on this side.
    bool active(RawPeer& data) {
        int port = data.Listen();
        std::string answer = command(FormatString("PORT 127,0,0,1,%d,%d", port / 256, port % 256));
        EXPECT_EQ(Code(answer), "200") << answer;
        return port > 0 && Code(answer) == "200";
    }

    RawPeer control;

private:
    std::string m_pending;
};

bool Preliminary(const std::string& reply) {
    return Code(reply) == "150" || Code(reply) == "125";
}

void LogOn(RawFtp& ftp, const rig::Server& server, const std::string& user,
           const std::string& password) {
    ASSERT_EQ(Code(ftp.open(server.port())), "220");
    std::string answer = ftp.command("USER " + user);
    ASSERT_EQ(Code(answer), "331") << answer;
    answer = ftp.command("PASS " + password);
    ASSERT_EQ(Code(answer), "230") << answer;
    ASSERT_EQ(Code(ftp.command("TYPE I")), "200");
}

std::string ListPassive(RawFtp& ftp) {
    RawPeer data;
    if (!ftp.passive(data))
        return "no data connection";
    std::string answer = ftp.command("LIST");
    EXPECT_TRUE(Preliminary(answer)) << answer;
    std::string listing = data.Receive(std::string::npos, kWaitMs);
    answer = ftp.reply();
    EXPECT_EQ(Code(answer), "226") << answer;
    return listing;
}

std::string ListActive(RawFtp& ftp) {
    RawPeer data;
    if (!ftp.active(data))
        return "no listener";
    std::string answer = ftp.command("LIST");
    EXPECT_TRUE(Preliminary(answer)) << answer;
    EXPECT_TRUE(data.Accept(kWaitMs));
    std::string listing = data.Receive(std::string::npos, kWaitMs);
    answer = ftp.reply();
    EXPECT_EQ(Code(answer), "226") << answer;
    return listing;
}

void StoreActive(RawFtp& ftp, const std::string& remote, const std::string& content) {
    RawPeer data;
    ASSERT_TRUE(ftp.active(data));
    std::string answer = ftp.command("STOR " + remote);
    ASSERT_TRUE(Preliminary(answer)) << answer;
    ASSERT_TRUE(data.Accept(kWaitMs));
    ASSERT_TRUE(data.Send(content));
    data.Close();
    answer = ftp.reply();
    EXPECT_EQ(Code(answer), "226") << answer;
}

void StorePassive(RawFtp& ftp, const std::string& remote, const std::string& content) {
    RawPeer data;
    ASSERT_TRUE(ftp.passive(data));
    std::string answer = ftp.command("STOR " + remote);
    ASSERT_TRUE(Preliminary(answer)) << answer;
    ASSERT_TRUE(data.Send(content));
    data.Close();
    answer = ftp.reply();
    EXPECT_EQ(Code(answer), "226") << answer;
}

// Both accounts of a real server, both data-connection modes, and the root as the test sees it.
void Exercise(const rig::Server& server) {
    ASSERT_TRUE(WriteFile(server.file("from-test.txt"), "written by the test\n"));
    const std::string upload = testing_support::RandomBytes(70000, 7);
    {
        RawFtp ftp;
        ASSERT_NO_FATAL_FAILURE(LogOn(ftp, server, server.user(), server.password()));
        EXPECT_NE(ListPassive(ftp).find("from-test.txt"), std::string::npos);
        ASSERT_NO_FATAL_FAILURE(StorePassive(ftp, "by-user.bin", upload));
        EXPECT_NE(ListActive(ftp).find("by-user.bin"), std::string::npos);
        // A file the test made is the password user's to replace.
        ASSERT_NO_FATAL_FAILURE(StoreActive(ftp, "from-test.txt", "replaced by the user"));
        EXPECT_EQ(Code(ftp.command("QUIT")), "221");
    }
    EXPECT_TRUE(ReadFile(server.file("by-user.bin")) == upload);
    EXPECT_EQ(ReadFile(server.file("from-test.txt")), "replaced by the user");

    RawFtp anon;
    ASSERT_NO_FATAL_FAILURE(LogOn(anon, server, "anonymous", "guest@example.com"));
    const std::string folder = server.anonymousUploadFolder();
    ASSERT_NO_FATAL_FAILURE(StoreActive(anon, folder + "/by-anonymous.txt", "anonymous data"));
    EXPECT_NE(ListActive(anon).find("from-test.txt"), std::string::npos);
    EXPECT_EQ(Code(anon.command("QUIT")), "221");
    EXPECT_EQ(ReadFile(server.file((folder.substr(1) + "/by-anonymous.txt").c_str())),
              "anonymous data");
}

TEST(RigRealServers, PyftpdlibServesBothAccountsInBothModes) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    Exercise(*server);
}

TEST(RigRealServers, VsftpdServesBothAccountsInBothModes) {
    auto server = rig::StartVsftpd();
    ASSERT_TRUE(server->ok()) << server->error();
    Exercise(*server);
}

TEST(RigFake, PlaysSplitAndMultiLineRepliesAndRecordsTheDialogue) {
    auto fake = rig::StartFake(R"(
        send 220-first line\r\n220 sec
        pause 200
        send ond\r\n
        expect USER *
        reply 331 password please
        expect PASS *
        reply 230-welcome
        reply 230 in
        expect QUIT
        reply 221 bye
    )");
    ASSERT_TRUE(fake->ok()) << fake->error();
    RawFtp ftp;
    EXPECT_EQ(ftp.open(fake->port()), "220 second");
    EXPECT_EQ(ftp.command("USER someone"), "331 password please");
    EXPECT_EQ(ftp.command("PASS word"), "230 in");
    EXPECT_EQ(ftp.command("QUIT"), "221 bye");
    ftp.control.Close();
    EXPECT_EQ(fake->transcript(5000), "USER someone\nPASS word\nQUIT\n* client closed\n");
}

TEST(RigFake, ServesPassiveDownloadsFromTheRestartOffsetAndHashesActiveUploads) {
    auto fake = rig::StartFake(R"(
        reply 220 ready
        expect PASV
        pasv
        expect REST *
        reply 350 restarting
        expect RETR big.bin
        reply 150 sending
        dpattern 300000 rest
        dclose
        reply 226 sent
        expect PORT 127,0,0,1,*
        reply 200 port ok
        expect STOR up.bin
        reply 150 go ahead
        drecv
        reply 226 stored
    )");
    ASSERT_TRUE(fake->ok()) << fake->error();
    RawFtp ftp;
    ASSERT_EQ(ftp.open(fake->port()), "220 ready");
    RawPeer data;
    ASSERT_TRUE(ftp.passive(data));
    EXPECT_EQ(ftp.command("REST 1000"), "350 restarting");
    EXPECT_EQ(ftp.command("RETR big.bin"), "150 sending");
    EXPECT_TRUE(data.Receive(std::string::npos, kWaitMs) == rig::PatternBytes(1000, 300000));
    EXPECT_EQ(ftp.reply(), "226 sent");

    const std::string upload = testing_support::RandomBytes(100000, 3);
    ASSERT_NO_FATAL_FAILURE(StoreActive(ftp, "up.bin", upload));
    ftp.control.Close();
    std::string transcript = fake->transcript(5000);
    EXPECT_NE(transcript.find("* data sent 300000 bytes\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("* data received 100000 bytes sha256 " + rig::Sha256Hex(upload)),
              std::string::npos)
        << transcript;
}

TEST(RigFake, ResetsTheConnectionAndRecordsAWrongCommand) {
    auto reset = rig::StartFake("reply 220 hi\nexpect USER *\nreset\n");
    auto strict = rig::StartFake("reply 220 hi\nexpect USER anonymous\nreply 331 ok\n");
    ASSERT_TRUE(reset->ok()) << reset->error();
    ASSERT_TRUE(strict->ok()) << strict->error();

    RawFtp ftp;
    ASSERT_EQ(ftp.open(reset->port()), "220 hi");
    EXPECT_EQ(ftp.command("USER x"), "no reply");

    RawFtp other;
    ASSERT_EQ(other.open(strict->port()), "220 hi");
    EXPECT_EQ(other.command("USER bob"), "no reply"); // the fake hangs up on a wrong command
    EXPECT_EQ(strict->transcript(5000), "USER bob\n* error: expected 'USER anonymous'\n");
}

TEST(RigFake, ABrokenScriptFailsToStartWithItsLine) {
    auto fake = rig::StartFake("reply 220 hi\nexpekt USER *\n");
    EXPECT_FALSE(fake->ok());
    EXPECT_NE(fake->error().find("line 2"), std::string::npos) << fake->error();
}

TEST(RigSupport, WithoutTheRigStartingFailsWithAClearMessage) {
    testing_support::ScopedEnv noRig("TW_RIG", nullptr);
    auto server = rig::StartPyftpdlib();
    EXPECT_FALSE(server->ok());
    EXPECT_NE(server->error().find("rig.py --run"), std::string::npos) << server->error();
}

TEST(RigSupport, Sha256MatchesTheStandardVectors) {
    EXPECT_EQ(rig::Sha256Hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(rig::Sha256Hex(std::string(1000, 'a')),
              "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
}

} // namespace
