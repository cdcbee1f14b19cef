// The capture overlay: the frozen virtual screen in one topmost borderless
// window and the four selection modes. When the pick is complete it hands
// the frozen picture and the selection to the grab, closes and runs the
// action. GUI thread only.
#pragma once
#include <windows.h>

extern const char kCaptureClassName[];  // "VellumorProCaptureWnd"
extern HWND gOverlay;                   // 0 when no capture is open
// Opens the overlay, or closes it when one is open.
void StartCapture();
LRESULT CALLBACK CaptureWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Where the size label of a selection goes. drag: the unordered drag
// rectangle (its direction picks the first corner); sel: the ordered
// inclusive selection; screenW/H the virtual-screen size; w/h the label's.
// Returns the corner used (0 below-right, 1 above-right, 2 above-left,
// 3 below-left) or -1 when the label is centred in the selection.
int PlaceSizeLabel(const RECT& drag, const RECT& sel, int screenW, int screenH, int w, int h, POINT* at);
