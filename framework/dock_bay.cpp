// Dock bays and bars: row layout, splitters and the size grip, docking and
// floating, and the bars' item layout.
#include "dock_bay.h"

#include <string.h>

#include "app.h"
#include "app_window.h"
#include "framework_messages.h"
#include "settings/record_file.h"

static const char kBayClass[] = "MoxAppDockBay";
static const char kBarClass[] = "MoxAppBar";

static bool InBay(const CBar* bar, const CDockBay* bay) {
    return bar->bayId == bay->bayId && bar->frameIndex == bay->frameIndex;
}

CDockBay::~CDockBay() {
    if (window && IsWindow(window)) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

int CDockBay::Create(int baySide, CAppWindow* owner) {
    if (!owner || !owner->window)
        return kMoxErrWindowCreate;
    frame = owner;
    side = baySide;
    frameIndex = owner->index;
    bayId = (WORD)(side + 256 * frameIndex);
    vertical = side >= 2;
    grip = ((side == 1 || side == 3) && (owner->flags & kFrameResizable)) ? 0 : -1;
    EnsureWindowClass(kBayClass, DockBayWndProc, IDC_ARROW, nullptr, nullptr);
    window = CreateWindowExA(0, kBayClass, "", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner->window, nullptr, gApp.instance, this);
    return window ? 0 : kMoxErrWindowCreate;
}

int CDockBay::Layout(int length) {
    // The bars of this bay, in a working list.
    BayBar work[64];
    CBar* owners[64];
    int n = 0;
    for (int i = 0; i < gApp.bars.count && n < 64; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (!InBay(bar, this))
            continue;
        BayBar& b = work[n];
        memset(&b, 0, sizeof b);
        b.row = bar->row;
        b.x = bar->x;
        b.length = bar->length;
        b.minLength = bar->minLength;
        b.naturalLength = bar->naturalLength;
        b.thickness = bar->Thickness();
        b.flags = bar->flags;
        owners[n++] = bar;
    }
    ComputeBayRows(work, n, rows);
    bool barInBottom = false;
    if (side == 3)
        for (int i = 0; i < gApp.bars.count; i++) {
            CBar* bar = *gApp.bars.At(i);
            barInBottom = barInBottom || (bar->frameIndex == frameIndex && (bar->bayId & 0xFF) == 1 &&
                                          bar->bayId != kBayFloating && (bar->flags & kBarOn));
        }
    int lastRow = -1;
    for (int r = 0; r < kBayRows; r++)
        if (rows[r] != 0)
            lastRow = r;
    if (grip >= 0)
        grip = 0;
    int offset = 0;
    for (int r = 0; r < kBayRows && rows[r] != 0; r++) {
        bool showGrip = grip >= 0 && side != 0 && side != 2 && !(side == 3 && barInBottom) && r == lastRow;
        if (showGrip)
            grip = 1;
        int available = showGrip ? length - kGrip : length;
        BayBar* row[64];
        int m = 0;
        for (int i = 0; i < n; i++)
            if (work[i].row == r && (work[i].flags & kBarOn))
                row[m++] = &work[i];
        for (int i = 1; i < m; i++)  // in the order of their stored position
            for (int k = i; k > 0 && row[k]->x < row[k - 1]->x; k--) {
                BayBar* t = row[k];
                row[k] = row[k - 1];
                row[k - 1] = t;
            }
        LayoutBayRow(row, m, available);
        int size = rows[r] < 0 ? -rows[r] - kSplitter : rows[r];
        int across = offset + ((rows[r] < 0 && (side == 1 || side == 3)) ? kSplitter : 0);
        for (int i = 0; i < m; i++) {
            CBar* bar = owners[row[i] - work];
            bar->row = (WORD)r;
            bar->x = row[i]->x;
            bar->length = row[i]->placedLength;
            int bx = row[i]->placedX;
            if (vertical)
                SetWindowPos(bar->window, nullptr, across, bx, size, row[i]->placedLength,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            else
                SetWindowPos(bar->window, nullptr, bx, across, row[i]->placedLength, size,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            bar->Layout(row[i]->placedLength, size, false);
        }
        offset += rows[r] < 0 ? -rows[r] : rows[r];
    }
    for (int i = 0; i < n; i++)
        owners[i]->row = (WORD)work[i].row;
    return offset;
}

int CDockBay::Place(int x, int y, int width, int height) {
    int thickness = Layout(vertical ? height : width);
    if (side == 1)
        y -= thickness;
    if (side == 3)
        x -= thickness;
    if (vertical)
        width = thickness;
    else
        height = thickness;
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return thickness;
}

int CDockBay::SplitterAt(int across) const {
    if (frame && (frame->flags & kFrameLockBarSizes))
        return -1;
    int sum = 0;
    for (int r = 0; r < kBayRows && rows[r] != 0; r++) {
        int size = rows[r] < 0 ? -rows[r] : rows[r];
        if (rows[r] < 0) {
            int end = (side == 1 || side == 3) ? sum + kSplitter : sum + size;
            if (across >= end - kSplitter && across < end)
                return r;
        }
        sum += size;
    }
    return -1;
}

void CDockBay::OnMouseDown(int px, int py) {
    int r = SplitterAt(vertical ? px : py);
    if (r < 0)
        return;
    dragRow = r;
    dragStartThickness = -rows[r] - kSplitter;
    dragStart = {px, py};
    SetCapture(window);
}

void CDockBay::OnMouseMove(int px, int py) {
    if (dragRow < 0)
        return;
    int moved = vertical ? px - dragStart.x : py - dragStart.y;
    if (side == 1 || side == 3)
        moved = -moved;
    int t = dragStartThickness + moved;
    for (int i = 0; i < gApp.bars.count; i++) {  // never thinner than a bar of the row needs
        CBar* bar = *gApp.bars.At(i);
        if (InBay(bar, this) && bar->row == dragRow && (bar->flags & kBarOn) && t < bar->naturalThickness)
            t = bar->naturalThickness;
    }
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (InBay(bar, this) && bar->row == dragRow && (bar->flags & kBarResizable))
            bar->thickness = t;
    }
    if (frame)
        frame->Relayout(nullptr);
    InvalidateRect(window, nullptr, TRUE);
}

void CDockBay::OnMouseUp() {
    if (dragRow >= 0)
        ReleaseCapture();
    dragRow = -1;
}

void CDockBay::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    CVisuals& v = gApp.visuals;
    RECT rc;
    GetClientRect(window, &rc);
    v.FillColor(dc, &rc, v.Color(kBayColor));
    int sum = 0;
    for (int r = 0; r < kBayRows && rows[r] != 0; r++) {
        int size = rows[r] < 0 ? -rows[r] : rows[r];
        if (rows[r] < 0) {
            int start = (side == 1 || side == 3) ? sum : sum + size - kSplitter;
            RECT s =
                vertical ? RECT{start, 0, start + kSplitter, rc.bottom} : RECT{0, start, rc.right, start + kSplitter};
            v.Draw3dFrame(dc, &s, v.Color(2), v.Color(3));  // raised
        }
        sum += size;
    }
    if (grip == 1) {
        RECT g = {rc.right - kGrip, rc.bottom - kGrip, rc.right, rc.bottom};
        v.DrawSizeGrip(dc, &g);
    }
    EndPaint(window, &ps);
}

// The background of a bay or a bar under a child, at the child's offset.
static void PaintBayBackground(HWND hwnd, HDC dc, LPARAM origin) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    OffsetRect(&rc, -(short)LOWORD(origin), -(short)HIWORD(origin));
    gApp.visuals.FillColor(dc, &rc, gApp.visuals.Color(kBayColor));
}

void CDockBay::ShowFloatingBars(CAppWindow* owner, bool show) {
    if (side != 0)
        return;  // once per frame: the top bay speaks for the frame's floating bars
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex == owner->index && bar->bayId == kBayFloating && bar->window)
            ShowWindow(bar->window, show && (bar->flags & kBarOn) ? SW_SHOWNA : SW_HIDE);
    }
}

void CDockBay::ApplyToFloatingBars(CAppWindow* owner) {
    if (side != 0)
        return;
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex == owner->index && bar->bayId == kBayFloating && bar->window)
            gApp.SetTransparency(bar->window, owner->transparency, owner->clickThrough);
    }
}

void CDockBay::SetBusyOnFloatingBars(CAppWindow* owner, bool on) {
    if (side != 0)
        return;
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex != owner->index || bar->bayId != kBayFloating || !bar->window)
            continue;
        if (on && !bar->busyOverlay) {
            RECT rc;
            GetClientRect(bar->window, &rc);
            bar->busyOverlay = CreateWindowExA(WS_EX_TRANSPARENT, "MoxBUSY", "", WS_CHILD | WS_VISIBLE, 0, 0, rc.right,
                                               rc.bottom, bar->window, nullptr, gApp.instance, nullptr);
        } else if (!on && bar->busyOverlay) {
            ShowWindow(bar->busyOverlay, SW_HIDE);
            DestroyWindow(bar->busyOverlay);
            bar->busyOverlay = nullptr;
        }
    }
}

int CDockBay::AppendBarCommands(WORD* ids, int* n, int cap) const {
    if (side != 0)
        return 0;  // once per frame, in the order of the application's bar list
    int count = 0;
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex == frameIndex && *n < cap) {
            ids[(*n)++] = bar->command;
            count++;
        }
    }
    return count;
}

bool CDockBay::ToggleBar(WORD cmd) {
    if (side != 0)
        return false;
    for (int i = 0; i < gApp.bars.count; i++) {
        CBar* bar = *gApp.bars.At(i);
        if (bar->frameIndex == frameIndex && bar->command == cmd) {
            gApp.ShowBar(bar, !(bar->flags & kBarOn));
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK DockBayWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDockBay* bay = (CDockBay*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case WM_SIZE:
            if (bay && (bay->lastWidth != LOWORD(lp) || bay->lastHeight != HIWORD(lp))) {
                int lw = bay->lastWidth - (bay->grip == 1 ? kGrip : 0);
                int lh = bay->lastHeight - (bay->grip == 1 ? kGrip : 0);
                RECT right = {lw < 0 ? 0 : lw, 0, LOWORD(lp), HIWORD(lp)};
                RECT below = {0, lh < 0 ? 0 : lh, LOWORD(lp), HIWORD(lp)};
                InvalidateRect(hwnd, &right, TRUE);
                InvalidateRect(hwnd, &below, TRUE);
                bay->lastWidth = LOWORD(lp);
                bay->lastHeight = HIWORD(lp);
            }
            return 0;
        case WM_PAINT:
            if (bay) {
                bay->OnPaint();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case MoxMSG_PAINTBKGND:
            PaintBayBackground(hwnd, (HDC)wp, lp);
            return 0;
        case WM_SETCURSOR:
            if (bay) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(hwnd, &pt);
                if (bay->SplitterAt(bay->vertical ? pt.x : pt.y) >= 0) {
                    SetCursor(LoadCursorA(nullptr, bay->vertical ? IDC_SIZEWE : IDC_SIZENS));
                    return TRUE;
                }
            }
            break;
        case WM_NCHITTEST:
            if (bay && bay->grip == 1 && bay->frame && !(bay->frame->flags & kFrameBorderless)) {
                POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
                ScreenToClient(hwnd, &pt);
                RECT rc;
                GetClientRect(hwnd, &rc);
                if (pt.x >= rc.right - kGrip && pt.y >= rc.bottom - kGrip)
                    return HTBOTTOMRIGHT;
            }
            break;
        case WM_LBUTTONDOWN:
            if (bay)
                bay->OnMouseDown((short)LOWORD(lp), (short)HIWORD(lp));
            return 0;
        case WM_MOUSEMOVE:
            if (bay)
                bay->OnMouseMove((short)LOWORD(lp), (short)HIWORD(lp));
            return 0;
        case WM_LBUTTONUP:
            if (bay)
                bay->OnMouseUp();
            return 0;
        case WM_RBUTTONUP:
            if (bay && bay->frame)
                SendMessageA(bay->frame->window, MoxMSG_CONTEXTMENU, 0, 0);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Bars.

CBar::~CBar() {
    for (int i = 0; i < items.count; i++)
        delete *items.At(i);
    items.RemoveAll();
    if (window && IsWindow(window))
        DestroyWindow(window);
}

static LRESULT CALLBACK BarWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CBar* bar = (CBar*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case WM_SIZE:
            if (bar)
                bar->Layout(bar->side < 0 ? LOWORD(lp) : (bar->side >= 2 ? HIWORD(lp) : LOWORD(lp)),
                            bar->side >= 2 ? LOWORD(lp) : HIWORD(lp), false);
            return 0;
        case WM_CLOSE:
            if (bar)
                gApp.ShowBar(bar, false);
            return 0;
        case WM_NCACTIVATE:
            if (bar)
                return DefWindowProcA(hwnd, msg, bar->frameIndex == gApp.activeFrame, lp);
            break;
        case WM_ERASEBKGND:
            PaintBayBackground(hwnd, (HDC)wp, 0);
            return 1;
        case MoxMSG_PAINTBKGND:
            PaintBayBackground(hwnd, (HDC)wp, lp);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int CBar::Create(CAppWindow* frame, WORD cmd, int barSide, int barRow, int barX, DWORD barFlags) {
    owner = frame;
    command = cmd;
    frameIndex = frame->index;
    flags = barFlags;
    row = (WORD)(barRow < 0 ? 0 : barRow >= kBayRows ? kBayRows - 1 : barRow);
    x = barX;
    EnsureWindowClass(kBarClass, BarWndProc, IDC_ARROW, nullptr, nullptr);
    window = CreateWindowExA(0, kBarClass, "", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 20, 20,
                             frame->window, nullptr, gApp.instance, this);
    if (!window)
        return kMoxErrWindowCreate;
    Thickness();
    length = naturalLength;
    WORD target = barSide < 0 ? kBayFloating : (WORD)(barSide + 256 * frameIndex);
    Dock(target, x, 0, length, thickness, true);
    return 0;
}

int CBar::Thickness() {
    int across = 0;
    bool vertical = side >= 2;
    for (int i = 0; i < items.count; i++) {
        CBarItem* it = *items.At(i);
        if (it->ItemFlags() & kItemHidden)
            continue;
        SIZE s = it->Measure(vertical ? 1 : 0);
        int a = vertical ? s.cx : s.cy;
        across = a > across ? a : across;
    }
    int t = items.count == 0 ? 20 : across + 1 + 4;
    if (items.count == 0)
        naturalLength = 20;
    naturalThickness = t;
    if ((flags & kBarResizable) && thickness > t)
        t = thickness;
    thickness = t;
    return t;
}

void CBar::Layout(int len, int thick, bool force) {
    RECT rc;
    GetClientRect(window, &rc);
    if (!force && EqualRect(&rc, &previousClient))
        return;
    int n = items.count;
    BarItemBox boxes[128];
    if (n > 128)
        n = 128;
    int orientation = side < 0 ? 2 : (side >= 2 ? 1 : 0);
    for (int i = 0; i < n; i++) {
        CBarItem* it = *items.At(i);
        boxes[i].size = it->Measure(orientation);
        boxes[i].flags = it->ItemFlags();
        boxes[i].separator = it->IsSeparator();
        boxes[i].command = it->CommandId();
    }
    if (orientation == 2) {
        LayoutFloatingItems(boxes, n, len, thick, spacing);
    } else {
        DockedLayout d = LayoutDockedItems(boxes, n, orientation == 1, 0, len, thick, spacing, overflow,
                                           (int)(sizeof overflow / sizeof overflow[0]));
        naturalLength = d.naturalLength;
        minLength = d.minimumLength;
    }
    for (int i = 0; i < n; i++)
        (*items.At(i))->Place(boxes[i].visible ? &boxes[i].placed : nullptr);
    if (!EqualRect(&rc, &previousClient)) {
        previousClient = rc;
        InvalidateRect(window, nullptr, TRUE);
    }
    clientRect = rc;
}

void CBar::Dock(WORD target, int px, int py, int len, int thick, bool apply) {
    bool floating = target == kBayFloating;
    int newSide = floating ? -1 : (target & 0xFF);
    if (apply) {
        bool fromVertical = side >= 2;
        if (((flags & kBarResizable) && newSide >= 2) || (fromVertical && floating)) {
            int t = len;
            len = thick;
            thick = t;
        }
        ShowWindow(window, SW_HIDE);
        if (floating) {
            DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_THICKFRAME |
                          ((flags & kBarSysMenu) ? WS_SYSMENU : 0);
            SetParent(window, nullptr);
            SetWindowLongA(window, GWL_STYLE, (LONG)style);
            SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
            if (owner)
                gApp.SetTransparency(window, owner->transparency, false);
        } else {
            CDockBay* bay = owner && newSide >= 0 && newSide < owner->bays.count ? *owner->bays.At(newSide) : nullptr;
            SetWindowLongA(window, GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
            SetWindowLongA(window, GWL_EXSTYLE, 0);
            SetParent(window, bay ? bay->window : (owner ? owner->window : nullptr));
        }
        side = newSide;
        Layout(len, thick, true);
    }
    RECT r = {px, py, px + len, py + thick};
    if (floating)
        AdjustWindowRectEx(&r, (DWORD)GetWindowLongA(window, GWL_STYLE), FALSE, WS_EX_TOOLWINDOW);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (flags & kBarOn)
        ShowWindow(window, SW_SHOWNA);
    x = px;
    y = py;
    length = len;
    thickness = thick;
    bayId = target;
}

void CBar::SavePosition() {
    BarRecord r;
    r.x = (int16_t)x;
    r.y = (int16_t)y;
    r.length = (uint16_t)length;
    r.thickness = (uint16_t)thickness;
    r.frameIndex = frameIndex;
    r.side = (uint16_t)(bayId & 0xFF);
    r.row = row;
    r.flags = (uint16_t)flags;
    WriteRecordFile("(Mox)Bar", command, &r, sizeof r, 0);
}
