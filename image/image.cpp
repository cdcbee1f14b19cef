// CImage painting primitives (platform-neutral part).
#include "image/image.h"

#include <stdlib.h>
#include <string.h>

#include "base/dyn_array.h"
#include "image/quantizer.h"

namespace {

RGBQUAD QuadOf(DWORD c) {
    return RGBQUAD{(BYTE)c, (BYTE)(c >> 8), (BYTE)(c >> 16), 0};
}

DWORD DwordOf(RGBQUAD q, BYTE alpha) {
    return (DWORD)q.rgbBlue | ((DWORD)q.rgbGreen << 8) | ((DWORD)q.rgbRed << 16) | ((DWORD)alpha << 24);
}

BYTE Scale(BYTE v, float f) {
    float r = v * f;
    return r <= 0 ? 0 : (r >= 255 ? 255 : (BYTE)(int)r);
}

}  // namespace

CImage::~CImage() {
    stack_.RemoveAll();
}

void CImage::BeginPaint(TextMask* textMask, int left, int top, int right, int bottom) {
    clip_ = RECT{left, top, right, bottom};
    CacheImageInfo(textMask);
}

void CImage::CacheImageInfo(TextMask* textMask) {
    width_ = Width();
    height_ = Height();
    paletteCount_ = GetPaletteCount();
    palette_ = GetPalette();
    bpp_ = GetBpp();
    textMask_ = textMask;
    dirty_ = RECT{0, 0, 0, 0};
}

RGBQUAD CImage::PenQuad() const {
    return QuadOf(penColor_);
}

void CImage::SetPenColor(int drawMode, int penWidth, DWORD color) {
    drawMode_ = drawMode;
    penWidth_ = penWidth;
    penColor_ = color;
    if (bpp_ < 24 && bpp_ > 0)
        penIndex_ = NearestPaletteIndex(QuadOf(color));
}

void CImage::RestartDirty(int x, int y) {
    if (x > width_ - 1)
        x = width_ - 1;
    if (y > height_ - 1)
        y = height_ - 1;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    dirty_ = RECT{x, y, x, y};
}

void CImage::PlotPixel(int x, int y) {
    if (x < clip_.left || x > clip_.right || y < clip_.top || y > clip_.bottom)
        return;
    if (x < dirty_.left)
        dirty_.left = x;
    if (x > dirty_.right)
        dirty_.right = x;
    if (y < dirty_.top)
        dirty_.top = y;
    if (y > dirty_.bottom)
        dirty_.bottom = y;
    modified_ = 1;
    if (bpp_ >= 24)
        SetPixelColor(x, height_ - 1 - y, PenQuad());
    else
        SetPixelIndex(x, height_ - 1 - y, (BYTE)penIndex_);
}

void CImage::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void CImage::DrawPen(int x, int y) {
    if (penWidth_ <= 1) {
        PlotPixel(x, y);
    } else if (penWidth_ == 2) {
        PlotPixel(x - 1, y);
        PlotPixel(x, y);
        PlotPixel(x - 1, y + 1);
        PlotPixel(x, y + 1);
    } else {
        DrawBrushDot(x, y, false);
    }
}

void CImage::LineTo(int x1, int y1, bool restart) {
    if (restart)
        RestartDirty(x1, y1);
    int x0 = penX_, y0 = penY_;
    int dx = abs(x1 - x0), dy = abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int e = 2 * (dx - dy);
    for (;;) {
        DrawPen(x0, y0);
        if (x0 == x1 && y0 == y1)
            break;
        int t = e;
        if (e > -dy) {
            x0 += sx;
            t = e - 2 * dy;
        }
        if (e < dx) {
            y0 += sy;
            e = t + 2 * dx;
        } else {
            e = t;
        }
    }
    penX_ = x1;
    penY_ = y1;
}

void CImage::DrawRect(int left, int top, int right, int bottom) {
    MoveTo(left, top);
    LineTo(right, top, true);
    LineTo(right, bottom, false);
    LineTo(left, bottom, false);
    LineTo(left, top, false);
}

void CImage::FillRect(int left, int top, int right, int bottom, DWORD color) {
    DWORD savedColor = penColor_;
    int savedIndex = penIndex_;
    penColor_ = color;
    if (bpp_ < 24 && bpp_ > 0)
        penIndex_ = NearestPaletteIndex(QuadOf(color));
    if (left > right)
        SwapInts(&left, &right);
    if (top > bottom)
        SwapInts(&top, &bottom);
    // Only the part inside the clip rectangle can be plotted.
    int l = left > clip_.left ? left : clip_.left, r = right < clip_.right ? right : clip_.right;
    int t = top > clip_.top ? top : clip_.top, b = bottom < clip_.bottom ? bottom : clip_.bottom;
    for (int y = t; y <= b; y++)
        for (int x = l; x <= r; x++)
            PlotPixel(x, y);
    penColor_ = savedColor;
    penIndex_ = savedIndex;
}

void CImage::Span(int cx, int y, int h) {
    for (int x = cx - h; x <= cx + h; x++)
        PlotPixel(x, y);
}

void CImage::FillCircle(int cx, int cy, int r, bool restart) {
    if (restart)
        RestartDirty(cx, cy);
    int a = r, d = -r;
    for (int b = 0; b <= a; b++) {
        Span(cx, cy + b, a);
        if (b != 0)
            Span(cx, cy - b, a);
        d += 2 * b + 1;
        if (d >= 0) {
            if (b != a) {
                Span(cx, cy + a, b);
                Span(cx, cy - a, b);
            }
            d -= 2 * a - 1;
            a -= 1;
        }
    }
}

void CImage::DrawBrushDot(int x, int y, bool restart) {
    FillCircle(x, y, penWidth_ / 2, restart);
}

void CImage::FloodFill(int x, int y) {
    RestartDirty(x, y);
    if (!IsValid() || x < 0 || y < 0 || x >= width_ || y >= height_ || width_ != Width() || height_ != Height())
        return;
    // The index actually stored: a pen index wider than the depth would
    // never differ from the seed and the fill would not end.
    int depth = GetBpp();  // the real depth, also when the cache is stale
    BYTE penIndex = (BYTE)(penIndex_ & (depth == 1 ? 1 : depth == 4 ? 0x0F : 0xFF));
    RGBQUAD pen = PenQuad();
    RGBQUAD seedColor = GetPixelColor(x, height_ - 1 - y);
    BYTE seedIndex = GetPixelIndex(x, height_ - 1 - y);
    bool truecolor = depth >= 24;
    if (truecolor
            ? (seedColor.rgbRed == pen.rgbRed && seedColor.rgbGreen == pen.rgbGreen && seedColor.rgbBlue == pen.rgbBlue)
            : seedIndex == penIndex)
        return;
    int savedIndex = penIndex_;
    penIndex_ = penIndex;
    // Fill area: the clip rectangle inside the image.
    int l = clip_.left > 0 ? clip_.left : 0, r = clip_.right < width_ - 1 ? clip_.right : width_ - 1;
    int t = clip_.top > 0 ? clip_.top : 0, b = clip_.bottom < height_ - 1 ? clip_.bottom : height_ - 1;
    if (x < l || x > r || y < t || y > b) {
        penIndex_ = savedIndex;
        return;
    }
    auto matches = [&](int px, int py) {
        int sy = height_ - 1 - py;
        if (truecolor) {
            const BYTE* p = GetPixelPointer(px, sy);
            return p[0] == seedColor.rgbBlue && p[1] == seedColor.rgbGreen && p[2] == seedColor.rgbRed;
        }
        return GetPixelIndexRaw(px, sy) == seedIndex;
    };
    // Scan-line fill with an explicit stack: every plotted pixel stops
    // matching, so each run start is pushed a bounded number of times.
    const int64_t limit = (int64_t)width_ * height_ + 16;
    stack_.Clear();
    uint64_t start = ((uint64_t)(uint32_t)y << 32) | (uint32_t)x;
    stack_.Add(&start);
    while (stack_.count > 0) {
        uint64_t v = *stack_.At(stack_.count - 1);
        stack_.RemoveAt(stack_.count - 1);
        int px = (int)(uint32_t)v, py = (int)(v >> 32);
        if (!matches(px, py))
            continue;
        int x0 = px, x1 = px;
        while (x0 > l && matches(x0 - 1, py))
            x0--;
        while (x1 < r && matches(x1 + 1, py))
            x1++;
        for (int i = x0; i <= x1; i++)
            PlotPixel(i, py);
        for (int ny = py - 1; ny <= py + 1; ny += 2) {
            if (ny < t || ny > b)
                continue;
            bool inRun = false;
            for (int i = x0; i <= x1; i++) {
                bool m = matches(i, ny);
                if (m && !inRun && stack_.count < limit) {
                    uint64_t p = ((uint64_t)(uint32_t)ny << 32) | (uint32_t)i;
                    stack_.Add(&p);  // a point that cannot be pushed is dropped
                }
                inRun = m;
            }
        }
    }
    stack_.RemoveAll();
    penIndex_ = savedIndex;
}

void CImage::Highlight(int left, int top, int right, int bottom, float factor) {
    if (!IsValid())
        return;
    if (left > right)
        SwapInts(&left, &right);
    if (top > bottom)
        SwapInts(&top, &bottom);
    RECT savedClip = clip_;
    DWORD savedColor = penColor_;
    int savedIndex = penIndex_;
    clip_ = RECT{0, 0, width_ - 1, height_ - 1};
    BYTE table[256];
    if (bpp_ == 4 || bpp_ == 8) {
        for (int i = 0; i < paletteCount_; i++) {
            RGBQUAD c = GetPaletteColor(i);
            table[i] = NearestPaletteIndex(
                RGBQUAD{Scale(c.rgbBlue, factor), Scale(c.rgbGreen, factor), Scale(c.rgbRed, factor), 0});
        }
    }
    for (int y = 0; y < height_; y++) {
        SetProgress(y * 100 / height_);
        for (int x = 0; x < width_; x++) {
            if (x >= left && x <= right && y >= top && y <= bottom)
                continue;
            int sy = height_ - 1 - y;
            if (bpp_ == 1) {
                penIndex_ = GetPixelIndexRaw(x, sy) ^ 1;
            } else if (bpp_ < 24) {
                penIndex_ = table[GetPixelIndexRaw(x, sy)];
            } else {
                RGBQUAD c = GetPixelColorRaw(x, sy);
                penColor_ = DwordOf(
                    RGBQUAD{Scale(c.rgbBlue, factor), Scale(c.rgbGreen, factor), Scale(c.rgbRed, factor), 0}, 255);
            }
            PlotPixel(x, y);
        }
    }
    clip_ = savedClip;
    penColor_ = savedColor;
    penIndex_ = savedIndex;
}

void CImage::InvertRect(int left, int top, int right, int bottom) {
    if (top == bottom || !IsValid())
        return;
    if (left > right)
        SwapInts(&left, &right);
    if (top > bottom)
        SwapInts(&top, &bottom);
    DWORD savedColor = penColor_;
    int savedIndex = penIndex_;
    BYTE table[256];
    if (bpp_ == 4 || bpp_ == 8) {
        for (int i = 0; i < paletteCount_; i++) {
            RGBQUAD c = GetPaletteColor(i);
            table[i] = NearestPaletteIndex(
                RGBQUAD{(BYTE)(255 - c.rgbBlue), (BYTE)(255 - c.rgbGreen), (BYTE)(255 - c.rgbRed), 0});
        }
    }
    for (int y = top; y <= bottom; y++) {
        SetProgress((y - top) * 100 / (bottom - top));
        if (y < 0 || y >= height_)
            continue;
        for (int x = left; x <= right; x++) {
            if (x < 0 || x >= width_)
                continue;
            int sy = height_ - 1 - y;
            if (bpp_ == 1) {
                penIndex_ = GetPixelIndexRaw(x, sy) ^ 1;
            } else if (bpp_ < 24) {
                penIndex_ = table[GetPixelIndexRaw(x, sy)];
            } else {
                RGBQUAD c = GetPixelColorRaw(x, sy);
                penColor_ =
                    DwordOf(RGBQUAD{(BYTE)(255 - c.rgbBlue), (BYTE)(255 - c.rgbGreen), (BYTE)(255 - c.rgbRed), 0}, 255);
            }
            PlotPixel(x, y);
        }
    }
    penColor_ = savedColor;
    penIndex_ = savedIndex;
}

void CImage::DrawTextMask(int x, int y, int flags, DWORD background) {
    if (!textMask_ || !textMask_->mask || !IsValid())
        return;
    RestartDirty(x, y);
    DWORD savedColor = penColor_;
    int savedIndex = penIndex_;
    int W = textMask_->width, H = textMask_->height;
    if (flags & 1)
        x -= W;
    else if (flags & 2)
        x -= W / 2;
    if (flags & 4)
        y -= H;
    else if (flags & 8)
        y -= H / 2;
    bool opaque = (background >> 24) != 0;
    RGBQUAD bg = QuadOf(background);
    RGBQUAD pen = QuadOf(savedColor);
    int penIdx = savedIndex;
    BYTE bgIndex = bpp_ == 1 ? NearestPaletteIndex(bg) : 0;
    for (int j = 0; j < H; j++) {
        for (int i = 0; i < W; i++) {
            BYTE m = textMask_->mask[(size_t)j * W + i];
            int px = x + i, py = y + j;
            if (bpp_ == 1) {
                if (opaque) {
                    penIndex_ = m <= 128 ? penIdx : bgIndex;
                } else {
                    if (m > 128)
                        continue;
                    penIndex_ = penIdx;
                }
                PlotPixel(px, py);
                continue;
            }
            RGBQUAD B = bg;
            if (!opaque) {
                if (m == 255)
                    continue;
                if (px < 0 || py < 0 || px >= width_ || py >= height_)
                    continue;
                B = GetPixelColorRaw(px, height_ - 1 - py);
            }
            float g = m / 255.0f;
            RGBQUAD mix{(BYTE)(int)((B.rgbBlue - pen.rgbBlue) * g + pen.rgbBlue),
                        (BYTE)(int)((B.rgbGreen - pen.rgbGreen) * g + pen.rgbGreen),
                        (BYTE)(int)((B.rgbRed - pen.rgbRed) * g + pen.rgbRed), 0};
            if (bpp_ >= 24)
                penColor_ = DwordOf(mix, 255);
            else
                penIndex_ = NearestPaletteIndex(mix);
            PlotPixel(px, py);
        }
    }
    penColor_ = savedColor;
    penIndex_ = savedIndex;
}

RGBQUAD* CImage::MakeQuantizedPalette(int n) {
    RGBQUAD* out = (RGBQUAD*)calloc(256, sizeof(RGBQUAD));
    if (!out)
        return nullptr;
    if (!IsValid() || n <= 0)
        return out;
    // A transparent image's hidden pixels count for no colour: they keep the
    // last entry, their colour, for themselves.
    const bool keep = IsTransparent() && n > 1 && n <= 256;
    const RGBQUAD key = GetTransparentColor();
    CQuantizer q((uint32_t)(keep ? n - 1 : n), n <= 16 ? 8 : 7);
    if (q.AddImage(GetDibBlock(), keep && GetBpp() < 24 ? GetTransparentIndex() : -1,
                   keep && GetBpp() == 24 ? &key : nullptr))
        q.GetPalette(out, keep ? n - 1 : 256);
    if (keep)
        out[n - 1] = RGBQUAD{key.rgbBlue, key.rgbGreen, key.rgbRed, 0};
    return out;
}
