// Printing, Send-To, the image editor and the product information dialog
// are not in this build yet: each action answers "failed", no editor window
// exists, and About names the product and its version in a message box.
#include "capture.h"
#include "framework/app.h"
#include "framework/message_box.h"

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

void ShowProductInfo(HWND owner) {
    AppMessageBox(owner, nullptr, "%s %d.%d.%d", 0x14, 0, gApp.productName, gApp.versionMajor, gApp.versionMinor,
                  gApp.versionBuild);
}
