// The event-driven socket and the control connection against a plain blocking peer on
// loopback: which handlers run, in which order, with which error codes, and what the fake
// server cannot produce (bytes past any sane line length, a line break at the socket).
// The idle cost of waiting sockets is bench/idle_cpu; the control dialogues are in
// data/dialogues.txt.
#include "engine/Command.h"
#include "net/AsyncSocket.h"
#include "net/FtpSocketControl.h"
#include "net/SocketOwners.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include "tests/support/RawPeer.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>

using namespace testing_support;

namespace {

class RecordingSocket : public CAsyncSocket {
public:
    std::string calls, received; // calls: "c" connect, "r" receive, "x" close (sends left out)
    int connectError = -1, closeError = -1;

    void OnConnect(int error) override { calls += "c", connectError = error; }
    void OnReceive(int) override {
        calls += "r";
        char buffer[4096];
        for (int n; (n = Receive(buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, static_cast<size_t>(n));
    }
    void OnClose(int error) override { calls += "x", closeError = error; }
    bool connect(int port) {
        return Create(0, SOCK_STREAM, nullptr) && Connect("127.0.0.1", static_cast<unsigned>(port));
    }
};

// A fast peer can accept, send and end the connection before the loop first looks at the
// socket: the connection was made all the same, so the connect succeeded and the end is its
// close, after what was sent (a reset may take that with it; Wine 8 reports it as a close).
TEST(AsyncSocketTest, AConnectionEndedBeforeTheLoopLooksWasStillMade) {
    PrepareLoop();
    for (void (RawPeer::*end)() : {&RawPeer::Close, &RawPeer::Reset}) {
        const bool reset = end == &RawPeer::Reset;
        SCOPED_TRACE(reset ? "reset" : "close");
        RecordingSocket sock;
        RawPeer peer;
        ASSERT_TRUE(sock.connect(peer.Listen()));
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(peer.Send("hello"));
        (peer.*end)();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(WaitFor([&] { return sock.calls.find('x') != std::string::npos; }));
        EXPECT_EQ(sock.connectError, 0);
        EXPECT_EQ(sock.calls.substr(0, 1), "c");
        if (reset)
            EXPECT_TRUE(RunningUnderWine() || sock.closeError != 0);
        else
            EXPECT_EQ(sock.calls + " " + sock.received + FormatString(" %d", sock.closeError),
                      "crx hello 0");
    }
}

TEST(AsyncSocketTest, NotificationsForADestroyedSocketAreDropped) {
    PrepareLoop();
    RawPeer peer;
    const int port = peer.Listen();
    for (int i = 0; i < 20; ++i) {
        auto* sock = new RecordingSocket();
        ASSERT_TRUE(sock->connect(port));
        ASSERT_TRUE(peer.Accept());
        peer.Send("x");
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let its waiter post
        delete sock;
        UiLoop::RunFor(20);
    }
}

class ControlCommand : public CCommand {
public:
    ControlCommand() : CCommand("PWD") {}
    std::vector<CString> lines;
    std::function<void()> onPreliminary; // runs a nested loop, as an open box does
    bool onReply(const CString& line) override {
        lines.push_back(line);
        if (line[0] == '1' && onPreliminary)
            onPreliminary();
        return CCommand::onReply(line);
    }
};

class ControlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
        SetPrefString("USERPREFS/Test", "SERVER", "127.0.0.1");
        SetPrefInt("USERPREFS/Test", "PORT", peer.Listen());
        CSocketOwners::HandControl(&command);
    }
    void TearDown() override {
        GetControlSocket().Close();
        CSocketOwners::HandControl(nullptr);
    }

    ScopedPrefs prefs;
    TestController controller;
    RawPeer peer;
    ControlCommand command;
};

// A command line with a line break could smuggle in a second command: nothing goes out. A
// line past any sane length is dropped whole (a piece of it could read as an error reply); a
// line the socket cannot take at once still goes out whole.
TEST_F(ControlConnectionTest, LineBreaksAreNeverSentOverLongLinesAreDroppedLongSendsFinish) {
    ASSERT_TRUE(GetControlSocket().ConnectToServer() && peer.Accept() &&
                WaitFor([&] { return controller.count(EV_CONNECTION_STATE) > 0; }));
    EXPECT_FALSE(GetControlSocket().SendCommand("NOOP\nDELE x", &command));
    EXPECT_FALSE(GetControlSocket().SendCommand("NOOP\rDELE x", &command));
    EXPECT_EQ(peer.Receive(1, 300), "");
    ASSERT_TRUE(peer.Send(std::string(200 * 1024, '5') + "\r\n220 after\r\n"));
    EXPECT_TRUE(WaitFor([&] { return command.lines == std::vector<CString>{"220 after\r\n"}; }));
    const std::string big = "SITE " + std::string(2 << 20, 'x') + "\r\n";
    ASSERT_TRUE(GetControlSocket().SendCommand(big.substr(0, big.size() - 2), &command));
    std::string got;
    for (int i = 0; i < 4000 && got.size() < big.size(); ++i, UiLoop::RunFor(1))
        got += peer.Receive(big.size() - got.size(), 5);
    EXPECT_TRUE(got == big) << got.size();
}

// A server flooding the connection while a box is open (a nested loop) is cut off.
TEST_F(ControlConnectionTest, AFloodWhileABoxIsOpenIsALostConnection) {
    ASSERT_TRUE(GetControlSocket().ConnectToServer() && peer.Accept());
    const auto lost = [&] { return controller.count(EV_CONNECT_FAILED) > 0; };
    command.onPreliminary = [&] {
        for (int i = 0; i < 24 && !lost() && peer.Send(std::string(64 * 1024, 'x')); ++i)
            WaitFor(lost, 50);
        WaitFor(lost, 2000);
    };
    ASSERT_TRUE(peer.Send("150 go\r\n") && WaitFor([&] { return !command.lines.empty(); }));
    EXPECT_EQ(controller.notesOf(EV_CONNECT_FAILED).at(0).text, "Server Connection Closed!");
    EXPECT_EQ(command.lines.back(), "777");
}

#ifndef _WIN32
TEST(SocketErrors, AnErrnoWithoutAWinsockTwinReadsAsNoWinsockCode) {
    EXPECT_EQ(WinsockErrorFromErrno(EDEADLK), 20000 + EDEADLK); // 35 on Linux, not 10035
}
#endif

} // namespace
