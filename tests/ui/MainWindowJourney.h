#pragma once
// The fixture of the main window's journeys: the real window with a private settings file
// whose current account "Local" is a server on 127.0.0.1, and what a user would look at.
#include "mainwnd/CMyMainWnd.h"

#include "engine/Command.h"
#include "net/FtpSocketControl.h"
#include "res/resource.h"
#include "settings/Prefs.h"
#include "tests/support/Rig.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiHarness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace ui_journey {

using namespace ui_test;
using testing_support::ReadFile;
using testing_support::WriteFile;

// Runs a Linux program (Wine starts those too) in a local folder, for what Windows calls cannot
// make: a symbolic link, a name that ends in a blank. Its end cannot be waited for: callers
// wait for what it makes.
inline bool RunUnix(CString commandLine, const CString& folder) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &process);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return started;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMyMainWnd::registerWindowClass(GetModuleHandleA(nullptr));
        SetPrefString(PREFS_SECTION, "ACCOUNTS", "Local");
        SetPrefString(PREFS_SECTION, "DEFAULT", "Local");
        SetPrefString("USERPREFS/Local", "SERVER", "127.0.0.1");
    }
    void TearDown() override {
        if (win && win->m_hWnd)
            DestroyWindow(win->m_hWnd);
        GetControlSocket().Close();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    // A new window, as at a new start of the program; Exit ends the one before and its loop.
    void start() {
        if (win && win->m_hWnd) {
            command(ID_EXIT);
            MSG quit;
            EXPECT_TRUE(!win->m_hWnd && PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        }
        win = std::make_unique<CMyMainWnd>();
        ASSERT_TRUE(win->create(GetModuleHandleA(nullptr), SW_SHOW));
        PumpPending();
    }
    void useServer(const rig::Server& server, bool passive = true) {
        SetPrefInt("USERPREFS/Local", "PORT", server.port());
        SetPrefString("USERPREFS/Local", "USER",
                      server.user().empty() ? "tester" : server.user().c_str());
        SetPrefString("USERPREFS/Local", "WORD",
                      server.user().empty() ? "word" : server.password().c_str());
        SetPrefString("USERPREFS/Local", "PASV", passive ? "Y" : "N");
    }
    // The window started on the local folder and logged on to server, showing its root.
    void logOn(const rig::Server& server) {
        useServer(server);
        SetPrefString(PREFS_SECTION, "LASTDIR", local.path().c_str());
        start();
        command(ID_LOGON);
        ASSERT_TRUE(PumpUntil([&] { return showsFolder("/") && win->m_bConnected; }));
    }
    LRESULT command(int id) { return SendMessageA(win->m_hWnd, WM_COMMAND, id, 0); }
    std::vector<CString> traceRows() const { // oldest first
        win->m_traceBar.flush(); // the lines of the last moments may still be gathered
        std::vector<CString> rows;
        for (int i = win->m_traceBar.m_list.getItemCount() - 1; i >= 0; --i)
            rows.push_back(win->m_traceBar.m_list.getItemText(i, 0));
        return rows;
    }
    // The trace, oldest line first, each line after a "\n" and before one.
    CString trace() const {
        CString text = "\n";
        for (const CString& row : traceRows())
            text += row + "\n";
        return text;
    }
    bool traceHas(const CString& prefix) const {
        return trace().find("\n" + prefix) != CString::npos;
    }
    CString title() const {
        char text[256] = {};
        GetWindowTextA(win->m_hWnd, text, sizeof text);
        return text;
    }
    CString statusText() const {
        char text[256] = {};
        SendMessageA(win->m_hStatus, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool idle() const { // a finished listing is retired at once: then no command is current
        const CCommand* current = win->m_queue.currentCommand();
        return win->m_queue.pendingCount() == 0 &&
               (!current || current->getState() == CMD_FINISHED);
    }
    bool showsFolder(const char* path) {
        return idle() && win->m_rightTree.getSelectedPath() == path;
    }
    static std::vector<CString> names(const CBaseList& list) {
        std::vector<CString> rows;
        for (int i = 0; i < list.getItemCount(); ++i)
            rows.push_back(list.getRecord(i).name);
        return rows;
    }
    static int row(const CBaseList& list, const char* name) {
        std::vector<CString> rows = names(list);
        auto found = std::find(rows.begin(), rows.end(), name);
        return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
    }
    int remoteRow(const char* name) const { return row(win->m_rightList, name); }
    int localRow(const char* name) const { return row(win->m_leftList, name); }
    std::vector<CString> children(HTREEITEM node) const {
        std::vector<CString> texts;
        const CMyRightTree& tree = win->m_rightTree;
        for (HTREEITEM c = tree.getChild(node); c; c = tree.getNextSibling(c))
            texts.push_back(tree.getItemText(c));
        return texts;
    }
    HTREEITEM child(HTREEITEM node, const char* text) const {
        HTREEITEM c = win->m_rightTree.getChild(node);
        while (c && win->m_rightTree.getItemText(c) != text)
            c = win->m_rightTree.getNextSibling(c);
        return c;
    }
    // A key pressed with the focus where it is, through the program's message loop step.
    bool pressKey(UINT key, bool control, bool shift = false) {
        BYTE state[256] = {}, saved[256] = {};
        GetKeyboardState(saved);
        memcpy(state, saved, sizeof state);
        state[VK_CONTROL] = control ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg = {GetFocus(), WM_KEYDOWN, key, 1, 0, {0, 0}};
        bool translated = win->translateAccelerator(msg);
        if (!translated) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SetKeyboardState(saved);
        PumpPending();
        return translated;
    }
    void doubleClick(const CBaseList& list, const char* name) {
        RECT bounds = {LVIR_LABEL, 0, 0, 0};
        SendMessageA(list.window(), LVM_GETITEMRECT, row(list, name),
                     reinterpret_cast<LPARAM>(&bounds));
        const int x = bounds.left + 4, y = (bounds.top + bounds.bottom) / 2;
        Click(list.window(), x, y);
        PostMessageA(list.window(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(list.window(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpPending();
    }

    testing_support::ScopedPrefs prefs;
    testing_support::TempDir local;
    std::unique_ptr<CMyMainWnd> win;
};

} // namespace ui_journey
