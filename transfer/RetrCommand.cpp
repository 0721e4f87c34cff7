#include "transfer/RetrCommand.h"

#include "engine/CallBackController.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"

bool IsSafeLocalName(const CString& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

CRETRCommand::~CRETRCommand() { m_partial.Close(); }

bool CRETRCommand::execute(const CString& remotePath, const CString& localFolder) {
    m_strArg1 = remotePath;
    m_strArg2 = localFolder;
    m_nBytes = 0;
    m_strStatus = "Retrieving " + remotePath;
    m_strLocalFolder = localFolder;
    int slash = remotePath.ReverseFind('/');
    m_strFileName = slash < 0 ? remotePath : remotePath.Mid(slash + 1);
    m_strStatus = "Retrieving " + m_strFileName;
    if (!IsSafeLocalName(m_strFileName)) {
        fail("Not downloaded: the name \"" + m_strFileName + "\" of " + remotePath +
             " would not stay inside the folder " + localFolder);
        return true;
    }
    // The partial file first: a download with nowhere to go must not start at all.
    const int64_t size = getOption();
    bool opened = size < 1 ? m_partial.Open(partialPath(), files::CLocalFile::WriteTruncate)
                           : m_partial.Open(partialPath(), files::CLocalFile::ReadWriteKeep) &&
                                 m_partial.SeekToEnd();
    if (!opened) {
        fail("Not downloaded: cannot write " + partialPath());
        return true;
    }
    setupDataChannel(*this);
    m_nBytes = size < 1 ? 0 : size;
    if (size >= 1)
        sendCommandLine("REST", FormatString("%lld", static_cast<long long>(size)), "");
    setState(CMD_STARTED);
    return true;
}

int64_t CRETRCommand::getOption() {
    int64_t size = files::Size(partialPath());
    return size < 0 ? 0 : size;
}

void CRETRCommand::setOption(int64_t option) {
    if (option > 0)
        m_nBytes = option;
}

bool CRETRCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    if (m_nStep == 0 && key == "200") {
        m_nStep = 1;
        sendCommandLine("RETR", m_strArg1, "");
    } else if (m_nStep == 1 && (key == "226" || key == "250")) {
        m_bServerDone = true;
        finishIfComplete();
    }
    if (key == "228")
        setState(CMD_FINISHED);
    return true;
}

bool CRETRCommand::eventData(const char* data, int length) {
    bool result = CCommand::eventData(data, length);
    if (m_bFinished || m_nState == CMD_FINISHED)
        return result; // a refused or failed download writes nothing more
    if (length > 0) {
        writeBlock(data, length);
        m_nBytes += length;
    } else if (length == -1) {
        m_bDataEnded = true;
    }
    if (length > 0 || length == -1)
        reportProgress();
    if (length == -1)
        finishIfComplete();
    return result;
}

void CRETRCommand::writeBlock(const char* data, int length) {
    if (m_bWriteFailed)
        return;
    if (!m_partial.Write(data, length)) {
        m_bWriteFailed = true;
        // Going on would only count bytes that never reach the disk.
        GetDataConnection().Close();
        GetDataListener().Close();
        fail("Download stopped: cannot write to " + partialPath() +
             " (is the disk full?); the bytes received so far are kept there");
    }
}

void CRETRCommand::reportProgress() {
    CString kbytes = FormatString("%lld", static_cast<long long>(m_nBytes / 1000));
    CString reply = kbytes;
    ControllerNotify(kbytes + " kbytes of " + m_strFileName + " received", EV_PROGRESS, reply);
    m_strStatus = "Retrieving " + m_strArg1 + " - " + kbytes + " kbytes received";
}

void CRETRCommand::finishIfComplete() {
    // The end of the data alone proves nothing: a broken connection also ends it. Only the
    // server's word that the transfer is complete makes the partial file the target.
    if (!m_bDataEnded || !m_bServerDone || m_bFinished || m_bWriteFailed)
        return;
    m_bFinished = true;
    if (!m_partial.Close()) {
        fail("Download not finished: " + partialPath() + " could not be closed");
        return;
    }
    if (!files::RenameReplace(partialPath(), targetPath())) {
        fail("Download complete, but " + targetPath() + " could not be replaced; the file is in " +
             partialPath());
        return;
    }
    ControllerTrace(FormatString("Finished Writing File %s total len = %lld >>>",
                                 targetPath().c_str(), static_cast<long long>(m_nBytes)),
                    TRACE_COMMAND);
    onReply("228 Data Close");
}

void CRETRCommand::fail(const CString& text) {
    ControllerTrace("<<< " + text, TRACE_COMMAND);
    reportError(text);
}
