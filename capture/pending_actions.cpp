// Printing, Send-To and the image editor are not in this build yet: each
// action answers "failed" and no editor window exists.
#include "capture.h"

HWND gEditorDialog = nullptr;

int PrintImage() {
    return -1;
}

int SendImageTo() {
    return -1;
}

INT_PTR RunImageEditor(HWND, int) {
    return -1;
}
