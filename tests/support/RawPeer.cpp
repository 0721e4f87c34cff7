#include "tests/support/RawPeer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using sock_t = SOCKET;
using socklen_type = int;
static const sock_t kNone = INVALID_SOCKET;
static void closeSocket(sock_t s) { closesocket(s); }
static void startNetwork() {
    static bool started = false;
    if (!started) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        started = true;
    }
}
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using sock_t = int;
using socklen_type = socklen_t;
static const sock_t kNone = -1;
static void closeSocket(sock_t s) { close(s); }
static void startNetwork() {}
#endif

#include <chrono>
#include <cstring>

namespace testing_support {

namespace {

sock_t asSock(long long v) { return static_cast<sock_t>(v); }

sockaddr_in loopback(int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
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

RawPeer::RawPeer() : m_listener(static_cast<long long>(kNone)), m_conn(static_cast<long long>(kNone)) {
    startNetwork();
}

RawPeer::~RawPeer() {
    Close();
    CloseListener();
}

int RawPeer::Listen() {
    sock_t s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 5) != 0) {
        closeSocket(s);
        return 0;
    }
    socklen_type n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    m_listener = static_cast<long long>(s);
    m_port = ntohs(a.sin_port);
    return m_port;
}

bool RawPeer::Accept(int timeoutMs) {
    if (asSock(m_listener) == kNone || !readable(asSock(m_listener), timeoutMs))
        return false;
    sock_t s = accept(asSock(m_listener), nullptr, nullptr);
    if (s == kNone)
        return false;
    Close();
    m_conn = static_cast<long long>(s);
    return true;
}

bool RawPeer::Connect(int port) {
    sock_t s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        closeSocket(s);
        return false;
    }
    Close();
    m_conn = static_cast<long long>(s);
    return true;
}

bool RawPeer::Send(const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        int n = static_cast<int>(
            send(asSock(m_conn), data.data() + done, static_cast<int>(data.size() - done), 0));
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string RawPeer::Receive(size_t count, int timeoutMs) {
    return receive([count](const std::string& got) { return got.size() >= count; }, timeoutMs);
}

std::string RawPeer::ReceiveUntil(const std::string& marker, int timeoutMs) {
    return receive([&](const std::string& got) { return got.find(marker) != std::string::npos; },
                   timeoutMs);
}

std::string RawPeer::receive(const std::function<bool(const std::string&)>& enough,
                             int timeoutMs) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!enough(out)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || !readable(asSock(m_conn), static_cast<int>(left)))
            break;
        char buf[65536];
        int n = static_cast<int>(recv(asSock(m_conn), buf, sizeof buf, 0));
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

void RawPeer::Close() {
    if (asSock(m_conn) != kNone)
        closeSocket(asSock(m_conn));
    m_conn = static_cast<long long>(kNone);
}

void RawPeer::Reset() {
    if (asSock(m_conn) == kNone)
        return;
    linger l;
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(asSock(m_conn), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    Close();
}

void RawPeer::CloseListener() {
    if (asSock(m_listener) != kNone)
        closeSocket(asSock(m_listener));
    m_listener = static_cast<long long>(kNone);
}

int UnusedLoopbackPort() {
    startNetwork();
    // Bind a port and let it go: nothing listens there afterwards (a small race, bounded by
    // the system handing out ports in turn).
    sock_t s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_type n = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    closeSocket(s);
    return ntohs(a.sin_port);
}

} // namespace testing_support
