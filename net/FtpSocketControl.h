#pragma once
// The FTP control connection: one TCP connection to the current account's server. It sends
// command lines on behalf of a command and cuts the incoming bytes into lines. The server
// answers the lines in the order they went out, so the connection keeps, in that order, the
// owner of each final reply still to come (the greeting's included): every line of a reply
// goes to the owner at the front, and its final line (not a 1xx) moves on to the next. A reply
// whose owner has been retired is late and goes to nobody; a line that no sent line awaits (an
// unsolicited 421) goes to the registered command. It reads no more of a reply than its code.
#include "net/AsyncSocket.h"
#include "net/ReplySink.h"
#include "net/TimeLimit.h"

#include <deque>
#include <string>

// A reply line longer than this is dropped whole: no reply is that long, and a piece of it
// handed on could read as a reply of its own.
constexpr size_t kMaxReplyLine = 64 * 1024;
// Received bytes that may wait while a reply handler runs a nested loop (a box is open); a
// server sending more is cut off, as a lost connection.
constexpr size_t kMaxUndelivered = 1024 * 1024;

class CFtpSocketControl : public CAsyncSocket {
public:
    // Opens the socket and starts connecting to the current account's server, reading
    // "SERVER" (default "localhost") and "PORT" (default 21) afresh; the greeting is awaited
    // for the registered command. False when it failed at once.
    bool ConnectToServer();
    // Sends one command line; owner awaits its final reply. False on a send error (or a line
    // break in the line).
    bool SendCommand(const CString& line, IReplySink* owner);
    // The local end of an established connection; false when there is none.
    bool GetLocalAddress(CString& address, unsigned& port);
    // The server's address of an established connection; false when there is none.
    bool GetPeerAddress(CString& address);

    void Close() override;
    void OnReceive(int error) override;
    void OnConnect(int error) override;
    void OnClose(int error) override;
    void OnSend(int error) override;

    // Bytes moved on the data connection: they show that the server is alive, and a lost
    // connection tells how far the command it broke had come.
    void NoteDataTraffic(int64_t bytes);

private:
    friend class CSocketOwners;

    void DeliverLines();
    void DeliverLine(const CString& line);
    bool SendPending();
    void LoseConnection();
    void ConnectFailed(int error);
    // The one line of a failed connect: the server, the port and the reason in words.
    void TraceConnectFailure(int error);
    // From a command line sent (or the connection made: the greeting) the server has the
    // time limit to send a byte on either connection, as long as the command waits.
    void ArmReplyLimit();
    void OnReplyLimit();

    CString m_host; // the connect's server and port, for the reason of a failure
    unsigned m_port = 0;
    CTimeLimit m_connectLimit;
    CTimeLimit m_replyLimit;
    int64_t m_moved = 0; // data bytes since the registered command was handed the connection

    IReplySink* m_pCommand = nullptr; // the registered command (see CSocketOwners)
    std::deque<IReplySink*> m_expected; // owners of the final replies to come; null: retired
    std::string m_openReply;   // the code of a multi-line reply whose last line is to come
    std::string m_pending;     // received bytes not yet handed on as a line
    std::string m_outgoing;    // the part of command lines the socket has not taken yet
    bool m_skipping = false;   // dropping the rest of an over-long line
    bool m_delivering = false; // a delivery is on the stack (a reply handler may nest a loop)
    unsigned m_generation = 0; // changes whenever the connection is closed
};

CFtpSocketControl& GetControlSocket();
// Closes every socket of the session at once: the data side and the control connection.
void CloseConnection();
