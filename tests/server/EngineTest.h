#pragma once
// Common ground of the engine's integration tests: a private settings file with the current
// account "Test", a queue driven by a controller that behaves like the main window, the rig's
// servers, and bounded waits. TearDown leaves no command, no socket and no timer behind.
#include "common/CString.h"
#include "engine/Command.h"
#include "engine/CommandQueue.h"

#include "tests/support/Rig.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace engine_test {

constexpr int kWaitMs = 15000;

enum class ServerKind { Pyftpdlib, Vsftpd };
const char* Name(ServerKind kind);
std::unique_ptr<rig::Server> StartServer(ServerKind kind);

// One account's settings; only what is set here is written.
struct Account {
    CString server = "127.0.0.1";
    int port = 0;
    bool writeUser = true; // false: no "USER" key at all
    CString user;
    CString password;
    int wordSaved = 1;
    bool anonymous = false;
    bool passive = false;
};

// The lines of a dialogue as the protocol trace shows them, line ends removed.
struct Dialogue {
    std::vector<CString> all;  // in order, line ends removed
    std::vector<CString> sent; // command lines only
};

// Files the tests put into a server's root folder directly.
bool MakeFolder(const rig::Server& server, const char* relative);
bool MakeFile(const rig::Server& server, const char* relative, const std::string& content);
// count files "entry-NNNNN.dat" in an existing folder; their names in order.
std::vector<CString> MakeManyFiles(const rig::Server& server, const char* folder, int count);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void setAccount(const Account& account);
    // The password user (or anonymous) of a real server.
    void useServer(const rig::Server& server, bool passive, bool anonymous = false);
    // A fake server: user "tester", password "word".
    void useFake(const rig::Server& fake, bool passive = true);

    // Logs on through the queue as the window does and waits until the PWD requests that
    // follow a log-on have run.
    ::testing::AssertionResult logOn();
    // Nothing pending, and the current command (if any) finished.
    bool idle() const;
    ::testing::AssertionResult waitIdle(int timeoutMs = kWaitMs);
    // Submits one request and waits until the queue is idle again; the command that ran last
    // (null, and a failure, when the queue did not get there in time).
    CCommand* run(const CString& name, const CString& arg1 = "", const CString& arg2 = "");
    // Whether a final reply line with code has been traced after the first `from` protocol
    // lines; waitReply waits for one.
    bool replied(const char* code, size_t from) const;
    bool waitReply(const char* code, size_t from, int timeoutMs = kWaitMs);

    Dialogue dialogue() const;
    size_t protocolLines() const { return controller.tracesAt(TRACE_PROTOCOL).size(); }
    // Position of the first trace line equal to text (at or after from), or -1.
    int traceIndex(const CString& text, int from = 0) const;
    // Position of the first trace line starting with prefix (at or after from), or -1.
    int traceIndexStarting(const CString& prefix, int from = 0) const;
    // Every trace line and notification so far, for failure messages.
    std::string history() const;
    // Texts of the notifications of one event.
    std::vector<CString> notified(int event) const;

    testing_support::ScopedPrefs prefs;
    CCommandQueue queue;
    testing_support::TestController controller{&queue};
    int questions = 0; // "You are not connected yet" asked (answered No)

private:
    int m_liveBefore = 0;
};

// The fake's part of a log-on by the queue: greeting, USER/PASS, and the two PWD requests a
// log-on is followed by (the controller's and the queue's).
extern const char* const kFakeLogOn;

} // namespace engine_test
