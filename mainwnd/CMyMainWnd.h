#pragma once
// The main window and the engine's controller. It turns menu commands, toolbar buttons and
// accelerators into requests to the command queue, and everything the engine reports (reply
// errors, lost connections, log-on prompts, progress, the current remote folder) into trace
// lines, boxes and further requests. Everything runs on the user-interface thread.
#include "engine/CallBackController.h"
#include "engine/CommandQueue.h"
#include "mainwnd/CMyToolBarBase.h"
#include "mainwnd/CTraceBar.h"
#include "mainwnd/WindowLayout.h"
#include "panes/CMyLeftList.h"
#include "panes/CMyLeftTree.h"
#include "panes/CMyRightList.h"
#include "panes/CMyRightTree.h"
#include "panes/PaneHost.h"
#include "search/SearchWalk.h"

#include <windows.h>

class CSearchDialog;
class CTreeLISTCommand;

// Posted to the main window to run the queue pump once the callback that traced has returned.
constexpr UINT WM_QUEUE_PUMP = WM_USER + 101;

class CMyMainWnd : public ICallBackController, public IPaneHost {
public:
    CMyMainWnd();
    ~CMyMainWnd() override;
    CMyMainWnd(const CMyMainWnd&) = delete;
    CMyMainWnd& operator=(const CMyMainWnd&) = delete;

    // The window class "MainWClass" with icon 128 and menu 109.
    static bool registerWindowClass(HINSTANCE instance);
    // Creates the window titled "Tarnwick2 - " and the current account, and shows it.
    bool create(HINSTANCE instance, int showCommand);
    // The message loop's step before dispatching: a shortcut key pressed anywhere in this
    // window becomes its command, whichever control has the focus, except while a name is
    // being edited in place (Ctrl+X there cuts text). True when msg was translated.
    bool translateAccelerator(MSG& msg);

    // ICallBackController
    bool notify(const CString& text, int event, CString& reply) override;
    void trace(const CString& text, int level) override;

    // IPaneOwner
    HWND ownerWindow() const override { return m_hWnd; }
    HIMAGELIST smallImageList() const override { return m_hSmallImages; }

    // IPaneHost
    void listRemoteDir(const CString& path) override;
    bool connected() const override { return m_bConnected; }
    void clearRemoteList() override;
    void listLocalFolder(const CString& path) override;
    CString remoteFolder() const override { return m_rightTree.getSelectedPath(); }
    void uploadFile(const CString& localPath, const CString& remoteDir) override;
    void makeRemoteDir(const CString& path) override;
    void uploadFolder(const CString& localPath, const CString& remoteBase,
                      const CString& relative) override;

    // Operations the panes and dialogs call.
    void downloadFile(const CString& remotePath, const CString& localDir);
    void refreshLocalList(const CString& path);
    void disconnect();
    void abortAll();
    // Lists the remote tree's folder as the start of a search ("N"), or of a recursive delete
    // ("N1") while m_bRecursiveDelete is set; the results dialog opens when it comes back.
    void startRemoteSearch();

    HWND m_hWnd = nullptr;
    HIMAGELIST m_hSmallImages = nullptr;
    CMyLeftTree m_leftTree{*this};
    CMyRightTree m_rightTree{*this};
    CMyLeftList m_leftList;
    CMyRightList m_rightList{*this};
    // Widths of the local tree, the local list and the remote tree; the remote list takes
    // the rest.
    int m_splitterW[3] = {200, 200, 200};
    HINSTANCE m_hInstance = nullptr;
    HWND m_hStatus = nullptr;
    HACCEL m_hAccel = nullptr;
    CString m_statusText; // what the status bar shows
    // The queue's count waiting to be shown (timer IDT_STATUS), and when a count was last
    // shown; see showQueueStatus.
    bool m_statusIsCount = false;
    bool m_statusWaits = false;
    CString m_statusWaiting;
    DWORD m_statusShownAt = 0;
    // The cursor the last trace line set, unknown once WM_SETCURSOR has set one.
    enum { kCursorUnknown, kCursorWait, kCursorArrow };
    int m_traceCursor = kCursorUnknown;
    CTraceBar m_traceBar;
    CMyToolBarBase m_toolBar;
    bool m_bConnected = false;
    bool m_bClosing = false; // the goodbye to the server is under way
    bool m_pumpPosted = false;
    WPARAM m_pumpTicket = 0; // a WM_QUEUE_PUMP with another ticket was moved and is void
    CString m_remotePath;
    CCommandQueue m_queue;
    // The remote search: its root and results, and its dialog while it is open.
    CSearchWalk m_search;
    CSearchDialog* m_pSearchDlg = nullptr;
    bool m_bRecursiveDelete = false;
    bool m_bSearchDlgPosted = false; // the dialog opens once the listing's callback is over
    std::vector<CString> m_searchWaiting; // folders to list once it is open

    // How the Help menu opens its pages (ShellExecuteA); the ui tests record the calls here
    // instead of starting a browser.
    using ShellOpenFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    static ShellOpenFn s_shellOpen;

private:
    static LRESULT CALLBACK staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    void createChildren();
    bool createPanes();
    void layout();
    bool onCommand(int id);
    LRESULT onNotifyMessage(NMHDR* header);
    void setStatus(const CString& text, bool isCount = false);
    void showQueueStatus(const CString& text, bool isCount);
    // Moves the queue on as soon as the current handler has returned: one posted
    // WM_QUEUE_PUMP at a time, or timer IDT_QUEUE when the message cannot be posted.
    void schedulePump();
    // Posts a command to this window to run after the current handler. A pump that is
    // pending then moves behind it: the queue moves on after the command, as it did when
    // the pump waited for a timer.
    void postCommand(int id);
    void updateTitle();

    // Layout that the user shapes (MainLayout.cpp).
    static HBRUSH makeHalftoneBrush();
    LayoutFrame layoutFrame() const;
    PaneSizes paneSizes() const;
    void setPaneSizes(const PaneSizes& sizes);
    void restoreWindowRect();
    void saveLayout();
    void drawSplitters(HDC dc);
    bool setSplitterCursor();
    void invertDragBar();
    void beginDrag(int x, int y);
    void dragTo(int x, int y);
    void endDrag();
    void cancelDrag();
    void onDpiChanged(int dpi, const RECT* suggested);

    int m_dpi = kBaseDpi;
    LayoutRect m_dragRect;
    bool m_bDragging = false;
    int m_dragWhich = kNoSplitter;
    HBRUSH m_hHalftoneBrush = nullptr;
    bool m_bRestoreMaximised = false;

    // Help menu (HelpCommands.cpp).
    void showHelpOverview();
    void showSupport();
    void showAbout();
    void openHelpDocument(HWND owner, const CString& document, int show);

    // Commands (MainCommands.cpp).
    void logOn();
    void chooseAccount(int index);
    void showAccountMenu();
    void resumeAfterReconnect();
    void sendToServer();
    void retrieveFromServer();
    void removeRemoteFiles();
    void createRemoteDir();
    void deleteRemoteDir();
    void runSiteCommand(bool usingFile);
    // The remote search (SearchCommands.cpp).
    void recursiveDelete();
    void onSearchListing(CTreeLISTCommand& listing);
    void openSearchDialog(bool deleteMode);

    // Engine events (MainController.cpp).
    bool onConnectionError(const CString& text, CString& reply);
    bool onServerError(const CString& text, CString& reply);
    bool onLogOnPrompt(int event, CString& reply);
    void onRemoteDir(const CString& text);
    void onListingDone();
    void renameRemote(const CString& newName);
};

// Posted to the main window to open the search results (first parameter: delete mode).
constexpr UINT WM_OPEN_SEARCH = WM_APP + 1;

// The title text: "Tarnwick2 - " and the account name.
CString MainWindowTitle(const CString& account);
