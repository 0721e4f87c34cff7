#pragma once
// The FTP control connection: one TCP connection to the current account's server. It sends
// command lines on behalf of a command and cuts the incoming bytes into lines, each handed to
// the command registered at that moment. It does not interpret replies.
#include "net/AsyncSocket.h"

#include <string>

class CCommand;

// A reply line longer than this is dropped whole: no reply is that long, and a piece of it
// handed on could read as a reply of its own.
constexpr size_t kMaxReplyLine = 64 * 1024;
// Received bytes that may wait while a reply handler runs a nested loop (a box is open); a
// server sending more is cut off, as a lost connection.
constexpr size_t kMaxUndelivered = 1024 * 1024;

class CFtpSocketControl : public CAsyncSocket {
public:
    CCommand* m_pCommand = nullptr;

    // Opens the socket and starts connecting to the current account's server, reading
    // "SERVER" (default "localhost") and "PORT" (default 21) afresh. False when it failed at
    // once.
    bool ConnectToServer();
    bool SendCommand(const CString& line, CCommand* owner);
    // The local end of an established connection; false when there is none.
    bool GetLocalAddress(CString& address, unsigned& port);
    // The server's address of an established connection; false when there is none.
    bool GetPeerAddress(CString& address);

    void Close() override;
    void OnReceive(int error) override;
    void OnConnect(int error) override;
    void OnClose(int error) override;
    void OnSend(int error) override;

private:
    void DeliverLines();
    bool SendPending();
    void LoseConnection();

    std::string m_pending;     // received bytes not yet handed on as a line
    std::string m_outgoing;    // the part of command lines the socket has not taken yet
    bool m_skipping = false;   // dropping the rest of an over-long line
    bool m_delivering = false; // a delivery is on the stack (a reply handler may nest a loop)
    unsigned m_generation = 0; // changes whenever the connection is closed
};

CFtpSocketControl& GetControlSocket();
