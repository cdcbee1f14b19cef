// The editor's display window: shows the screen copy of gImage zoomed and
// scrolled, draws the selection frame, lets the user draw a new selection,
// move its edges, pan with the right button and flick the view on.
#include <windows.h>
// The headers below need windows.h first.
#include <math.h>

#include "base/num_util.h"
#include "capture/editor/editor_state.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"

namespace {

const char kDisplayClass[] = "VellumorProDisplayWnd";
const UINT_PTR kAutoScrollTimer = 4096;
const UINT kAutoScrollMs = 100;
const UINT_PTR kFlickTimer = 4369;
const UINT kFlickMs = 10;
const int kHitTolerance = 3;
const int kPanSamples = 16;

struct PanSample {
    int x, y;
    DWORD tick;
};

struct ViewState {
    HPEN dotted;
    int shownW, shownH;  // last size shown in the size label
    bool painted;        // the view was painted since the band was last drawn
    POINT bandAnchor;    // image pixel
    RECT bandDrawn;      // focus rectangle last drawn (client), empty for none
    POINT panAnchor;     // client position
    PanSample pan[kPanSamples];
    int panCount;
    double velocityX, velocityY;  // image pixels per timer tick
    double carryX, carryY;
};
ViewState gView;

// Moves the view; true when it moved (then it is redrawn at once).
bool ScrollTo(int x, int y) {
    x = ClampInt(x, 0, MaxScrollX());
    y = ClampInt(y, 0, MaxScrollY());
    if (x == gEd.scrollX && y == gEd.scrollY)
        return false;
    gEd.scrollX = x;
    gEd.scrollY = y;
    SetViewScrollPos(SB_HORZ, x);
    SetViewScrollPos(SB_VERT, y);
    UpdateViewOffsets();
    RedrawWindow(gEd.view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOERASE);
    return true;
}

// Client x of the line left of image column c (and likewise for rows).
int LineX(int c, bool before) {
    return (int)(gEd.offsetX - (gEd.scrollX - c) * gEd.zoom) - (before ? 1 : 0);
}

int LineY(int r, bool before) {
    return (int)(gEd.offsetY - (gEd.scrollY - r) * gEd.zoom) - (before ? 1 : 0);
}

POINT PixelAtRounded(int x, int y) {
    return POINT{(int)((x - gEd.offsetX) / gEd.zoom + 0.5) + gEd.scrollX,
                 (int)((y - gEd.offsetY) / gEd.zoom + 0.5) + gEd.scrollY};
}

void ShowSizeIfChanged(int w, int h) {
    if (w == gView.shownW && h == gView.shownH)
        return;
    gView.shownW = w;
    gView.shownH = h;
    ShowSelectionSize(w, h);
}

void OnPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    UpdateViewOffsets();
    RECT pic = {0, 0, 0, 0};
    const CImage& img = gEditorScreen.IsValid() ? gEditorScreen : gImage;
    if (img.IsValid()) {
        int srcW = (int)(gEd.viewW / gEd.zoom) + 1, srcH = (int)(gEd.viewH / gEd.zoom) + 1;
        if (srcW > img.Width() - gEd.scrollX)
            srcW = img.Width() - gEd.scrollX;
        if (srcH > img.Height() - gEd.scrollY)
            srcH = img.Height() - gEd.scrollY;
        int dstW = (int)(srcW * gEd.zoom), dstH = (int)(srcH * gEd.zoom);
        int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, gEd.offsetX, gEd.offsetY, dstW, dstH, gEd.scrollX, img.Height() - srcH - gEd.scrollY, srcW,
                      srcH, img.GetPixels(), (const BITMAPINFO*)img.GetDibBlock(), DIB_RGB_COLORS, SRCCOPY);
        SetStretchBltMode(dc, oldMode);
        pic = RECT{gEd.offsetX, gEd.offsetY, gEd.offsetX + dstW, gEd.offsetY + dstH};
    }
    // The rest of the client in the button face.
    HRGN rest = CreateRectRgnIndirect(&client);
    HRGN picture = CreateRectRgnIndirect(&pic);
    CombineRgn(rest, rest, picture, RGN_DIFF);
    FillRgn(dc, rest, GetSysColorBrush(COLOR_BTNFACE));
    DeleteObject(picture);
    DeleteObject(rest);
    HGDIOBJ oldPen = SelectObject(dc, gView.dotted);
    int xs[2] = {LineX(gEd.left, true), LineX(gEd.right, false)};
    int ys[2] = {LineY(gEd.top, true), LineY(gEd.bottom, false)};
    for (int x : xs) {
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, client.bottom);
    }
    for (int y : ys) {
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, client.right, y);
    }
    SelectObject(dc, oldPen);
    if (gEd.drag != kDragBand)
        ShowSizeIfChanged(gEd.right - gEd.left, gEd.bottom - gEd.top);
    gView.painted = true;
    EndPaint(hwnd, &ps);
}

// The edge bits of the selection lines under a client point.
int HitEdges(int x, int y) {
    int l = LineX(gEd.left, true), r = LineX(gEd.right, false);
    int t = LineY(gEd.top, true), b = LineY(gEd.bottom, false);
    bool inX = x >= l - kHitTolerance && x <= r + kHitTolerance;
    bool inY = y >= t - kHitTolerance && y <= b + kHitTolerance;
    int bits = 0;
    if (inY && abs(x - l) <= kHitTolerance)
        bits |= kEdgeLeft;
    else if (inY && abs(x - r) <= kHitTolerance)
        bits |= kEdgeRight;
    if (inX && abs(y - t) <= kHitTolerance)
        bits |= kEdgeTop;
    else if (inX && abs(y - b) <= kHitTolerance)
        bits |= kEdgeBottom;
    return bits;
}

LPCSTR EdgeCursor(int bits) {
    switch (bits) {
        case kEdgeLeft:
        case kEdgeRight:
            return IDC_SIZEWE;
        case kEdgeTop:
        case kEdgeBottom:
            return IDC_SIZENS;
        case kEdgeLeft | kEdgeTop:
        case kEdgeRight | kEdgeBottom:
            return IDC_SIZENWSE;
        case kEdgeRight | kEdgeTop:
        case kEdgeLeft | kEdgeBottom:
            return IDC_SIZENESW;
    }
    return IDC_CROSS;
}

void DrawBand(HWND hwnd, const RECT& r) {
    HDC dc = GetDC(hwnd);
    DrawFocusRect(dc, &r);
    ReleaseDC(hwnd, dc);
}

void EraseBand(HWND hwnd) {
    if (!gView.painted && !IsRectEmpty(&gView.bandDrawn))
        DrawBand(hwnd, gView.bandDrawn);
    SetRectEmpty(&gView.bandDrawn);
}

// The band from its anchor to an image pixel, drawn as a focus rectangle.
void TrackRubberBand(HWND hwnd, POINT corner) {
    corner.x = ClampInt(corner.x, 0, gImage.Width());
    corner.y = ClampInt(corner.y, 0, gImage.Height());
    EraseBand(hwnd);
    int x0 = gView.bandAnchor.x, y0 = gView.bandAnchor.y;
    RECT r = {LineX(x0 < corner.x ? x0 : corner.x, false), LineY(y0 < corner.y ? y0 : corner.y, false),
              LineX(x0 < corner.x ? corner.x : x0, false), LineY(y0 < corner.y ? corner.y : y0, false)};
    if (r.right > r.left && r.bottom > r.top) {
        DrawBand(hwnd, r);
        gView.bandDrawn = r;
        gView.painted = false;
    }
    ShowSelectionSize(abs(corner.x - x0), abs(corner.y - y0));
}

// One axis of an edge drag: the low or high edge (bit lowBit or highBit of
// the drag state) follows the client position p; dragged across the
// opposite edge, the two swap and the drag continues on the other one. An
// edge put onto its opposite stops one pixel short: the selection always
// keeps at least one pixel each way.
void MoveEdgeOnAxis(int p, int offset, int scroll, int size, int* low, int* high, int lowBit, int highBit) {
    if (!(gEd.drag & (lowBit | highBit)))
        return;
    bool isLow = (gEd.drag & lowBit) != 0;
    int v = isLow ? (int)((p - offset + 1) / gEd.zoom + 0.5) : (int)((p - offset) / gEd.zoom + 0.5);
    v = ClampInt(v + scroll, 0, size);
    if (isLow && v == *high)
        v = *high - 1;
    else if (!isLow && v == *low)
        v = *low + 1;
    if (isLow && v > *high) {
        *low = *high;
        *high = v;
        gEd.drag = (gEd.drag & ~lowBit) | highBit;
    } else if (!isLow && v < *low) {
        *high = *low;
        *low = v;
        gEd.drag = (gEd.drag & ~highBit) | lowBit;
    } else {
        *(isLow ? low : high) = v;
    }
}

// The dragged edges follow the pointer.
void MoveSelectionEdge(int x, int y) {
    MoveEdgeOnAxis(x, gEd.offsetX, gEd.scrollX, gImage.Width(), &gEd.left, &gEd.right, kEdgeLeft, kEdgeRight);
    MoveEdgeOnAxis(y, gEd.offsetY, gEd.scrollY, gImage.Height(), &gEd.top, &gEd.bottom, kEdgeTop, kEdgeBottom);
    InvalidateRect(gEd.view, nullptr, FALSE);
    ShowSizeIfChanged(gEd.right - gEd.left, gEd.bottom - gEd.top);
}

// While a band or an edge is dragged outside the view, the view follows.
void AutoScroll(int x, int y) {
    int dx = 0, dy = 0;
    if (x < 0)
        dx = x;
    else if (x > gEd.viewW)
        dx = x - gEd.viewW;
    if (y < 0)
        dy = y;
    else if (y > gEd.viewH)
        dy = y - gEd.viewH;
    if (dx || dy) {
        ScrollTo(gEd.scrollX + dx, gEd.scrollY + dy);
        gView.painted = true;
    }
}

void PushPanSample(int x, int y, DWORD tick) {
    memmove(&gView.pan[1], &gView.pan[0], sizeof(PanSample) * (kPanSamples - 1));
    gView.pan[0] = PanSample{x, y, tick};
    if (gView.panCount < kPanSamples)
        gView.panCount++;
}

void OnMouseMove(HWND hwnd, int x, int y) {
    UpdateViewOffsets();
    gEd.pointerX = (int)((x - gEd.offsetX) / gEd.zoom) + gEd.scrollX;
    gEd.pointerY = (int)((y - gEd.offsetY) / gEd.zoom) + gEd.scrollY;
    if (gEd.drag == kDragBand || gEd.drag > 0)
        AutoScroll(x, y);
    if (gEd.drag == kDragBand) {
        TrackRubberBand(hwnd, PixelAtRounded(x, y));
    } else if (gEd.drag > 0) {
        MoveSelectionEdge(x, y);
    } else if (gEd.drag == kDragPan) {
        int dx = (int)((x - gView.panAnchor.x) / gEd.zoom), dy = (int)((y - gView.panAnchor.y) / gEd.zoom);
        gView.panAnchor.x += (int)(dx * gEd.zoom);
        gView.panAnchor.y += (int)(dy * gEd.zoom);
        if (dx || dy)
            ScrollTo(gEd.scrollX - dx, gEd.scrollY - dy);
        PushPanSample(x, y, GetTickCount());
    } else {
        SetCursor(LoadCursorA(nullptr, EdgeCursor(HitEdges(x, y))));
    }
}

void EndBand(HWND hwnd, int x, int y) {
    POINT end = PixelAtRounded(x, y);
    if (end.x == gView.bandAnchor.x || end.y == gView.bandAnchor.y)
        return;  // a click: the band stays open until the next one
    EraseBand(hwnd);
    end.x = ClampInt(end.x, 0, gImage.Width());
    end.y = ClampInt(end.y, 0, gImage.Height());
    int l = gView.bandAnchor.x < end.x ? gView.bandAnchor.x : end.x;
    int r = gView.bandAnchor.x < end.x ? end.x : gView.bandAnchor.x;
    int t = gView.bandAnchor.y < end.y ? gView.bandAnchor.y : end.y;
    int b = gView.bandAnchor.y < end.y ? end.y : gView.bandAnchor.y;
    gEd.drag = kDragIdle;
    ReleaseCapture();
    if (r > l && b > t) {
        gEd.left = l, gEd.top = t, gEd.right = r, gEd.bottom = b;
        FitZoomToSelection();
    }
    SetPaintClip();
    InvalidateRect(hwnd, nullptr, FALSE);
}

void OnLeftDown(HWND hwnd, int x, int y) {
    UpdateViewOffsets();
    if (gEd.drag == kDragBand) {
        EndBand(hwnd, x, y);
        return;
    }
    KillTimer(hwnd, kFlickTimer);
    int edges = HitEdges(x, y);
    if (edges) {
        gEd.drag = edges;
    } else {
        gView.bandAnchor = PixelAtRounded(x, y);
        gView.bandAnchor.x = ClampInt(gView.bandAnchor.x, 0, gImage.Width());
        gView.bandAnchor.y = ClampInt(gView.bandAnchor.y, 0, gImage.Height());
        SetRectEmpty(&gView.bandDrawn);
        gEd.drag = kDragBand;
    }
    SetCapture(hwnd);
}

void OnLeftUp(HWND hwnd, int x, int y) {
    UpdateViewOffsets();
    if (gEd.drag == kDragBand) {
        EndBand(hwnd, x, y);
        return;
    }
    if (gEd.drag > 0) {
        gEd.drag = kDragIdle;
        ReleaseCapture();
        SetPaintClip();
    }
}

void OnRightDown(HWND hwnd, int x, int y) {
    if (gEd.drag == kDragBand) {
        EraseBand(hwnd);
        gEd.drag = kDragIdle;
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, FALSE);
        ShowSelectionSize(gEd.right - gEd.left, gEd.bottom - gEd.top);
        return;
    }
    if (gEd.drag != kDragIdle)
        return;
    gView.panAnchor = POINT{x, y};
    gEd.drag = kDragPan;
    gView.panCount = 0;
    KillTimer(hwnd, kFlickTimer);
    SetCapture(hwnd);
}

// The flick: the speed of the last pan movements, newer ones weighing more.
void StartFlick(HWND hwnd, int x, int y) {
    PanSample s[kPanSamples + 1];
    s[0] = PanSample{x, y, GetTickCount()};
    int n = 1;
    for (int i = 0; i < gView.panCount; i++)
        s[n++] = gView.pan[i];
    if (n < 2)
        return;
    double sx = 0, sy = 0, t = 0;
    for (int k = 0; k + 1 < n && k < kPanSamples; k++) {
        double w = 8.0 / (k + 1);
        sx -= (s[k].x - s[k + 1].x) * w / gEd.zoom;
        sy -= (s[k].y - s[k + 1].y) * w / gEd.zoom;
        t += (double)(s[k].tick - s[k + 1].tick);
        if (k == 0 && t > 10)
            break;
    }
    if (t <= 0)
        return;
    gView.velocityX = sx * 20 / t;
    gView.velocityY = sy * 20 / t;
    gView.carryX = gView.carryY = 0;
    if (gView.velocityX != 0 || gView.velocityY != 0)
        SetTimer(hwnd, kFlickTimer, kFlickMs, nullptr);
}

void OnRightUp(HWND hwnd, int x, int y) {
    if (gEd.drag != kDragPan)
        return;
    gEd.drag = kDragIdle;
    ReleaseCapture();
    StartFlick(hwnd, x, y);
}

void OnFlickTick(HWND hwnd) {
    gView.carryX += gView.velocityX;
    gView.carryY += gView.velocityY;
    int dx = (int)gView.carryX, dy = (int)gView.carryY;
    gView.carryX -= dx;
    gView.carryY -= dy;
    if (dx || dy)
        SendMessageA(hwnd, kMsgScrollBy, MAKEWPARAM((WORD)(short)dx, (WORD)(short)dy), 0);
    double s = gEd.zoom * 0.25 >= 1 ? gEd.zoom * 0.25 : gEd.zoom * 0.5;
    gView.velocityX /= 1 + 0.1 / s;
    gView.velocityY /= 1 + 0.1 / s;
    if (fabs(gView.velocityX) < 0.01 && fabs(gView.velocityY) < 0.01)
        KillTimer(hwnd, kFlickTimer);
}

void OnTimer(HWND hwnd, UINT_PTR id) {
    if (id == kFlickTimer) {
        OnFlickTick(hwnd);
    } else if (id == kAutoScrollTimer && (gEd.drag == kDragBand || gEd.drag > 0)) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        if (pt.x < 0 || pt.y < 0 || pt.x > gEd.viewW || pt.y > gEd.viewH)
            OnMouseMove(hwnd, pt.x, pt.y);
    }
}

LRESULT OnScroll(int bar, int code) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(gEd.view, bar, &si);
    int pos = bar == SB_HORZ ? gEd.scrollX : gEd.scrollY;
    int page = (int)((bar == SB_HORZ ? gEd.viewW : gEd.viewH) / gEd.zoom);
    switch (code) {
        case SB_LINELEFT:
            pos -= 1;
            break;
        case SB_LINERIGHT:
            pos += 1;
            break;
        case SB_PAGELEFT:
            pos -= page;
            break;
        case SB_PAGERIGHT:
            pos += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            pos = si.nTrackPos;
            break;
        default:
            return 0;
    }
    bool moved = bar == SB_HORZ ? ScrollTo(pos, gEd.scrollY) : ScrollTo(gEd.scrollX, pos);
    if (moved)
        gView.painted = true;
    return moved ? 1 : 0;
}

void OnCreate(HWND hwnd) {
    gView = ViewState();
    gView.dotted = CreatePen(PS_DOT, 1, RGB(0, 0, 255));
    gView.shownW = gView.shownH = -1;
    SetTimer(hwnd, kAutoScrollTimer, kAutoScrollMs, nullptr);
    gEd.drag = kDragIdle;
}

void OnSize(int w, int h) {
    gEd.viewW = w - 4;
    gEd.viewH = h - 4;
    if (gEd.draw)
        MoveWindow(gEd.draw, 0, 0, w, h, FALSE);
}

LRESULT CALLBACK DisplayWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
    switch (msg) {
        case WM_CREATE:
            OnCreate(hwnd);
            return 0;
        case WM_SIZE:
            OnSize(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_PAINT:
            OnPaint(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_HSCROLL:
            return OnScroll(SB_HORZ, LOWORD(wp));
        case WM_VSCROLL:
            return OnScroll(SB_VERT, LOWORD(wp));
        case kMsgScrollBy:
            ScrollTo(gEd.scrollX + (short)LOWORD(wp), gEd.scrollY + (short)HIWORD(wp));
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(hwnd, x, y);
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftDown(hwnd, x, y);
            return 0;
        case WM_LBUTTONUP:
            OnLeftUp(hwnd, x, y);
            return 0;
        case WM_RBUTTONDOWN:
            OnRightDown(hwnd, x, y);
            return 0;
        case WM_RBUTTONUP:
            OnRightUp(hwnd, x, y);
            return 0;
        case WM_TIMER:
            OnTimer(hwnd, wp);
            return 0;
        case WM_DESTROY:
            KillTimer(hwnd, kAutoScrollTimer);
            KillTimer(hwnd, kFlickTimer);
            DeleteObject(gView.dotted);
            gView.dotted = nullptr;
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int MaxScrollX() {
    int m = (int)(gImage.Width() - gEd.viewW / gEd.zoom + 1);
    return m < 0 ? 0 : m;
}

int MaxScrollY() {
    int m = (int)(gImage.Height() - gEd.viewH / gEd.zoom + 1);
    return m < 0 ? 0 : m;
}

void UpdateViewOffsets() {
    int w = gImage.Width(), h = gImage.Height();
    int srcW = (int)(gEd.viewW / gEd.zoom) + 1, srcH = (int)(gEd.viewH / gEd.zoom) + 1;
    if (srcW > w - gEd.scrollX)
        srcW = w - gEd.scrollX;
    if (srcH > h - gEd.scrollY)
        srcH = h - gEd.scrollY;
    gEd.offsetX = gEd.viewW > w * gEd.zoom ? (int)((gEd.viewW - srcW * gEd.zoom) * 0.5) : 2;
    gEd.offsetY = gEd.viewH > h * gEd.zoom ? (int)((gEd.viewH - srcH * gEd.zoom) * 0.5) : 2;
}

RECT ImageRectToView(RECT r) {
    RECT v;
    if (r.left > r.right)
        v.left = r.left, r.left = r.right, r.right = v.left;
    if (r.top > r.bottom)
        v.top = r.top, r.top = r.bottom, r.bottom = v.top;
    v.left = (int)((r.left - gEd.scrollX - 1) * gEd.zoom + gEd.offsetX) - 1;
    v.top = (int)((r.top - gEd.scrollY - 1) * gEd.zoom + gEd.offsetY) - 1;
    v.right = (int)((r.right - gEd.scrollX + 1) * gEd.zoom + gEd.offsetX) + 1;
    v.bottom = (int)((r.bottom - gEd.scrollY + 1) * gEd.zoom + gEd.offsetY) + 1;
    return v;
}

void SetViewScrollRange(int bar, int max, int page) {
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE, 0, max, (UINT)(page < 0 ? 0 : page), 0, 0};
    SetScrollInfo(gEd.view, bar, &si, TRUE);
}

void SetViewScrollPos(int bar, int pos) {
    SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(gEd.view, bar, &si, TRUE);
}

bool CreateEditorView(HWND placeholder) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DisplayWndProc;
    wc.hInstance = inst;
    wc.lpszClassName = kDisplayClass;
    RegisterClassA(&wc);  // fails harmlessly when registered already
    if (!RegisterDrawClass() || !placeholder)
        return false;
    HWND dlg = GetParent(placeholder);
    RECT rc;
    GetWindowRect(placeholder, &rc);
    MapWindowPoints(nullptr, dlg, (POINT*)&rc, 2);
    DestroyWindow(placeholder);
    gEd.view = CreateWindowExA(0, kDisplayClass, "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL,
                               rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, dlg,
                               (HMENU)(INT_PTR)IDC_ED_VIEW, inst, nullptr);
    if (!gEd.view)
        return false;
    RECT client;
    GetClientRect(gEd.view, &client);
    gEd.draw = CreateWindowExA(0, "VellumorProDrawWnd", "", WS_CHILD, 0, 0, client.right, client.bottom, gEd.view,
                               nullptr, inst, nullptr);
    return gEd.draw != nullptr;
}
