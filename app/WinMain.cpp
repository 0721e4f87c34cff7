// The program entry: the uninstaller run, or a normal run that may first create the start-menu
// entries and take an account from the command line, then shows the main window and runs the
// message loop until the window is closed.
#include "app/CommandLine.h"
#include "app/Install.h"
#include "mainwnd/CMyMainWnd.h"
#include "res/resource.h"
#include "settings/Prefs.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

HINSTANCE g_hInstance = nullptr;

// The one main window, alive for the whole run.
static CMyMainWnd g_mainWindow;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLineText, int) {
    g_hInstance = instance;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterPrefSection("Section1");
    const CString commandLine(commandLineText);
    if (IsUninstallCommandLine(commandLine))
        return uninstall(SystemInstallPlaces());
    CMyMainWnd::registerWindowClass(instance);
    if (!commandLine.empty()) {
        CommandLineSwitches switches = ScanCommandLine(commandLine);
        if (switches.shortcuts) {
            CoInitialize(nullptr);
            createShortcuts(SystemInstallPlaces());
        }
        AccountDecision account = ApplyCommandLineAccount(switches);
        if (account.action == AccountAction::Refuse)
            MessageBoxA(nullptr, account.reason.c_str(), "Warning", MB_OK | MB_ICONWARNING);
    }
    if (!g_mainWindow.create(instance, SW_SHOW))
        return 0;
    registerUninstaller(SystemInstallPlaces());
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!g_mainWindow.translateAccelerator(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
