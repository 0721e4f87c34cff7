#pragma once
// How long the server may keep us waiting. A limit is one-shot: it expires when its time
// passes without a Touch. Touching only reads the clock; the loop's timer is re-armed when it
// comes due and traffic has moved the deadline meanwhile, so a transfer sets no timer per
// block, and a stopped limit (an idle connection) sets none at all.
//
// While a box or prompt of ours is open (a PauseScope lives) nothing expires: the user, not
// the server, is slow then. When the last scope ends, every running limit counts afresh.
#include <chrono>
#include <functional>

// "USERPREFS"/"TIMEOUT" in milliseconds: seconds, 60 when absent; 0 (or less) switches the
// limits off. Read, never written: the default stays the program's until the user sets one.
unsigned ConfiguredTimeLimitMs();

class CTimeLimit {
public:
    CTimeLimit();
    ~CTimeLimit();
    CTimeLimit(const CTimeLimit&) = delete;
    CTimeLimit& operator=(const CTimeLimit&) = delete;

    // Starts (or restarts) the limit; 0 ms stops it instead. expired runs on the loop, once,
    // after the limit has stopped.
    void Start(unsigned limitMs, std::function<void()> expired);
    void Touch() { m_last = Clock::now(); }
    void Stop();

    class PauseScope {
    public:
        PauseScope();
        ~PauseScope();
        PauseScope(const PauseScope&) = delete;
        PauseScope& operator=(const PauseScope&) = delete;
    };

private:
    using Clock = std::chrono::steady_clock;
    void Arm(Clock::duration wait);
    void OnTimer();
    static void Resume();

    const unsigned m_id; // the loop's timer id, one per limit
    unsigned m_limitMs = 0;
    Clock::time_point m_last;
    std::function<void()> m_expired;
};
