// CVisuals: the framework's drawing resources: per-DPI font sets, the icon
// table with a tinted copy of every icon, the 58-colour scheme and the
// primitives that framework windows and items paint with. GUI thread only.
//
// It does not read the application object: the application passes in what
// it owns (the (Mox)App colour mode and custom colours, the UI face and
// size, the window that paints application-drawn icons).
#pragma once
#include <windows.h>

#include "base/dyn_array.h"

// Result codes of this unit (0 = success).
constexpr int kVisualsErrGdi = 0xF004;          // Init: memory DC or DIB section not made
constexpr int kVisualsErrIconLoad = 0xF005;     // AddIcon: the icon could not be loaded
constexpr int kVisualsErrNullText = 0xF008;     // a null text or format
constexpr int kVisualsErrIconMissing = 0xF009;  // DrawIcon: no icon with that id

constexpr int kSchemeColorCount = 58;
constexpr int kFontSetCount = 7;
// Font sets: UI normal, UI bold, UI vertical, fixed, chosen normal, chosen bold, chosen vertical.
enum : int {
    kFontUi = 0,
    kFontUiBold = 1,
    kFontUiVertical = 2,
    kFontFixed = 3,
    kFontText = 4,
    kFontTextBold = 5,
    kFontTextVertical = 6
};

constexpr DWORD kIconAppDrawn = 0x4000;  // AddIcon flag: the first frame paints it (MoxMSG_PAINTSWATCH)
constexpr COLORREF kNoColor = (COLORREF)-1;

// PaintText flags: low two bits align left/top (0), centre (1), right/bottom (2).
constexpr UINT kTextCentre = 1;
constexpr UINT kTextRight = 2;
constexpr UINT kTextVertical = 0x100;  // the downward font of set 6
constexpr UINT kTextBold = 0x200;      // set 5 instead of set 4

// Text colour selector: low bits 0, 1, 2 take scheme colour 3, 4 or 5;
// 3 takes the COLORREF in the upper 24 bits.
constexpr DWORD TextColorSelector(COLORREF color) {
    return ((DWORD)color << 8) | 3;
}

// Rounded-corner flags.
enum : int { kCornerTopLeft = 1, kCornerTopRight = 2, kCornerBottomLeft = 4, kCornerBottomRight = 8 };

// Sent as lParam of MoxMSG_PAINTSWATCH (wParam the DC) for kIconAppDrawn icons.
struct IconPaintRequest {
    WORD id;
    RECT rect;
};

struct VisualsFont {
    UINT dpi;  // the lookup key
    char face[260];
    int height;  // at 96 DPI
    int weight;
    int escapement;
    HFONT font;
    int agHeight;    // height of "Ag"
    int spaceWidth;  // width of " "
};

struct VisualsIcon {
    int id;
    int resourceId;
    DWORD flags;
    int size;
    HICON icon;    // shared system copy: never destroyed by us
    HICON tinted;  // ours
};

// Off-screen buffer of BeginBuffer / EndBuffer.
struct PaintBuffer {
    HDC target = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    int width = 0, height = 0;
};

// A copy of an icon whose opaque pixels mix light and dark by their
// brightness (offset so that the icon's mean blue lands mid-way), clamped
// to the two colours. An icon without opaque pixels comes back unchanged;
// null when the icon can't be read. The caller destroys the copy.
HICON TintIcon(HICON icon, COLORREF light, COLORREF dark);

class CVisuals {
  public:
    CVisuals() = default;
    ~CVisuals();
    CVisuals(const CVisuals&) = delete;
    CVisuals& operator=(const CVisuals&) = delete;

    // Makes the memory DC and its 16 x 16 DIB section and reads the UI face
    // from the non-client metrics. inst: the module whose icon resources
    // AddIcon loads. 0 or kVisualsErrGdi.
    int Init(HINSTANCE inst);

    // Computes the scheme (and reloads the icons, whose tint follows it).
    // colorMode: the (Mox)App byte (255 automatic, 0 none, 1 default,
    // 2 custom); 255 is replaced by what automatic means now. custom: the
    // record's five custom colours. Always 0.
    int UpdateColorScheme(BYTE* colorMode, const COLORREF* custom);
    COLORREF Color(int index) const { return index >= 0 && index < kSchemeColorCount ? scheme_[index] : 0; }
    // Scheme colour 3, 4 or 5, or the colour carried by the selector.
    COLORREF SelectorColor(DWORD selector) const;

    // Rebuilds every font set with one entry for dpi. face null or empty:
    // the UI face; height <= 0: 12. Sets 4-6 take face and height. Returns 0.
    int SetupFonts(const char* face, int height, UINT dpi);
    // The set's font for dpi, made on first use (null only when GDI fails).
    HFONT FontForDpi(int set, UINT dpi);
    // Metrics of set 4 at dpi (its first entry when dpi has none yet).
    void TextMetrics(UINT dpi, int* agHeight, int* spaceWidth);
    // Size of a text in a font (or set 5 when bold, else 4, at dpi).
    // 0 or kVisualsErrNullText (outputs 0).
    int MeasureText(const char* text, int* width, int* height, HFONT font);
    int MeasureText(const char* text, int* width, int* height, bool bold, UINT dpi);
    const char* UiFace() const { return uiFace_; }

    // Icons, kept sorted by id; an id already present is replaced.
    // 0 or kVisualsErrIconLoad.
    int AddIcon(int id, int resourceId, DWORD flags, int size);
    void ReloadIcons();
    // Draws the icon stretched to rc: the original when state bit 0 is set,
    // else the tinted copy. 0 or kVisualsErrIconMissing.
    int DrawIcon(HDC dc, int id, UINT state, const RECT* rc);
    // A copy of icon whose opaque pixels are shaded between scheme colours
    // 3 (dark) and 1 (light); the caller destroys it. Null on failure.
    HICON MakeTintedIcon(HICON icon) const;
    // The window that receives MoxMSG_PAINTSWATCH (the first framework window).
    void SetIconPainter(HWND window) { iconPainter_ = window; }

    // The window being painted: its parent answers MoxMSG_PAINTBKGND
    // (wParam DC, lParam the DC origin in the parent's client coordinates).
    void SetPaintWindow(HWND window) { paintWindow_ = window; }

    // Primitives; rectangles are exclusive at right and bottom.
    void FillColor(HDC dc, const RECT* rc, COLORREF color);
    void DrawFrame(HDC dc, const RECT* rc, COLORREF color);
    // brush kNoColor: hollow.
    void DrawRectangle(HDC dc, const RECT* rc, COLORREF pen, COLORREF brush);
    // Top and left in topLeft, bottom and right (with the top-right and
    // bottom-left pixels) in bottomRight; swap exchanges them.
    void Draw3dFrame(HDC dc, const RECT* rc, COLORREF topLeft, COLORREF bottomRight, bool swap = false);
    // From the left (or top when vertical) edge to the opposite one.
    void DrawGradient(HDC dc, const RECT* rc, COLORREF from, COLORREF to, bool vertical);
    // Triangle of half-height s = min(height, 3) * width / 22 (at least 1)
    // and depth s, centred; type 0 right, 1 up, 2 down.
    void DrawArrow(HDC dc, const RECT* rc, int type, DWORD selector);
    // Check mark from the centre: short arm 1.4 u down-left, long arm 4 u
    // up-right, u = width / 22 (at least 1).
    void DrawCheck(HDC dc, const RECT* rc, DWORD selector);
    // Centred line in scheme colour 31 and one pixel down-right in 32;
    // horizontal when the rectangle is at least as wide as high.
    void DrawEtchedLine(HDC dc, const RECT* rc);
    // Six 2 x 2 dots (scheme 26) with shadows (scheme 27) at the bottom right.
    void DrawSizeGrip(HDC dc, const RECT* rc);
    // A 4-pixel strip at the left (atLeft) or top of rc.
    void DrawBarGrip(HDC dc, const RECT* rc, bool atLeft);
    // printf text in the selector colour; flags as kText*. kVisualsErrNullText for a null format.
    int PaintText(HDC dc, const RECT* rc, DWORD selector, UINT flags, UINT dpi, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    // Item background of a frame style (0-8, see visuals.cpp); color
    // replaces the style's frame or fill colour, width is the parent
    // background width of style 7, from / to are scheme indices of style 8.
    void DrawItemBackground(HDC dc, const RECT* rc, int type, COLORREF color = kNoColor, int width = 0, int corners = 0,
                            int from = 0, int to = 0);
    // Blends the chosen corners (kCorner*) of rc into the parent background.
    void DrawRoundCorners(HDC dc, const RECT* rc, int corners);
    static RECT Inset(const RECT& rc, int n);

    // Double buffering: the caller draws into the returned DC; EndBuffer
    // copies it to the target and frees it. Null: draw into dc directly.
    HDC BeginBuffer(HDC dc, int width, int height, PaintBuffer* buffer);
    void EndBuffer(PaintBuffer* buffer);

    // Lists, for the application and the tests.
    const CDynArray<VisualsFont>& FontSet(int set) const { return fonts_[set]; }
    const CDynArray<VisualsIcon>& Icons() const { return icons_; }

  private:
    bool MakeFont(VisualsFont* f);
    int FindIcon(int id) const;
    void LoadIconImages(VisualsIcon* icon);
    void FreeIconImages(VisualsIcon* icon);
    void PaintParentBackground(HDC dc, const RECT* rc, POINT dcOrigin);
    UINT DesktopDpi() const;

    CDynArray<VisualsFont> fonts_[kFontSetCount];
    COLORREF scheme_[kSchemeColorCount] = {};
    HWND paintWindow_ = nullptr;
    HDC memDc_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    DWORD* dibBits_ = nullptr;
    CDynArray<VisualsIcon> icons_;

    HINSTANCE instance_ = nullptr;
    HWND iconPainter_ = nullptr;
    char uiFace_[260] = "MS Shell Dlg";
    char userFace_[260] = "MS Shell Dlg";
    int userHeight_ = 12;
};
