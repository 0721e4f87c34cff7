// The main window's layout from start to close, as the window runs it: stored values read,
// scaled and clamped; splitters dragged with the mouse; values stored at close; the stored
// rectangle read back and placed on the screens. One row each in data/layout.tsv.
#include "mainwnd/WindowLayout.h"
#include "settings/Prefs.h"

#include "tests/support/TestSupport.h"
#include "tests/unit/Table.h"

#include <sstream>

TW_TABLE(k_layout_tsv)

TEST(MainWindow, LayoutFromStartToClose) {
    const std::vector<LayoutRect> screens = {{0, 0, 1920, 1040}, {-1280, 0, 0, 1024}};
    const std::vector<TableRow> rows = TableRows(k_layout_tsv_text());
    EXPECT_EQ(rows.size(), 15u);
    for (const TableRow& row : rows) {
        SCOPED_TRACE("layout.tsv:" + std::to_string(row.line) + " " + row.f[0]);
        testing_support::ScopedPrefs prefs;
        std::istringstream stored(row.f[1]), act(row.f[3]), after(row.f[6]);
        for (std::string pair; stored >> pair;) {
            const size_t eq = pair.find('=');
            SetPrefString(PREFS_SECTION, pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str());
        }
        const LayoutFrame frame = {1000, 700, 28, 26, 20, std::stoi(row.f[2])};
        PaneSizes sizes = ClampSizes(frame, RescaleSizes(ReadStoredSizes(), kBaseDpi, frame.dpi));
        for (std::string step; act >> step;) {
            if (step == "drag") {
                int x, y, toX, toY;
                act >> x >> y >> toX >> toY;
                const int which = HitTestSplitter(frame, sizes, x, y);
                ASSERT_NE(which, kNoSplitter) << x << "," << y;
                DragStartRect(frame, sizes, which, x);
                sizes = EndDragSizes(frame, sizes, which, DragRect(frame, sizes, which, toX, toY));
                continue;
            }
            const LayoutRect normal = {10, 20, 10 + ScaleToDpi(800, frame.dpi),
                                       20 + ScaleToDpi(600, frame.dpi)};
            WriteLayout({"C:\\Work", step == "close-minimised", step == "close-maximised", normal,
                         sizes, frame.dpi});
        }
        std::ostringstream got;
        for (int w : sizes.splitterW)
            got << w << " ";
        got << sizes.traceH;
        EXPECT_EQ(got.str(), row.f[4]);
        if (row.f[5] != "-") {
            const PanePlacement placed = PlacePanes(frame, sizes);
            std::ostringstream visible;
            for (int i = 0; i < 4; ++i)
                visible << (i ? " " : "") << placed.pane[i].width();
            EXPECT_EQ(visible.str(), row.f[5]);
        }
        for (std::string pair; row.f[6] != "-" && after >> pair;) {
            const CString key = pair.substr(0, pair.find('='));
            EXPECT_EQ(pair.substr(pair.find('=') + 1),
                      GetPrefString(PREFS_SECTION, key.c_str(), "")) << key;
        }
        const StoredWindow window = ReadStoredWindow(frame.dpi);
        const LayoutRect r = BringIntoView(window.rect, screens);
        std::ostringstream placed;
        placed << r.left << "," << r.top << "," << r.right << "," << r.bottom
               << (window.maximised ? " max" : "");
        EXPECT_EQ(window.valid ? placed.str() : "none", row.f[7]);
    }
}
