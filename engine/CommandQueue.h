#pragma once
// The command queue: turns requests (a name and two arguments) into command objects and runs
// them strictly one at a time. It moves on only through submit with an empty name (the pump),
// which the controller schedules after every trace line.
#include "common/CString.h"

#include <cstdint>
#include <deque>
#include <functional>

class CCommand;

struct CommandRecord {
    CString name;
    CString arg1;
    CString arg2;
    int64_t option = 0; // the restart value of a saved download or upload
};

class CCommandQueue {
public:
    CCommandQueue() = default;
    ~CCommandQueue();
    CCommandQueue(const CCommandQueue&) = delete;
    CCommandQueue& operator=(const CCommandQueue&) = delete;

    // Every request enters here; an empty name asks the queue to move on if it can.
    bool submit(const CString& name, const CString& arg1, const CString& arg2);
    // The controller's timer: moves on unless a log-on is held in the error state.
    bool pump();
    // Creates and executes one command at once.
    bool start(const CString& name, const CString& arg1, const CString& arg2, int64_t option);
    // Appends a request unless it duplicates the newest pending one.
    bool push(const CString& name, const CString& arg1, const CString& arg2);
    void retireCurrent();
    void clearPending();
    // Removes the pending requests drop() chooses (the listings of a search that was closed);
    // returns how many.
    size_t dropPending(const std::function<bool(const CommandRecord&)>& drop);
    // Keeps the unfinished work (current or held command, then the pending requests) for a
    // resumption after a lost connection; restoreStack puts it back.
    void saveStack();
    void restoreStack();

    CCommand* currentCommand() const { return m_pCurrent; }
    CCommand* previousCommand() const { return m_pPrevious; }
    const std::deque<CommandRecord>& pending() const { return m_pending; }
    const std::deque<CommandRecord>& saved() const { return m_saved; }
    size_t pendingCount() const { return m_pending.size(); }

private:
    void append(std::deque<CommandRecord>& to, const CommandRecord& record);

    CCommand* m_pCurrent = nullptr;
    CCommand* m_pPrevious = nullptr;
    std::deque<CommandRecord> m_pending;
    std::deque<CommandRecord> m_saved;
};

// Whether a control connection is established; address receives its local address.
bool ControlConnectionPresent(CString& address);
