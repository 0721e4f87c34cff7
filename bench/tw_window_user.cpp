// Drives the real Tarnwick2.exe for the window benchmark (bench/window) as a user would, from
// another process: it starts the program (the settings file that TARNWICK2_INI names holds the
// account and the local folder to open), chooses the menu commands by sending the main window
// their WM_COMMAND, selects folders in the trees and rows in the lists with the controls' own
// messages, and sees what happened the way the user sees it: the rows in the panes, the
// status bar, the files on disk. Nothing in the program knows it is being measured.
// Output as bench/tw_transfer_driver's:
//   <op> <bytes> <files> <seconds> <cpu seconds of the program>
// then "peak_rss_kib <n>" (the program's peak working set) and "ok", or "error <text>" with
// where the window stood, and exit code 1.
//
//   tw_window_user PROGRAM OPERATION...
//     get REMOTE_FOLDER NAME LOCAL_FOLDER      select NAME in the remote list, Retrieve
//     getall REMOTE_FOLDER COUNT LOCAL_FOLDER  select every row (COUNT files), Retrieve
//     put LOCAL_FOLDER NAME SERVER_FOLDER      select NAME in the local list, Send To Server
//                                              into the remote root (SERVER_FOLDER: where
//                                              the server keeps it, to check the size)
//     fillremote REMOTE_FOLDER COUNT           select the folder in the remote tree
//     filllocal NAME COUNT                     select the local folder's subfolder NAME
// LOCAL_FOLDER is the folder the local tree opens with (the settings' LASTDIR); REMOTE_FOLDER
// is a path below the folder the server starts in ("/", "/small"). The log-on (File > Logon)
// comes first and is timed as "login"; the clicks that lead to a command (opening folders,
// selecting rows) are not timed, the command and everything it makes the window do until the
// panes show the result are.
#include "res/resource.h"

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStartTimeoutMs = 60 * 1000;
constexpr DWORD kLogOnTimeoutMs = 30 * 1000;
constexpr DWORD kStepTimeoutMs = 60 * 1000;       // opening a folder, a listing
constexpr DWORD kOperationTimeoutMs = 15 * 60 * 1000;
constexpr DWORD kSendTimeoutMs = 10 * 1000;       // one message to a control
constexpr DWORD kPollMs = 2;
const char* const kPartialSuffix = ".TarnwickPart";

struct Program {
    PROCESS_INFORMATION process = {};
    HWND main = nullptr;
    HWND leftTree = nullptr, rightTree = nullptr;
    HWND leftList = nullptr, rightList = nullptr, traceList = nullptr;
    HWND status = nullptr;
};

Program g;

double now() {
    LARGE_INTEGER t, frequency;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

std::string fileText(const std::string& path) {
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char block[4096];
    DWORD got = 0;
    while (text.size() < (1u << 16) && ReadFile(file, block, sizeof block, &got, nullptr) && got)
        text.append(block, got);
    CloseHandle(file);
    return text;
}

// Lower case, backslashes, no drive: the one spelling of a path under Wine's Z: drive.
std::string samePath(std::string path) {
    for (char& c : path)
        c = c == '/' ? '\\' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return path.compare(0, 2, "z:") ? path : path.substr(2);
}

// Wine reports no CPU times for another process, so they are read where Linux keeps them:
// the program's own Linux process is the one whose first argument is the program's path.
std::string g_procStat;

void findProgramStat(const std::string& exe) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!isdigit(static_cast<unsigned char>(data.cFileName[0])))
            continue;
        const std::string folder = std::string("Z:\\proc\\") + data.cFileName;
        const std::string arguments = fileText(folder + "\\cmdline");
        if (samePath(arguments.c_str()) == samePath(exe)) {
            g_procStat = folder + "\\stat";
            break;
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// User and kernel seconds of the program, 0 when they cannot be read.
double programCpu() {
    const std::string stat = fileText(g_procStat);
    const size_t name = stat.rfind(')');
    if (g_procStat.empty() || name == std::string::npos)
        return 0;
    // After the name: state, then ten fields, then user and kernel time in 1/100 s.
    const char* at = stat.c_str() + name + 1;
    for (int field = 0; field < 11 && at; ++field)
        at = strchr(at + 1, ' ');
    if (!at)
        return 0;
    char* end = nullptr;
    const double user = strtod(at, &end);
    const double kernel = strtod(end, nullptr);
    return (user + kernel) / 100.0;
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
             DWORD timeoutMs = kSendTimeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// A block of memory inside the program, for the controls' messages that carry a pointer.
class RemoteBlock {
public:
    explicit RemoteBlock(size_t size) : m_size(size) {
        m_at = static_cast<char*>(VirtualAllocEx(g.process.hProcess, nullptr, size,
                                                 MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (m_at)
            VirtualFreeEx(g.process.hProcess, m_at, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    bool ok() const { return m_at != nullptr; }
    char* at(size_t offset = 0) const { return m_at + offset; }
    LPARAM param() const { return reinterpret_cast<LPARAM>(m_at); }
    bool write(const void* data, size_t size, size_t offset = 0) const {
        return offset + size <= m_size &&
               WriteProcessMemory(g.process.hProcess, m_at + offset, data, size, nullptr);
    }
    bool read(void* data, size_t size, size_t offset = 0) const {
        return offset + size <= m_size &&
               ReadProcessMemory(g.process.hProcess, m_at + offset, data, size, nullptr);
    }

private:
    char* m_at = nullptr;
    size_t m_size = 0;
};

constexpr int kTextRoom = 1024;

std::string readText(const RemoteBlock& block, size_t offset) {
    std::vector<char> text(kTextRoom + 1, '\0');
    block.read(text.data(), kTextRoom, offset);
    return text.data();
}

int rowCount(HWND list) {
    return static_cast<int>(send(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string rowText(HWND list, int row) {
    RemoteBlock block(sizeof(LVITEMA) + kTextRoom);
    if (!block.ok())
        return "";
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = block.at(sizeof item);
    item.cchTextMax = kTextRoom;
    block.write(&item, sizeof item);
    send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), block.param());
    return readText(block, sizeof item);
}

// Row -1 is every row, as a click with Ctrl+A would select them.
bool setSelected(HWND list, int row, bool selected) {
    RemoteBlock block(sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    return block.ok() && block.write(&item, sizeof item) &&
           send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), block.param()) == TRUE;
}

std::string nodeText(HWND tree, HTREEITEM node) {
    RemoteBlock block(sizeof(TVITEMA) + kTextRoom);
    if (!block.ok())
        return "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = node;
    item.pszText = block.at(sizeof item);
    item.cchTextMax = kTextRoom;
    block.write(&item, sizeof item);
    send(tree, TVM_GETITEMA, 0, block.param());
    return readText(block, sizeof item);
}

HTREEITEM nextNode(HWND tree, UINT code, HTREEITEM node) {
    return reinterpret_cast<HTREEITEM>(
        send(tree, TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(node)));
}

HTREEITEM childNamed(HWND tree, HTREEITEM parent, const std::string& name) {
    // Bounded by the control's own count of nodes.
    const int count = static_cast<int>(send(tree, TVM_GETCOUNT, 0, 0));
    HTREEITEM child = nextNode(tree, TVGN_CHILD, parent);
    for (int i = 0; child && i < count; ++i, child = nextNode(tree, TVGN_NEXT, child)) {
        if (nodeText(tree, child) == name)
            return child;
    }
    return nullptr;
}

std::string windowText(HWND window) {
    char text[kTextRoom] = "";
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, kSendTimeoutMs, &length);
    return text;
}

BOOL CALLBACK collectBox(HWND window, LPARAM param) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == g.process.dwProcessId && window != g.main && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

BOOL CALLBACK printBoxText(HWND child, LPARAM) {
    const std::string text = windowText(child);
    if (!text.empty())
        printf("    \"%s\"\n", text.c_str());
    return TRUE;
}

// Where the window stood: the status bar, the panes' rows, the newest trace lines, and any
// box the program is waiting on.
void printWhereThingsStand() {
    printf("  status bar \"%s\"; rows: local %d, remote %d; remote tree at \"%s\"\n",
           windowText(g.status).c_str(), rowCount(g.leftList), rowCount(g.rightList),
           nodeText(g.rightTree, nextNode(g.rightTree, TVGN_CARET, nullptr)).c_str());
    const int rows = rowCount(g.traceList);
    for (int row = 0; row < rows && row < 15; ++row)
        printf("  trace: %s\n", rowText(g.traceList, row).c_str());
    std::vector<HWND> boxes;
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) {
        printf("  open window \"%s\":\n", windowText(box).c_str());
        EnumChildWindows(box, printBoxText, 0);
    }
}

[[noreturn]] void fail(const char* what, const char* why) {
    printf("error %s: %s\n", what, why);
    if (g.main)
        printWhereThingsStand();
    if (g.process.hProcess)
        TerminateProcess(g.process.hProcess, 1);
    ExitProcess(1);
}

// Polls done() until it holds; bounded by timeoutMs.
template <class Done> void waitFor(const char* what, DWORD timeoutMs, Done done) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (WaitForSingleObject(g.process.hProcess, 0) == WAIT_OBJECT_0)
            fail(what, "the program ended");
        if (GetTickCount64() > deadline)
            fail(what, "timed out");
        Sleep(kPollMs);
    }
}

// Files in a folder: how many, their bytes, and whether a partial download is among them.
struct FolderState {
    int files = 0;
    long long bytes = 0;
    bool partial = false;
};

FolderState folderState(const std::string& folder) {
    FolderState state;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return state;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const size_t length = strlen(data.cFileName), suffix = strlen(kPartialSuffix);
        if (length > suffix && !strcmp(data.cFileName + length - suffix, kPartialSuffix))
            state.partial = true;
        ++state.files;
        state.bytes += (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return state;
}

long long fileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

BOOL CALLBACK findMain(HWND window, LPARAM) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (owner == g.process.dwProcessId && !strcmp(name, "MainWClass")) {
        g.main = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findControl(HWND child, LPARAM) {
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    const int id = GetDlgCtrlID(child);
    const bool direct = GetParent(child) == g.main;
    if (!strcmp(name, WC_TREEVIEWA) && direct)
        (id == IDC_FIRST_TREE ? g.leftTree : g.rightTree) = child;
    else if (!strcmp(name, WC_LISTVIEWA) && id == IDC_TRACE_LIST)
        g.traceList = child;
    else if (!strcmp(name, WC_LISTVIEWA) && direct)
        (id == IDC_FIRST_LIST ? g.leftList : g.rightList) = child;
    else if (!strcmp(name, STATUSCLASSNAMEA) && direct)
        g.status = child;
    return TRUE;
}

void start(const char* exe) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + exe + "\"";
    if (!CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &g.process))
        fail("start", "the program did not start");
    waitFor("start", kStartTimeoutMs, [] {
        EnumWindows(findMain, 0);
        return g.main && IsWindowVisible(g.main);
    });
    WaitForInputIdle(g.process.hProcess, kStartTimeoutMs);
    findProgramStat(exe);
    if (g_procStat.empty())
        printf("note: the program's CPU time is not known\n");
    EnumChildWindows(g.main, findControl, 0);
    if (!g.leftTree || !g.rightTree || !g.leftList || !g.rightList || !g.traceList || !g.status)
        fail("start", "the panes, the trace list or the status bar were not found");
}

void command(int id) {
    PostMessageA(g.main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool ready() {
    return windowText(g.status) == "Ready";
}

// Selects the node as a click on it would; the program handles the selection before this
// returns (the message is sent to its window's thread).
void selectNode(HWND tree, HTREEITEM node, DWORD timeoutMs) {
    send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node), timeoutMs);
}

// When each operation's timing starts: after the clicks that lead to the command.
struct Clock {
    double began = 0, cpu = 0;
    void start() {
        cpu = programCpu();
        began = now();
    }
};

Clock g_clock;

// Opens a remote folder below the one the server started in, one level at a time, and waits
// for its rows: rows >= 0 is the number expected, -1 any. With timed, the clock starts as the
// last folder is selected.
void openRemoteFolder(const std::string& path, int rows, const char* what, bool timed) {
    HTREEITEM node = nextNode(g.rightTree, TVGN_ROOT, nullptr);
    size_t at = 0;
    while (at < path.size()) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string name = path.substr(at, slash - at);
        at = slash + 1;
        if (name.empty())
            continue;
        HTREEITEM child = nullptr;
        waitFor(what, kStepTimeoutMs,
                [&] { return (child = childNamed(g.rightTree, node, name)) != nullptr; });
        if (timed && path.find_first_not_of('/', at) == std::string::npos)
            g_clock.start();
        selectNode(g.rightTree, child, kSendTimeoutMs);
        node = child;
    }
    waitFor(what, timed ? kOperationTimeoutMs : kStepTimeoutMs, [&] {
        return ready() && (rows < 0 ? rowCount(g.rightList) > 0 : rowCount(g.rightList) == rows);
    });
}

// Paints what is left to paint of a list now, in the program's thread, and returns when it
// is drawn: the fill counts until the user can see the rows.
void drawn(HWND list) {
    RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW);
}

int rowNamed(HWND list, const std::string& name) {
    const int rows = rowCount(list);
    for (int row = 0; row < rows; ++row) {
        if (rowText(list, row) == name)
            return row;
    }
    return -1;
}

void selectOnly(HWND list, const std::string& name, const char* what) {
    const int row = rowNamed(list, name);
    if (row < 0)
        fail(what, ("no row " + name).c_str());
    setSelected(list, -1, false);
    setSelected(list, row, true);
}

struct Result {
    long long bytes = 0;
    int files = 0;
};

// The downloads end when the local list shows the files (it is read again after the last
// one) and the folder holds them whole. Until the last file has its own name (a download is
// renamed from its partial name when whole), only the disk is looked at: every look at a
// list is a message the program's thread must answer, and would slow what is measured.
Result retrieve(const char* what, int files, const std::string& localFolder,
                const std::string& lastName) {
    const std::string last = localFolder + "\\" + lastName;
    FolderState state;
    waitFor(what, kOperationTimeoutMs, [&] {
        if (fileSize(last) < 0 || rowCount(g.leftList) != files)
            return false;
        state = folderState(localFolder);
        return state.files == files && !state.partial;
    });
    return {state.bytes, files};
}

Result run(const char* op, char** args) {
    if (!strcmp(op, "get") || !strcmp(op, "getall")) {
        const bool all = !strcmp(op, "getall");
        const int files = all ? atoi(args[1]) : 1;
        openRemoteFolder(args[0], all ? files : -1, op, false);
        // The rows are retrieved in the list's order.
        const std::string last = all ? rowText(g.rightList, files - 1) : args[1];
        if (all)
            setSelected(g.rightList, -1, true);
        else
            selectOnly(g.rightList, args[1], op);
        g_clock.start();
        command(ID_RETRIEVE); // FTP Actions > Retrieve from Server
        return retrieve(op, files, args[2], last);
    }
    if (!strcmp(op, "put")) {
        const std::string name = args[1];
        const long long size = fileSize(std::string(args[0]) + "\\" + name);
        const std::string target = std::string(args[2]) + "\\" + name;
        const int before = rowCount(g.rightList);
        selectOnly(g.leftList, name, op);
        g_clock.start();
        command(ID_SEND); // FTP Actions > Send To Server
        // The remote list is read again after the upload: it then shows the new file. (The
        // disk first, as for a download.)
        waitFor(op, kOperationTimeoutMs, [&] {
            return fileSize(target) == size && rowCount(g.rightList) == before + 1 && ready();
        });
        return {size, 1};
    }
    if (!strcmp(op, "fillremote")) {
        const int rows = atoi(args[1]);
        openRemoteFolder(args[0], rows, op, true);
        drawn(g.rightList);
        return {0, rows};
    }
    if (!strcmp(op, "filllocal")) {
        const int rows = atoi(args[1]);
        // The folder's node is found first (the tree reads the subfolders as it expands);
        // selecting it is what is timed.
        HTREEITEM folder = nextNode(g.leftTree, TVGN_CARET, nullptr);
        send(g.leftTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(folder));
        HTREEITEM child = childNamed(g.leftTree, folder, args[0]);
        if (!child)
            fail(op, "no such subfolder in the local tree");
        g_clock.start();
        selectNode(g.leftTree, child, kOperationTimeoutMs);
        waitFor(op, kOperationTimeoutMs, [&] { return rowCount(g.leftList) == rows; });
        drawn(g.leftList);
        return {0, rows};
    }
    fail(op, "unknown operation");
}

int arity(const char* op) {
    if (!strcmp(op, "fillremote") || !strcmp(op, "filllocal"))
        return 2;
    return 3;
}

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        fprintf(stderr, "usage: tw_window_user PROGRAM OPERATION...\n");
        return 2;
    }
    for (int at = 2; at < argc; at += 1 + arity(argv[at])) {
        if (argc - at - 1 < arity(argv[at])) {
            fprintf(stderr, "incomplete operation %s\n", argv[at]);
            return 2;
        }
    }
    start(argv[1]);

    g_clock.start();
    command(ID_LOGON); // as File > Logon and Ctrl+L do
    waitFor("log-on", kLogOnTimeoutMs, [] {
        return ready() && rowCount(g.rightList) > 0 &&
               nodeText(g.rightTree, nextNode(g.rightTree, TVGN_ROOT, nullptr)) != "Not Connected";
    });
    printf("login 0 0 %.6f %.6f\n", now() - g_clock.began, programCpu() - g_clock.cpu);

    for (int at = 2; at < argc; at += 1 + arity(argv[at])) {
        const char* op = argv[at];
        const Result result = run(op, argv + at + 1);
        printf("%s %lld %d %.6f %.6f\n", op, result.bytes, result.files, now() - g_clock.began,
               programCpu() - g_clock.cpu);
    }

    PROCESS_MEMORY_COUNTERS counters = {};
    GetProcessMemoryInfo(g.process.hProcess, &counters, sizeof counters);
    command(ID_EXIT); // File > Exit
    if (WaitForSingleObject(g.process.hProcess, kStepTimeoutMs) != WAIT_OBJECT_0)
        fail("exit", "the program did not close");
    printf("peak_rss_kib %ld\nok\n", static_cast<long>(counters.PeakWorkingSetSize / 1024));
    return 0;
}
