#pragma once
// The one fixture of the engine's integration tests: a private settings file with the current
// account "Test", a queue driven by a controller that behaves like the main window, a local
// folder, and bounded waits. TearDown leaves no command, no socket and no timer behind, and
// prints the dialogue of a failed test (a failure seen only in CI can be read there).
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

// The fake's part of a log-on by the queue: greeting, USER tester / PASS word, and the two
// PWD requests a log-on is followed by (the controller's and the queue's).
extern const char* const kFakeLogOn;

// One account's settings; only what is set here is written.
struct Account {
    CString server = "127.0.0.1";
    int port = 0;
    bool writeUser = true; // false: no "USER" key at all
    CString user;
    CString password;
    bool anonymous = false;
    bool passive = false;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void setAccount(const Account& account);
    // Logs on through the queue as the window does and waits until the PWD requests that
    // follow a log-on have run.
    ::testing::AssertionResult logOn();
    // Nothing pending, and the current command (if any) finished.
    bool idle() const;
    ::testing::AssertionResult waitIdle(int timeoutMs = kWaitMs);
    // waitIdle, then lets the pump (1 ms after the last trace) retire what has finished.
    bool runToIdle(int timeoutMs = 30000);
    // Submits one request and waits until the queue is idle; the command that ran last.
    CCommand* run(const CString& name, const CString& arg1 = "", const CString& arg2 = "");
    // Whether a final reply with code was traced after the first `from` protocol lines.
    bool replied(const char* code, size_t from) const;
    // The window's requests for one download / one upload ("TYPE" "I" first).
    void download(const CString& remotePath, const CString& localFolder);
    void upload(const CString& localPath, const CString& remoteFolder);

    // The protocol trace, line ends removed; command lines only, all but the first `from`.
    std::vector<CString> protocol() const;
    std::vector<CString> sentLines(size_t from = 0) const;
    bool sent(const CString& line) const;
    // Every trace line and notification so far, for failure messages.
    std::string history() const;
    // Texts of the notifications of one event; progress and server errors.
    std::vector<CString> notified(int event) const;
    std::vector<CString> progress() const { return notified(EV_PROGRESS); }
    std::vector<CString> errors() const { return notified(EV_SERVER_ERROR); }
    // The local folder as the engine gets it ("/" separators).
    CString localFolder() const;

    testing_support::ScopedPrefs prefs;
    CCommandQueue queue;
    testing_support::TestController controller{&queue};
    testing_support::TempDir local;
    int questions = 0;      // "You are not connected yet" asked
    bool answerYes = false; // and answered
    CString debug;          // the engine's debug output

private:
    int m_liveBefore = 0;
};

// A folder's entries as "name size" lines, sorted: to compare before and after.
std::vector<std::string> Listing(const CString& folder);

} // namespace engine_test
