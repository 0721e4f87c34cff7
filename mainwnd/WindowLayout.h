#pragma once
// The arithmetic of the main window's layout, kept free of the window system so that it is
// built and tested on every build: where the four panes, the splitter bars and the trace bar
// go, how a dragged bar moves and where it settles, which stored sizes are sane for the window
// at hand, where a stored window rectangle may go, and what is stored when the window closes.
//
// Lengths are in the window's own pixels. The settings hold them for 96 DPI, so they are scaled
// when read and scaled back when written; a window moved to a screen of another DPI rescales
// what it holds.
//
// Splitter i (0, 1, 2) is the vertical bar to the right of pane i; 3 is the horizontal bar
// above the trace bar; 4 means none.
#include "common/CString.h"

#include <vector>

constexpr int kBaseDpi = 96;
constexpr int kHorizontalSplitter = 3;
constexpr int kNoSplitter = 4;

struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// What the layout depends on, measured on the window.
struct LayoutFrame {
    int clientW = 0;
    int clientH = 0;
    int toolbarH = 0;       // the toolbar's window height
    int toolbarClientH = 0; // the toolbar's client height
    int statusH = 0;        // the status bar's client height
    int dpi = kBaseDpi;
};

// The pane widths (local tree, local list, remote tree; the remote list takes the rest of the
// width) and the trace bar's height.
struct PaneSizes {
    int splitterW[3] = {200, 200, 200};
    int traceH = 100;
};

// Where the children go: the four panes left to right, the trace bar.
struct PanePlacement {
    LayoutRect pane[4];
    LayoutRect trace;
};

// 96-DPI pixels to pixels at dpi and back, rounded to the nearest pixel.
int ScaleToDpi(int pixels, int dpi);
int ScaleFromDpi(int pixels, int dpi);
// PaneSizes from one DPI to another.
PaneSizes RescaleSizes(const PaneSizes& sizes, int fromDpi, int toDpi);

// The thickness of a splitter bar (6 pixels at 96 DPI).
int SplitterBar(int dpi);
// Top of the pane row (the toolbar's lower border is overlapped) and bottom of it (the top
// of the horizontal bar).
int PaneTop(const LayoutFrame& frame);
int PaneBottom(const LayoutFrame& frame, int traceH);
// Left edge of vertical splitter i.
int SplitterLeft(const PaneSizes& sizes, int which, int dpi);

PanePlacement PlacePanes(const LayoutFrame& frame, const PaneSizes& sizes);
// Rectangles of the three vertical bars and of the horizontal one, as they are painted.
std::vector<LayoutRect> SplitterRects(const LayoutFrame& frame, const PaneSizes& sizes);

// Which splitter the client point (x, y) is on: 0 to 2, kHorizontalSplitter or kNoSplitter.
int HitTestSplitter(const LayoutFrame& frame, const PaneSizes& sizes, int x, int y);

// The bar shown when a drag of splitter which starts at (x, y), where HitTestSplitter found it.
LayoutRect DragStartRect(const LayoutFrame& frame, const PaneSizes& sizes, int which, int x);
// The bar shown while the cursor is at (x, y): it stays inside the client area, and a vertical
// bar keeps the bar's width to the right of the splitter before it.
LayoutRect DragRect(const LayoutFrame& frame, const PaneSizes& sizes, int which, int x, int y);
// The sizes once the bar is released at bar: only the dragged splitter's own length changes,
// never below one bar; the trace bar stays at least one bar high and its splitter a little
// below the toolbar.
PaneSizes EndDragSizes(const LayoutFrame& frame, const PaneSizes& sizes, int which,
                       const LayoutRect& bar);

// Stored sizes brought within the limits a drag obeys in this frame (a hand-edited or damaged
// settings file, a smaller screen): no pane narrower than a bar, no splitter past the right
// edge, the trace bar between one bar and the room under the toolbar.
PaneSizes ClampSizes(const LayoutFrame& frame, const PaneSizes& sizes);

// A stored window rectangle placed where the user can reach it: unchanged when its top edge
// lies on some work area with enough of its width to grab; otherwise moved (and if need be
// shrunk) into the work area nearest to it. The size is never below a usable minimum.
LayoutRect BringIntoView(const LayoutRect& window, const std::vector<LayoutRect>& workAreas);

// The settings.
// The pane sizes as stored (96 DPI; 200, 200, 200 and 100 when absent).
PaneSizes ReadStoredSizes();

struct StoredWindow {
    bool valid = false;     // all four values are there (none is -1)
    LayoutRect rect;        // screen coordinates, size scaled to dpi
    bool maximised = false; // the window was closed maximised
};
StoredWindow ReadStoredWindow(int dpi);

// What the window hands over when it closes.
struct ClosingLayout {
    CString lastDir;        // the local tree's selected folder; empty writes nothing
    bool minimised = false; // then only the folder is stored
    bool maximised = false;
    LayoutRect normalRect; // the window's rectangle when neither minimised nor maximised
    PaneSizes sizes;       // at dpi
    int dpi = kBaseDpi;
};
void WriteLayout(const ClosingLayout& closing);
