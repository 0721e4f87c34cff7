// A headless driver of the real engine for the transfer benchmark (bench/transfer): the queue,
// the commands and the sockets, with the test controller standing in for the main window.
// It logs on to one account and runs the operations it is given, each requested as the window
// requests it ("TYPE" "I" before every "RETR" or "STOR", "UpdateLocalListCommand" after a
// batch of downloads), and prints one line per operation:
//   <op> <bytes> <files> <seconds> <cpu seconds>
// then "peak_rss_kib <n>" and "ok", or "error <text>" and exit code 1.
//
//   tw_transfer_driver --port P --user U --password W [--server H] [--active] OPERATION...
//     get REMOTE_PATH LOCAL_FOLDER
//     put LOCAL_PATH REMOTE_FOLDER
//     getmany REMOTE_FOLDER PREFIX COUNT LOCAL_FOLDER   (PREFIX0001 ... PREFIXCOUNT)
//     list REMOTE_FOLDER   (a "TreeLIST", as the remote panes request it, split and parsed;
//                           <files> is the number of entries)
#include "engine/Command.h"
#include "engine/CommandQueue.h"
#include "engine/EnginePlatform.h"
#include "net/TransferMeter.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"
#include "transfer/ListingSplitter.h"
#include "transfer/TreeListCommand.h"

#include "tests/support/TestController.h"
#include "bench/ProcessCpu.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#endif

using testing_support::TestController;

namespace {

constexpr int kOperationTimeoutMs = 30 * 60 * 1000;

long PeakRssKib() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    // Not getrusage: Linux keeps ru_maxrss across exec, so it would count the parent's
    // memory (a script that forked us). VmHWM belongs to this program's image alone.
    FILE* status = fopen("/proc/self/status", "r");
    long kib = -1;
    char line[256];
    while (status && fgets(line, sizeof line, status)) {
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    }
    if (status)
        fclose(status);
    return kib;
#endif
}

struct Driver {
    CCommandQueue queue;
    TestController controller{&queue};

    bool idle() const {
        const CCommand* current = queue.currentCommand();
        return queue.pendingCount() == 0 && (!current || current->getState() == CMD_FINISHED);
    }
    // Runs the loop until the queue is idle; false on a timeout or a reported error.
    bool run(const char* what) {
        if (!testing_support::WaitFor([this] { return idle(); }, kOperationTimeoutMs)) {
            printf("error %s: timed out\n", what);
            return false;
        }
        for (const auto& note : controller.notes) {
            if (note.event == EV_SERVER_ERROR || note.event == EV_CONNECT_FAILED) {
                printf("error %s: %s\n", what, note.text.c_str());
                return false;
            }
        }
        return true;
    }
    bool logOn() {
        if (!queue.submit("LOGIN", "Bench", ""))
            return false;
        bool ok =
            testing_support::WaitFor([this] { return controller.connected && idle(); }, 30000);
        return ok && run("log-on");
    }
};

void account(const char* server, int port, const char* user, const char* password, bool passive) {
    SetPrefString(PREFS_SECTION, "DEFAULT", "Bench");
    const char* section = "USERPREFS/Bench";
    SetPrefString(section, "SERVER", server);
    SetPrefInt(section, "PORT", port);
    SetPrefString(section, "USER", user);
    SetPrefString(section, "WORD", password);
    SetPrefInt(section, "WORDSAVED", 1);
    SetPrefString(section, "ANONYMOUS", "N");
    SetPrefString(section, "PASV", passive ? "Y" : "N");
}

// Submits one operation's requests.
bool submit(Driver& d, char** args, int count, const char*& op, int& files) {
    op = args[0];
    if (!strcmp(op, "get") && count >= 3) {
        d.queue.submit("TYPE", "I", "");
        d.queue.submit("RETR", args[1], args[2]);
        d.queue.submit("UpdateLocalListCommand", args[2], "");
        files = 1;
        return true;
    }
    if (!strcmp(op, "put") && count >= 3) {
        d.queue.submit("TYPE", "I", "");
        d.queue.submit("STOR", args[1], args[2]);
        files = 1;
        return true;
    }
    if (!strcmp(op, "getmany") && count >= 5) {
        files = atoi(args[3]);
        for (int i = 1; i <= files; ++i) {
            d.queue.submit("TYPE", "I", "");
            d.queue.submit("RETR", FormatString("%s/%s%04d", args[1], args[2], i), args[4]);
        }
        d.queue.submit("UpdateLocalListCommand", args[4], "");
        return true;
    }
    if (!strcmp(op, "list") && count >= 2) {
        d.queue.submit("TreeLIST", args[1], "");
        return true;
    }
    return false;
}

int arity(const char* op) {
    return !strcmp(op, "getmany") ? 5 : !strcmp(op, "list") ? 2 : 3;
}

// The entries of the listing the finished TreeLIST holds, parsed as the panes parse them.
int listedEntries(const CCommandQueue& queue) {
    const auto* list = dynamic_cast<const CTreeLISTCommand*>(queue.currentCommand());
    if (!list)
        return -1;
    return static_cast<int>(CListingSplitter::split(
        list->listing().data(), list->listing().size(), [](const CFtpListEntry&, const CString&) {}));
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    const char* server = "127.0.0.1";
    const char* user = "anonymous";
    const char* password = "bench@example.com";
    int port = 21;
    bool passive = true;
    int at = 1;
    for (; at < argc && !strncmp(argv[at], "--", 2); ++at) {
        std::string flag = argv[at];
        if (flag == "--active") {
            passive = false;
        } else if (at + 1 < argc && flag == "--server") {
            server = argv[++at];
        } else if (at + 1 < argc && flag == "--port") {
            port = atoi(argv[++at]);
        } else if (at + 1 < argc && flag == "--user") {
            user = argv[++at];
        } else if (at + 1 < argc && flag == "--password") {
            password = argv[++at];
        } else {
            fprintf(stderr, "unknown option %s\n", flag.c_str());
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    testing_support::ScopedPrefs prefs; // a private settings file, removed at the end
    account(server, port, user, password, passive);
    SetConnectQuestionHook([] { return true; });
    Driver driver;
    driver.controller.keepTraces = false;
    const auto start = std::chrono::steady_clock::now();
    if (!driver.logOn())
        return 1;
    printf("login 0 0 %.6f %.6f\n", seconds(start), bench::ProcessCpuSeconds());
    while (at < argc) {
        if (argc - at < arity(argv[at])) {
            fprintf(stderr, "incomplete operation %s\n", argv[at]);
            return 2;
        }
        const char* op = nullptr;
        int files = 0;
        const int64_t meterBefore = TotalMeterBytes();
        const double cpuBefore = bench::ProcessCpuSeconds();
        const auto began = std::chrono::steady_clock::now();
        if (!submit(driver, argv + at, argc - at, op, files)) {
            fprintf(stderr, "unknown operation %s\n", argv[at]);
            return 2;
        }
        if (!driver.run(op))
            return 1;
        if (!strcmp(op, "list"))
            files = listedEntries(driver.queue);
        const double wall = seconds(began);
        // What the transfer meter counted: every byte received or sent on a data connection.
        const int64_t bytes = TotalMeterBytes() - meterBefore;
        printf("%s %lld %d %.6f %.6f\n", op, static_cast<long long>(bytes), files, wall,
               bench::ProcessCpuSeconds() - cpuBefore);
        at += arity(op);
    }
    driver.queue.submit("QUIT", "", "");
    testing_support::WaitFor([&driver] { return driver.idle(); }, 5000);
    printf("peak_rss_kib %ld\nok\n", PeakRssKib());
    return 0;
}
