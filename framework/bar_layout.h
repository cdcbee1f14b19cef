// The layout rules of dock bays and bars as plain functions over small
// records, so that the windows only apply their results: rows of a bay,
// the bars of one row, items along a docked bar, items of a floating bar.
#pragma once
#include <windows.h>

constexpr int kBayRows = 16;
constexpr int kSplitter = 4;
constexpr int kGrip = 16;

// Bar flags.
enum : DWORD {
    kBarToEnd = 0x2,
    kBarGrow = 0x4,
    kBarResizable = 0x8,
    kBarSysMenu = 0x10,
    kBarOn = 0x20,
    kBarFollows = 0x200,
};

// Item flags that the layout reads.
enum : DWORD {
    kItemStretch = 0x2,
    kItemFullThickness = 0x4,
    kItemFullRow = 0x8,
    kItemDroppable = 0x1000,
    kItemHidden = 0x800000,
};

// One bar of a bay, as the bay layout sees it.
struct BayBar {
    int row;  // in: 0-15; out: renumbered after empty rows are removed
    int x;    // stored start along the row
    int length, minLength, naturalLength;
    int thickness;
    DWORD flags;
    // out:
    int placedX, placedLength, rowOffset, rowThickness;
};

// Row sizes of the bay's switched-on bars (0 none, t, or -(t + 4) with a
// splitter); empty rows are removed and the bars' rows renumbered. Rows
// outside 0-15 are put in the last row.
void ComputeBayRows(BayBar* bars, int count, int rows[kBayRows]);

// Lays out the bars of one row (sorted by x) in the available length:
// placedX and placedLength.
void LayoutBayRow(BayBar** row, int count, int available);

// One item of a bar.
struct BarItemBox {
    SIZE size;  // measured for the bar's orientation
    DWORD flags;
    bool separator;
    WORD command;
    // out:
    RECT placed;
    bool visible;
};

// Items along a docked bar (the last item is the overflow item). Returns
// the number of overflow ids written (the list ends with kIdListEnd).
struct DockedLayout {
    int naturalLength, minimumLength;
};
DockedLayout LayoutDockedItems(BarItemBox* items, int count, bool vertical, int nearEdge, int length, int thickness,
                               int spacing, WORD* overflow, int overflowCap);

// Items of a floating bar in rows for the width a and height b; returns
// the bar's size.
SIZE LayoutFloatingItems(BarItemBox* items, int count, int a, int b, int spacing);
