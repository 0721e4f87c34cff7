#pragma once
// The base of every FTP command: one object per verb or compound action, created by name by
// the queue, executed once, fed with reply lines (and data-connection bytes where it uses
// them), and finished by setting its state to 4.
#include "common/CString.h"
#include "net/ReplySink.h"

#include <cstdint>
#include <vector>

// Command states.
enum CommandState {
    CMD_STARTED = 0,  // command line sent, waiting for replies
    CMD_ERROR = 1,    // an error is being reported; holds the queue
    CMD_CREATED = 3,  // not yet started
    CMD_FINISHED = 4, // finished, successfully or not
};

// A listing larger than this is refused rather than collected without end.
constexpr size_t kMaxListingBytes = 256u * 1024u * 1024u;

// What the queue must know of a command, before it exists (a request waiting by its name) and
// while it runs. A command class states its own in kTraits.
enum CommandTrait : unsigned {
    kInterrupts = 1u << 0,      // drops the current and waiting work and runs at once
    kRunsUnconnected = 1u << 1, // starts without a control connection
    kLogsOn = 1u << 2,          // makes the connection; the current folder is asked after it
    kCollapses = 1u << 3,       // a request the same as the one waiting last is dropped
    kTakesRestart = 1u << 4,    // a saved request's restart value is handed to it
    kBinaryOnRetry = 1u << 5,   // run again after a lost connection, a "TYPE I" goes first
    kNeverSaved = 1u << 6,      // belongs to the connection: not kept for a retry
    kQuietRefusals = 1u << 7,   // a negative reply opens no box
};

// The steps of a command that waits for one reply (the simple verbs, PASV, PORT, QUIT).
enum OneReplyStep : int { kAwaitingReply = 0, kReplied = 1 };

class CCommand : public IReplySink {
public:
    static constexpr unsigned kTraits = 0;

    explicit CCommand(const CString& name, unsigned traits = 0);
    ~CCommand() override;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    virtual bool execute(const CString& arg1, const CString& arg2);
    // The restart value a saved request carries (downloads and uploads): 64-bit, files over
    // 2 GiB resume too.
    virtual int64_t getOption();
    virtual void setOption(int64_t option);
    virtual bool isRestartable();
    bool onReply(const CString& line) override;
    bool eventData(const char* data, int length) override;
    bool onSendReady() override;
    // Whether the command still waits for a reply from the server: a connection the server
    // closes in order breaks only such a command. A download that has its 226 and waits for
    // the end of the data does not.
    bool waitsForReply() const override { return m_nState == CMD_STARTED; }
    CString activity() const override {
        return m_strArg1.empty() ? m_strName : CString(m_strName + " " + m_strArg1);
    }

    CString getName() const { return m_strName; }
    bool has(CommandTrait trait) const { return (m_traits & trait) != 0; }
    CString getStatus() const { return m_strStatus; }
    CString getArg1() const { return m_strArg1; }
    CString getArg2() const { return m_strArg2; }
    CString getErrorCode() const { return m_strErrorCode; }
    void setErrorCode(const CString& code) { m_strErrorCode = code; }
    int getState() const { return m_nState; }
    int getStep() const { return m_nStep; }
    const std::vector<char>& getData() const { return m_data; }

    // The one way a command's state changes; every change is traced (and so moves the queue).
    void setState(int newState);
    // The one way a multi-step command moves to another step (each names its steps in an enum
    // beside its class); a change is traced.
    void setStep(int newStep);
    // A step the command's switch does not know: an internal fault, reported, and the command
    // finishes rather than waiting for ever.
    void unknownStep();
    // Reports an error the engine itself found, the way a negative reply is reported: state 1,
    // the error box with text and the status text, state 4.
    void reportError(const CString& text);

    // The controller's mark on the current command when the user retries after a lost
    // connection: held (state 1, untraced) with the code "777", so the queue keeps it to save.
    void markForRetry() {
        m_nState = CMD_ERROR;
        m_strErrorCode = "777";
    }
    // Commands alive in the process (tests check that retired commands are released).
    static int LiveCount();
    // Sends verb and arguments as one command line on this command's behalf.
    bool sendCommandLine(const CString& verb, const CString& arg1, const CString& arg2);

    // The first four characters of a reply line without trailing blanks and line ends: "250"
    // for a final line, "250-" for a continuation line.
    static CString ReplyKey(const CString& line);

protected:
    // Registers this command with the control connection and sends line, unless the line
    // holds a line break (it would smuggle a second command to the server): then nothing is
    // sent, the refusal is reported and the command finishes. Returns whether it was sent.
    bool sendLine(const CString& line);

    CString m_strName;
    CString m_strStatus;
    int m_nState = CMD_CREATED;
    CString m_strErrorCode;
    int m_nStep = 0;
    std::vector<char> m_data;
    CString m_strArg1;
    CString m_strArg2;

private:
    unsigned m_traits;
};
