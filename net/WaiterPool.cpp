#include "net/WaiterPool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace WaiterPool {
namespace {

// Idle threads beyond this many end at once; an idle thread ends after kIdleLife.
constexpr size_t kMaxIdle = 8;
constexpr std::chrono::seconds kIdleLife(30);

struct Worker {
    std::condition_variable given;
    std::function<void()> job;
};

struct Pool {
    std::mutex lock;
    std::vector<Worker*> idle;
};

// Never destroyed: detached threads may still wait on it while the process ends.
Pool& pool() {
    static Pool* instance = new Pool;
    return *instance;
}

void work(Worker* self, std::function<void()> job) {
    Pool& p = pool();
    for (;;) {
        job();
        job = nullptr; // lets go of the socket's waiter before idling
        std::unique_lock<std::mutex> hold(p.lock);
        if (p.idle.size() >= kMaxIdle)
            break;
        p.idle.push_back(self);
        // Run hands out a job and takes the worker off the idle list under the one lock, so
        // a worker without a job after the wait is still on the list.
        if (!self->given.wait_for(hold, kIdleLife, [self] { return bool(self->job); })) {
            p.idle.erase(std::find(p.idle.begin(), p.idle.end(), self));
            break;
        }
        job = std::move(self->job);
        self->job = nullptr;
    }
    delete self;
}

} // namespace

void Run(std::function<void()> job) {
    Pool& p = pool();
    {
        std::lock_guard<std::mutex> hold(p.lock);
        if (!p.idle.empty()) {
            Worker* worker = p.idle.back();
            p.idle.pop_back();
            worker->job = std::move(job);
            worker->given.notify_one();
            return;
        }
    }
    std::thread(work, new Worker, std::move(job)).detach();
}

} // namespace WaiterPool
