#pragma once
// The far end of a connection for socket-level tests and the rig's client: a plain blocking
// socket on loopback, driven by the test. Every wait is bounded.
#include <string>

namespace testing_support {

class RawPeer {
public:
    RawPeer();
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // Listens on 127.0.0.1 at a free port; returns the port (0 on failure).
    int Listen(int backlog = 5);
    int port() const { return m_port; }
    // Accepts one connection, waiting at most timeoutMs.
    bool Accept(int timeoutMs = 5000);
    // Connects to 127.0.0.1:port.
    bool Connect(int port);
    bool Send(const std::string& data);
    // Reads until at least count bytes arrived, the peer closed, or timeoutMs passed.
    std::string Receive(size_t count, int timeoutMs = 5000);
    // Orderly close / abortive close (the other side sees a reset).
    void Close();
    void Reset();

private:
    long long m_listener;
    long long m_conn;
    int m_port = 0;
};

// A loopback port where nothing listens.
int UnusedLoopbackPort();

} // namespace testing_support
