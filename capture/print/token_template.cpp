// Expansion of the header and footer templates.
#include "capture/print/token_template.h"

#include <stdio.h>
#include <string.h>

#include "base/path_util.h"
#include "base/str_util.h"

namespace {

// Appends as much of text as fits after the len characters already in out.
void AppendCut(char* out, size_t cch, size_t* len, const char* text) {
    if (!text)
        return;
    while (*text && *len + 1 < cch)
        out[(*len)++] = *text++;
}

void AppendWithoutExtension(char* out, size_t cch, size_t* len, const char* name) {
    char copy[kCchPath2];
    StrCopy(copy, countof(copy), name ? name : "");
    StripExtension(copy, countof(copy));
    AppendCut(out, cch, len, copy);
}

// The next running number, width digits at least; the counter moves on
// (wrapping at the end of int's range instead of overflowing).
void AppendNumber(char* out, size_t cch, size_t* len, int* next, int width) {
    if (!next)
        return;
    char number[32];
    snprintf(number, sizeof number, "%0*d", width, *next);
    *next = (int)((unsigned)*next + 1u);
    AppendCut(out, cch, len, number);
}

}  // namespace

void ExpandTemplate(const char* tpl, const TokenValues& v, char* out, size_t cch) {
    if (!out || cch == 0)
        return;
    memset(out, 0, cch);
    if (!tpl)
        return;
    size_t len = 0;
    const char* name = v.imageName ? v.imageName : "";
    for (const char* s = tpl; *s; s++) {
        if (*s != '%') {
            char one[2] = {*s, 0};
            AppendCut(out, cch, &len, one);
            continue;
        }
        char letter = *++s;
        if (!letter)
            break;
        switch (letter) {
            case 'B':
                AppendCut(out, cch, &len, v.clipboard);
                break;
            case 'C':
                AppendCut(out, cch, &len, v.computer);
                break;
            case 'D':
                AppendCut(out, cch, &len, v.date);
                break;
            case 'T':
                AppendCut(out, cch, &len, v.time);
                break;
            case 'U':
                AppendCut(out, cch, &len, v.user);
                break;
            case 'P':
                AppendCut(out, cch, &len, name);
                break;
            case 'p':
                AppendWithoutExtension(out, cch, &len, name);
                break;
            case 'F':
                AppendCut(out, cch, &len, FileNamePart(name));
                break;
            case 'f':
                AppendWithoutExtension(out, cch, &len, FileNamePart(name));
                break;
            case 'N': {
                int width = 4;
                if (s[1] >= '1' && s[1] <= '9')
                    width = *++s - '0';
                AppendNumber(out, cch, &len, v.nextN, width);
                break;
            }
        }
    }
}
