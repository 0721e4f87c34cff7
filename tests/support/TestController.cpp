#include "tests/support/TestController.h"

#include "engine/Command.h"
#include "engine/CommandQueue.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"
#include "transfer/TransferCommands.h"

#include <algorithm>
#include <iterator>

namespace testing_support {

namespace {
// Posted actions, as the main window posts them: the queue pump, and its WM_COMMAND messages
// for abort and resume. Each runs only after the callback that posted it has returned.
constexpr unsigned kPumpAction = 1;
constexpr unsigned kAbortAction = 101;
constexpr unsigned kResumeAction = 102;
} // namespace

void PrepareLoop() {
#ifdef _WIN32
    UiLoop::EnsureNotifyWindow();
#endif
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    return UiLoop::RunUntil(done, timeoutMs);
}

TestController::TestController(CCommandQueue* queue) : m_queue(queue) {
    PrepareLoop();
    RegisterTransferCommands();
    SetCallBackController(this);
}

TestController::~TestController() {
    for (unsigned id : {kPumpAction, kAbortAction, kResumeAction})
        UiLoop::Cancel(id);
    SetCallBackController(nullptr);
}

void TestController::schedulePump() {
    if (m_queue) {
        m_pumpPosted = true;
        UiLoop::Post(kPumpAction, [this] {
            m_pumpPosted = false;
            m_queue->pump();
        });
    }
}

void TestController::post(unsigned id, std::function<void()> action) {
    UiLoop::Post(id, std::move(action));
    // As in the window, a pending pump moves behind the posted command.
    if (m_pumpPosted)
        schedulePump();
}

bool TestController::notify(const CString& text, int event, CString& reply) {
    if (keepTraces || event != EV_PROGRESS)
        notes.push_back(Note{text, event, reply});
    if (onNotify)
        onNotify(text, event);
    switch (event) {
    case EV_CONNECT_FAILED:
        return onConnectionError(reply);
    case EV_SERVER_ERROR: // Yes: the queue holds in the error state until the user acts
        if (m_queue && m_queue->currentCommand())
            m_queue->currentCommand()->setState(CMD_ERROR);
        return true;
    case EV_ASK_PASSWORD:
    case EV_ASK_USER: {
        CString entered = reply;
        if (prompt && prompt(event, entered)) {
            reply = entered.Trim();
            return true;
        }
        if (m_queue) { // as the window: a cancelled log-on prompt closes the connection
            m_queue->submit("QUIT", "", "");
            connected = false;
        }
        return false;
    }
    case EV_GET_REMOTE_DIR:
        reply = remoteDir;
        return true;
    case EV_CONNECTION_STATE:
        connected = text == "Y";
        if (connected && m_queue) {
            m_queue->submit("PWD", "", "");
            schedulePump();
        }
        return true;
    default:
        return true;
    }
}

bool TestController::onConnectionError(CString& reply) {
    connected = false;
    CCommand* current = m_queue ? m_queue->currentCommand() : nullptr;
    if (retryAfterConnectionError) {
        if (current) {
            current->markForRetry();
            m_queue->retireCurrent();
            m_queue->saveStack();
        }
        post(kResumeAction, [this] { resumeAfterReconnect(); });
    } else {
        if (current)
            current->setState(CMD_FINISHED);
        reply = "N";
        post(kAbortAction, [this] { abortAll(); });
    }
    return true;
}

void TestController::trace(const CString& text, int level) {
    if (keepTraces)
        traces.emplace_back(text, level);
    if (onTrace)
        onTrace(text, level);
    schedulePump();
}

void TestController::abortAll() {
    if (m_queue)
        m_queue->submit("ABOR", "", "");
    trace("Abort complete", TRACE_DETAIL);
}

void TestController::resumeAfterReconnect() {
    if (!m_queue)
        return;
    if (connected) {
        m_queue->retireCurrent();
        m_queue->restoreStack();
        m_queue->submit("", "", "");
    } else {
        // The saved work goes back, and the log-on starts at once: with the log-on running
        // the queue holds the work until the log-on and its PWD are done. (Posting the log-on
        // would let a pump start the work first, unconnected.)
        m_queue->restoreStack();
        logOn();
    }
}

void TestController::logOn() {
    if (!m_queue)
        return;
    CString account = CurrentAccountName();
    if (account.empty())
        return;
    if (connected) {
        m_queue->submit("QUIT", "", "");
        connected = false;
    }
    m_queue->submit("LOGIN", account, "");
}

bool TestController::traced(const CString& text) const {
    return tracedLevel(text) >= 0;
}

int TestController::tracedLevel(const CString& text) const {
    auto found =
        std::find_if(traces.begin(), traces.end(), [&](auto& t) { return t.first == text; });
    return found == traces.end() ? -1 : found->second;
}

int TestController::count(int event) const {
    return static_cast<int>(notesOf(event).size());
}

std::vector<TestController::Note> TestController::notesOf(int event) const {
    std::vector<Note> out;
    std::copy_if(notes.begin(), notes.end(), std::back_inserter(out),
                 [event](const Note& note) { return note.event == event; });
    return out;
}

std::vector<CString> TestController::tracesAt(int level) const {
    std::vector<CString> out;
    for (const auto& t : traces)
        if (t.second == level)
            out.push_back(t.first);
    return out;
}

} // namespace testing_support
