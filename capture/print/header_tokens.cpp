// The header and footer tokens' values on this system.
#include "capture/print/header_tokens.h"

#include <windows.h>
#include <string.h>

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/print/token_template.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"

void GetClipboardText(HWND owner, char* out, size_t cch) {
    if (!out || cch == 0)
        return;
    out[0] = 0;
    if (!OpenClipboard(owner))
        return;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? (const char*)GlobalLock(data) : nullptr;
    if (text) {
        // The block may lack a terminator: never read past its size.
        size_t size = GlobalSize(data);
        size_t n = strnlen(text, size);
        if (n > cch - 1)
            n = cch - 1;
        memcpy(out, text, n);
        out[n] = 0;
        GlobalUnlock(data);
    }
    CloseClipboard();
}

void ExpandTokens(HWND owner, const char* tpl, char* out, size_t cch) {
    char clipboard[kCchText2], computer[MAX_COMPUTERNAME_LENGTH + 1], user[kCchPath], date[kCchPath], time[kCchPath];
    GetClipboardText(owner, clipboard, countof(clipboard));
    DWORD n = (DWORD)countof(computer);
    if (!GetComputerNameA(computer, &n))
        StrCopy(computer, countof(computer), gApp.Text(IDS_UNKNOWN, 0));
    n = (DWORD)countof(user);
    if (!GetUserNameA(user, &n))
        StrCopy(user, countof(user), gApp.Text(IDS_UNKNOWN, 0));
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, date, (int)countof(date)))
        date[0] = 0;
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, (int)countof(time)))
        time[0] = 0;
    TokenValues values = {clipboard, computer, date, time, user, gImageName, &gOpt.NextN};
    ExpandTemplate(tpl, values, out, cch);
}
