#pragma once
// Helpers for the ui tests, which drive the program's real windows and dialogs under Wine.
// Every wait goes through PumpUntil (the message loop with a deadline; no sleeps). A dialog is
// driven from inside its own modal loop (RunModal), and fails the test and is ended when it
// does not appear or stays open past the deadline; message boxes are answered while a
// BoxAnswers lives.
// The main() of every ui test program (UiHarness.cpp) registers the common controls first.
#include "common/CString.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace ui_test {

constexpr DWORD kDefaultTimeoutMs = 10000; // generous for a loaded machine

// Dispatches messages until done() is true or timeoutMs passed; returns done()'s last value.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kDefaultTimeoutMs);
void PumpPending();

// Runs open() (which shows a modal dialog and returns when it ends) and, inside the dialog's
// loop, script(dialog) once a visible dialog titled title (any when null) has appeared.
INT_PTR RunModal(const std::function<INT_PTR()>& open, const char* title,
                 const std::function<void(HWND dialog)>& script);

// While it lives, the message boxes titled title (or any of "A|B") are answered in turn with
// answers (one beyond them is cancelled) and their texts kept; before(text) runs first.
class BoxAnswers {
public:
    BoxAnswers(const char* title, std::vector<int> answers);
    ~BoxAnswers();
    std::vector<CString> texts;
    std::function<void(const CString& text)> before;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    CString m_titles;
    std::vector<int> m_answers;
    HWND m_last = nullptr;
    BoxAnswers* m_outer;
    UINT_PTR m_timer;
};

// Runs script on the dialog titled title that clicking button in dialog opens.
void ClickInto(HWND dialog, int button, const char* title, const std::function<void(HWND)>& script);
// A list view's rows top to bottom, the first `columns` columns joined with "|".
std::vector<CString> ListRows(HWND list, int columns = 1);
// Selects exactly the rows whose first column is one of texts.
void SelectRows(HWND list, const std::vector<CString>& texts);
void SetText(HWND dialog, int id, const CString& text);
CString GetText(HWND dialog, int id);
void ClickButton(HWND dialog, int id); // BM_CLICK: as if the user clicked it
// Button down and up at client (x, y), the cursor moved there first.
void Click(HWND window, int x, int y, bool right = false);
// Saves what the screen shows of window as artifacts\name.bmp beside the test program, for
// a person to look at; a test does not depend on it.
bool SaveScreenshot(HWND window, const char* name);

} // namespace ui_test
