// CAsyncSocket over BSD sockets. A waiter thread per socket polls the socket and a wake-up
// pipe off the user-interface thread and posts one notification, then sleeps until the
// user-interface thread has asked for the events (as Winsock's event object stays signalled
// until then). The user-interface thread works out the Winsock-style event set from the
// socket's readiness and what Winsock would remember: FD_READ is re-enabled by a receive,
// FD_ACCEPT by an accept, FD_WRITE comes after a connect and after a send that would block,
// FD_CONNECT and FD_CLOSE come once. So an idle or unread socket costs no CPU.
#include "net/AsyncSocket.h"

#include "net/SocketLive.h"
#include "net/WaiterPool.h"
#include "net/UiLoop.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
thread_local int t_lastError = 0;
}

int WSAGetLastError() { return t_lastError; }
void WSASetLastError(int error) { t_lastError = error; }

int WinsockErrorFromErrno(int error) {
    switch (error) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEWOULDBLOCK; // a non-blocking connect under way, as Winsock says it
    case EINTR: return WSAEINTR;
    case EBADF:
    case ENOTSOCK: return WSAENOTSOCK;
    case EACCES: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: return WSAEMFILE;
    case EALREADY: return WSAEALREADY;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE: return WSAECONNRESET;
    case ENOBUFS: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    // Far above every Winsock code: errno 35 must not read as 10035 (would block).
    default: return 20000 + error;
    }
}

static void setLastErrno() { WSASetLastError(WinsockErrorFromErrno(errno)); }

struct SocketWaiter {
    int fd = -1;
    int wake[2] = {-1, -1};
    CAsyncSocket* owner = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<short> interest{0}; // poll events to wait for; 0: ignore the socket
    std::atomic<bool> armed{true};  // false from a posted notification until it is handled

    ~SocketWaiter() {
        if (wake[0] >= 0)
            close(wake[0]);
        if (wake[1] >= 0)
            close(wake[1]);
    }
    void Wake() {
        char c = 1;
        ssize_t ignored = write(wake[1], &c, 1); // a full pipe is awake already
        (void)ignored;
    }
};

static void waitLoop(std::shared_ptr<SocketWaiter> w) {
    while (!w->stop) {
        const short interest = w->interest.load();
        const bool watch = w->armed.load() && interest != 0;
        pollfd fds[2] = {{watch ? w->fd : -1, interest, 0}, {w->wake[0], POLLIN, 0}};
        int n = poll(fds, 2, 60000);
        if (w->stop)
            break;
        if (n < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (read(w->wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (watch && fds[0].revents) {
            w->armed = false;
            UiLoop::PostSocketNotify(w->owner);
        }
    }
}

CAsyncSocket::CAsyncSocket() { SocketLive::Add(this); }

CAsyncSocket::~CAsyncSocket() {
    Close();
    SocketLive::Remove(this);
}

void CAsyncSocket::Close() {
    if (m_hSocket == INVALID_SOCKET)
        return;
    close(m_hSocket);
    m_hSocket = INVALID_SOCKET;
    StopWaiter();
    m_phase = Phase::Idle;
}

void CAsyncSocket::StopWaiter() {
    if (!m_waiter)
        return;
    m_waiter->stop = true;
    m_waiter->Wake();
    m_waiter.reset();
}

void CAsyncSocket::AsyncSelect() {
    int flags = fcntl(m_hSocket, F_GETFL);
    fcntl(m_hSocket, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
    fcntl(m_hSocket, F_SETFD, FD_CLOEXEC);
    StopWaiter();
    m_phase = Phase::Idle;
    m_readEnabled = true;
    m_acceptEnabled = true;
    m_writeWanted = false;
    m_closeReported = false;

    auto waiter = std::make_shared<SocketWaiter>();
    waiter->fd = m_hSocket;
    waiter->owner = this;
    if (pipe(waiter->wake) != 0)
        return; // no waiter: the socket reports nothing, its users see no progress
    for (int end : waiter->wake) {
        fcntl(end, F_SETFL, O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    m_waiter = waiter;
    UpdateWaiter();
    WaiterPool::Run([waiter] { waitLoop(waiter); });
}

void CAsyncSocket::UpdateWaiter() {
    if (!m_waiter)
        return;
    short interest = 0;
    switch (m_phase) {
    case Phase::Connecting: interest = POLLOUT; break;
    case Phase::Listening: interest = m_acceptEnabled ? POLLIN : 0; break;
    case Phase::Connected:
        if (!m_closeReported) {
            interest = POLLRDHUP;
            if (m_readEnabled)
                interest |= POLLIN;
            if (m_writeWanted)
                interest |= POLLOUT;
        }
        break;
    case Phase::Idle:
    case Phase::Failed: break;
    }
    if (interest != m_waiter->interest.load() || !m_waiter->armed.load()) {
        m_waiter->interest = interest;
        m_waiter->armed = true;
        m_waiter->Wake();
    }
}

static int socketError(SOCKET s) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return WinsockErrorFromErrno(errno);
    return error ? WinsockErrorFromErrno(error) : 0;
}

bool CAsyncSocket::EnumNetworkEvents(WSANETWORKEVENTS* events) {
    memset(events, 0, sizeof *events);
    if (m_hSocket == INVALID_SOCKET) {
        WSASetLastError(WSAENOTSOCK);
        return false;
    }
    pollfd p = {m_hSocket, static_cast<short>(POLLIN | POLLOUT | POLLRDHUP), 0};
    if (poll(&p, 1, 0) < 0 || (p.revents & POLLNVAL)) {
        WSASetLastError(WSAENOTSOCK);
        return false;
    }
    const short r = p.revents;
    auto report = [events](int bit, int index, int error) {
        events->lNetworkEvents |= bit;
        events->iErrorCode[index] = error;
    };
    int resetError = 0;
    if (m_phase == Phase::Connecting && (r & (POLLOUT | POLLERR | POLLHUP))) {
        int error = socketError(m_hSocket);
        // A reset (not a refusal) means the connection was made and then broken before this
        // look: Winsock would have reported the connect as made, then the data and the close.
        if (error == WSAECONNRESET) {
            resetError = error;
            error = 0;
        }
        report(FD_CONNECT, FD_CONNECT_BIT, error);
        m_phase = error ? Phase::Failed : Phase::Connected;
        m_writeWanted = error == 0 && resetError == 0;
    }
    if (m_phase == Phase::Listening && m_acceptEnabled && (r & POLLIN)) {
        report(FD_ACCEPT, FD_ACCEPT_BIT, 0);
        m_acceptEnabled = false;
    }
    if (m_phase == Phase::Connected) {
        int available = 0;
        if (m_readEnabled && (r & POLLIN) && ioctl(m_hSocket, FIONREAD, &available) == 0 &&
            available > 0) {
            report(FD_READ, FD_READ_BIT, 0);
            m_readEnabled = false;
        }
        if (m_writeWanted && (r & POLLOUT) && !(r & POLLERR)) {
            report(FD_WRITE, FD_WRITE_BIT, 0);
            m_writeWanted = false;
        }
        if (!m_closeReported && (r & (POLLRDHUP | POLLHUP | POLLERR))) {
            int error = resetError ? resetError : (r & POLLERR) ? socketError(m_hSocket) : 0;
            report(FD_CLOSE, FD_CLOSE_BIT, error);
            m_closeReported = true;
        }
    }
    UpdateWaiter();
    return true;
}

bool CAsyncSocket::Connect(const CString& host, unsigned port) {
    sockaddr_in remote;
    if (!ResolveIpv4(host, port, remote)) {
        Close();
        WSASetLastError(WSAHOST_NOT_FOUND);
        return false;
    }
    int r = connect(m_hSocket, reinterpret_cast<sockaddr*>(&remote), sizeof remote);
    if (r != 0 && errno != EINPROGRESS) {
        setLastErrno();
        return false;
    }
    // Even an immediate success is reported as FD_CONNECT, as Winsock does.
    m_phase = Phase::Connecting;
    UpdateWaiter();
    WSASetLastError(WSAEWOULDBLOCK);
    return true;
}

int CAsyncSocket::Send(const void* data, int length, int flags) {
    ssize_t n = send(m_hSocket, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    if (n < 0) {
        int error = errno;
        setLastErrno();
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_writeWanted = true;
            UpdateWaiter();
        }
        return SOCKET_ERROR;
    }
    return static_cast<int>(n);
}

int CAsyncSocket::Receive(void* buffer, int length, int flags) {
    ssize_t n = recv(m_hSocket, buffer, static_cast<size_t>(length), flags);
    int error = errno;
    if (!m_readEnabled) {
        m_readEnabled = true;
        UpdateWaiter();
    }
    if (n < 0) {
        WSASetLastError(WinsockErrorFromErrno(error));
        return SOCKET_ERROR;
    }
    return static_cast<int>(n);
}

SOCKET CAsyncSocket::AcceptSocket(sockaddr* address, int* addressLength) {
    socklen_t length = addressLength ? static_cast<socklen_t>(*addressLength) : 0;
    int fd = accept(m_hSocket, address, addressLength ? &length : nullptr);
    int error = errno;
    if (!m_acceptEnabled) {
        m_acceptEnabled = true;
        UpdateWaiter();
    }
    if (fd < 0) {
        WSASetLastError(WinsockErrorFromErrno(error));
        return INVALID_SOCKET;
    }
    if (addressLength)
        *addressLength = static_cast<int>(length);
    return fd;
}

void CAsyncSocket::Discard(SOCKET accepted) { close(accepted); }

void CAsyncSocket::Adopt(SOCKET accepted) {
    Close();
    m_hSocket = accepted;
    AsyncSelect();
    m_phase = Phase::Connected;
    m_writeWanted = true; // an accepted connection can be written to at once
    UpdateWaiter();
}
