// Dialog-item and window helpers.
#include "dialog_util.h"

#include <locale.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Reads up to 31 characters of an item's text; false when it is empty.
static bool ReadItemText(HWND dlg, int item, char* text, int cch) {
    text[0] = '\0';
    GetDlgItemTextA(dlg, item, text, cch);
    text[cch - 1] = '\0';
    return text[0] != '\0';
}

int GetDlgItemNumber(HWND dlg, int item, int minimum, int maximum, bool strict, int* value) {
    *value = minimum;
    char text[32];
    if (!ReadItemText(dlg, item, text, countof(text)))
        return kStatusFieldEmpty;
    char* end;
    long read = strtol(text, &end, 10);
    if (strict && (end == text || *end))
        return kStatusNotNumber;
    long lo = minimum < maximum ? minimum : maximum;
    long hi = minimum < maximum ? maximum : minimum;
    *value = (int)(read < lo ? lo : read > hi ? hi : read);
    return 0;
}

// The decimal separator that strtod of the runtime accepts now: '.' in the
// "C" locale, else the runtime locale's own.
static char RuntimeDecimalSeparator() {
    char* end;
    const char* probe = "0.5";
    strtod(probe, &end);
    if (end == probe + 3)
        return '.';
    const char* point = localeconv()->decimal_point;
    return (point && point[0]) ? point[0] : '.';
}

int GetDlgItemDouble(HWND dlg, int item, double minimum, double maximum, bool strict, double* value) {
    *value = minimum;
    char text[32];
    if (!ReadItemText(dlg, item, text, countof(text)))
        return kStatusFieldEmpty;
    char sep = RuntimeDecimalSeparator();
    char* comma = strchr(text, ',');
    char* point = strchr(text, '.');
    if (comma)
        *comma = sep;
    if (point)
        *point = sep;
    char* end;
    double read = strtod(text, &end);
    if ((strict && (end == text || *end)) || isnan(read))
        return kStatusNotNumber;
    double lo = minimum < maximum ? minimum : maximum;
    double hi = minimum < maximum ? maximum : minimum;
    *value = read < lo ? lo : read > hi ? hi : read;
    return 0;
}

void SetDlgItemNumber(HWND dlg, int item, int value) {
    char text[16];
    StrFmt(text, countof(text), "%d", value);
    SetDlgItemTextA(dlg, item, text);
}

void SetDlgItemDouble(HWND dlg, int item, double value) {
    char num[64];
    StrFmt(num, countof(num), "%.3f", value);
    char user[8] = "";
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, user, countof(user)) || !user[0])
        StrCopy(user, countof(user), ".");
    size_t len = strlen(num);
    if (strpbrk(num, ".,") || strstr(num, user)) {
        while (len > 0 && num[len - 1] == '0')
            num[--len] = '\0';
        size_t cchUser = strlen(user);
        if (len > 0 && (num[len - 1] == '.' || num[len - 1] == ','))
            num[--len] = '\0';
        else if (len >= cchUser && strcmp(num + len - cchUser, user) == 0)
            num[len -= cchUser] = '\0';
    }
    // The first '.' and the first ',' become the user's separator.
    char out[80];
    size_t o = 0;
    bool pointDone = false, commaDone = false;
    for (const char* p = num; *p && o + 1 < countof(out); p++) {
        bool swap = (*p == '.' && !pointDone) || (*p == ',' && !commaDone);
        if (*p == '.')
            pointDone = true;
        if (*p == ',')
            commaDone = true;
        if (swap) {
            for (const char* u = user; *u && o + 1 < countof(out); u++)
                out[o++] = *u;
        } else {
            out[o++] = *p;
        }
    }
    out[o] = '\0';
    SetDlgItemTextA(dlg, item, out);
}

bool SetDlgItemTextF(HWND dlg, int item, const char* fmt, ...) {
    char text[kCchText];
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(text, countof(text), fmt, args);
    va_end(args);
    text[countof(text) - 1] = '\0';
    if (n < 0)
        text[0] = '\0';
    bool set = SetDlgItemTextA(dlg, item, text) != 0;
    return set && n >= 0 && (size_t)n < countof(text);
}

int GetDlgItemCheck(HWND dlg, int item) {
    return (int)SendDlgItemMessageA(dlg, item, BM_GETCHECK, 0, 0);
}

void SetDlgItemCheck(HWND dlg, int item, int state) {
    SendDlgItemMessageA(dlg, item, BM_SETCHECK, (WPARAM)state, 0);
}

void EnableDlgItems(bool enable, HWND dlg, ...) {
    va_list args;
    va_start(args, dlg);
    for (;;) {
        int id = va_arg(args, int);
        if (id <= 0)
            break;
        EnableWindow(GetDlgItem(dlg, id), enable);
    }
    va_end(args);
}

void FocusDlgItemSelectAll(HWND dlg, int item) {
    HWND h = GetDlgItem(dlg, item);
    if (!h)
        return;
    SetFocus(h);
    SendMessageA(h, EM_SETSEL, 0, -1);
}

bool FollowParentTopmost(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    if (!parent || !(GetWindowLongA(parent, GWL_EXSTYLE) & WS_EX_TOPMOST))
        return false;
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool IsCursorOverWindow(HWND hwnd) {
    POINT pt;
    return GetCursorPos(&pt) && WindowFromPoint(pt) == hwnd;
}

void InvalidateGrownArea(HWND hwnd, int width, int height, int* oldWidth, int* oldHeight) {
    int maxW = width > *oldWidth ? width : *oldWidth;
    int maxH = height > *oldHeight ? height : *oldHeight;
    if (width != *oldWidth) {
        RECT right = {width < *oldWidth ? width : *oldWidth, 0, maxW, maxH};
        InvalidateRect(hwnd, &right, TRUE);
        if (height != *oldHeight) {
            RECT below = {0, height < *oldHeight ? height : *oldHeight, maxW, maxH};
            InvalidateRect(hwnd, &below, TRUE);
        }
    } else {
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    *oldWidth = width;
    *oldHeight = height;
}

void SetFlagBits(uint32_t* flags, uint32_t mask, bool on) {
    if (on)
        *flags |= mask;
    else
        *flags &= ~mask;
}
