// The schedules handed in by the program.
#include "schedules.h"

static ScheduleServices gServices;

void SetScheduleServices(const ScheduleServices* services) {
    gServices = services ? *services : ScheduleServices{};
}

const ScheduleServices& CurrentScheduleServices() {
    return gServices;
}

void RunDueSchedules() {
    if (gServices.runDue)
        gServices.runDue();
}
