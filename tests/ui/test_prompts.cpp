// The four prompts, filled in and answered through their real controls: what each hands
// back, what the log-on prompts store with the account, that Cancel, Escape and the close box
// store nothing, where the log-on prompts stand, and that the dialog map lets go of a dialog
// when it ends.
#include "accounts/DialogPlacement.h"
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

TEST_F(PromptTest, UserNameSavedWithTheBoxLeftChecked) {
    CGetUserNameDlg prompt("Home");
    INT_PTR result = RunModal([&] { return prompt.DoModal(owner()); }, "Enter Username",
                              [](HWND dialog) {
                                  EXPECT_TRUE(IsChecked(dialog, IDC_SAVE_USERNAME));
                                  SetText(dialog, IDC_PROMPT_EDIT, "anna");
                                  ClickButton(dialog, IDOK);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("anna", prompt.m_user);
    EXPECT_EQ("anna", GetPrefString(kSection, "USER", "absent"));

    CGetUserNameDlg unchecked("Work");
    result = RunModal([&] { return unchecked.DoModal(owner()); }, "Enter Username",
                      [](HWND dialog) {
                          SetText(dialog, IDC_PROMPT_EDIT, "bert");
                          ClickButton(dialog, IDC_SAVE_USERNAME);
                          ClickButton(dialog, IDOK);
                      });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("bert", unchecked.m_user);
    EXPECT_EQ("absent", GetPrefString("USERPREFS/Work", "USER", "absent"));
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

TEST_F(PromptTest, FolderNameStartsEmptyAndEnterConfirms) {
    CGetNameDlg prompt;
    INT_PTR result = RunModal([&] { return prompt.DoModal(owner()); }, "Specify Name",
                              [](HWND dialog) {
                                  EXPECT_EQ("", GetText(dialog, IDC_PROMPT_EDIT));
                                  SetText(dialog, IDC_PROMPT_EDIT, "New Folder");
                                  pressKey(dialog, IDC_PROMPT_EDIT, VK_RETURN);
                              });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("New Folder", prompt.m_name);
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

    CSITECommandDlg cancelled;
    cancelled.m_command = "kept";
    result = RunModal([&] { return cancelled.DoModal(owner()); }, "Enter SITE Parameters",
                      [](HWND dialog) {
                          SetText(dialog, IDC_PROMPT_EDIT, "changed");
                          ClickButton(dialog, IDCANCEL);
                      });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("kept", cancelled.m_command);
}

TEST_F(PromptTest, LogOnPromptsCentreTheirClientAreaOnTheDesktop) {
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    auto expectCentred = [&](HWND dialog) {
        RECT client;
        RECT placed;
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &placed);
        DialogOrigin origin = CentreOnDesktop(desktop.left, desktop.top, desktop.right,
                                              desktop.bottom, client.right, client.bottom);
        EXPECT_EQ(origin.left, placed.left);
        EXPECT_EQ(origin.top, placed.top);
        ClickButton(dialog, IDCANCEL);
    };
    CGetPassDlg password("Home");
    RunModal([&] { return password.DoModal(owner()); }, "Enter Password", expectCentred);
    CGetUserNameDlg user("Home");
    RunModal([&] { return user.DoModal(owner()); }, "Enter Username", expectCentred);
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

TEST_F(PromptTest, MissingTemplateReportsThePlatformFailure) {
    class CNoTemplate : public CMyBaseDialog {
    public:
        int templateId() const override { return 9999; }
    } broken;
    EXPECT_EQ(-1, broken.DoModal(owner()));
    EXPECT_EQ(nullptr, broken.window());
}
