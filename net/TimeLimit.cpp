#include "net/TimeLimit.h"

#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include <algorithm>
#include <set>

namespace {

// Timer ids of their own, apart from the small ones the window and the tests use.
unsigned g_nextId = 0x544C0000u;
int g_pauseDepth = 0;
// The running limits, so that the end of a pause can start them afresh (loop thread only).
std::set<CTimeLimit*>& running() {
    static std::set<CTimeLimit*>* limits = new std::set<CTimeLimit*>(); // outlives every limit
    return *limits;
}

} // namespace

unsigned ConfiguredTimeLimitMs() {
    const int seconds = GetPrefInt(PREFS_SECTION, "TIMEOUT", 60);
    // A day at most: nobody means more, and the milliseconds stay in range.
    return seconds <= 0 ? 0u : static_cast<unsigned>(std::min(seconds, 24 * 60 * 60)) * 1000u;
}

CTimeLimit::CTimeLimit() : m_id(g_nextId++) {}

CTimeLimit::~CTimeLimit() { Stop(); }

void CTimeLimit::Start(unsigned limitMs, std::function<void()> expired) {
    Stop();
    if (limitMs == 0)
        return;
    m_limitMs = limitMs;
    m_expired = std::move(expired);
    running().insert(this);
    Touch();
    Arm(std::chrono::milliseconds(limitMs));
}

void CTimeLimit::Stop() {
    if (!m_limitMs)
        return;
    m_limitMs = 0;
    m_expired = nullptr;
    running().erase(this);
    UiLoop::KillTimer(m_id);
}

void CTimeLimit::Arm(Clock::duration wait) {
    // A millisecond more than the rest: a timer that fires a hair early would only re-arm.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1;
    UiLoop::SetTimer(m_id, static_cast<unsigned>(ms), [this] { OnTimer(); });
}

void CTimeLimit::OnTimer() {
    if (!m_limitMs || g_pauseDepth > 0)
        return; // stopped, or paused: the end of the pause arms it again
    const Clock::time_point due = m_last + std::chrono::milliseconds(m_limitMs);
    const Clock::time_point now = Clock::now();
    if (now < due) {
        Arm(due - now); // traffic came meanwhile
        return;
    }
    std::function<void()> expired = std::move(m_expired);
    Stop();
    if (expired)
        expired();
}

void CTimeLimit::Resume() {
    for (CTimeLimit* limit : std::set<CTimeLimit*>(running())) {
        limit->Touch();
        limit->Arm(std::chrono::milliseconds(limit->m_limitMs));
    }
}

CTimeLimit::PauseScope::PauseScope() { ++g_pauseDepth; }

CTimeLimit::PauseScope::~PauseScope() {
    if (--g_pauseDepth == 0)
        Resume();
}
