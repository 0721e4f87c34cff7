// The platform-neutral half of CAsyncSocket: creation, binding, naming, resolution and the
// dispatch of reported events to the handlers. The waiter, the event bookkeeping and the raw
// send/receive live in AsyncSocket_win.cpp and AsyncSocket_posix.cpp.
#include "net/AsyncSocket.h"

#include "net/SocketLive.h"

#include <cstring>

CString Ipv4Text(const in_addr& address) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&address);
    return FormatString("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

CString SocketErrorText(int error) {
    switch (error) {
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_DATA: return "name not found";
    case WSAECONNREFUSED: return "refused";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN: return "unreachable";
    case WSAETIMEDOUT: return "timed out";
    case WSAECONNRESET:
    case WSAECONNABORTED: return "reset";
    default: return FormatString("system error %d", error);
    }
}

bool ResolveIpv4(const CString& host, unsigned port, sockaddr_in& address) {
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
        WSASetLastError(WSAHOST_NOT_FOUND);
        return false;
    }
    memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(static_cast<unsigned short>(port));
    return true;
}

bool CAsyncSocket::Accept(CAsyncSocket& connected, sockaddr* address, int* addressLength) {
    SOCKET accepted = AcceptSocket(address, addressLength);
    if (accepted == INVALID_SOCKET) {
        int error = WSAGetLastError();
        connected.Close();
        WSASetLastError(error);
        return false;
    }
    connected.Adopt(accepted);
    return true;
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnAccept(int) {}

bool CAsyncSocket::Create(unsigned port, int socketType, const char* address) {
    Close(); // re-creating an open object must not leak the socket it held
    m_hSocket = socket(AF_INET, socketType, 0);
    if (m_hSocket == INVALID_SOCKET)
        return false;
    if (!Bind(port, address)) {
        int error = WSAGetLastError();
        Close();
        WSASetLastError(error);
        return false;
    }
    return true;
}

bool CAsyncSocket::Bind(unsigned port, const char* address) {
    AsyncSelect();
    sockaddr_in local;
    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<unsigned short>(port));
    if (address) {
        local.sin_addr.s_addr = inet_addr(address);
        if (local.sin_addr.s_addr == INADDR_NONE) {
            WSASetLastError(WSAEINVAL);
            return false;
        }
    } else {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    return bind(m_hSocket, reinterpret_cast<sockaddr*>(&local), sizeof local) != SOCKET_ERROR;
}

bool CAsyncSocket::Listen(int backlog) {
    if (listen(m_hSocket, backlog) == SOCKET_ERROR)
        return false;
#ifndef _WIN32
    m_phase = Phase::Listening;
    m_acceptEnabled = true;
    UpdateWaiter();
#endif
    return true;
}

bool CAsyncSocket::GetSockName(sockaddr* address, int* length) {
    socklen_type n = static_cast<socklen_type>(*length);
    bool ok = getsockname(m_hSocket, address, &n) != SOCKET_ERROR;
    *length = static_cast<int>(n);
    return ok;
}

bool CAsyncSocket::GetPeerName(sockaddr* address, int* length) {
    socklen_type n = static_cast<socklen_type>(*length);
    bool ok = getpeername(m_hSocket, address, &n) != SOCKET_ERROR;
    *length = static_cast<int>(n);
    return ok;
}

void CAsyncSocket::HandleNotification(CAsyncSocket* socket) {
    // Look the pointer up before touching the object: the notification may have outlived it.
    if (!socket || !SocketLive::Contains(socket))
        return;
    WSANETWORKEVENTS events;
    memset(&events, 0, sizeof events);
    if (!socket->EnumNetworkEvents(&events)) {
        if (WSAGetLastError() == WSAENOTSOCK)
            socket->StopWaiter();
        return;
    }
    struct Route {
        long bit;
        int index;
        void (CAsyncSocket::*handler)(int);
    };
    static const Route order[] = {
        {FD_CONNECT, FD_CONNECT_BIT, &CAsyncSocket::OnConnect},
        {FD_READ, FD_READ_BIT, &CAsyncSocket::OnReceive},
        {FD_WRITE, FD_WRITE_BIT, &CAsyncSocket::OnSend},
        {FD_CLOSE, FD_CLOSE_BIT, &CAsyncSocket::OnClose},
        {FD_ACCEPT, FD_ACCEPT_BIT, &CAsyncSocket::OnAccept},
    };
    for (const Route& route : order) {
        // A handler may run a nested message loop (a message box) in which anything can
        // happen; stop if the object itself went away meanwhile.
        if ((events.lNetworkEvents & route.bit) && SocketLive::Contains(socket))
            (socket->*route.handler)(events.iErrorCode[route.index]);
    }
}
