// Dialog-item helpers (numbers in the user's decimal separator, checks,
// enabling, focus) and small window helpers.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "base/str_util.h"
#include "framework_messages.h"

// The status of a number field's read: 0 success, or one of these.
constexpr int kStatusFieldEmpty = kMoxErrNumberEmpty;
constexpr int kStatusNotNumber = kMoxErrNotNumber;

// Reads the item's text (up to 31 characters) as a base-10 integer into
// *value and returns the status. Empty: kStatusFieldEmpty and the minimum.
// With strict, text after the number (or no number) gives kStatusNotNumber
// and the minimum. Else 0 and the value clamped to [minimum, maximum]
// (bounds in either order).
int GetDlgItemNumber(HWND dlg, int item, int minimum, int maximum, bool strict, int* value);
// As GetDlgItemNumber for a decimal number; the first ',' and the first '.'
// both read as the decimal separator, whatever the user's locale.
int GetDlgItemDouble(HWND dlg, int item, double minimum, double maximum, bool strict, double* value);
// Writes the value with "%d".
void SetDlgItemNumber(HWND dlg, int item, int value);
// Writes the value with up to three decimals, trailing zeros and a trailing
// separator removed, in the user's decimal separator (LOCALE_SDECIMAL):
// 2.5 -> "2,5" under a ',' locale, 3.0 -> "3".
void SetDlgItemDouble(HWND dlg, int item, double value);
// printf into a 1024-character buffer and sets the item's text; false when
// the text was cut (the cut text is still set) or the item is missing.
bool SetDlgItemTextF(HWND dlg, int item, const char* fmt, ...) __attribute__((format(STR_PRINTF_FORMAT, 3, 4)));

// BM_GETCHECK / BM_SETCHECK.
int GetDlgItemCheck(HWND dlg, int item);
void SetDlgItemCheck(HWND dlg, int item, int state);
// Enables or disables each listed item; the list ends with an id <= 0.
void EnableDlgItems(bool enable, HWND dlg, ...);
// Gives the item the focus and selects all its text.
void FocusDlgItemSelectAll(HWND dlg, int item);

// When the parent (or owner) is topmost, makes hwnd topmost too (no move,
// size or activation) and returns true.
bool FollowParentTopmost(HWND hwnd);
// True when the window under the cursor is hwnd itself.
bool IsCursorOverWindow(HWND hwnd);
// After a resize to width x height: invalidates (with erase) the strip
// right of the old width and, when the height changed too, the strip below
// the old height; when the width is unchanged, the whole client area.
// Stores the new size in *oldWidth, *oldHeight.
void InvalidateGrownArea(HWND hwnd, int width, int height, int* oldWidth, int* oldHeight);
// Sets (on) or clears the mask's bits in *flags.
void SetFlagBits(uint32_t* flags, uint32_t mask, bool on);
