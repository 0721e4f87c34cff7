// The dialogs as the program loads them: every template opens tidily through the dialog base
// and Escape cannot press a button that acts; the prompts hand back and store what the user
// typed, whole, and nothing when the user backs out.
#include "accounts/Prompts.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace ui_test;

namespace {

class CTemplateView : public CMyBaseDialog {
public:
    explicit CTemplateView(int id) : m_id(id) {}
    int templateId() const override { return m_id; }
    INT_PTR dialogProc(HWND, UINT message, WPARAM, LPARAM) override {
        return message == WM_INITDIALOG;
    }

private:
    int m_id;
};

RECT childRect(HWND dialog, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(Dialogs, EveryTemplateOpensTidilyAndEscapeOnlyCloses) {
    for (int id : {IDD_ABOUT, IDD_ACCOUNT, IDD_GETNAME, IDD_ACCOUNTS, IDD_GETPASS, IDD_IMPORT,
                   IDD_EXPORT, IDD_SEARCH, IDD_SITECOMMAND, IDD_GETUSERNAME}) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        CTemplateView view(id);
        RunModal([&] { return view.DoModal(nullptr); }, nullptr,
                 [&](HWND dialog) {
                     RECT client, both;
                     GetClientRect(dialog, &client);
                     for (HWND a = GetWindow(dialog, GW_CHILD); a; a = GetWindow(a, GW_HWNDNEXT)) {
                         RECT ra = childRect(dialog, a);
                         EXPECT_TRUE(IntersectRect(&both, &ra, &client) && EqualRect(&both, &ra))
                             << "control " << GetDlgCtrlID(a) << " leaves the dialog";
                         for (HWND b = GetWindow(a, GW_HWNDNEXT); b;
                              b = GetWindow(b, GW_HWNDNEXT)) {
                             RECT rb = childRect(dialog, b);
                             EXPECT_FALSE(IntersectRect(&both, &ra, &rb))
                                 << "controls " << GetDlgCtrlID(a) << " and " << GetDlgCtrlID(b)
                                 << " overlap";
                         }
                     }
                     // Escape sends IDCANCEL: a button with that id must only close the dialog.
                     CString cancel = GetText(dialog, IDCANCEL);
                     EXPECT_TRUE(!GetDlgItem(dialog, IDCANCEL) || cancel == "Cancel" ||
                                 cancel == "Close")
                         << cancel;
                     EndDialog(dialog, IDOK);
                 });
    }
    // The controls come from the side-by-side assembly of version 6, as the manifest asks.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    CharLowerA(path);
    EXPECT_TRUE(strstr(path, "microsoft.windows.common-controls") && strstr(path, "_6.0.")) << path;
}

TEST(Prompts, KeepWhatTheUserTypedWholeAndStoreNothingWhenTheUserBacksOut) {
    testing_support::ScopedPrefs prefs;
    auto answer = [&](CMyBaseDialog& prompt, const char* title,
                      const std::function<void(HWND)>& script) {
        return RunModal([&] { return prompt.DoModal(nullptr); }, title, script);
    };
    const char* const account = "USERPREFS/Home";
    CGetPassDlg saved("Home");
    EXPECT_EQ(answer(saved, "Enter Password",
                     [](HWND d) {
                         EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_PROMPT_EDIT));
                         EXPECT_TRUE(GetWindowLongA(GetDlgItem(d, IDC_PROMPT_EDIT), GWL_STYLE) &
                                     ES_PASSWORD);
                         SetText(d, IDC_PROMPT_EDIT, " s3cret ");
                         ClickButton(d, IDC_SAVE_PASSWORD);
                         ClickButton(d, IDOK);
                     }),
              IDOK);
    EXPECT_EQ(saved.m_password, " s3cret "); // untrimmed: the caller trims
    EXPECT_EQ(GetPrefString(account, "WORD", ""), " s3cret ");
    // Cancel, Escape and the close box change nothing, even with Save checked.
    for (UINT way : {WM_COMMAND, WM_KEYDOWN, WM_SYSCOMMAND}) {
        CGetPassDlg backedOut("Home");
        EXPECT_EQ(answer(backedOut, "Enter Password",
                         [&](HWND d) {
                             SetText(d, IDC_PROMPT_EDIT, "s3cret");
                             ClickButton(d, IDC_SAVE_PASSWORD);
                             PostMessageA(way == WM_KEYDOWN ? GetDlgItem(d, IDC_PROMPT_EDIT) : d,
                                          way,
                                          way == WM_COMMAND   ? IDCANCEL
                                          : way == WM_KEYDOWN ? VK_ESCAPE
                                                              : SC_CLOSE,
                                          0);
                         }),
                  IDCANCEL);
    }
    EXPECT_EQ(GetPrefString(account, "WORDSAVED", "") + GetPrefString(account, "WORD", ""),
              "1 s3cret ");

    // Longer than the 259 characters a fixed buffer keeps: a cut command could name another file.
    CSITECommandDlg site;
    site.m_command = "/pub/incoming";
    const CString typed = "CHMOD 644 /pub/" + CString(400, 'p') + "/end.txt";
    answer(site, "Enter SITE Parameters", [&](HWND d) {
        EXPECT_EQ(GetText(d, IDC_PROMPT_EDIT), "/pub/incoming");
        SetText(d, IDC_PROMPT_EDIT, typed);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(site.m_command, typed);

    // The dialog map lets go of an ended dialog: the next one, whatever handle it gets,
    // reaches its own object only.
    HWND seen = nullptr;
    CGetNameDlg first, second;
    answer(first, "Specify Name", [&](HWND d) {
        seen = d;
        EXPECT_EQ(CMyBaseDialog::fromHandle(d), &first);
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(CMyBaseDialog::fromHandle(seen), nullptr);
    EXPECT_EQ(first.window(), nullptr);
    answer(second, "Specify Name", [&](HWND d) {
        EXPECT_EQ(CMyBaseDialog::fromHandle(d), &second);
        SetText(d, IDC_PROMPT_EDIT, "x");
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(second.m_name, "x");
}

} // namespace
