// The schedules the program hands to the framework: the instance window's
// hourly timer runs the due ones on every 24th tick, and not before.
#include "framework/schedules.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "framework/app.h"
#include "framework/instance_window.h"

namespace {

int gRuns;

void CountRun() {
    gRuns++;
}

}  // namespace

TEST(Schedules, EveryTwentyFourthHourlyTickRunsTheDueSchedules) {
    gApp.instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(EnsureWindowClass("MoxPhantom", PhantomWndProc, nullptr, nullptr, nullptr));
    HWND phantom = CreateWindowExA(WS_EX_TOOLWINDOW, "MoxPhantom", "schedules", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   gApp.instance, nullptr);
    ASSERT_NE(nullptr, phantom);
    ScheduleServices services = {CountRun, nullptr, nullptr};
    SetScheduleServices(&services);
    gRuns = 0;
    // The counter lives for the process: bring it to one tick before the 24th.
    for (int i = PhantomTickCount(); i < 23; i++)
        SendMessageA(phantom, WM_TIMER, kPhantomTimerId, 0);
    EXPECT_EQ(0, gRuns);
    SendMessageA(phantom, WM_TIMER, kPhantomTimerId, 0);
    EXPECT_EQ(1, gRuns);
    EXPECT_EQ(0, PhantomTickCount());
    for (int i = 0; i < 23; i++)
        SendMessageA(phantom, WM_TIMER, kPhantomTimerId + 1, 0);  // other timers don't count
    for (int i = 0; i < 23; i++)
        SendMessageA(phantom, WM_TIMER, kPhantomTimerId, 0);
    EXPECT_EQ(1, gRuns);
    SendMessageA(phantom, WM_TIMER, kPhantomTimerId, 0);
    EXPECT_EQ(2, gRuns);
    SetScheduleServices(nullptr);
    RunDueSchedules();  // nothing handed in: nothing runs
    EXPECT_EQ(2, gRuns);
    DestroyWindow(phantom);
}
