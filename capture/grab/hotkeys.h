// The two global hot keys (capture 111, show the main dialog 112), their
// registration and its failure, the road from the capture hot key to the
// overlay, and the minute timer of timed captures. GUI thread only.
#pragma once
#include <windows.h>

constexpr int kHotKeyCapture = 111;
constexpr int kHotKeyShow = 112;
constexpr UINT kMinuteTimer = 4096;
// Turns the Options page's two edit controls (1077 capture, 1078 show)
// into hot-key fields.
void AttachHotKeyFields(HWND captureEdit, HWND showEdit);
// mode 1 registers, 0 only hands words, dialog and ids to the two fields.
bool RegisterHotKeys(int mode);
void UnregisterHotKeys();
void StoreHotKeys();
// The main dialog's WM_HOTKEY and WM_TIMER.
void OnHotKey(HWND dlg, int id);
void OnMinuteTimer(HWND dlg);
