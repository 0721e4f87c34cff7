// The main window as the program runs it, driven for the window benchmark (bench/window): the
// real window class with its trace list, meter, status bar and toolbar, its queue and pump, and
// the program's message loop with its accelerators. Settings come from the file that
// TARNWICK2_INI names (the benchmark writes one with the account). The log-on goes through
// the window's own Logon command; the transfers are requested from the window's queue as the
// window requests them ("TYPE" "I" before every "RETR" or "STOR", "UpdateLocalListCommand"
// after a batch of downloads). Output as bench/tw_transfer_driver's:
//   <op> <bytes> <files> <seconds> <cpu seconds>
// then "peak_rss_kib <n>" and "ok", or "error <text>" and exit code 1.
//
//   tw_window_driver OPERATION...
//     get REMOTE_PATH LOCAL_FOLDER
//     put LOCAL_PATH REMOTE_FOLDER
//     getmany REMOTE_FOLDER PREFIX COUNT LOCAL_FOLDER   (PREFIX0001 ... PREFIXCOUNT)
//     list REMOTE_FOLDER   (a "TreeLIST", as the remote panes request it, split and parsed;
//                           <files> is the number of entries)
#include "engine/Command.h"
#include "mainwnd/CMyMainWnd.h"
#include "net/TransferMeter.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "transfer/ListingSplitter.h"
#include "transfer/TreeListCommand.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

HINSTANCE g_hInstance = nullptr;

namespace {

constexpr ULONGLONG kOperationTimeoutMs = 30 * 60 * 1000;
constexpr ULONGLONG kLogOnTimeoutMs = 30 * 1000;

ULONGLONG g_deadline = 0;
const char* g_what = "";
const CMyMainWnd* g_window = nullptr;

double cpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double secondsSince(LARGE_INTEGER since) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - since.QuadPart) / frequency.QuadPart;
}

LARGE_INTEGER now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Also fires inside the boxes the window may open (a server error, a lost connection), which
// would otherwise wait for a user who is not there.
VOID CALLBACK checkDeadline(HWND, UINT, UINT_PTR, DWORD) {
    if (GetTickCount64() > g_deadline) {
        // Where the window stood, and the newest lines of its trace list.
        const CCommand* current = g_window->m_queue.currentCommand();
        printf("error %s: timed out (connected %d, remote folder \"%s\", %s in state %d, "
               "%ld pending)\n",
               g_what, g_window->m_bConnected ? 1 : 0, g_window->m_remotePath.c_str(),
               current ? current->getName().c_str() : "no command",
               current ? current->getState() : -1,
               static_cast<long>(g_window->m_queue.pendingCount()));
        const CBaseList& list = g_window->m_traceBar.m_list;
        for (int row = 0; row < list.getItemCount() && row < 20; ++row)
            printf("  %s\n", list.getItemText(row, 0).c_str());
        ExitProcess(1);
    }
}

bool idle(const CMyMainWnd& window) {
    const CCommand* current = window.m_queue.currentCommand();
    return window.m_queue.pendingCount() == 0 &&
           (!current || current->getState() == CMD_FINISHED);
}

// The program's message loop, until done() holds after a message.
void runUntil(CMyMainWnd& window, HACCEL accelerators, bool (*done)(const CMyMainWnd&),
              const char* what, ULONGLONG timeoutMs) {
    g_what = what;
    g_deadline = GetTickCount64() + timeoutMs;
    UINT_PTR timer = SetTimer(nullptr, 0, 500, checkDeadline);
    MSG msg;
    while (!done(window)) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            printf("error %s: the window closed\n", what);
            ExitProcess(1);
        }
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    KillTimer(nullptr, timer);
    const CCommand* current = window.m_queue.currentCommand();
    if (current && !current->getErrorCode().empty()) {
        printf("error %s: %s\n", what, current->getErrorCode().c_str());
        ExitProcess(1);
    }
}

bool loggedOn(const CMyMainWnd& window) {
    return window.m_bConnected && !window.m_remotePath.empty() && idle(window);
}

bool submit(CCommandQueue& queue, char** args, int count, const char*& op, int& files) {
    op = args[0];
    if (!strcmp(op, "get") && count >= 3) {
        queue.submit("TYPE", "I", "");
        queue.submit("RETR", args[1], args[2]);
        queue.submit("UpdateLocalListCommand", args[2], "");
        files = 1;
        return true;
    }
    if (!strcmp(op, "put") && count >= 3) {
        queue.submit("TYPE", "I", "");
        queue.submit("STOR", args[1], args[2]);
        files = 1;
        return true;
    }
    if (!strcmp(op, "getmany") && count >= 5) {
        files = atoi(args[3]);
        for (int i = 1; i <= files; ++i) {
            queue.submit("TYPE", "I", "");
            queue.submit("RETR", FormatString("%s/%s%04d", args[1], args[2], i), args[4]);
        }
        queue.submit("UpdateLocalListCommand", args[4], "");
        return true;
    }
    if (!strcmp(op, "list") && count >= 2) {
        queue.submit("TreeLIST", args[1], "");
        return true;
    }
    return false;
}

int arity(const char* op) { return !strcmp(op, "getmany") ? 5 : !strcmp(op, "list") ? 2 : 3; }

// The entries of the listing the finished TreeLIST holds, parsed as the panes parse them.
int listedEntries(const CCommandQueue& queue) {
    const auto* list = dynamic_cast<const CTreeLISTCommand*>(queue.currentCommand());
    if (!list)
        return -1;
    return static_cast<int>(CListingSplitter::split(
        list->listing().data(), list->listing().size(), [](const CFtpListEntry&, const CString&) {}));
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    const char* ini = getenv("TARNWICK2_INI");
    if (!ini || !*ini) {
        fprintf(stderr, "TARNWICK2_INI must name the settings file\n");
        return 2;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    g_hInstance = instance;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
    RegisterPrefSection("Section1");
    CMyMainWnd::registerWindowClass(instance);
    static CMyMainWnd window;
    g_window = &window;
    if (!window.create(instance, SW_SHOW)) {
        printf("error window: not created\n");
        return 1;
    }

    const LARGE_INTEGER start = now();
    PostMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0); // as the menu and Ctrl+L do
    runUntil(window, accelerators, loggedOn, "log-on", kLogOnTimeoutMs);
    printf("login 0 0 %.6f %.6f\n", secondsSince(start), cpuSeconds());

    for (int at = 1; at < argc;) {
        if (argc - at < arity(argv[at])) {
            fprintf(stderr, "incomplete operation %s\n", argv[at]);
            return 2;
        }
        const char* op = nullptr;
        int files = 0;
        const int64_t meterBefore = TotalMeterBytes();
        const double cpuBefore = cpuSeconds();
        const LARGE_INTEGER began = now();
        if (!submit(window.m_queue, argv + at, argc - at, op, files)) {
            fprintf(stderr, "unknown operation %s\n", argv[at]);
            return 2;
        }
        runUntil(window, accelerators, idle, op, kOperationTimeoutMs);
        if (!strcmp(op, "list"))
            files = listedEntries(window.m_queue);
        const double wall = secondsSince(began);
        printf("%s %lld %d %.6f %.6f\n", op,
               static_cast<long long>(TotalMeterBytes() - meterBefore), files, wall,
               cpuSeconds() - cpuBefore);
        at += arity(op);
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    // Closing as the user would: the window's own exit command ends the loop.
    SendMessageA(window.m_hWnd, WM_COMMAND, ID_EXIT, 0);
    printf("peak_rss_kib %ld\nok\n", static_cast<long>(counters.PeakWorkingSetSize / 1024));
    return 0;
}
