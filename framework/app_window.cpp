// Framework windows: creation from the record, the "MoxWindow" procedure,
// layout of the bays, placement records, restyling, transparency, status
// texts, the busy overlay, Tab cycling and the window-menu commands.
#include "app_window.h"

#include <commdlg.h>
#include <string.h>

#include "app.h"
#include "base/str_util.h"
#include "dock_bay.h"
#include "framework_messages.h"
#include "message_box.h"
#include "monitors.h"
#include "settings/record_file.h"

static const char kFrameClass[] = "MoxWindow";
static const char kBusyClass[] = "MoxBusy";
static const int kMinTrackWidth = 150, kMinTrackHeight = 100;

BYTE FrameAlpha(int percent) {
    return (BYTE)((100 - percent) * 255 / 100);
}

static CAppWindow* FrameOf(HWND hwnd) {
    return (CAppWindow*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
}

CAppWindow::~CAppWindow() {
    if (trayIcon && gApp.FrameByIndex(index) == this)
        gApp.SetTrayIconRaw(index, nullptr, nullptr);
    for (int i = 0; i < bays.count; i++)
        delete *bays.At(i);
    bays.RemoveAll();
    if (statusMutex)
        CloseHandle(statusMutex);
    if (window && IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

static void RegisterClasses(int iconId) {
    EnsureWindowClass(kFrameClass, AppWindowProc, IDC_ARROW, nullptr,
                      iconId > 0 ? LoadIconA(gApp.instance, MAKEINTRESOURCEA(iconId)) : nullptr, CS_DBLCLKS);
    EnsureWindowClass(kBusyClass, DefWindowProcA, IDC_WAIT, nullptr, nullptr);  // the wait cursor
}

// A record rectangle that no monitor shows, or smaller than a frame can be,
// would leave the window unreachable: those parts take the defaults.
static void SaneRecord(FrameRecord* rec, const FrameRecord& defaults) {
    if (rec->width < kMinTrackWidth || rec->height < kMinTrackHeight) {
        rec->width = defaults.width;
        rec->height = defaults.height;
    }
    RECT r = {rec->left, rec->top, rec->left + rec->width, rec->top + rec->height};
    if (!MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) {
        rec->left = defaults.left;
        rec->top = defaults.top;
    }
}

int CAppWindow::Create(WORD idx, WNDPROC appProc, const char* title, int iconId, DWORD frameFlags, int x, int y,
                       int width, int height) {
    index = idx;
    flags = frameFlags;
    RegisterClasses(iconId);

    RECT mon;
    MonitorRectFromPoint(0, 0, &mon, 0);
    int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    int w = width ? width : mw * 2 / 3, h = height ? height : mh * 2 / 3;
    int dx = (mw - w) / 2 + 40 * index, dy = (mh - h) / 2 + 40 * index;
    if (mon.right - w > 0)
        dx %= mon.right - w;  // cascade by 40 pixels, wrapping inside the monitor
    if (mon.bottom - h > 0)
        dy %= mon.bottom - h;
    FrameRecord defaults = {(int16_t)(x ? x : dx), (int16_t)(y ? y : dy), (uint16_t)w, (uint16_t)h, flags, 0};
    FrameRecord rec = defaults;
    if (gApp.RecordVersionUnchanged()) {
        ReadRecordFile("(Mox)Win", index, &rec, sizeof rec, 0);
        SaneRecord(&rec, defaults);
    }
    normalRect = {rec.left, rec.top, rec.left + rec.width, rec.top + rec.height};
    flags = rec.flags;
    transparency = rec.transparency & 0xFF;
    if (transparency > 90)
        transparency = 90;
    transparency -= transparency % 10;
    clickThrough = (rec.transparency & 0x1000) != 0;

    DWORD style, exStyle;
    ComputeStyles(&style, &exStyle);
    window = CreateWindowExA(exStyle, kFrameClass, title ? title : gApp.productName, style, normalRect.left,
                             normalRect.top, normalRect.right - normalRect.left, normalRect.bottom - normalRect.top,
                             gApp.instanceWindow, nullptr, gApp.instance, this);
    if (!window)
        return kMoxErrWindowCreate;
    windowRect = normalRect;
    if (appProc) {
        gApp.frameworkWndProc = AppWindowProc;
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)appProc);
        CREATESTRUCTA cs;
        memset(&cs, 0, sizeof cs);
        SendMessageA(window, WM_CREATE, 0, (LPARAM)&cs);  // the application sees its frame's creation
    }
    if (iconId > 0) {
        HICON ic = LoadIconA(gApp.instance, MAKEINTRESOURCEA(iconId));
        if (ic)
            SetClassLongPtrA(window, GCLP_HICON, (LONG_PTR)ic);
    }
    for (int side = 0; side < 4; side++) {
        CDockBay* bay = new CDockBay;
        if (bays.Add(&bay) < 0) {
            delete bay;
            return kMoxErrWindowCreate;
        }
        if (bay->Create(side, this) != 0)
            return kMoxErrWindowCreate;
    }
    statusMutex = CreateMutexA(nullptr, FALSE, nullptr);
    if (!statusMutex)
        return kMoxErrWindowCreate;
    SetStatusText(-3, gApp.Text(IDS_MOX_READY, 0));
    SetStatusText(-2, gApp.Text(IDS_MOX_READY, 0));
    ApplyTransparency(window, true);
    RECT rc;
    GetClientRect(window, &rc);
    OnSize(rc.right, rc.bottom);
    return 0;
}

void CAppWindow::ComputeStyles(DWORD* style, DWORD* exStyle) const {
    DWORD s = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU;
    bool borderless = (flags & kFrameBorderless) != 0;
    if (!borderless)
        s |= WS_DLGFRAME;
    if ((flags & kFrameResizable) && !borderless)
        s |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (!(flags & kFrameNoCaption) && !borderless)
        s |= WS_CAPTION;
    if (flags & kFrameMaximised)
        s |= WS_MAXIMIZE;
    DWORD ex = 0;
    if (flags & kFrameTaskbarButton)
        ex |= WS_EX_APPWINDOW;
    if (flags & kFrameSmallCaption)
        ex |= WS_EX_TOOLWINDOW;
    if (flags & kFrameAlwaysOnTop)
        ex |= WS_EX_TOPMOST;
    if (flags & kFrameAcceptFiles)
        ex |= WS_EX_ACCEPTFILES;
    *style = s;
    *exStyle = ex;
}

void CAppWindow::ApplyTransparency(HWND hwnd, bool withClickThrough) const {
    gApp.SetTransparency(hwnd, transparency, withClickThrough && clickThrough);
}

void CAppWindow::SetTransparency(int percent) {
    transparency = percent < 0 ? 0 : percent > 90 ? 90 : percent;
    ApplyTransparency(window, true);
    for (int i = 0; i < bays.count; i++)
        (*bays.At(i))->ApplyToFloatingBars(this);
}

void CAppWindow::SetClickThrough(bool on) {
    clickThrough = on;
    SetTransparency(transparency);
}

void CAppWindow::SavePlacement() {
    FrameRecord rec;
    rec.left = (int16_t)normalRect.left;
    rec.top = (int16_t)normalRect.top;
    rec.width = (uint16_t)(normalRect.right - normalRect.left);
    rec.height = (uint16_t)(normalRect.bottom - normalRect.top);
    rec.flags = flags;
    rec.transparency = (uint32_t)transparency | (clickThrough ? 0x1000u : 0u);
    WriteRecordFile("(Mox)Win", index, &rec, sizeof rec, 0);
}

void CAppWindow::OnSize(int width, int height) {
    if (bays.count == 4) {
        CDockBay* top = *bays.At(0);
        CDockBay* bottom = *bays.At(1);
        CDockBay* left = *bays.At(2);
        CDockBay* right = *bays.At(3);
        int t = top->Place(0, 0, width, 0);
        int b = bottom->Place(0, height, width, 0);
        int l = left->Place(0, t, 0, height - b - t);
        int r = right->Place(width, t, 0, height - b - t);
        clientRect = {l, t, width - r, height - b};
    } else {
        clientRect = {0, 0, width, height};
    }
    SendMessageA(window, MoxMSG_LAYOUT, 0, MAKELPARAM(width, height));
    if (busyOverlay)
        SetWindowPos(busyOverlay, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOREDRAW);
    RecordPlacement();
}

void CAppWindow::RecordPlacement() {
    if (IsZoomed(window))
        flags |= kFrameMaximised;
    else
        flags &= ~kFrameMaximised;
    RECT r;
    if (IsZoomed(window) || IsIconic(window) || restyling || !GetWindowRect(window, &r))
        return;
    if (!(flags & kFrameLockPosition))
        OffsetRect(&normalRect, r.left - normalRect.left, r.top - normalRect.top);
    if (!(flags & kFrameLockSize)) {
        normalRect.right = normalRect.left + (r.right - r.left);
        normalRect.bottom = normalRect.top + (r.bottom - r.top);
    }
}

void CAppWindow::Relayout(const RECT* rect) {
    if (!rect) {
        RECT rc;
        GetClientRect(window, &rc);
        for (int i = 0; i < 2; i++)
            SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
        return;
    }
    DWORD keep = flags & (kFrameLockPosition | kFrameLockSize);
    flags &= ~keep;
    MoveWindow(window, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    flags |= keep;
    normalRect = windowRect = *rect;
}

void CAppWindow::Show(int showCmd, bool) {
    if (showCmd == SW_SHOW && IsIconic(window))
        showCmd = SW_SHOWNORMAL;
    ShowWindow(window, showCmd);
    if (showCmd == SW_SHOW || showCmd == SW_SHOWNORMAL)
        SetForegroundWindow(window);
    bool visible = showCmd != SW_HIDE;
    for (int i = 0; i < bays.count; i++)
        (*bays.At(i))->ShowFloatingBars(this, visible);
}

void CAppWindow::Restyle(DWORD setBits, DWORD clearBits) {
    flags = (flags & ~clearBits) | setBits;
    restyling = true;
    bool visible = IsWindowVisible(window) != FALSE;
    if (visible)
        Show(SW_HIDE, false);
    DWORD style, exStyle;
    ComputeStyles(&style, &exStyle);
    SetWindowLongA(window, GWL_STYLE, (LONG)style);
    SetWindowLongA(window, GWL_EXSTYLE, (LONG)exStyle);
    SendMessageA(window, MoxMSG_STYLECHANGED, style, exStyle);
    ApplyTransparency(window, true);
    if (visible)
        Show((flags & kFrameMaximised) ? SW_MAXIMIZE : SW_SHOW, false);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE);
    restyling = false;
}

DWORD CAppWindow::SetStatusText(int id, const char* text) {
    DWORD wait = statusMutex ? WaitForSingleObject(statusMutex, 1000) : WAIT_FAILED;
    if (wait != WAIT_OBJECT_0)
        return wait;
    int found = -1;
    for (int i = 0; i < statusTexts.count; i++)
        if (statusTexts.At(i)->id == id)
            found = i;
    if (text && *text) {
        if (found < 0) {
            StatusEntry e;
            e.id = id;
            e.text[0] = '\0';
            found = statusTexts.Add(&e);
        }
        if (found >= 0)
            StrCopy(statusTexts.At(found)->text, sizeof statusTexts.At(found)->text, text);
    } else if (found >= 0) {
        statusTexts.RemoveAt(found);
        bool onlyNegative = true;
        for (int i = 0; i < statusTexts.count; i++)
            onlyNegative = onlyNegative && statusTexts.At(i)->id < 0;
        if (onlyNegative)
            for (int i = 0; i < statusTexts.count; i++)
                if (statusTexts.At(i)->id == -1) {
                    statusTexts.RemoveAt(i);
                    break;
                }
    }
    if (statusCommand != kNoCommand)
        gApp.strings.SetText(statusCommand, 0, ShownStatusText());
    ReleaseMutex(statusMutex);
    return 0;
}

const char* CAppWindow::ShownStatusText() const {
    for (int i = 0; i < statusTexts.count; i++)
        if (statusTexts.At(i)->id == -1)
            return statusTexts.At(i)->text;
    return statusTexts.count ? statusTexts.At(statusTexts.count - 1)->text : "";
}

void CAppWindow::SetBusy(bool on) {
    if (on && !busyOverlay) {
        RECT rc;
        GetClientRect(window, &rc);
        busyOverlay = CreateWindowExA(WS_EX_TRANSPARENT, "MoxBUSY", "", WS_CHILD, 0, 0, rc.right, rc.bottom, window,
                                      nullptr, gApp.instance, nullptr);
        if (busyOverlay) {
            SetWindowPos(busyOverlay, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOREDRAW);
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        }
    } else if (!on && busyOverlay) {
        DestroyWindow(busyOverlay);
        busyOverlay = nullptr;
    }
    for (int i = 0; i < bays.count; i++)
        (*bays.At(i))->SetBusyOnFloatingBars(this, on);
}

void CAppWindow::OnActivate(bool active) {
    if (active) {
        gApp.activeFrame = index;
        SetFocus(savedFocus && IsWindow(savedFocus) ? savedFocus : window);
    } else {
        if (!gApp.menuTracking && gApp.activeFrame == index)
            gApp.activeFrame = kNoActiveFrame;
        HWND focus = GetFocus();
        if (focus && (focus == window || IsChild(window, focus)))
            savedFocus = focus;
    }
    for (int i = 0; i < gApp.frames.count; i++)
        SendMessageA((*gApp.frames.At(i))->window, WM_NCACTIVATE, (*gApp.frames.At(i))->index == gApp.activeFrame, 0);
}

// Another program became active: the framework's menus close (their popups
// are topmost and would stay over it, and the keys go elsewhere now), and no
// frame is the active one.
static void OnDeactivateApp() {
    if (gApp.menuTracking || gApp.menuKeyboard || gApp.rootMenu)
        gApp.CloseMenus(nullptr);
    gApp.activeFrame = kNoActiveFrame;
    for (int i = 0; i < gApp.frames.count; i++)
        SendMessageA((*gApp.frames.At(i))->window, WM_NCACTIVATE, FALSE, 0);
}

void CAppWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
    gApp.UiFont(dpi, false);
    gApp.UiFont(dpi, true);
    // The items measure themselves at the new DPI: every bar of the frame
    // takes its new thickness and lays its items out again.
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex != index)
            continue;
        bar->Thickness();
        bar->Layout(bar->length, bar->thickness, true);
        if (bar->bayId == kBayFloating)
            bar->Dock(kBayFloating, bar->x, bar->y, bar->length, bar->thickness, false);
    }
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Relayout(nullptr);
}

struct TabStops {
    CDynArray<HWND> list;
};

static BOOL CALLBACK CollectTabStops(HWND hwnd, LPARAM lp) {
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if ((style & WS_TABSTOP) && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
        ((TabStops*)lp)->list.Add(&hwnd);
    return TRUE;
}

int CAppWindow::CycleFocus(int direction) {
    TabStops stops;
    EnumChildWindows(window, CollectTabStops, (LPARAM)&stops);
    if (stops.list.count == 0)
        return 0;
    SendMessageA(window, MoxMSG_TABORDER, 0, (LPARAM)&stops.list);
    HWND focus = GetFocus();
    int at = -1;
    for (int i = 0; i < stops.list.count; i++)
        if (*stops.list.At(i) == focus)
            at = i;
    int next = 0;
    if (at >= 0) {
        next = at + (direction < 0 ? -1 : 1);
        if (next < 0)
            next = stops.list.count - 1;
        if (next >= stops.list.count)
            next = 0;
    }
    SetFocus(*stops.list.At(next));
    return 1;
}

int CAppWindow::BuildWindowMenu(WORD* ids, int cap) const {
    int n = 0;
    auto put = [&](WORD id) {
        if (n < cap - 1)
            ids[n++] = id;
    };
    int bars = 0;
    for (int i = 0; i < bays.count; i++)
        bars += (*bays.At(i))->AppendBarCommands(ids, &n, cap - 1);
    if (bars > 0)
        put(kCmdSeparatorId);
    static const WORD kFrameMenus[] = {IDM_MOX_ON_TOP, IDM_MOX_TASKBAR, IDM_MOX_CAPTION,     IDM_MOX_COLOR,
                                       IDM_MOX_FONT,   IDM_MOX_LOCK,    IDM_MOX_TRANSPARENCY};
    for (WORD id : kFrameMenus)
        put(id);
    ids[n] = kIdListEnd;
    return n;
}

// Refreshes the window menu's states and opens it at the cursor.
void CAppWindow::OpenWindowMenu() {
    BuildWindowMenu(windowMenu, (int)(sizeof windowMenu / sizeof windowMenu[0]));
    bool hasBar = false;
    for (int i = 0; i < gApp.bars.count; i++)
        hasBar = hasBar || (*gApp.bars.At(i))->frameIndex == index;
    gApp.EnableCommand(IDM_MOX_LOCK_BAR_POSITIONS, hasBar);
    gApp.EnableCommand(IDM_MOX_LOCK_BAR_SIZES, hasBar);
    gApp.EnableCommand(IDM_MOX_GHOST, transparency > 0);
    DWORD caption = flags & (kFrameSmallCaption | kFrameNoCaption | kFrameBorderless);
    struct Check {
        WORD id;
        bool on;
    };
    const Check checks[] = {
        {IDM_MOX_ON_TOP, (flags & kFrameAlwaysOnTop) != 0},
        {IDM_MOX_TASKBAR, (flags & kFrameTaskbarButton) != 0},
        {IDM_MOX_CAPTION_NORMAL, caption == 0},
        {IDM_MOX_CAPTION_SMALL, (flags & kFrameSmallCaption) != 0},
        {IDM_MOX_CAPTION_NONE, (flags & kFrameNoCaption) != 0},
        {IDM_MOX_BORDERLESS, (flags & kFrameBorderless) != 0},
        {IDM_MOX_SCHEME_NONE, gApp.record.colorMode == kSchemeNone},
        {IDM_MOX_SCHEME_DEFAULT, gApp.record.colorMode == kSchemeDefault},
        {IDM_MOX_SCHEME_CUSTOM, gApp.record.colorMode == kSchemeCustom},
        {IDM_MOX_LOCK_BAR_POSITIONS, (flags & kFrameLockBarPositions) != 0},
        {IDM_MOX_LOCK_BAR_SIZES, (flags & kFrameLockBarSizes) != 0},
        {IDM_MOX_LOCK_POSITION, (flags & kFrameLockPosition) != 0},
        {IDM_MOX_LOCK_SIZE, (flags & kFrameLockSize) != 0},
        {IDM_MOX_LOCK_ALL, (flags & kFrameAllLocks) == kFrameAllLocks},
        {IDM_MOX_LOCK_RESOLUTION, (flags & kFrameResolutionLock) != 0},
        {IDM_MOX_FONT_DEFAULT, gApp.record.fontFace[0] == 0},
        {IDM_MOX_FONT_CUSTOM, gApp.record.fontFace[0] != 0},
        {IDM_MOX_GHOST, clickThrough},
    };
    for (const Check& c : checks)
        gApp.SetCommandChecked(c.id, c.on);
    for (int k = 0; k <= 9; k++)
        gApp.SetCommandChecked(TransparencyCommand(10 * k), transparency == 10 * k);
    if (CommandInfo* menu = gApp.Command(IDM_MOX_WINDOW_MENU))
        menu->data = windowMenu;
    POINT pt;
    GetCursorPos(&pt);
    gApp.ShowPopupMenu(IDM_MOX_WINDOW_MENU, pt, this);
}

// The restart question; true when the user chose OK.
static bool ConfirmRestart() {
    const UINT style = kBoxQuestion | kBoxOkCancel | kBoxBoldFirstLine | kBoxDefaultOk;
    return AppMessageBox(nullptr, gApp.productName, "%s", style, 0, gApp.Text(IDS_MOX_RESTART, 0)) == IDOK;
}

// The record's custom colour that a swatch command sets (colours 0, 2, 3
// and 4 of the scheme's custom colours), or -1 for another command.
static int SwatchSlot(WORD id) {
    switch (id) {
        case IDM_MOX_COLOR_BACKGROUND:
            return 0;
        case IDM_MOX_COLOR_FOCUS:
        case IDM_MOX_COLOR_TEXT:
        case IDM_MOX_COLOR_HIGHLIGHT_TEXT:
            return id - IDM_MOX_COLOR_FOCUS + 2;
    }
    return -1;
}

void CAppWindow::ChooseCustomColor(int slot) {
    COLORREF custom[16] = {};
    for (int i = 0; i < 5; i++)
        custom[i] = gApp.record.colors[i];
    CHOOSECOLORA cc;
    memset(&cc, 0, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = window;
    cc.rgbResult = gApp.record.colors[slot];
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorA(&cc))
        return;
    gApp.record.colors[slot] = cc.rgbResult;
    gApp.SetSchemeMode(kSchemeCustom);
}

void CAppWindow::ChooseCustomFont() {
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    if (gApp.record.fontFace[0]) {
        StrCopy(lf.lfFaceName, 32, gApp.record.fontFace);  // the dialog takes at most 31 characters
        HDC dc = GetDC(nullptr);
        lf.lfHeight = -MulDiv(gApp.record.fontSize ? gApp.record.fontSize : 9, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(nullptr, dc);
    }
    CHOOSEFONTA cf;
    memset(&cf, 0, sizeof cf);
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = window;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST;
    if (!ChooseFontA(&cf))
        return;
    StrCopy(gApp.record.fontFace, sizeof gApp.record.fontFace, lf.lfFaceName);
    gApp.record.fontSize = cf.iPointSize / 10;
    if (ConfirmRestart())
        gApp.RequestRestart(1, nullptr, false);
}

bool CAppWindow::OnFrameCommand(WORD id) {
    switch (id) {
        case IDM_MOX_ON_TOP:
            flags ^= kFrameAlwaysOnTop;
            SetWindowPos(window, (flags & kFrameAlwaysOnTop) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
            return true;
        case IDM_MOX_TASKBAR:
            Restyle((flags & kFrameTaskbarButton) ? 0u : (DWORD)kFrameTaskbarButton, kFrameTaskbarButton);
            return true;
        case IDM_MOX_CAPTION_NORMAL:
        case IDM_MOX_CAPTION_SMALL:
        case IDM_MOX_CAPTION_NONE:
        case IDM_MOX_BORDERLESS: {
            static const DWORD kCaption[] = {0, kFrameSmallCaption, kFrameNoCaption, kFrameBorderless};
            Restyle(kCaption[id - IDM_MOX_CAPTION_NORMAL], kFrameSmallCaption | kFrameNoCaption | kFrameBorderless);
            return true;
        }
        case IDM_MOX_SCHEME_NONE:
        case IDM_MOX_SCHEME_DEFAULT:
        case IDM_MOX_SCHEME_CUSTOM:
            gApp.SetSchemeMode((BYTE)(id - IDM_MOX_SCHEME_NONE));
            return true;
        case IDM_MOX_COLOR_BACKGROUND:
        case IDM_MOX_COLOR_FOCUS:
        case IDM_MOX_COLOR_TEXT:
        case IDM_MOX_COLOR_HIGHLIGHT_TEXT:
            ChooseCustomColor(SwatchSlot(id));
            return true;
        case IDM_MOX_FONT_DEFAULT:
            if (gApp.record.fontFace[0] && ConfirmRestart()) {
                gApp.record.fontFace[0] = '\0';
                gApp.record.fontSize = 0;
                gApp.RequestRestart(1, nullptr, false);
            }
            return true;
        case IDM_MOX_FONT_CUSTOM:
            ChooseCustomFont();
            return true;
        case IDM_MOX_LOCK_BAR_POSITIONS:
        case IDM_MOX_LOCK_BAR_SIZES:
        case IDM_MOX_LOCK_POSITION:
        case IDM_MOX_LOCK_SIZE: {
            static const DWORD kLock[] = {kFrameLockBarPositions, kFrameLockBarSizes, kFrameLockPosition,
                                          kFrameLockSize};
            flags ^= kLock[id - IDM_MOX_LOCK_BAR_POSITIONS];
            Relayout(nullptr);
            return true;
        }
        case IDM_MOX_LOCK_ALL:
            if ((flags & kFrameAllLocks) != kFrameAllLocks)
                flags |= kFrameAllLocks;
            else
                flags &= ~kFrameAllLocks;
            Relayout(nullptr);
            return true;
        case IDM_MOX_LOCK_RESOLUTION:
            flags ^= kFrameResolutionLock;
            return true;
        case IDM_MOX_GHOST:
            SetClickThrough(!clickThrough);
            return true;
    }
    if (id >= IDM_MOX_TRANSPARENCY_OFF && id <= IDM_MOX_TRANSPARENCY_90) {
        SetTransparency((id - IDM_MOX_TRANSPARENCY_OFF) * 10);
        return true;
    }
    for (int i = 0; i < bays.count; i++)
        if ((*bays.At(i))->ToggleBar(id))
            return true;
    return false;
}

static void PaintSwatch(HDC dc, IconPaintRequest* req) {
    if (IsRectEmpty(&req->rect)) {
        req->rect = {0, 0, 16, 16};  // a size request
        return;
    }
    int slot = SwatchSlot((WORD)req->id);
    if (slot < 0)
        return;
    RECT r = req->rect;
    InflateRect(&r, -4, -4);
    HBRUSH black = CreateSolidBrush(0);
    FrameRect(dc, &r, black);
    DeleteObject(black);
    InflateRect(&r, -1, -1);
    HBRUSH fill = CreateSolidBrush(gApp.record.colors[slot]);
    FillRect(dc, &r, fill);
    DeleteObject(fill);
}

static void OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = kMinTrackWidth;
    info->ptMinTrackSize.y = kMinTrackHeight;
}

// Help goes to the frame as MoxMSG_HELP, except with Ctrl held.
static LRESULT OnHelp(HWND hwnd, WPARAM wp, LPARAM lp) {
    if (GetKeyState(VK_CONTROL) < 0)
        return TRUE;
    SendMessageA(hwnd, MoxMSG_HELP, wp, lp);
    return TRUE;
}

static void OnShowWindow(CAppWindow* frame, bool show) {
    for (int i = 0; i < frame->bays.count; i++)
        (*frame->bays.At(i))->ShowFloatingBars(frame, show);
}

// The wait cursor while busy, the arrow over the borders of a size-locked
// frame. True when the cursor was set.
static bool OnSetCursor(CAppWindow* frame, WORD hitTest) {
    if (frame->busyOverlay) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return true;
    }
    if ((frame->flags & kFrameLockSize) && hitTest >= HTLEFT && hitTest <= HTBOTTOMRIGHT) {
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        return true;
    }
    return false;
}

static void OnWindowPosChanging(CAppWindow* frame, WINDOWPOS* pos) {
    if (frame->flags & kFrameLockPosition)
        pos->flags |= SWP_NOMOVE;
    if (frame->flags & kFrameLockSize)
        pos->flags |= SWP_NOSIZE;
}

// The messages that need the frame's record.
static LRESULT OnFrameMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CAppWindow* frame = FrameOf(hwnd);
    if (!frame)  // the application closes frames, even one without its record
        return msg == WM_CLOSE ? 0 : DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
        case WM_DESTROY:
            frame->SavePlacement();
            break;
        case WM_CLOSE:
            frame->SavePlacement();
            return 0;  // the application closes frames
        case WM_SIZE:
            frame->OnSize(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_MOVE:
            frame->RecordPlacement();
            break;
        case WM_EXITSIZEMOVE:
            GetWindowRect(hwnd, &frame->windowRect);
            break;
        case WM_ACTIVATE:
            frame->OnActivate(LOWORD(wp) != WA_INACTIVE);
            break;
        case WM_NCACTIVATE:
            return DefWindowProcA(hwnd, msg, frame->index == gApp.activeFrame, lp);
        case WM_SHOWWINDOW:
            OnShowWindow(frame, wp != 0);
            break;
        case WM_SETCURSOR:
            if (OnSetCursor(frame, LOWORD(lp)))
                return TRUE;
            break;
        case WM_WINDOWPOSCHANGING:
            OnWindowPosChanging(frame, (WINDOWPOS*)lp);
            break;
        case WM_DPICHANGED:
            frame->OnDpiChanged(HIWORD(wp), (const RECT*)lp);
            return 0;
        case MoxMSG_CONTEXTMENU:
            frame->OpenWindowMenu();
            return 0;
        case MoxMSG_COMMAND:
            frame->OnFrameCommand(LOWORD(wp));
            return 0;
        case MoxMSG_SETPOPUP:
            frame->openPopup = (void*)lp;
            return 0;
        case MoxMSG_GETPOPUP:
            return (LRESULT)frame->openPopup;
        case MoxMSG_SHOW:
            frame->Show(SW_SHOWNORMAL, true);
            return 0;
        case MoxMSG_BUSY:
            frame->SetBusy(wp != 0);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// The record and its handle are known from here on: the WM_SIZE and WM_MOVE
// that creation sends record the placement from the window itself.
static void OnNcCreate(HWND hwnd, CAppWindow* frame) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)frame);
    if (frame)
        frame->window = hwnd;
}

// Messages that need no frame record are handled here; the rest go to
// OnFrameMessage.
LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NCCREATE:  // store the record; DefWindowProc still sets the caption
            OnNcCreate(hwnd, (CAppWindow*)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case WM_CREATE:
            gApp.UiFont(gApp.GetWindowDpi(hwnd), false);
            break;
        case WM_ACTIVATEAPP:
            if (!wp)
                OnDeactivateApp();
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo((MINMAXINFO*)lp);
            return 0;
        case WM_HELP:
            return OnHelp(hwnd, wp, lp);
        case WM_NCRBUTTONDOWN:
            return 0;
        case WM_NCRBUTTONUP:
        case WM_RBUTTONUP:
            SendMessageA(hwnd, MoxMSG_CONTEXTMENU, 0, 0);
            return 0;
        case MoxMSG_PAINTSWATCH:
            PaintSwatch((HDC)wp, (IconPaintRequest*)lp);
            return 0;
        default:
            return OnFrameMessage(hwnd, msg, wp, lp);
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
