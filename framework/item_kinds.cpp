// Buttons, statics and separators.
#include "item_kinds.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app.h"
#include "framework_messages.h"

void CButton::Paint(HDC dc, const RECT& rc) {
    PaintCommon(dc, rc, true);
}

const char* ParseStaticText(const char* text, int* icon, int* progress) {
    *icon = 0;
    *progress = -1;
    if (!text)
        return "";
    if (text[0] == '#') {
        char* end;
        long n = strtol(text + 1, &end, 10);
        *icon = (int)n;
        text = end;
    }
    if (text[0] == '@') {
        char* end;
        long p = strtol(text + 1, &end, 10);
        *progress = p < 0 ? 0 : p > 100 ? 100 : (int)p;
        text = end;
    }
    return text;
}

void CStatic::Paint(HDC dc, const RECT& rc) {
    UINT dpi = gApp.GetWindowDpi(window);
    int m = Margin(dpi);
    DWORD f = CurrentFlags();
    int frame, text;
    bool centre, bold;
    GetDrawState(f, &frame, &text, &centre, &bold);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (f & kCmdSplit)
        DrawItemFrame(dc, rc, 4);
    else if (f & kCmdArrowPressed)
        DrawItemFrame(dc, rc, 3);
    LayoutParts(rc, 0, centre, owner != nullptr);
    int icon, progress;
    const char* label = ParseStaticText(GetText(0), &icon, &progress);
    RECT cap = captionRect;
    if (icon != 0) {
        HICON ic = (HICON)LoadImageA(gApp.instance, MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, 0);
        if (ic) {
            DrawIconEx(dc, cap.left, cap.top + (cap.bottom - cap.top - 16) / 2, ic, 16, 16, 0, nullptr, DI_NORMAL);
            DestroyIcon(ic);
        }
        cap.left += 16 + m;
    }
    DrawItemText(dc, label, cap, text, centre, bold, dpi, DT_LEFT);
    if (progress >= 0) {
        HGDIOBJ old = SelectObject(dc, gApp.UiFont(dpi, bold));
        RECT lr = {0, 0, 0, 0};
        DrawTextA(dc, *label ? label : " ", -1, &lr, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
        int th = lr.bottom;
        RECT barRect = {cap.left + lr.right + 2 * m, 0, 0, 0};
        barRect.right = barRect.left + 10 * th;
        barRect.top = cap.top + (cap.bottom - cap.top - (th - 2)) / 2;
        barRect.bottom = barRect.top + th - 2;
        FrameRect(dc, &barRect, GetSysColorBrush(COLOR_MENUTEXT));
        RECT fill = barRect;
        InflateRect(&fill, -1, -1);
        fill.right = fill.left + (fill.right - fill.left) * progress / 100;
        FillRect(dc, &fill, GetSysColorBrush(COLOR_HIGHLIGHT));
        char pct[16];
        snprintf(pct, sizeof pct, "%d%%", progress);
        RECT pr = {barRect.right + 2 * m, cap.top, rc.right, cap.bottom};
        DrawItemText(dc, pct, pr, text, false, bold, dpi, DT_LEFT);
    }
}

void CStatic::OnSize() {
    if (CurrentFlags() & kCmdStretch)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CSeparator::Measure(const CommandInfo* cmd, int) {
    flags = cmd->flags;
    totalWidth = totalHeight = (flags & kCmdSplit) ? 3 : 6;
}

void CSeparator::Paint(HDC dc, const RECT& rc) {
    if (owner)
        PaintPopupBackground(window, dc);
    else
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (flags & kCmdSplit)
        return;  // the thin form draws no line
    RECT line;
    if (rc.right - rc.left > rc.bottom - rc.top)
        line = {2, (rc.bottom - 2) / 2, rc.right - 2, (rc.bottom - 2) / 2 + 2};
    else
        line = {(rc.right - 2) / 2, 2, (rc.right - 2) / 2 + 2, rc.bottom - 2};
    DrawEdge(dc, &line, EDGE_ETCHED, (rc.right > rc.bottom) ? BF_TOP : BF_LEFT);
}
