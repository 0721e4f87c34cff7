#include "mainwnd/WindowLayout.h"

#include "settings/Prefs.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kBar96 = 6;
constexpr int kPaneWidth96 = 200;
constexpr int kTraceHeight96 = 100;
// The toolbar's lower border lies under the panes.
constexpr int kToolbarOverlap = 2;
// A window the user can still grab and resize.
constexpr int kMinWindowW = 200;
constexpr int kMinWindowH = 150;
// How much of the top edge must lie on a screen to count as reachable.
constexpr int kGrip = 48;

int rounded(int64_t numerator, int64_t denominator) {
    if (denominator <= 0)
        return static_cast<int>(numerator);
    int64_t half = denominator / 2;
    int64_t value =
        numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

int leftHalf(int dpi) {
    return SplitterBar(dpi) / 2;
}

// Width of the panes left of splitter which.
int widthBefore(const PaneSizes& sizes, int which) {
    int sum = 0;
    for (int i = 0; i < which; ++i)
        sum += sizes.splitterW[i];
    return sum;
}

// Lowest top of the horizontal bar when it settles.
int minTraceTop(const LayoutFrame& frame) {
    return frame.toolbarClientH + SplitterBar(frame.dpi) + leftHalf(frame.dpi);
}

int64_t squaredDistance(const LayoutRect& area, int x, int y) {
    int64_t dx = x < area.left ? area.left - x : (x > area.right ? x - area.right : 0);
    int64_t dy = y < area.top ? area.top - y : (y > area.bottom ? y - area.bottom : 0);
    return dx * dx + dy * dy;
}

CString splitterKey(int i) {
    char key[16];
    std::snprintf(key, sizeof key, "SPLITTERW%d", i);
    return key;
}

} // namespace

int ScaleToDpi(int pixels, int dpi) {
    return rounded(static_cast<int64_t>(pixels) * dpi, kBaseDpi);
}

int ScaleFromDpi(int pixels, int dpi) {
    return rounded(static_cast<int64_t>(pixels) * kBaseDpi, dpi);
}

PaneSizes RescaleSizes(const PaneSizes& sizes, int fromDpi, int toDpi) {
    PaneSizes result;
    for (int i = 0; i < 3; ++i)
        result.splitterW[i] = rounded(static_cast<int64_t>(sizes.splitterW[i]) * toDpi, fromDpi);
    result.traceH = rounded(static_cast<int64_t>(sizes.traceH) * toDpi, fromDpi);
    return result;
}

int SplitterBar(int dpi) {
    return std::max(2, ScaleToDpi(kBar96, dpi));
}

int PaneTop(const LayoutFrame& frame) {
    return frame.toolbarH - kToolbarOverlap;
}

int PaneBottom(const LayoutFrame& frame, int traceH) {
    return frame.clientH - traceH - frame.statusH - SplitterBar(frame.dpi);
}

int SplitterLeft(const PaneSizes& sizes, int which, int dpi) {
    return widthBefore(sizes, which + 1) - leftHalf(dpi);
}

PanePlacement PlacePanes(const LayoutFrame& frame, const PaneSizes& sizes) {
    const int top = PaneTop(frame);
    const int bottom = PaneBottom(frame, sizes.traceH);
    const int bar = SplitterBar(frame.dpi);
    PanePlacement placement;
    // Each pane ends where the bar to its right begins and starts where the bar to its left
    // ends; the first starts at the window's edge and the last runs to the other edge.
    for (int i = 0; i < 4; ++i) {
        LayoutRect& pane = placement.pane[i];
        pane.left = i == 0 ? 0 : SplitterLeft(sizes, i - 1, frame.dpi) + bar;
        pane.right = i == 3 ? frame.clientW : SplitterLeft(sizes, i, frame.dpi);
        pane.top = top;
        pane.bottom = bottom;
    }
    placement.trace = {0, bottom + bar, frame.clientW, bottom + bar + sizes.traceH};
    return placement;
}

std::vector<LayoutRect> SplitterRects(const LayoutFrame& frame, const PaneSizes& sizes) {
    const int top = PaneTop(frame);
    const int bottom = PaneBottom(frame, sizes.traceH);
    const int bar = SplitterBar(frame.dpi);
    std::vector<LayoutRect> rects;
    for (int i = 0; i < 3; ++i) {
        int left = SplitterLeft(sizes, i, frame.dpi);
        rects.push_back({left, top, left + bar, bottom});
    }
    rects.push_back({0, bottom, frame.clientW, bottom + bar});
    return rects;
}

int HitTestSplitter(const LayoutFrame& frame, const PaneSizes& sizes, int x, int y) {
    const int top = PaneTop(frame);
    const int bottom = PaneBottom(frame, sizes.traceH);
    const int bar = SplitterBar(frame.dpi);
    if (y >= top && y <= bottom) {
        for (int i = 0; i < 3; ++i) {
            int left = SplitterLeft(sizes, i, frame.dpi);
            if (x > left && x < left + bar)
                return i;
        }
        return kNoSplitter;
    }
    return y > bottom && y <= bottom + bar ? kHorizontalSplitter : kNoSplitter;
}

LayoutRect DragStartRect(const LayoutFrame& frame, const PaneSizes& sizes, int which, int x) {
    const int bar = SplitterBar(frame.dpi);
    const int bottom = PaneBottom(frame, sizes.traceH);
    if (which == kHorizontalSplitter)
        return {0, bottom, frame.clientW, bottom + bar};
    int left = x - leftHalf(frame.dpi);
    return {left, PaneTop(frame), left + bar, bottom};
}

LayoutRect DragRect(const LayoutFrame& frame, const PaneSizes& sizes, int which, int x, int y) {
    const int bar = SplitterBar(frame.dpi);
    if (which == kHorizontalSplitter) {
        int top = std::max(y, frame.toolbarClientH + bar);
        if (frame.clientH - top - frame.statusH <= bar)
            top = frame.clientH - frame.statusH - bar;
        return {0, top, frame.clientW, top + bar};
    }
    int left = x - leftHalf(frame.dpi);
    if (left + bar > frame.clientW)
        left = frame.clientW - bar;
    else
        left = std::max(left, widthBefore(sizes, which) + leftHalf(frame.dpi));
    return {left, PaneTop(frame), left + bar, PaneBottom(frame, sizes.traceH)};
}

PaneSizes EndDragSizes(const LayoutFrame& frame, const PaneSizes& sizes, int which,
                       const LayoutRect& barRect) {
    const int bar = SplitterBar(frame.dpi);
    PaneSizes result = sizes;
    if (which == kHorizontalSplitter) {
        int top = std::max(barRect.top, minTraceTop(frame));
        result.traceH = frame.clientH - top - frame.statusH;
        if (result.traceH < 1)
            result.traceH = bar;
    } else if (which >= 0 && which < 3) {
        int left = std::min(barRect.left, frame.clientW - bar);
        result.splitterW[which] =
            std::max(bar, left - widthBefore(sizes, which) + leftHalf(frame.dpi));
    }
    return result;
}

PaneSizes ClampSizes(const LayoutFrame& frame, const PaneSizes& sizes) {
    const int bar = SplitterBar(frame.dpi);
    PaneSizes result = sizes;
    // A splitter may be dragged up to one bar before the right edge.
    const int maxRight = frame.clientW - bar + leftHalf(frame.dpi);
    // Each pane keeps room for the ones to its right, one bar each.
    int before = 0;
    for (int i = 0; i < 3; ++i) {
        int& width = result.splitterW[i];
        width = std::max(bar, std::min(width, maxRight - before - (2 - i) * bar));
        before += width;
    }
    const int maxTrace = frame.clientH - frame.statusH - minTraceTop(frame);
    result.traceH = std::max(bar, std::min(result.traceH, maxTrace));
    return result;
}

LayoutRect BringIntoView(const LayoutRect& window, const std::vector<LayoutRect>& workAreas) {
    LayoutRect rect = window;
    rect.right = rect.left + std::max(rect.width(), kMinWindowW);
    rect.bottom = rect.top + std::max(rect.height(), kMinWindowH);
    if (workAreas.empty())
        return rect;
    for (const LayoutRect& area : workAreas) {
        int shared = std::min(rect.right, area.right) - std::max(rect.left, area.left);
        if (rect.top >= area.top && rect.top < area.bottom - kGrip && shared >= kGrip)
            return rect;
    }
    const int centreX = rect.left + rect.width() / 2;
    const int centreY = rect.top + rect.height() / 2;
    const LayoutRect* nearest = &workAreas.front();
    for (const LayoutRect& area : workAreas) {
        if (squaredDistance(area, centreX, centreY) < squaredDistance(*nearest, centreX, centreY))
            nearest = &area;
    }
    const int width = std::min(rect.width(), nearest->width());
    const int height = std::min(rect.height(), nearest->height());
    const int left = std::clamp(rect.left, nearest->left, nearest->right - width);
    const int top = std::clamp(rect.top, nearest->top, nearest->bottom - height);
    return {left, top, left + width, top + height};
}

PaneSizes ReadStoredSizes() {
    PaneSizes sizes;
    for (int i = 0; i < 3; ++i)
        sizes.splitterW[i] = GetPrefInt(PREFS_SECTION, splitterKey(i).c_str(), kPaneWidth96);
    sizes.traceH = GetPrefInt(PREFS_SECTION, "TRACEH", kTraceHeight96);
    return sizes;
}

StoredWindow ReadStoredWindow(int dpi) {
    StoredWindow stored;
    const int width = GetPrefInt(PREFS_SECTION, "MainWndW", -1);
    const int height = GetPrefInt(PREFS_SECTION, "MainWndH", -1);
    const int left = GetPrefInt(PREFS_SECTION, "MainWndL", -1);
    const int top = GetPrefInt(PREFS_SECTION, "MainWndT", -1);
    stored.valid = width != -1 && height != -1 && left != -1 && top != -1;
    if (!stored.valid)
        return stored;
    stored.rect = {left, top, left + ScaleToDpi(width, dpi), top + ScaleToDpi(height, dpi)};
    stored.maximised = GetPrefString(PREFS_SECTION, "MainWndMax", "N") != "N";
    return stored;
}

void WriteLayout(const ClosingLayout& closing) {
    if (!closing.lastDir.empty())
        SetPrefString(PREFS_SECTION, "LASTDIR", closing.lastDir.c_str());
    if (closing.minimised)
        return;
    const LayoutRect& rect = closing.normalRect;
    SetPrefInt(PREFS_SECTION, "MainWndW", ScaleFromDpi(rect.width(), closing.dpi));
    SetPrefInt(PREFS_SECTION, "MainWndH", ScaleFromDpi(rect.height(), closing.dpi));
    SetPrefInt(PREFS_SECTION, "MainWndL", rect.left);
    SetPrefInt(PREFS_SECTION, "MainWndT", rect.top);
    SetPrefString(PREFS_SECTION, "MainWndMax", closing.maximised ? "Y" : "N");
    const PaneSizes stored = RescaleSizes(closing.sizes, closing.dpi, kBaseDpi);
    for (int i = 0; i < 3; ++i)
        SetPrefInt(PREFS_SECTION, splitterKey(i).c_str(), stored.splitterW[i]);
    SetPrefInt(PREFS_SECTION, "TRACEH", stored.traceH);
}
