// The header and footer tokens with this system's values: clipboard text,
// computer and user name, the user's date and time formats, the image's
// name and gOpt.NextN. GUI thread only.
#pragma once
#include <windows.h>

// Expands the template into out (cch characters); every %N takes one
// number from gOpt.NextN. owner opens the clipboard (null: this thread).
void ExpandTokens(HWND owner, const char* tpl, char* out, size_t cch);
// The clipboard's CF_TEXT cut to cch - 1 characters; "" when the clipboard
// cannot be opened or holds no text.
void GetClipboardText(HWND owner, char* out, size_t cch);
