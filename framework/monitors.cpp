// Monitor table and lookup, window centring.
#include "monitors.h"

#include <stdint.h>

#include "base/str_util.h"

MonitorTable gMonitors;

static BOOL CALLBACK AddMonitor(HMONITOR hmon, HDC, LPRECT, LPARAM param) {
    MonitorSet* set = (MonitorSet*)param;
    if (set->count >= kMaxMonitors)
        return FALSE;
    MONITORINFOEXA info;
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoA(hmon, &info))
        return TRUE;
    MonitorEntry* e = &set->entries[set->count++];
    e->rect = info.rcMonitor;
    const char* name = info.szDevice;
    while (*name == '\\' || *name == '.')
        name++;
    StrCopy(e->device, countof(e->device), name);
    return TRUE;
}

void RefreshMonitors() {
    MonitorSet* set = &gMonitors.sets[0];
    set->count = 0;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, (LPARAM)set);
    if (set->count == 0) {
        GetWindowRect(GetDesktopWindow(), &set->entries[0].rect);
        set->entries[0].device[0] = '\0';
        set->count = 1;
    }
    VirtualScreenRect();
}

RECT VirtualScreenRect() {
    gMonitors.virtualLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    gMonitors.virtualTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    gMonitors.virtualWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    gMonitors.virtualHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (gMonitors.virtualWidth == 0) {
        RECT desktop;
        GetWindowRect(GetDesktopWindow(), &desktop);
        gMonitors.virtualLeft = gMonitors.virtualTop = 0;
        gMonitors.virtualWidth = desktop.right - desktop.left;
        gMonitors.virtualHeight = desktop.bottom - desktop.top;
    }
    return RECT{gMonitors.virtualLeft, gMonitors.virtualTop, gMonitors.virtualLeft + gMonitors.virtualWidth,
                gMonitors.virtualTop + gMonitors.virtualHeight};
}

static int64_t SquaredDistance(int x, int y, LONG cx, LONG cy) {
    int64_t dx = (int64_t)x - cx, dy = (int64_t)y - cy;
    return dx * dx + dy * dy;
}

int MonitorRectFromPoint(int x, int y, RECT* rect, int set) {
    RefreshMonitors();
    const MonitorSet* s = &gMonitors.sets[set == 1 ? 1 : 0];
    int found = 0;
    if (s->count > 1) {
        found = -1;
        for (int i = 0; i < s->count && found < 0; i++) {
            const RECT& r = s->entries[i].rect;
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                found = i;
        }
        if (found < 0) {
            int64_t best = 1000000;  // a corner farther than 1000 pixels doesn't count
            found = 0;
            for (int i = 0; i < s->count; i++) {
                const RECT& r = s->entries[i].rect;
                const LONG cx[4] = {r.left, r.right, r.left, r.right};
                const LONG cy[4] = {r.top, r.top, r.bottom, r.bottom};
                for (int c = 0; c < 4; c++) {
                    int64_t d = SquaredDistance(x, y, cx[c], cy[c]);
                    if (d < best) {
                        best = d;
                        found = i;
                    }
                }
            }
        }
    }
    if (rect) {
        if (s->count > 0)
            *rect = s->entries[found].rect;
        else
            SetRectEmpty(rect);
    }
    return found;
}

void CenterWindow(HWND hwnd, RECT* rect) {
    HWND parent = GetParent(hwnd);
    RECT outer;
    if (!parent || !GetWindowRect(parent, &outer))
        GetWindowRect(GetDesktopWindow(), &outer);
    RECT r;
    if (rect)
        r = *rect;
    else if (!GetWindowRect(hwnd, &r))
        return;
    LONG w = r.right - r.left, h = r.bottom - r.top;
    LONG left = outer.left + ((outer.right - outer.left) - w) / 2;
    LONG top = outer.top + ((outer.bottom - outer.top) - h) / 2;
    RECT mon;
    MonitorRectFromPoint(outer.left, outer.top, &mon, 0);
    if (left + w > mon.right)
        left = mon.right - w;
    if (left < mon.left)
        left = mon.left;
    if (top + h > mon.bottom)
        top = mon.bottom - h;
    if (top < mon.top)
        top = mon.top;
    if (rect) {
        OffsetRect(rect, left - rect->left, top - rect->top);
        return;
    }
    POINT pt = {left, top};
    if ((GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) && parent)
        ScreenToClient(parent, &pt);  // a child is placed in its parent's client coordinates
    SetWindowPos(hwnd, nullptr, pt.x, pt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
