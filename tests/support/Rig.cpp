#include "tests/support/Rig.h"

#include "tests/support/RawPeer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace rig {

namespace {

// One request to the rig (tests/servers/README.md): the answer's first line without "OK",
// and what follows it.
bool request(const std::string& line, const std::string& payload, int waitMs, std::string& head,
             std::string& body, CString& error) {
    const char* address = getenv("TW_RIG");
    int port = 0;
    if (!address || sscanf(address, "127.0.0.1:%d", &port) != 1 || port <= 0) {
        error = "TW_RIG is not set: server tests must run under \"tests/servers/rig.py --run\" "
                "(ctest does that)";
        return false;
    }
    testing_support::RawPeer rig;
    std::string reply; // the rig closes after its answer; its own waits are bounded well below
    if (rig.Connect(port) && rig.Send(line + "\n" + payload))
        reply = rig.Receive(std::string::npos, waitMs + 30000);
    const size_t end = reply.find('\n');
    head = reply.substr(0, end);
    if (end == std::string::npos || head.compare(0, 2, "OK") != 0) {
        error =
            FormatString("rig: %s: %s", line.c_str(), head.empty() ? "no answer" : head.c_str());
        return false;
    }
    head.erase(0, head.size() > 3 ? 3 : 2);
    body = reply.substr(end + 1);
    return true;
}

} // namespace

Server::~Server() {
    std::string head, body;
    CString error;
    if (m_id > 0 && !request(FormatString("STOP %d", m_id), "", 0, head, body, error))
        fprintf(stderr, "%s\n", error.c_str());
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
    CString error = m_error;
    if (m_id <= 0 ||
        !request(FormatString("TRANSCRIPT %d %d", m_id, waitMs), "", waitMs, head, body, error))
        return "* " + error + "\n";
    return body.size() == strtoul(head.c_str(), nullptr, 10) ? body : "* rig: cut short\n";
}

namespace detail {

std::unique_ptr<Server> Start(const char* kind, const std::string& script) {
    std::unique_ptr<Server> server(new Server());
    std::string line = std::string("START ") + kind, head, body;
    if (strcmp(kind, "fake") == 0)
        line += " " + std::to_string(script.size());
    if (!request(line, script, 0, head, body, server->m_error))
        return server;
    // "key=value" words; the root comes last and may hold blanks.
    const size_t rootAt = head.find(" root=");
    if (rootAt != std::string::npos) {
        server->m_root = head.substr(rootAt + 6);
#ifdef _WIN32 // the rig's Linux paths are reached through the drive that maps "/"
        server->m_root = "Z:" + server->m_root;
        server->m_root.Replace('/', '\\');
#endif
    }
    std::istringstream fields(head.substr(0, rootAt));
    for (std::string field; fields >> field;) {
        const std::string key = field.substr(0, field.find('=')),
                          value = field.substr(key.size() + 1);
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
