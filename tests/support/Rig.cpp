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

std::string Checksum(const std::string& data) {
    uint32_t crc = 0xffffffffu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return FormatString("%08x", static_cast<unsigned>(~crc));
}

} // namespace rig
