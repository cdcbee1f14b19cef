// Menu items and their popups: opening, placing inside the monitor,
// closing the chain, painting, and the application's menu calls.
#include "menu.h"

#include <string.h>

#include <initializer_list>

#include "app.h"
#include "app_window.h"
#include "framework_messages.h"
#include "monitors.h"

static const char kPopupClass[] = "MoxAppMenuPopup";

CMenu::~CMenu() {
    if (gApp.rootMenu == this)
        gApp.rootMenu = nullptr;
    Destroy();
}

int CMenu::OnCreate(CommandInfo* cmd, HWND parent, HWND, CMenu*) {
    idList = (const WORD*)cmd->data;
    if (!EnsureWindowClass(kPopupClass, MenuPopupWndProc, IDC_ARROW, nullptr, nullptr, CS_DROPSHADOW))
        EnsureWindowClass(kPopupClass, MenuPopupWndProc, IDC_ARROW, nullptr, nullptr, 0);
    popup =
        CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupClass, "", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                        0, 0, 0, 0, parent, nullptr, gApp.instance, this);
    return popup ? 0 : kMoxErrWindowCreate;
}

void CMenu::MeasureExtra(const CommandInfo* cmd, int) {
    if ((cmd->flags & kCmdSplit) || owner)
        rightMargin = 6 * Margin(gApp.GetWindowDpi(window));
}

void CMenu::OnDestroy() {
    if (popupOpen)
        ClosePopup();
    if (popup) {
        SetWindowLongPtrA(popup, GWLP_USERDATA, 0);
        DestroyWindow(popup);
        popup = nullptr;
    }
}

int CMenu::OpenPopup(const RECT& a) {
    SetWindowPos(popup, nullptr, a.left, a.top, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER);
    if (!idList) {
        CAppWindow* frame = gApp.FrameByWindow(notifyWindow);
        idList = notifyWindow ? (const WORD*)SendMessageA(notifyWindow, MoxMSG_GETMENULIST, commandId, (LPARAM)frame)
                              : nullptr;
        if (!idList)
            return kMoxErrNoIdList;
    }
    HWND container = GetParent(window);
    if (container)
        SendMessageA(container, MoxMSG_SETPOPUP, 0, (LPARAM)this);
    if (!gApp.rootMenu)
        gApp.rootMenu = this;
    for (int i = 0; idList[i] != kIdListEnd && i < 256; i++) {
        CommandInfo* cmd = gApp.Command(idList[i]);
        if (!cmd)
            return kMoxErrUnknownCommand;
        CUIItem* item = gApp.CreateUIItem(cmd->kind, cmd->data);
        if (!item)
            continue;
        if (item->Create(idList[i], popup, notifyWindow, this) != 0 || popupItems.Add(&item) < 0) {
            delete item;
            return kMoxErrItemCreate;
        }
    }
    if (popupItems.count == 0)
        return 0;
    gApp.menuTracking = true;
    int column = (*popupItems.At(0))->totalHeight;
    for (int i = 0; i < popupItems.count; i++)
        column = (*popupItems.At(i))->iconColumn > column ? (*popupItems.At(i))->iconColumn : column;
    iconColumn = column + 4;
    int width = 0, height = 0;
    for (int i = 0; i < popupItems.count; i++) {
        CUIItem* it = *popupItems.At(i);
        int w = it->iconColumn < iconColumn ? it->totalWidth + iconColumn - it->iconColumn : it->totalWidth;
        width = w > width ? w : width;
        height += it->totalHeight;
    }
    int y = 3;
    for (int i = 0; i < popupItems.count; i++) {
        CUIItem* it = *popupItems.At(i);
        SetWindowPos(it->window, nullptr, 3, y, width, it->totalHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        y += it->totalHeight;
    }
    // A menu inside a popup, or one of a column of menu items, opens to the side.
    bool side = owner != nullptr;
    if (!side && container) {
        RECT wr;
        GetWindowRect(window, &wr);
        int mx = (wr.left + wr.right) / 2;
        for (int dy : {5, -5}) {
            POINT p = {mx, dy > 0 ? wr.bottom + dy : wr.top + dy};
            HWND other = WindowFromPoint(p);
            CUIItem* o = other ? (CUIItem*)GetWindowLongPtrA(other, GWLP_USERDATA) : nullptr;
            char cls[32];
            if (other && other != window && GetClassNameA(other, cls, sizeof cls) && strcmp(cls, "MoxAppUIItem") == 0 &&
                o && o->kind == kKindMenu && GetParent(other) == container)
                side = true;
        }
    }
    int w = width + 6, h = height + 6;
    int x = side ? a.right - 2 : a.left;
    int top = side ? a.top - 2 : a.bottom;
    RECT mon;
    MonitorRectFromPoint(x, top, &mon, 0);
    if (x + w > mon.right)
        x = side ? a.left - w : a.right - w;
    if (top + h > mon.bottom)
        top = side ? a.bottom - h : a.top - h;
    SetWindowPos(popup, HWND_TOPMOST, x, top, w, h, SWP_NOOWNERZORDER | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    popupOpen = true;
    return 0;
}

void CMenu::ClosePopup() {
    popupOpen = false;
    if (openChild) {
        openChild->ClosePopup();
        openChild = nullptr;
    }
    if (popup)
        ShowWindow(popup, SW_HIDE);
    for (int i = popupItems.count - 1; i >= 0; i--)
        delete *popupItems.At(i);
    popupItems.RemoveAll();
    if (gApp.rootMenu == this)
        gApp.rootMenu = nullptr;
    if (window)
        InvalidateRect(window, nullptr, TRUE);
}

void CMenu::OnHover(LPARAM) {
    if (!gApp.menuTracking || popupOpen)
        return;
    if ((CurrentFlags() & kCmdSplit) && !overArrow)
        return;
    RECT r;
    GetWindowRect(window, &r);
    OpenPopup(r);
}

void CMenu::OnClickOpen() {
    gApp.menuTracking = false;
    CMenu* wasOpen = gApp.CloseMenus(this);
    if (wasOpen == this && !owner)
        return;  // a second click on a top-level menu item closes it
    RECT r;
    GetWindowRect(window, &r);
    OpenPopup(r);
}

int CMenu::HotIndex() const {
    for (int i = 0; i < popupItems.count; i++)
        if ((*popupItems.At(i))->CurrentFlags() & kCmdHot)
            return i;
    return -1;
}

int CMenu::NextEnabled(int from, int direction) const {
    int n = popupItems.count;
    for (int step = 1; step <= n; step++) {  // one pass at most: a menu with no enabled item ends
        int i = ((from + direction * step) % n + n) % n;
        CUIItem* it = *popupItems.At(i);
        if (it->commandId != kCmdSeparatorId && (it->CurrentFlags() & kCmdEnabled))
            return i;
    }
    return -1;
}

void CMenu::Paint(HDC dc, const RECT& rc) {
    DWORD f = CurrentFlags();
    bool hot = (f & kCmdHot) != 0;
    DWORD look = f;
    if (popupOpen && !hot)
        look |= kCmdPressed;  // an open menu looks pressed
    if (f & kCmdArrowPressed)
        look |= kCmdPressed;
    int frame, text;
    bool centre, bold;
    int shift = GetDrawState(look, &frame, &text, &centre, &bold);
    if (f & kCmdArrowPressed)
        shift = 0;
    UINT dpi = gApp.GetWindowDpi(window);
    int m = Margin(dpi);
    PaintContainerBackground(window, dc, rc);
    RECT main = rc, arrow = rc;
    main.right = rc.right - rightMargin + 1;
    arrow.left = rc.right - rightMargin;
    int mainStyle = frame, arrowStyle = frame;
    if ((f & kCmdSplit) && hot && !(f & (kCmdPressed | kCmdArrowPressed))) {
        mainStyle = overArrow ? 2 : 1;  // the part under the cursor hot, the other pressed
        arrowStyle = overArrow ? 1 : 2;
    }
    if (!(f & kCmdSplit))
        main = rc;
    if (owner && (mainStyle == 6 || mainStyle == 7))
        main.right = main.left + captionHeight + 2 * m;  // the checked square on the left
    DrawItemFrame(dc, main, mainStyle);
    if ((f & kCmdSplit) && arrowStyle != 6 && arrowStyle != 7)
        DrawItemFrame(dc, arrow, arrowStyle);  // a checked split item's arrow part stays plain
    LayoutParts(rc, shift, centre, owner != nullptr);
    if (iconWidth > 0) {
        const CommandInfo* cmd = gApp.Command(commandId);
        if (cmd)
            DrawCommandIcon(dc, cmd->iconId, (f & kCmdEnabled) != 0, iconRect);
    }
    if (owner && (f & kCmdChecked) && iconWidth == 0) {
        RECT g = {rc.left + shift, rc.top + shift, rc.left + shift + captionHeight + 2 * m, rc.bottom + shift};
        DrawCheckGlyph(dc, g, text);
    }
    DrawItemText(dc, GetText((f & kCmdTooltipCaption) ? 3 : 0), captionRect, text, centre, bold, dpi, DT_LEFT);
    if (rightMargin > 0) {
        RECT g = arrow;
        if (!owner && (f & kCmdArrowPressed))
            OffsetRect(&g, 1, 1);
        DrawArrowGlyph(dc, g, owner == nullptr, text, dpi);
    }
}

// The popup's background in client coordinates moved by (-dx, -dy): the
// menu colour, and the icon column as a gradient between two scheme shades.
static void PaintPopupBackground(const CMenu* menu, HWND popup, HDC dc, int dx, int dy) {
    CVisuals& v = gApp.visuals;
    RECT rc;
    GetClientRect(popup, &rc);
    OffsetRect(&rc, -dx, -dy);
    v.FillColor(dc, &rc, v.Color(38));
    RECT strip = rc;
    strip.right = strip.left + (menu ? menu->iconColumn : 0);
    if (strip.right > strip.left)
        v.DrawGradient(dc, &strip, v.Color(33), v.Color(34), false);
}

// The background with a 1-pixel border, light at the top and left.
static void OnPopupPaint(HWND popup, const CMenu* menu) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(popup, &ps);
    PaintPopupBackground(menu, popup, dc, 0, 0);
    RECT rc;
    GetClientRect(popup, &rc);
    gApp.visuals.Draw3dFrame(dc, &rc, gApp.visuals.Color(39), gApp.visuals.Color(40));
    EndPaint(popup, &ps);
    gApp.menuTracking = true;
}

LRESULT CALLBACK MenuPopupWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CMenu* menu = (CMenu*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case WM_PAINT:
            OnPopupPaint(hwnd, menu);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case MoxMSG_SETPOPUP:
            if (menu)
                menu->openChild = (CMenu*)lp;
            return 0;
        case MoxMSG_GETPOPUP:
            return menu ? (LRESULT)menu->openChild : 0;
        case MoxMSG_PAINTBKGND:
            PaintPopupBackground(menu, hwnd, (HDC)wp, (short)LOWORD(lp), (short)HIWORD(lp));
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
