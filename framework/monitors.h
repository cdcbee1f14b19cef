// The table of display monitors, monitor lookup by point and window
// centring. GUI thread only: the table is one unguarded global.
#pragma once
#include <windows.h>

constexpr int kMaxMonitors = 16;

struct MonitorEntry {
    RECT rect;        // virtual-screen coordinates
    char device[32];  // "DISPLAY1": the device name without its leading '\' and '.'
};

struct MonitorSet {
    int count;  // 0..kMaxMonitors
    MonitorEntry entries[kMaxMonitors];
};

struct MonitorTable {
    // [0] the current monitors; [1] the previous ones, which the owner of
    // display-change handling copies from [0] before refreshing [0].
    MonitorSet sets[2];
    int virtualLeft, virtualTop, virtualWidth, virtualHeight;
};

extern MonitorTable gMonitors;

// Rebuilds gMonitors.sets[0] (at most 16 monitors; the desktop window's
// rectangle when none is found) and the virtual-screen origin and size.
void RefreshMonitors();
// Refreshes the virtual-screen origin and size of gMonitors from the system
// metrics (the desktop window's rectangle at (0, 0) when they give no
// width) and returns them as a rectangle.
RECT VirtualScreenRect();

// Refreshes set 0, then looks in set `set` (0 or 1; another value reads 0):
// the first monitor holding the point, else the one with a corner nearest
// to it (squared distance below 1,000,000, the first of equal ones), else
// monitor 0. Copies that monitor's rectangle to *rect (may be null) and
// returns its index.
int MonitorRectFromPoint(int x, int y, RECT* rect, int set);

// Centres hwnd on its parent's (or owner's) window rectangle, or on the
// desktop when it has none, and keeps it inside the monitor that holds the
// parent's top-left corner. With rect non-null the rectangle (screen
// coordinates) is moved instead, keeping its size, and the window is left
// alone; else the window is moved (no size or Z-order change).
void CenterWindow(HWND hwnd, RECT* rect);
