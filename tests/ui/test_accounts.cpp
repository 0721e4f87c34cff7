// The account manager, its details dialog and the import and export, driven through their
// real controls as a user would: journeys over one store per test.
#include "accounts/CAccountsDlg.h"
#include "res/resource.h"
#include "settings/Accounts.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

using namespace ui_test;
using namespace testing_support;

namespace {

constexpr size_t npos = std::string::npos;

// Opens the details with button (Add or Edit), clicks the check boxes given, fills in
// "name|server|port|user|password" (an empty field stays as it is), and OK.
void details(HWND manager, int button, const CString& fields, std::vector<int> boxes = {}) {
    ClickInto(manager, button, "Preferences", [&](HWND d) {
        for (int box : boxes)
            ClickButton(d, box);
        size_t at = 0;
        for (int id :
             {IDC_ACC_NAME, IDC_ACC_SERVER, IDC_ACC_PORT, IDC_ACC_USER, IDC_ACC_PASSWORD}) {
            const size_t end = std::min(fields.find('|', at), fields.size());
            if (end > at)
                SetText(d, id, fields.substr(at, end - at));
            at = end + 1;
        }
        ClickButton(d, IDOK);
    });
}

struct AccountsTest : ::testing::Test {
    // The rows top to bottom: name|server|port|user|anonymous|passive|default.
    static std::vector<CString> rows(HWND m) {
        return ListRows(GetDlgItem(m, IDC_ACCOUNTS_LIST), 7);
    }
    static void select(HWND m, const char* name) {
        SelectRows(GetDlgItem(m, IDC_ACCOUNTS_LIST), {name});
    }
    INT_PTR openManager(const std::function<void(HWND)>& script) {
        CAccountsDlg manager;
        return RunModal([&] { return manager.DoModal(nullptr); }, "Accounts", script);
    }
    void addAccounts(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            AccountRecord account;
            account.name = name;
            account.server = CString("ftp.") + name;
            account.password = CString("pw-") + name;
            SaveAccountPrefs(account);
            AddAccountToList(name);
        }
    }
    ScopedPrefs prefs;
};

} // namespace

TEST_F(AccountsTest, AddEditRenameSetDefaultAndDelete) {
    EXPECT_EQ(
        IDOK, openManager([&](HWND m) {
            for (int button : {IDC_ACCOUNTS_EDIT, IDC_ACCOUNTS_DELETE, IDC_ACCOUNTS_DEFAULT})
                ClickButton(m, button); // no row selected: nothing happens
            details(m, IDC_ACCOUNTS_ADD, "Home|ftp.home||me|pw", {IDC_ACC_SAVEPASSWORD});
            details(m, IDC_ACCOUNTS_ADD, "Work|ftp.work|2121", {IDC_ACC_PASV});
            // Newest at the top; the first account became the current one.
            EXPECT_EQ(rows(m), (std::vector<CString>{"Work|ftp.work|2121||N|Y|N",
                                                     "Home|ftp.home|21|me|N|N|Y"}));
            // A port or name the connection or the store could not use is refused (every rule is
            // in the settings table), a name the store holds already is asked about; the dialog
            // stays open.
            const struct {
                const char *name, *port, *says;
                int answer;
            } refusals[] = {{"Other", "70000", "valid port", IDOK},
                            {"Ho,me", "21", "account name", IDOK},
                            {"home", "21", "\"Home\" exists", IDNO}}; // the same section as Home
            ClickInto(m, IDC_ACCOUNTS_ADD, "Preferences", [&](HWND d) {
                SetText(d, IDC_ACC_SERVER, "x");
                for (const auto& refusal : refusals) {
                    SetText(d, IDC_ACC_NAME, refusal.name);
                    SetText(d, IDC_ACC_PORT, refusal.port);
                    BoxAnswers box("Warning", {refusal.answer});
                    ClickButton(d, IDOK);
                    EXPECT_NE(box.texts.at(0).find(refusal.says), npos) << refusal.name;
                }
                ClickButton(d, IDCANCEL);
            });
            select(m, "Work"); // an edit that keeps the name keeps the place
            details(m, IDC_ACCOUNTS_EDIT, "|new.work");
            select(m, "Home"); // a rename moves it to the end, and it stays current
            details(m, IDC_ACCOUNTS_EDIT, "Home2");
            EXPECT_EQ(rows(m), (std::vector<CString>{"Home2|ftp.home|21|me|N|N|Y", // still current
                                                     "Work|new.work|2121||N|Y|N"}));
            select(m, "Work");
            ClickButton(m, IDC_ACCOUNTS_DEFAULT);
            details(m, IDC_ACCOUNTS_ADD, "Third|ftp.third|990", {IDC_ACC_ANONYMOUS});
            SaveScreenshot(m, "account-manager-three-accounts.bmp");
            select(m,
                   "Third"); // onto another account only when the user agrees; it keeps its place
            {
                BoxAnswers replace("Warning", {IDYES});
                details(m, IDC_ACCOUNTS_EDIT, "work");
            }
            EXPECT_EQ(rows(m), (std::vector<CString>{"Home2|ftp.home|21|me|N|N|N",
                                                     "Work|ftp.third|990||Y|N|Y"}));
            select(m, "Work"); // deleting the current account leaves none current
            ClickButton(m, IDC_ACCOUNTS_DELETE);
            EXPECT_EQ(rows(m), std::vector<CString>{"Home2|ftp.home|21|me|N|N|N"});
            SetText(m, IDC_ACCOUNTS_ANONNAME, " me@example.com ");
            ClickButton(m, IDOK);
        }));
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ANOYMOUSNAME", ""), " me@example.com ");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "DEFAULT", "absent"), "");
    EXPECT_EQ(GetPrefString(PREFS_SECTION, "ACCOUNTS", ""), "Home2");
    EXPECT_EQ(GetPrefString("USERPREFS/Home2", "WORD", ""), "pw");
}

TEST_F(AccountsTest, ExportAndImportThroughTheirDialogs) {
    TempDir folder;
    const CString plain = folder.path() + "\\plain.inf", damaged = folder.path() + "\\cut.inf";
    addAccounts({"Home", "Work"});
    SetPrefString(PREFS_SECTION, "DEFAULT", "Work");
    openManager([&](HWND m) {
        ClickInto(m, IDC_ACCOUNTS_EXPORT, "Export Accounts", [&](HWND e) {
            SetText(e, IDC_IMPEXP_FILE, plain);
            ClickButton(e, IDOK);
        });
        ClickButton(m, IDOK);
    });
    const std::string full = ReadFile(plain);
    EXPECT_EQ(full.find("pw-"), npos);
    ASSERT_TRUE(WriteFile(damaged, full.substr(0, full.size() - 5)));

    ScopedPrefs other; // another installation, with a Home of its own
    addAccounts({"Home"});
    SetPrefString("USERPREFS/Home", "SERVER", "other.home");
    auto importFrom = [&](HWND m, const CString& path) {
        BoxAnswers report("Tarnwick", {IDOK});
        ClickInto(m, IDC_ACCOUNTS_IMPORT, "Import Accounts", [&](HWND i) {
            SetText(i, IDC_IMPEXP_FILE, path);
            ClickButton(i, IDOK);
        });
        return report.texts.empty() ? CString() : report.texts[0];
    };
    openManager([&](HWND m) {
        EXPECT_NE(importFrom(m, damaged).find("damaged"), npos);
        EXPECT_EQ(rows(m), std::vector<CString>{"Home|other.home|21||N|N|Y"});
        EXPECT_EQ(importFrom(m, plain), "");
        EXPECT_EQ(rows(m),
                  (std::vector<CString>{"Work|ftp.Work|21||N|N|Y", "Home|ftp.Home|21||N|N|N"}));
        ClickButton(m, IDOK);
    });
    // Exported without passwords: the log-on asks instead of sending an empty one.
    EXPECT_EQ(GetPrefInt("USERPREFS/Home", "WORDSAVED", 1), 0);
}
