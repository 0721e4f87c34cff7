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

#include <vector>

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

    // Lines that come faster than this are gathered and added together, with the list's
    // redrawing off: a row inserted into a visible list costs milliseconds (under Wine about
    // 12), a row of a batch microseconds.
    static constexpr DWORD kBatchMs = 50;
    // Turning redrawing back on costs the list a scroll bar and header update, whatever the
    // batch's size (under Wine about 7 ms). Batches are spaced so that this takes at most a
    // twentieth of a burst: kBatchMs apart, or more when a flush is slower, up to kMaxBatchMs.
    static constexpr DWORD kMaxBatchMs = 250;

    CTraceBar() = default;
    virtual ~CTraceBar();
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
    // is full is emptied first, whatever the level. The rows appear at once after a quiet
    // spell, otherwise with the next batch, at most kBatchMs later (kMaxBatchMs where a
    // flush is slow).
    void addLine(const CString& text, int level);
    void clear();
    // Puts the lines gathered so far into the list now.
    void flush();

    HWND m_hWnd = nullptr; // the container
    int m_height = 75;     // the main window replaces it with the stored height
    CTraceList m_list;
    IPaneOwner* m_pOwner = nullptr;

private:
    static void CALLBACK onFlushTimer(HWND window, UINT, UINT_PTR, DWORD);
    // Rows the list holds once the gathered lines are in.
    int rowsAfterBatch() const;

    std::vector<CString> m_batch; // shown lines not yet in the list, oldest first
    bool m_emptyFirst = false;    // the rule emptied the list after its last batch
    bool m_flushArmed = false;
    DWORD m_lastFlush = 0;
    DWORD m_batchMs = kBatchMs; // the spacing of batches, from the last flush's cost
};

// The meter window (null until a trace bar created it) and its figures; one per process.
HWND TransferMeterWindow();
CMeterSampler& TransferMeterSampler();
