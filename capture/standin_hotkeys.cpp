// Stand-ins for the main dialog, the image state, the overlay and the
// editor, so that the hot keys link on their own: no main dialog, no
// overlay and no editor exist.
#include "capture.h"

HWND gMainDialog = nullptr;
HWND gOverlay = nullptr;
HWND gEditorDialog = nullptr;

bool ShowMainDialog(int) {
    return false;
}

bool ConfirmDiscard() {
    return true;
}

void StartCapture() {}
