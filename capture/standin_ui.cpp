// Minimal stand-ins for what the capture, action, editor and hot-key units
// provide, so that the main dialog links and runs until they land.
#include <windows.h>

#include "capture.h"

CImage gImage;
int gColorMode = 6;
HWND gEditorDialog;
HWND gOverlay;
const char kCaptureClassName[] = "VellumorProCaptureWnd";

static const char* const kModeTexts[] = {"Black & White (1 Bit)", "Black & White Inverted (1 Bit)",
                                         "Grayscale (256 Steps, 8 Bit)", "16 Colors (4 Bit)",
                                         "256 Colors (8 Bit)", "True Color (24 Bit)", "Original Color Mode"};

const char* ColorModeText(int mode) {
    return mode >= 0 && mode <= 6 ? kModeTexts[mode] : "";
}
bool ConfirmDiscard() {
    return true;
}
void ClearImage() {
    gImage.Destroy();
}
bool OpenImageFile(const char*) {
    return true;
}
void StartCapture() {}
LRESULT CALLBACK CaptureWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}
void OnActionButton(int) {}
INT_PTR RunImageEditor(HWND, int) {
    return -1;
}
void AttachHotKeyFields(HWND, HWND) {}
bool RegisterHotKeys(int) {
    return true;
}
void UnregisterHotKeys() {}
void StoreHotKeys() {}
void OnHotKey(HWND, int id) {
    if (id == kHotKeyShow)
        ShowMainDialog(-1);
}
void OnMinuteTimer(HWND) {}
void ShowProductInfo(HWND) {}
