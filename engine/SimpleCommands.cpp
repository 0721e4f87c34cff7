#include "engine/SimpleCommands.h"

#include "engine/CallBackController.h"
#include "engine/CommandQueue.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"

bool CSimpleCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    const CString key = ReplyKey(line);
    if (holdsOn(key) && (m_nStep == kAwaitingReply || readsAfterFinish()))
        setState(CMD_ERROR); // the queue stays here until the user aborts
    if (m_nState == CMD_ERROR || (m_nState == CMD_FINISHED && !readsAfterFinish()))
        return false;
    if (m_nStep == kAwaitingReply && succeeded(key)) {
        setStep(kReplied);
        setState(CMD_FINISHED);
        onSuccess(line);
    }
    return true;
}

bool CTYPECommand::holdsOn(const CString& key) const { return IsHoldingErrorCode(key); }

bool CSITECommand::holdsOn(const CString& key) const { return IsHoldingErrorCode(key); }

bool CSITECommand::succeeded(const CString& key) const {
    // Any final positive completion: SITE answers vary (200, 211, 214, 250...).
    return !key.empty() && key[0] == '2' && key.back() != '-';
}

bool CPWDCommand::FolderOf(const CString& line, CString& folder) {
    int open = line.Find('"');
    if (open < 0)
        return false;
    int close = line.Find('"', open + 1);
    if (close < 0)
        return false;
    folder = line.Mid(open + 1, close - open - 1);
    return true;
}

void CPWDCommand::onSuccess(const CString& line) {
    CString folder;
    if (FolderOf(line, folder)) {
        CString reply;
        ControllerNotify(folder, EV_REMOTE_DIR, reply);
    }
}

bool CDELECommand::execute(const CString& arg1, const CString& arg2) {
    m_strStatus = "Deleting File " + arg1;
    return CCommand::execute(arg1, arg2);
}

CString NormaliseRemotePath(const CString& path) {
    CString normal = path;
    normal.Replace("\\", "/");
    normal.Replace("//", "/");
    return normal;
}

bool CMKDCommand::execute(const CString& path, const CString&) {
    CString normal = NormaliseRemotePath(path);
    m_strStatus = "Creating Folder " + normal;
    return CCommand::execute(normal, "");
}

bool CRMDCommand::execute(const CString& path, const CString&) {
    CString normal = NormaliseRemotePath(path);
    m_strStatus = "Deleting Folder " + normal;
    return CCommand::execute(normal, "");
}

bool CABORCommand::execute(const CString& arg1, const CString& arg2) {
    CloseDataSide();
    return CCommand::execute(arg1, arg2);
}

bool CABORCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState != CMD_FINISHED)
        setState(CMD_FINISHED);
    return true;
}

bool CQUITCommand::execute(const CString& arg1, const CString& arg2) {
    CString address;
    if (ControlConnectionPresent(address)) {
        // The session ends: a data connection still open or connecting belongs to nothing
        // now, and a late event of it (a connect the server's goodbye has reset) would reach
        // this command as a failed data connection and end it before the server's reply.
        CloseDataSide();
        m_grace.Start(kQuitGraceMs, [this] { end("No answer to QUIT within 2 s"); });
        return CCommand::execute(arg1, arg2);
    }
    m_strArg1 = arg1;
    m_strArg2 = arg2;
    CloseConnection();
    // Finished, not left "created": a created command would hold every later request.
    setState(CMD_FINISHED);
    return true;
}

bool CQUITCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    end("The server answered QUIT");
    return true;
}

void CQUITCommand::end(const char* why) {
    m_grace.Stop();
    if (GetControlSocket().IsOpen())
        ControllerTrace(CString("<<< ") + why + ": the connection is closed", TRACE_COMMAND);
    if (m_nState != CMD_FINISHED)
        setState(CMD_FINISHED);
    setStep(kReplied);
    CloseConnection();
}

void QuitBeforeExit(CCommandQueue& queue) {
    CString address;
    if (ControlConnectionPresent(address)) {
        queue.submit("QUIT", "", "");
        // Bounded twice: the grace closes the connection, and this wait ends regardless.
        UiLoop::RunUntil([] { return !GetControlSocket().IsOpen(); }, kQuitGraceMs + 1000);
    }
    CloseConnection();
}
