#include "mainwnd/CTraceBar.h"

#include "mainwnd/MeterWindow.h"
#include "panes/Dpi.h"
#include "res/resource.h"

namespace {
// Column width when the owner is too narrow to give one.
constexpr int kFallbackColumnWidth = 100;
// The column spans the owner's width less room for a scroll bar.
constexpr int kColumnMargin = 30;
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

void CTraceBar::addLine(const CString& text, int level) {
    // The limit is checked before the level, so a hidden line can empty a full list too.
    if (m_list.getItemCount() >= kMaxRows)
        m_list.deleteAllItems();
    if (level > kMaxShownLevel)
        return;
    // Reply lines come with their CR LF, which a list row would show as boxes.
    CString shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    m_list.insertItem(0, shown, 0);
}

void CTraceBar::clear() {
    m_list.deleteAllItems();
}
