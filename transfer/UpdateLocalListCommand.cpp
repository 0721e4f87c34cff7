#include "transfer/UpdateLocalListCommand.h"

#include "engine/CallBackController.h"

bool CUpdateLocalListCommand::execute(const CString& folder, const CString& ignored) {
    m_strArg1 = folder;
    m_strArg2 = ignored;
    m_strStatus = "Updating Local Directory " + folder;
    setState(CMD_FINISHED);
    CString reply;
    ControllerNotify(folder, EV_REFRESH_LOCAL, reply);
    return true;
}
