#pragma once
// One non-blocking TCP socket whose network events are delivered as calls of virtual handlers
// on the user-interface thread. A waiter thread per opened socket only waits for the socket's
// events and posts a notification; the user-interface thread then asks which events happened
// and calls the handlers in a fixed order: connect, receive, send, close, accept.
#include "net/SocketApi.h"

#include <memory>

// Window message of a socket notification; wParam is the CAsyncSocket*, lParam 0.
constexpr unsigned WM_SOCKET_NOTIFY = 0x0400 + 100;

struct SocketWaiter; // the platform's waiter thread and its wake-up

class CAsyncSocket {
public:
    CAsyncSocket();
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    virtual void Close();
    virtual void OnReceive(int error);
    virtual void OnConnect(int error);
    virtual void OnClose(int error);
    virtual void OnSend(int error);
    virtual void OnAccept(int error);
    virtual int Send(const void* data, int length, int flags);
    virtual int Receive(void* buffer, int length, int flags);
    virtual bool Accept(CAsyncSocket& connected, sockaddr* address, int* addressLength);
    // Accept in two halves, so a listener can look at the peer before it gives up the
    // connection it holds: the raw accepted socket (INVALID_SOCKET on failure), then either
    // Adopt (this object takes it over, closing what it held) or Discard.
    SOCKET AcceptSocket(sockaddr* address, int* addressLength);
    void Adopt(SOCKET accepted);
    static void Discard(SOCKET accepted);

    // Opens an IPv4 socket and binds it (which makes it non-blocking with its own waiter).
    bool Create(unsigned port, int socketType, const char* address);
    bool Bind(unsigned port, const char* address);
    // Non-blocking mode, a fresh event selection and a waiter (on a pooled thread) for it.
    void AsyncSelect();
    bool Listen(int backlog);
    bool GetSockName(sockaddr* address, int* length);
    bool GetPeerName(sockaddr* address, int* length);
    // Resolves host (names and dotted text) and starts a non-blocking connect. True when the
    // connect is under way or done; the outcome arrives as OnConnect. On a failed resolution
    // the socket is closed.
    bool Connect(const CString& host, unsigned port);
    // Which events happened since the last call, each with its error code; resets them.
    bool EnumNetworkEvents(WSANETWORKEVENTS* events);

    bool IsOpen() const { return m_hSocket != INVALID_SOCKET; }

    // The user-interface thread's handling of one notification: ask for the events and call
    // the handlers. A notification for a socket object that no longer exists is ignored.
    static void HandleNotification(CAsyncSocket* socket);
#ifdef _WIN32
    // The window that receives WM_SOCKET_NOTIFY; waiters end while it is not visible.
    static void SetNotifyWindow(HWND window);
    static HWND GetNotifyWindow();
#endif

    SOCKET m_hSocket = INVALID_SOCKET;

private:
    void StopWaiter();

    std::shared_ptr<SocketWaiter> m_waiter;

#ifndef _WIN32
    // What Winsock would remember per socket to decide which events to report (UI thread only).
    void UpdateWaiter();
    enum class Phase { Idle, Connecting, Connected, Listening, Failed };
    Phase m_phase = Phase::Idle;
    bool m_readEnabled = true;   // re-enabled by Receive, as FD_READ is
    bool m_acceptEnabled = true; // re-enabled by Accept, as FD_ACCEPT is
    bool m_writeWanted = false;  // after a connect or a send that would block
    bool m_closeReported = false;
#endif
};
