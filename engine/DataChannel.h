#pragma once
// Setting up the data connection for a command: passive mode (PASV, the server names where to
// connect) or active mode (PORT, the server connects to our listener), as the current
// account's "PASV" key says at that moment. The owner then waits for a reply with the key
// "200": the server's reply to PORT, or the line "200 PASV mode opened" once the passive
// exchange is through.
#include "engine/Command.h"

// False when no data channel could be offered: the failure has been reported and the owner
// has finished.
bool setupDataChannel(CCommand& owner);

// The one passive-mode command, created on first use and reused for every passive exchange.
class CPASVCommand : public CCommand {
public:
    CPASVCommand() : CCommand("PASV") {}
    bool onReply(const CString& line) override;

    CCommand* m_pOwner = nullptr;

private:
    void openDataConnection(const CString& line);
};

CPASVCommand& GetPassiveCommand();

// Nothing of the sockets reaches command any more, nor the passive exchange it started: the
// replies they still await arrive late, for nobody.
void ReleaseSockets(const CCommand& command);

// The command that only opens a data channel (requested as "PORT", whatever the mode).
class CPORTCommand : public CCommand {
public:
    static constexpr unsigned kTraits = kNeverSaved; // a channel belongs to its connection
    CPORTCommand() : CCommand("PORT", kTraits) {}
    bool execute(const CString& arg1, const CString& arg2) override;
    bool isRestartable() override { return false; }
    bool onReply(const CString& line) override;
};

// Reads the host and port of a 227 reply: six comma-separated numbers, each 0 to 255, between
// the parentheses (or, for servers that leave them out, the first six after the code).
bool ParsePassiveReply(const CString& line, CString& host, unsigned& port);

// The codes on which the data-channel and TYPE/SITE commands hold the queue.
bool IsHoldingErrorCode(const CString& key);
