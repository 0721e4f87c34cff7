#include "net/FtpSocketControl.h"

#include "net/FtpDataManager.h"
#include "net/NetReport.h"
#include "settings/Prefs.h"

#include <cctype>

#include <algorithm>

void CloseConnection() {
    CloseDataSide();
    GetControlSocket().Close();
}

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
    m_host = server;
    m_port = static_cast<unsigned>(port);
    // Started before the name lookup: the limit covers the whole connect.
    m_connectLimit.Start(ConfiguredTimeLimitMs(), [this] {
        Close();
        ConnectFailed(WSAETIMEDOUT);
    });
    if (!Connect(server, m_port) && WSAGetLastError() != WSAEWOULDBLOCK) {
        const int error = WSAGetLastError();
        m_connectLimit.Stop();
        TraceConnectFailure(error);
        WSASetLastError(error);
        return false;
    }
    m_expected.push_back(m_pCommand); // the greeting
    return true;
}

void CFtpSocketControl::ArmReplyLimit() {
    m_replyLimit.Start(ConfiguredTimeLimitMs(), [this] { OnReplyLimit(); });
}

void CFtpSocketControl::OnReplyLimit() {
    if (!IsOpen() || !m_pCommand || !m_pCommand->waitsForReply())
        return; // nothing waits for the server: an idle connection has no limit
    CommandCallScope scope;
    ControllerTrace(FormatString("<<< Nothing from the server for %u s: the connection is "
                                 "closed",
                                 ConfiguredTimeLimitMs() / 1000),
                    TRACE_COMMAND);
    CloseConnection();
    LoseConnection();
}

void CFtpSocketControl::NoteDataTraffic(int64_t bytes) {
    m_replyLimit.Touch();
    m_moved += bytes;
}

bool CFtpSocketControl::SendCommand(const CString& line, IReplySink* owner) {
    if (line.find_first_of("\r\n") != std::string::npos) {
        // A line break would end this command early and smuggle in another one.
        WSASetLastError(WSAEINVAL);
        return false;
    }
    if (line.Left(4) != "PASS")
        ControllerTrace(line, TRACE_PROTOCOL);
    m_outgoing += line + "\r\n";
    m_expected.push_back(owner);
    ArmReplyLimit();
    return SendPending();
}

// Sends what the socket takes now; the rest goes out from OnSend. False on a send error.
bool CFtpSocketControl::SendPending() {
    while (!m_outgoing.empty()) {
        int n = Send(m_outgoing.data(),
                     static_cast<int>(std::min<size_t>(m_outgoing.size(), 1 << 20)), 0);
        if (n == SOCKET_ERROR)
            return WSAGetLastError() == WSAEWOULDBLOCK;
        m_outgoing.erase(0, static_cast<size_t>(n));
    }
    return true;
}

void CFtpSocketControl::OnSend(int error) {
    if (error == 0 && SendPending())
        return;
    CommandCallScope scope;
    Close();
    LoseConnection();
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
    m_outgoing.clear();
    m_expected.clear();
    m_openReply.clear();
    m_skipping = false;
    m_delivering = false;
    ++m_generation;
    m_connectLimit.Stop();
    m_replyLimit.Stop();
    CAsyncSocket::Close();
}

void CFtpSocketControl::OnReceive(int) {
    char buffer[10000 + 1];
    for (;;) {
        int n = Receive(buffer, 10000, 0);
        if (n <= 0)
            break;
        m_replyLimit.Touch();
        ControllerTrace("<<< Control Manager Receive", TRACE_STATE);
        // A line split across two reads is carried over to the next one.
        m_pending.append(buffer, static_cast<size_t>(n));
        // A reply handler may run a nested loop that reads again; that inner read only
        // appends, and this outer delivery hands on the lines in order.
        if (!m_delivering) {
            DeliverLines();
        } else if (m_pending.size() > kMaxUndelivered) {
            ControllerTrace("<<< The server sent more than 1 MiB that could not be handed on",
                            TRACE_COMMAND);
            Close();
            LoseConnection();
            return;
        }
    }
}

void CFtpSocketControl::DeliverLines() {
    m_delivering = true;
    const unsigned generation = m_generation;
    CommandCallScope scope;
    size_t start = 0;
    for (;;) {
        size_t end = m_pending.find('\n', start);
        if (end == std::string::npos) {
            if (m_skipping || m_pending.size() - start > kMaxReplyLine) {
                m_skipping = true; // keep nothing of an over-long line
                start = m_pending.size();
            }
            break; // the rest of the line is still on its way
        }
        const bool tooLong = m_skipping || end + 1 - start > kMaxReplyLine;
        CString line(m_pending.substr(start, end + 1 - start));
        start = end + 1;
        m_skipping = false;
        if (tooLong) {
            ControllerTrace("<<< A reply line longer than 64 KiB was dropped", TRACE_COMMAND);
            continue;
        }
        DeliverLine(line);
        if (generation != m_generation)
            return; // the connection was closed meanwhile
    }
    m_pending.erase(0, start);
    m_delivering = false;
}

// Three digits, then a blank, a hyphen or the line's end.
static bool replyCode(const CString& line, std::string& code) {
    if (line.size() < 3 || !isdigit(static_cast<unsigned char>(line[0])) ||
        !isdigit(static_cast<unsigned char>(line[1])) ||
        !isdigit(static_cast<unsigned char>(line[2])))
        return false;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-' && line[3] != '\r' &&
        line[3] != '\n')
        return false;
    code = line.substr(0, 3);
    return true;
}

void CFtpSocketControl::DeliverLine(const CString& line) {
    // Only the last line of a reply, and not a preliminary one (1xx), answers a sent line.
    std::string code;
    bool last = false;
    if (!m_openReply.empty()) {
        last = line.compare(0, 3, m_openReply) == 0 && (line.size() == 3 || line[3] != '-') &&
               replyCode(line, code);
        if (last)
            m_openReply.clear();
    } else if (replyCode(line, code)) {
        if (line.size() > 3 && line[3] == '-')
            m_openReply = code;
        else
            last = true;
    }
    const bool answers = last && code[0] != '1';
    IReplySink* to = m_pCommand;
    if (!m_expected.empty()) {
        to = m_expected.front();
        if (answers)
            m_expected.pop_front();
        // The command that sent the line has been retired: nobody waits for this answer.
        // A 421 still closes the session, whoever it answers.
        if (!to && code != "421") {
            ControllerTrace("<<< Late reply, its command has ended: " + line, TRACE_PROTOCOL);
            return;
        }
        if (!to)
            to = m_pCommand;
    }
    if (to)
        to->onReply(line);
}

void CFtpSocketControl::OnConnect(int error) {
    m_connectLimit.Stop();
    if (error != 0) {
        ConnectFailed(error);
        return;
    }
    ArmReplyLimit(); // for the greeting
    CommandCallScope scope;
    CString result = "Y";
    ControllerNotify(result, EV_CONNECTION_STATE, result);
}

void CFtpSocketControl::TraceConnectFailure(int error) {
    ControllerTrace(FormatString("<<< Could not connect to %s port %u: %s", m_host.c_str(), m_port,
                                 SocketErrorText(error).c_str()),
                    TRACE_COMMAND);
}

void CFtpSocketControl::ConnectFailed(int error) {
    CommandCallScope scope;
    TraceConnectFailure(error);
    CString result = "Y";
    ControllerNotify("Could Not Connect To Server!", EV_CONNECT_FAILED, result);
    if (m_pCommand)
        m_pCommand->onReply("777");
    result = "N";
    ControllerNotify(result, EV_CONNECTION_STATE, result);
}

void CFtpSocketControl::OnClose(int error) {
    CommandCallScope scope;
    if (error == 0) {
        if (!IsOpen())
            return;
        // A command still waiting for its reply can never get it: for it, the connection
        // broke, and the user is told as for a reset.
        IReplySink* command = m_pCommand;
        const bool waiting = command && command->waitsForReply();
        // Otherwise the server ended the session in order (after 221, or an idle time-out):
        // nothing to tell the user, but the connection is gone. Closing our end lets the next
        // request offer to connect again instead of writing into a dead connection.
        Close();
        if (!waiting) {
            if (command)
                command->onOrderlyClose();
            CString state = "N";
            ControllerNotify(state, EV_CONNECTION_STATE, state);
            return;
        }
    }
    LoseConnection();
}

// The connection broke under the command: the user is told, and the command gets its "777".
void CFtpSocketControl::LoseConnection() {
    if (m_pCommand)
        ControllerTrace(FormatString("<<< Connection lost while %s ran, %lld bytes moved",
                                     m_pCommand->activity().c_str(),
                                     static_cast<long long>(m_moved)),
                        TRACE_COMMAND);
    CString reply;
    ControllerNotify("Server Connection Closed!", EV_CONNECT_FAILED, reply);
    if (m_pCommand)
        m_pCommand->onReply("777");
}
