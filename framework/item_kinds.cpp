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
    PaintContainerBackground(window, dc, rc);
    if (f & kCmdSplit)
        DrawItemFrame(dc, rc, 4);
    else if (f & kCmdArrowPressed)
        DrawItemFrame(dc, rc, 3);
    LayoutParts(rc, 0, centre, owner != nullptr);
    int icon, progress;
    const char* label = ParseStaticText(GetText(0), &icon, &progress);
    RECT cap = captionRect;
    if (icon != 0) {
        RECT ir = {cap.left, cap.top + (cap.bottom - cap.top - 16) / 2, cap.left + 16, 0};
        ir.bottom = ir.top + 16;
        DrawCommandIcon(dc, (WORD)icon, (f & kCmdEnabled) != 0, ir);
        cap.left += 16 + m;
    }
    DrawItemText(dc, label, cap, text, centre, bold, dpi, DT_LEFT);
    if (progress >= 0) {
        CVisuals& v = gApp.visuals;
        int lw = 0, th = 0;
        v.MeasureText(*label ? label : " ", &lw, &th, bold, dpi);
        RECT barRect = {cap.left + lw + 2 * m, 0, 0, 0};
        barRect.right = barRect.left + 10 * th;
        barRect.top = cap.top + (cap.bottom - cap.top - (th - 2)) / 2;
        barRect.bottom = barRect.top + th - 2;
        v.DrawFrame(dc, &barRect, v.Color(4));
        RECT fill = CVisuals::Inset(barRect, 1);
        fill.right = fill.left + (fill.right - fill.left) * progress / 100;
        v.FillColor(dc, &fill, v.Color(46));
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
    PaintContainerBackground(window, dc, rc);
    if (flags & kCmdSplit)
        return;  // the thin form draws no line
    // An etched line through the middle, 2 pixels in from the ends.
    RECT line = rc.right - rc.left > rc.bottom - rc.top ? RECT{rc.left + 2, rc.top, rc.right - 2, rc.bottom}
                                                        : RECT{rc.left, rc.top + 2, rc.right, rc.bottom - 2};
    gApp.visuals.DrawEtchedLine(dc, &line);
}
