#pragma once
// A list-view control in report mode, and the model the file panes share: every row added
// with addItem carries a record (name, folder flag, sort number) kept in the list's store, the
// row's item data being the record's index. A click on a column header sorts the rows with
// folders kept apart from files; each click flips the direction. The control is subclassed so
// that right-clicks and files dropped from the shell reach virtual operations.
//
// The parent window forwards the control's WM_NOTIFY to onNotify (find the list with
// fromHandle(header->hwndFrom)); when onNotify returns true the parent returns *result.
#include "common/CString.h"
#include "panes/PaneOwner.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <map>
#include <vector>

// One row's record.
struct CListItemData {
    CString name;        // the row's name as shown in column 0
    bool isDir = false;  // the row is a folder
    uint64_t number = 0; // sort key of the columns other than 0 (0 when a pane has none)
};

class CBaseList {
public:
    CBaseList() = default;
    virtual ~CBaseList();
    CBaseList(const CBaseList&) = delete;
    CBaseList& operator=(const CBaseList&) = delete;

    // Creates the control (once) in the owner's window, with the next list control id
    // (IDC_FIRST_LIST upwards, one counter for all lists), the owner's small image list, and
    // the columns of setupColumns. True when the control exists.
    virtual bool create(IPaneOwner* parent);
    // The base list has one column, "BASE".
    virtual void setupColumns();
    // A right-click or the context-menu key, at screen position (x, y).
    virtual void onContextMenu(int x, int y);
    // Stores the column widths (the main window calls it with 1 when it closes).
    virtual void saveColumns(int flag);
    // The control's notifications. A header click sorts by that column. True when handled;
    // *result is then what the parent returns.
    virtual bool onNotify(NMHDR* header, LRESULT* result);
    // Files dropped on the control. The handler owns the drop handle and releases it
    // (DragFinish); the base releases it and returns 1.
    virtual LRESULT onDropFiles(HDROP drop);

    // Wraps a list control that a dialog made, for the row and selection operations. The
    // control is not subclassed and keeps no owner (addItem then refuses).
    void attach(HWND control);
    // The list whose control this is, or null.
    static CBaseList* fromHandle(HWND control);

    HWND window() const { return m_hWnd; }
    int controlId() const { return m_controlId; }
    IPaneOwner* owner() const { return m_pParent; }
    int sortColumn() const { return m_sortColumn; }
    int sortDirection() const { return m_sortDirection; }

    // Inserts a row with text, image index and item data; the new row's index or -1.
    int insertItem(int index, const CString& text, int icon, LPARAM data = 0);
    bool setSubItemText(int row, int column, const CString& text);
    bool setItemData(int row, LPARAM value);
    LPARAM getItemData(int row) const;
    int getItemCount() const;
    // Removes every row. The records go with them: no row is left to refer to one.
    void deleteAllItems();
    // Empties the record store (before a refill).
    void clearRecords();
    // Inserts a column; width and subItem are applied only when not -1. Widths are 96-DPI
    // pixels, scaled to the control's DPI.
    int insertColumn(int index, const CString& text, int format, int width, int subItem);
    // A column's width in 96-DPI pixels (what to store, so that a restored width scales
    // right on another screen).
    int columnWidth(int column) const;
    int getNextItem(int start, UINT flags) const;
    void selectAll();
    // Index of the first selected row plus 1, or 0 when nothing is selected.
    int firstSelected() const;
    // Walks the selection: cursor = firstSelected(); while (cursor) row = nextSelected(cursor);
    // returns the row the cursor designates and moves the cursor on (0 at the end).
    int nextSelected(int& cursor) const;
    // The whole text of a cell, however long.
    CString getItemText(int row, int column) const;
    // The row's record; an empty one when the row has none.
    CListItemData getRecord(int row) const;
    CString firstSelectedText() const;
    bool firstSelectedIsDir() const;
    // Adds a row with the name's shell icon: folders at the top, files at the end; column 1
    // shows details, number is the row's sort key for the other columns. Returns the row
    // index, or -1 (no owner, or the insertion failed).
    int addItem(const CString& name, const CString& details, bool isDir, uint64_t number = 0);
    // Sorts the rows by the current sort column and direction.
    void sortItems();

protected:
    // Makes a control created by a derived list this list's: registers and subclasses it.
    void subclass(HWND control);
    // Sets the sort number of the row's record.
    void setNumber(int row, uint64_t number);
    // Appends a record; its index is the row's item data.
    LPARAM appendRecord(const CListItemData& record);
    // The order of two rows by their item data: folders apart from files, then the name
    // (column 0, case-insensitive in the user's collation) or the number.
    int compareRows(LPARAM a, LPARAM b) const;
    // The screen point for a context menu: the click, or for the keyboard's (-1, -1) the
    // first selected row or the control's corner.
    POINT contextMenuPoint(LPARAM position) const;

    HWND m_hWnd = nullptr;
    int m_controlId = 0;
    int m_sortColumn = 0;
    int m_sortDirection = 1;
    IPaneOwner* m_pParent = nullptr;
    std::vector<CListItemData> m_records;
    // Icons found since the rows were last emptied, by kind and lower-case extension.
    std::map<CString, int> m_icons;
    WNDPROC m_oldProc = nullptr;

private:
    static LRESULT CALLBACK sharedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static int CALLBACK compareProc(LPARAM a, LPARAM b, LPARAM list);
    void unsubclass();
    const CListItemData* record(LPARAM index) const;
    // The shell's icon for a name (by its extension alone) and whether it is a folder.
    int iconOf(const CString& name, bool isDir);
};
