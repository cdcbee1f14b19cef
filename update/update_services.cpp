// The schedules of this folder, as the framework sees them.
#include "update_services.h"

#include "archive_schedule.h"
#include "framework/schedules.h"
#include "update_check.h"

static void RunDue() {
    UpdateCheckIfDue();
    ArchiveIfDue();
}

void InstallUpdateServices() {
    static const ScheduleServices kServices = {RunDue, ShowUpdateCheckDialog, ShowArchiveDialog};
    SetScheduleServices(&kServices);
}

void StopUpdateServices() {
    StopUpdateCheck(5000);
}
