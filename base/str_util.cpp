// Bounded string helpers.
#include "str_util.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

bool StrCopy(char* dst, size_t cch, const char* src) {
    if (!dst || cch == 0)
        return false;
    if (!src)
        src = "";
    size_t len = strlen(src);
    bool fits = len < cch;
    if (!fits)
        len = cch - 1;
    memmove(dst, src, len);  // src may lie inside dst (dropping a prefix in place)
    dst[len] = '\0';
    return fits;
}

bool StrCat(char* dst, size_t cch, const char* src) {
    if (!dst || cch == 0)
        return false;
    size_t used = strnlen(dst, cch);
    if (used >= cch) {  // not terminated: terminate and report the cut
        dst[cch - 1] = '\0';
        return false;
    }
    return StrCopy(dst + used, cch - used, src);
}

bool StrFmt(char* dst, size_t cch, const char* fmt, ...) {
    if (!dst || cch == 0)
        return false;
    va_list args;
    va_start(args, fmt);
    // vsnprintf of the C99 runtime (mingw's __USE_MINGW_ANSI_STDIO) terminates on overflow.
    int n = vsnprintf(dst, cch, fmt, args);
    va_end(args);
    dst[cch - 1] = '\0';
    if (n < 0) {
        dst[0] = '\0';
        return false;
    }
    return (size_t)n < cch;
}

static int FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

int StrCmpAsciiNoCase(const char* a, const char* b) {
    const unsigned char* pa = (const unsigned char*)a;
    const unsigned char* pb = (const unsigned char*)b;
    for (;; pa++, pb++) {
        int d = FoldAscii(*pa) - FoldAscii(*pb);
        if (d != 0 || *pa == 0)
            return d;
    }
}
