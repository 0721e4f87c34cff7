// The main window driven for real under Wine: created, logging on to a local server with the
// account in the settings, reporting a refused connection, and closing.
#include "mainwnd/CMyMainWnd.h"

#include "engine/Command.h"
#include "net/FtpSocketControl.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/RawPeer.h"
#include "tests/support/Rig.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

using namespace ui_test;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Local");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Local");
        SetPrefString("USERPREFS/Local", "SERVER", "127.0.0.1");
        SetPrefString("USERPREFS/Local", "PASV", "Y");
    }
    void TearDown() override {
        if (window.m_hWnd)
            DestroyWindow(window.m_hWnd);
        GetControlSocket().Close();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    void useServer(const rig::Server& server) {
        SetPrefInt("USERPREFS/Local", "PORT", server.port());
        SetPrefString("USERPREFS/Local", "USER", server.user().c_str());
        SetPrefString("USERPREFS/Local", "WORD", server.password().c_str());
    }
    std::vector<CString> traceRows() {
        window.m_traceBar.flush(); // the lines of the last moments may still be gathered
        std::vector<CString> rows;
        const CBaseList& list = window.m_traceBar.m_list;
        for (int i = list.getItemCount() - 1; i >= 0; --i) // oldest first
            rows.push_back(list.getItemText(i, 0));
        return rows;
    }
    bool traceHas(const char* prefix) {
        for (const CString& row : traceRows()) {
            if (row.rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    }
    CString statusText() const {
        char text[256] = {};
        SendMessageA(window.m_hStatus, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool idle() const {
        const CCommand* current = window.m_queue.currentCommand();
        return window.m_queue.pendingCount() == 0 && current &&
               current->getState() == CMD_FINISHED;
    }

    testing_support::ScopedPrefs prefs;
    CMyMainWnd window;
};

TEST_F(MainWindowTest, LogsOnWithTheCurrentAccountAndShowsTheDialogue) {
    auto server = rig::StartPyftpdlib();
    ASSERT_TRUE(server->ok()) << server->error();
    useServer(*server);
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    char title[256] = {};
    GetWindowTextA(window.m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Tarnwick2 - Local");
    EXPECT_EQ(GetCallBackController(), &window);

    SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
    ASSERT_TRUE(PumpUntil([&] { return window.m_bConnected && idle() && !window.m_remotePath.empty(); }))
        << "the log-on and the PWD after it did not finish";
    EXPECT_TRUE(traceHas("220 "));
    EXPECT_TRUE(traceHas("USER tw"));
    EXPECT_TRUE(traceHas("230 "));
    EXPECT_TRUE(traceHas("Logging into account Local"));
    EXPECT_FALSE(traceHas("PASS"));
    EXPECT_FALSE(traceHas("Command State Change")); // level 9 is never shown
    for (const CString& row : traceRows())
        EXPECT_EQ(row.find_first_of("\r\n"), std::string::npos) << row; // shown without CR LF
    EXPECT_EQ(statusText(), "Ready");
    EXPECT_EQ(window.m_remotePath, "/");
    EXPECT_TRUE(SaveScreenshot(window.m_hWnd, "mainwnd-logged-on.png"));
}

TEST_F(MainWindowTest, ARefusedConnectionOffersRetryAndCancelAborts) {
    SetPrefInt("USERPREFS/Local", "PORT", testing_support::UnusedLoopbackPort());
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    CString boxText;
    RunModal(
        [&] {
            SendMessageA(window.m_hWnd, WM_COMMAND, ID_LOGON, 0);
            PumpUntil([&] { return traceHas("Abort complete"); });
            return static_cast<INT_PTR>(0);
        },
        "Tarnwick",
        [&](HWND box) {
            boxText = GetText(box, 0xFFFF); // the message text of a message box
            ClickButton(box, IDCANCEL);
        });
    EXPECT_NE(boxText.find("FTP error"), std::string::npos) << boxText;
    EXPECT_NE(boxText.find("Could Not Connect To Server!"), std::string::npos) << boxText;
    EXPECT_TRUE(traceHas("Abort complete"));
    EXPECT_FALSE(window.m_bConnected);
    EXPECT_EQ(window.m_queue.pendingCount(), 0u);
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndEndsTheLoop) {
    ASSERT_TRUE(window.create(GetModuleHandleA(nullptr), SW_SHOW));
    HWND handle = window.m_hWnd;
    SendMessageA(handle, WM_COMMAND, ID_EXIT, 0);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(window.m_hWnd, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(GetCallBackController(), nullptr);
}

} // namespace
