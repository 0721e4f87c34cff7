#include "tests/support/TestController.h"

#include "net/UiLoop.h"

namespace testing_support {

void PrepareLoop() {
#ifdef _WIN32
    UiLoop::EnsureNotifyWindow();
#endif
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    return UiLoop::RunUntil(done, timeoutMs);
}

TestController::TestController() {
    PrepareLoop();
    SetCallBackController(this);
}

TestController::~TestController() { SetCallBackController(nullptr); }

bool TestController::notify(const CString& text, int event, CString& reply) {
    notes.push_back(Note{text, event, reply});
    if (answer)
        return answer(text, event, reply);
    return false;
}

void TestController::trace(const CString& text, int level) {
    traces.emplace_back(text, level);
}

bool TestController::traced(const CString& text) const { return tracedLevel(text) >= 0; }

int TestController::tracedLevel(const CString& text) const {
    for (const auto& t : traces) {
        if (t.first == text)
            return t.second;
    }
    return -1;
}

int TestController::count(int event) const {
    int n = 0;
    for (const Note& note : notes)
        n += note.event == event;
    return n;
}

std::vector<TestController::Note> TestController::notesOf(int event) const {
    std::vector<Note> out;
    for (const Note& note : notes) {
        if (note.event == event)
            out.push_back(note);
    }
    return out;
}

std::vector<CString> TestController::tracesAt(int level) const {
    std::vector<CString> out;
    for (const auto& t : traces) {
        if (t.second == level)
            out.push_back(t.first);
    }
    return out;
}

} // namespace testing_support
