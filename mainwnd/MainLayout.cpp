// The main window's layout that the user shapes: the splitter bars, dragging them, and the
// window's place and sizes kept in the settings from one run to the next. The arithmetic is in
// WindowLayout.cpp; this file measures the window and moves and paints it.
#include "mainwnd/CMyMainWnd.h"

#include "panes/Dpi.h"
#include "settings/Prefs.h"

#include <commctrl.h>

namespace {

RECT toRect(const LayoutRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}
LayoutRect fromRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

BOOL CALLBACK addWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info))
        reinterpret_cast<std::vector<LayoutRect>*>(areas)->push_back(fromRect(info.rcWork));
    return TRUE;
}

std::vector<LayoutRect> workAreas() {
    std::vector<LayoutRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, addWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

int rectHeight(HWND window, bool clientOnly) {
    RECT rect = {};
    if (window && (clientOnly ? GetClientRect(window, &rect) : GetWindowRect(window, &rect)))
        return rect.bottom - rect.top;
    return 0;
}

} // namespace

HBRUSH CMyMainWnd::makeHalftoneBrush() {
    // An 8 by 8 checkerboard: rows alternate 0x5555 and 0xAAAA.
    const WORD rows[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
    if (!pattern)
        return nullptr;
    HBRUSH brush = CreatePatternBrush(pattern);
    DeleteObject(pattern);
    return brush;
}

LayoutFrame CMyMainWnd::layoutFrame() const {
    LayoutFrame frame;
    RECT client = {};
    if (m_hWnd)
        GetClientRect(m_hWnd, &client);
    frame.clientW = client.right;
    frame.clientH = client.bottom;
    frame.toolbarH = rectHeight(m_toolBar.m_hWnd, false);
    frame.toolbarClientH = rectHeight(m_toolBar.m_hWnd, true);
    frame.statusH = rectHeight(m_hStatus, true);
    frame.dpi = m_dpi;
    return frame;
}

PaneSizes CMyMainWnd::paneSizes() const {
    PaneSizes sizes;
    for (int i = 0; i < 3; ++i)
        sizes.splitterW[i] = m_splitterW[i];
    sizes.traceH = m_traceBar.m_height;
    return sizes;
}

void CMyMainWnd::setPaneSizes(const PaneSizes& sizes) {
    for (int i = 0; i < 3; ++i)
        m_splitterW[i] = sizes.splitterW[i];
    m_traceBar.m_height = sizes.traceH;
}

// The stored sizes are for 96 DPI; they are limited to the window once it is shown at its
// final size (see create).
void CMyMainWnd::restoreWindowRect() {
    m_dpi = WindowDpi(m_hWnd);
    setPaneSizes(RescaleSizes(paneSizes(), kBaseDpi, m_dpi));
    StoredWindow stored = ReadStoredWindow(m_dpi);
    if (!stored.valid)
        return;
    // The screen it was on may be gone, or smaller.
    LayoutRect rect = BringIntoView(stored.rect, workAreas());
    SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.width(), rect.height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    m_bRestoreMaximised = stored.maximised;
}

void CMyMainWnd::saveLayout() {
    ClosingLayout closing;
    if (m_leftTree.window())
        closing.lastDir = m_leftTree.getSelectedPath();
    closing.minimised = IsIconic(m_hWnd) != FALSE;
    closing.maximised = IsZoomed(m_hWnd) != FALSE;
    RECT rect = {};
    GetWindowRect(m_hWnd, &rect);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (closing.maximised && GetWindowPlacement(m_hWnd, &placement)) {
        // The normal rectangle is kept in work-area coordinates.
        rect = placement.rcNormalPosition;
        MONITORINFO info = {};
        info.cbSize = sizeof info;
        if (GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &info))
            OffsetRect(&rect, info.rcWork.left - info.rcMonitor.left,
                       info.rcWork.top - info.rcMonitor.top);
    }
    closing.normalRect = fromRect(rect);
    closing.sizes = paneSizes();
    closing.dpi = m_dpi;
    WriteLayout(closing);
    if (!closing.minimised) {
        m_leftList.saveColumns(1);
        m_rightList.saveColumns(1);
    }
}

void CMyMainWnd::drawSplitters(HDC dc) {
    if (!dc)
        return;
    const LayoutFrame frame = layoutFrame();
    for (const LayoutRect& bar : SplitterRects(frame, paneSizes())) {
        RECT rect = toRect(bar);
        DrawEdge(dc, &rect, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
    // The strip right of the toolbar, when it is narrower than the window.
    RECT toolbar = {};
    if (m_toolBar.m_hWnd && GetWindowRect(m_toolBar.m_hWnd, &toolbar)) {
        RECT strip = {toolbar.right - toolbar.left - 2, 0, frame.clientW, frame.toolbarH - 2};
        if (strip.right > strip.left && strip.bottom > strip.top) {
            COLORREF old = SetBkColor(dc, RGB(111, 111, 111));
            ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &strip, nullptr, 0, nullptr);
            SetBkColor(dc, old);
        }
    }
}

bool CMyMainWnd::setSplitterCursor() {
    POINT point = {};
    GetCursorPos(&point);
    ScreenToClient(m_hWnd, &point);
    int which = HitTestSplitter(layoutFrame(), paneSizes(), point.x, point.y);
    if (which == kNoSplitter)
        return false;
    LPCSTR shape = which == kHorizontalSplitter ? IDC_SIZENS : IDC_SIZEWE;
    SetCursor(LoadCursorA(nullptr, shape));
    return true;
}

void CMyMainWnd::invertDragBar() {
    HDC dc = GetDC(m_hWnd);
    if (!dc)
        return;
    HGDIOBJ old = m_hHalftoneBrush ? SelectObject(dc, m_hHalftoneBrush) : nullptr;
    PatBlt(dc, m_dragRect.left, m_dragRect.top, m_dragRect.width(), m_dragRect.height(), PATINVERT);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(m_hWnd, dc);
}

void CMyMainWnd::beginDrag(int x, int y) {
    if (m_bDragging)
        endDrag();
    const LayoutFrame frame = layoutFrame();
    int which = HitTestSplitter(frame, paneSizes(), x, y);
    if (which == kNoSplitter)
        return;
    m_dragRect = DragStartRect(frame, paneSizes(), which, x);
    m_dragWhich = which;
    m_bDragging = true;
    SetCapture(m_hWnd);
    invertDragBar();
}

void CMyMainWnd::dragTo(int x, int y) {
    if (!m_bDragging)
        return;
    invertDragBar();
    m_dragRect = DragRect(layoutFrame(), paneSizes(), m_dragWhich, x, y);
    invertDragBar();
}

void CMyMainWnd::endDrag() {
    if (!m_bDragging)
        return;
    setPaneSizes(EndDragSizes(layoutFrame(), paneSizes(), m_dragWhich, m_dragRect));
    invertDragBar();
    m_bDragging = false;
    layout();
    ReleaseCapture();
    InvalidateRect(m_hWnd, nullptr, TRUE);
    m_dragWhich = kNoSplitter;
}

// Another window took the mouse (a box, a switch of windows): the release will not come, so
// the bar goes and nothing moves.
void CMyMainWnd::cancelDrag() {
    if (!m_bDragging)
        return;
    invertDragBar();
    m_bDragging = false;
    m_dragWhich = kNoSplitter;
}

// The window moved to a screen of another DPI: what it holds is rescaled, and it takes the
// rectangle the system suggests.
void CMyMainWnd::onDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0)
        return;
    cancelDrag();
    setPaneSizes(RescaleSizes(paneSizes(), m_dpi, dpi));
    m_dpi = dpi;
    if (suggested)
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    layout();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}
