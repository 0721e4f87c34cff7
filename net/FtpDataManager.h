#pragma once
// The data side: the data connection (connected to the server's PASV address, or taken over
// from the listener in active mode) and the listener whose address PORT announces. Both
// deliver everything to one registered command: blocks and the end of the data (length -1)
// to eventData, readiness to send to onSendReady.
#include "net/AsyncSocket.h"
#include "net/ReplySink.h"

#include <memory>

class CFtpDataManager : public CAsyncSocket {
public:
    void OnConnect(int error) override;
    void OnReceive(int error) override;
    void OnClose(int error) override;
    void OnSend(int error) override;
    // Counts what goes out: the server taking it shows that it is alive.
    int Send(const void* data, int length, int flags) override;

private:
    friend class CSocketOwners;
    IReplySink* m_pCommand = nullptr; // see CSocketOwners

    // Hands every block waiting in the socket to the command, up to kReceiveBlock bytes at
    // a time.
    void drain();

    std::unique_ptr<char[]> m_buffer; // kReceiveBlock + 1 bytes once the first data came
    bool m_draining = false;
};

// Large blocks keep the system calls per byte few (10,000-byte blocks made a download
// spend its time in the kernel); progress is reported once per block.
constexpr int kReceiveBlock = 256 * 1024;

class CFtpDataServerManager : public CAsyncSocket {
public:
    // The server's address when PORT announced this listener: the only peer it accepts (the
    // control connection may be gone by the time the server connects).
    CString m_strServer;

    // Any local address, a port the system chooses, backlog 5.
    bool StartListening();
    void OnAccept(int error) override;

private:
    friend class CSocketOwners;
    IReplySink* m_pCommand = nullptr; // see CSocketOwners
};

CFtpDataManager& GetDataConnection();
CFtpDataServerManager& GetDataListener();
// Closes the data side: the data connection and the listener of active mode.
void CloseDataSide();

// The line a command receives when its data connection could not be opened.
CString DataConnectFailedLine(int error);
