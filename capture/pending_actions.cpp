// Printing, Send-To and the image editor are not in this build yet: each
// action answers "failed", no editor window exists.
#include "pending_actions.h"

#include "actions.h"

int PrintImage() {
    return kActionCancelled;
}

int SendImageTo() {
    return kActionCancelled;
}

