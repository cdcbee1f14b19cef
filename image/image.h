// CImage: the application's image, a CRaster with the painting state and
// primitives of the image editor (pen, lines, rectangles, filled circles,
// flood fill, highlight, inversion, text masks) and two palette services.
// Painting uses top-down coordinates (y = 0 is the top row); every write
// goes through PlotPixel, which clips, records the dirty rectangle and sets
// the modified flag.
#pragma once
#include "base/dyn_array.h"
#include "image/raster.h"

// A grey text mask (top-down rows, no padding; 0 = text, 255 = white);
// owned by the caller, one per editor.
struct TextMask {
    BYTE* mask;  // malloc'd width x height bytes or null
    int32_t width, height;
};

class CImage : public CRaster {
  public:
    CImage() : CRaster(0) {}
    ~CImage() override;

    // Clip rectangle (inclusive), then CacheImageInfo. Call again after the
    // image's size or depth changed.
    void BeginPaint(TextMask* textMask, int left, int top, int right, int bottom);
    void CacheImageInfo(TextMask* textMask);
    // colour: RGBQUAD order (blue low) with alpha on top.
    void SetPenColor(int drawMode, int penWidth, DWORD color);
    DWORD GetPenColor() const { return penColor_; }
    int GetPenIndex() const { return penIndex_; }
    void MoveTo(int x, int y);
    void LineTo(int x, int y, bool restart);
    void DrawRect(int left, int top, int right, int bottom);
    void FillRect(int left, int top, int right, int bottom, DWORD color);
    void FillCircle(int cx, int cy, int radius, bool restart);
    void DrawBrushDot(int x, int y, bool restart);
    // Four-connected fill with the pen colour from a point inside the image.
    void FloodFill(int x, int y);
    // Scales every pixel outside the rectangle by factor (channels saturate).
    void Highlight(int left, int top, int right, int bottom, float factor);
    void InvertRect(int left, int top, int right, int bottom);
    // Alignment flags: 1 right, 2 centre, 4 bottom, 8 middle. background:
    // colour in pen order; a non-zero top byte paints it.
    void DrawTextMask(int x, int y, int flags, DWORD background);
    void PlotPixel(int x, int y);
    RECT GetDirtyRect() const { return dirty_; }
    bool IsModified() const { return modified_ != 0; }
    // 256 entries (unused ones zero), malloc'd: the caller frees it. A
    // transparent image's n colours keep the last for the transparency.
    RGBQUAD* MakeQuantizedPalette(int n);
#ifdef _WIN32
    // 0 success; 1 no memory context, 2 no bitmap, 3 no memory for the mask.
    int RenderTextMask(const char* text, HFONT font, int frameWidth);
    // The image palette as a GDI palette (caller deletes it), or null.
    HPALETTE CreatePaletteHandle() const;
#endif

  private:
    void RestartDirty(int x, int y);
    void DrawPen(int x, int y);
    void Span(int cx, int y, int h);
    RGBQUAD PenQuad() const;

    RECT clip_ = {0, 0, -1, -1};
    TextMask* textMask_ = nullptr;
    int width_ = 0, height_ = 0, paletteCount_ = 0, bpp_ = 0;
    int penX_ = 0, penY_ = 0;
    int penWidth_ = 1;
    int penIndex_ = 0;
    int drawMode_ = 0;
    RGBQUAD* palette_ = nullptr;
    DWORD penColor_ = 0xFF000000;  // opaque black
    RECT dirty_ = {0, 0, -1, -1};
    BYTE modified_ = 0;
    CDynArray<uint64_t> stack_;  // flood fill work list: (y << 32) | x
};
