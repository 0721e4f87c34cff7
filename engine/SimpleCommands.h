#pragma once
// The commands that send one verb and finish on one expected reply. Success is taken only
// while the step is 0; it sets the step to 1 and finishes the command.
#include "engine/Command.h"
#include "net/TimeLimit.h"

// The reply handling the family shares: the base handling, then success on the expected key.
class CSimpleCommand : public CCommand {
protected:
    CSimpleCommand(const CString& name, unsigned traits = 0) : CCommand(name, traits) {}
    bool onReply(const CString& line) override;
    virtual bool succeeded(const CString& key) const = 0;
    virtual void onSuccess(const CString& /*line*/) {}
    // TYPE and SITE hold the queue (state 1) on these error codes.
    virtual bool holdsOn(const CString& /*key*/) const { return false; }
    // SITE goes on looking at replies after an error box (state 4).
    virtual bool readsAfterFinish() const { return false; }
};

class CTYPECommand : public CSimpleCommand {
public:
    CTYPECommand() : CSimpleCommand("TYPE") {}

protected:
    bool succeeded(const CString& key) const override { return key == "200"; }
    bool holdsOn(const CString& key) const override;
};

class CCWDCommand : public CSimpleCommand {
public:
    CCWDCommand() : CSimpleCommand("CWD") {}

protected:
    bool succeeded(const CString& key) const override { return key == "250"; }
};

class CPWDCommand : public CSimpleCommand {
public:
    static constexpr unsigned kTraits = kCollapses;
    CPWDCommand() : CSimpleCommand("PWD", kTraits) {}
    // The folder between the first two double quotes of a 257 reply; false without them.
    static bool FolderOf(const CString& line, CString& folder);

protected:
    bool succeeded(const CString& key) const override { return key == "257"; }
    void onSuccess(const CString& line) override;
};

class CDELECommand : public CSimpleCommand {
public:
    CDELECommand() : CSimpleCommand("DELE") {}
    bool execute(const CString& arg1, const CString& arg2) override;

protected:
    bool succeeded(const CString& key) const override { return key == "250"; }
};

class CMKDCommand : public CSimpleCommand {
public:
    CMKDCommand() : CSimpleCommand("MKD") {}
    bool execute(const CString& path, const CString& ignored) override;

protected:
    bool succeeded(const CString& key) const override { return key == "257"; }
};

class CRMDCommand : public CSimpleCommand {
public:
    CRMDCommand() : CSimpleCommand("RMD") {}
    bool execute(const CString& path, const CString& ignored) override;

protected:
    bool succeeded(const CString& key) const override { return key == "250"; }
};

class CRNFRCommand : public CSimpleCommand {
public:
    CRNFRCommand() : CSimpleCommand("RNFR") {}

protected:
    bool succeeded(const CString& key) const override { return key == "350"; }
};

class CRNTOCommand : public CSimpleCommand {
public:
    CRNTOCommand() : CSimpleCommand("RNTO") {}

protected:
    bool succeeded(const CString& key) const override { return key == "250"; }
};

class CSITECommand : public CSimpleCommand {
public:
    static constexpr unsigned kTraits = kTakesRestart;
    CSITECommand() : CSimpleCommand("SITE", kTraits) {}

protected:
    bool succeeded(const CString& key) const override;
    bool holdsOn(const CString& key) const override;
    bool readsAfterFinish() const override { return true; }
};

// Closes the data side and sends ABOR; any reply ends it, without an error box.
class CABORCommand : public CCommand {
public:
    // Only over a connection: without one there is nothing to abort on a server, and an abort
    // must never turn into an offer to connect.
    static constexpr unsigned kTraits = kInterrupts | kQuietRefusals;
    CABORCommand() : CCommand("ABOR", kTraits) {}
    bool execute(const CString& arg1, const CString& arg2) override;
    bool isRestartable() override { return false; }
    bool onReply(const CString& line) override;
};

// Says goodbye over a connection and closes every socket when the server answers, or after
// kQuitGraceMs without an answer; without a connection it only closes them.
class CQUITCommand : public CCommand {
public:
    // Always runs: connected it says goodbye, otherwise it only closes the sockets.
    static constexpr unsigned kTraits = kInterrupts | kRunsUnconnected | kQuietRefusals;
    CQUITCommand() : CCommand("QUIT", kTraits) {}
    bool execute(const CString& arg1, const CString& arg2) override;
    bool isRestartable() override { return false; }
    bool onReply(const CString& line) override;
    // A server may answer QUIT by closing the connection: that is a goodbye too, not a lost
    // connection.
    bool waitsForReply() const override { return false; }
    void onOrderlyClose() override { end("The server closed the connection"); }

private:
    void end(const char* why);
    CTimeLimit m_grace;
};

// The wait for the server's goodbye: the user asked to close, so it stays short.
constexpr unsigned kQuitGraceMs = 2000;

// For a program about to end: QUIT over a connection, and the loop runs until the connection
// is closed (answered, or the grace is over); every socket is closed on return.
class CCommandQueue;
void QuitBeforeExit(CCommandQueue& queue);

// A remote folder path as MKD and RMD send it: "\" made "/", then "//" made "/".
CString NormaliseRemotePath(const CString& path);
