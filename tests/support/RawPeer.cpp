#include "tests/support/RawPeer.h"

#ifdef _WIN32
#include <winsock2.h>
using sock_t = SOCKET;
using socklen_type = int;
static void closeSocket(sock_t s) {
    closesocket(s);
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using sock_t = int;
using socklen_type = socklen_t;
static void closeSocket(sock_t s) {
    close(s);
}
#endif

#include <chrono>
#include <cstring>

namespace testing_support {

namespace {

const long long kNone = static_cast<long long>(static_cast<sock_t>(~0));

sock_t asSock(long long v) {
    return static_cast<sock_t>(v);
}

// A socket bound to 127.0.0.1:port (0: a free one), and the port it got.
sock_t bound(int& port) {
#ifdef _WIN32
    static WSADATA data;
    static int started = WSAStartup(MAKEWORD(2, 2), &data);
    (void)started;
#endif
    sock_t s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_type n = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    return s;
}

// Waits until s is readable; false on time-out.
bool readable(sock_t s, int timeoutMs) {
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &tv) > 0;
#else
    pollfd p = {s, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
#endif
}

} // namespace

RawPeer::RawPeer() : m_listener(kNone), m_conn(kNone) {}

RawPeer::~RawPeer() {
    Close();
    if (m_listener != kNone)
        closeSocket(asSock(m_listener));
}

int RawPeer::Listen(int backlog) {
    sock_t s = bound(m_port);
    m_listener = static_cast<long long>(s);
    return listen(s, backlog) == 0 ? m_port : 0;
}

bool RawPeer::Accept(int timeoutMs) {
    if (m_listener == kNone || !readable(asSock(m_listener), timeoutMs))
        return false;
    Close();
    m_conn = static_cast<long long>(accept(asSock(m_listener), nullptr, nullptr));
    return m_conn != kNone;
}

bool RawPeer::Connect(int port) {
    int unused = 0;
    sock_t s = bound(unused);
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Close();
    m_conn = static_cast<long long>(s);
    return connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool RawPeer::Send(const std::string& data) {
    for (size_t done = 0, n; done < data.size(); done += n) {
        int sent = static_cast<int>(
            send(asSock(m_conn), data.data() + done, static_cast<int>(data.size() - done), 0));
        if (sent <= 0)
            return false;
        n = static_cast<size_t>(sent);
    }
    return true;
}

std::string RawPeer::Receive(size_t count, int timeoutMs) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        char buf[65536];
        int n = left > 0 && readable(asSock(m_conn), static_cast<int>(left))
                    ? static_cast<int>(recv(asSock(m_conn), buf, sizeof buf, 0))
                    : 0;
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

void RawPeer::Close() {
    if (m_conn != kNone)
        closeSocket(asSock(m_conn));
    m_conn = kNone;
}

void RawPeer::Reset() {
    linger l = {1, 0};
    setsockopt(asSock(m_conn), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    Close();
}

int UnusedLoopbackPort() {
    // Bind a port and let it go: nothing listens there afterwards (a small race, bounded by
    // the system handing out ports in turn).
    int port = 0;
    closeSocket(bound(port));
    return port;
}

} // namespace testing_support
