#include "mainwnd/MeterWindow.h"

#include "mainwnd/CTraceBar.h"
#include "net/TransferMeter.h"
#include "panes/Dpi.h"
#include "res/resource.h"

namespace {

const COLORREF kBarColour = RGB(0, 200, 0);
const COLORREF kBackColour = RGB(0, 100, 0);
const COLORREF kTextColour = RGB(255, 255, 255);

HWND g_hMeter = nullptr;
WNDPROC g_meterOldProc = nullptr;
HBRUSH g_barBrush = nullptr;
HBRUSH g_backBrush = nullptr;

uint32_t tickNow() {
    return GetTickCount();
}

// The chart is drawn off screen and copied in one piece, so the once-a-second repaint does
// not flicker.
void paintMeter(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    // The dialog font at the meter's DPI (the stock object is sized for 96 DPI).
    LOGFONTA look = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof look, &look);
    look.lfHeight = ScaleForWindow(window, look.lfHeight);
    HFONT font = CreateFontIndirectA(&look);
    HGDIOBJ oldFont = SelectObject(dc, font);
    FillRect(dc, &client, g_backBrush);

    const CMeterSampler& sampler = TransferMeterSampler();
    CString text = MeterText(sampler.maxBytesPerSec());
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), text.GetLength(), &extent);
    const int baseline = client.bottom - extent.cy - client.top;
    SetBkColor(dc, kBackColour);
    SetTextColor(dc, kTextColour);
    TextOutA(dc, 0, baseline, text.c_str(), text.GetLength());
    for (const MeterBar& bar :
         MeterBars(sampler.samples(), sampler.maxBytesPerSec(), baseline, width)) {
        RECT column = {bar.left, bar.top, bar.right, baseline};
        FillRect(dc, &column, g_barBrush);
    }

    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EndPaint(window, &paint);
}

LRESULT CALLBACK meterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam != IDT_METER)
            break;
        // Also while nothing moves, so that idle seconds show as empty columns.
        TransferMeterSampler().add(TakeMeterBytes());
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the whole client area is painted in WM_PAINT
    case WM_PAINT:
        paintMeter(window);
        return 0;
    case WM_NCDESTROY: {
        KillTimer(window, IDT_METER);
        WNDPROC old = g_meterOldProc;
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        g_hMeter = nullptr;
        g_meterOldProc = nullptr;
        return CallWindowProcA(old, window, message, wParam, lParam);
    }
    default:
        break;
    }
    return CallWindowProcA(g_meterOldProc, window, message, wParam, lParam);
}

} // namespace

CMeterSampler& TransferMeterSampler() {
    static CMeterSampler sampler(&tickNow);
    return sampler;
}

HWND TransferMeterWindow() {
    return g_hMeter;
}

HWND CreateTransferMeter(HWND container) {
    if (!g_hMeter) {
        g_hMeter = CreateWindowExA(
            0, "Static", "", WS_CHILD | WS_VISIBLE | WS_BORDER | SS_WHITERECT, 0, 0, 100, 100,
            container, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_METER)),
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(container, GWLP_HINSTANCE)), nullptr);
        if (!g_hMeter)
            return nullptr;
        if (!g_barBrush)
            g_barBrush = CreateSolidBrush(kBarColour);
        if (!g_backBrush)
            g_backBrush = CreateSolidBrush(kBackColour);
        g_meterOldProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(g_hMeter, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&meterProc)));
    }
    SetTimer(g_hMeter, IDT_METER, 1000, nullptr);
    return g_hMeter;
}
