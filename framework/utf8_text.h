// UTF-8 text on 8-bit dialogs: a strict validity test and a dialog-text
// setter that shows valid UTF-8 through the wide-character call.
#pragma once
#include <windows.h>

// True for null, for plain ASCII and for well-formed UTF-8: sequences of
// two to four bytes with continuation bytes 0x80-0xBF. Overlong forms
// (C0, C1, E0 80-9F, F0 80-8F), surrogates (ED A0-BF) and values above
// U+10FFFF (F4 90+, F5-FF) are rejected, as is a sequence cut short by the
// terminating NUL.
bool IsValidUtf8(const char* text);

// Sets the item's text. Text that is not valid UTF-8 is set as 8-bit text
// and the result is its length in bytes; valid text is converted to UTF-16
// and set with SetDlgItemTextW, the result then being the wide characters
// written including the terminator (0 when the buffer can't be allocated).
// A null text counts as "" (result 1).
int SetDlgItemTextUtf8(HWND dlg, int item, const char* text);
