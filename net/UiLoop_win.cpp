#include "net/UiLoop.h"

#include "net/AsyncSocket.h"

#include <deque>
#include <map>
#include <utility>

namespace UiLoop {
namespace {

// Thread timers: they fire from whatever message loop runs, modal ones included.
struct Timer {
    UINT_PTR system = 0;
    std::function<void()> fire;
};
std::map<unsigned, Timer> g_timers;
std::map<UINT_PTR, unsigned> g_bySystem;

VOID CALLBACK onTimer(HWND, UINT, UINT_PTR system, DWORD) {
    ::KillTimer(nullptr, system);
    auto found = g_bySystem.find(system);
    if (found == g_bySystem.end())
        return;
    unsigned id = found->second;
    g_bySystem.erase(found);
    std::function<void()> fire = std::move(g_timers[id].fire);
    g_timers.erase(id);
    if (fire)
        fire();
}

// Posted actions go through a message-only window of their own, so that modal loops (a message
// box open in a callback) dispatch them as they dispatch timers; thread messages they would drop.
constexpr UINT WM_RUN_ACTIONS = WM_USER + 102;
HWND g_actionWindow = nullptr;
bool g_actionsPosted = false;
std::deque<std::pair<unsigned, std::function<void()>>> g_actions;

// Timer id of the fallback when the message queue is full.
constexpr unsigned kActionsTimer = 0xFFFFFFFFu;

void runActions() {
    g_actionsPosted = false;
    // The actions pending now; one posted while these run comes with the next message.
    std::deque<std::pair<unsigned, std::function<void()>>> batch;
    batch.swap(g_actions);
    for (auto& action : batch)
        action.second();
}

LRESULT CALLBACK actionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_RUN_ACTIONS)
        return DefWindowProcA(window, message, wParam, lParam);
    runActions();
    return 0;
}

HWND actionWindow() {
    if (!g_actionWindow) {
        static const char kClass[] = "Tarnwick2LoopActions";
        WNDCLASSA wc = {};
        wc.lpfnWndProc = actionWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassA(&wc); // a second registration fails harmlessly
        g_actionWindow = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         wc.hInstance, nullptr);
    }
    return g_actionWindow;
}

LRESULT CALLBACK notifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SOCKET_NOTIFY) {
        CAsyncSocket::HandleNotification(reinterpret_cast<CAsyncSocket*>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void SetTimer(unsigned id, unsigned milliseconds, std::function<void()> fire) {
    KillTimer(id);
    UINT_PTR system = ::SetTimer(nullptr, 0, milliseconds ? milliseconds : 1, onTimer);
    if (!system)
        return;
    g_timers[id] = Timer{system, std::move(fire)};
    g_bySystem[system] = id;
}

void KillTimer(unsigned id) {
    auto found = g_timers.find(id);
    if (found == g_timers.end())
        return;
    ::KillTimer(nullptr, found->second.system);
    g_bySystem.erase(found->second.system);
    g_timers.erase(found);
}

void Post(unsigned id, std::function<void()> action) {
    Cancel(id);
    g_actions.emplace_back(id, std::move(action));
    if (g_actionsPosted)
        return;
    if (PostMessageA(actionWindow(), WM_RUN_ACTIONS, 0, 0))
        g_actionsPosted = true;
    else // a full message queue: a timer still runs them
        SetTimer(kActionsTimer, 1, runActions);
}

void Cancel(unsigned id) {
    for (auto it = g_actions.begin(); it != g_actions.end(); ++it) {
        if (it->first == id) {
            g_actions.erase(it);
            return;
        }
    }
}

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the outer loop
                return done();
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (done())
                return true;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= static_cast<DWORD>(timeoutMs))
            return done();
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(timeoutMs) - elapsed,
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void RunFor(int milliseconds) {
    RunUntil([] { return false; }, milliseconds);
}

void PostSocketNotify(CAsyncSocket* socket) {
    PostMessageA(CAsyncSocket::GetNotifyWindow(), WM_SOCKET_NOTIFY,
                 reinterpret_cast<WPARAM>(socket), 0);
}

void EnsureNotifyWindow() {
    HWND existing = CAsyncSocket::GetNotifyWindow();
    if (existing && IsWindowVisible(existing))
        return;
    static const char kClass[] = "Tarnwick2NotifyWindow";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = notifyWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc); // a second registration fails harmlessly
    // Visible (the waiters stop while the window is hidden) but tiny and off to the side.
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClass, "Tarnwick2",
                                  WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    CAsyncSocket::SetNotifyWindow(window);
}

} // namespace UiLoop
