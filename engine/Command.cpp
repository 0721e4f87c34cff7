#include "engine/Command.h"

#include "engine/CallBackController.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/SocketOwners.h"

static int g_liveCommands = 0;

int CCommand::LiveCount() { return g_liveCommands; }

CCommand::CCommand(const CString& name, unsigned traits)
    : m_strName(name), m_strStatus("Executing FTP Command " + name), m_traits(traits) {
    ++g_liveCommands;
}

CCommand::~CCommand() {
    --g_liveCommands;
    ReleaseSockets(*this);
}

int64_t CCommand::getOption() { return 0; }
void CCommand::setOption(int64_t) {}
bool CCommand::isRestartable() { return true; }
bool CCommand::onSendReady() { return false; }

void CCommand::setState(int newState) {
    int previous = m_nState;
    m_nState = newState;
    ControllerTrace(FormatString("Command State Change %ld from %ld", static_cast<long>(newState),
                                 static_cast<long>(previous)),
                    TRACE_STATE);
}

void CCommand::setStep(int newStep) {
    if (newStep == m_nStep)
        return;
    int previous = m_nStep;
    m_nStep = newStep;
    ControllerTrace(FormatString("Command Step Change %ld from %ld", static_cast<long>(newStep),
                                 static_cast<long>(previous)),
                    TRACE_STATE);
}

void CCommand::unknownStep() {
    reportError(FormatString("Internal error: %s at unknown step %ld", m_strName.c_str(),
                             static_cast<long>(m_nStep)));
}

CString CCommand::ReplyKey(const CString& line) {
    CString key = line.Left(4);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\r' || key.back() == '\n'))
        key.pop_back();
    return key;
}

bool CCommand::sendLine(const CString& line) {
    if (line.find_first_of("\r\n") != std::string::npos) {
        CString verb = line.Left(line.Find(' ') < 0 ? line.GetLength() : line.Find(' '));
        ControllerTrace("<<< Not sent: the command line " + verb + " holds a line break",
                        TRACE_COMMAND);
        reportError("Command " + verb + " not sent: its argument holds a line break");
        return false;
    }
    if (!GetControlSocket().SendCommand(line, this)) {
        const int error = WSAGetLastError();
        CString verb = line.Left(line.Find(' ') < 0 ? line.GetLength() : line.Find(' '));
        ControllerTrace(FormatString("<<< Not sent: %s (error %d)", verb.c_str(), error),
                        TRACE_COMMAND);
        reportError(FormatString("Command %s could not be sent (error %d)", verb.c_str(), error));
        return false;
    }
    return true;
}

void CCommand::reportError(const CString& text) {
    setState(CMD_ERROR);
    CString status = m_strStatus;
    ControllerNotify(text, EV_SERVER_ERROR, status);
    setState(CMD_FINISHED);
}

// verb; verb arg1; or verb arg1 arg2 (two blanks when only the second argument is given).
static CString commandLine(const CString& verb, const CString& arg1, const CString& arg2) {
    if (!arg2.empty())
        return verb + " " + arg1 + " " + arg2;
    if (!arg1.empty())
        return verb + " " + arg1;
    return verb;
}

bool CCommand::sendCommandLine(const CString& verb, const CString& arg1, const CString& arg2) {
    return sendLine(commandLine(verb, arg1, arg2));
}

bool CCommand::execute(const CString& arg1, const CString& arg2) {
    m_strArg1 = arg1;
    m_strArg2 = arg2;
    ControllerTrace(FormatString("<<< EXECUTE CCommand::execute %s %s %s", m_strName.c_str(),
                                 arg1.c_str(), arg2.c_str()),
                    TRACE_DETAIL);
    setStep(0);
    if (!sendLine(commandLine(m_strName, arg1, arg2)))
        return false; // reported; the command has finished
    setState(CMD_STARTED);
    return true;
}

bool CCommand::onReply(const CString& line) {
    ControllerTrace(line, TRACE_PROTOCOL);
    CString key = ReplyKey(line);
    // 421: the server is closing the control connection; nothing more can be done over it,
    // and closing our end makes the next request offer to connect again. 425: the data
    // connection failed; its owner drops our side of it so no listener or half-open connect
    // lingers (another command's data connection is none of its business).
    if (key == "421") {
        CloseConnection();
    } else if (key == "425" && (CSocketOwners::Data() == this || CSocketOwners::Listener() == this)) {
        CloseDataSide();
    }
    if (m_nState == CMD_ERROR)
        return true;
    if (has(kQuietRefusals))
        return false;
    if (!key.empty() && (key[0] == '4' || key[0] == '5')) {
        setState(CMD_ERROR);
        CString status = m_strStatus;
        ControllerNotify(line, EV_SERVER_ERROR, status);
        setState(CMD_FINISHED);
    }
    return m_nState == CMD_ERROR;
}

bool CCommand::eventData(const char*, int) { return true; }
