// The UI item base: measuring, part layout, texts, tooltips, state drawing,
// and the item window procedure with hover, press, click, double click,
// drag and leave.
#include "ui_item.h"

#include <commctrl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <initializer_list>

#include "app.h"
#include "app_window.h"
#include "base/str_util.h"
#include "framework_messages.h"
#include "menu.h"

ItemInteraction gItemState;

static const char kItemClass[] = "MoxAppUIItem";

int CUIItem::Margin(UINT dpi) {
    return MulDiv(2, (int)dpi, 96);
}

CUIItem::CUIItem() {
    CUIItem* self = this;
    gApp.items.Add(&self);
}

CUIItem::~CUIItem() {
    if (CommandInfo* cmd = gApp.Command(commandId))
        cmd->flags &= ~(kCmdHot | kCmdPressed);
    // Shared interaction state never points at a destroyed item.
    if (gItemState.hovered == this)
        gItemState.hovered = nullptr;
    if (gItemState.pressed == this)
        gItemState.pressed = nullptr;
    if (gItemState.statusShown == this)
        gItemState.statusShown = nullptr;
    for (int i = 0; i < gApp.items.count; i++)
        if (*gApp.items.At(i) == this) {
            gApp.items.RemoveAt(i);
            break;
        }
    Destroy();
}

void CUIItem::Destroy() {
    if (!window)
        return;
    OnDestroy();
    if (!window)
        return;  // the kind destroyed its own window (trees)
    if (gApp.toolTip && IsWindow(gApp.toolTip)) {
        TOOLINFOA ti;
        memset(&ti, 0, sizeof ti);
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = GetParent(window);
        ti.uId = (UINT_PTR)window;
        SendMessageA(gApp.toolTip, TTM_DELTOOLA, 0, (LPARAM)&ti);
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    window = nullptr;
}

void CUIItem::OnDestroy() {}
void CUIItem::OnSize() {}
bool CUIItem::OnUpdate(int) {
    return false;
}
int CUIItem::OnCreate(CommandInfo*, HWND, HWND, CMenu*) {
    return 0;
}
void CUIItem::MeasureExtra(const CommandInfo*, int) {}

bool CUIItem::Update(int arg) {
    if (!arg && window)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return OnUpdate(arg);
}

DWORD CUIItem::CurrentFlags() const {
    const CommandInfo* cmd = const_cast<CApp&>(gApp).Command(commandId);
    return cmd ? cmd->flags : 0;
}

int CUIItem::Create(WORD id, HWND parent, HWND notify, CMenu* ownerMenu) {
    EnsureWindowClass(kItemClass, UIItemWndProc, IDC_ARROW, nullptr, nullptr, CS_DBLCLKS);
    window = CreateWindowExA(0, kItemClass, "", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                             (HMENU)(UINT_PTR)id, gApp.instance, nullptr);
    if (!window)
        return kMoxErrWindowCreate;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)this);
    commandId = id;
    notifyWindow = notify;
    owner = ownerMenu;
    if (!owner)
        AddTooltip();
    CommandInfo* cmd = gApp.Command(id);
    if (!cmd || OnCreate(cmd, parent, notify, ownerMenu) != 0)
        return kMoxErrWindowCreate;
    Measure(cmd, 0);
    return 0;
}

const char* CUIItem::GetText(int slot) const {
    const CommandInfo* cmd = const_cast<CApp&>(gApp).Command(commandId);
    if (!cmd)
        return nullptr;
    if (cmd->textId == kTextFromNotify)
        return notifyWindow ? (const char*)SendMessageA(notifyWindow, MoxMSG_GETITEMTEXT, commandId, slot) : nullptr;
    return gApp.strings.Get(cmd->textId, slot);
}

void CUIItem::AddTooltip() {
    if (!gApp.toolTip)
        return;
    const char* tip = GetText(3);
    const char* menuText = GetText(0);
    const char* shortcut = GetText(1);
    char text[kCchText];
    if (tip && *tip)
        StrCopy(text, countof(text), tip);
    else if (menuText && shortcut && *shortcut)
        StrFmt(text, countof(text), "%s (%s)", menuText, shortcut);
    else if (menuText && *menuText)
        StrCopy(text, countof(text), menuText);
    else
        return;
    TOOLINFOA ti;
    memset(&ti, 0, sizeof ti);
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(window);
    ti.uId = (UINT_PTR)window;
    ti.lpszText = text;
    SendMessageA(gApp.toolTip, TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

static SIZE MeasureText(const char* text, UINT dpi, bool bold) {
    SIZE s = {0, 0};
    if (!text || !*text)
        return s;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, gApp.UiFont(dpi, bold));
    RECT r = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    s.cx = r.right;
    s.cy = r.bottom;
    return s;
}

void CUIItem::Measure(const CommandInfo* cmd, int orientation) {
    UINT dpi = gApp.GetWindowDpi(window);
    int m = Margin(dpi);
    flags = cmd->flags;
    iconWidth = iconHeight = captionWidth = captionHeight = -1;
    extraWidth = extraHeight = rightMargin = minHeight = 0;
    MeasureExtra(cmd, orientation);
    if (iconWidth == -1) {
        iconWidth = iconHeight = (flags & kCmdIcon) ? 16 : 0;
    }
    if (captionWidth == -1) {
        SIZE s = {0, 0};
        if ((owner && extraWidth == 0) || (flags & kCmdCaption))
            s = MeasureText(GetText((flags & kCmdTooltipCaption) ? 3 : 0), dpi, (flags & kCmdBold) != 0);
        captionWidth = s.cx;
        captionHeight = s.cy;
    }
    SIZE sc = {0, 0};
    if (owner)
        sc = MeasureText(GetText(1), dpi, false);
    shortcutWidth = sc.cx;
    shortcutHeight = sc.cy;
    iconWidth = iconWidth * (int)dpi / 96;
    iconHeight = iconHeight * (int)dpi / 96;
    iconColumn = iconWidth;
    int ch = captionHeight;
    captionWidth += (int)(cmd->widthFactor * ch);
    captionHeight += (int)(cmd->heightFactor * ch);
    if (captionHeight < 16)
        captionHeight = 16;
    int h = iconHeight;
    for (int v : {extraHeight, captionHeight, shortcutHeight, minHeight})
        h = v > h ? v : h;
    totalHeight = h + 2 * m;
    int w = rightMargin + m;
    if (iconWidth > 0)
        w += iconWidth + m;
    if (extraWidth > 0)
        w += extraWidth + m;
    if (captionWidth > 0)
        w += captionWidth + m;
    if (shortcutWidth > 0)
        w += shortcutWidth + 4 * m;
    totalWidth = w;
}

SIZE CUIItem::Measure(int orientation) {
    if (const CommandInfo* cmd = gApp.Command(commandId))
        Measure(cmd, orientation);
    SIZE s = {totalWidth, totalHeight};
    return s;
}

void CUIItem::Place(const RECT* r) {
    if (!window)
        return;
    if (!r) {
        ShowWindow(window, SW_HIDE);
        return;
    }
    SetWindowPos(window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CUIItem::LayoutParts(const RECT& rc, int s, bool centre, bool inPopup) {
    int m = Margin(gApp.GetWindowDpi(window));
    int H = rc.bottom - rc.top, R = rc.right;
    iconRect.top = m + (H - 2 * m - iconHeight + 1) / 2 + s;
    extraRect.top = m + (H - 2 * m - extraHeight + 1) / 2 + s;
    captionRect.top = (int)floor((H - 2 * m - captionHeight + 1) * 0.5 + s + m + 0.5);
    shortcutRect.top = captionRect.top;
    iconRect.bottom = iconRect.top + iconHeight;
    extraRect.bottom = extraRect.top + extraHeight;
    captionRect.bottom = captionRect.top + captionHeight;
    shortcutRect.bottom = shortcutRect.top + captionHeight;
    int x = s;
    if (!inPopup && centre)
        x += (R - totalWidth) / 2;
    iconRect.left = x + m;
    iconRect.right = iconRect.left + iconWidth;
    int next = inPopup && owner ? x + owner->iconColumn : (iconWidth > 0 ? x + m + iconWidth : x) + m;
    extraRect.left = next;
    extraRect.right = next + extraWidth;
    captionRect.left = extraWidth > 0 ? extraRect.right + m : next;
    captionRect.right = captionRect.left + captionWidth;
    shortcutRect.left = shortcutRect.right = R;
    if (inPopup && shortcutWidth > 0) {
        shortcutRect.left = R - rightMargin - shortcutWidth - m;
        shortcutRect.right = shortcutRect.left + shortcutWidth;
    }
    if (flags & kCmdStretch)
        captionRect.right = R - rightMargin - shortcutWidth - m;
}

int CUIItem::GetDrawState(DWORD f, int* frameStyle, int* textStyle, bool* centre, bool* bold) const {
    if (f & kCmdPressed)
        *frameStyle = 2;
    else if (f & kCmdHot)
        *frameStyle = 1;
    else if ((f & (kCmdChecked | kCmdEnabled)) == kCmdChecked)
        *frameStyle = 7;
    else if (f & kCmdChecked)
        *frameStyle = 6;
    else
        *frameStyle = 0;
    *textStyle = (f & (kCmdHot | kCmdPressed)) ? 2 : (f & kCmdEnabled) ? 1 : 0;
    *centre = (f & kCmdCentre) && !owner;
    *bold = (f & kCmdBold) != 0;
    return (f & kCmdPressed) ? 1 : 0;
}

void DrawItemFrame(HDC dc, const RECT& r, int style) {
    if (style > 0)
        gApp.visuals.DrawItemBackground(dc, &r, style);
}

void PaintContainerBackground(HWND item, HDC dc, const RECT& rc) {
    gApp.visuals.SetPaintWindow(item);
    gApp.visuals.DrawItemBackground(dc, &rc, 0);
}

static int Luma(COLORREF c) {
    return (GetRValue(c) * 299 + GetGValue(c) * 587 + GetBValue(c) * 114) / 1000;
}

DWORD ItemTextSelector(int textStyle) {
    if (textStyle != 2)
        return (DWORD)textStyle;
    // Highlighted text lies on the hot shade: in the scheme's highlight text
    // colour, unless that hardly differs from the shade (the pale hot shade
    // of the scheme "none" under white highlight text); then in its text colour.
    const CVisuals& v = gApp.visuals;
    int shade = (Luma(v.Color(41)) + Luma(v.Color(42))) / 2;
    return abs(Luma(v.Color(5)) - shade) < 96 && abs(Luma(v.Color(4)) - shade) > abs(Luma(v.Color(5)) - shade) ? 1 : 2;
}

void DrawItemText(HDC dc, const char* text, const RECT& r, int textStyle, bool centre, bool bold, UINT dpi,
                  UINT format) {
    if (!text || !*text)
        return;
    UINT flags = (centre ? kTextCentre : (format & DT_RIGHT) ? kTextRight : 0) | (bold ? kTextBold : 0);
    gApp.visuals.PaintText(dc, &r, ItemTextSelector(textStyle), flags, dpi, "%s", text);
}

void DrawCommandIcon(HDC dc, WORD iconId, bool enabled, const RECT& rc) {
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    CVisuals& v = gApp.visuals;
    UINT state = enabled ? 1 : 0;
    // An application icon that was never registered is the icon resource of
    // the same id: registered on first use, so that it is tinted too.
    if (v.DrawIcon(dc, iconId, state, &rc) == kVisualsErrIconMissing &&
        v.AddIcon(iconId, iconId, 0, rc.right - rc.left) == 0)
        v.DrawIcon(dc, iconId, state, &rc);
}

void DrawCheckGlyph(HDC dc, const RECT& square, int textStyle) {
    // The glyph's arms are fractions of its rectangle's width: twice the
    // square gives a mark that fills about half of it.
    int w = square.right - square.left;
    RECT g = {square.left - w / 2, square.top, square.right + w / 2, square.bottom};
    gApp.visuals.DrawCheck(dc, &g, ItemTextSelector(textStyle));
}

void DrawArrowGlyph(HDC dc, const RECT& column, bool down, int textStyle, UINT dpi) {
    // The triangle's size is 3/22 of its rectangle's width: a rectangle of
    // 15 margins gives about 4 pixels at 96 DPI, centred on the column.
    int w = 15 * CUIItem::Margin(dpi), cx = (column.left + column.right) / 2;
    RECT g = {cx - w / 2, column.top, cx - w / 2 + w, column.bottom};
    gApp.visuals.DrawArrow(dc, &g, down ? 2 : 0, ItemTextSelector(textStyle));
}

void CUIItem::PaintCommon(HDC dc, const RECT& rc, bool withCheckGlyph) {
    UINT dpi = gApp.GetWindowDpi(window);
    int m = Margin(dpi);
    DWORD f = CurrentFlags();
    int frame, text;
    bool centre, bold;
    int shift = GetDrawState(f, &frame, &text, &centre, &bold);
    PaintContainerBackground(window, dc, rc);
    RECT fr = rc;
    if (owner && (frame == 6 || frame == 7))
        fr.right = fr.left + captionHeight + 2 * m;  // the checked square on the left
    DrawItemFrame(dc, fr, frame);
    LayoutParts(rc, shift, centre, owner != nullptr);
    if (iconWidth > 0) {
        const CommandInfo* cmd = gApp.Command(commandId);
        if (cmd)
            DrawCommandIcon(dc, cmd->iconId, (f & kCmdEnabled) != 0, iconRect);
    }
    if (withCheckGlyph && owner && (f & kCmdChecked) && iconWidth == 0) {
        RECT g = {rc.left + shift, rc.top + shift, rc.left + shift + captionHeight + 2 * m, rc.bottom + shift};
        DrawCheckGlyph(dc, g, text);
    }
    DrawItemText(dc, GetText((f & kCmdTooltipCaption) ? 3 : 0), captionRect, text, centre, bold, dpi, DT_LEFT);
    if (shortcutWidth > 0)
        DrawItemText(dc, GetText(1), shortcutRect, text, false, false, dpi, DT_RIGHT);
}

static int ButtonMask(int button) {
    int mask = button;
    if (GetAsyncKeyState(VK_LBUTTON) < 0)
        mask |= 1;
    if (GetAsyncKeyState(VK_RBUTTON) < 0)
        mask |= 2;
    if (GetAsyncKeyState(VK_MBUTTON) < 0)
        mask |= 4;
    return mask;
}

void CUIItem::Click(int mask) {
    DWORD f = CurrentFlags();
    gApp.SetItemState(this, 0, kCmdPressed | (kind == kKindMenu ? kCmdArrowPressed : 0));
    // What the notification needs is taken now: closing the menus may delete this item.
    WORD id = commandId;
    HWND notify = notifyWindow;
    if (kind == kKindMenu) {
        LRESULT open = notify ? SendMessageA(notify, MoxMSG_MENUCLICK, id, mask) : 0;
        DWORD g = f | (open == 1 ? kCmdArrowPressed : 0);
        bool asCommand = (g & kCmdSplit) && !(g & kCmdArrowPressed) && !overArrow;
        if (!asCommand) {
            ((CMenu*)this)->OnClickOpen();
            return;
        }
    }
    gApp.CloseMenus(nullptr);
    if (notify)
        SendMessageA(notify, MoxMSG_COMMAND, (WPARAM)id | ((WPARAM)mask << 16), 0);
}

static bool CursorOver(HWND hwnd) {
    POINT pt;
    GetCursorPos(&pt);
    return WindowFromPoint(pt) == hwnd;
}

static void OnItemMouseMove(CUIItem* item, HWND hwnd, WPARAM wp, LPARAM lp) {
    DWORD f = item->CurrentFlags();
    if (!(f & kCmdEnabled) || item->dragging || lp == item->lastMouse)
        return;
    if (lp != -1)
        item->lastMouse = lp;
    if (gItemState.hovered != item) {
        if (gItemState.hovered && gItemState.hovered->window)
            SendMessageA(gItemState.hovered->window, WM_MOUSELEAVE, 0, 0);
        gItemState.hovered = item;
        if (lp != -1 && CursorOver(hwnd)) {
            TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&tme);
        }
        gApp.ShowStatusHelp(gApp.FrameByWindow(item->notifyWindow), item);
    }
    bool over = CursorOver(hwnd);
    if ((f & kCmdDraggable) && !over && gItemState.pressed == item) {
        // The drag ends the press: one notification, and no click when the
        // button comes up over the item again.
        gItemState.pressed = nullptr;
        item->dragging = true;
        SendMessageA(item->notifyWindow, MoxMSG_DRAGITEM, item->commandId, 0);
        ReleaseCapture();
        item->dragging = false;
        PostMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
        return;
    }
    DWORD set = kCmdHot;
    bool anyDown = (wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    if (!(f & kCmdValue) && over && anyDown)
        set |= kCmdPressed;
    HWND container = GetParent(hwnd);
    CMenu* open = container ? (CMenu*)SendMessageA(container, MoxMSG_GETPOPUP, 0, 0) : nullptr;
    if (open && open != (CMenu*)item)
        gApp.CloseMenus(item);
    else if (!item->owner && !open && gApp.rootMenu && GetParent(gApp.rootMenu->window) != container)
        gApp.CloseMenus(nullptr);
    if (item->kind == kKindMenu)
        ((CMenu*)item)->OnHover(lp);
    gApp.SetItemState(item, set, kCmdHot | ((f & kCmdValue) ? 0 : kCmdPressed));
    if (f & kCmdSplit) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        bool arrow = pt.x >= rc.right - item->rightMargin;
        if (arrow != item->overArrow) {
            item->overArrow = arrow;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
    }
}

static void OnItemButtonDown(CUIItem* item, HWND hwnd, int button) {
    DWORD f = item->CurrentFlags();
    if (!(f & kCmdEnabled))
        return;
    gItemState.pressed = item;
    if (item->kind == kKindMenu && (f & kCmdSplit) && item->overArrow)
        gApp.SetItemState(item, kCmdArrowPressed, kCmdPressed);
    else
        gApp.SetItemState(item, kCmdPressed, item->kind == kKindMenu ? kCmdArrowPressed : 0);
    SetCapture(hwnd);
    int slot = button == 1 ? 0 : button == 2 ? 1 : 2;
    DWORD now = GetTickCount();
    WORD id = item->commandId;
    HWND notify = item->notifyWindow;
    bool dbl = gItemState.lastDown[slot] && now - gItemState.lastDown[slot] < GetDoubleClickTime();
    gItemState.lastDown[slot] = now;
    if (dbl && notify)
        SendMessageA(notify, MoxMSG_DBLCLK, (WPARAM)id | ((WPARAM)ButtonMask(button) << 16), 0);
}

LRESULT CALLBACK UIItemWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CUIItem* item = (CUIItem*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (!item)
        return DefWindowProcA(hwnd, msg, wp, lp);
    if (item->mouseHook)
        item->mouseHook(hwnd, msg, wp, lp, item);
    switch (msg) {
        case WM_SIZE:
            item->OnSize();
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT rc;
            GetClientRect(hwnd, &rc);
            // Through an off-screen buffer, so that nothing flickers.
            PaintBuffer buffer;
            HDC mem = gApp.visuals.BeginBuffer(dc, rc.right, rc.bottom, &buffer);
            item->Paint(mem ? mem : dc, rc);
            gApp.visuals.EndBuffer(&buffer);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOVE:
            InvalidateRect(hwnd, nullptr, FALSE);
            break;
        case WM_MOUSEMOVE:
            OnItemMouseMove(item, hwnd, wp, lp);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnItemButtonDown(item, hwnd, 1);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            OnItemButtonDown(item, hwnd, 2);
            return 0;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            OnItemButtonDown(item, hwnd, 4);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            if (!(item->CurrentFlags() & kCmdEnabled))
                return 0;
            int button = msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4;
            if (GetCapture() == hwnd)
                ReleaseCapture();
            CUIItem* pressed = gItemState.pressed;
            gItemState.pressed = nullptr;
            bool click = lp == -1 || (pressed && CursorOver(pressed->window) && pressed == item);
            if (click)
                item->Click(ButtonMask(button));  // may delete the item: nothing of it is touched after
            return 0;
        }
        case WM_MOUSELEAVE:
            if (!(item->CurrentFlags() & kCmdEnabled) || item->dragging)
                return 0;
            if (gItemState.hovered == item)
                gItemState.hovered = nullptr;
            gApp.SetItemState(item, 0, kCmdHot | kCmdPressed | (item->kind == kKindMenu ? kCmdArrowPressed : 0));
            if (gItemState.statusShown == item)
                gApp.ShowStatusHelp(gApp.FrameByWindow(item->notifyWindow), nullptr);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
