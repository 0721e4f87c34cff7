#include "engine/DataChannel.h"

#include "engine/CallBackController.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/SocketOwners.h"
#include "settings/Prefs.h"

#include <cctype>

// Not 421: the server is closing and every socket has been closed with it; holding the
// queue then only waits for an abort that has nothing left to abort.
bool IsHoldingErrorCode(const CString& key) {
    return key == "530" || key == "500" || key == "501" || key == "503";
}

CPASVCommand& GetPassiveCommand() {
    static CPASVCommand* instance = new CPASVCommand(); // lives until the process ends
    return *instance;
}

void ReleaseSockets(const CCommand& command) {
    CSocketOwners::Release(&command);
    CPASVCommand& pasv = GetPassiveCommand();
    if (pasv.m_pOwner == &command) {
        pasv.m_pOwner = nullptr;
        CSocketOwners::Release(&pasv);
    }
}

static bool passiveMode() {
    CString section = AccountSection(CurrentAccountName());
    return GetPrefString(section.c_str(), "PASV", "N") != "N";
}

bool setupDataChannel(CCommand& owner) {
    // A data connection left from an earlier transfer (a server may close it only after its
    // error reply) must not deliver its late end to this owner, nor close this owner's
    // listener with it.
    GetDataConnection().Close();
    if (passiveMode()) {
        CPASVCommand& pasv = GetPassiveCommand();
        pasv.m_pOwner = &owner;
        if (!pasv.CCommand::execute("", "")) {
            // Reported; without its PASV the owner can never get a data channel.
            pasv.m_pOwner = nullptr;
            owner.setState(CMD_FINISHED);
            return false;
        }
        owner.setState(CMD_STARTED);
        return true;
    }
    CFtpDataServerManager& listener = GetDataListener();
    listener.Close();
    CSocketOwners::HandListener(&owner);
    sockaddr_in listening, local;
    int listeningLength = sizeof listening, localLength = sizeof local;
    // Without a listener and both addresses there is nothing true to announce.
    if (!listener.StartListening() ||
        !listener.GetSockName(reinterpret_cast<sockaddr*>(&listening), &listeningLength) ||
        !GetControlSocket().GetSockName(reinterpret_cast<sockaddr*>(&local), &localLength) ||
        local.sin_family != AF_INET || !GetControlSocket().GetPeerAddress(listener.m_strServer)) {
        const int error = WSAGetLastError();
        listener.Close();
        owner.reportError(FormatString("Cannot open a data connection: no listening socket "
                                       "(error %d)",
                                       error));
        return false;
    }
    const unsigned char* a = reinterpret_cast<const unsigned char*>(&local.sin_addr);
    const unsigned port = ntohs(listening.sin_port);
    CString argument = FormatString("%d,%d,%d,%d,%d,%d", a[0], a[1], a[2], a[3],
                                    static_cast<int>(port / 256), static_cast<int>(port % 256));
    ControllerTrace("PORT addr" + argument, TRACE_PORT);
    if (!owner.sendCommandLine("PORT", argument, "")) {
        listener.Close(); // reported, and the owner has finished
        return false;
    }
    owner.setState(CMD_STARTED);
    return true;
}

// Six numbers separated by commas (blanks allowed around them), starting at text[from].
static bool sixNumbers(const CString& text, size_t from, size_t to, int numbers[6]) {
    size_t at = from;
    for (int i = 0; i < 6; ++i) {
        while (at < to && text[at] == ' ')
            ++at;
        if (at >= to || !isdigit(static_cast<unsigned char>(text[at])))
            return false;
        int value = 0;
        while (at < to && isdigit(static_cast<unsigned char>(text[at]))) {
            value = value * 10 + (text[at++] - '0');
            if (value > 255)
                return false;
        }
        numbers[i] = value;
        while (at < to && text[at] == ' ')
            ++at;
        if (i < 5) {
            if (at >= to || text[at] != ',')
                return false;
            ++at;
        }
    }
    return true;
}

bool ParsePassiveReply(const CString& line, CString& host, unsigned& port) {
    int n[6];
    size_t open = line.find('(');
    size_t close = open == std::string::npos ? std::string::npos : line.find(')', open);
    bool found = false;
    if (open != std::string::npos && close != std::string::npos) {
        found = sixNumbers(line, open + 1, close, n);
    } else {
        for (size_t at = 4; at < line.size() && !found; ++at) {
            if (isdigit(static_cast<unsigned char>(line[at])) &&
                !isdigit(static_cast<unsigned char>(line[at - 1])))
                found = sixNumbers(line, at, line.size(), n);
        }
    }
    if (!found)
        return false;
    host = FormatString("%d.%d.%d.%d", n[0], n[1], n[2], n[3]);
    port = static_cast<unsigned>(n[4] * 256 + n[5]);
    return port != 0;
}

bool CPASVCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR)
        return false;
    const CString key = ReplyKey(line);
    if (m_nStep == kAwaitingReply && key == "227") {
        openDataConnection(line);
    } else if (IsHoldingErrorCode(key) || (!key.empty() && (key[0] == '4' || key[0] == '5'))) {
        if (IsHoldingErrorCode(key))
            setState(CMD_ERROR);
        // The box has been shown for PASV; the owner can never get its data channel, and
        // waiting on would hold the queue until the user aborts. The controller may have put
        // the owner (the queue's current command) into the error state while the box was
        // open; it is finished all the same.
        if (m_nStep == kAwaitingReply && m_pOwner && m_pOwner->getState() != CMD_FINISHED) {
            setStep(kReplied);
            m_pOwner->setState(CMD_FINISHED);
        }
    }
    return true;
}

void CPASVCommand::openDataConnection(const CString& line) {
    CCommand* owner = m_pOwner;
    setStep(kReplied);
    CString host;
    unsigned port = 0;
    if (!ParsePassiveReply(line, host, port)) {
        setState(CMD_FINISHED);
        if (owner)
            owner->reportError("Unusable passive-mode reply: " + line);
        return;
    }
    // Connect only where the control connection goes: a server behind NAT names an address
    // we cannot reach, and a hostile one could name a third party.
    CString peer;
    if (GetControlSocket().GetPeerAddress(peer) && peer != host) {
        ControllerTrace("<<< Passive reply names " + host + "; connecting to the server at " +
                            peer + " instead",
                        TRACE_DETAIL);
        host = peer;
    }
    CFtpDataManager& data = GetDataConnection();
    data.Close();
    data.Create(0, SOCK_STREAM, nullptr);
    CSocketOwners::HandData(owner);
    bool connecting = data.Connect(host, port);
    setState(CMD_FINISHED);
    if (!owner)
        return;
    if (!connecting) {
        owner->onReply(DataConnectFailedLine(WSAGetLastError()));
        return;
    }
    owner->onReply("200 PASV mode opened");
}

bool CPORTCommand::execute(const CString& arg1, const CString& arg2) {
    m_strArg1 = arg1;
    m_strArg2 = arg2;
    m_strStatus = "Setting up data channel to Server";
    setStep(kAwaitingReply);
    return setupDataChannel(*this); // a failure has been reported and has finished it
}

bool CPORTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR)
        return false;
    const CString key = ReplyKey(line);
    if (m_nStep == kAwaitingReply && key == "200") {
        setState(CMD_FINISHED);
        setStep(kReplied);
    }
    if (IsHoldingErrorCode(key))
        setState(CMD_ERROR);
    return true;
}
