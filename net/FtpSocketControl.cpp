#include "net/FtpSocketControl.h"

#include "engine/CallBackController.h"
#include "engine/Command.h"
#include "settings/Prefs.h"

CFtpSocketControl& GetControlSocket() {
    static CFtpSocketControl* instance = new CFtpSocketControl(); // lives until the process ends
    return *instance;
}

bool CFtpSocketControl::ConnectToServer() {
    Close();
    Create(0, SOCK_STREAM, nullptr);
    CString section = AccountSection(CurrentAccountName());
    CString server = GetPrefString(section.c_str(), "SERVER", "localhost");
    int port = GetPrefInt(section.c_str(), "PORT", 21);
    // 70000 would be cut to 4464: another server than the one the account names.
    if (port < 1 || port > 65535) {
        Close();
        WSASetLastError(WSAEINVAL);
        return false;
    }
    if (!Connect(server, static_cast<unsigned>(port)) && WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    return true;
}

bool CFtpSocketControl::SendCommand(const CString& line, CCommand* owner) {
    m_pCommand = owner;
    if (line.find_first_of("\r\n") != std::string::npos) {
        // A line break would end this command early and smuggle in another one.
        WSASetLastError(WSAEINVAL);
        return false;
    }
    if (line.Left(4) != "PASS")
        ControllerTrace(line, TRACE_PROTOCOL);
    CString out = line + "\r\n";
    return Send(out.data(), static_cast<int>(out.size()), 0) != SOCKET_ERROR;
}

bool CFtpSocketControl::GetLocalAddress(CString& address, unsigned& port) {
    // Only an established connection counts: a socket whose connect failed still has a local
    // name (0.0.0.0), and taking that for a connection would report a log-on that never was.
    CString peer;
    if (!GetPeerAddress(peer))
        return false;
    sockaddr_in local;
    int length = sizeof local;
    if (!GetSockName(reinterpret_cast<sockaddr*>(&local), &length))
        return false;
    address = Ipv4Text(local.sin_addr);
    port = ntohs(local.sin_port);
    return true;
}

bool CFtpSocketControl::GetPeerAddress(CString& address) {
    if (!IsOpen())
        return false;
    sockaddr_in peer;
    int length = sizeof peer;
    if (!GetPeerName(reinterpret_cast<sockaddr*>(&peer), &length))
        return false;
    address = Ipv4Text(peer.sin_addr);
    return true;
}

void CFtpSocketControl::Close() {
    // A delivery suspended in a nested loop notices the new generation and leaves the new
    // connection's lines to be delivered by whoever reads them.
    m_pending.clear();
    m_delivering = false;
    ++m_generation;
    CAsyncSocket::Close();
}

void CFtpSocketControl::OnReceive(int) {
    char buffer[10000 + 1];
    for (;;) {
        int n = Receive(buffer, 10000, 0);
        if (n <= 0)
            break;
        ControllerTrace("<<< Control Manager Receive", TRACE_STATE);
        // A line split across two reads is carried over to the next one.
        m_pending.append(buffer, static_cast<size_t>(n));
        // A reply handler may run a nested loop that reads again; that inner read only
        // appends, and this outer delivery hands on the lines in order.
        if (!m_delivering)
            DeliverLines();
    }
}

void CFtpSocketControl::DeliverLines() {
    m_delivering = true;
    const unsigned generation = m_generation;
    CommandCallScope scope;
    size_t start = 0;
    for (;;) {
        size_t end = m_pending.find('\n', start);
        if (end == std::string::npos && m_pending.size() - start <= kMaxReplyLine)
            break; // the rest of the line is still on its way
        if (end == std::string::npos || end + 1 - start > kMaxReplyLine)
            end = start + kMaxReplyLine - 1; // an endless line goes on in pieces
        CString line(m_pending.substr(start, end + 1 - start));
        start = end + 1;
        if (m_pCommand)
            m_pCommand->onReply(line);
        if (generation != m_generation)
            return; // the connection was closed meanwhile
    }
    m_pending.erase(0, start);
    m_delivering = false;
}

void CFtpSocketControl::OnConnect(int error) {
    CommandCallScope scope;
    CString result = "Y";
    if (error != 0) {
        ControllerNotify("Could Not Connect To Server!", EV_CONNECT_FAILED, result);
        if (m_pCommand)
            m_pCommand->onReply("777");
        result = "N";
    }
    ControllerNotify(result, EV_CONNECTION_STATE, result);
}

void CFtpSocketControl::OnClose(int error) {
    CommandCallScope scope;
    if (error == 0) {
        if (!IsOpen())
            return;
        // A command still waiting for its reply can never get it: for it, the connection
        // broke, and the user is told as for a reset.
        const bool waiting = m_pCommand && m_pCommand->waitsForReply();
        // Otherwise the server ended the session in order (after 221, or an idle time-out):
        // nothing to tell the user, but the connection is gone. Closing our end lets the next
        // request offer to connect again instead of writing into a dead connection.
        Close();
        if (!waiting) {
            CString state = "N";
            ControllerNotify(state, EV_CONNECTION_STATE, state);
            return;
        }
    }
    CString reply;
    ControllerNotify("Server Connection Closed!", EV_CONNECT_FAILED, reply);
    if (m_pCommand)
        m_pCommand->onReply("777");
}
