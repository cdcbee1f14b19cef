// UTF-8 validity test and the UTF-8-aware dialog-text setter.
#include "utf8_text.h"

#include <stdlib.h>
#include <string.h>

bool IsValidUtf8(const char* text) {
    if (!text)
        return true;
    const unsigned char* p = (const unsigned char*)text;
    while (*p) {
        unsigned lead = *p;
        if (lead < 0x80) {
            p++;
            continue;
        }
        int n;                          // continuation bytes that follow
        unsigned lo = 0x80, hi = 0xBF;  // allowed range of the first of them
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 2;
            if (lead == 0xE0)
                lo = 0xA0;  // below is an overlong form
            else if (lead == 0xED)
                hi = 0x9F;  // above are the UTF-16 surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 3;
            if (lead == 0xF0)
                lo = 0x90;  // overlong
            else if (lead == 0xF4)
                hi = 0x8F;  // beyond U+10FFFF
        } else {
            return false;  // a continuation byte, C0/C1 (overlong) or F5-FF
        }
        p++;
        for (int i = 0; i < n; i++, p++) {
            if (*p < lo || *p > hi)  // the terminating NUL fails here too
                return false;
            lo = 0x80;
            hi = 0xBF;
        }
    }
    return true;
}

int SetDlgItemTextUtf8(HWND dlg, int item, const char* text) {
    if (!text)
        text = "";
    int len = (int)strlen(text);
    if (!IsValidUtf8(text)) {
        SetDlgItemTextA(dlg, item, text);
        return len;
    }
    // A valid UTF-8 text never has more UTF-16 units than bytes.
    wchar_t* wide = (wchar_t*)malloc(((size_t)len + 1) * sizeof(wchar_t));
    if (!wide)
        return 0;
    int written = MultiByteToWideChar(CP_UTF8, 0, text, len + 1, wide, len + 1);
    if (written > 0)
        SetDlgItemTextW(dlg, item, wide);
    free(wide);
    return written;
}
