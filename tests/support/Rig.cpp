#include "tests/support/Rig.h"

#include "tests/support/RawPeer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rig {

namespace {

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

// One request to the rig: the answer's first line without "OK", and what follows it (answers
// with a payload are "OK <length>").
bool request(const std::string& line, const std::string& payload, int waitMs, std::string& head,
             std::string& body, CString& error) {
    const char* address = getenv("TW_RIG");
    int port = 0;
    if (!address || sscanf(address, "127.0.0.1:%d", &port) != 1 || port <= 0) {
        error = "TW_RIG is not set: server tests must run under \"tests/servers/rig.py --run\" "
                "(ctest does that)";
        return false;
    }
    const int limitMs = waitMs + 30000; // the rig's own waits are bounded well below this
    testing_support::RawPeer rig;
    std::string reply;
    if (rig.Connect(port) && rig.Send(line + "\n" + payload))
        reply = rig.Receive(std::string::npos, limitMs); // the rig closes after its answer
    size_t end = reply.find('\n');
    if (end == std::string::npos) {
        error = FormatString("the rig at %s did not answer \"%s\"", address, line.c_str());
        return false;
    }
    head = reply.substr(0, end);
    if (head != "OK" && head.compare(0, 3, "OK ") != 0) {
        error = FormatString("rig: %s: %s", line.c_str(), head.c_str());
        return false;
    }
    head.erase(0, head.size() > 3 ? 3 : 2);
    body = reply.substr(end + 1);
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
    if (m_id <= 0)
        return "* rig: " + m_error + "\n";
    const std::string line = FormatString("TRANSCRIPT %d %d", m_id, waitMs);
    std::string head, body;
    CString error;
    if (!request(line, "", waitMs, head, body, error))
        return "* " + error + "\n";
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
    const size_t rootAt = head.find(" root=");
    if (rootAt != std::string::npos)
        server->m_root = localPath(head.substr(rootAt + 6));
    const size_t limit = std::min(head.size(), rootAt);
    std::string key, value;
    for (size_t at = 0, end; at < limit; at = end + 1) {
        end = std::min(head.find(' ', at), limit);
        const std::string field = head.substr(at, end - at);
        const size_t eq = field.find('=');
        value = field.substr(eq + 1);
        key = field.substr(0, eq);
        if (key == "id" || key == "port")
            (key == "id" ? server->m_id : server->m_port) = atoi(value.c_str());
        else if (key == "user" || key == "password")
            (key == "user" ? server->m_user : server->m_password) = value;
    }
    if (server->m_id <= 0 || server->m_port <= 0)
        server->m_error = "rig: unexpected answer: " + head;
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

std::string PatternBytes(int64_t offset, size_t count) {
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<char>((offset + static_cast<int64_t>(i)) % 251);
    return out;
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
