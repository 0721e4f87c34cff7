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
    m_nStep = 0;
    setupDataChannel(*this);
    return true;
}

bool CTreeLISTCommand::onReply(const CString& line) {
    CCommand::onReply(line);
    if (m_nState == CMD_ERROR || m_nState == CMD_FINISHED)
        return false;
    const CString key = ReplyKey(line);
    const bool transferDone = key == "226" || key == "250";
    if (m_nStep == 0)
        m_nStep = 4;
    switch (m_nStep) {
    case 4:
        if (key == "200") {
            m_nStep = 5;
            m_listingPhase = true;
            sendCommandLine("LIST", m_strArg1, "");
        }
        break;
    case 5:
        if (key == "125" || key == "150")
            m_nStep = 6;
        else if (key == "277")
            m_dataEnded = true;
        break;
    case 6:
        if (transferDone) {
            m_nStep = 7;
            if (m_dataEnded)
                complete();
        } else if (key == "277") {
            m_nStep = 7;
            m_dataEnded = true;
        }
        break;
    case 7:
        if (transferDone || key == "277")
            complete();
        break;
    default: break;
    }
    return true;
}

void CTreeLISTCommand::complete() {
    m_nStep = 8;
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
            GetDataConnection().Close();
            GetDataListener().Close();
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
