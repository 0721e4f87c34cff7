#include "mainwnd/CTraceBar.h"

#include "mainwnd/MeterWindow.h"
#include "panes/Dpi.h"
#include "res/resource.h"

namespace {
// Column width when the owner is too narrow to give one.
constexpr int kFallbackColumnWidth = 100;
// The column spans the owner's width less room for a scroll bar.
constexpr int kColumnMargin = 30;
// The container's timer that puts the rest of a burst into the list, and the property that
// leads from the container back to its bar.
constexpr UINT_PTR kFlushTimer = 2;
const char kBarProperty[] = "Tarnwick2.TraceBar";
} // namespace

bool CTraceList::createIn(HWND container, int columnWidth) {
    if (m_hWnd)
        return true;
    DWORD style =
        WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_EDITLABELS;
    HWND control = CreateWindowExA(
        0, WC_LISTVIEWA, "", style, 0, 0, 100, 100, container,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TRACE_LIST)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(container, GWLP_HINSTANCE)), nullptr);
    if (!control)
        return false;
    subclass(control);
    insertColumn(0, "TRACE", LVCFMT_LEFT, columnWidth, -1);
    return true;
}

void CTraceList::onContextMenu(int x, int y) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POPUPS));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, POPUP_TRACE);
    if (popup)
        TrackPopupMenu(popup, 0, x, y, 0, GetParent(m_hWnd), nullptr);
    DestroyMenu(menu);
}

CTraceBar::~CTraceBar() {
    if (m_hWnd && IsWindow(m_hWnd)) {
        KillTimer(m_hWnd, kFlushTimer);
        RemovePropA(m_hWnd, kBarProperty);
    }
}

bool CTraceBar::create(IPaneOwner* owner) {
    m_pOwner = owner;
    if (!owner || !owner->ownerWindow())
        return false;
    HWND parent = owner->ownerWindow();
    if (!m_hWnd) {
        m_hWnd = CreateToolbarEx(
            parent, WS_CHILD | WS_VISIBLE | WS_BORDER | CCS_NORESIZE | TBSTYLE_TOOLTIPS,
            IDC_TRACEBAR, 0, nullptr, 0, nullptr, 0, 0, 0, 100, 30, sizeof(TBBUTTON));
    }
    if (!m_hWnd)
        return false;
    SetPropA(m_hWnd, kBarProperty, this);
    RECT client = {};
    GetClientRect(parent, &client);
    // In 96-DPI pixels, as columns are inserted.
    int columnWidth = UnscaleForWindow(parent, client.right - client.left) - kColumnMargin;
    m_list.createIn(m_hWnd, columnWidth > 0 ? columnWidth : kFallbackColumnWidth);
    CreateTransferMeter(m_hWnd);
    return true;
}

void CTraceBar::move(int x, int y, int width, int height) {
    MoveWindow(m_hWnd, x, y, width, height, TRUE);
    // The parts share the container's client area (inside its border), so that the foot of
    // the meter, where its caption stands, is not cut off.
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    const int listHeight = client.bottom * 2 / 3;
    MoveWindow(m_list.window(), 0, 0, client.right, listHeight, TRUE);
    MoveWindow(TransferMeterWindow(), 0, listHeight, client.right, client.bottom - listHeight,
               TRUE);
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

int CTraceBar::rowsAfterBatch() const {
    return (m_emptyFirst ? 0 : m_list.getItemCount()) + static_cast<int>(m_batch.size());
}

void CTraceBar::addLine(const CString& text, int level) {
    // The limit is checked before the level, so a hidden line can empty a full list too.
    // Lines of the batch count as rows already, so the list empties exactly where it would
    // if every line went in on its own.
    if (rowsAfterBatch() >= kMaxRows) {
        m_batch.clear();
        m_emptyFirst = true;
    }
    if (level <= kMaxShownLevel) {
        // Reply lines come with their CR LF, which a list row would show as boxes.
        CString shown = text;
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
            shown.pop_back();
        m_batch.push_back(std::move(shown));
    } else if (!m_emptyFirst) {
        return;
    }
    // A timer alone would not do: posted socket notifications come first, and during a
    // transfer there is nearly always one.
    if (!m_hWnd || GetTickCount() - m_lastFlush >= m_batchMs) {
        flush();
    } else if (!m_flushArmed) {
        m_flushArmed = SetTimer(m_hWnd, kFlushTimer, m_batchMs, onFlushTimer) != 0;
        if (!m_flushArmed)
            flush();
    }
}

void CALLBACK CTraceBar::onFlushTimer(HWND window, UINT, UINT_PTR, DWORD) {
    KillTimer(window, kFlushTimer);
    if (auto* bar = static_cast<CTraceBar*>(GetPropA(window, kBarProperty))) {
        bar->m_flushArmed = false;
        bar->flush();
    }
}

void CTraceBar::flush() {
    if (m_flushArmed) {
        KillTimer(m_hWnd, kFlushTimer);
        m_flushArmed = false;
    }
    m_lastFlush = GetTickCount();
    if (m_batch.empty() && !m_emptyFirst)
        return;
    LARGE_INTEGER began = {}, ended = {}, perSecond = {};
    QueryPerformanceCounter(&began);
    HWND list = m_list.window();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    if (m_emptyFirst)
        m_list.deleteAllItems();
    for (const CString& line : m_batch)
        m_list.insertItem(0, line, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    m_batch.clear();
    m_emptyFirst = false;
    QueryPerformanceCounter(&ended);
    QueryPerformanceFrequency(&perSecond);
    const LONGLONG spacingMs = 20 * 1000 * (ended.QuadPart - began.QuadPart) /
                               (perSecond.QuadPart ? perSecond.QuadPart : 1);
    m_batchMs = static_cast<DWORD>(
        spacingMs < kBatchMs ? kBatchMs : spacingMs > kMaxBatchMs ? kMaxBatchMs : spacingMs);
}

void CTraceBar::clear() {
    m_batch.clear();
    m_emptyFirst = false;
    m_list.deleteAllItems();
}
