#include "tests/support/Rig.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace rig {

namespace {

#ifdef _WIN32
using socket_t = SOCKET;
const socket_t kNoSocket = INVALID_SOCKET;
void closeSocket(socket_t s) {
    closesocket(s);
}
bool startSockets() {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
#else
using socket_t = int;
const socket_t kNoSocket = -1;
void closeSocket(socket_t s) {
    ::close(s);
}
bool startSockets() {
    return true;
}
#endif

socket_t raw(intptr_t s) {
    return static_cast<socket_t>(s);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Under Wine the rig's Linux paths are reached through the drive that maps "/" (Z:).
CString localPath(const std::string& unixPath) {
#ifdef _WIN32
    CString path = "Z:" + unixPath;
    path.Replace('/', '\\');
    return path;
#else
    return CString(unixPath);
#endif
}

// One request to the rig: the reply's first line (without "OK "), and its payload if any.
bool request(const std::string& line, const std::string& payload, int waitMs, std::string& head,
             std::string& body, CString& error) {
    const char* address = getenv("TW_RIG");
    int port = 0;
    if (!address || sscanf(address, "127.0.0.1:%d", &port) != 1 || port <= 0) {
        error = "TW_RIG is not set: server tests must run under \"tests/servers/rig.py --run\" "
                "(ctest does that)";
        return false;
    }
    Connection connection;
    connection.setTimeout(waitMs + 30000);
    std::string reply;
    if (!connection.connect(port) || !connection.sendAll(line + "\n" + payload) ||
        !connection.readAll(reply)) {
        error = FormatString("the rig at %s did not answer \"%s\" (error %d)", address,
                             line.c_str(), Connection::lastError());
        return false;
    }
    size_t end = reply.find('\n');
    head = reply.substr(0, end);
    body = end == std::string::npos ? std::string() : reply.substr(end + 1);
    if (head.compare(0, 3, "OK ") != 0 && head != "OK") {
        error = FormatString("rig: %s: %s", line.c_str(), head.c_str());
        return false;
    }
    head.erase(0, head.size() > 3 ? 3 : 2);
    return true;
}

} // namespace

Server::~Server() {
    if (m_id > 0) {
        std::string head, body;
        CString error;
        if (!request(FormatString("STOP %d", m_id), "", 0, head, body, error))
            fprintf(stderr, "%s\n", error.c_str());
    }
}

CString Server::file(const char* relative) const {
    CString path = m_root + "/" + relative;
#ifdef _WIN32
    path.Replace('/', '\\');
#endif
    return path;
}

std::string Server::transcript(int waitMs) const {
    std::string head, body;
    CString error;
    if (m_id <= 0 ||
        !request(FormatString("TRANSCRIPT %d %d", m_id, waitMs), "", waitMs, head, body, error))
        return "* rig: " + (m_id <= 0 ? m_error : error) + "\n";
    size_t length = strtoul(head.c_str(), nullptr, 10);
    return body.size() == length ? body : "* rig: transcript cut short\n";
}

namespace detail {

std::unique_ptr<Server> Start(const char* kind, const std::string& script) {
    std::unique_ptr<Server> server(new Server());
    std::string line = std::string("START ") + kind, head, body;
    if (strcmp(kind, "fake") == 0)
        line += FormatString(" %lu", static_cast<unsigned long>(script.size()));
    if (!request(line, script, 0, head, body, server->m_error))
        return server;
    // Fields are "key=value" words; the root comes last and may hold blanks.
    size_t at = 0;
    while (at < head.size()) {
        size_t eq = head.find('=', at);
        if (eq == std::string::npos)
            break;
        std::string key = head.substr(at, eq - at);
        size_t end = key == "root" ? head.size() : head.find(' ', eq);
        if (end == std::string::npos)
            end = head.size();
        std::string value = head.substr(eq + 1, end - eq - 1);
        if (key == "id")
            server->m_id = atoi(value.c_str());
        else if (key == "port")
            server->m_port = atoi(value.c_str());
        else if (key == "root")
            server->m_root = localPath(value);
        else if (key == "user")
            server->m_user = value;
        else if (key == "password")
            server->m_password = value;
        else if (key == "anonwrite")
            server->m_anonWrite = value;
        at = end + 1;
    }
    if (server->m_id <= 0 || server->m_port <= 0)
        server->m_error = "rig: unexpected reply: " + head;
    return server;
}

} // namespace detail

std::unique_ptr<Server> StartPyftpdlib() {
    return detail::Start("pyftpdlib", "");
}
std::unique_ptr<Server> StartVsftpd() {
    return detail::Start("vsftpd", "");
}
std::unique_ptr<Server> StartFake(const std::string& script) {
    return detail::Start("fake", script);
}

int UnusedPort() {
    // The system hands out a port nobody has bound; once closed, connects there are refused.
    Connection probe;
    return probe.listen() ? probe.localPort() : 0;
}

std::string PatternBytes(int64_t offset, size_t count) {
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>((offset + static_cast<int64_t>(i)) % 251);
    return out;
}

// ---- Connection ----

int Connection::lastError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

bool Connection::connect(int port) {
    close();
    if (!startSockets())
        return false;
    socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket)
        return false;
    sockaddr_in address = loopback(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = lastError();
        closeSocket(s);
#ifdef _WIN32
        WSASetLastError(error);
#else
        errno = error;
#endif
        return false;
    }
    m_socket = static_cast<intptr_t>(s);
    return true;
}

bool Connection::listen() {
    close();
    if (!startSockets())
        return false;
    socket_t s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == kNoSocket)
        return false;
    m_socket = static_cast<intptr_t>(s);
    sockaddr_in address = loopback(0);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s, 5) != 0) {
        close();
        return false;
    }
    return true;
}

bool Connection::accept(Connection& into) {
    into.close();
    if (!isOpen() || !waitReadable())
        return false;
    socket_t s = ::accept(raw(m_socket), nullptr, nullptr);
    if (s == kNoSocket)
        return false;
    into.m_socket = static_cast<intptr_t>(s);
    return true;
}

int Connection::localPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (!isOpen() ||
        getsockname(raw(m_socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool Connection::waitReadable() {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(raw(m_socket), &set);
    timeval limit{m_timeoutMs / 1000, (m_timeoutMs % 1000) * 1000};
    return select(static_cast<int>(m_socket + 1), &set, nullptr, nullptr, &limit) == 1;
}

bool Connection::sendAll(const std::string& data) {
    size_t done = 0;
    while (isOpen() && done < data.size()) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(raw(m_socket), &set);
        timeval limit{m_timeoutMs / 1000, (m_timeoutMs % 1000) * 1000};
        if (select(static_cast<int>(m_socket + 1), nullptr, &set, nullptr, &limit) != 1)
            return false;
        int chunk = static_cast<int>(std::min<size_t>(data.size() - done, 1 << 20));
        int sent = ::send(raw(m_socket), data.data() + done, chunk, 0);
        if (sent <= 0)
            return false;
        done += static_cast<size_t>(sent);
    }
    return isOpen();
}

int Connection::receive(std::string& data) {
    if (!m_pending.empty()) {
        int count = static_cast<int>(m_pending.size());
        data += m_pending;
        m_pending.clear();
        return count;
    }
    if (!isOpen() || !waitReadable())
        return -1;
    char buffer[65536];
    int count = ::recv(raw(m_socket), buffer, sizeof buffer, 0);
    if (count > 0)
        data.append(buffer, static_cast<size_t>(count));
    return count < 0 ? -1 : count;
}

bool Connection::readLine(std::string& line) {
    std::string buffer;
    buffer.swap(m_pending);
    size_t end;
    while ((end = buffer.find('\n')) == std::string::npos) {
        if (receive(buffer) <= 0) {
            m_pending.swap(buffer);
            return false;
        }
    }
    line = buffer.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    m_pending = buffer.substr(end + 1);
    return true;
}

bool Connection::readAll(std::string& data) {
    for (;;) {
        int count = receive(data);
        if (count == 0)
            return true;
        if (count < 0)
            return false;
    }
}

void Connection::close() {
    if (m_socket != -1)
        closeSocket(raw(m_socket));
    m_socket = -1;
    m_pending.clear();
}

// ---- SHA-256 (FIPS 180-4) ----

namespace {

const uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t rotr(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

void compress(uint32_t state[8], const unsigned char* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 |
               uint32_t(block[4 * i + 2]) << 8 | uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    memcpy(v, state, sizeof v);
    for (int i = 0; i < 64; ++i) {
        uint32_t t1 = v[7] + (rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25)) +
                      ((v[4] & v[5]) ^ (~v[4] & v[6])) + kRound[i] + w[i];
        uint32_t t2 = (rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22)) +
                      ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i)
        state[i] += v[i];
}

} // namespace

std::string Sha256Hex(const std::string& data) {
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string padded = data;
    padded += '\x80';
    while (padded.size() % 64 != 56)
        padded += '\0';
    uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 7; i >= 0; --i)
        padded += static_cast<char>((bits >> (8 * i)) & 0xff);
    for (size_t at = 0; at < padded.size(); at += 64)
        compress(state, reinterpret_cast<const unsigned char*>(padded.data() + at));
    std::string hex;
    for (uint32_t word : state)
        hex += FormatString("%08x", static_cast<unsigned>(word));
    return hex;
}

} // namespace rig
