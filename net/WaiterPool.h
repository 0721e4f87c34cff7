#pragma once
// The threads that wait for socket events. A thread whose socket is closed stays for a while
// to wait for the next socket instead of ending: a session opens a data connection for every
// file and listing, and starting a thread for each cost more than a small file's transfer
// (under Wine most of all).
#include <functional>

namespace WaiterPool {

// Runs job (a socket's waiting loop, which returns when its socket is done) on an idle pooled
// thread, or on a new one when none is idle.
void Run(std::function<void()> job);

} // namespace WaiterPool
