#pragma once
// Pixel sizes of the window code are given for 96 DPI and scaled to the DPI of the window
// they apply to (the program is per-monitor DPI aware). The environment variable
// TARNWICK2_DPI, when set to a number, stands for every window's DPI, so scaling can be seen
// and tested on a single 96-DPI screen (Wine, Xvfb).
#include <windows.h>

// The DPI of the window (of the screen when window is null).
int WindowDpi(HWND window);
// 96-DPI pixels to the window's pixels, and back (rounded to the nearest pixel).
int ScaleForWindow(HWND window, int pixels);
int UnscaleForWindow(HWND window, int pixels);
