#pragma once
// A controller for tests and headless runs, implementing the engine's callback interface the
// way the main window does, minus the windows: it records every trace line and notification,
// answers prompts from a script, and (once a queue is attached) runs the queue's pump about
// 1 ms after every trace line.
#include "engine/CallBackController.h"

#include <functional>
#include <utility>
#include <vector>

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

    TestController();
    ~TestController() override;

    bool notify(const CString& text, int event, CString& reply) override;
    void trace(const CString& text, int level) override;

    // Optional answers; without one, prompts are cancelled and other events answered false.
    std::function<bool(const CString& text, int event, CString& reply)> answer;

    std::vector<std::pair<CString, int>> traces;
    std::vector<Note> notes;

    bool traced(const CString& text) const;
    int tracedLevel(const CString& text) const; // level of the first such line, or -1
    int count(int event) const;
    // The notes of one event, in order.
    std::vector<Note> notesOf(int event) const;
    // Lines traced at a level (in order), e.g. the protocol dialogue at level 2.
    std::vector<CString> tracesAt(int level) const;
};

} // namespace testing_support
