#pragma once
// Helpers for the ui tests, which drive the program's real windows and dialogs under Wine.
//
//   Pumping      PumpUntil runs the message loop until a condition holds or a deadline
//                passes; every wait in a ui test goes through it (no sleeps).
//   Host window  HostWindow stands in for the main window: a visible top-level window that
//                owns panes, passes their WM_NOTIFY to them (as the main window does) and
//                records the WM_COMMAND ids it receives.
//   Dialogs      RunModal opens a modal dialog (DoModal or anything else that blocks) and
//                runs a script on it from inside its own message loop: the script sets
//                texts, clicks buttons and reads controls through the helpers below. If the
//                dialog does not appear, or is still open when the deadline passes, it is
//                closed and the test fails instead of hanging.
//   Menus        ChoosePopupItem reads and chooses from a popup menu while it is open.
//   Input        Click and RightClick send real mouse messages to a control.
//   Screenshots  SaveScreenshot copies a window from the screen into a PNG under the build
//                folder's artifacts/ (see ArtifactPath).
//
// The main() of every ui test program (UiMain.cpp) registers the common controls first.
#include "common/CString.h"
#include "panes/PaneOwner.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace ui_test {

// Default deadline of the waits, generous for a loaded machine.
constexpr DWORD kDefaultTimeoutMs = 10000;

// Dispatches messages until done() is true (checked before every wait) or timeoutMs passed.
// Returns done()'s last value.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kDefaultTimeoutMs);
// Dispatches the messages that are waiting now (paints, posted messages, sent notifications).
void PumpPending();

class HostWindow : public IPaneOwner {
public:
    explicit HostWindow(int clientWidth = 800, int clientHeight = 500,
                        const char* title = "Tarnwick2 ui test");
    ~HostWindow() override;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND ownerWindow() const override { return m_hWnd; }
    // The shell's small system image list, as the main window uses.
    HIMAGELIST smallImageList() const override { return m_images; }

    // WM_COMMAND ids received, oldest first.
    const std::vector<int>& commands() const { return m_commands; }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    HIMAGELIST m_images = nullptr;
    std::vector<int> m_commands;
};

// Runs open() (which shows a modal dialog and returns when it ends) and, from inside the
// dialog's message loop, script(dialog) once the first visible dialog titled title (any
// title when null) of this thread has appeared. Returns open()'s result. A dialog that does
// not appear or does not close within timeoutMs fails the test and is ended with IDCANCEL.
INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script,
                 DWORD timeoutMs = kDefaultTimeoutMs);

// Runs open() (which shows a popup menu with TrackPopupMenu and returns once it closed) and,
// from inside the menu's loop, reads the popup's item texts into *items (when given) and
// chooses an item with the keyboard, as a user would: position counts the items the arrow
// keys stop at (separators are skipped), from 0; -1 closes the menu without a choice. False when no
// menu appeared before the deadline.
bool ChoosePopupItem(const std::function<void()>& open, int position,
                     std::vector<CString>* items = nullptr, DWORD timeoutMs = kDefaultTimeoutMs);

// A visible top-level window of this thread with the class and title (any when null).
HWND FindThreadWindow(const char* className, const char* title);

// Controls of a dialog.
void SetText(HWND dialog, int id, const CString& text);
CString GetText(HWND dialog, int id);
// BM_CLICK: the button acts as if the user clicked it (check boxes toggle, push buttons
// send WM_COMMAND to the dialog).
void ClickButton(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
// The control's class name ("Button", "Edit", "SysListView32", ...).
CString ClassOf(HWND window);

// Left button down and up at (x, y) in window's client coordinates.
void Click(HWND window, int x, int y);
// Right button down and up at (x, y), with the cursor moved there first (controls read the
// message position, not only the coordinates).
void RightClick(HWND window, int x, int y);

// <build folder>/artifacts/name (the folder is created); the build folder is the one that
// holds this program.
CString ArtifactPath(const char* name);
// Repaints window and copies it from the screen into ArtifactPath(name). True when written.
bool SaveScreenshot(HWND window, const char* name);

} // namespace ui_test
