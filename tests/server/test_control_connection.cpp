// The control connection against a raw peer on loopback, for what the fake server cannot
// produce or the queue never asks: bytes past any sane line length, a command line holding a
// line break, and the state after a refused connect. (Its dialogues are in dialogues.txt.)
#include "engine/Command.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include "tests/support/RawPeer.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class RecordingCommand : public CCommand {
public:
    RecordingCommand() : CCommand("PWD") {}
    std::vector<CString> lines;
    bool onReply(const CString& line) override {
        lines.push_back(line);
        return CCommand::onReply(line);
    }
};

class ControlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrefString(PREFS_SECTION, "DEFAULT", "Test");
        SetPrefString("USERPREFS/Test", "SERVER", "127.0.0.1");
        SetPrefInt("USERPREFS/Test", "PORT", peer.Listen());
        GetControlSocket().m_pCommand = &command;
    }
    void TearDown() override {
        GetControlSocket().Close();
        GetControlSocket().m_pCommand = nullptr;
    }
    void connect() {
        ASSERT_TRUE(GetControlSocket().ConnectToServer());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) > 0; }));
    }

    ScopedPrefs prefs;
    TestController controller;
    RawPeer peer;
    RecordingCommand command;
};

// "Connected" needs an established connection: a refused one has no local address.
TEST_F(ControlConnectionTest, RefusedConnectReportsThenSends777ThenN) {
    SetPrefInt("USERPREFS/Test", "PORT", UnusedLoopbackPort());
    ASSERT_TRUE(GetControlSocket().ConnectToServer());
    ASSERT_TRUE(WaitFor([&] { return controller.count(EV_CONNECTION_STATE) > 0; }));
    ASSERT_EQ(controller.notes.size(), 2u);
    EXPECT_EQ(controller.notes[0].text, "Could Not Connect To Server!");
    EXPECT_EQ(controller.notes[1].text, "N");
    EXPECT_EQ(command.lines, std::vector<CString>{"777"});
    CString address;
    unsigned port = 0;
    EXPECT_FALSE(GetControlSocket().GetLocalAddress(address, port));
}

TEST_F(ControlConnectionTest, ALineBreakInACommandLineIsNeverSent) {
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_FALSE(GetControlSocket().SendCommand("NOOP\nDELE x", &command));
    EXPECT_FALSE(GetControlSocket().SendCommand("NOOP\rDELE x", &command));
    EXPECT_EQ(peer.Receive(1, 300), "");
}

TEST_F(ControlConnectionTest, AnEndlessLineIsHandedOnInBoundedPieces) {
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_TRUE(peer.Send(std::string(200 * 1024, 'x') + "\r\n220 after\r\n"));
    ASSERT_TRUE(
        WaitFor([&] { return !command.lines.empty() && command.lines.back() == "220 after\r\n"; }));
    size_t total = 0;
    for (const CString& line : command.lines) {
        EXPECT_LE(line.size(), kMaxReplyLine);
        total += line.size();
    }
    EXPECT_EQ(total, 200 * 1024 + 2 + 11);
}

} // namespace
