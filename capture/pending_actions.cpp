// Printing, Send-To and the image editor are not in this build yet: each
// action answers "failed", no editor window exists.
#include "pending_actions.h"

#include "actions.h"

HWND gEditorDialog = nullptr;

int PrintImage() {
    return kActionCancelled;
}

int SendImageTo() {
    return kActionCancelled;
}

INT_PTR RunImageEditor(HWND, int) {
    return -1;
}

