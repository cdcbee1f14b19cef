// The value items: slider, brush size, colour picked from the screen and
// palette. Their mouse hooks run before the item window procedure (which
// still does hover, press and click), so a value changes on the press or
// the move and the notify window hears of it at once.
#include "item_values.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <windowsx.h>

#include <initializer_list>

#include "app.h"
#include "base/color_util.h"
#include "base/str_util.h"
#include "framework_messages.h"
#include "item_resources.h"

int SliderSize(UINT dpi) {
    return MulDiv(14, (int)dpi, 96);
}

static COLORREF SchemeColor(int index) {
    return gApp.visuals.Color(index);
}

static void FillColor(HDC dc, const RECT& r, COLORREF c) {
    gApp.visuals.FillColor(dc, &r, c);
}

// The two framework icons are known to the visuals under their own ids;
// registered on first use when the application's start-up has not done it.
static void EnsureValueIcons() {
    if (!gApp.visualsReady)
        return;
    const CDynArray<VisualsIcon>& icons = gApp.visuals.Icons();
    for (int id : {MOX_ICON_VALUE_RING, MOX_ICON_VALUE_PICK}) {
        bool found = false;
        for (int i = 0; i < icons.count && !found; i++)
            found = icons.At(i)->id == id;
        if (!found)
            gApp.visuals.AddIcon(id, id == MOX_ICON_VALUE_RING ? IDI_MOX_VALUE_RING : IDI_MOX_VALUE_PICK, 0, 32);
    }
}

static void DrawFrameworkIcon(HDC dc, int id, int resourceId, const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    if (gApp.visualsReady && gApp.visuals.DrawIcon(dc, id, 1, &r) == 0)
        return;
    int w = r.right - r.left, h = r.bottom - r.top;
    HICON ic = (HICON)LoadImageA(gApp.instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, w, h, 0);
    if (ic) {
        DrawIconEx(dc, r.left, r.top, ic, w, h, 0, nullptr, DI_NORMAL);
        DestroyIcon(ic);
    }
}

static HCURSOR EyedropperCursor() {
    HCURSOR c = LoadCursorA(gApp.instance, MAKEINTRESOURCEA(IDC_MOX_EYEDROPPER));  // shared: never destroyed
    return c ? c : LoadCursorA(nullptr, IDC_CROSS);
}

static uint32_t ScreenPixel(POINT pt) {
    HDC dc = GetDC(nullptr);
    COLORREF c = dc ? GetPixel(dc, pt.x, pt.y) : CLR_INVALID;
    if (dc)
        ReleaseDC(nullptr, dc);
    return c == CLR_INVALID ? 0xFF000000u : ColorRefToArgb(c, 0xFF);
}

static bool CursorOverWindow(HWND hwnd) {
    POINT pt;
    GetCursorPos(&pt);
    return WindowFromPoint(pt) == hwnd;
}

// The button mask of a button message: its own bit and every button held.
static int MaskWith(int button) {
    if (GetAsyncKeyState(VK_LBUTTON) < 0)
        button |= 1;
    if (GetAsyncKeyState(VK_RBUTTON) < 0)
        button |= 2;
    if (GetAsyncKeyState(VK_MBUTTON) < 0)
        button |= 4;
    return button;
}

static int ButtonOfUp(UINT msg) {
    return msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : msg == WM_MBUTTONUP ? 4 : 0;
}

// Whether the item window procedure will run this button release as a
// click (which sends the command itself).
static bool ReleaseClicks(CUIItem* item, HWND hwnd, LPARAM lp) {
    if (!(item->CurrentFlags() & kCmdEnabled))
        return false;
    return lp == -1 || (gItemState.pressed == item && CursorOverWindow(hwnd));
}

static void SendValueCommand(CUIItem* item, int mask, LPARAM lp) {
    if (item->notifyWindow)
        SendMessageA(item->notifyWindow, MoxMSG_COMMAND, (WPARAM)item->commandId | ((WPARAM)mask << 16), lp);
}

static void RedrawNow(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

static int BindValue(CUIItem* item, CommandInfo* cmd, ItemMouseHook hook, bool valueItem) {
    if (!cmd->data)
        return kMoxErrUnknownCommand;
    item->SetMouseHook(hook);
    if (valueItem)
        cmd->flags |= kCmdValue;
    EnsureValueIcons();
    return 0;
}

// The common look of a value item: background, the frame of the draw state
// (unless plain), parts laid out, caption and shortcut. Returns the text
// style; frameStyle (may be null) receives the frame style.
static int PaintBase(CUIItem* item, HDC dc, const RECT& rc, bool plain, int* frameStyle) {
    UINT dpi = gApp.GetWindowDpi(item->window);
    int m = CUIItem::Margin(dpi);
    DWORD f = item->CurrentFlags();
    int frame, text;
    bool centre, bold;
    int shift = item->GetDrawState(f, &frame, &text, &centre, &bold);
    PaintContainerBackground(item->window, dc, rc);
    if (plain) {
        shift = 0;
        text = (f & kCmdEnabled) ? 1 : 0;
    } else {
        RECT fr = rc;
        if (item->owner && (frame == 6 || frame == 7))
            fr.right = fr.left + item->captionHeight + 2 * m;
        DrawItemFrame(dc, fr, frame);
    }
    if (frameStyle)
        *frameStyle = frame;
    item->LayoutParts(rc, shift, centre, item->owner != nullptr);
    DrawItemText(dc, item->GetText((f & kCmdTooltipCaption) ? 3 : 0), item->captionRect, text, centre, bold, dpi,
                 DT_LEFT);
    if (item->shortcutWidth > 0)
        DrawItemText(dc, item->GetText(1), item->shortcutRect, text, false, false, dpi, DT_RIGHT);
    return text;
}

// ---- slider

static void SliderHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, CUIItem* item) {
    ((CSlider*)item)->OnMouse(hwnd, msg, wp, lp);
}

int CSlider::OnCreate(CommandInfo* cmd, HWND, HWND, CMenu*) {
    int rc = BindValue(this, cmd, SliderHook, false);
    if (rc == 0)
        range = (ValueRange*)cmd->data;
    return rc;
}

void CSlider::MeasureExtra(const CommandInfo*, int) {
    extraHeight = SliderSize(gApp.GetWindowDpi(window));
    extraWidth = 7 * extraHeight;
}

// In floating point: a range wider than the track gives a unit below one
// pixel, never 0 (which the drag would divide by).
double CSlider::Unit() const {
    double span = (double)range->maximum - (double)range->minimum;
    if (span <= 0)
        span = 1;
    return (double)(extraWidth - extraHeight) / span;
}

RECT CSlider::ThumbRect() const {
    double v = range->value;
    if (v < range->minimum)
        v = range->minimum;
    if (v > range->maximum)
        v = range->maximum;
    int x = extraRect.left + (int)((v - range->minimum) * Unit());
    RECT r = {x, extraRect.top, x + extraHeight, extraRect.top + extraHeight};
    return r;
}

int CSlider::ValueAt(int x) const {
    double unit = Unit();
    if (unit <= 0)
        return range->minimum;  // a track no longer than the thumb has one position
    double steps = trunc((x - extraRect.left - (extraHeight - unit) / 2) / unit);
    double v = (double)range->minimum + steps;
    if (v > range->maximum)
        v = range->maximum;
    if (v < range->minimum)
        v = range->minimum;
    return (int)v;
}

void CSlider::OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!(CurrentFlags() & kCmdEnabled)) {
        dragging = false;
        return;
    }
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            SetFocus(hwnd);
            RECT rc;
            GetClientRect(hwnd, &rc);
            LayoutParts(rc, 0, (flags & kCmdCentre) && !owner, owner != nullptr);
            thumb = ThumbRect();
            POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            if (PtInRect(&thumb, pt)) {
                dragging = true;
                return;
            }
            long long v = (long long)range->value + (pt.x >= thumb.right ? 1 : -1);
            if (v > range->maximum)
                v = range->maximum;
            if (v < range->minimum)
                v = range->minimum;
            range->value = (int)v;
            InvalidateRect(hwnd, nullptr, FALSE);
            SendValueCommand(this, MaskWith(1), 1);
            return;
        }
        case WM_MOUSEMOVE: {
            if (!dragging || !(wp & MK_LBUTTON))
                return;
            int v = ValueAt(GET_X_LPARAM(lp));
            if (v == range->value)
                return;
            range->value = v;
            InvalidateRect(hwnd, nullptr, FALSE);
            SendValueCommand(this, MaskWith(0), 1);
            return;
        }
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            dragging = false;
            return;
    }
}

void CSlider::Paint(HDC dc, const RECT& rc) {
    PaintBase(this, dc, rc, true, nullptr);
    DWORD f = CurrentFlags();
    bool enabled = (f & kCmdEnabled) != 0;
    if (iconWidth > 0) {
        const CommandInfo* cmd = gApp.Command(commandId);
        if (cmd)
            DrawCommandIcon(dc, cmd->iconId, enabled, iconRect);
    }
    if (extraWidth <= 0 || !range)
        return;
    thumb = ThumbRect();
    int mid = (thumb.top + thumb.bottom) / 2;
    RECT track = {extraRect.left + extraHeight / 2, mid - 2, extraRect.right - extraHeight / 2, mid + 3};
    CVisuals& v = gApp.visuals;
    v.DrawItemBackground(dc, &track, 3, enabled ? SchemeColor(6) : SchemeColor(0));
    int style = (f & kCmdPressed) ? 2 : (f & kCmdHot) ? 1 : enabled ? 8 : 4;
    if (style == 8)  // at rest: a frame and a gradient from the light shade to the face
        v.DrawItemBackground(dc, &thumb, 8, kNoColor, 0, 0, 52, 51);
    else
        v.DrawItemBackground(dc, &thumb, style, style == 4 ? SchemeColor(0) : kNoColor);
}

// ---- brush size

static void BrushSizeHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, CUIItem* item) {
    ((CBrushSize*)item)->OnMouse(hwnd, msg, wp, lp);
}

CBrushSize::~CBrushSize() {
    if (font)
        DeleteObject(font);
}

int CBrushSize::OnCreate(CommandInfo* cmd, HWND, HWND, CMenu*) {
    int rc = BindValue(this, cmd, BrushSizeHook, true);
    if (rc == 0)
        range = (ValueRange*)cmd->data;
    return rc;
}

void CBrushSize::MeasureExtra(const CommandInfo*, int) {
    iconWidth = iconHeight = 22;  // scaled by the DPI like every icon
}

void CBrushSize::OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!(CurrentFlags() & kCmdEnabled))
                return;
            ClientToScreen(hwnd, &pt);
            startY = pt.y;
            startValue = range->value;
            return;
        case WM_MOUSEMOVE: {
            if (!(wp & MK_LBUTTON) || startY == kNotRecording)
                return;
            ClientToScreen(hwnd, &pt);
            long long v = (long long)startValue + (startY - pt.y) / 5;  // 5 pixels upwards per step
            if (v > range->maximum)
                v = range->maximum;
            if (v < range->minimum)
                v = range->minimum;
            if ((int)v != range->value) {
                range->value = (int)v;
                RedrawNow(hwnd);
            }
            return;
        }
        case WM_LBUTTONUP:
            if (startY == kNotRecording)
                return;
            startY = kNotRecording;
            // Released over the item, its click sends the command: one, not two.
            if (!ReleaseClicks(this, hwnd, lp))
                SendValueCommand(this, MaskWith(1), 0);
            return;
    }
}

void CBrushSize::FitFont(HDC dc, UINT dpi, int width, int height) {
    int len = (int)strlen(text);
    if (font && len == shownLength && width == fittedWidth && height == fittedHeight)
        return;
    if (font)
        DeleteObject(font);
    font = nullptr;
    shownLength = len;
    fittedWidth = width;
    fittedHeight = height;
    for (int h = MulDiv(12, (int)dpi, 96); h >= 3; h--) {
        HFONT f = CreateFontA(-h, 0, 0, 0, 800, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
        if (!f)
            break;
        HGDIOBJ old = SelectObject(dc, f);
        SIZE s = {0, 0};
        GetTextExtentPoint32A(dc, text, len, &s);
        SelectObject(dc, old);
        font = f;
        if ((s.cx < width - 6 && s.cy < height - 2) || h == 3)
            break;
        DeleteObject(f);
        font = nullptr;
    }
}

void CBrushSize::Paint(HDC dc, const RECT& rc) {
    int textStyle = PaintBase(this, dc, rc, false, nullptr);
    DrawFrameworkIcon(dc, MOX_ICON_VALUE_RING, IDI_MOX_VALUE_RING, iconRect);
    if (!range)
        return;
    StrFmt(text, countof(text), "%d", range->value);
    shownValue = range->value;
    FitFont(dc, gApp.GetWindowDpi(window), rc.right - rc.left, rc.bottom - rc.top);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, gApp.visuals.SelectorColor(ItemTextSelector(textStyle)));
    RECT r = iconRect;
    DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    if (old)
        SelectObject(dc, old);
}

// ---- colour

static void ColorHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, CUIItem* item) {
    ((CColor*)item)->OnMouse(hwnd, msg, wp, lp);
}

int CColor::OnCreate(CommandInfo* cmd, HWND, HWND, CMenu*) {
    int rc = BindValue(this, cmd, ColorHook, true);
    if (rc == 0)
        color = (ColorValue*)cmd->data;
    return rc;
}

void CColor::MeasureExtra(const CommandInfo*, int) {
    iconWidth = iconHeight = 22;
}

void CColor::OnMouse(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    if (GetCapture() != hwnd)
        return;  // only between a press on the item and its release
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) == hwnd)
        return;  // over the item, the normal press and click rules apply
    if (msg == WM_MOUSEMOVE) {
        SetCursor(EyedropperCursor());
        color->color = ScreenPixel(pt);
        RedrawNow(hwnd);
    } else if (int button = ButtonOfUp(msg)) {
        if (!ReleaseClicks(this, hwnd, lp))
            SendValueCommand(this, MaskWith(button), 0);
    }
}

void CColor::Paint(HDC dc, const RECT& rc) {
    PaintBase(this, dc, rc, false, nullptr);
    if (iconRect.right <= iconRect.left)
        return;
    bool enabled = (CurrentFlags() & kCmdEnabled) != 0;
    COLORREF c = enabled && color ? ArgbToColorRef(color->color) : SchemeColor(50);
    HBRUSH b = CreateSolidBrush(c);
    HGDIOBJ oldBrush = SelectObject(dc, b);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, iconRect.left, iconRect.top, iconRect.right + 1, iconRect.bottom + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(b);
    bool picked = color && color->picked;
    DrawFrameworkIcon(dc, picked ? MOX_ICON_VALUE_RING : MOX_ICON_VALUE_PICK,
                      picked ? IDI_MOX_VALUE_RING : IDI_MOX_VALUE_PICK, iconRect);
}

// ---- palette

static void PaletteHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, CUIItem* item) {
    ((CPalette*)item)->OnMouse(hwnd, msg, wp, lp);
}

int CPalette::OnCreate(CommandInfo* cmd, HWND, HWND, CMenu*) {
    int rc = BindValue(this, cmd, PaletteHook, true);
    if (rc == 0)
        palette = (PaletteValue*)cmd->data;
    return rc;
}

void CPalette::MeasureExtra(const CommandInfo*, int orientation) {
    int m = Margin(gApp.GetWindowDpi(window));
    extraWidth = 32 * m;
    extraHeight = 6 * m;
    if (orientation == 1) {
        int t = extraWidth;
        extraWidth = extraHeight;
        extraHeight = t;
    }
}

int CPalette::CellAt(POINT pt) const {
    for (int k = 15; k >= 0; k--)
        if (PtInRect(&cells[k], pt))
            return k;
    return -1;
}

void CPalette::OnMouse(HWND hwnd, UINT msg, WPARAM, LPARAM lp) {
    bool captured = GetCapture() == hwnd;
    switch (msg) {
        case WM_MOUSEMOVE: {
            POINT pt;
            GetCursorPos(&pt);
            palette->underCursor = ScreenPixel(pt);
            if (captured && WindowFromPoint(pt) != hwnd) {
                SetCursor(EyedropperCursor());
                if (palette->selected >= 0 && palette->selected < 16) {
                    palette->colors[palette->selected] = palette->underCursor;
                    RedrawNow(hwnd);
                }
            }
            return;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            if (!(CurrentFlags() & kCmdEnabled))
                return;
            POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            int k = CellAt(pt);
            if (k >= 0 && k != palette->selected) {
                palette->selected = k;
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            return;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (captured && !CursorOverWindow(hwnd) && !ReleaseClicks(this, hwnd, lp))
                SendValueCommand(this, MaskWith(ButtonOfUp(msg)), 0);
            return;
    }
}

void CPalette::Paint(HDC dc, const RECT& rc) {
    int frame;
    PaintBase(this, dc, rc, false, &frame);
    if (!palette)
        return;
    int m = Margin(gApp.GetWindowDpi(window));
    RECT grid = extraRect;
    InflateRect(&grid, m, m);
    if (owner)
        OffsetRect(&grid, m, 0);
    InflateRect(&grid, -1, -1);
    int gw = grid.right - grid.left, gh = grid.bottom - grid.top;
    columns = gw < gh ? 2 : 8;
    rows = gw < gh ? 8 : 2;
    double cw = gw / (double)columns, ch = gh / (double)rows;
    bool enabled = (CurrentFlags() & kCmdEnabled) != 0;
    for (int k = 0; k < 16; k++) {
        int r = k / columns, c = k % columns;
        RECT cell = {grid.left + (int)(c * cw), grid.top + (int)(r * ch), grid.left + (int)((c + 1) * cw) + 1,
                     grid.top + (int)((r + 1) * ch) + 1};
        cells[k] = cell;
        COLORREF color = enabled              ? ArgbToColorRef(palette->colors[k])
                         : ((r + c) & 1) == 0 ? SchemeColor(0)
                                              : SchemeColor(3);
        FillColor(dc, cell, color);
    }
    if (frame == 0) {
        RECT fr = grid;
        InflateRect(&fr, 1, 1);
        gApp.visuals.DrawFrame(dc, &fr, SchemeColor(45));
    }
}
