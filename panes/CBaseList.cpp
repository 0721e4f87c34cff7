#include "panes/CBaseList.h"

#include "panes/ControlMap.h"
#include "panes/Dpi.h"
#include "res/resource.h"

#include <windowsx.h>

#include <cctype>
#include <climits>

namespace {

using ListMap = CControlMap<CBaseList>;

int g_nextListId = IDC_FIRST_LIST;

// Longest cell text read back; a guard against a control that never reports an end.
constexpr size_t kMaxCellText = 1 << 20;

} // namespace

CBaseList::~CBaseList() {
    unsubclass();
}

bool CBaseList::create(IPaneOwner* parent) {
    if (!m_pParent && !m_hWnd) {
        if (!parent || !parent->ownerWindow())
            return false;
        m_pParent = parent;
        m_controlId = g_nextListId++;
        DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS |
                      LVS_SHAREIMAGELISTS | LVS_EDITLABELS;
        HWND control = CreateWindowExA(
            0, WC_LISTVIEWA, "", style, 0, 0, 100, 100, parent->ownerWindow(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(m_controlId)),
            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent->ownerWindow(), GWLP_HINSTANCE)),
            nullptr);
        if (!control)
            return false;
        if (parent->smallImageList())
            SendMessageA(control, LVM_SETIMAGELIST, LVSIL_SMALL,
                         reinterpret_cast<LPARAM>(parent->smallImageList()));
        subclass(control);
        // Columns belong to a fresh control only; a second create would double them.
        setupColumns();
    }
    return m_hWnd != nullptr;
}

void CBaseList::setupColumns() {
    insertColumn(0, "BASE", LVCFMT_LEFT, 100, -1);
}

void CBaseList::onContextMenu(int, int) {}

void CBaseList::saveColumns(int) {}

bool CBaseList::onNotify(NMHDR* header, LRESULT* result) {
    if (!header || header->hwndFrom != m_hWnd || header->code != LVN_COLUMNCLICK)
        return false;
    const auto* click = reinterpret_cast<const NMLISTVIEW*>(header);
    m_sortColumn = click->iSubItem;
    m_sortDirection = -m_sortDirection;
    sortItems();
    if (result)
        *result = 0;
    return true;
}

LRESULT CBaseList::onDropFiles(HDROP drop) {
    if (drop)
        DragFinish(drop);
    return 1;
}

void CBaseList::attach(HWND control) {
    unsubclass();
    m_hWnd = control;
    m_controlId = control ? GetDlgCtrlID(control) : 0;
}

CBaseList* CBaseList::fromHandle(HWND control) {
    return ListMap::find(control);
}

void CBaseList::subclass(HWND control) {
    unsubclass();
    m_hWnd = control;
    if (!control)
        return;
    m_controlId = GetDlgCtrlID(control);
    m_oldProc = ListMap::install(control, this, &sharedProc);
}

void CBaseList::unsubclass() {
    if (m_hWnd && m_oldProc)
        ListMap::restore(m_hWnd, m_oldProc);
    m_oldProc = nullptr;
}

LRESULT CALLBACK CBaseList::sharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CBaseList* list = fromHandle(window);
    if (!list)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CONTEXTMENU: {
        POINT at = list->contextMenuPoint(lParam);
        list->onContextMenu(at.x, at.y);
        return 0;
    }
    case WM_DROPFILES:
        return list->onDropFiles(reinterpret_cast<HDROP>(wParam));
    case WM_NCDESTROY: {
        WNDPROC old = list->m_oldProc;
        list->unsubclass();
        list->m_hWnd = nullptr;
        return CallWindowProcA(old, window, message, wParam, lParam);
    }
    default:
        return CallWindowProcA(list->m_oldProc, window, message, wParam, lParam);
    }
}

POINT CBaseList::contextMenuPoint(LPARAM position) const {
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (at.x != -1 || at.y != -1)
        return at;
    at = {0, 0};
    int row = firstSelected() - 1;
    RECT bounds = {};
    bounds.left = LVIR_LABEL;
    if (row >= 0 && SendMessageA(m_hWnd, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&bounds)))
        at = {bounds.left, bounds.bottom};
    ClientToScreen(m_hWnd, &at);
    return at;
}

int CBaseList::insertItem(int index, const CString& text, int icon, LPARAM data) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = icon;
    item.lParam = data;
    return static_cast<int>(
        SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CBaseList::setSubItemText(int row, int column, const CString& text) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return SendMessageA(m_hWnd, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool CBaseList::setItemData(int row, LPARAM value) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = value;
    return SendMessageA(m_hWnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

LPARAM CBaseList::getItemData(int row) const {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

int CBaseList::getItemCount() const {
    return static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0));
}

void CBaseList::deleteAllItems() {
    SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0);
    // A list refilled on every listing would otherwise keep every record it ever showed.
    clearRecords();
}

void CBaseList::clearRecords() {
    m_records.clear();
    m_icons.clear();
}

int CBaseList::insertColumn(int index, const CString& text, int format, int width, int subItem) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = format;
    column.pszText = const_cast<char*>(text.c_str());
    if (width != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = ScaleForWindow(m_hWnd, width);
    }
    if (subItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = subItem;
    }
    return static_cast<int>(
        SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

int CBaseList::columnWidth(int column) const {
    return UnscaleForWindow(m_hWnd,
                            static_cast<int>(SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, column, 0)));
}

int CBaseList::getNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessageA(m_hWnd, LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

void CBaseList::selectAll() {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    // Row -1 applies the state to every row.
    SendMessageA(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&item));
}

int CBaseList::firstSelected() const {
    return getNextItem(-1, LVNI_SELECTED) + 1;
}

int CBaseList::nextSelected(int& cursor) const {
    int row = cursor - 1;
    cursor = getNextItem(row, LVNI_SELECTED) + 1;
    return row;
}

CString CBaseList::getItemText(int row, int column) const {
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        LRESULT length =
            SendMessageA(m_hWnd, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        // A text that filled the buffer may have been cut: read it again into a larger one.
        if (length < static_cast<LRESULT>(buffer.size()) - 1 || buffer.size() >= kMaxCellText)
            return CString(buffer.data());
        buffer.assign(buffer.size() * 2, '\0');
    }
}

const CListItemData* CBaseList::record(LPARAM index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_records.size())
        return nullptr;
    return &m_records[static_cast<size_t>(index)];
}

CListItemData CBaseList::getRecord(int row) const {
    const CListItemData* found = record(getItemData(row));
    return found ? *found : CListItemData();
}

CString CBaseList::firstSelectedText() const {
    int first = firstSelected();
    return first ? getItemText(first - 1, 0) : CString();
}

bool CBaseList::firstSelectedIsDir() const {
    int first = firstSelected();
    return first ? getRecord(first - 1).isDir : false;
}

void CBaseList::setNumber(int row, uint64_t number) {
    LPARAM index = getItemData(row);
    if (index >= 0 && static_cast<size_t>(index) < m_records.size())
        m_records[static_cast<size_t>(index)].number = number;
}

LPARAM CBaseList::appendRecord(const CListItemData& record) {
    m_records.push_back(record);
    return static_cast<LPARAM>(m_records.size() - 1);
}

int CBaseList::addItem(const CString& name, const CString& details, bool isDir,
                       uint64_t number) {
    if (!m_pParent)
        return -1;
    CListItemData data;
    data.name = name;
    data.isDir = isDir;
    data.number = number;
    // The record goes in with the row, and a file goes to the end by an index past it, not
    // by asking for the count: every message to the list counts when it fills with
    // thousands of rows.
    const LPARAM record = appendRecord(data);
    int row = insertItem(isDir ? 0 : INT_MAX, name, iconOf(name, isDir), record);
    if (row < 0) {
        m_records.pop_back();
        return -1;
    }
    setSubItemText(row, 1, details);
    return row;
}

int CBaseList::iconOf(const CString& name, bool isDir) {
    // The icon by the name's extension alone: the file need not exist (it may be remote).
    // The shell reads the registry for it (under Wine some 40 microseconds, most of filling
    // a list), so each kind and extension is asked for once per filling.
    const size_t dot = name.rfind('.');
    CString key = CString(isDir ? "d" : "f") + (dot == CString::npos ? "" : name.substr(dot));
    for (char& c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    auto known = m_icons.find(key);
    if (known != m_icons.end())
        return known->second;
    SHFILEINFOA info = {};
    DWORD attributes = isDir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    SHGetFileInfoA(name.c_str(), attributes, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    m_icons.emplace(key, info.iIcon);
    return info.iIcon;
}

void CBaseList::sortItems() {
    SendMessageA(m_hWnd, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(&compareProc));
}

int CALLBACK CBaseList::compareProc(LPARAM a, LPARAM b, LPARAM list) {
    return reinterpret_cast<const CBaseList*>(list)->compareRows(a, b);
}

int CBaseList::compareRows(LPARAM a, LPARAM b) const {
    static const CListItemData none;
    const CListItemData* first = record(a);
    const CListItemData* second = record(b);
    if (!first)
        first = &none;
    if (!second)
        second = &none;
    const int d = m_sortDirection;
    if (first->isDir != second->isDir)
        return first->isDir ? -d : d;
    if (m_sortColumn == 0) {
        int order =
            CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first->name.c_str(),
                           first->name.GetLength(), second->name.c_str(), second->name.GetLength());
        // CSTR_LESS_THAN, CSTR_EQUAL, CSTR_GREATER_THAN are 1, 2, 3 (0 on failure).
        return order == 0 ? 0 : (order - CSTR_EQUAL) * d;
    }
    // Equal numbers are equal: the rows keep a meaningful order instead of a shuffled one.
    if (first->number == second->number)
        return 0;
    return first->number < second->number ? -d : d;
}
