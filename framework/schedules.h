// The schedules the framework runs but does not own: the update check and
// the configuration archive live above the framework, so the program hands
// them in before Init. Start-up runs the due ones once, the instance
// window every 24 hours after that, and the product information dialog
// opens their settings dialogs. GUI thread only.
#pragma once
#include <windows.h>

struct ScheduleServices {
    void (*runDue)();                        // start the update check and the archive when they are due
    INT_PTR (*showUpdateCheck)(HWND owner);  // the "Update Check" dialog, modal
    INT_PTR (*showArchive)(HWND owner);      // the "Archive Configuration" dialog, modal
};

// Copies the services (null clears them); a missing entry does nothing.
void SetScheduleServices(const ScheduleServices* services);
const ScheduleServices& CurrentScheduleServices();
void RunDueSchedules();
