// The image editor and the product information dialog are not in this
// build yet: the action answers "failed", no editor window
// exists, and About names the product and its version in a message box.
#include "pending_actions.h"

#include "actions.h"
#include "framework/app.h"
#include "framework/message_box.h"

HWND gEditorDialog = nullptr;

INT_PTR RunImageEditor(HWND, int) {
    return -1;
}

void ShowProductInfo(HWND owner) {
    AppMessageBox(owner, nullptr, "%s %d.%d.%d", kBoxInformation | kBoxOk, 0, gApp.productName, gApp.versionMajor, gApp.versionMinor,
                  gApp.versionBuild);
}
