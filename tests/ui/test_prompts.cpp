// The prompts, filled in and answered through their real controls: what each hands back,
// what the log-on prompts store with the account, that Cancel, Escape and the close box store
// nothing, and that the dialog map lets go of a dialog when it ends.
#include "accounts/Prompts.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

using namespace ui_test;
using testing_support::ScopedPrefs;

namespace {

const char* const kSection = "USERPREFS/Home";

class PromptTest : public ::testing::Test {
protected:
    HWND owner() const { return host.ownerWindow(); }
    ScopedPrefs prefs;
    HostWindow host;
};

// Keys as the dialog manager gets them from the keyboard.
void pressKey(HWND dialog, int control, WPARAM key) {
    HWND target = GetDlgItem(dialog, control);
    PostMessageA(target, WM_KEYDOWN, key, 0);
    PostMessageA(target, WM_KEYUP, key, 0xC0000000);
}

} // namespace

TEST_F(PromptTest, PasswordSavedWhenAsked) {
    CGetPassDlg prompt("Home");
    INT_PTR result = RunModal([&] { return prompt.DoModal(owner()); }, "Enter Password",
                              [](HWND dialog) {
                                  EXPECT_FALSE(IsChecked(dialog, IDC_SAVE_PASSWORD));
                                  EXPECT_EQ(GetDlgItem(dialog, IDC_PROMPT_EDIT), GetFocus());
                                  EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, IDC_PROMPT_EDIT),
                                                             GWL_STYLE) &
                                              ES_PASSWORD);
                                  SetText(dialog, IDC_PROMPT_EDIT, "s3cret");
                                  ClickButton(dialog, IDC_SAVE_PASSWORD);
                                  ClickButton(dialog, IDOK);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("s3cret", prompt.m_password);
    EXPECT_EQ(1, GetPrefInt(kSection, "WORDSAVED", -1));
    EXPECT_EQ("s3cret", GetPrefString(kSection, "WORD", "absent"));
}

TEST_F(PromptTest, PasswordNotSavedErasesAnEarlierOne) {
    SetPrefInt(kSection, "WORDSAVED", 1);
    SetPrefString(kSection, "WORD", "old");
    CGetPassDlg prompt("Home");
    INT_PTR result = RunModal([&] { return prompt.DoModal(owner()); }, "Enter Password",
                              [](HWND dialog) {
                                  SetText(dialog, IDC_PROMPT_EDIT, " typed ");
                                  ClickButton(dialog, IDOK);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(" typed ", prompt.m_password); // untrimmed: the caller trims
    EXPECT_EQ(0, GetPrefInt(kSection, "WORDSAVED", -1));
    EXPECT_EQ("", GetPrefString(kSection, "WORD", "absent"));
}

TEST_F(PromptTest, CancelEscapeAndCloseBoxStoreNothing) {
    CGetPassDlg password("Home");
    INT_PTR result = RunModal([&] { return password.DoModal(owner()); }, "Enter Password",
                              [](HWND dialog) {
                                  SetText(dialog, IDC_PROMPT_EDIT, "s3cret");
                                  ClickButton(dialog, IDC_SAVE_PASSWORD);
                                  ClickButton(dialog, IDCANCEL);
                              });
    EXPECT_EQ(IDCANCEL, result);

    CGetUserNameDlg user("Home");
    result = RunModal([&] { return user.DoModal(owner()); }, "Enter Username",
                      [](HWND dialog) {
                          SetText(dialog, IDC_PROMPT_EDIT, "anna");
                          pressKey(dialog, IDC_PROMPT_EDIT, VK_ESCAPE);
                      });
    EXPECT_EQ(IDCANCEL, result);

    CGetPassDlg closed("Home");
    result = RunModal([&] { return closed.DoModal(owner()); }, "Enter Password",
                      [](HWND dialog) {
                          SetText(dialog, IDC_PROMPT_EDIT, "s3cret");
                          PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                      });
    EXPECT_EQ(IDCANCEL, result);

    EXPECT_EQ("absent", GetPrefString(kSection, "WORDSAVED", "absent"));
    EXPECT_EQ("absent", GetPrefString(kSection, "WORD", "absent"));
    EXPECT_EQ("absent", GetPrefString(kSection, "USER", "absent"));
}

TEST_F(PromptTest, SiteCommandIsPrefilledAndReadWhole) {
    CSITECommandDlg prompt;
    prompt.m_command = "/pub/incoming";
    // Longer than the 259 characters a fixed buffer would keep: a cut command could name
    // another file.
    const CString typed = "CHMOD 644 /pub/" + CString(400, 'p') + "/end.txt";
    INT_PTR result = RunModal([&] { return prompt.DoModal(owner()); }, "Enter SITE Parameters",
                              [&](HWND dialog) {
                                  EXPECT_EQ("/pub/incoming", GetText(dialog, IDC_PROMPT_EDIT));
                                  SetText(dialog, IDC_PROMPT_EDIT, typed);
                                  ClickButton(dialog, IDOK);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(typed, prompt.m_command);
}

TEST_F(PromptTest, DialogMapLetsGoOfAnEndedDialog) {
    HWND seen = nullptr;
    {
        CGetNameDlg first;
        RunModal([&] { return first.DoModal(owner()); }, "Specify Name",
                 [&](HWND dialog) {
                     seen = dialog;
                     EXPECT_EQ(&first, CMyBaseDialog::fromHandle(dialog));
                     EXPECT_EQ(dialog, first.window());
                     ClickButton(dialog, IDCANCEL);
                 });
        EXPECT_EQ(nullptr, CMyBaseDialog::fromHandle(seen));
        EXPECT_EQ(nullptr, first.window());
    }
    // The next dialog, whatever handle it gets, reaches its own object only.
    CGetNameDlg second;
    INT_PTR result = RunModal([&] { return second.DoModal(owner()); }, "Specify Name",
                              [&](HWND dialog) {
                                  EXPECT_EQ(&second, CMyBaseDialog::fromHandle(dialog));
                                  SetText(dialog, IDC_PROMPT_EDIT, "x");
                                  ClickButton(dialog, IDOK);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("x", second.m_name);
}
