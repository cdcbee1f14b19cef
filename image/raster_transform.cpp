// Colour depth and geometry transforms: crop, decrease and increase depth
// (with optional error diffusion), grey, negative, flip, mirror, quarter
// turns and the bit-field converter of 16- and 32-bit decoders. Each builds a
// scratch image with this image's settings and takes it over on success;
// on failure or cancel this image stays as it was.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/dyn_array.h"
#include "image/palette_search.h"
#include "image/raster.h"

namespace {

// A scratch image carrying the settings of src.
struct Scratch {
    CRaster img;
    explicit Scratch(const CRaster& src) : img(0) { img.CopySettings(src); }
};

bool FailFrom(CRaster* self, const CRaster& scratch) {
    self->SetLastError(scratch.GetLastError());
    return false;
}

// Shift and width of a contiguous mask; a mask with holes is taken from its
// lowest set bit up to its highest.
void MaskShape(uint32_t mask, int* shift, int* width) {
    *shift = 0;
    *width = 0;
    if (!mask)
        return;
    while (!(mask & 1)) {
        mask >>= 1;
        (*shift)++;
    }
    while (mask) {
        mask >>= 1;
        (*width)++;
    }
}

// The 8-bit value of a field: narrow fields move to the top bits, wide
// fields keep their top 8 bits. Zero-width fields give 0.
inline BYTE FieldValue(uint32_t v, uint32_t mask, int shift, int width) {
    if (!width)
        return 0;
    uint32_t f = (v & mask) >> shift;
    if (width >= 8)
        return (BYTE)(f >> (width - 8));
    // Narrow fields widen by repeating their bits, so that white stays white.
    uint32_t wide = f;
    int bits = width;
    for (; bits < 8; bits += width)
        wide = wide << width | f;
    return (BYTE)(wide >> (bits - 8));
}

// DecreaseBpp's escape check and progress for each row of a diffusion.
bool DiffusionRow(void* context, int y, int height) {
    CRaster* self = (CRaster*)context;
    if (self->GetEscape())
        return false;
    self->SetProgress(y * 100 / height);
    return true;
}

// The masked pixels of a palette image take an index of their own: the
// unused one most of them have, else (with more than two entries) one freed
// by moving the visible pixels of the entry that costs least (pixels times
// squared distance) to their nearest other entry; on a grey ramp, the next
// level. Black and white are never merged.
void MaskPalette(CRaster* img, const BYTE* mask, uint32_t maskRow) {
    const int w = img->Width(), h = img->Height(), n = img->GetPaletteCount();
    uint32_t visible[256] = {}, masked[256] = {};
    bool anyMasked = false;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            BYTE i = img->GetPixelIndexRaw(x, y);
            if (CRaster::MaskBit(mask, maskRow, x, y))
                masked[i]++, anyMasked = true;
            else
                visible[i]++;
        }
    if (!anyMasked)
        return;
    int t = -1;
    for (int i = 0; i < n; i++)
        if (!visible[i] && (t < 0 || masked[i] > masked[t]))
            t = i;
    if (t < 0 && n > 2) {
        const RGBQUAD* pal = img->GetPaletteConst();
        uint64_t best = UINT64_MAX;
        int to = -1;
        for (int i = 0; i < n; i++)
            for (int j = 0; j < n; j++) {
                int db = pal[i].rgbBlue - pal[j].rgbBlue, dg = pal[i].rgbGreen - pal[j].rgbGreen,
                    dr = pal[i].rgbRed - pal[j].rgbRed;
                uint64_t cost = (uint64_t)(db * db + dg * dg + dr * dr) * visible[i];
                if (j != i && cost < best)
                    best = cost, t = i, to = j;
            }
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (!CRaster::MaskBit(mask, maskRow, x, y) && img->GetPixelIndexRaw(x, y) == t)
                    img->SetPixelIndexRaw(x, y, (BYTE)to);
    }
    if (t < 0)
        return;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (CRaster::MaskBit(mask, maskRow, x, y))
                img->SetPixelIndexRaw(x, y, (BYTE)t);
    img->SetTransparentIndex(t);
}

// Colours near one (base) in order: rank k flips in base the bits of k
// spread over blue, green and red in turn, low bits first, so the first
// 8^j ranks differ from base by less than 2^j in each channel.
struct ColorRanks {
    uint32_t spread[256];  // v's bits at 0, 3, 6, ... 21
    ColorRanks() {
        for (uint32_t v = 0; v < 256; v++) {
            spread[v] = 0;
            for (int i = 0; i < 8; i++)
                spread[v] |= (v >> i & 1) << (3 * i);
        }
    }
    uint32_t RankOf(RGBQUAD c, RGBQUAD base) const {
        return spread[c.rgbBlue ^ base.rgbBlue] | spread[c.rgbGreen ^ base.rgbGreen] << 1 |
               spread[c.rgbRed ^ base.rgbRed] << 2;
    }
    static RGBQUAD ColorOf(uint32_t k, RGBQUAD base) {
        BYTE d[3] = {0, 0, 0};
        for (int i = 0; i < 24; i++)
            d[i % 3] |= (BYTE)((k >> i & 1) << (i / 3));
        return RGBQUAD{(BYTE)(base.rgbBlue ^ d[0]), (BYTE)(base.rgbGreen ^ d[1]), (BYTE)(base.rgbRed ^ d[2]), 0};
    }
};

// The masked pixels of a 24-bit image take a colour no visible pixel has:
// their own when they share one, else the free colour of least rank near
// the first one's (what shows where transparency is not drawn stays as it
// looked). There are more candidates than visible pixels.
void MaskTrueColor(CRaster* img, const BYTE* mask, uint32_t maskRow) {
    int w = img->Width(), h = img->Height();
    size_t visible = 0;
    bool anyMasked = false, oneColor = true;
    RGBQUAD first = {0, 0, 0, 0};
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD c = img->GetPixelColorRaw(x, y);
            if (!CRaster::MaskBit(mask, maskRow, x, y))
                visible++;
            else if (!anyMasked)
                first = c, anyMasked = true;
            else if (!CRaster::SameRgb(c, first))
                oneColor = false;
        }
    if (!anyMasked)
        return;
    const size_t candidates = visible < 0xFFFFFF ? visible + 1 : 0x1000000;
    BYTE* taken = (BYTE*)calloc((candidates + 7) / 8, 1);
    if (!taken)
        return;
    bool firstTaken = false;
    const ColorRanks ranks;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            if (CRaster::MaskBit(mask, maskRow, x, y))
                continue;
            RGBQUAD c = img->GetPixelColorRaw(x, y);
            uint32_t k = ranks.RankOf(c, first);
            if (k < candidates)
                taken[k / 8] |= (BYTE)(1 << (k % 8));
            firstTaken = firstTaken || CRaster::SameRgb(c, first);
        }
    size_t k = 0;
    while (k < candidates && (taken[k / 8] >> (k % 8) & 1))
        k++;
    free(taken);
    RGBQUAD clear = first;
    if (!oneColor || firstTaken) {
        if (k == candidates)
            return;  // every colour visible: nothing can be transparent
        clear = ColorRanks::ColorOf((uint32_t)k, first);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (CRaster::MaskBit(mask, maskRow, x, y))
                    img->SetPixelColorRaw(x, y, clear);
    }
    img->SetTransparentColor(clear);
    img->Info().transparentIndex = 0;
}

// Takes over the result of a depth step of self (same size) with exactly
// the pixels transparent that were. False without memory for the mask.
bool TakeOverKeepingTransparency(CRaster* self, CRaster* result) {
    result->Info().transparentIndex = -1;
    if (self->IsTransparent()) {
        const int w = self->Width(), h = self->Height();
        const uint32_t row = CRaster::MaskRowBytes(w);
        BYTE* mask = (BYTE*)calloc((size_t)row * h, 1);
        if (!mask) {
            self->SetLastError("Out of memory");
            return false;
        }
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (self->IsTransparentPixel(x, y))
                    CRaster::SetMaskBit(mask, row, x, y);
        result->ApplyTransparencyMask(mask, row);
        free(mask);
    }
    return self->TakeOver(*result);
}

}  // namespace

void CRaster::ApplyTransparencyMask(const BYTE* mask, uint32_t maskRow) {
    info_.transparentIndex = -1;
    if (!dib_ || !mask)
        return;
    if (GetBpp() == 24)
        MaskTrueColor(this, mask, maskRow);
    else
        MaskPalette(this, mask, maskRow);
}

bool CRaster::Crop(int left, int top, int right, int bottom, CRaster* dest) {
    if (!dib_)
        return false;
    int w = Width(), h = Height();
    auto clamp = [](int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); };
    left = clamp(left, w);
    right = clamp(right, w);
    top = clamp(top, h);
    bottom = clamp(bottom, h);
    if (left == right || top == bottom)
        return false;
    if (left > right)
        SwapInts(&left, &right);
    int y0 = h - bottom, y1 = h - top;
    if (y0 > y1)
        SwapInts(&y0, &y1);
    int nw = right - left, nh = y1 - y0;
    Scratch s(*this);
    if (!s.img.Create(nw, nh, GetBpp(), GetFormatId()))
        return FailFrom(this, s.img);
    if (HasPalette())
        s.img.SetPalette(GetPaletteConst(), GetPaletteCount());
    int bpp = GetBpp();
    for (int y = 0; y < nh; y++) {
        if (bpp < 8) {
            for (int x = 0; x < nw; x++)
                s.img.SetPixelIndex(x, y, GetPixelIndex(left + x, y0 + y));
        } else {
            memcpy(s.img.GetRowPointer(y), GetRowPointer(y0 + y) + (size_t)bpp * left / 8, (size_t)bpp * nw / 8);
        }
        SetProgress((y + 1) * 100 / nh);
    }
    if (dest)
        return dest->TakeOver(s.img);
    return TakeOver(s.img);
}

bool CRaster::DecreaseBpp(int bpp, bool errorDiffusion, const RGBQUAD* palette, int colors) {
    if (!dib_)
        return false;
    if (bpp > GetBpp()) {
        SetLastError("DecreaseBpp: target BPP greater than source BPP");
        return false;
    }
    if (bpp == GetBpp()) {
        if (colors == 0)
            return true;
        if (GetColorsImportant() != 0 && GetColorsImportant() < colors)
            return true;
    }
    Scratch s(*this);
    if (!s.img.Create(Width(), Height(), bpp, GetFormatId()))
        return FailFrom(this, s.img);
    if (colors)
        s.img.SetColorsImportant(colors);
    if (!palette)
        s.img.SetStandardPalette();
    else
        s.img.SetPalette(palette, colors ? colors : (1 << s.img.GetBpp()));
    int w = Width(), h = Height();
    // Diffusion works on a copy so that a cancel leaves this image alone.
    CRaster* work = this;
    CRaster copy(0);
    if (errorDiffusion) {
        // A copy that owns its pixels even when this is an alias (whose
        // Copy would alias too): the diffusion writes into it.
        if (!copy.Create(Width(), Height(), GetBpp(), GetFormatId()))
            return FailFrom(this, copy);
        memcpy(copy.GetDibBlock() + 40, dib_ + 40, GetDibSize() - 40);
        work = &copy;
        // A true-colour source diffuses on its rows directly.
        bool outOfMemory = false;
        if (GetBpp() == 24 && s.img.HasPalette()) {
            if (!DiffuseOntoPalette(work, &s.img, DiffusionRow, this, &outOfMemory)) {
                SetLastError(outOfMemory ? "Out of memory" : "Cancelled");
                return false;
            }
            SetProgress(100);
            return TakeOverKeepingTransparency(this, &s.img);
        }
    }
    for (int y = 0; y < h; y++) {
        if (GetEscape()) {
            SetLastError("Cancelled");
            return false;
        }
        SetProgress(y * 100 / h);
        if (!errorDiffusion) {
            for (int x = 0; x < w; x++)
                s.img.SetPixelColorRaw(x, y, GetPixelColorRaw(x, y));
            continue;
        }
        for (int x = 0; x < w; x++) {
            RGBQUAD c = work->GetPixelColorRaw(x, y);
            s.img.SetPixelColorRaw(x, y, c);
            RGBQUAD p = s.img.GetPixelColorRaw(x, y);
            int er = (int)c.rgbRed - p.rgbRed, eg = (int)c.rgbGreen - p.rgbGreen, eb = (int)c.rgbBlue - p.rgbBlue;
            if (!er && !eg && !eb)
                continue;
            static const int kDx[4] = {1, -1, 0, 1}, kDy[4] = {0, 1, 1, 1}, kW[4] = {7, 2, 4, 1};
            for (int k = 0; k < 4; k++) {
                int nx = x + kDx[k], ny = y + kDy[k];
                if (!work->IsInside(nx, ny))
                    continue;
                RGBQUAD o = work->GetPixelColorRaw(nx, ny);
                auto add = [&](BYTE v, int e) {
                    int r = v + e * kW[k] / 16;
                    return (BYTE)(r < 0 ? 0 : (r > 255 ? 255 : r));
                };
                work->SetPixelColorRaw(nx, ny, RGBQUAD{add(o.rgbBlue, eb), add(o.rgbGreen, eg), add(o.rgbRed, er), 0});
            }
        }
    }
    SetProgress(100);
    return TakeOverKeepingTransparency(this, &s.img);
}

bool CRaster::IncreaseBpp(int bpp) {
    if (!dib_)
        return false;
    int cur = GetBpp();
    if (bpp == 4 || bpp == 8) {
        if (cur == bpp)
            return true;
        if (cur > bpp)
            return false;
        Scratch s(*this);
        if (!s.img.Create(Width(), Height(), bpp, GetFormatId()))
            return FailFrom(this, s.img);
        s.img.SetPalette(GetPaletteConst(), GetPaletteCount());
        for (int y = 0; y < Height(); y++) {
            if (GetEscape()) {
                SetLastError("Cancelled");
                return false;
            }
            for (int x = 0; x < Width(); x++)
                s.img.SetPixelIndexRaw(x, y, GetPixelIndexRaw(x, y));
        }
        return TakeOver(s.img);
    }
    if (bpp == 24) {
        if (cur == 24)
            return true;
        Scratch s(*this);
        if (!s.img.Create(Width(), Height(), 24, GetFormatId()))
            return FailFrom(this, s.img);
        for (int y = 0; y < Height(); y++) {
            if (GetEscape()) {
                SetLastError("Cancelled");
                return false;
            }
            BYTE* out = s.img.GetRowPointer(y);
            if (cur <= 8 && HasPalette()) {  // by table, straight from the row
                const BYTE* in = GetRowPointer(y);
                const RGBQUAD* pal = GetPaletteConst();
                const int perByte = 8 / cur, mask = (1 << cur) - 1;
                for (int x = 0; x < Width(); x++, out += 3) {
                    int shift = (perByte - 1 - x % perByte) * cur;
                    RGBQUAD c = pal[(in[x / perByte] >> shift) & mask];
                    out[0] = c.rgbBlue, out[1] = c.rgbGreen, out[2] = c.rgbRed;
                }
                continue;
            }
            for (int x = 0; x < Width(); x++) {
                RGBQUAD c = GetPixelColorRaw(x, y);
                out[3 * x] = c.rgbBlue;
                out[3 * x + 1] = c.rgbGreen;
                out[3 * x + 2] = c.rgbRed;
            }
        }
        return TakeOverKeepingTransparency(this, &s.img);
    }
    return false;
}

bool CRaster::GrayScale() {
    if (!dib_)
        return false;
    int w = Width(), h = Height();
    if (GetBpp() == 24) {
        Scratch s(*this);
        if (!s.img.Create(w, h, 8, GetFormatId()))
            return false;
        s.img.SetGrayPalette();
        for (int y = 0; y < h; y++) {
            const BYTE* in = GetRowPointer(y);
            BYTE* out = s.img.GetRowPointer(y);
            for (int x = 0; x < w; x++, in += 3)
                out[x] = (BYTE)((in[2] * 306 + in[1] * 601 + in[0] * 117) >> 10);
        }
        return TakeOverKeepingTransparency(this, &s.img);
    }
    BYTE lum[256] = {};
    int n = GetPaletteCount();
    const RGBQUAD* pal = GetPaletteConst();
    for (int i = 0; i < n; i++)
        lum[i] = (BYTE)Luminance(pal[i]);
    // In place unless there is transparency to carry: visible pixels may
    // take the transparent entry's grey.
    if (GetBpp() == 8 && !IsTransparent()) {
        for (int y = 0; y < h; y++) {
            BYTE* row = GetRowPointer(y);
            for (int x = 0; x < w; x++)
                row[x] = lum[row[x]];
        }
        SetGrayPalette();
        return true;
    }
    Scratch s(*this);
    if (!s.img.Create(w, h, 8, GetFormatId()))
        return FailFrom(this, s.img);
    s.img.SetGrayPalette();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            s.img.SetPixelIndexRaw(x, y, lum[GetPixelIndexRaw(x, y)]);
    return TakeOverKeepingTransparency(this, &s.img);
}

bool CRaster::Negative() {
    if (!dib_)
        return false;
    if (GetBpp() == 24 || IsGrayScale()) {
        BYTE* p = GetPixels();
        for (uint32_t i = 0; i < GetImageSize(); i++)
            p[i] = (BYTE)~p[i];
        if (GetBpp() == 24) {
            RGBQUAD& t = info_.transparentColor;
            t.rgbBlue = (BYTE)~t.rgbBlue;
            t.rgbGreen = (BYTE)~t.rgbGreen;
            t.rgbRed = (BYTE)~t.rgbRed;
        }
        return true;
    }
    RGBQUAD* pal = GetPalette();
    for (int i = 0; i < GetPaletteCount(); i++) {
        pal[i].rgbBlue = (BYTE)~pal[i].rgbBlue;
        pal[i].rgbGreen = (BYTE)~pal[i].rgbGreen;
        pal[i].rgbRed = (BYTE)~pal[i].rgbRed;
    }
    return true;
}

bool CRaster::Flip() {
    if (!dib_)
        return false;
    size_t stride = (size_t)GetRowStride();
    BYTE* tmp = (BYTE*)malloc(stride ? stride : 1);
    if (!tmp)
        return false;
    int h = Height();
    for (int k = 0; k < h / 2; k++) {
        BYTE* a = GetRowPointer(k);
        BYTE* b = GetRowPointer(h - 1 - k);
        memcpy(tmp, a, stride);
        memcpy(a, b, stride);
        memcpy(b, tmp, stride);
    }
    free(tmp);
    return true;
}

bool CRaster::Mirror() {
    if (!dib_)
        return false;
    CRaster s(*this, false);
    if (!s.IsValid())
        return FailFrom(this, s);
    int w = Width(), h = Height();
    for (int y = 0; y < h; y++) {
        const BYTE* in = GetRowPointer(y);
        BYTE* out = s.GetRowPointer(y);
        if (GetBpp() == 8) {
            for (int x = 0; x < w; x++)
                out[x] = in[w - 1 - x];
        } else if (GetBpp() == 24) {
            for (int x = 0; x < w; x++)
                memcpy(out + 3 * x, in + 3 * (w - 1 - x), 3);
        } else {
            for (int x = 0; x < w; x++)
                s.SetPixelIndexRaw(x, y, GetPixelIndexRaw(w - 1 - x, y));
        }
    }
    return TakeOver(s);
}

// Pixel x of a row of kBpp bits (1, 4, 8) or 3 bytes (24).
template <int kBpp>
inline void CopyPixel(const BYTE* from, int fx, BYTE* to, int x) {
    if (kBpp == 24) {
        memcpy(to + 3 * x, from + 3 * fx, 3);
    } else if (kBpp == 8) {
        to[x] = from[fx];
    } else {
        const int perByte = 8 / kBpp, mask = (1 << kBpp) - 1;
        int fromShift = (perByte - 1 - fx % perByte) * kBpp, shift = (perByte - 1 - x % perByte) * kBpp;
        BYTE v = (BYTE)((from[fx / perByte] >> fromShift) & mask);
        BYTE* p = to + x / perByte;
        *p = (BYTE)((*p & ~(mask << shift)) | (v << shift));
    }
}

// Quarter turns in 64 x 64 tiles, straight on the rows: a turn of a large
// picture is tens of millions of pixels. left: counter-clockwise.
template <int kBpp>
void RotateRows(CRaster* self, CRaster* s, bool left) {
    const int ow = self->Width(), oh = self->Height(), nw = oh, nh = ow;
    const BYTE* from = self->GetRowPointer(0);
    BYTE* to = s->GetRowPointer(0);
    const size_t fromStride = (size_t)self->GetRowStride(), toStride = (size_t)s->GetRowStride();
    const int kTile = 64;
    for (int tx = 0; tx < nw; tx += kTile) {
        int ex = tx + kTile < nw ? tx + kTile : nw;
        for (int ty = 0; ty < nh; ty += kTile) {
            int ey = ty + kTile < nh ? ty + kTile : nh;
            for (int y = ty; y < ey; y++) {
                int sx = left ? y : ow - 1 - y;
                BYTE* row = to + (size_t)y * toStride;
                for (int x = tx; x < ex; x++) {
                    int sy = left ? oh - 1 - x : x;
                    CopyPixel<kBpp>(from + (size_t)sy * fromStride, sx, row, x);
                }
            }
        }
        self->SetProgress(ex * 100 / nw);
    }
}

static bool Rotate(CRaster* self, CRaster* dest, bool left) {
    if (!self->IsValid())
        return false;
    int ow = self->Width(), oh = self->Height(), bpp = self->GetBpp();
    CRaster s(0);
    s.CopySettings(*self);
    if (!s.Create(oh, ow, bpp, self->GetFormatId()))
        return FailFrom(self, s);
    if (self->HasPalette())
        s.SetPalette(self->GetPaletteConst(), self->GetPaletteCount());
    switch (bpp) {
        case 1:
            RotateRows<1>(self, &s, left);
            break;
        case 4:
            RotateRows<4>(self, &s, left);
            break;
        case 8:
            RotateRows<8>(self, &s, left);
            break;
        default:
            RotateRows<24>(self, &s, left);
            break;
    }
    if (dest)
        return dest->TakeOver(s);
    return self->TakeOver(s);
}

bool CRaster::RotateLeft(CRaster* dest) {
    return Rotate(this, dest, true);
}

bool CRaster::RotateRight(CRaster* dest) {
    return Rotate(this, dest, false);
}

void CRaster::BitfieldsToRgb(const BYTE* src, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, int srcBpp) {
    if (!dib_ || !src || GetBpp() != 24 || (srcBpp != 16 && srcBpp != 32))
        return;
    int w = Width(), h = Height();
    // The caller's rows: 4-byte padded, fitting in memory as they are there.
    size_t srcStride = (size_t)RasterRowsBytes((uint64_t)w, 1, (uint64_t)srcBpp);
    int rs, rw, gs, gw, bs, bw;
    MaskShape(redMask, &rs, &rw);
    MaskShape(greenMask, &gs, &gw);
    MaskShape(blueMask, &bs, &bw);
    bool plain32 = srcBpp == 32 && redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF;
    // Last row and pixel first, so that src may be this image's own pixels.
    for (int y = h - 1; y >= 0; y--) {
        const BYTE* in = src + (size_t)y * srcStride;
        BYTE* out = GetRowPointer(y);
        for (int x = w - 1; x >= 0; x--) {
            if (plain32) {
                const BYTE* p = in + 4 * (size_t)x;
                BYTE b = p[0], g = p[1], r = p[2];
                out[3 * x] = b;
                out[3 * x + 1] = g;
                out[3 * x + 2] = r;
                continue;
            }
            uint32_t v;
            if (srcBpp == 16) {
                v = (uint32_t)in[2 * x] | ((uint32_t)in[2 * x + 1] << 8);
            } else {
                const BYTE* p = in + 4 * (size_t)x;
                v = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
            }
            BYTE b = FieldValue(v, blueMask, bs, bw);
            BYTE g = FieldValue(v, greenMask, gs, gw);
            BYTE r = FieldValue(v, redMask, rs, rw);
            out[3 * x] = b;
            out[3 * x + 1] = g;
            out[3 * x + 2] = r;
        }
    }
}
