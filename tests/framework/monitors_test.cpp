#include "framework/monitors.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void SetFakeMonitors(const RECT* rects, int n) {
    gMonitors.sets[1].count = n;
    for (int i = 0; i < n; i++)
        gMonitors.sets[1].entries[i].rect = rects[i];
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

const char* PlainClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VpMonitorsTest";
        RegisterClassA(&wc);
        registered = true;
    }
    return "VpMonitorsTest";
}

HWND Popup(HWND owner, int x, int y, int w, int h) {
    HWND hwnd = CreateWindowExA(0, PlainClass(), "t", WS_POPUP | WS_VISIBLE, x, y, w, h, owner, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(hwnd, nullptr);
    return hwnd;
}

RECT WindowRect(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

}  // namespace

TEST(Monitors, RefreshReadsTheScreen) {
    memset(&gMonitors, 0x5A, sizeof gMonitors);
    RefreshMonitors();
    ASSERT_EQ(gMonitors.sets[0].count, 1);  // the one Xvfb screen
    const MonitorEntry& m = gMonitors.sets[0].entries[0];
    EXPECT_EQ(m.rect.left, 0);
    EXPECT_EQ(m.rect.top, 0);
    EXPECT_EQ(m.rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(m.rect.bottom, GetSystemMetrics(SM_CYSCREEN));
    MONITORINFOEXA info;
    info.cbSize = sizeof info;
    POINT origin = {0, 0};
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &info));
    ASSERT_EQ(strncmp(info.szDevice, "\\\\.\\", 4), 0);
    EXPECT_STREQ(m.device, info.szDevice + 4);
    EXPECT_EQ(gMonitors.virtualLeft, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(gMonitors.virtualTop, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(gMonitors.virtualWidth, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(gMonitors.virtualHeight, GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TEST(Monitors, LookupByPointAndNearestCorner) {
    // Set 1 is kept as given: three monitors, one left of the primary.
    const RECT three[] = {{0, 0, 1000, 800}, {1000, 0, 2000, 800}, {-800, 100, 0, 700}};
    SetFakeMonitors(three, 3);
    RECT r;
    EXPECT_EQ(MonitorRectFromPoint(1500, 400, &r, 1), 1);
    EXPECT_EQ(r.left, 1000);
    EXPECT_EQ(r.right, 2000);
    EXPECT_EQ(MonitorRectFromPoint(999, 799, &r, 1), 0);
    EXPECT_EQ(MonitorRectFromPoint(1000, 0, &r, 1), 1);  // right and bottom edges are outside
    EXPECT_EQ(MonitorRectFromPoint(-1, 100, &r, 1), 2);
    // Left of every monitor: the one with the nearest corner.
    EXPECT_EQ(MonitorRectFromPoint(-900, 50, &r, 1), 2);
    EXPECT_EQ(r.left, -800);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(MonitorRectFromPoint(-900, 750, &r, 1), 2);
    EXPECT_EQ(MonitorRectFromPoint(2100, 900, &r, 1), 1);
    // Equally near corners: the first monitor.
    EXPECT_EQ(MonitorRectFromPoint(1000, 900, &r, 1), 0);
    // No corner within 1000 pixels: monitor 0.
    EXPECT_EQ(MonitorRectFromPoint(3001, 800, &r, 1), 0);
    EXPECT_EQ(MonitorRectFromPoint(2999, 800, &r, 1), 1);
    EXPECT_EQ(MonitorRectFromPoint(2000000000, -2000000000, &r, 1), 0);  // no overflow
    EXPECT_EQ(r.right, 1000);
    EXPECT_EQ(MonitorRectFromPoint(1500, 400, nullptr, 1), 1);

    // One monitor: that one, wherever the point is.
    const RECT one[] = {{100, 100, 200, 200}};
    SetFakeMonitors(one, 1);
    EXPECT_EQ(MonitorRectFromPoint(-5000, 5000, &r, 1), 0);
    EXPECT_EQ(r.left, 100);
    // Set 0 is the real screen, refreshed on each call; another set reads 0.
    gMonitors.sets[0].count = 0;
    EXPECT_EQ(MonitorRectFromPoint(5, 5, &r, 7), 0);
    EXPECT_EQ(gMonitors.sets[0].count, 1);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
}

TEST(Monitors, CenterWindowOnParentDesktopAndMonitor) {
    HWND parent = Popup(nullptr, 100, 100, 600, 400);
    HWND owned = Popup(parent, 0, 0, 200, 100);
    CenterWindow(owned, nullptr);
    RECT r = WindowRect(owned);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 250);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_EQ(r.bottom - r.top, 100);

    // The rectangle form moves the rectangle and leaves the window.
    RECT given = {7, 9, 7 + 100, 9 + 50};
    CenterWindow(owned, &given);
    EXPECT_EQ(given.left, 350);
    EXPECT_EQ(given.top, 275);
    EXPECT_EQ(given.right - given.left, 100);
    EXPECT_EQ(given.bottom - given.top, 50);
    EXPECT_EQ(WindowRect(owned).left, 300);

    // A parent hanging over the right edge: the window stays on its monitor.
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(parent, cx - 280, cy - 300, 600, 400, TRUE);
    HWND wide = Popup(parent, 0, 0, 400, 200);
    CenterWindow(wide, nullptr);
    r = WindowRect(wide);
    EXPECT_EQ(r.right, cx);
    EXPECT_EQ(r.bottom, cy);

    // No parent: the desktop's centre.
    HWND alone = Popup(nullptr, 0, 0, 300, 200);
    CenterWindow(alone, nullptr);
    r = WindowRect(alone);
    EXPECT_EQ(r.left, (cx - 300) / 2);
    EXPECT_EQ(r.top, (cy - 200) / 2);

    // A child window is placed in its parent's client coordinates.
    MoveWindow(parent, 100, 100, 600, 400, TRUE);
    HWND child = CreateWindowExA(0, PlainClass(), "c", WS_CHILD | WS_VISIBLE, 0, 0, 100, 50, parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(child, nullptr);
    CenterWindow(child, nullptr);
    r = WindowRect(child);
    EXPECT_EQ(r.left, 350);
    EXPECT_EQ(r.top, 275);

    DestroyWindow(alone);
    DestroyWindow(wide);
    DestroyWindow(owned);
    DestroyWindow(parent);
}
