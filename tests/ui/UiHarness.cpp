#include "tests/ui/UiHarness.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <utility>

namespace ui_test {

void PumpPending() {
    MSG msg;
    // Bounded: a window that keeps posting to itself cannot hold the test here.
    for (int n = 0; n < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (PumpPending(); !done() && GetTickCount64() < deadline; PumpPending())
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    return done();
}

namespace {

HWND findVisible(const char* className, const char* title) {
    HWND window = nullptr;
    for (int n = 0; n < 1000 && (window = FindWindowExA(nullptr, window, className, title)); ++n) {
        if (IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// The scripted dialog of the innermost RunModal: a thread timer looks for it from inside the
// dialog's own loop, runs the script once, and ends the dialog at the deadline.
struct ModalRun {
    const char* title;
    const std::function<void(HWND)>& script;
    ULONGLONG deadline = GetTickCount64() + kDefaultTimeoutMs;
    bool ran = false;
    HWND stillOpen = nullptr;
};

ModalRun* g_modal = nullptr;
BoxAnswers* g_boxes = nullptr;

void CALLBACK modalTick(HWND, UINT, UINT_PTR, DWORD) {
    ModalRun* run = g_modal;
    HWND dialog = run ? findVisible("#32770", run->title) : nullptr;
    if (run && GetTickCount64() >= run->deadline) {
        run->deadline = ~0ull;
        if ((run->stillOpen = dialog))
            EndDialog(dialog, IDCANCEL);
    } else if (run && !run->ran && dialog) { // once, not again from a loop the script opened
        run->ran = true;
        run->script(dialog);
    }
}

} // namespace

INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script) {
    ModalRun run{title, script};
    ModalRun* outer = std::exchange(g_modal, &run);
    UINT_PTR timer = SetTimer(nullptr, 0, 30, &modalTick);
    INT_PTR result = open();
    KillTimer(nullptr, timer);
    g_modal = outer;
    EXPECT_TRUE(run.ran && !run.stillOpen)
        << "the dialog \"" << (title ? title : "(any)") << "\" never appeared or stayed open";
    return result;
}

BoxAnswers::BoxAnswers(const char* title, std::vector<int> answers)
    : m_titles(CString(title) + "|"), m_answers(std::move(answers)), m_outer(g_boxes),
      m_timer(SetTimer(nullptr, 0, 30, &tick)) {
    g_boxes = this;
}

BoxAnswers::~BoxAnswers() {
    KillTimer(nullptr, m_timer);
    g_boxes = m_outer;
}

void CALLBACK BoxAnswers::tick(HWND, UINT, UINT_PTR, DWORD) {
    BoxAnswers* self = g_boxes;
    HWND box = nullptr;
    for (size_t at = 0, end; self && !box && (end = self->m_titles.find('|', at)) != CString::npos;
         at = end + 1)
        box = findVisible("#32770", self->m_titles.substr(at, end - at).c_str());
    if (!box || box == self->m_last || !GetDlgItem(box, 0xFFFF)) // message boxes only, once
        return;
    self->m_last = box;
    size_t n = self->texts.size();
    self->texts.push_back(GetText(box, 0xFFFF));
    if (self->before)
        self->before(self->texts.back());
    PostMessageA(box, WM_COMMAND, n < self->m_answers.size() ? self->m_answers[n] : IDCANCEL, 0);
}

void ClickInto(HWND dialog, int button, const char* title,
               const std::function<void(HWND)>& script) {
    RunModal([&] { return ClickButton(dialog, button), INT_PTR(0); }, title, script);
}

std::vector<CString> ListRows(HWND list, int columns) {
    std::vector<CString> rows(static_cast<size_t>(ListView_GetItemCount(list)));
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        for (int column = 0; column < columns; ++column) {
            char text[512] = "";
            ListView_GetItemText(list, row, column, text, sizeof text);
            rows[row] += (column ? "|" : "") + CString(text);
        }
    }
    return rows;
}

void SelectRows(HWND list, const std::vector<CString>& texts) {
    const std::vector<CString> rows = ListRows(list);
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool on = std::count(texts.begin(), texts.end(), rows[i]) > 0;
        ListView_SetItemState(list, i, on ? LVIS_SELECTED | LVIS_FOCUSED : 0,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void SetText(HWND dialog, int id, const CString& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

CString GetText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::vector<char> text(static_cast<size_t>(control ? GetWindowTextLengthA(control) : 0) + 1);
    GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return CString(text.data());
}

void ClickButton(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Click(HWND window, int x, int y, bool right) {
    POINT screen = {x, y};
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y); // controls read the message position too
    // The button-up waits in the queue: a control that tracks the mouse after a press finds
    // it there and ends its tracking.
    PostMessageA(window, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                 MAKELPARAM(x, y));
    PostMessageA(window, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    PumpPending();
}

bool SaveScreenshot(HWND window, const char* name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpPending();
    RECT r;
    if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top)
        return false;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = r.right - r.left;
    info.biHeight = r.bottom - r.top;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<char> bits(static_cast<size_t>((info.biWidth * 3 + 3) & ~3) * info.biHeight);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, info.biWidth, info.biHeight);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool ok = BitBlt(memory, 0, 0, info.biWidth, info.biHeight, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    ok = ok && GetDIBits(memory, bitmap, 0, info.biHeight, bits.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) == info.biHeight;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    char module[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    CString folder = CString(module).Left(CString(module).ReverseFind('\\')) + "\\artifacts";
    CreateDirectoryA(folder.c_str(), nullptr);
    BITMAPFILEHEADER head = {};
    head.bfType = 0x4D42; // "BM"
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = static_cast<DWORD>(head.bfOffBits + bits.size());
    std::ofstream out((folder + "\\" + name).c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(bits.data(), static_cast<std::streamsize>(bits.size()));
    return ok && out.good();
}

} // namespace ui_test

namespace {
// A crash ends the program with a message instead of waiting in a debugger's dialog.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "ui test crashed: exception 0x%08lx\n", info->ExceptionRecord->ExceptionCode);
    fflush(stderr);
    ExitProcess(3);
}
} // namespace

// The common controls are registered before any test makes a window, as the program does.
int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(&reportCrash);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&controls))
        return fprintf(stderr, "the common controls could not be registered\n"), 2;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
