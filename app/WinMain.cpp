// The program entry: one user-interface thread that creates the main window and runs the
// message loop until the window is closed.
#include "mainwnd/CMyMainWnd.h"
#include "res/resource.h"
#include "settings/Prefs.h"

#include <windows.h>

#include <commctrl.h>

HINSTANCE g_hInstance = nullptr;

// The one main window, alive for the whole run.
static CMyMainWnd g_mainWindow;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    g_hInstance = instance;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterPrefSection("Section1");
    CMyMainWnd::registerWindowClass(instance);
    if (!g_mainWindow.create(instance, SW_SHOW))
        return 0;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!g_mainWindow.translateAccelerator(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
