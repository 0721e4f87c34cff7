#pragma once
// A controller for tests and headless runs, implementing the engine's callback interface the
// way the main window does, minus the windows: it records every trace line and notification,
// answers the prompts and boxes from settings the test chooses, and, with a queue attached,
// runs the queue's pump as soon as each traced callback has returned, asks for PWD when a connection is
// reported, and aborts or resumes as the main window's boxes would.
#include "engine/CallBackController.h"

#include <functional>
#include <utility>
#include <vector>

class CCommandQueue;

namespace testing_support {

// Prepares the user-interface loop for socket notifications (on Windows: a visible window).
void PrepareLoop();

// Runs the loop until done() or the time runs out; returns done().
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);

class TestController : public ICallBackController {
public:
    struct Note {
        CString text;
        int event;
        CString reply; // as handed in
    };

    explicit TestController(CCommandQueue* queue = nullptr);
    ~TestController() override;

    bool notify(const CString& text, int event, CString& reply) override;
    void trace(const CString& text, int level) override;

    // The "FTP error" box: Retry (true) or Cancel; the server-error box is always Yes.
    bool retryAfterConnectionError = false;
    // Log-on prompts (events 4 and 5): return true and set entered to confirm. Without one,
    // prompts are cancelled (and, as in the window, the connection is closed).
    std::function<bool(int event, CString& entered)> prompt;
    // Sees every notification before it is answered, to look at the engine at that moment or
    // to change the world before the answer takes effect (say, the account a retry uses).
    std::function<void(const CString& text, int event)> onNotify;
    // Sees every trace line as it is traced.
    std::function<void(const CString& text, int level)> onTrace;
    CString remoteDir; // the answer to event 6

    bool connected = false; // as the window tracks it through events 0 and 10
    // Long headless runs (the transfer benchmark's driver) switch this off: trace lines and
    // progress notes, hundreds of thousands of them, are then not kept; other notes still are.
    bool keepTraces = true;
    std::vector<std::pair<CString, int>> traces;
    std::vector<Note> notes;

    bool traced(const CString& text) const;
    int tracedLevel(const CString& text) const; // level of the first such line, or -1
    int count(int event) const;
    std::vector<Note> notesOf(int event) const;
    // Lines traced at a level, in order (the protocol dialogue is level 2).
    std::vector<CString> tracesAt(int level) const;

    // The window's commands, for tests to use directly.
    void abortAll();
    void resumeAfterReconnect();
    void logOn();

private:
    void schedulePump();
    void post(unsigned id, std::function<void()> action);
    bool onConnectionError(CString& reply);

    CCommandQueue* m_queue;
    bool m_pumpPosted = false;
};

} // namespace testing_support
