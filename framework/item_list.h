// CList: an item hosting a sorted, owner-drawn list box under a column
// header, in a container window that scrolls both sideways. The owner adds
// the columns (AddColumn), fills the list box with row data (LB_ADDSTRING
// of a pointer-sized value) and draws rows on WM_DRAWITEM; the list tells
// its notify window of header clicks, column widths, selection and input
// with MoxMSG_COMMAND notification codes in the high word of wParam.
#pragma once
#include <windows.h>
// windows.h first: commctrl.h needs its types
#include <commctrl.h>

#include "base/dyn_array.h"
#include "ui_item.h"

// List notifications (high word of MoxMSG_COMMAND's wParam).
enum : WORD {
    kListSortChanged = 0x83F2,    // lParam: column
    kListColumnResized = 0x83F3,  // lParam: column
    kListSelChanged = 0x83F4,     // lParam: 0
    kListDoubleClick = 0x83F5,    // lParam: mouse position
    kListRightUp = 0x83FC,        // lParam: mouse position
    kListLeftDown = 0x8408,       // lParam: mouse position
    kListKey = 0x840A,            // posted; lParam: virtual-key code
};

struct ListColumn {
    char title[260];
    int x;      // left edge, from the widths before it
    int width;  // pixels when positive; -n: n percent of the list's width
};

class CList : public CUIItem {
  public:
    CList() { kind = kKindList; }
    // Runs OnDestroy while this is still a list (~CUIItem's call would reach the base's).
    ~CList() override { Destroy(); }
    // 0 or kMoxErrWindowCreate (unknown command or a window could not be made).
    int Create(WORD commandId, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void OnDestroy() override;
    void Paint(HDC dc, const RECT& rc) override;

    // Appends a column (width as in ListColumn); its index or -1.
    int AddColumn(const char* title, int width);
    // Column -1 sorts nothing; direction 1 ascending, -1 descending.
    void SetSort(int column, int direction);
    // A column's width in pixels for the list width.
    int PixelWidth(int column) const;
    // Column positions and total, scroll bar and child placement.
    void LayoutScroll();
    // The header image of a column: -1 none; else 0 ascending, 1
    // descending, plus 2 while sorting is locked.
    int ArrowImage(int column) const;
    void UpdateArrows();

    // Container and list box procedures (public for their window procedures).
    LRESULT OnContainerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* handled);
    LRESULT OnListBoxMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnHeaderNotify(NMHEADERA* nm);
    void OnContainerSize(int width, int height);
    void OnHScroll(int code);
    void Notify(WORD code, LPARAM lp, bool post = false);

    HWND header = nullptr;
    HWND listBox = nullptr;
    CDynArray<ListColumn> columns;
    int sortColumn = -1;
    int sortDirection = 0;  // 1, -1, or 0 unset
    WNDPROC previousListProc = nullptr;
    int rowHeight = 0;
    int columnsWidth = 0;  // of all columns
    bool columnsFixed = false;
    bool sortLocked = false;
    int ownsItemData = 0;  // nonzero: row data are malloc'd blocks freed with the list
    int scrollPos = 0;
    HIMAGELIST arrows = nullptr;
    bool inResize = false;
    int width = 0, height = 0;  // the container's client size
};

// Paints the sort arrows: four images of 2h x h (h odd) into a new image
// list: up (ascending) and down (descending) in COLOR_3DDKSHADOW, then the
// same two in COLOR_BTNSHADOW for a locked sort. Null on failure.
HIMAGELIST MakeSortArrows(int rowHeight);
