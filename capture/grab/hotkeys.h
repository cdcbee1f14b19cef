// The two global hot keys (capture 111, show the main dialog 112), their
// fields on the Options page, and their registration and its failure. The
// keys belong to one window (the main dialog), which receives WM_HOTKEY
// and owns the messages. GUI thread only.
#pragma once
#include <windows.h>

constexpr int kHotKeyCapture = 111;
constexpr int kHotKeyShow = 112;
// Posted to the keys' window after a key could not be registered (its
// message was shown): the window opens the page where the keys are chosen.
constexpr UINT kMsgHotKeyFailed = WM_APP + 30;
// Turns the Options page's two edit controls (1077 capture, 1078 show)
// into hot-key fields of window's keys.
void AttachHotKeyFields(HWND window, HWND captureEdit, HWND showEdit);
// mode 1 registers the keys for window, 0 only hands words, window and ids
// to the two fields. False when a key could not be registered (after its
// message): then kMsgHotKeyFailed is posted to window. A key that another
// program holds is reported once: later attempts with the same key are
// still made but fail quietly and count as done.
bool RegisterHotKeys(HWND window, int mode);
void UnregisterHotKeys();
void StoreHotKeys();
