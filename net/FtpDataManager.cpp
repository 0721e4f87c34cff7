#include "net/FtpDataManager.h"

#include "net/FtpSocketControl.h"
#include "net/NetReport.h"
#include "net/TransferMeter.h"

CFtpDataManager& GetDataConnection() {
    static CFtpDataManager* instance = new CFtpDataManager(); // lives until the process ends
    return *instance;
}

CFtpDataServerManager& GetDataListener() {
    static CFtpDataServerManager* instance = new CFtpDataServerManager();
    return *instance;
}

void CloseDataSide() {
    GetDataConnection().Close();
    GetDataListener().Close();
}

CString DataConnectFailedLine(int error) {
    return FormatString("425 Could not open the data connection (error %d)\r\n", error);
}

void CFtpDataManager::OnConnect(int error) {
    if (error == 0 || !m_pCommand)
        return;
    // Without this the command would wait for data that can never come.
    CommandCallScope scope;
    ControllerTrace(FormatString("<<< Data connection failed, error %d", error), TRACE_COMMAND);
    m_pCommand->onReply(DataConnectFailedLine(error));
}

void CFtpDataManager::drain() {
    // The connection's buffer, on the heap: a block this size does not belong on the stack of
    // the window's thread. A drain entered from inside another (a box opened by a handler runs
    // the message loop) takes one of its own, as the outer block may still be in use.
    std::unique_ptr<char[]> nested;
    char* block = nullptr;
    if (m_draining) {
        nested.reset(new char[kReceiveBlock + 1]);
        block = nested.get();
    } else {
        if (!m_buffer)
            m_buffer.reset(new char[kReceiveBlock + 1]);
        block = m_buffer.get();
    }
    const bool outer = !m_draining;
    m_draining = true;
    while (m_pCommand) {
        int n = Receive(block, kReceiveBlock, 0);
        if (n <= 0)
            break;
        addBytes(n); // the meter counts every byte, also those drained at the close
        GetControlSocket().NoteDataTraffic(n);
        block[n] = '\0'; // a block can also be read as text
        m_pCommand->eventData(block, n);
    }
    if (outer)
        m_draining = false;
}

void CFtpDataManager::OnReceive(int) {
    ControllerTrace("<<< Data Manager Receive", TRACE_STATE);
    if (!m_pCommand)
        return; // the data waits in the socket until a command wants it
    CommandCallScope scope;
    drain();
}

void CFtpDataManager::OnClose(int) {
    ControllerTrace("<<< Data Manager Closing", TRACE_STATE);
    if (!m_pCommand)
        return;
    CommandCallScope scope;
    drain();
    ControllerTrace("<<< Data Manager Closed", TRACE_STATE);
    GetDataListener().Close();
    Close();
    if (m_pCommand)
        m_pCommand->eventData(nullptr, -1);
}

int CFtpDataManager::Send(const void* data, int length, int flags) {
    const int sent = CAsyncSocket::Send(data, length, flags);
    if (sent > 0)
        GetControlSocket().NoteDataTraffic(sent);
    return sent;
}

void CFtpDataManager::OnSend(int) {
    if (!m_pCommand)
        return;
    CommandCallScope scope;
    m_pCommand->onSendReady();
}

bool CFtpDataServerManager::StartListening() {
    return Create(0, SOCK_STREAM, nullptr) && Listen(5);
}

void CFtpDataServerManager::OnAccept(int) {
    // The peer is asked of the accepted socket: Wine's accept fails outright when asked for
    // the address of a connection that has already sent its data.
    SOCKET accepted = AcceptSocket(nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        ControllerTrace(FormatString("<<< Data connection not accepted, error %d",
                                     WSAGetLastError()),
                        TRACE_COMMAND);
        return;
    }
    // Only the server may deliver the data: whoever else reaches the listener first would
    // write into the file.
    sockaddr_in peer;
    socklen_type length = sizeof peer;
    CString from = "an unknown address";
    if (getpeername(accepted, reinterpret_cast<sockaddr*>(&peer), &length) == 0)
        from = Ipv4Text(peer.sin_addr);
    if (m_strServer.empty() || from != m_strServer) {
        Discard(accepted);
        ControllerTrace("<<< Data connection from " + from + " refused: not the server " +
                            m_strServer,
                        TRACE_COMMAND);
        return;
    }
    ControllerTrace("<<< Data Manager Connected", TRACE_STATE);
    GetDataConnection().Adopt(accepted);
}
