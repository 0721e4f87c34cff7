#include "transfer/ListCommands.h"

bool CLISTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    return false;
}

bool CNLSTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    if (m_nStep == 0) {
        if (key == "150")
            m_nStep = 1;
        else if (key == "125")
            m_nStep = 5;
    }
    return true;
}
