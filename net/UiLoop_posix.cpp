#include "net/UiLoop.h"

#include "net/AsyncSocket.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace UiLoop {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    Clock::time_point due;
    std::function<void()> fire;
};

// Posted notifications cross threads; timers belong to the loop's thread alone.
std::mutex g_lock;
std::condition_variable g_wake;
std::deque<CAsyncSocket*> g_posted;
std::map<unsigned, Timer> g_timers;
// Posted actions, oldest first (the loop's thread alone).
std::deque<std::pair<unsigned, std::function<void()>>> g_actions;

// Fires every due timer once. A timer that re-arms itself waits for the next round.
void fireDueTimers() {
    Clock::time_point now = Clock::now();
    std::deque<std::function<void()>> due;
    for (auto it = g_timers.begin(); it != g_timers.end();) {
        if (it->second.due <= now) {
            due.push_back(std::move(it->second.fire));
            it = g_timers.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& fire : due)
        fire();
}

// Runs the actions pending now; one posted while these run waits for the next round.
void runActions() {
    std::deque<std::pair<unsigned, std::function<void()>>> batch;
    batch.swap(g_actions);
    for (auto& action : batch)
        action.second();
}

void handlePosted() {
    std::deque<CAsyncSocket*> batch;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        batch.swap(g_posted);
    }
    for (CAsyncSocket* socket : batch)
        CAsyncSocket::HandleNotification(socket);
}

} // namespace

void SetTimer(unsigned id, unsigned milliseconds, std::function<void()> fire) {
    g_timers[id] = Timer{Clock::now() + std::chrono::milliseconds(milliseconds), std::move(fire)};
}

void KillTimer(unsigned id) { g_timers.erase(id); }

void Post(unsigned id, std::function<void()> action) {
    Cancel(id);
    g_actions.emplace_back(id, std::move(action));
}

void Cancel(unsigned id) {
    for (auto it = g_actions.begin(); it != g_actions.end(); ++it) {
        if (it->first == id) {
            g_actions.erase(it);
            return;
        }
    }
}

void PostSocketNotify(CAsyncSocket* socket) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_posted.push_back(socket);
    }
    g_wake.notify_one();
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done())
            return true;
        handlePosted();
        fireDueTimers();
        runActions();
        if (done())
            return true;
        Clock::time_point until = g_actions.empty() ? deadline : Clock::now();
        for (const auto& entry : g_timers)
            until = std::min(until, entry.second.due);
        if (Clock::now() >= deadline)
            return done();
        std::unique_lock<std::mutex> hold(g_lock);
        g_wake.wait_until(hold, until, [] { return !g_posted.empty(); });
    }
}

void RunFor(int milliseconds) {
    RunUntil([] { return false; }, milliseconds);
}

} // namespace UiLoop
