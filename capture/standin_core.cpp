// Stand-ins for the main dialog and the hot keys until their units land:
// there is no main dialog.
#include "capture.h"

HWND gMainDialog = nullptr;
HDC gScreenDC = nullptr;

bool ShowMainDialog(int) {
    return false;
}

HWND ActionsPage() {
    return nullptr;
}

void RefreshImageViews() {}

bool RegisterHotKeys(int) {
    return true;
}

void UnregisterHotKeys() {}
