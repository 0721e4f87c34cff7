#pragma once
// The main window and the engine's controller. It turns menu commands, toolbar buttons and
// accelerators into requests to the command queue, and everything the engine reports (reply
// errors, lost connections, log-on prompts, progress, the current remote folder) into trace
// lines, boxes and further requests. Everything runs on the user-interface thread.
#include "engine/CallBackController.h"
#include "engine/CommandQueue.h"
#include "mainwnd/CMyToolBarBase.h"
#include "mainwnd/CTraceBar.h"
#include "panes/PaneOwner.h"

#include <windows.h>

// Posted to the main window to run the queue pump once the callback that traced has returned.
constexpr UINT WM_QUEUE_PUMP = WM_USER + 101;

class CMyMainWnd : public ICallBackController, public IPaneOwner {
public:
    CMyMainWnd();
    ~CMyMainWnd() override;
    CMyMainWnd(const CMyMainWnd&) = delete;
    CMyMainWnd& operator=(const CMyMainWnd&) = delete;

    // The window class "MainWClass" with icon 128 and menu 109.
    static bool registerWindowClass(HINSTANCE instance);
    // Creates the window titled "Tarnwick2 - " and the current account, and shows it.
    bool create(HINSTANCE instance, int showCommand);

    // ICallBackController
    bool notify(const CString& text, int event, CString& reply) override;
    void trace(const CString& text, int level) override;

    // IPaneOwner
    HWND ownerWindow() const override { return m_hWnd; }
    HIMAGELIST smallImageList() const override { return m_hSmallImages; }

    // Operations the panes and dialogs call.
    void disconnect();
    void abortAll();

    HWND m_hWnd = nullptr;
    HIMAGELIST m_hSmallImages = nullptr;
    HINSTANCE m_hInstance = nullptr;
    HWND m_hStatus = nullptr;
    CString m_statusText; // what the status bar shows
    // The cursor the last trace line set, unknown once WM_SETCURSOR has set one.
    enum { kCursorUnknown, kCursorWait, kCursorArrow };
    int m_traceCursor = kCursorUnknown;
    CTraceBar m_traceBar;
    CMyToolBarBase m_toolBar;
    bool m_bConnected = false;
    bool m_pumpPosted = false;
    WPARAM m_pumpTicket = 0; // a WM_QUEUE_PUMP with another ticket was moved and is void
    CString m_remotePath;
    CCommandQueue m_queue;

private:
    static LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void createChildren();
    void layout();
    bool onCommand(int id);
    LRESULT onNotifyMessage(NMHDR* header);
    void setStatus(const CString& text);
    // Moves the queue on as soon as the current handler has returned: one posted
    // WM_QUEUE_PUMP at a time, or timer IDT_QUEUE when the message cannot be posted.
    void schedulePump();
    // Posts a command to this window to run after the current handler. A pump that is
    // pending then moves behind it: the queue moves on after the command, as it did when
    // the pump waited for a timer.
    void postCommand(int id);
    void updateTitle();

    // Commands (MainCommands.cpp).
    void logOn();
    void chooseAccount(int index);
    void showAccountMenu();
    void resumeAfterReconnect();

    // Engine events (MainController.cpp).
    bool onConnectionError(const CString& text, CString& reply);
    bool onServerError(const CString& text, CString& reply);
    bool onLogOnPrompt(int event, CString& reply);
    void onRemoteDir(const CString& text);
};

// The title text: "Tarnwick2 - " and the account name.
CString MainWindowTitle(const CString& account);
