#include "panes/Dpi.h"

#include <cstdlib>

namespace {

constexpr int kBaseDpi = 96;

int overrideDpi() {
    const char* text = getenv("TARNWICK2_DPI");
    int dpi = text ? atoi(text) : 0;
    return dpi >= 48 && dpi <= 960 ? dpi : 0;
}

// GetDpiForWindow exists from Windows 10 1607 on; earlier systems have one DPI for all.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

GetDpiForWindowFn dpiForWindow() {
    static GetDpiForWindowFn function = [] {
        HMODULE user = GetModuleHandleA("user32.dll");
        FARPROC found = user ? GetProcAddress(user, "GetDpiForWindow") : nullptr;
        return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(found));
    }();
    return function;
}

} // namespace

int WindowDpi(HWND window) {
    if (int forced = overrideDpi())
        return forced;
    if (window && dpiForWindow()) {
        UINT dpi = dpiForWindow()(window);
        if (dpi)
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

int ScaleForWindow(HWND window, int pixels) {
    return MulDiv(pixels, WindowDpi(window), kBaseDpi);
}

int UnscaleForWindow(HWND window, int pixels) {
    return MulDiv(pixels, kBaseDpi, WindowDpi(window));
}
