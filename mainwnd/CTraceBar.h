#pragma once
// The trace bar along the bottom of the main window: the trace list (upper two thirds), the
// FTP dialogue and the engine's progress lines, newest first; and the transfer meter (lower
// third), a chart of bytes per second over the last five minutes with the highest rate of
// the run written across its foot.
#include "common/CString.h"
#include "mainwnd/MeterSampler.h"
#include "panes/CBaseList.h"
#include "panes/PaneOwner.h"

#include <windows.h>

// The trace list: a one-column list inside the trace bar.
class CTraceList : public CBaseList {
public:
    // Creates the control (once) inside the container, column "TRACE" columnWidth wide.
    bool createIn(HWND container, int columnWidth);
    // Popup "3" of the context menus ("Clear"), owned by the container, which passes the
    // command on to the main window.
    void onContextMenu(int x, int y) override;
};

class CTraceBar {
public:
    // Lines above this level are not shown (state changes, socket events, PORT addresses).
    static constexpr int kMaxShownLevel = 5;
    // The list is emptied, not trimmed, when it holds this many rows.
    static constexpr int kMaxRows = 1001;

    CTraceBar() = default;
    virtual ~CTraceBar() = default;
    CTraceBar(const CTraceBar&) = delete;
    CTraceBar& operator=(const CTraceBar&) = delete;

    // Creates the container (a toolbar control without buttons, so that commands and
    // notifications of its children reach the owner), the trace list and the meter, and
    // starts the meter's one-second timer. True when the container exists.
    virtual bool create(IPaneOwner* owner);
    // Places the container; the list takes the upper two thirds of its client area, the
    // meter the rest.
    void move(int x, int y, int width, int height);
    // Shows text at the top of the list when level is kMaxShownLevel or below. A list that
    // is full is emptied first, whatever the level.
    void addLine(const CString& text, int level);
    void clear();

    HWND m_hWnd = nullptr; // the container
    int m_height = 75;     // the main window replaces it with the stored height
    CTraceList m_list;
    IPaneOwner* m_pOwner = nullptr;
};

// The meter window (null until a trace bar created it) and its figures; one per process.
HWND TransferMeterWindow();
CMeterSampler& TransferMeterSampler();
