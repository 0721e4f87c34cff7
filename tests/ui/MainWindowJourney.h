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

#include <cstring>
#include <vector>

namespace ui_journey {

using namespace ui_test;

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
    std::vector<CString> traceRows() const {
        std::vector<CString> rows;
        const CBaseList& list = window.m_traceBar.m_list;
        for (int i = list.getItemCount() - 1; i >= 0; --i) // oldest first
            rows.push_back(list.getItemText(i, 0));
        return rows;
    }
    // The whole trace, oldest line first, for failure messages.
    CString traceText() const {
        CString text;
        for (const CString& row : traceRows())
            text += row + "\n";
        return text;
    }
    bool traceHas(const char* prefix) const {
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
        // A finished listing is retired at once: then no command is current.
        return window.m_queue.pendingCount() == 0 &&
               (!current || current->getState() == CMD_FINISHED);
    }

    // The remote list's names, top row first; the tree node's children's texts.
    std::vector<CString> remoteRows() const {
        std::vector<CString> rows;
        for (int i = 0; i < window.m_rightList.getItemCount(); ++i)
            rows.push_back(window.m_rightList.getItemText(i, 0));
        return rows;
    }
    std::vector<CString> children(HTREEITEM node) const {
        std::vector<CString> texts;
        const CMyRightTree& tree = window.m_rightTree;
        for (HTREEITEM child = tree.getChild(node); child; child = tree.getNextSibling(child))
            texts.push_back(tree.getItemText(child));
        return texts;
    }
    HTREEITEM child(HTREEITEM node, const char* text) const {
        const CMyRightTree& tree = window.m_rightTree;
        for (HTREEITEM c = tree.getChild(node); c; c = tree.getNextSibling(c)) {
            if (tree.getItemText(c) == text)
                return c;
        }
        return nullptr;
    }
    int remoteRow(const char* name) const {
        for (int i = 0; i < window.m_rightList.getItemCount(); ++i) {
            if (window.m_rightList.getItemText(i, 0) == name)
                return i;
        }
        return -1;
    }
    int traceCount(const char* line) const {
        int n = 0;
        for (const CString& row : traceRows())
            n += row == line;
        return n;
    }
    bool showsFolder(const char* path) {
        return idle() && window.m_rightTree.getSelectedPath() == path;
    }
    // A key pressed with the focus where it is, through the program's message loop step.
    bool pressKey(UINT key, bool control, bool shift = false) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        BYTE saved[256];
        memcpy(saved, state, sizeof saved);
        state[VK_CONTROL] = control ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg = {};
        msg.hwnd = GetFocus();
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        msg.lParam = 1;
        bool translated = window.translateAccelerator(msg);
        if (!translated) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        SetKeyboardState(saved);
        PumpPending();
        return translated;
    }
    void doubleClickRow(int row) {
        HWND list = window.m_rightList.window();
        RECT bounds = {};
        bounds.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds));
        const int x = bounds.left + 4, y = (bounds.top + bounds.bottom) / 2;
        Click(list, x, y);
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpPending();
    }

    testing_support::ScopedPrefs prefs;
    CMyMainWnd window;
};

} // namespace ui_journey
