#include "transfer/ListCommands.h"

#include "engine/CallBackController.h"
#include "net/FtpDataManager.h"

#include <cstring>

bool CListingCommand::eventData(const char* data, int length) {
    if (m_refused)
        return true;
    if (length > 0) {
        if (m_data.size() + static_cast<size_t>(length) > kMaxListingBytes) {
            m_refused = true;
            CloseDataSide();
            reportError(FormatString("Listing refused: larger than %ld MB",
                                     static_cast<long>(kMaxListingBytes >> 20)));
            return true;
        }
        m_data.insert(m_data.end(), data, data + length);
    } else if (length == -1) {
        ControllerTrace(FormatString("<<< CCommand::eventData %s total len = %ld step %ld DATA "
                                     "Completed >>>",
                                     m_strName.c_str(), static_cast<long>(m_data.size()),
                                     static_cast<long>(m_nStep)),
                        TRACE_DETAIL);
        if (m_data.empty())
            m_data.assign(m_empty, m_empty + strlen(m_empty));
        setState(CMD_FINISHED);
    }
    return true;
}

bool CLISTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    return false;
}

bool CNLSTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    if (m_nStep == kWaiting) {
        if (key == "150")
            setStep(kOpening);
        else if (key == "125")
            setStep(kAlreadyOpen);
    }
    return true;
}
