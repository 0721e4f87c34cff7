#include "engine/CommandQueue.h"

#include "engine/CallBackController.h"
#include "engine/Command.h"
#include "engine/CommandFactory.h"
#include "engine/DataChannel.h"
#include "engine/EnginePlatform.h"
#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"
#include "net/SocketOwners.h"
#include "settings/Prefs.h"

#include <algorithm>

namespace {

// Asking twice for the same folder gains nothing, while two deletions or transfers are two
// pieces of work: only commands that say so collapse.
bool duplicates(const CommandRecord& record, const CommandRecord& queued) {
    return (TraitsOf(record.name) & kCollapses) && record.name == queued.name &&
           record.arg1 == queued.arg1 && record.arg2 == queued.arg2;
}

void debugRecord(const CommandRecord& r) {
    DebugOutput(FormatString(" %s , %s , %s , %lld\n", r.name.c_str(), r.arg1.c_str(),
                             r.arg2.c_str(), static_cast<long long>(r.option)));
}

CommandRecord recordOf(CCommand& command) {
    return CommandRecord{command.getName(), command.getArg1(), command.getArg2(),
                         command.getOption()};
}

} // namespace

bool ControlConnectionPresent(CString& address) {
    unsigned port = 0;
    address.clear();
    return GetControlSocket().GetLocalAddress(address, port) && !address.empty();
}

CCommandQueue::~CCommandQueue() {
    retireCurrent();
    DestroyCommand(m_pPrevious);
    m_pPrevious = nullptr;
}

bool CCommandQueue::submit(const CString& name, const CString& arg1, const CString& arg2) {
    const unsigned traits = TraitsOf(name);
    if (traits & kInterrupts) {
        retireCurrent();
        clearPending();
        CString address;
        if ((traits & kRunsUnconnected) || ControlConnectionPresent(address))
            return start(name, arg1, arg2, 0);
        CloseDataSide();
        return true;
    }
    if (traits & kLogsOn)
        return start(name, arg1, arg2, 0);
    if (!name.empty()) {
        if (m_pCurrent && m_pCurrent->getState() != CMD_FINISHED &&
            m_pCurrent->getState() != CMD_ERROR) {
            push(name, arg1, arg2);
            return true;
        }
        if (m_pending.empty())
            return start(name, arg1, arg2, 0);
        push(name, arg1, arg2);
        return false;
    }
    // Moving on.
    if (m_pending.empty())
        return false;
    if (m_pCurrent && m_pCurrent->getState() != CMD_FINISHED)
        return false; // running, or held in the error state
    const bool wasLogin = m_pCurrent && m_pCurrent->has(kLogsOn);
    retireCurrent();
    CString address;
    if (wasLogin && ControlConnectionPresent(address)) {
        ControllerNotify("Y", EV_CONNECTION_STATE, address);
        return start("PWD", "", "", 0);
    }
    CommandRecord next = m_pending.front();
    m_pending.pop_front();
    return start(next.name, next.arg1, next.arg2, next.option);
}

bool CCommandQueue::pump() {
    if (m_pCurrent && m_pCurrent->has(kLogsOn) && m_pCurrent->getState() == CMD_ERROR)
        return false;
    return submit("", "", "");
}

bool CCommandQueue::start(const CString& name, const CString& arg1, const CString& arg2,
                          int64_t option) {
    // execute may open boxes whose nested loops retire this very command; it must outlive
    // this call.
    CommandCallScope scope;
    if (!(TraitsOf(name) & kRunsUnconnected)) {
        CString address;
        if (!ControlConnectionPresent(address)) {
            if (!AskConnectNow())
                return false;
            push(name, arg1, arg2);
            bool started = start("LOGIN", CurrentAccountName(), "", 0);
            if (!started)
                clearPending();
            return started;
        }
    }
    CCommand* command = CreateCommand(name);
    if (!command) {
        ControllerTrace(name + " UNKNOWN FTP command", TRACE_COMMAND);
        return false;
    }
    if (command->has(kTakesRestart))
        command->setOption(option);
    // A finished or failed command still current is released like a retired one.
    if (m_pCurrent)
        retireCurrent();
    m_pCurrent = command;
    CSocketOwners::HandControl(command);
    CSocketOwners::HandData(command);
    if (!command->execute(arg1, arg2)) {
        ControllerTrace(name + " FAILED!", TRACE_COMMAND);
        return false;
    }
    ControllerTrace(command->getStatus(), TRACE_COMMAND);
    return true;
}

bool CCommandQueue::push(const CString& name, const CString& arg1, const CString& arg2) {
    CommandRecord record{name, arg1, arg2, 0};
    if (!m_pending.empty() && duplicates(record, m_pending.back()))
        return true;
    m_pending.push_back(record);
    return true;
}

void CCommandQueue::retireCurrent() {
    DestroyCommand(m_pPrevious);
    m_pPrevious = nullptr;
    // What the retired command still awaits from the server arrives late, for nobody.
    if (m_pCurrent)
        ReleaseSockets(*m_pCurrent);
    CSocketOwners::ReleaseAll();
    if (m_pCurrent) {
        if (!m_pCurrent->getErrorCode().empty())
            m_pPrevious = m_pCurrent; // kept, so that it can be saved and run again
        else
            DestroyCommand(m_pCurrent);
    }
    m_pCurrent = nullptr;
}

void CCommandQueue::clearPending() { m_pending.clear(); }

size_t CCommandQueue::dropPending(const std::function<bool(const CommandRecord&)>& drop) {
    const size_t before = m_pending.size();
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(), drop), m_pending.end());
    return before - m_pending.size();
}

void CCommandQueue::saveStack() {
    DebugOutput("SAVE STACK BEGIN\n");
    m_saved.clear();
    CCommand* unfinished = nullptr;
    if (m_pCurrent && m_pCurrent->isRestartable())
        unfinished = m_pCurrent;
    else if (m_pPrevious && m_pPrevious->isRestartable())
        unfinished = m_pPrevious;
    if (unfinished) {
        CommandRecord record = recordOf(*unfinished);
        DebugOutput(FormatString(" CURRENT %s , %s , %s \n", record.name.c_str(),
                                 record.arg1.c_str(), record.arg2.c_str()));
        // The TYPE I that ran before it is gone with the connection, and the new log-on
        // leaves the server in its default mode: ASCII would refuse the restart or bend the
        // bytes.
        if (unfinished->has(kBinaryOnRetry)) {
            CommandRecord binary{"TYPE", "I", "", 0};
            debugRecord(binary);
            m_saved.push_back(binary);
        }
        m_saved.push_back(record);
        if (unfinished == m_pPrevious) {
            DestroyCommand(m_pPrevious);
            m_pPrevious = nullptr;
        }
    }
    for (const CommandRecord& record : m_pending) {
        if (TraitsOf(record.name) & kNeverSaved)
            continue;
        debugRecord(record);
        m_saved.push_back(record);
    }
    m_pending.clear();
    DebugOutput("SAVE STACK END\n");
}

void CCommandQueue::restoreStack() {
    DebugOutput("RESTORE STACK BEGIN\n");
    for (const CommandRecord& record : m_saved) {
        if (TraitsOf(record.name) & kNeverSaved)
            continue;
        if (!m_pending.empty() && duplicates(record, m_pending.back()))
            continue;
        debugRecord(record);
        m_pending.push_back(record);
    }
    m_saved.clear();
    DebugOutput("RESTORE STACK END\n");
}
