#pragma once
// The one fixture of the engine's integration tests: a private settings file with the current
// account "Test", a queue driven by a controller that behaves like the main window, the rig's
// servers, a local folder, and bounded waits. TearDown leaves no command, no socket and no
// timer behind, and prints the dialogue of a failed test (a failure seen only in CI can be
// read there).
//   RealServerTest  pyftpdlib or vsftpd in passive or active mode (ServerMode parameter)
//   FakeServerTest  the scripted fake after a fixed log-on, passive or active (bool parameter)
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

// One cell of the real-server matrix.
struct ServerMode {
    ServerKind kind;
    bool passive;
};
std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info);
std::string ModeName(const ::testing::TestParamInfo<bool>& info);
extern const ServerMode kAllServerModes[4];
// Each server once, one in each mode: for behaviour that does not depend on the mode.
extern const ServerMode kEachServer[2];

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
    // The current account: 127.0.0.1:port with a password user.
    void useAccount(int port, const CString& user, const CString& password, bool passive);
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
    // waitIdle, then lets the pump (1 ms after the last trace) retire what has finished.
    bool runToIdle(int timeoutMs = 30000);
    // Submits one request and waits until the queue is idle again; the command that ran last
    // (null, and a failure, when the queue did not get there in time).
    CCommand* run(const CString& name, const CString& arg1 = "", const CString& arg2 = "");
    // Whether a final reply line with code has been traced after the first `from` protocol
    // lines; waitReply waits for one.
    bool replied(const char* code, size_t from) const;
    bool waitReply(const char* code, size_t from, int timeoutMs = kWaitMs);

    // The window's requests for one download / one upload ("TYPE" "I" first).
    void download(const CString& remotePath, const CString& localFolder);
    void upload(const CString& localPath, const CString& remoteFolder);

    Dialogue dialogue() const;
    size_t protocolLines() const { return controller.tracesAt(TRACE_PROTOCOL).size(); }
    // Command lines sent, all but the first `from`; whether one with this verb was sent.
    std::vector<CString> sentLines(size_t from = 0) const;
    bool sent(const CString& verb) const;
    // Position of the first trace line equal to text (at or after from), or -1.
    int traceIndex(const CString& text, int from = 0) const;
    // Position of the first trace line starting with prefix (at or after from), or -1.
    int traceIndexStarting(const CString& prefix, int from = 0) const;
    // Every trace line and notification so far, for failure messages.
    std::string history() const;
    // Texts of the notifications of one event; progress (2) and server errors (3).
    std::vector<CString> notified(int event) const;
    std::vector<CString> progress() const { return notified(EV_PROGRESS); }
    std::vector<CString> errors() const { return notified(EV_SERVER_ERROR); }
    // The local folder as the engine gets it ("/" separators).
    CString localFolder() const;

    testing_support::ScopedPrefs prefs;
    CCommandQueue queue;
    testing_support::TestController controller{&queue};
    testing_support::TempDir local;
    int questions = 0; // "You are not connected yet" asked (answered No)

private:
    int m_liveBefore = 0;
};

// A real server (started in SetUp, not logged on) with its password user as the account.
class RealServerTest : public EngineTest, public ::testing::WithParamInterface<ServerMode> {
protected:
    void SetUp() override;
    // The path of a file in the server's root, as this program reaches it.
    CString remoteFile(const char* name) const { return server->file(name); }

    std::unique_ptr<rig::Server> server;
};

// The fake server: the script is kFakeLogOn followed by body, in the mode of the parameter
// (the body uses dataChannel() for the PASV or PORT exchange).
class FakeServerTest : public EngineTest, public ::testing::WithParamInterface<bool> {
protected:
    bool passive() const { return GetParam(); }
    // The PASV (with the 227) or the PORT (with its 200) exchange, whichever the client asks.
    std::string dataChannel() const;
    // Starts the fake with the log-on and body, and logs on.
    bool start(const std::string& body);
    // The fake's record of the dialogue after the log-on, once the client has gone.
    std::string transcript();

    std::unique_ptr<rig::Server> fake;
};

// The fake server's script "name" from tests/data/dialogues.txt (the lines below its
// "=== name" header); a missing name fails the test.
std::string Script(const char* name);

// The fake's part of a log-on by the queue: greeting, USER/PASS, and the two PWD requests a
// log-on is followed by (the controller's and the queue's).
extern const char* const kFakeLogOn;

// Files of any size without writing them: a file of size bytes whose last tail.size() bytes
// are tail and the rest zeros (a hole, where the file system allows).
bool WriteSparse(const CString& path, int64_t size, const std::string& tail);
// count bytes of a file from offset ("" when it cannot be read).
std::string ReadAt(const CString& path, int64_t offset, int count);
// A folder's entries as "name size" lines, sorted: to compare before and after.
std::vector<std::string> Listing(const CString& folder);

} // namespace engine_test
