#pragma once
// Helpers for the ui tests, which drive the program's real windows and dialogs under Wine.
// Every wait goes through PumpUntil (the message loop with a deadline; no sleeps). Dialogs and
// popup menus are driven from inside their own modal loops (RunModal, ChoosePopupItem); message
// boxes are answered while a BoxAnswers lives. A dialog, menu or box that does not appear, or
// stays open past the deadline, fails the test and is ended instead of hanging it.
// The main() of every ui test program (UiHarness.cpp) registers the common controls first.
#include "common/CString.h"
#include "panes/PaneOwner.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace ui_test {

constexpr DWORD kDefaultTimeoutMs = 10000; // generous for a loaded machine

// Dispatches messages until done() is true or timeoutMs passed; returns done()'s last value.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kDefaultTimeoutMs);
void PumpPending();

// Stands in for the main window: owns panes, hands their WM_NOTIFY to the pane that sent it
// and records the WM_COMMAND ids it receives.
class HostWindow : public IPaneOwner {
public:
    HostWindow();
    ~HostWindow() override;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND ownerWindow() const override { return m_hWnd; }
    HIMAGELIST smallImageList() const override { return m_images; }
    std::vector<int> commands;

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    HIMAGELIST m_images = nullptr;
};

// Runs open() (which shows a modal dialog and returns when it ends) and, inside the dialog's
// loop, script(dialog) once a visible dialog titled title (any when null) has appeared.
INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script);
// Runs open() (a TrackPopupMenu) and, inside the menu's loop, reads the item texts into
// *items and chooses the position-th selectable item by keyboard (-1: Escape).
bool ChoosePopupItem(const std::function<void()>& open, int position, std::vector<CString>* items);

// While it lives, the message boxes titled title are answered in turn with answers (one
// beyond them is cancelled) and their texts kept.
class BoxAnswers {
public:
    BoxAnswers(const char* title, std::vector<int> answers);
    ~BoxAnswers();
    BoxAnswers(const BoxAnswers&) = delete;
    BoxAnswers& operator=(const BoxAnswers&) = delete;
    std::vector<CString> texts;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    const char* m_title;
    std::vector<int> m_answers;
    HWND m_last = nullptr;
    BoxAnswers* m_outer;
    UINT_PTR m_timer;
};

HWND FindThreadWindow(const char* className, const char* title);
void SetText(HWND dialog, int id, const CString& text);
CString GetText(HWND dialog, int id);
void ClickButton(HWND dialog, int id); // BM_CLICK: as if the user clicked it
bool IsChecked(HWND dialog, int id);
// Button down and up at client (x, y), the cursor moved there first.
void Click(HWND window, int x, int y, bool right = false);
// The window as on screen, into <build folder>/artifacts/name (a BMP). True when written.
bool SaveScreenshot(HWND window, const char* name);

} // namespace ui_test
