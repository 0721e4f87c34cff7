// CAsyncSocket over Winsock 2: WSAEventSelect on a per-socket event object, a waiter thread
// that posts WM_SOCKET_NOTIFY to the registered window, WSAEnumNetworkEvents on the
// user-interface thread. After posting, the waiter sleeps until the notification has been
// handled: the event object stays signalled until then, and waiting on it again would only
// post the same notification over and over.
#include "net/AsyncSocket.h"

#include "net/SocketLive.h"
#include "net/WaiterPool.h"

#include <atomic>
#include <cstring>

struct SocketWaiter {
    WSAEVENT netEvent = WSA_INVALID_EVENT;
    HANDLE handled = nullptr; // set by the user-interface thread after enumerating the events
    CAsyncSocket* owner = nullptr;
    std::atomic<bool> stop{false};

    ~SocketWaiter() {
        if (netEvent != WSA_INVALID_EVENT)
            WSACloseEvent(netEvent);
        if (handled)
            CloseHandle(handled);
    }
};

static std::atomic<HWND> g_notifyWindow{nullptr};
static bool g_winsockStarted = false;

void CAsyncSocket::SetNotifyWindow(HWND window) { g_notifyWindow = window; }
HWND CAsyncSocket::GetNotifyWindow() { return g_notifyWindow; }

static void waitLoop(std::shared_ptr<SocketWaiter> w) {
    for (;;) {
        DWORD r = WSAWaitForMultipleEvents(1, &w->netEvent, FALSE, 60000, FALSE);
        HWND window = g_notifyWindow;
        if (w->stop || !IsWindowVisible(window))
            break;
        if (r == WSA_WAIT_EVENT_0) {
            PostMessageA(window, WM_SOCKET_NOTIFY, reinterpret_cast<WPARAM>(w->owner), 0);
            WaitForSingleObject(w->handled, 60000);
            if (w->stop)
                break;
            continue;
        }
        if (r == WSA_WAIT_FAILED)
            break;
    }
}

CAsyncSocket::CAsyncSocket() {
    if (!g_winsockStarted) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
            MessageBoxA(nullptr, "Couldn't get Winsock2", "Warning", MB_OK);
        g_winsockStarted = true;
    }
    SocketLive::Add(this);
}

CAsyncSocket::~CAsyncSocket() {
    Close();
    SocketLive::Remove(this);
}

void CAsyncSocket::Close() {
    if (m_hSocket == INVALID_SOCKET)
        return;
    closesocket(m_hSocket);
    m_hSocket = INVALID_SOCKET;
    StopWaiter();
}

void CAsyncSocket::StopWaiter() {
    if (!m_waiter)
        return;
    m_waiter->stop = true;
    WSASetEvent(m_waiter->netEvent);
    SetEvent(m_waiter->handled);
    m_waiter.reset();
}

void CAsyncSocket::AsyncSelect() {
    u_long nonBlocking = 1;
    ioctlsocket(m_hSocket, FIONBIO, &nonBlocking);
    StopWaiter();
    auto waiter = std::make_shared<SocketWaiter>();
    waiter->owner = this;
    waiter->netEvent = WSACreateEvent();
    waiter->handled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (waiter->netEvent == WSA_INVALID_EVENT || !waiter->handled)
        return;
    WSAEventSelect(m_hSocket, waiter->netEvent, FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE);
    m_waiter = waiter;
    WaiterPool::Run([waiter] { waitLoop(waiter); });
}

bool CAsyncSocket::EnumNetworkEvents(WSANETWORKEVENTS* events) {
    memset(events, 0, sizeof *events);
    if (!m_waiter) {
        WSASetLastError(WSAENOTSOCK);
        return false;
    }
    bool ok = WSAEnumNetworkEvents(m_hSocket, m_waiter->netEvent, events) != SOCKET_ERROR;
    SetEvent(m_waiter->handled);
    return ok;
}

bool CAsyncSocket::Connect(const CString& host, unsigned port) {
    sockaddr_in remote;
    if (!ResolveIpv4(host, port, remote)) {
        Close();
        WSASetLastError(WSAHOST_NOT_FOUND);
        return false;
    }
    if (connect(m_hSocket, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK;
    return true;
}

int CAsyncSocket::Send(const void* data, int length, int flags) {
    return send(m_hSocket, static_cast<const char*>(data), length, flags);
}

int CAsyncSocket::Receive(void* buffer, int length, int flags) {
    return recv(m_hSocket, static_cast<char*>(buffer), length, flags);
}

SOCKET CAsyncSocket::AcceptSocket(sockaddr* address, int* addressLength) {
    return accept(m_hSocket, address, addressLength);
}

void CAsyncSocket::Discard(SOCKET accepted) { closesocket(accepted); }

void CAsyncSocket::Adopt(SOCKET accepted) {
    Close();
    m_hSocket = accepted;
    AsyncSelect();
}
