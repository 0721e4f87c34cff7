#include "engine/LoginCommand.h"

#include "engine/CallBackController.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "settings/Prefs.h"

namespace {
bool isAnonymous(const CString& section) {
    return GetPrefString(section.c_str(), "ANONYMOUS", "N") != "N";
}
} // namespace

bool CLoginCommand::execute(const CString& accountName, const CString& ignored) {
    m_strArg1 = accountName;
    m_strArg2 = ignored;
    m_strSection = AccountSection(accountName);
    m_strStatus = "Logging into account " + accountName;
    if (isAnonymous(m_strSection)) {
        // The name as RFC 1635 spells it: servers that compare it case-sensitively (pyftpdlib)
        // refuse "Anonymous", and every server that accepts that accepts this.
        m_strUser = kAnonymousUser;
        m_strPassword = GetPrefString(PREFS_SECTION, "ANOYMOUSNAME", "");
    } else {
        m_strUser = GetPrefString(m_strSection.c_str(), "USER", "NEEDTOSETUSER");
        m_strPassword = GetPrefString(m_strSection.c_str(), "WORD", "UNSETPASSWORDTEXT");
    }
    setStep(kAwaitingGreeting);
    CloseConnection();
    if (!GetControlSocket().ConnectToServer()) {
        CString reply;
        const int port = GetPrefInt(m_strSection.c_str(), "PORT", 21);
        ControllerNotify(port < 1 || port > 65535
                             ? FormatString("The port %d of account %s is not a port (1 to "
                                            "65535)",
                                            port, accountName.c_str())
                             : CString("Server not responding"),
                         EV_CONNECT_FAILED, reply);
        onReply("777");
        return false;
    }
    setState(CMD_STARTED);
    return true;
}

bool CLoginCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    if (key == "777") {
        // The connection failed or broke, whatever the step: the log-on is over.
        finish();
        return true;
    }
    switch (m_nStep) {
    case kAwaitingGreeting:
        // "120" (ready in a while) is preliminary: its "220" follows.
        if (key == "200" || key == "220")
            onGreeting();
        break;
    case kUserSent:
        if (key == "230") {
            finish();
        } else if (key == "331") {
            setStep(kPasswordSent);
            sendPassword();
        } else if (key == "332") {
            setStep(kAccountSent);
            sendLine("ACCT what");
        }
        break;
    case kPasswordSent:
        if (key == "230" || key == "202") {
            finish();
        } else if (key == "332") {
            setStep(kAccountSent);
            sendLine("ACCT what");
        }
        break;
    case kAccountSent:
        if (key == "230" || key == "202")
            finish();
        break;
    default: // kLoggedOn never gets here: the command has finished
        unknownStep();
        break;
    }
    return true;
}

void CLoginCommand::onGreeting() {
    setStep(kUserSent);
    if (m_strUser.empty()) {
        CString entered = m_strUser;
        if (!ControllerNotify("", EV_ASK_USER, entered))
            return; // cancelled: nothing is sent
        m_strUser = entered;
    }
    sendLine("USER " + m_strUser);
}

void CLoginCommand::sendPassword() {
    if (GetPrefInt(m_strSection.c_str(), "WORDSAVED", 1) != 0 || isAnonymous(m_strSection)) {
        sendLine("PASS " + m_strPassword);
        return;
    }
    CString entered = m_strPassword;
    if (!ControllerNotify("", EV_ASK_PASSWORD, entered))
        return;
    sendLine("PASS " + entered);
}

void CLoginCommand::finish() {
    setState(CMD_FINISHED);
    setStep(kLoggedOn);
}
