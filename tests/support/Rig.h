#pragma once
// The test side of the FTP server rig (tests/servers/rig.py, README.md there).
//
// Server tests run under "rig.py --run", which hands its address to the test program in
// TW_RIG. Through it a test starts pyftpdlib, vsftpd or the scripted fake server on a free
// loopback port; the Server object stops it again when it goes, and the rig stops whatever is
// left when the program ends or dies. Every call blocks, and every wait is bounded.
// A port where nothing listens is testing_support::UnusedLoopbackPort() (RawPeer.h), which is
// also the blocking socket for tests that speak raw FTP.
#include "common/CString.h"

#include <cstdint>
#include <memory>
#include <string>

namespace rig {

class Server;
namespace detail {
std::unique_ptr<Server> Start(const char* kind, const std::string& script);
}

// A running server. When it could not be started, ok() is false and error() says why; a test
// must then fail (ASSERT_TRUE(server->ok()) << server->error()), never skip.
class Server {
public:
    ~Server(); // stops the server and removes its root folder
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool ok() const { return m_error.empty(); }
    const CString& error() const { return m_error; }
    int port() const { return m_port; }
    // The folder the server serves, in this program's form (a Linux path natively, "Z:\..."
    // under Wine). Empty for the fake server.
    const CString& root() const { return m_root; }
    // A path below root(); `relative` uses '/' as separator.
    CString file(const char* relative) const;
    // The account with a password (the fake server accepts whatever its script says).
    const CString& user() const { return m_user; }
    const CString& password() const { return m_password; }
    // The fake server's record of the dialogue: every command line it received, and events as
    // lines starting with "* ". With waitMs > 0 it first waits (at most that long) for the
    // dialogue to end, which it does once the client has closed the control connection.
    std::string transcript(int waitMs = 0) const;

private:
    Server() = default;
    friend std::unique_ptr<Server> detail::Start(const char* kind, const std::string& script);

    CString m_error;
    int m_id = 0;
    int m_port = 0;
    CString m_root;
    CString m_user;
    CString m_password;
};

// pyftpdlib: user "tw" / "secret" and anonymous, both with full rights on the root.
std::unique_ptr<Server> StartPyftpdlib();
// vsftpd: user "twftp" (a system account made by tools/install-deps.sh) and anonymous.
std::unique_ptr<Server> StartVsftpd();
// The scripted fake server (language in tests/servers/README.md).
std::unique_ptr<Server> StartFake(const std::string& script);

// The bytes the fake's "dpattern" command sends: byte i of the stream is i % 251.
std::string PatternBytes(int64_t offset, size_t count);

// The CRC-32 (as zlib computes it) in eight lower-case hex digits, as the fake reports the
// data it received: enough to tell any two test contents apart in a failure message.
std::string Checksum(const std::string& data);

} // namespace rig
