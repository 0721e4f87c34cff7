#include "transfer/TreeListCommand.h"

#include "engine/CallBackController.h"
#include "engine/DataChannel.h"
#include "net/FtpDataManager.h"

bool CTreeLISTCommand::execute(const CString& path, const CString& searchMark) {
    CString folder = path;
    folder.TrimLeft();
    if (folder.empty()) {
        CString current;
        ControllerNotify("", EV_GET_REMOTE_DIR, current);
        folder = current;
    }
    // The folder actually listed: the controller compares it with the folder it shows.
    m_strArg1 = folder;
    m_strArg2 = searchMark;
    m_strStatus = "Getting Directory Listing for " + folder;
    ControllerTrace("<<< EXECUTE CCommand::execute " + m_strName + " " + folder + " " + searchMark,
                    TRACE_DETAIL);
    setStep(kSettingUp);
    return setupDataChannel(*this); // a failure has been reported and has finished it
}

bool CTreeLISTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    const bool transferDone = key == "226" || key == "250";
    if (m_nStep == kSettingUp)
        setStep(kAwaitingChannel);
    switch (m_nStep) {
    case kAwaitingChannel:
        if (key == "200") {
            setStep(kListSent);
            m_listingPhase = true;
            sendCommandLine("LIST", m_strArg1, "");
        }
        break;
    case kListSent:
        if (key == "125" || key == "150")
            setStep(kTransferring);
        else if (key == "277")
            m_dataEnded = true;
        break;
    case kTransferring:
        if (transferDone) {
            setStep(kAwaitingEnd);
            if (m_dataEnded)
                complete();
        } else if (key == "277") {
            setStep(kAwaitingEnd);
            m_dataEnded = true;
        }
        break;
    case kAwaitingEnd:
        if (transferDone || key == "277")
            complete();
        break;
    default: // kComplete never gets here: the command has finished
        unknownStep();
        break;
    }
    return true;
}

void CTreeLISTCommand::complete() {
    setStep(kComplete);
    setState(CMD_FINISHED);
    CString reply;
    ControllerNotify("", EV_LISTING_DONE, reply);
}

bool CTreeLISTCommand::eventData(const char* data, int length) {
    if (!m_listingPhase || m_refused)
        return true;
    if (length >= 0) {
        ControllerTrace(FormatString("myListData %s length %ld step %ld", m_strName.c_str(),
                                     static_cast<long>(length), static_cast<long>(m_nStep)),
                        TRACE_STATE);
        if (m_listing.size() + static_cast<size_t>(length) > kMaxListingBytes) {
            m_refused = true;
            CloseDataSide();
            reportError(FormatString("Listing of %s refused: larger than %ld MB",
                                     m_strArg1.c_str(), static_cast<long>(kMaxListingBytes >> 20)));
            return true;
        }
        m_listing.insert(m_listing.end(), data, data + length);
        return true;
    }
    if (length == -1) {
        ControllerTrace(FormatString("<<< myListData %s total len = %ld step %ld DATA Completed >>>",
                                     m_strName.c_str(), static_cast<long>(m_listing.size()),
                                     static_cast<long>(m_nStep)),
                        TRACE_STATE);
        onReply("277 Data End");
    }
    return true;
}
