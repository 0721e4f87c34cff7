#pragma once
// Uploads one local file into a remote folder. The file is read kUploadBlock bytes at a time
// and pushed into the data connection whenever it can take more, until it would block; bytes
// it did not take are read again from the file next time. When the whole file is handed over
// the data connection is closed and the server's 226 completes the command. A restored upload
// carries a restart point 10000 bytes before the point it had reached; since the bytes our
// side counted as sent may never have reached the server, it first asks for the server's size
// (SIZE) and restarts at the smaller of the two, with REST, sending STOR only once the server
// has granted the restart; a server that will not tell its size gets the whole file. Only a
// read that returns nothing ends the file. An upload whose data
// connection failed before the whole file was handed over is a failure whatever the server
// answers; the command waits for that answer, so the next command gets its own replies.
// Steps: 0 until the data channel is ready (and a restart granted), 1 after STOR has been sent, 2
// once the server has answered it with 125 or 150; the file goes out only then.
#include "common/Files.h"
#include "engine/Command.h"

// Large blocks keep the reads and sends per byte few (2000-byte blocks made an upload spend
// its time in the kernel); progress is reported once per block.
constexpr int kUploadBlock = 256 * 1024;

class CSTORCommand : public CCommand {
public:
    static constexpr unsigned kTraits = kTakesRestart | kBinaryOnRetry;
    // Before STOR: the data channel's "200", and SIZE and REST when resuming. The file goes
    // out only after the preliminary reply.
    enum Step : int { kPreparing = 0, kStorSent = 1, kSending = 2 };
    CSTORCommand();
    ~CSTORCommand() override;

    // localPath: the local file (either separator); remoteFolder: where it goes. False when
    // the local path names no folder.
    bool execute(const CString& localPath, const CString& remoteFolder) override;
    // Bytes sent minus 10000: where a restored upload starts again (0 or less: the start).
    int64_t getOption() override;
    void setOption(int64_t option) override;
    bool onReply(const CString& line) override;
    bool onSendReady() override;
    // The data connection's end: before the whole file was handed over, it broke.
    bool eventData(const char* data, int length) override;

    CString localFolder() const { return m_strLocalFolder; }
    CString fileName() const { return m_strFileName; }

private:
    enum class Restart { None, AskingSize, AskingRest, Granted };

    void onSizeReply(const CString& line);
    // False when it could not start (reported; the command has finished).
    bool startTransfer();
    void sendStorWhenReady();
    bool start();
    void reportProgress();
    void finish();
    void broken(int error, const CString& why = "");
    void fail(const CString& text);

    CString m_strFileName;
    CString m_strRemoteFolder;
    CString m_strLocalFolder;
    bool m_bStarted = false;
    bool m_bWritable = false;   // the data connection could take data before the 1xx to STOR
    bool m_bEnd = false;        // the file has been read to its end
    bool m_bHandedOver = false; // every byte went into the data connection, which we closed
    int m_nBrokenError = -1;    // the data connection failed mid-file (error, 0 for a close)
    CString m_strBroken;        // what broke it, when it was our side (a failed read)
    Restart m_restart = Restart::None;
    bool m_bChannelReady = false;
    files::CLocalFile m_file;
    int64_t m_nSent = 0; // counted from the start of the file; a restart offset counts as sent
    int m_nPending = 0;  // read from the file, not yet sent
    int m_nOffset = 0;   // first pending byte within the buffer
    CString m_strTotalK;
    // The one upload buffer of the program, on the heap (one upload runs at a time).
    char* m_buffer;
};
