#pragma once
// Downloads one remote file into a local folder. The bytes go into a partial file beside the
// target (the target's name followed by ".TarnwickPart"); the target is replaced, by renaming
// the partial file, only when the data has ended, the server has reported the transfer
// complete, every byte reached the disk and the file has the size the server gave for it.
// Anything else leaves the partial file, and the next download of the same file into the same
// folder resumes from its size: it asks the server for the file's size (SIZE), starts again
// from 0 when the partial file is not shorter, and otherwise sends REST and waits for its
// "350" before RETR, so a refused restart never appends the file's start to the partial file.
// Steps: 0 until the data channel is ready (and a restart granted), 1 after RETR has been sent.
#include "common/Files.h"
#include "engine/Command.h"

class CRETRCommand : public CCommand {
public:
    static constexpr unsigned kTraits = kTakesRestart | kBinaryOnRetry;
    // Before RETR: the data channel's "200", and SIZE and REST when resuming.
    enum Step : int { kPreparing = 0, kRetrSent = 1 };
    CRETRCommand() : CCommand("RETR", kTraits) {}
    ~CRETRCommand() override;

    bool execute(const CString& remotePath, const CString& localFolder) override;
    // The partial file's current size: the restart point a saved download carries.
    int64_t getOption() override;
    void setOption(int64_t option) override;
    bool onReply(const CString& line) override;
    bool eventData(const char* data, int length) override;
    bool waitsForReply() const override { return m_nState == CMD_STARTED && !m_bServerDone; }

    CString targetPath() const { return m_strLocalFolder + "/" + m_strFileName; }
    CString partialPath() const { return targetPath() + ".TarnwickPart"; }

private:
    enum class Restart { None, AskingSize, AskingRest, Granted };

    void onSizeReply(const CString& line);
    // False when it could not start (reported; the command has finished).
    bool startTransfer(int64_t restart);
    void sendRetrWhenReady();
    void dropEmptyPartial();
    void writeBlock(const char* data, int length);
    void reportProgress();
    void finishIfComplete();
    void fail(const CString& text);

    CString m_strFileName;
    CString m_strLocalFolder;
    int64_t m_nBytes = 0;       // bytes of the file present locally
    int64_t m_nRemoteSize = -1; // the file's size as the server told it (-1: not told)
    Restart m_restart = Restart::None;
    bool m_bChannelReady = false;
    files::CLocalFile m_partial;
    bool m_bPartialOpened = false;
    bool m_bWriteFailed = false;
    bool m_bStopped = false; // a negative reply ended the transfer: nothing more is written
    bool m_bDataEnded = false;
    bool m_bServerDone = false; // 226 or 250 to RETR
    bool m_bFinished = false;
    bool m_bReplaced = false; // the target now holds the file
};

// A file name taken from a server that can safely be used inside a local folder: not empty,
// not "." or "..", no separators, drive colons or control characters, and nothing Windows
// would store under another name or send to a device (trailing dots and blanks, CON, NUL,
// COM1..., the characters * ? " < > |). The same on every build, so a folder downloaded
// anywhere can be copied to Windows.
bool IsSafeLocalName(const CString& name);

// Whether a reply key is the final answer to SIZE: a 421 (the server is closing) and a lost
// connection are not answers but the end of the command.
bool IsSizeAnswer(const CString& key);
// The size a reply names: "213 <n>" to SIZE, or "(<n> bytes)" in a 150 to RETR; -1 when none.
int64_t SizeInReply(const CString& line);
