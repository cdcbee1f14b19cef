// CVisuals drawing primitives: fills, frames, gradients, glyphs, grips,
// text, item backgrounds with rounded corners, and double buffering. Pens
// and brushes are made and freed per call.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>

#include "base/str_util.h"
#include "framework_messages.h"
#include "visuals.h"

namespace {

void Fill(HDC dc, int x, int y, int w, int h, COLORREF color) {
    if (w <= 0 || h <= 0)
        return;
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ old = SelectObject(dc, brush);
    PatBlt(dc, x, y, w, h, PATCOPY);
    SelectObject(dc, old);
    DeleteObject(brush);
}

void FillPolygon(HDC dc, const POINT* pts, int n, COLORREF color) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    int oldFill = SetPolyFillMode(dc, WINDING);
    Polygon(dc, pts, n);
    SetPolyFillMode(dc, oldFill);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

// The corner blends: per output pixel (p, s, a, b): S + (I[b] - S) * p / 100,
// S = background pixel a (s 0) or item pixel a (s 1). Rows of the 3 x 3 corner.
struct CornerEntry {
    BYTE p, s, a, b;
};
const CornerEntry kCorners[4][9] = {
    // top-left
    {{5, 0, 0, 0},
     {30, 0, 1, 1},
     {55, 0, 2, 2},
     {30, 0, 3, 3},
     {45, 1, 4, 3},
     {20, 1, 5, 2},
     {55, 0, 6, 6},
     {20, 1, 7, 6},
     {0, 1, 8, 8}},
    // top-right
    {{55, 0, 0, 0},
     {30, 0, 1, 1},
     {5, 0, 2, 2},
     {20, 1, 3, 0},
     {45, 1, 4, 5},
     {30, 0, 5, 5},
     {0, 1, 6, 6},
     {20, 1, 7, 8},
     {55, 0, 8, 8}},
    // bottom-left
    {{55, 0, 0, 0},
     {20, 1, 1, 0},
     {0, 1, 2, 2},
     {30, 0, 3, 3},
     {45, 1, 4, 3},
     {20, 1, 5, 8},
     {5, 0, 6, 6},
     {30, 0, 7, 7},
     {55, 0, 8, 8}},
    // bottom-right
    {{0, 1, 0, 0},
     {20, 1, 1, 2},
     {55, 0, 2, 2},
     {20, 1, 3, 6},
     {45, 1, 4, 5},
     {30, 0, 5, 5},
     {55, 0, 6, 6},
     {30, 0, 7, 7},
     {5, 0, 8, 8}},
};

int BlendChannel(int s, int i, int p) {
    return s + (i - s) * p / 100;
}

}  // namespace

RECT CVisuals::Inset(const RECT& rc, int n) {
    RECT r = {rc.left + n, rc.top + n, rc.right - n, rc.bottom - n};
    return r;
}

void CVisuals::FillColor(HDC dc, const RECT* rc, COLORREF color) {
    Fill(dc, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, color);
}

void CVisuals::DrawFrame(HDC dc, const RECT* rc, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FrameRect(dc, rc, brush);
    DeleteObject(brush);
}

void CVisuals::DrawRectangle(HDC dc, const RECT* rc, COLORREF pen, COLORREF brush) {
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(brush == kNoColor ? NULL_BRUSH : DC_BRUSH));
    COLORREF oldPenColor = SetDCPenColor(dc, pen);
    COLORREF oldBrushColor = brush == kNoColor ? 0 : SetDCBrushColor(dc, brush);
    Rectangle(dc, rc->left, rc->top, rc->right, rc->bottom);
    SetDCPenColor(dc, oldPenColor);
    if (brush != kNoColor)
        SetDCBrushColor(dc, oldBrushColor);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void CVisuals::Draw3dFrame(HDC dc, const RECT* rc, COLORREF topLeft, COLORREF bottomRight, bool swap) {
    if (swap) {
        COLORREF t = topLeft;
        topLeft = bottomRight;
        bottomRight = t;
    }
    int x = rc->left, y = rc->top, w = rc->right - rc->left, h = rc->bottom - rc->top;
    if (w <= 0 || h <= 0)
        return;
    Fill(dc, x, y, w - 1, 1, topLeft);
    Fill(dc, x, y, 1, h - 1, topLeft);
    Fill(dc, x + w - 1, y, 1, h, bottomRight);
    Fill(dc, x, y + h - 1, w, 1, bottomRight);
}

void CVisuals::DrawGradient(HDC dc, const RECT* rc, COLORREF from, COLORREF to, bool vertical) {
    TRIVERTEX v[2];
    v[0].x = rc->left;
    v[0].y = rc->top;
    v[0].Red = (COLOR16)(GetRValue(from) << 8);
    v[0].Green = (COLOR16)(GetGValue(from) << 8);
    v[0].Blue = (COLOR16)(GetBValue(from) << 8);
    v[0].Alpha = 0;
    v[1].x = rc->right;
    v[1].y = rc->bottom;
    v[1].Red = (COLOR16)(GetRValue(to) << 8);
    v[1].Green = (COLOR16)(GetGValue(to) << 8);
    v[1].Blue = (COLOR16)(GetBValue(to) << 8);
    v[1].Alpha = 0;
    GRADIENT_RECT g = {0, 1};
    GradientFill(dc, v, 2, &g, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

void CVisuals::DrawArrow(HDC dc, const RECT* rc, int type, DWORD selector) {
    int w = rc->right - rc->left, h = rc->bottom - rc->top;
    int s = (int)((h < 3 ? h : 3) * w / 22.0);
    if (s < 1)
        s = 1;
    int cx = rc->left + w / 2, cy = rc->top + h / 2;
    POINT p[3];
    switch (type) {
        case 1:  // up: tip at (cx, cy - s/2)
            p[0] = {cx, cy - s / 2};
            p[1] = {cx - s, cy - s / 2 + s};
            p[2] = {cx + s, cy - s / 2 + s};
            break;
        case 2:  // down
            p[0] = {cx, cy + s / 2};
            p[1] = {cx - s, cy + s / 2 - s};
            p[2] = {cx + s, cy + s / 2 - s};
            break;
        default:  // right
            p[0] = {cx + s / 2, cy};
            p[1] = {cx + s / 2 - s, cy - s};
            p[2] = {cx + s / 2 - s, cy + s};
            break;
    }
    FillPolygon(dc, p, 3, SelectorColor(selector));
}

void CVisuals::DrawCheck(HDC dc, const RECT* rc, DWORD selector) {
    int w = rc->right - rc->left, h = rc->bottom - rc->top;
    double u = w / 22.0;
    if (u < 1)
        u = 1;
    int a = (int)lround(u * 1.4), l = (int)lround(u * 4);
    int cx = rc->left + w / 2, cy = rc->top + h / 2;
    POINT p[6] = {
        {cx, cy + a},          // bottom vertex
        {cx - a, cy},          // short arm, lower edge
        {cx - a, cy - a},      // short arm, upper edge
        {cx, cy},              // inner vertex
        {cx + l, cy - l},      // long arm, upper edge
        {cx + l, cy - l + a},  // long arm, lower edge
    };
    FillPolygon(dc, p, 6, SelectorColor(selector));
}

void CVisuals::DrawEtchedLine(HDC dc, const RECT* rc) {
    int w = rc->right - rc->left, h = rc->bottom - rc->top;
    if (w >= h) {
        int y = rc->top + (h - 2) / 2;
        Fill(dc, rc->left, y, w - 1, 1, scheme_[31]);
        Fill(dc, rc->left + 1, y + 1, w - 1, 1, scheme_[32]);
    } else {
        int x = rc->left + (w - 2) / 2;
        Fill(dc, x, rc->top, 1, h - 1, scheme_[31]);
        Fill(dc, x + 1, rc->top + 1, 1, h - 1, scheme_[32]);
    }
}

void CVisuals::DrawSizeGrip(HDC dc, const RECT* rc) {
    for (int row = 0; row < 3; row++)
        for (int col = 0; col + row < 3; col++) {
            int x = rc->right - 4 - 4 * col, y = rc->bottom - 4 - 4 * row;
            Fill(dc, x + 1, y + 1, 2, 2, scheme_[27]);
            Fill(dc, x, y, 2, 2, scheme_[26]);
        }
}

void CVisuals::DrawBarGrip(HDC dc, const RECT* rc, bool atLeft) {
    RECT strip = *rc;
    if (atLeft)
        strip.right = strip.left + 4;
    else
        strip.bottom = strip.top + 4;
    Draw3dFrame(dc, &strip, scheme_[2], scheme_[3]);
    RECT inner = Inset(strip, 1);
    FillColor(dc, &inner, scheme_[30]);
}

int CVisuals::PaintText(HDC dc, const RECT* rc, DWORD selector, UINT flags, UINT dpi, const char* format, ...) {
    if (!format)
        return kVisualsErrNullText;
    char text[1040];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, SelectorColor(selector));
    UINT align = flags & 3;
    if (flags & kTextVertical) {
        HFONT font = FontForDpi(kFontTextVertical, dpi);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        // The downward font extends left of the reference point by its
        // height and downwards by the text's length.
        SIZE ext = {0, 0};
        int len = (int)strlen(text);
        GetTextExtentPoint32A(dc, text, len, &ext);
        TEXTMETRICA tm;
        int cell = GetTextMetricsA(dc, &tm) ? tm.tmHeight : ext.cy;
        int x = rc->left + (rc->right - rc->left + cell) / 2;
        int y = align == kTextCentre  ? rc->top + (rc->bottom - rc->top - ext.cx) / 2
                : align == kTextRight ? rc->bottom - ext.cx
                                      : rc->top;
        UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
        ExtTextOutA(dc, x, y, ETO_CLIPPED, rc, text, (UINT)len, nullptr);
        SetTextAlign(dc, oldAlign);
        if (old)
            SelectObject(dc, old);
    } else {
        HFONT font = FontForDpi((flags & kTextBold) ? kFontTextBold : kFontText, dpi);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        UINT dt = (align == kTextCentre  ? DT_CENTER
                   : align == kTextRight ? DT_RIGHT
                                         : DT_LEFT) |
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
        RECT r = *rc;
        ::DrawTextA(dc, text, -1, &r, dt);
        if (old)
            SelectObject(dc, old);
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    return 0;
}

void CVisuals::PaintParentBackground(HDC dc, const RECT* rc, POINT dcOrigin) {
    // The face colour first: a parent that does not answer leaves it.
    FillColor(dc, rc, scheme_[0]);
    HWND parent = paintWindow_ ? GetParent(paintWindow_) : nullptr;
    if (!parent)
        return;
    POINT at = dcOrigin;
    MapWindowPoints(paintWindow_, parent, &at, 1);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, rc->left, rc->top, rc->right, rc->bottom);
    SendMessageA(parent, MoxMSG_PAINTBKGND, (WPARAM)dc, MAKELPARAM((short)at.x, (short)at.y));
    RestoreDC(dc, saved);
}

// Styles: 0 parent background; 1 hot and 2, 6 pressed or checked: frame
// (45) and vertical gradient 41-42 or 43-44; 3 raised (52/53) and 4 flat
// (51/53) 3D frame with a fill in 51; 5 fill (scheme 0); 7 parent
// background over width (else a fill inset by one) in a sunken frame (3/2);
// 8 frame (45) and gradient from scheme colour `from` to `to`.
void CVisuals::DrawItemBackground(HDC dc, const RECT* rc, int type, COLORREF color, int width, int corners, int from,
                                  int to) {
    RECT inner = Inset(*rc, 1);
    switch (type) {
        case 0:
            PaintParentBackground(dc, rc, POINT{0, 0});
            break;
        case 1:
        case 2:
        case 6:
        case 8: {
            COLORREF a, b;
            if (type == 1) {
                a = scheme_[41];
                b = scheme_[42];
            } else if (type == 8) {
                a = Color(from);
                b = Color(to);
            } else {
                a = scheme_[43];
                b = scheme_[44];
            }
            DrawFrame(dc, rc, color == kNoColor ? scheme_[45] : color);
            DrawGradient(dc, &inner, a, b, true);
            break;
        }
        case 3:
        case 4:
            FillColor(dc, &inner, color == kNoColor ? scheme_[51] : color);
            Draw3dFrame(dc, rc, type == 3 ? scheme_[52] : scheme_[51], scheme_[53]);
            break;
        case 5:
            FillColor(dc, rc, color == kNoColor ? scheme_[0] : color);
            break;
        case 7: {
            RECT area = *rc;
            if (width > 0) {
                if (area.left + width < area.right)
                    area.right = area.left + width;
                PaintParentBackground(dc, &area, POINT{0, 0});
            } else {
                FillColor(dc, &inner, color == kNoColor ? scheme_[0] : color);
            }
            Draw3dFrame(dc, &area, scheme_[3], scheme_[2]);
            break;
        }
        default:
            break;
    }
    if (corners)
        DrawRoundCorners(dc, rc, corners);
}

void CVisuals::DrawRoundCorners(HDC dc, const RECT* rc, int corners) {
    if (!memDc_ || rc->right - rc->left < 3 || rc->bottom - rc->top < 3)
        return;
    static const int kFlags[4] = {kCornerTopLeft, kCornerTopRight, kCornerBottomLeft, kCornerBottomRight};
    for (int k = 0; k < 4; k++) {
        if (!(corners & kFlags[k]))
            continue;
        int x = (k == 1 || k == 3) ? rc->right - 3 : rc->left;
        int y = (k == 2 || k == 3) ? rc->bottom - 3 : rc->top;
        // The parent's background under the corner lands at (4..6, 0..2) of
        // the memory DIB, then the item's corner at (0..2, 0..2).
        RECT all = {0, 0, 16, 16};
        FillColor(memDc_, &all, scheme_[57]);
        HWND parent = paintWindow_ ? GetParent(paintWindow_) : nullptr;
        if (parent) {
            POINT at = {x - 4, y};
            MapWindowPoints(paintWindow_, parent, &at, 1);
            SendMessageA(parent, MoxMSG_PAINTBKGND, (WPARAM)memDc_, MAKELPARAM((short)at.x, (short)at.y));
        }
        BitBlt(memDc_, 0, 0, 3, 3, dc, x, y, SRCCOPY);
        GdiFlush();
        DWORD item[9], back[9];
        for (int i = 0; i < 9; i++) {
            item[i] = dibBits_[(i / 3) * 16 + i % 3];
            back[i] = dibBits_[(i / 3) * 16 + 4 + i % 3];
        }
        for (int i = 0; i < 9; i++) {
            const CornerEntry& e = kCorners[k][i];
            DWORD S = e.s ? item[e.a] : back[e.a];
            DWORD I = item[e.b];
            DWORD out = 0;
            for (int sh = 0; sh < 24; sh += 8)
                out |= (DWORD)BlendChannel((S >> sh) & 0xFF, (I >> sh) & 0xFF, e.p) << sh;
            dibBits_[(i / 3) * 16 + 8 + i % 3] = out;
        }
        BitBlt(dc, x, y, 3, 3, memDc_, 8, 0, SRCCOPY);
    }
}

HDC CVisuals::BeginBuffer(HDC dc, int width, int height, PaintBuffer* buffer) {
    *buffer = PaintBuffer();
    if (width <= 0 || height <= 0)
        return nullptr;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = mem ? CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (!bmp) {
        if (mem)
            DeleteDC(mem);
        return nullptr;
    }
    buffer->target = dc;
    buffer->dc = mem;
    buffer->bitmap = bmp;
    buffer->oldBitmap = SelectObject(mem, bmp);
    buffer->width = width;
    buffer->height = height;
    return mem;
}

void CVisuals::EndBuffer(PaintBuffer* buffer) {
    if (!buffer->dc)
        return;
    BitBlt(buffer->target, 0, 0, buffer->width, buffer->height, buffer->dc, 0, 0, SRCCOPY);
    SelectObject(buffer->dc, buffer->oldBitmap);
    DeleteObject(buffer->bitmap);
    DeleteDC(buffer->dc);
    *buffer = PaintBuffer();
}
