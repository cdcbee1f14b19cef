// Bounded string helpers for the fixed 8-bit buffers of the program.
// Every helper always NUL-terminates (when cch > 0) and returns false when
// the text had to be cut.
#pragma once
#include <stddef.h>

template <class T, size_t N>
constexpr size_t countof(T (&)[N]) {
    return N;
}

// The four buffer sizes of the program, in characters.
constexpr size_t kCchPath = 260;
constexpr size_t kCchPath2 = 520;
constexpr size_t kCchText = 1024;
constexpr size_t kCchText2 = 1040;

// A null src counts as "". src may overlap dst (StrCopy(p, cch, p + 3)
// drops a prefix; StrCat(p, cch, p) doubles the text). A null dst or a cch of
// 0 writes nothing and returns false. StrCat on a dst not terminated within
// cch terminates it at dst[cch - 1] and returns false.
bool StrCopy(char* dst, size_t cch, const char* src);
bool StrCat(char* dst, size_t cch, const char* src);
// gnu_printf: the C99 stdio of __USE_MINGW_ANSI_STDIO. clang (the analyser
// of scripts/lint.sh) knows no gnu_printf; its printf checks the C99 forms.
#if defined(__MINGW32__) && !defined(__clang__)
#define STR_PRINTF_FORMAT gnu_printf
#else
#define STR_PRINTF_FORMAT printf
#endif
bool StrFmt(char* dst, size_t cch, const char* fmt, ...) __attribute__((format(STR_PRINTF_FORMAT, 3, 4)));

// ASCII-only case folding: a-z compare equal to A-Z, other bytes as they are.
int StrCmpAsciiNoCase(const char* a, const char* b);
