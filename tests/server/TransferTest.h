#pragma once
// What the download and upload tests share: a private account, the queue with a controller
// that pumps it as the main window does, a local folder, and the requests sent the way the
// window sends them ("TYPE" "I", then "RETR" or "STOR", then "UpdateLocalListCommand").
#include "engine/CommandQueue.h"

#include "tests/support/Rig.h"
#include "tests/support/TestController.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace transfer_test {

enum class ServerKind { Pyftpdlib, Vsftpd };

// One cell of the matrix the real-server tests run over.
struct ServerMode {
    ServerKind kind;
    bool passive;
};
std::string ServerModeName(const ::testing::TestParamInfo<ServerMode>& info);
extern const ServerMode kAllServerModes[4];

class TransferTest : public ::testing::Test {
protected:
    void TearDown() override;

    // The current account: 127.0.0.1:port with a password user.
    void useAccount(int port, const CString& user, const CString& password, bool passive);
    // Logs on through the queue and waits until the log-on and its PWD are through.
    bool logOn();
    // Runs the loop until the queue has nothing left to do (the current command finished and
    // nothing pending), at most timeoutMs.
    bool runToIdle(int timeoutMs = 30000);
    bool idle() const;

    // The window's requests for one download / one upload.
    void download(const CString& remotePath, const CString& localFolder);
    void upload(const CString& localPath, const CString& remoteFolder);
    // Command lines the client sent (trace level 2 minus the reply lines), all but the first
    // `from` of them.
    std::vector<CString> sentLines(size_t from = 0) const;
    bool sent(const CString& verb) const;
    // Progress texts (event 2) and server-error texts (event 3) so far.
    std::vector<CString> progress() const;
    std::vector<CString> errors() const;
    // The local folder as the engine gets it ("/" separators).
    CString localFolder() const;

    testing_support::ScopedPrefs prefs;
    CCommandQueue queue;
    testing_support::TestController controller{&queue};
    testing_support::TempDir local;
};

// A real server (pyftpdlib or vsftpd) logged on with its password user, passive or active.
class RealServerTest : public TransferTest, public ::testing::WithParamInterface<ServerMode> {
protected:
    void SetUp() override;
    // The path of a file in the server's root, as this program reaches it.
    CString remoteFile(const char* name) const { return server->file(name); }

    std::unique_ptr<rig::Server> server;
};

// The fake server: the script is the log-on dialogue (greeting, USER, PASS, PWD) followed by
// body, in the mode given (the body uses dataChannel() for the PASV or PORT exchange).
class FakeServerTest : public TransferTest, public ::testing::WithParamInterface<bool> {
protected:
    bool passive() const { return GetParam(); }
    // The PASV (with the 227) or the PORT (with its 200) exchange of this mode.
    std::string dataChannel() const;
    // Starts the fake with the log-on and body, and logs on.
    bool start(const std::string& body);
    // The fake's record of the dialogue after the log-on, once the client has gone.
    std::string transcript();

    std::unique_ptr<rig::Server> fake;
};
std::string ModeName(const ::testing::TestParamInfo<bool>& info);

// Files of any size without writing them: a file of size bytes whose last tail.size() bytes
// are tail and the rest zeros (a hole, where the file system allows).
bool WriteSparse(const CString& path, int64_t size, const std::string& tail);
// count bytes of a file from offset ("" when it cannot be read).
std::string ReadAt(const CString& path, int64_t offset, int count);
// A folder's entries as "name size" lines, sorted: to compare before and after.
std::vector<std::string> Listing(const CString& folder);

} // namespace transfer_test
