#include "transfer/RetrCommand.h"

#include "engine/CallBackController.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace {

bool isNegative(const CString& key) {
    return key.GetLength() == 3 && (key[0] == '4' || key[0] == '5');
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, with or without an extension; Windows looks
// at the name before its first dot, without trailing blanks, and takes the superscript digits
// of the ANSI code page for digits.
bool isDeviceName(const CString& name) {
    CString stem = name.Left(name.Find('.') < 0 ? name.GetLength() : name.Find('.'));
    stem.TrimRight();
    for (char& c : stem)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.GetLength() == 4 && (stem.Left(3) == "COM" || stem.Left(3) == "LPT") &&
           stem[3] != '\0' && strchr("123456789\xB9\xB2\xB3", stem[3]);
}

} // namespace

bool IsSafeLocalName(const CString& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (strchr("/\\:*?\"<>|", c) || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    // Windows drops trailing dots and blanks: "x.txt." would replace "x.txt".
    return name.back() != '.' && name.back() != ' ' && !isDeviceName(name);
}

bool IsSizeAnswer(const CString& key) {
    return key.GetLength() == 3 && (key[0] == '2' || key[0] == '4' || key[0] == '5') &&
           key != "421";
}

int64_t SizeInReply(const CString& line) {
    size_t at = 0;
    if (CCommand::ReplyKey(line) == "213") {
        at = 4;
    } else {
        at = line.rfind('(');
        if (at == std::string::npos || line.find(" bytes)", at) == std::string::npos)
            return -1;
        ++at;
    }
    while (at < line.size() && line[at] == ' ')
        ++at;
    int64_t size = 0;
    size_t digits = 0;
    for (; at < line.size() && isdigit(static_cast<unsigned char>(line[at])); ++at, ++digits) {
        if (size > (INT64_MAX - 9) / 10)
            return -1;
        size = size * 10 + (line[at] - '0');
    }
    return digits > 0 ? size : -1;
}

CRETRCommand::~CRETRCommand() {
    m_partial.Close();
    if (!m_bReplaced)
        dropEmptyPartial();
}

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
        return false;
    }
    // The partial file first: a download with nowhere to go must not start at all.
    const int64_t size = getOption();
    m_bPartialOpened = size < 1 ? m_partial.Open(partialPath(), files::CLocalFile::WriteTruncate)
                                : m_partial.Open(partialPath(), files::CLocalFile::ReadWriteKeep);
    if (!m_bPartialOpened) {
        fail("Not downloaded: cannot write " + partialPath());
        return false;
    }
    if (size < 1)
        return startTransfer(0);
    // Whether the partial file is a beginning of this file at all, the server's size tells.
    m_restart = Restart::AskingSize;
    if (!sendCommandLine("SIZE", m_strArg1, ""))
        return false; // reported; the command has finished
    setState(CMD_STARTED);
    return true;
}

void CRETRCommand::onSizeReply(const CString& line) {
    m_nRemoteSize = CCommand::ReplyKey(line) == "213" ? SizeInReply(line) : -1;
    const int64_t have = m_partial.Size();
    if (m_nRemoteSize >= 0 && have >= m_nRemoteSize) {
        ControllerTrace(FormatString("<<< %s holds %lld bytes, the file on the server %lld: "
                                     "starting again from 0",
                                     partialPath().c_str(), static_cast<long long>(have),
                                     static_cast<long long>(m_nRemoteSize)),
                        TRACE_DETAIL);
        m_partial.Close();
        m_bPartialOpened = m_partial.Open(partialPath(), files::CLocalFile::WriteTruncate);
        if (!m_bPartialOpened) {
            fail("Not downloaded: cannot write " + partialPath());
            return;
        }
        startTransfer(0);
        return;
    }
    if (have < 1 || !m_partial.SeekToEnd()) {
        fail("Not downloaded: cannot write " + partialPath());
        return;
    }
    startTransfer(have);
}

bool CRETRCommand::startTransfer(int64_t restart) {
    if (!setupDataChannel(*this))
        return false;
    m_nBytes = restart;
    m_restart = restart > 0 ? Restart::AskingRest : Restart::None;
    if (restart > 0 &&
        !sendCommandLine("REST", FormatString("%lld", static_cast<long long>(restart)), ""))
        return false; // reported; the command has finished and must stay so
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
    const CString key = ReplyKey(line);
    if (m_restart == Restart::AskingSize && IsSizeAnswer(key)) {
        // A server without SIZE, or one that will not tell, is no error: the restart simply
        // cannot be checked.
        ControllerTrace(line, TRACE_PROTOCOL);
        onSizeReply(line);
        return true;
    }
    // A refused transfer or restart: what is already in the partial file stays exactly as it
    // is, whatever is still on its way while the error box is open.
    if (isNegative(key) && m_nState == CMD_STARTED) {
        m_bStopped = true;
        CloseDataSide();
        dropEmptyPartial();
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
        sendRetrWhenReady();
        break;
    case kRetrSent:
        if (key == "150" || key == "125") {
            // From byte 0 the size a server names here is the file's; after a restart some
            // name what is left, so only SIZE counts then.
            if (m_restart == Restart::None && m_nRemoteSize < 0)
                m_nRemoteSize = SizeInReply(line);
        } else if (key == "226" || key == "250") {
            m_bServerDone = true;
            finishIfComplete();
        }
        break;
    default:
        unknownStep();
        return false;
    }
    if (key == "228")
        setState(CMD_FINISHED);
    return true;
}

void CRETRCommand::sendRetrWhenReady() {
    if (!m_bChannelReady || m_restart == Restart::AskingRest || m_restart == Restart::AskingSize)
        return;
    setStep(kRetrSent);
    sendCommandLine("RETR", m_strArg1, "");
}

// A partial file that never received a byte carries nothing worth resuming.
void CRETRCommand::dropEmptyPartial() {
    if (!m_bPartialOpened)
        return;
    m_partial.Close();
    m_bPartialOpened = false;
    if (files::Size(partialPath()) == 0)
        files::Remove(partialPath());
}

bool CRETRCommand::eventData(const char* data, int length) {
    bool result = CCommand::eventData(data, length);
    if (m_bFinished || m_bStopped || m_nState == CMD_FINISHED || m_nState == CMD_ERROR)
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
        CloseDataSide();
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
    // A server that ends the data early may still call the transfer complete.
    if (m_nRemoteSize >= 0 && m_nBytes != m_nRemoteSize) {
        fail(FormatString("Download incomplete: %s arrived with %lld of its %lld bytes; they "
                          "are kept in %s",
                          m_strArg1.c_str(), static_cast<long long>(m_nBytes),
                          static_cast<long long>(m_nRemoteSize), partialPath().c_str()));
        return;
    }
    // The file system would replace it all the same.
    if (files::IsReadOnly(targetPath())) {
        fail("Download complete, but " + targetPath() +
             " is read-only and was not replaced; the file is in " + partialPath());
        return;
    }
    if (!files::RenameReplace(partialPath(), targetPath())) {
        fail("Download complete, but " + targetPath() + " could not be replaced; the file is in " +
             partialPath());
        return;
    }
    m_bReplaced = true;
    ControllerTrace(FormatString("Finished Writing File %s total len = %lld >>>",
                                 targetPath().c_str(), static_cast<long long>(m_nBytes)),
                    TRACE_COMMAND);
    onReply("228 Data Close");
}

void CRETRCommand::fail(const CString& text) {
    dropEmptyPartial();
    ControllerTrace("<<< " + text, TRACE_COMMAND);
    reportError(text);
}
