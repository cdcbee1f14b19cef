// The editor's draw window over the display window: turns mouse strokes of
// the drawing tools into painting on gImage. The pointer's preview (a brush
// dot, the text) is drawn on the screen copy only, so gImage never holds
// it; a stroke in progress is wiped back from the snapshot of the last
// committed state.
#include <windows.h>
// The headers below need windows.h first.
#include <math.h>
#include <string.h>

#include "base/color_util.h"
#include "base/num_util.h"
#include "capture/editor/editor_state.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"

namespace {

const char kDrawClass[] = "VellumorProDrawWnd";
// Text alignment of the preview and the stroke: centred on the pointer.
const int kTextCentred = 2 | 8;

struct DrawState {
    bool stroke;
    bool rightButton;
    POINT start;
    RECT drawn;    // gImage's area drawn by the stroke's last move, or empty
    RECT preview;  // the screen copy's preview area, or empty
    bool tracking;
};
DrawState gDraw;

bool HasArea(const RECT& r) {
    return r.right >= r.left && r.bottom >= r.top;
}

const RECT kNoArea = {0, 0, -1, -1};

RECT Union(const RECT& a, const RECT& b) {
    if (!HasArea(a))
        return b;
    if (!HasArea(b))
        return a;
    return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
                a.bottom > b.bottom ? a.bottom : b.bottom};
}

// A rectangle of image pixels limited to the image.
RECT InsideImage(RECT r) {
    int w = gImage.Width(), h = gImage.Height();
    RECT out = {ClampInt(r.left, 0, w - 1), ClampInt(r.top, 0, h - 1), ClampInt(r.right, 0, w - 1),
                ClampInt(r.bottom, 0, h - 1)};
    return out;
}

RECT SortedRect(POINT a, POINT b, int grow) {
    RECT r = {(a.x < b.x ? a.x : b.x) - grow, (a.y < b.y ? a.y : b.y) - grow, (a.x < b.x ? b.x : a.x) + grow,
              (a.y < b.y ? b.y : a.y) + grow};
    return InsideImage(r);
}

void InvalidateImageRect(const RECT& r) {
    if (!HasArea(r) || !gEd.view)
        return;
    RECT v = ImageRectToView(r);
    InvalidateRect(gEd.view, &v, FALSE);
}

// Copies the rows of rect (inclusive corners; null: the whole image) from
// src into dest; nothing when the two differ in size or depth, or the
// rectangle reaches outside them.
void CopyImageRect(CImage* dest, const CImage& src, const RECT* rect) {
    if (!dest->IsValid() || !src.IsValid())
        return;
    int w = src.Width(), h = src.Height(), bpp = src.GetBpp();
    if (dest->Width() != w || dest->Height() != h || dest->GetBpp() != bpp)
        return;
    RECT r = rect ? *rect : RECT{0, 0, w - 1, h - 1};
    if (r.left > r.right)
        r.left ^= r.right, r.right ^= r.left, r.left ^= r.right;
    if (r.top > r.bottom)
        r.top ^= r.bottom, r.bottom ^= r.top, r.top ^= r.bottom;
    if (r.left < 0 || r.top < 0 || r.right >= w || r.bottom >= h)
        return;
    // Whole bytes holding columns left..right, never past the row.
    size_t first = (size_t)r.left * bpp / 8;
    size_t last = ((size_t)r.right * bpp + bpp - 1) / 8;
    size_t stride = (size_t)src.GetRowStride();
    if (last >= stride)
        last = stride - 1;
    for (int y = r.top; y <= r.bottom; y++) {
        int row = h - 1 - y;
        memcpy(dest->GetRowPointer(row) + first, src.GetRowPointer(row) + first, last - first + 1);
    }
}

DWORD Opaque(COLORREF c) {
    return ColorRefToArgb(c, 255);
}

DWORD TextBackground() {
    return gOpt.BackFill ? Opaque(gOpt.CRBack) : 0;
}

// The preview at the pointer, on the screen copy.
void DrawPreview(POINT p) {
    WipePreview();
    if (gOpt.Tool == kToolText) {
        gEditorScreen.DrawTextMask(p.x, p.y, kTextCentred, TextBackground());
    } else if (gOpt.Tool >= kToolDraw && gOpt.Tool <= kToolBox) {
        gEditorScreen.MoveTo(p.x, p.y);
        gEditorScreen.LineTo(p.x, p.y, true);
    } else {
        return;
    }
    gDraw.preview = gEditorScreen.GetDirtyRect();
    InvalidateImageRect(gDraw.preview);
}

// The two wing ends of an arrow head at tip, sized by the brush.
void ComputeArrowHead(POINT start, POINT tip, POINT* wing1, POINT* wing2) {
    double dx = tip.x - start.x, dy = tip.y - start.y;
    double len = sqrt(dx * dx + dy * dy);
    if (len == 0) {
        *wing1 = *wing2 = tip;
        return;
    }
    int r = (int)(sqrt((double)gOpt.BrushSize) * sqrt(len) * 0.5);
    double ux = dx / len, uy = dy / len;
    wing1->x = (int)(tip.x - r * uy - 2 * r * ux);
    wing1->y = (int)(tip.y + r * ux - 2 * r * uy);
    wing2->x = (int)(tip.x + r * uy - 2 * r * ux);
    wing2->y = (int)(tip.y - r * ux - 2 * r * uy);
}

// One move of a stroke, drawn on gImage; returns the area drawn.
RECT DrawStrokeMove(POINT p) {
    POINT s = gDraw.start;
    int grow = gOpt.BrushSize / 2 + 1;
    switch (gOpt.Tool) {
        case kToolDraw:
            gImage.LineTo(p.x, p.y, true);
            return gImage.GetDirtyRect();
        case kToolLine:
        case kToolArrow: {
            RestoreFromSnapshot(&gDraw.drawn);
            gImage.MoveTo(s.x, s.y);
            gImage.LineTo(p.x, p.y, true);
            if (gOpt.Tool == kToolArrow) {
                POINT w1, w2;
                ComputeArrowHead(s, p, &w1, &w2);
                gImage.MoveTo(p.x, p.y);
                gImage.LineTo(w1.x, w1.y, false);
                gImage.MoveTo(p.x, p.y);
                gImage.LineTo(w2.x, w2.y, false);
            }
            return gImage.GetDirtyRect();
        }
        case kToolBox:
            RestoreFromSnapshot(&gDraw.drawn);
            if (gOpt.BackFill)
                gImage.FillRect(s.x, s.y, p.x, p.y, Opaque(gDraw.rightButton ? gOpt.CRFore : gOpt.CRBack));
            gImage.DrawRect(s.x, s.y, p.x, p.y);
            return SortedRect(s, p, grow);
        case kToolInvert:
            RestoreFromSnapshot(&gDraw.drawn);
            gImage.InvertRect(s.x, s.y, p.x, p.y);
            return SortedRect(s, p, 0);
        case kToolText:
            gImage.DrawTextMask(p.x, p.y, kTextCentred, TextBackground());
            return gImage.GetDirtyRect();
    }
    return kNoArea;
}

POINT PointerPixel(int x, int y) {
    UpdateViewOffsets();
    gEd.pointerX = (int)((x - gEd.offsetX) / gEd.zoom) + gEd.scrollX;
    gEd.pointerY = (int)((y - gEd.offsetY) / gEd.zoom) + gEd.scrollY;
    return POINT{gEd.pointerX, gEd.pointerY};
}

void OnMouseMove(HWND hwnd, int x, int y) {
    MSG queued;
    if (PeekMessageA(&queued, hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_NOREMOVE))
        return;  // a newer position is on its way
    POINT p = PointerPixel(x, y);
    if (!gDraw.stroke) {
        DrawPreview(p);
    } else {
        RECT before = gDraw.drawn;
        gDraw.drawn = DrawStrokeMove(p);
        RECT changed = InsideImage(Union(before, gDraw.drawn));
        if (HasArea(gDraw.drawn) || HasArea(before)) {
            CopyImageRect(&gEditorScreen, gImage, &changed);
            InvalidateImageRect(changed);
        }
    }
    if (!gDraw.tracking) {
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd, 0};
        gDraw.tracking = TrackMouseEvent(&tme) != FALSE;
    }
}

void OnButtonDown(HWND hwnd, bool right, int x, int y) {
    if (gDraw.stroke)
        return;
    WipePreview();
    PushUndoEvicting();
    gDraw.stroke = true;
    gDraw.rightButton = right;
    gDraw.start = PointerPixel(x, y);
    gDraw.drawn = kNoArea;
    gImage.SetPenColor(0, gOpt.BrushSize, Opaque(right ? gOpt.CRBack : gOpt.CRFore));
    gImage.MoveTo(gDraw.start.x, gDraw.start.y);
    SetCapture(hwnd);
    if (gOpt.Tool == kToolFill) {
        SetEditorCursor(IDC_WAIT);
        gImage.FloodFill(gDraw.start.x, gDraw.start.y);
        RECT filled = InsideImage(gImage.GetDirtyRect());
        CopyImageRect(&gEditorScreen, gImage, &filled);
        InvalidateImageRect(filled);
        SetEditorCursor(IDC_ARROW);
        return;
    }
    OnMouseMove(hwnd, x, y);
}

void OnButtonUp(HWND hwnd) {
    if (GetCapture() == hwnd)
        ReleaseCapture();
    if (!gDraw.stroke)
        return;
    gDraw.stroke = false;
    gDraw.drawn = kNoArea;
    SnapshotImage();
    SetEditorPen();
    InvalidateRect(gEd.view, nullptr, FALSE);
}

LRESULT CALLBACK DrawWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
    switch (msg) {
        case WM_CREATE:
            gDraw = DrawState();
            gDraw.drawn = gDraw.preview = kNoArea;
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(hwnd, x, y);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            OnButtonDown(hwnd, msg == WM_RBUTTONDOWN, x, y);
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            OnButtonUp(hwnd);
            return 0;
        case WM_CAPTURECHANGED:
            // The capture taken away (a dialog ended the editor): the stroke
            // is committed as far as it got.
            if ((HWND)lp != hwnd && gDraw.stroke)
                OnButtonUp(hwnd);
            return 0;
        case WM_MOUSELEAVE:
            gDraw.tracking = false;
            if (!gDraw.stroke)
                WipePreview();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            ValidateRect(hwnd, nullptr);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

bool RegisterDrawClass() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DrawWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    wc.lpszClassName = kDrawClass;
    if (RegisterClassA(&wc))
        return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void SnapshotImage() {
    CopyImageInto(&gImageBackup, gImage);
    CopyImageInto(&gEditorScreen, gImage);
    gDraw.preview = kNoArea;
    SetPaintClip();
}

void RestoreFromSnapshot(const RECT* rect) {
    if (rect && !HasArea(*rect))
        return;
    CopyImageRect(&gImage, gImageBackup, rect);
    if (rect)
        InvalidateImageRect(*rect);
    else if (gEd.view)
        InvalidateRect(gEd.view, nullptr, FALSE);
}

void WipePreview() {
    if (!HasArea(gDraw.preview))
        return;
    RECT r = InsideImage(gDraw.preview);
    CopyImageRect(&gEditorScreen, gImage, &r);
    InvalidateImageRect(r);
    gDraw.preview = kNoArea;
}
