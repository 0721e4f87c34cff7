// The account manager, its details dialog and the import and export, driven through their
// real controls as a user would: journeys over one store per test.
#include "accounts/CAccountsDlg.h"
#include "mainwnd/CMyMainWnd.h"
#include "net/FtpSocketControl.h"
#include "res/resource.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace ui_test;
using testing_support::ReadFile;
using testing_support::ScopedPrefs;
using testing_support::WriteFile;

namespace {

class AccountsTest : public ::testing::Test {
protected:
    HWND owner() const { return host.ownerWindow(); }

    INT_PTR openManager(const std::function<void(HWND)>& script) {
        CAccountsDlg manager;
        return RunModal([&] { return manager.DoModal(owner()); }, "Accounts", script);
    }

    // The rows top to bottom: name|server|port|user|anonymous|passive|default.
    static std::vector<CString> rows(HWND manager) {
        HWND list = GetDlgItem(manager, IDC_ACCOUNTS_LIST);
        std::vector<CString> out;
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            CString line;
            for (int column = 0; column < 7; ++column) {
                char text[512] = "";
                ListView_GetItemText(list, row, column, text, sizeof text);
                line += (column ? "|" : "") + CString(text);
            }
            out.push_back(line);
        }
        return out;
    }

    // Clicks the row of the account and waits until it is selected.
    static void select(HWND manager, const char* name) {
        HWND list = GetDlgItem(manager, IDC_ACCOUNTS_LIST);
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            char text[512] = "";
            ListView_GetItemText(list, row, 0, text, sizeof text);
            if (CString(text) != name)
                continue;
            RECT cell = {};
            ListView_GetItemRect(list, row, &cell, LVIR_LABEL);
            Click(list, cell.left + 4, (cell.top + cell.bottom) / 2);
            EXPECT_TRUE(PumpUntil([&] {
                return ListView_GetNextItem(list, -1, LVNI_SELECTED) == row;
            })) << name;
            return;
        }
        ADD_FAILURE() << "no row " << name;
    }

    // Presses a button of the manager that opens the details dialog and runs script on it.
    static INT_PTR details(HWND manager, int button, const std::function<void(HWND)>& script) {
        return RunModal(
            [&] {
                ClickButton(manager, button);
                return INT_PTR(0);
            },
            "Preferences", script);
    }

    static void fill(HWND d, const char* name, const char* server, const char* port) {
        SetText(d, IDC_ACC_NAME, name);
        SetText(d, IDC_ACC_SERVER, server);
        SetText(d, IDC_ACC_PORT, port);
    }

    // Presses button in dialog, expects a message box titled title whose text contains
    // expected, and answers it with answer.
    static void expectBox(HWND dialog, int button, const char* title, const char* expected,
                          int answer) {
        RunModal(
            [&] {
                ClickButton(dialog, button);
                return INT_PTR(0);
            },
            title,
            [&](HWND box) {
                CString text = GetText(box, 0xFFFF);
                EXPECT_NE(text.find(expected), std::string::npos) << text;
                ClickButton(box, answer);
            });
    }

    ScopedPrefs prefs;
    HostWindow host;
};

// Answers the message boxes titled title that appear while it lives with answer, from a
// timer, for the boxes that come after a scripted dialog has ended (RunModal drives one
// dialog per call). text() is the last box's text.
class BoxAnswer {
public:
    BoxAnswer(const char* title, int answer) : m_title(title), m_answer(answer) {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, 30, &tick);
    }
    ~BoxAnswer() {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    const CString& text() const { return m_text; }
    int count() const { return m_count; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        BoxAnswer* self = s_current;
        HWND box = self ? FindThreadWindow("#32770", self->m_title) : nullptr;
        if (!box || !GetDlgItem(box, 0xFFFF))
            return;
        self->m_text = GetText(box, 0xFFFF);
        ++self->m_count;
        ClickButton(box, self->m_answer);
    }
    static BoxAnswer* s_current;
    const char* m_title;
    int m_answer;
    UINT_PTR m_timer = 0;
    CString m_text;
    int m_count = 0;
};
BoxAnswer* BoxAnswer::s_current = nullptr;

// Keys as the dialog manager gets them from the keyboard.
void pressKey(HWND dialog, int control, WPARAM key) {
    HWND target = GetDlgItem(dialog, control);
    PostMessageA(target, WM_KEYDOWN, key, 0);
    PostMessageA(target, WM_KEYUP, key, 0xC0000000);
}

} // namespace

TEST_F(AccountsTest, AddEditRenameSetDefaultAndDelete) {
    INT_PTR result = openManager([&](HWND m) {
        // Without a selected row these buttons do nothing (no dialog, no change).
        for (int button : {IDC_ACCOUNTS_EDIT, IDC_ACCOUNTS_DELETE, IDC_ACCOUNTS_DEFAULT})
            ClickButton(m, button);
        EXPECT_TRUE(rows(m).empty());

        details(m, IDC_ACCOUNTS_ADD, [&](HWND d) {
            EXPECT_EQ(GetText(d, IDC_ACC_PORT), "21");
            fill(d, "Home", "ftp.home", "21");
            SetText(d, IDC_ACC_USER, "me");
            ClickButton(d, IDC_ACC_SAVEPASSWORD);
            SetText(d, IDC_ACC_PASSWORD, "pw");
            ClickButton(d, IDOK);
        });
        details(m, IDC_ACCOUNTS_ADD, [&](HWND d) {
            fill(d, "Work", "ftp.work", "2121");
            ClickButton(d, IDC_ACC_PASV);
            ClickButton(d, IDOK);
        });
        // Newest at the top; the first account became the current one.
        EXPECT_EQ(rows(m),
                  (std::vector<CString>{"Work|ftp.work|2121||N|Y|N", "Home|ftp.home|21|me|N|N|Y"}));

        // What the list or the connection could not use is refused, the dialog stays open.
        details(m, IDC_ACCOUNTS_ADD, [&](HWND d) {
            for (const char* port : {"70000", "0", "-21", "2l"}) {
                fill(d, "Other", "x", port);
                expectBox(d, IDOK, "Warning", "valid port number", IDOK);
            }
            for (const char* name : {"", "Ho,me", "[Home]", " Home"}) {
                fill(d, name, "x", "21");
                expectBox(d, IDOK, "Warning", "account name", IDOK);
            }
            fill(d, "home", "x", "21"); // the store does not tell it from Home
            expectBox(d, IDOK, "Warning", "\"Home\" exists already", IDNO);
            ClickButton(d, IDCANCEL);
        });
        EXPECT_EQ(GetPrefString("USERPREFS/Home", "SERVER", ""), "ftp.home");
        EXPECT_EQ(GetPrefString("USERPREFS/Other", "SERVER", "absent"), "absent");

        select(m, "Work"); // an edit that keeps the name keeps the place
        details(m, IDC_ACCOUNTS_EDIT, [&](HWND d) {
            EXPECT_EQ(GetText(d, IDC_ACC_PORT), "2121");
            EXPECT_TRUE(IsChecked(d, IDC_ACC_PASV));
            SetText(d, IDC_ACC_SERVER, "new.work");
            ClickButton(d, IDOK);
        });
        select(m, "Home"); // a rename moves it to the end, and it stays current
        details(m, IDC_ACCOUNTS_EDIT, [&](HWND d) {
            EXPECT_EQ(GetText(d, IDC_ACC_PASSWORD), "pw");
            EXPECT_TRUE(IsChecked(d, IDC_ACC_SAVEPASSWORD));
            SetText(d, IDC_ACC_NAME, "Home2");
            ClickButton(d, IDOK);
        });
        EXPECT_EQ(rows(m), (std::vector<CString>{"Home2|ftp.home|21|me|N|N|Y",
                                                 "Work|new.work|2121||N|Y|N"}));
        select(m, "Work");
        ClickButton(m, IDC_ACCOUNTS_DEFAULT);
        details(m, IDC_ACCOUNTS_ADD, [&](HWND d) {
            fill(d, "Third", "ftp.third", "990");
            ClickButton(d, IDC_ACC_ANONYMOUS);
            ClickButton(d, IDOK);
        });
        EXPECT_EQ(rows(m),
                  (std::vector<CString>{"Third|ftp.third|990||Y|N|N", "Home2|ftp.home|21|me|N|N|N",
                                        "Work|new.work|2121||N|Y|Y"}));
        EXPECT_TRUE(SaveScreenshot(m, "account-manager.png"));

        // A rename onto another account replaces it only when the user agrees; that one
        // keeps its place.
        select(m, "Third");
        details(m, IDC_ACCOUNTS_EDIT, [&](HWND d) {
            SetText(d, IDC_ACC_NAME, "work");
            expectBox(d, IDOK, "Warning", "\"Work\" exists already", IDYES);
        });
        EXPECT_EQ(rows(m), (std::vector<CString>{"Home2|ftp.home|21|me|N|N|N",
                                                 "Work|ftp.third|990||Y|N|Y"}));

        select(m, "Work"); // deleting the current account leaves none current
        ClickButton(m, IDC_ACCOUNTS_DELETE);
        EXPECT_EQ(rows(m), std::vector<CString>{"Home2|ftp.home|21|me|N|N|N"});
        ClickButton(m, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "Home2");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "DEFAULT", "absent"), "");
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "SERVER", ""), "ftp.home"); // left, unlisted
}

TEST_F(AccountsTest, TheAnonymousPasswordIsKeptOnCloseOnly) {
    SetPrefString(PREFS_SECTION, "ANOYMOUSNAME", "guest@");
    EXPECT_EQ(IDCANCEL, openManager([&](HWND m) {
                  EXPECT_EQ(GetText(m, IDC_ACCOUNTS_ANONNAME), "guest@");
                  SetText(m, IDC_ACCOUNTS_ANONNAME, "escaped@");
                  pressKey(m, IDC_ACCOUNTS_ANONNAME, VK_ESCAPE);
              }));
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ANOYMOUSNAME", ""), "guest@");
    EXPECT_EQ(IDOK, openManager([&](HWND m) {
                  SetText(m, IDC_ACCOUNTS_ANONNAME, " me@example.com ");
                  ClickButton(m, IDOK);
              }));
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ANOYMOUSNAME", ""), " me@example.com ");
}

TEST_F(AccountsTest, TwelveAccountsAndALongPasswordSurviveARestart) {
    for (int i = 1; i <= 12; ++i) {
        AccountRecord account;
        account.name = FormatString("Account number %02d", i);
        account.server = FormatString("ftp%02d.example.com", i);
        SaveAccountPrefs(account);
        AddAccountToList(account.name);
    }
    const CString password = CString(199, 'p') + "Z";
    openManager([&](HWND m) {
        select(m, "Account number 12");
        details(m, IDC_ACCOUNTS_EDIT, [&](HWND d) {
            SetText(d, IDC_ACC_PASSWORD, password);
            ClickButton(d, IDOK);
        });
        ClickButton(m, IDOK);
    });
    // Nothing is cached: a new manager reads everything back from the store.
    openManager([&](HWND m) {
        std::vector<CString> all = rows(m);
        ASSERT_EQ(all.size(), 12u);
        EXPECT_EQ(all.front(), "Account number 12|ftp12.example.com|21||N|N|N");
        EXPECT_EQ(all.back(), "Account number 01|ftp01.example.com|21||N|N|Y");
        select(m, "Account number 12");
        details(m, IDC_ACCOUNTS_EDIT, [&](HWND d) {
            EXPECT_EQ(GetText(d, IDC_ACC_PASSWORD), password);
            ClickButton(d, IDCANCEL);
        });
        ClickButton(m, IDOK);
    });
}

TEST_F(AccountsTest, ExportAndImportThroughTheirDialogs) {
    testing_support::TempDir folder;
    const CString plain = folder.path() + "\\plain.inf";
    const CString full = folder.path() + "\\full.inf";
    for (const char* name : {"Home", "Work"}) {
        AccountRecord account;
        account.name = name;
        account.server = CString("ftp.") + name;
        account.password = CString("pw-") + name;
        SaveAccountPrefs(account);
        AddAccountToList(name);
    }
    SetPrefString(PREFS_SECTION, "DEFAULT", "Work");
    auto exportTo = [&](HWND m, const CString& path, bool passwords, const char* shown) {
        RunModal(
            [&] {
                ClickButton(m, IDC_ACCOUNTS_EXPORT);
                return INT_PTR(0);
            },
            "Export Accounts",
            [&](HWND e) {
                EXPECT_EQ(GetText(e, IDC_IMPEXP_FILE), shown);
                EXPECT_FALSE(IsChecked(e, IDC_EXPORT_PASSWORDS));
                SetText(e, IDC_IMPEXP_FILE, path); // typed by hand
                if (passwords)
                    ClickButton(e, IDC_EXPORT_PASSWORDS);
                ClickButton(e, IDOK);
            });
    };
    openManager([&](HWND m) {
        exportTo(m, plain, false, "c:\\temp\\TarnwickExport.inf");
        exportTo(m, full, true, plain.c_str()); // the last name is remembered
        ClickButton(m, IDOK);
    });
    EXPECT_EQ(ReadFile(plain), "CHECKSTAMP2\r\nHome,Work\r\nWork\r\n"
                               "Home\r\nftp.Home\r\n21\r\n\r\nN\r\n\r\nN\r\nN\r\n"
                               "Work\r\nftp.Work\r\n21\r\n\r\nN\r\n\r\nY\r\nN\r\n");
    EXPECT_NE(ReadFile(full).find("\r\npw-Work\r\n"), std::string::npos);
    std::string truncated = ReadFile(full);
    truncated.resize(truncated.size() - 5);
    const CString damaged = folder.path() + "\\damaged.inf";
    ASSERT_TRUE(WriteFile(damaged, truncated));

    // Another installation that has a Home of its own.
    ScopedPrefs other;
    AccountRecord home;
    home.name = "Home";
    home.server = "other.home";
    home.password = "kept";
    SaveAccountPrefs(home);
    AddAccountToList("Home");
    auto importFrom = [&](HWND m, const CString& path) {
        RunModal(
            [&] {
                ClickButton(m, IDC_ACCOUNTS_IMPORT);
                return INT_PTR(0);
            },
            "Import Accounts",
            [&](HWND i) {
                SetText(i, IDC_IMPEXP_FILE, path);
                ClickButton(i, IDOK);
            });
    };
    openManager([&](HWND m) {
        {
            BoxAnswer report("Tarnwick", IDOK);
            importFrom(m, damaged);
            EXPECT_TRUE(PumpUntil([&] { return report.count() == 1; }));
            EXPECT_NE(report.text().find("damaged"), std::string::npos) << report.text();
        }
        EXPECT_EQ(rows(m), std::vector<CString>{"Home|other.home|21||N|N|Y"});
        importFrom(m, plain);
        EXPECT_EQ(rows(m),
                  (std::vector<CString>{"Work|ftp.Work|21||N|N|Y", "Home|ftp.Home|21||N|N|N"}));
        ClickButton(m, IDOK);
    });
    // Exported without passwords: the log-on will ask instead of sending an empty one.
    EXPECT_EQ(GetPrefInt("USERPREFS/Home", "WORDSAVED", 1), 0);
    EXPECT_EQ(GetPrefString("USERPREFS/Home", "WORD", "x"), "");
}

TEST_F(AccountsTest, TheChooserIsTitledForItsDirection) {
    openManager([&](HWND m) {
        RunModal(
            [&] {
                ClickButton(m, IDC_ACCOUNTS_EXPORT);
                return INT_PTR(0);
            },
            "Export Accounts",
            [&](HWND e) {
                RunModal(
                    [&] {
                        ClickButton(e, IDC_IMPEXP_BROWSE);
                        return INT_PTR(0);
                    },
                    "Export Tarnwick Accounts",
                    [](HWND chooser) { ClickButton(chooser, IDCANCEL); });
                EXPECT_EQ(GetText(e, IDC_IMPEXP_FILE), "c:\\temp\\TarnwickExport.inf");
                ClickButton(e, IDCANCEL);
            });
        ClickButton(m, IDOK);
    });
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "IMPEXPORTLASTNAME", "absent"), "absent");
}

// The main window opens the manager from its menu command and from the log-on question, and
// shows the current account in its title afterwards.
TEST_F(AccountsTest, TheMainWindowOpensTheManagerAndFollowsTheCurrentAccount) {
    CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
    CMyMainWnd window;
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    auto title = [&] {
        char text[256] = "";
        GetWindowTextA(window.m_hWnd, text, sizeof text);
        return CString(text);
    };
    EXPECT_EQ(title(), "Tarnwick2 - ");
    {
        BoxAnswer question("Tarnwick", IDYES);
        RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0); }, "Accounts",
                 [&](HWND m) {
                     details(m, IDC_ACCOUNTS_ADD, [&](HWND d) {
                         fill(d, "Home", "127.0.0.1", "21");
                         ClickButton(d, IDOK);
                     });
                     ClickButton(m, IDOK);
                 });
        EXPECT_EQ(question.count(), 1);
        EXPECT_NE(question.text().find("account manager"), std::string::npos);
    }
    EXPECT_EQ(title(), "Tarnwick2 - Home");
    AddAccountToList("Work");
    RunModal([&] { return SendMessageA(window.m_hWnd, WM_COMMAND, ID_ACCOUNT_MANAGER, 0); },
             "Accounts",
             [&](HWND m) {
                 select(m, "Work");
                 ClickButton(m, IDC_ACCOUNTS_DEFAULT);
                 pressKey(m, IDC_ACCOUNTS_LIST, VK_ESCAPE); // whatever the manager ends with
             });
    EXPECT_EQ(title(), "Tarnwick2 - Work");
    DestroyWindow(window.m_hWnd);
    GetControlSocket().Close();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}
