// The main window's layout from start to close, as the window runs it: stored values read,
// scaled and clamped; splitters dragged with the mouse; values stored at close; the stored
// rectangle read back and placed on the screens.
#include "mainwnd/WindowLayout.h"
#include "settings/Prefs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

// Two screens: the primary one and one to its left.
const std::vector<LayoutRect> kWorkAreas = {{0, 0, 1920, 1040}, {-1280, 0, 0, 1024}};

struct Session {
    LayoutFrame frame;
    PaneSizes sizes;

    explicit Session(int dpi) {
        frame = {1000, 700, 28, 26, 20, dpi};
        sizes = ClampSizes(frame, RescaleSizes(ReadStoredSizes(), kBaseDpi, dpi));
    }
    // Press on a splitter at (x, y), move to (toX, toY), release.
    void drag(int x, int y, int toX, int toY) {
        int which = HitTestSplitter(frame, sizes, x, y);
        ASSERT_NE(which, kNoSplitter) << x << "," << y;
        LayoutRect bar = DragStartRect(frame, sizes, which, x);
        bar = DragRect(frame, sizes, which, toX, toY);
        sizes = EndDragSizes(frame, sizes, which, bar);
    }
    void close(bool minimised, bool maximised) {
        ClosingLayout closing;
        closing.lastDir = "C:\\Work";
        closing.minimised = minimised;
        closing.maximised = maximised;
        closing.normalRect = {10, 20, 10 + ScaleToDpi(800, frame.dpi),
                              20 + ScaleToDpi(600, frame.dpi)};
        closing.sizes = sizes;
        closing.dpi = frame.dpi;
        WriteLayout(closing);
    }
};

struct Row {
    const char* name;
    const char* stored; // "KEY=VALUE ..." in USERPREFS before the start
    int dpi;
    std::function<void(Session&)> act;
    PaneSizes expected;
    std::vector<int> visible; // pane widths (when given)
    const char* after;        // "KEY=VALUE ..." afterwards; "KEY=" is absent
    const char* window;       // "L,T,R,B[ max]" placed on the screens, or "none"
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

void store(const char* pairs) {
    std::istringstream in(pairs);
    std::string pair;
    while (in >> pair) {
        size_t eq = pair.find('=');
        SetPrefString(PREFS_SECTION, pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str());
    }
}

CString placedWindow(int dpi) {
    StoredWindow stored = ReadStoredWindow(dpi);
    if (!stored.valid)
        return "none";
    LayoutRect r = BringIntoView(stored.rect, kWorkAreas);
    std::ostringstream out;
    out << r.left << "," << r.top << "," << r.right << "," << r.bottom
        << (stored.maximised ? " max" : "");
    return out.str();
}

const auto kNothing = [](Session&) {};
const auto kClose = [](Session& s) { s.close(false, false); };

// One row a line or two, as a table reads best.
// clang-format off
const Row kRows[] = {
    {"first start", "", 96, kClose, {{200, 200, 200}, 100}, {197, 194, 194, 397},
     "SPLITTERW0=200 SPLITTERW2=200 TRACEH=100 MainWndW=800 MainWndT=20 LASTDIR=C:\\Work",
     "10,20,810,620"},
    {"splitter 1 dropped onto splitter 0 keeps one bar", "", 96,
     [](Session& s) { s.drag(400, 300, 199, 300); }, {{200, 6, 200}, 100}, {197, 0, 194, 591},
     "", "none"},
    {"splitter 0 dragged past the right edge", "", 96,
     [](Session& s) { s.drag(200, 300, 1500, 300); }, {{997, 200, 200}, 100}, {}, "", "none"},
    {"trace splitter to the very top settles below the toolbar", "", 96,
     [](Session& s) { s.drag(500, 577, 500, 0); }, {{200, 200, 200}, 645}, {}, "", "none"},
    {"trace splitter to the very bottom leaves one bar", "", 96,
     [](Session& s) { s.drag(500, 580, 500, 700); }, {{200, 200, 200}, 6}, {}, "", "none"},
    {"minimised close stores only the folder",
     "SPLITTERW0=150 TRACEH=80 MainWndW=640 MainWndH=480 MainWndL=5 MainWndT=6", 96,
     [](Session& s) {
         s.drag(148, 300, 300, 300);
         s.close(true, false);
     },
     {{300, 200, 200}, 80}, {},
     "LASTDIR=C:\\Work SPLITTERW0=150 TRACEH=80 MainWndW=640 MainWndMax=", "5,6,645,486"},
    {"maximised close keeps the normal rectangle", "", 96,
     [](Session& s) { s.close(false, true); }, {{200, 200, 200}, 100}, {},
     "MainWndW=800 MainWndH=600 MainWndMax=Y", "10,20,810,620 max"},
    {"MainWndT -1 alone discards all four", "MainWndW=800 MainWndH=600 MainWndL=10 MainWndT=-1",
     96, kNothing, {{200, 200, 200}, 100}, {}, "", "none"},
    {"hostile stored sizes are clamped", "SPLITTERW0=-50 SPLITTERW1=5000 SPLITTERW2=300 TRACEH=99999",
     96, kNothing, {{6, 985, 6}, 645}, {3, 979, 0, 0}, "", "none"},
    {"a trace height of zero gets one bar", "TRACEH=0 SPLITTERW2=abc", 96, kNothing,
     {{200, 200, 6}, 6}, {}, "", "none"},
    {"a window on a removed screen comes back", "MainWndW=800 MainWndH=600 MainWndL=5000 MainWndT=200",
     96, kNothing, {{200, 200, 200}, 100}, {}, "", "1120,200,1920,800"},
    {"a window above the screens and too large is fitted",
     "MainWndW=4000 MainWndH=300 MainWndL=-100 MainWndT=-900", 96, kNothing,
     {{200, 200, 200}, 100}, {}, "", "0,0,1920,300"},
    {"a window on the left screen stays", "MainWndW=800 MainWndH=600 MainWndL=-1200 MainWndT=50",
     96, kNothing, {{200, 200, 200}, 100}, {}, "", "-1200,50,-400,650"},
    {"a window of no size gets a usable one", "MainWndW=0 MainWndH=-5 MainWndL=100 MainWndT=100",
     96, kNothing, {{200, 200, 200}, 100}, {}, "", "100,100,300,250"},
    {"150 percent scales what is stored at 96 DPI and back", "TRACEH=120", 144,
     [](Session& s) {
         s.drag(600, 300, 660, 300); // splitter 1 by 60 pixels
         s.close(false, false);
     },
     {{300, 360, 300}, 180}, {296, 351, 291, 35},
     "SPLITTERW0=200 SPLITTERW1=240 TRACEH=120 MainWndW=800 MainWndH=600", "10,20,1210,920"},
};
// clang-format on

class LayoutTable : public ::testing::TestWithParam<Row> {
protected:
    testing_support::ScopedPrefs prefs;
};

TEST_P(LayoutTable, FromStartToClose) {
    const Row& row = GetParam();
    store(row.stored);
    Session session(row.dpi);
    row.act(session);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(row.expected.splitterW[i], session.sizes.splitterW[i]) << "pane " << i;
    EXPECT_EQ(row.expected.traceH, session.sizes.traceH);
    PanePlacement placed = PlacePanes(session.frame, session.sizes);
    for (size_t i = 0; i < row.visible.size(); ++i)
        EXPECT_EQ(row.visible[i], placed.pane[i].width()) << "visible width of pane " << i;

    std::istringstream expected(row.after);
    std::string pair;
    while (expected >> pair) {
        size_t eq = pair.find('=');
        CString key = pair.substr(0, eq);
        EXPECT_EQ(pair.substr(eq + 1), GetPrefString(PREFS_SECTION, key.c_str(), "")) << key;
    }
    EXPECT_EQ(row.window, placedWindow(row.dpi));
}

INSTANTIATE_TEST_SUITE_P(MainWindow, LayoutTable, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& row) {
                             std::string name;
                             for (const char* c = row.param.name; *c; ++c)
                                 name += isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

} // namespace
