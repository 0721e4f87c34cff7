// The dialogs as the program loads them: every template opens through the dialog base and
// Escape cannot press a button that acts; the prompts hand back and store what the user
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
    const int m_id;
};

TEST(Dialogs, EveryTemplateOpensAndEscapeOnlyCloses) {
    for (int id : {IDD_ABOUT, IDD_ACCOUNT, IDD_GETNAME, IDD_ACCOUNTS, IDD_GETPASS, IDD_IMPORT,
                   IDD_EXPORT, IDD_SEARCH, IDD_SITECOMMAND, IDD_GETUSERNAME}) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        CTemplateView view(id);
        RunModal([&] { return view.DoModal(nullptr); }, nullptr,
                 [&](HWND dialog) {
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
    const char* const account = "USERPREFS/Home";
    // OK hands back the text untrimmed (the caller trims) and saves it; Cancel, Escape and the
    // close box change nothing, even with Save checked.
    for (auto way : {std::pair<UINT, WPARAM>{WM_COMMAND, IDOK},
                     {WM_COMMAND, IDCANCEL},
                     {WM_KEYDOWN, VK_ESCAPE},
                     {WM_SYSCOMMAND, SC_CLOSE}}) {
        CGetPassDlg prompt("Home");
        const bool ok = way.second == IDOK;
        auto script = [&](HWND d) {
            HWND edit = GetDlgItem(d, IDC_PROMPT_EDIT);
            EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD);
            SetText(d, IDC_PROMPT_EDIT, ok ? " s3cret " : "other");
            ClickButton(d, IDC_SAVE_PASSWORD);
            PostMessageA(way.first == WM_KEYDOWN ? edit : d, way.first, way.second, 0);
        };
        EXPECT_EQ(RunModal([&] { return prompt.DoModal(nullptr); }, "Enter Password", script),
                  ok ? IDOK : IDCANCEL);
        EXPECT_TRUE(!ok || prompt.m_password == " s3cret ") << prompt.m_password;
    }
    EXPECT_EQ(GetPrefString(account, "WORDSAVED", "") + GetPrefString(account, "WORD", ""),
              "1 s3cret ");

    // Longer than the 259 characters a fixed buffer keeps: a cut command could name another file.
    // And the dialog map lets go of an ended dialog, or the next dialog given its handle would
    // reach an object that is gone.
    CSITECommandDlg site;
    site.m_command = "/pub/incoming";
    const CString typed = "CHMOD 644 /pub/" + CString(400, 'p') + "/end.txt";
    HWND seen = nullptr;
    RunModal([&] { return site.DoModal(nullptr); }, "Enter SITE Parameters",
             [&](HWND d) {
                 EXPECT_EQ(CMyBaseDialog::fromHandle(seen = d), &site);
                 EXPECT_EQ(GetText(d, IDC_PROMPT_EDIT), "/pub/incoming");
                 SetText(d, IDC_PROMPT_EDIT, typed);
                 ClickButton(d, IDOK);
             });
    EXPECT_EQ(site.m_command, typed);
    EXPECT_TRUE(seen && !CMyBaseDialog::fromHandle(seen) && !site.window());
}

} // namespace
