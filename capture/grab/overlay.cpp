// The capture overlay: the frozen virtual screen in one topmost borderless
// window, the four selection modes (rectangle, window under the cursor,
// whole screen, active window), the size label and the action letters.
// All drawings are XOR or restored from saved pixels, so the frozen picture
// is painted only once. When the pick is complete the overlay removes its
// drawings and hands the frozen bitmap and the selection to the grab, which
// never reads the screen.
#include "capture/grab/overlay.h"

#include <stdio.h>
#include <string.h>
#include <windowsx.h>

#include "base/num_util.h"
#include "base/str_util.h"
#include "capture/actions/action_dispatch.h"
#include "capture/grab/grab.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/monitors.h"
#include "image/save_stages.h"

const char kCaptureClassName[] = "VellumorProCaptureWnd";
HWND gOverlay = nullptr;

namespace {

const UINT kMsgTakeFocus = 1025;
// The pick is complete: grab, close, run the action (posted to itself, so
// that nothing of this runs inside WM_PAINT).
const UINT kMsgPickComplete = WM_APP + 0x111;
const RECT kNoRect = {-1, -1, -1, -1};
const RECT kNoFrame = {-10, -10, -10, -10};
const int kFrameBar = 5;

struct OverlayState {
    int originX, originY, width, height;  // the virtual screen
    HDC frozenDC;
    HBITMAP frozenBmp;
    HGDIOBJ frozenOld;
    BYTE* frozenBits;  // the DIB section's top-down rows, or null for a screen-format bitmap
    HDC dc;            // GetWindowDC of the overlay
    HGDIOBJ oldFont;
    HWND foreground;
    RECT drag;   // anchor (left, top), moving point (right, bottom); unordered
    RECT sel;    // overlay coordinates; inclusive in rectangle mode
    RECT frame;  // the highlighted window frame, or kNoFrame
    bool dragging, painted;
    bool buttonDown;  // a button-down reached the overlay since the last button-up
    bool completing;  // the pick is complete; the grab is on its way
    int letter;
    HDC labelDC;
    HBITMAP labelBmp;
    HGDIOBJ labelOld;
    int labelX, labelY, labelW, labelH;
    int labelMaxW, labelMaxH;  // the label store's size
};

OverlayState s;

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The drag rectangle ordered so that left <= right and top <= bottom.
RECT Ordered(const RECT& r) {
    RECT o = r;
    if (o.left > o.right) {
        o.left = r.right;
        o.right = r.left;
    }
    if (o.top > o.bottom) {
        o.top = r.bottom;
        o.bottom = r.top;
    }
    return o;
}

// Left and right into [0, width], top and bottom into [0, height].
void ClampToScreen(RECT* r) {
    r->left = ClampInt(r->left, 0, s.width);
    r->right = ClampInt(r->right, 0, s.width);
    r->top = ClampInt(r->top, 0, s.height);
    r->bottom = ClampInt(r->bottom, 0, s.height);
}

// --- size label ---

void RemoveLabel() {
    if (s.labelX >= 0 && s.labelDC)
        BitBlt(s.dc, s.labelX, s.labelY, s.labelW, s.labelH, s.labelDC, 0, 0, SRCCOPY);
    s.labelX = s.labelY = -100;
}

// Draws the label of the inclusive rectangle r; drag gives its direction.
void DrawLabel(const RECT& r, const RECT& drag) {
    if (!s.labelDC)
        return;
    char text[48];
    StrFmt(text, countof(text), "%d x %d", (int)(r.right - r.left + 1), (int)(r.bottom - r.top + 1));
    RECT ext = {0, 0, 0, 0};
    DrawTextA(s.dc, text, -1, &ext, DT_CALCRECT | DT_SINGLELINE);
    int w = ext.right - ext.left + 11, h = ext.bottom - ext.top + 8;
    if (w > s.labelMaxW)
        w = s.labelMaxW;
    if (h > s.labelMaxH)
        h = s.labelMaxH;
    POINT at;
    PlaceSizeLabel(drag, r, s.width, s.height, w, h, &at);
    BitBlt(s.labelDC, 0, 0, w, h, s.dc, at.x, at.y, SRCCOPY);
    RECT box = {at.x, at.y, at.x + w, at.y + h};
    FillRect(s.dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(s.dc, &box, BDR_RAISEDINNER, BF_RECT);
    DrawTextA(s.dc, text, -1, &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    s.labelX = at.x;
    s.labelY = at.y;
    s.labelW = w;
    s.labelH = h;
}

// --- rectangle mode ---

// XOR-draws the current drag rectangle (drawing it or removing it) and
// moves the label to it; the selection becomes the rectangle shown.
void ToggleBand() {
    s.sel = Ordered(s.drag);
    RemoveLabel();
    RECT r = {s.sel.left, s.sel.top, s.sel.right + 1, s.sel.bottom + 1};
    DrawFocusRect(s.dc, &r);
    DrawLabel(s.sel, s.drag);
}

void MoveBand(int x, int y) {
    ToggleBand();
    s.drag.right = x;
    s.drag.bottom = y;
    ToggleBand();
}

// --- window mode ---

void InvertFrame(const RECT& r) {
    if (SameRect(r, kNoFrame))
        return;
    int w = r.right - r.left, h = r.bottom - r.top;
    PatBlt(s.dc, r.left, r.top, kFrameBar, h, DSTINVERT);
    PatBlt(s.dc, r.right - kFrameBar, r.top, kFrameBar, h, DSTINVERT);
    PatBlt(s.dc, r.left + kFrameBar, r.top, w - 2 * kFrameBar, kFrameBar, DSTINVERT);
    PatBlt(s.dc, r.left + kFrameBar, r.bottom - kFrameBar, w - 2 * kFrameBar, kFrameBar, DSTINVERT);
}

void RemoveHighlight() {
    RemoveLabel();
    InvertFrame(s.frame);
    s.frame = kNoFrame;
    s.sel = kNoRect;
}

void HighlightRect(RECT r) {
    ClampToScreen(&r);
    if (SameRect(r, s.frame))
        return;
    RemoveLabel();
    InvertFrame(s.frame);
    s.frame = r;
    s.sel = r;
    InvertFrame(r);
    RECT inclusive = {r.left, r.top, r.right - 1, r.bottom - 1};
    RECT noDrag = {0, 0, 0, 0};
    DrawLabel(inclusive, noDrag);
}

// A window's frame as seen on the screen (without the invisible resize
// borders when the window manager reports them), else its window rectangle.
void GetVisibleWindowBounds(HWND window, RECT* bounds) {
    typedef HRESULT(WINAPI * DwmGetWindowAttributeFn)(HWND, DWORD, void*, DWORD);
    const DWORD kExtendedFrameBounds = 9;
    bool done = false;
    HMODULE dwm = LoadLibraryA("Dwmapi.dll");
    if (dwm) {
        DwmGetWindowAttributeFn get = (DwmGetWindowAttributeFn)(void*)GetProcAddress(dwm, "DwmGetWindowAttribute");
        RECT r;
        if (get && get(window, kExtendedFrameBounds, &r, sizeof r) == S_OK) {
            *bounds = r;
            done = true;
        }
        FreeLibrary(dwm);
    }
    if (!done && !GetWindowRect(window, bounds))
        SetRectEmpty(bounds);
}

// The top-level window under the cursor (not the overlay), then the
// deepest visible child holding the point.
HWND WindowUnderCursor(POINT pt) {
    HWND w = GetTopWindow(nullptr);
    for (; w; w = GetWindow(w, GW_HWNDNEXT)) {
        RECT r;
        if (w != gOverlay && IsWindowVisible(w) && GetWindowRect(w, &r) && PtInRect(&r, pt))
            break;
    }
    // Hidden children are skipped: a hidden control is not what the user sees.
    for (HWND child; w; w = child) {
        POINT c = pt;
        ScreenToClient(w, &c);
        child = ChildWindowFromPointEx(w, c, CWP_SKIPINVISIBLE);
        if (!child || child == w)
            break;
    }
    return w;
}

void HighlightUnderCursor() {
    POINT pt;
    if (!GetCursorPos(&pt))
        return;
    HWND w = WindowUnderCursor(pt);
    if (!w) {
        RemoveHighlight();
        return;
    }
    RECT b;
    GetVisibleWindowBounds(w, &b);
    OffsetRect(&b, -s.originX, -s.originY);
    HighlightRect(b);
}

// --- the pick ---

// The selection of the active-window mode: the remembered foreground
// window's visible bounds, clamped to the screen; the whole screen when
// there was no usable foreground window (none, hidden or minimised) or its
// bounds leave nothing on the screen.
RECT ActiveWindowSelection() {
    RECT all = {0, 0, s.width, s.height};
    HWND fg = s.foreground;
    if (!fg || !IsWindow(fg) || !IsWindowVisible(fg) || IsIconic(fg))
        return all;
    RECT r;
    GetVisibleWindowBounds(fg, &r);
    OffsetRect(&r, -s.originX, -s.originY);
    ClampToScreen(&r);
    if (r.right <= r.left || r.bottom <= r.top)
        return all;
    return r;
}

void CompletePick(HWND hwnd) {
    s.completing = true;
    PostMessageA(hwnd, kMsgPickComplete, 0, 0);
}

bool AnyActionKeyDown() {
    for (int key = 'A'; key <= 'Z'; key++)
        if (IsActionLetter(key) && (GetAsyncKeyState(key) & 0x8000))
            return true;
    return false;
}

// Removes the drawings (highlight, rubber band, label), so that the frozen
// picture is clean, and returns the selection made inclusive in every mode.
RECT TakeSelection() {
    if (gOpt.CapMode != kCapRectangle) {
        InvertFrame(s.frame);
        s.frame = kNoFrame;
        s.sel.right--;
        s.sel.bottom--;
    } else {
        ToggleBand();
    }
    RemoveLabel();
    return s.sel;
}

void OnPickComplete(HWND hwnd) {
    if (!s.completing)
        return;
    int letter = s.letter;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetClassLongPtrA(hwnd, GCLP_HCURSOR, (LONG_PTR)LoadCursorA(nullptr, IDC_CROSS));
    RECT sel = TakeSelection();
    FrozenRows rows = {s.frozenBits, s.width, s.height, s.width * 4};
    GrabSelection(s.frozenDC, sel, s.frozenBits ? &rows : nullptr);
    // The letter's key must be up before the action's windows take the
    // keyboard, or its repeat would land in them.
    while (AnyActionKeyDown())
        Sleep(100);
    DestroyWindow(hwnd);
    gOverlay = nullptr;
    RunAction(letter);
}

// --- messages ---

void OnCreate(HWND hwnd) {
    gOverlay = hwnd;
    s.letter = 0;
    s.drag = kNoRect;
    s.sel = kNoRect;
    s.dragging = s.painted = s.buttonDown = s.completing = false;
    PostMessageA(hwnd, kMsgTakeFocus, 0, 0);
    s.dc = GetWindowDC(hwnd);
    s.frame = kNoFrame;
}

// Only the invalid part is copied: the overlay has no border, so client
// and window coordinates agree, and the class has no background brush, so
// nothing was erased before.
void OnPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    const RECT& r = ps.rcPaint;
    BitBlt(s.dc, r.left, r.top, r.right - r.left, r.bottom - r.top, s.frozenDC, r.left, r.top, SRCCOPY);
    EndPaint(hwnd, &ps);
    s.painted = true;
    if (s.completing)
        return;
    if (gOpt.CapMode == kCapScreen) {
        s.sel = RECT{0, 0, s.width, s.height};
        CompletePick(hwnd);
    } else if (gOpt.CapMode == kCapActiveWindow) {
        s.sel = ActiveWindowSelection();
        CompletePick(hwnd);
    }
}

// A lower-case action letter picks that action (an upper-case one does not).
void OnChar(WPARAM ch) {
    s.letter = 0;
    if (ch >= 'a' && ch <= 'z' && IsActionLetter((int)ch - 'a' + 'A'))
        s.letter = (int)ch - 'a' + 'A';
}

void OnMouseMove(int x, int y) {
    if (s.completing)
        return;
    if (gOpt.CapMode == kCapRectangle && s.dragging)
        MoveBand(x, y);
    else if (gOpt.CapMode == kCapWindow && s.painted)
        HighlightUnderCursor();
}

void OnButtonUp(HWND hwnd);

void OnButtonDown(HWND hwnd, int x, int y) {
    if (s.completing)
        return;
    s.buttonDown = true;
    if (gOpt.CapMode != kCapRectangle)
        return;
    if (s.dragging) {  // the second click of a click-move-click pick
        OnButtonUp(hwnd);
        return;
    }
    s.drag = RECT{x, y, x, y};
    s.dragging = true;
    ToggleBand();
}

void OnButtonUp(HWND hwnd) {
    if (s.completing || !s.buttonDown)
        return;  // a release whose press went to another window
    s.buttonDown = false;
    switch (gOpt.CapMode) {
        case kCapRectangle:
            if (!s.dragging)
                return;
            if (s.sel.left == s.sel.right && s.sel.top == s.sel.bottom)
                return;  // a click: the pick goes on until the second click
            s.dragging = false;
            break;
        case kCapWindow:
            if (SameRect(s.frame, kNoFrame))
                return;  // nothing under the cursor to pick
            break;
        default:
            return;  // modes 2 and 3 complete at the first paint
    }
    CompletePick(hwnd);
}

void OnRightButton() {
    if (s.completing)
        return;
    if (gOpt.CapMode != kCapRectangle) {
        RemoveHighlight();
        gOpt.CapMode = kCapRectangle;
    } else if (!s.dragging) {
        gOpt.CapMode = kCapWindow;
        HighlightUnderCursor();
    }
}

void FreeFrozen() {
    if (s.frozenDC) {
        SelectObject(s.frozenDC, s.frozenOld);
        DeleteDC(s.frozenDC);
    }
    if (s.frozenBmp)
        DeleteObject(s.frozenBmp);
    s.frozenDC = nullptr;
    s.frozenBmp = nullptr;
    s.frozenBits = nullptr;
}

void OnDestroy(HWND hwnd) {
    if (s.dc) {
        if (s.oldFont)
            SelectObject(s.dc, s.oldFont);
        ReleaseDC(hwnd, s.dc);
    }
    if (s.labelDC) {
        SelectObject(s.labelDC, s.labelOld);
        DeleteDC(s.labelDC);
    }
    if (s.labelBmp)
        DeleteObject(s.labelBmp);
    FreeFrozen();
    s.dc = s.labelDC = nullptr;
    s.labelBmp = nullptr;
    s.oldFont = nullptr;
    s.completing = false;
    if (gOverlay == hwnd)
        gOverlay = nullptr;
}

// Draws the mouse cursor into the frozen picture at its place.
void DrawCursor() {
    CURSORINFO ci;
    memset(&ci, 0, sizeof ci);
    ci.cbSize = sizeof ci;
    if (!GetCursorInfo(&ci) || !(ci.flags & CURSOR_SHOWING) || !ci.hCursor)
        return;
    ICONINFO ii;
    if (!GetIconInfo(ci.hCursor, &ii))
        return;
    DrawIconEx(s.frozenDC, ci.ptScreenPos.x - s.originX - (int)ii.xHotspot,
               ci.ptScreenPos.y - s.originY - (int)ii.yHotspot, ci.hCursor, 0, 0, 0, nullptr, DI_NORMAL);
    // GetIconInfo hands out copies of the cursor's bitmaps: ours to free.
    if (ii.hbmMask)
        DeleteObject(ii.hbmMask);
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
}

// The bitmap that holds the frozen screen. On a true-colour screen a
// top-down 32-bit DIB section, whose pixels the grab reads in place; on a
// palette or 16-bit screen a bitmap of the screen's own format.
HBITMAP FrozenBitmap(HDC screen, int width, int height, BYTE** bits) {
    *bits = nullptr;
    if (GetDeviceCaps(screen, BITSPIXEL) < 24)
        return CreateCompatibleBitmap(screen, width, height);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* dibBits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &dibBits, nullptr, 0);
    if (!dib)
        return CreateCompatibleBitmap(screen, width, height);
    *bits = (BYTE*)dibBits;
    return dib;
}

// Font, transparent text and the label store of the new overlay.
void PrepareOverlayDC(HWND hwnd) {
    HFONT font = gApp.visuals.FontForDpi(0, gApp.GetWindowDpi(hwnd));
    if (!font)
        font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    s.oldFont = SelectObject(s.dc, font);
    SetBkMode(s.dc, TRANSPARENT);
    RECT ext = {0, 0, 0, 0};
    DrawTextA(s.dc, "99999 x 99999", -1, &ext, DT_CALCRECT | DT_SINGLELINE);
    s.labelMaxW = 2 * (ext.right - ext.left);
    s.labelMaxH = 2 * (ext.bottom - ext.top);
    s.labelDC = CreateCompatibleDC(s.dc);
    s.labelBmp = CreateCompatibleBitmap(s.dc, s.labelMaxW, s.labelMaxH);
    s.labelOld = s.labelDC && s.labelBmp ? SelectObject(s.labelDC, s.labelBmp) : nullptr;
    s.labelX = -s.labelMaxW;
    s.labelY = -s.labelMaxH;
}

}  // namespace

int PlaceSizeLabel(const RECT& drag, const RECT& sel, int screenW, int screenH, int w, int h, POINT* at) {
    int dx = drag.right - drag.left, dy = drag.bottom - drag.top;
    int corner, turn;
    if (dx >= 0 && dy >= 0) {
        corner = 0;
        turn = dx < dy ? -1 : 1;
    } else if (dx >= 0) {
        corner = 1;
        turn = -dy < dx ? -1 : 1;
    } else if (dy < 0) {
        corner = 2;
        turn = -dx < -dy ? -1 : 1;
    } else {
        corner = 3;
        turn = dx < -dy ? -1 : 1;
    }
    int right = sel.right, bottom = sel.bottom, left = sel.left, top = sel.top;
    auto rightX = [&] { return screenW < right + w + 5 ? screenW - w : right + 5; };
    auto belowY = [&] { return screenH < bottom + h + 5 ? screenH - h : bottom + 5; };
    auto leftX = [&] { return left - w - 5 < 0 ? 0 : left - w - 5; };
    auto aboveY = [&] { return top - h - 5 < 0 ? 0 : top - h - 5; };
    for (int i = 0; i < 4; i++, corner = (corner + turn + 4) % 4) {
        bool roomRight = screenW - right >= w + 5, roomBelow = screenH - bottom >= h + 5;
        bool roomLeft = left >= w + 5, roomAbove = top >= h + 5;
        switch (corner) {
            case 0:
                if (!roomRight && !roomBelow)
                    continue;
                *at = POINT{rightX(), belowY()};
                return 0;
            case 1:
                if (!roomRight && !roomAbove)
                    continue;
                *at = POINT{rightX(), aboveY()};
                return 1;
            case 2:
                if (!roomLeft && !roomAbove)
                    continue;
                *at = POINT{leftX(), aboveY()};
                return 2;
            default:
                if (!roomLeft && !roomBelow)
                    continue;
                *at = POINT{leftX(), belowY()};
                return 3;
        }
    }
    *at = POINT{(right - w - left) / 2 + left, (bottom - h - top) / 2 + top};
    return -1;
}

void StartCapture() {
    if (gOverlay) {
        DestroyWindow(gOverlay);
        return;
    }
    HDC screen = GetDC(nullptr);
    RECT virtualScreen = VirtualScreenRect();
    s.originX = virtualScreen.left;
    s.originY = virtualScreen.top;
    s.width = virtualScreen.right - virtualScreen.left;
    s.height = virtualScreen.bottom - virtualScreen.top;
    s.frozenDC = CreateCompatibleDC(screen);
    s.frozenBmp = FrozenBitmap(screen, s.width, s.height, &s.frozenBits);
    if (!s.frozenDC || !s.frozenBmp) {
        FreeFrozen();
        ReleaseDC(nullptr, screen);
        return;
    }
    s.frozenOld = SelectObject(s.frozenDC, s.frozenBmp);
    MarkSaveStage(kStageScreenRead, true);
    BitBlt(s.frozenDC, 0, 0, s.width, s.height, screen, s.originX, s.originY, SRCCOPY | CAPTUREBLT);
    MarkSaveStage(kStageScreenRead, false);
    if (gOpt.MouseCursor)
        DrawCursor();
    s.foreground = GetForegroundWindow();
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, kCaptureClassName, "", WS_POPUP, s.originX, s.originY, s.width, s.height,
                                nullptr, nullptr, gApp.instance ? gApp.instance : GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) {
        FreeFrozen();
        ReleaseDC(nullptr, screen);
        return;
    }
    PrepareOverlayDC(hwnd);
    ReleaseDC(nullptr, screen);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SetFocus(hwnd);
    SetForegroundWindow(hwnd);
}

LRESULT CALLBACK CaptureWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            OnCreate(hwnd);
            return 0;
        case kMsgTakeFocus:
            SetFocus(hwnd);
            return 0;
        case kMsgPickComplete:
            OnPickComplete(hwnd);
            return 0;
        case WM_PAINT:
            OnPaint(hwnd);
            return 0;
        case WM_SHOWWINDOW:
            if (!wp)
                ReleaseCapture();
            break;
        case WM_KEYDOWN:
            if (wp == VK_ESCAPE) {
                s.dragging = false;
                s.completing = false;
                DestroyWindow(hwnd);
                return 0;
            }
            break;
        case WM_CHAR:
            OnChar(wp);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(hwnd, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(hwnd);
            return 0;
        case WM_RBUTTONDOWN:
        case WM_MOUSEWHEEL:
            OnRightButton();
            return 0;
        case WM_DESTROY:
            OnDestroy(hwnd);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
