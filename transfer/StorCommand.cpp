#include "transfer/StorCommand.h"

#include "engine/CallBackController.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"
#include "net/TransferMeter.h"
#include "transfer/RetrCommand.h"

#include <algorithm>

namespace {
constexpr int64_t kRestartMargin = 10000;

char* uploadBuffer() {
    static char* buffer = new char[kUploadBlock]; // lives until the process ends
    return buffer;
}
} // namespace

CSTORCommand::CSTORCommand() : CCommand("STOR", kTraits), m_buffer(uploadBuffer()) {}

CSTORCommand::~CSTORCommand() { m_file.Close(); }

bool CSTORCommand::execute(const CString& localPath, const CString& remoteFolder) {
    m_strArg1 = localPath;
    m_strArg2 = remoteFolder;
    m_bStarted = false;
    CString path = localPath;
    path.Replace("\\", "/");
    path.Replace("//", "/");
    int slash = path.ReverseFind('/');
    if (slash < 0)
        return false;
    m_strFileName = path.Mid(slash + 1);
    m_strLocalFolder = path.Left(slash);
    m_strRemoteFolder = remoteFolder;
    m_strStatus = "Uploading " + m_strFileName;
    // An upload that cannot start is told before the server is asked for anything.
    const CString file = m_strLocalFolder + "/" + m_strFileName;
    if (!m_file.Open(file, files::CLocalFile::ReadOnly)) {
        fail("Not uploaded: cannot open " + file);
        return false;
    }
    if (m_nSent > m_file.Size()) {
        fail(FormatString("Not uploaded: %s is shorter than the restart point %lld", file.c_str(),
                          static_cast<long long>(m_nSent)));
        return false;
    }
    if (m_nSent <= 0)
        return startTransfer();
    m_restart = Restart::AskingSize;
    if (!sendCommandLine("SIZE", m_strRemoteFolder + "/" + m_strFileName, ""))
        return false; // reported; the command has finished
    setState(CMD_STARTED);
    return true;
}

void CSTORCommand::onSizeReply(const CString& line) {
    const int64_t held = ReplyKey(line) == "213" ? SizeInReply(line) : -1;
    const int64_t restart = held < 0 ? 0 : std::min(held, m_nSent);
    if (restart != m_nSent)
        ControllerTrace(FormatString("<<< The server holds %lld bytes of %s: sending from byte %lld",
                                     static_cast<long long>(held), m_strFileName.c_str(),
                                     static_cast<long long>(restart)),
                        TRACE_DETAIL);
    m_nSent = restart;
    startTransfer();
}

bool CSTORCommand::startTransfer() {
    if (!setupDataChannel(*this))
        return false;
    m_restart = m_nSent > 0 ? Restart::AskingRest : Restart::None;
    if (m_nSent > 0 &&
        !sendCommandLine("REST", FormatString("%lld", static_cast<long long>(m_nSent)), ""))
        return false; // reported; the command has finished and must stay so
    setState(CMD_STARTED);
    return true;
}

void CSTORCommand::sendStorWhenReady() {
    if (!m_bChannelReady || m_restart == Restart::AskingRest || m_restart == Restart::AskingSize)
        return;
    setStep(kStorSent);
    sendCommandLine("STOR", m_strRemoteFolder + "/" + m_strFileName, "");
}

int64_t CSTORCommand::getOption() { return m_nSent - kRestartMargin; }

void CSTORCommand::setOption(int64_t option) {
    if (option > 0)
        m_nSent = option;
}

bool CSTORCommand::onReply(const CString& line) {
    const CString key = ReplyKey(line);
    if (m_restart == Restart::AskingSize && IsSizeAnswer(key)) {
        ControllerTrace(line, TRACE_PROTOCOL); // no size is no error: the whole file goes
        onSizeReply(line);
        return true;
    }
    if (m_nState == CMD_STARTED && key.GetLength() == 3 && (key[0] == '4' || key[0] == '5')) {
        // Nothing more goes out, and no data connection is left for the server to wait on
        // while the error box is open.
        m_file.Close();
        CloseDataSide();
    }
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    switch (m_nStep) {
    case kPreparing:
        if (key == "200")
            m_bChannelReady = true;
        else if (key == "350" && m_restart == Restart::AskingRest)
            m_restart = Restart::Granted;
        sendStorWhenReady();
        return true;
    case kStorSent:
        if (key.GetLength() == 3 && key[0] == '1') {
            // 125 or 150: the server knows what the data connection is for. If the connection
            // could take data before that, it said so only once and will not say it again.
            setStep(kSending);
            if (m_bWritable)
                onSendReady();
            return true;
        }
        break;
    case kSending:
        break;
    default:
        unknownStep();
        return false;
    }
    if (key == "226" || key == "250") {
        CloseDataSide();
        if (!m_bHandedOver) {
            // The server took an early end of the data for the end of the file.
            CString cause = m_nBrokenError > 0 ? FormatString(" (error %d)", m_nBrokenError) : "";
            reportError(!m_strBroken.empty()
                            ? m_strBroken
                            : FormatString("Upload failed: the data connection for %s ended after "
                                           "%lld bytes%s; the server holds an incomplete file",
                                           m_strFileName.c_str(), static_cast<long long>(m_nSent),
                                           cause.c_str()));
            return true;
        }
        setState(CMD_FINISHED);
    }
    return true;
}

bool CSTORCommand::eventData(const char* data, int length) {
    bool result = CCommand::eventData(data, length);
    if (length == -1 && !m_bHandedOver && m_nBrokenError < 0)
        broken(0);
    return result;
}

bool CSTORCommand::start() {
    ControllerTrace(FormatString("Writing File %s from %s to %s >>>", m_strFileName.c_str(),
                                 m_strLocalFolder.c_str(), m_strRemoteFolder.c_str()),
                    TRACE_COMMAND);
    m_bStarted = true;
    m_nPending = 0;
    m_nOffset = 0;
    const int64_t size = m_file.IsOpen() ? m_file.Size() : -1;
    m_strTotalK = FormatString("%lld", static_cast<long long>(size < 0 ? 0 : size / 1000));
    // The file may have changed since the command started.
    if (size < 0 || m_nSent > size || (m_nSent > 0 && !m_file.Seek(m_nSent))) {
        fail(FormatString("Upload stopped: cannot read %s/%s from byte %lld",
                          m_strLocalFolder.c_str(), m_strFileName.c_str(),
                          static_cast<long long>(m_nSent)));
        return false;
    }
    return true;
}

bool CSTORCommand::onSendReady() {
    if (m_nState == CMD_FINISHED || m_nState == CMD_ERROR || m_bHandedOver || m_nBrokenError >= 0)
        return true;
    if (m_nStep != kSending) {
        // The file waits for the server's preliminary reply to STOR. Some servers connect in
        // active mode as soon as they have the PORT, and a server may read the passive
        // connection before the STOR line: data arriving on a connection the server has not
        // been told about is dropped with it (pyftpdlib), and the upload would wait forever.
        m_bWritable = true;
        return true;
    }
    if (!m_bStarted && !start())
        return true;
    reportProgress();
    CFtpDataManager& data = GetDataConnection();
    for (;;) {
        if (m_bEnd && m_nPending == 0) {
            finish();
            return true;
        }
        if (m_nPending == 0) {
            m_nOffset = 0;
            int n = m_file.Read(m_buffer, kUploadBlock);
            if (n < 0) {
                broken(0, FormatString("Upload failed: cannot read %s/%s after %lld bytes; the "
                                       "server holds an incomplete file",
                                       m_strLocalFolder.c_str(), m_strFileName.c_str(),
                                       static_cast<long long>(m_nSent)));
                return true;
            }
            m_nPending = n;
            // A read may return less than asked long before the end (pipes, network drives).
            m_bEnd = n == 0;
        }
        int sent = data.Send(m_buffer + m_nOffset, m_nPending, 0);
        if (sent == SOCKET_ERROR) {
            int error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                if (!m_bEnd) {
                    // Read the unsent bytes again next time.
                    m_file.Seek(m_file.Position() - m_nPending);
                    m_nPending = 0;
                }
                return true;
            }
            broken(error);
            return true;
        }
        m_nSent += sent;
        addBytes(sent);
        if (sent < m_nPending && !m_bEnd) {
            m_file.Seek(m_file.Position() - (m_nPending - sent));
            m_nPending = 0;
        } else {
            m_nOffset += sent;
            m_nPending -= sent;
        }
    }
}

void CSTORCommand::reportProgress() {
    const long long kbytes = static_cast<long long>(m_nSent / 1000);
    CString text = FormatString("%lld", kbytes);
    CString reply = text;
    ControllerNotify(text + " kbytes of " + m_strFileName + " sent", EV_PROGRESS, reply);
    m_strStatus = "Uploading " + m_strFileName;
    if (kbytes > 0)
        m_strStatus += " - " + text + " kbytes of " + m_strTotalK + " sent";
}

void CSTORCommand::finish() {
    m_bHandedOver = true;
    m_file.Close();
    ControllerTrace(FormatString("Finished Writing File %s/%s count %lld >>>",
                                 m_strLocalFolder.c_str(), m_strFileName.c_str(),
                                 static_cast<long long>(m_nSent)),
                    TRACE_COMMAND);
    CloseDataSide();
}

// Finishing here would leave the server's coming error reply to whatever command runs next,
// and a missing reply would pass for success: the reply to STOR decides (onReply).
void CSTORCommand::broken(int error, const CString& why) {
    m_nBrokenError = error;
    m_strBroken = why;
    ControllerTrace(why.empty() ? FormatString("Error Writing File %s/%s code %ld >>>",
                                               m_strLocalFolder.c_str(), m_strFileName.c_str(),
                                               static_cast<long>(error))
                                : "<<< " + why,
                    TRACE_COMMAND);
    m_file.Close();
    CloseDataSide();
}

void CSTORCommand::fail(const CString& text) {
    m_file.Close();
    CloseDataSide();
    ControllerTrace("<<< " + text, TRACE_COMMAND);
    reportError(text);
}
