#pragma once
// Downloads one remote file into a local folder. The bytes go into a partial file beside the
// target (the target's name followed by ".TarnwickPart"); the target is replaced, by renaming
// the partial file, only when the data has ended, the server has reported the transfer
// complete and every byte reached the disk. Anything else leaves the partial file, and the
// next download of the same file into the same folder resumes from its size with REST.
// Steps: 0 until the data channel is ready, 1 after RETR has been sent.
#include "common/Files.h"
#include "engine/Command.h"

class CRETRCommand : public CCommand {
public:
    CRETRCommand() : CCommand("RETR") {}
    ~CRETRCommand() override;

    bool execute(const CString& remotePath, const CString& localFolder) override;
    // The partial file's current size: the restart point a saved download carries.
    int64_t getOption() override;
    void setOption(int64_t option) override;
    bool onReply(const CString& line) override;
    bool eventData(const char* data, int length) override;

    CString targetPath() const { return m_strLocalFolder + "/" + m_strFileName; }
    CString partialPath() const { return targetPath() + ".TarnwickPart"; }

private:
    void writeBlock(const char* data, int length);
    void reportProgress();
    void finishIfComplete();
    void fail(const CString& text);

    CString m_strFileName;
    CString m_strLocalFolder;
    int64_t m_nBytes = 0; // bytes of the file present locally
    files::CLocalFile m_partial;
    bool m_bWriteFailed = false;
    bool m_bDataEnded = false;
    bool m_bServerDone = false; // 226 or 250 to RETR
    bool m_bFinished = false;
};

// A file name taken from a server that can safely be used inside a local folder: not empty,
// not "." or "..", no separators, drive colons or control characters.
bool IsSafeLocalName(const CString& name);
