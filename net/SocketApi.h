#pragma once
// The socket vocabulary of the engine: Winsock's own names on Windows, and the same names over
// BSD sockets elsewhere, so the engine's socket code reads the same on both. Error codes are
// always in Winsock numbering.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
using socklen_type = int;
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

using SOCKET = int;
using socklen_type = socklen_t;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// Network event bits and their indexes, as Winsock numbers them.
enum {
    FD_READ_BIT = 0,
    FD_WRITE_BIT = 1,
    FD_OOB_BIT = 2,
    FD_ACCEPT_BIT = 3,
    FD_CONNECT_BIT = 4,
    FD_CLOSE_BIT = 5,
    FD_MAX_EVENTS = 10
};
enum {
    FD_READ = 1 << FD_READ_BIT,
    FD_WRITE = 1 << FD_WRITE_BIT,
    FD_OOB = 1 << FD_OOB_BIT,
    FD_ACCEPT = 1 << FD_ACCEPT_BIT,
    FD_CONNECT = 1 << FD_CONNECT_BIT,
    FD_CLOSE = 1 << FD_CLOSE_BIT
};

struct WSANETWORKEVENTS {
    long lNetworkEvents;
    int iErrorCode[FD_MAX_EVENTS];
};

enum {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEMSGSIZE = 10040,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_DATA = 11004
};

int WSAGetLastError();
void WSASetLastError(int error);
// The Winsock code for an errno value.
int WinsockErrorFromErrno(int error);
#endif

#include "common/CString.h"
// The dotted text ("a.b.c.d") of a network-order IPv4 address.
CString Ipv4Text(const in_addr& address);
// Resolves a host name or dotted text to an IPv4 address with the port; false (last error
// WSAHOST_NOT_FOUND) when it cannot.
bool ResolveIpv4(const CString& host, unsigned port, sockaddr_in& address);
// A socket error in the words a user reads in the trace: "name not found", "refused",
// "unreachable", "timed out", "reset", or the system's number for the rarer ones.
CString SocketErrorText(int error);
