#pragma once
// The user-interface thread's loop, as far as the engine and its drivers need one: socket
// notifications, one-shot timers, and running until a condition holds or a deadline passes.
// On Windows this is the thread's message loop (timers are thread timers, so they also fire
// inside modal loops); elsewhere it is a small loop of our own. Engine code never waits: it is
// called from here.
#include <functional>

class CAsyncSocket;

namespace UiLoop {

// Arms a one-shot timer; arming an id that is armed already replaces it.
void SetTimer(unsigned id, unsigned milliseconds, std::function<void()> fire);
void KillTimer(unsigned id);

// Runs action on the loop's thread as soon as the loop runs again, that is after the caller
// (a handler or a callback) has returned: no timer's granularity in between. Actions run in
// the order they were posted. One action per id is pending at a time: posting an id that is
// pending drops the earlier action and puts the new one last. Cancel drops a pending action.
void Post(unsigned id, std::function<void()> action);
void Cancel(unsigned id);

// Runs the loop until done() is true or timeoutMs passed; returns done().
bool RunUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the loop for the given time.
void RunFor(int milliseconds);

// Called by a waiter thread: handle a notification for socket on the loop's thread.
void PostSocketNotify(CAsyncSocket* socket);

#ifdef _WIN32
// Makes sure a visible window receives the socket notifications, creating a small one when no
// window has been registered (headless drivers and tests). The main window registers itself.
void EnsureNotifyWindow();
#endif

} // namespace UiLoop
