// CRaster: life cycle, accessors, pixel and palette access, colour helpers
// and the row cursor.
#include "image/raster.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"

namespace {

// Entries of the larger nearest-colour cache: bit 31 valid, bits 24-30
// unused, the index in a separate byte array would cost a second miss, so
// an entry is (index << 24) | rgb with a separate valid table.
constexpr int kNearBits = 14;
constexpr int kNearSize = 1 << kNearBits;

uint32_t NearHash(uint32_t rgb) {
    return (rgb * 2654435761u) >> (32 - kNearBits);
}

int PaletteCountOf(int bpp) {
    return bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
}

// Kept within the header field: the largest DPIs round past it.
int PelsPerMeter(int dpi) {
    double ppm = floor(dpi * 10000.0 / 254.0 + 0.5);
    return ppm < (double)INT32_MAX ? (int)ppm : INT32_MAX;
}

}  // namespace

uint64_t RasterRowsBytes(uint64_t width, uint64_t height, uint64_t bpp) {
    if (bpp != 0 && width > (UINT64_MAX - 31) / bpp)
        return UINT64_MAX;
    uint64_t stride = ((width * bpp + 31) >> 5) << 2;
    if (height != 0 && stride > UINT64_MAX / height)
        return UINT64_MAX;
    return stride * height;
}

CRaster::CRaster(uint32_t formatId) {
    Reset(formatId);
}

CRaster::CRaster(int width, int height, int bpp, uint32_t formatId) {
    Reset(formatId);
    Create(width, height, bpp, formatId);
}

CRaster::CRaster(const CRaster& src, bool copyPixels) {
    Reset(src.info_.formatId);
    Copy(src, copyPixels);
}

CRaster::~CRaster() {
    DestroyFrames();
    Destroy();
    free(nearTable_);
}

void CRaster::Reset(uint32_t formatId) {
    if (!info_.aliasOf) {  // an owner frees what it holds; an alias just lets go
        DestroyFrames();
        Destroy();
    }
    dib_ = nullptr;
    frames_ = nullptr;
    framesHeld_ = 0;
    memset(&head_, 0, sizeof(head_));
    memset(&info_, 0, sizeof(info_));
    info_.formatId = formatId;
    info_.jpegQuality = 90.0f;
    info_.transparentIndex = -1;
    info_.jpegScale = 1;
    SetXDpi(96);
    SetYDpi(96);
    info_.littleEndianHost = 1;
    InvalidateColorCache();
}

BYTE* CRaster::Create(int width, int height, int bpp, uint32_t formatId) {
    if (!Destroy())
        return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("CRaster::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp < 9 ? 8 : 24;
    // The real block size, in 64 bits.
    uint64_t w = (uint32_t)width, h = (uint32_t)height;
    uint64_t stride = RasterRowsBytes(w, 1, (uint64_t)bpp);
    if (width < 0 || height < 0 || RasterRowsBytes(w, h, (uint64_t)bpp) > kRasterMaxMemory) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return nullptr;
    }
    int palCount = PaletteCountOf(bpp);
    info_.formatId = formatId;
    info_.rowStride = (int32_t)stride;
    memset(&head_, 0, sizeof(head_));
    head_.biSize = 40;
    head_.biWidth = width;
    head_.biHeight = height;
    head_.biPlanes = 1;
    head_.biBitCount = (WORD)bpp;
    head_.biCompression = BI_RGB;
    head_.biSizeImage = (DWORD)(stride * h);
    head_.biXPelsPerMeter = PelsPerMeter(info_.xDpi);
    head_.biYPelsPerMeter = PelsPerMeter(info_.yDpi);
    head_.biClrUsed = (DWORD)palCount;
    head_.biClrImportant = 0;
    info_.alphaPalette = 0;  // the palette starts zeroed
    // Zeroed: a short decode must never show an earlier owner's memory.
    dib_ = (BYTE*)calloc(1, 40 + 4 * (size_t)palCount + (size_t)head_.biSizeImage);
    if (!dib_) {
        memset(&head_, 0, sizeof(head_));
        info_.rowStride = 0;
        info_.pixels = nullptr;
        SetLastError("CRaster::Create can't allocate memory");
        return nullptr;
    }
    memcpy(dib_, &head_, 40);
    info_.pixels = dib_ + 40 + 4 * palCount;
    InvalidateColorCache();
    return dib_;
}

bool CRaster::Destroy() {
    if (info_.aliasOf)
        return false;
    free(dib_);
    dib_ = nullptr;
    info_.pixels = nullptr;
    return true;
}

bool CRaster::DestroyFrames() {
    if (info_.aliasOf)
        return false;
    if (!frames_)
        return true;
    for (int i = 0; i < framesHeld_; i++)
        delete frames_[i];
    free(frames_);
    frames_ = nullptr;
    framesHeld_ = 0;
    info_.frameCount = 0;
    return true;
}

CRaster* CRaster::GetFrame(int i) const {
    if (!frames_ || i < 0 || i >= framesHeld_)
        return nullptr;
    return frames_[i];
}

bool CRaster::AddFrame(CRaster* frame) {
    if (!frame || info_.aliasOf)
        return false;
    CRaster** grown = (CRaster**)realloc(frames_, sizeof(CRaster*) * (size_t)(framesHeld_ + 1));
    if (!grown)
        return false;
    frames_ = grown;
    frames_[framesHeld_++] = frame;
    return true;
}

bool CRaster::Copy(const CRaster& src, bool copyPixels) {
    if (src.info_.aliasOf) {
        MakeAlias(const_cast<CRaster*>(&src));
        return true;
    }
    if (&src == this)
        return true;
    if (info_.aliasOf)
        return false;
    ImageInfo keep = src.info_;
    keep.pixels = nullptr;
    keep.aliasOf = nullptr;
    keep.escape = 0;
    keep.frameCount = info_.frameCount;  // our frame array stays ours
    info_ = keep;
    head_ = src.head_;
    if (!src.dib_) {
        Destroy();
        memset(&head_, 0, sizeof(head_));
        info_.rowStride = 0;
        return true;
    }
    if (!Create(src.Width(), src.Height(), src.GetBpp(), src.info_.formatId))
        return false;
    head_ = src.head_;
    memcpy(dib_, &head_, 40);
    if (copyPixels)
        memcpy(dib_, src.dib_, src.GetDibSize());
    else if (src.GetPaletteCount())
        memcpy(dib_ + 40, src.dib_ + 40, (size_t)src.GetPaletteSize());
    info_.alphaPalette = src.info_.alphaPalette;  // the palette came with its alpha
    InvalidateColorCache();
    return true;
}

void CRaster::CopySettings(const CRaster& src) {
    if (dib_ || &src == this)
        return;
    int32_t frames = info_.frameCount;
    info_ = src.info_;
    info_.rowStride = 0;
    info_.pixels = nullptr;
    info_.aliasOf = nullptr;
    info_.escape = 0;
    info_.progress = 0;
    info_.cacheValid = 0;
    info_.frameCount = frames;
}

void CRaster::MakeAlias(CRaster* src) {
    if (!src || src == this)
        return;
    if (!info_.aliasOf) {
        DestroyFrames();
        Destroy();
    }
    head_ = src->head_;
    info_ = src->info_;
    dib_ = src->dib_;
    frames_ = src->frames_;
    framesHeld_ = src->framesHeld_;
    info_.aliasOf = src;
    InvalidateColorCache();
}

bool CRaster::TakeOver(CRaster& src, bool withFrames) {
    if (&src == this)
        return true;
    if (info_.aliasOf) {
        // An alias lets go of the image it shows, which stays as it was,
        // and owns src's pixels from here on.
        dib_ = nullptr;
        info_.pixels = nullptr;
        frames_ = nullptr;
        framesHeld_ = 0;
        info_.frameCount = 0;
        info_.aliasOf = nullptr;
    }
    if (!Destroy())
        return false;
    int32_t frames = info_.frameCount;
    head_ = src.head_;
    info_ = src.info_;
    info_.aliasOf = nullptr;
    dib_ = src.dib_;
    if (withFrames) {
        DestroyFrames();
        frames_ = src.frames_;
        framesHeld_ = src.framesHeld_;
        info_.frameCount = src.info_.frameCount;
        src.frames_ = nullptr;
        src.framesHeld_ = 0;
    } else {
        info_.frameCount = frames;
    }
    memset(&src.head_, 0, sizeof(src.head_));
    memset(&src.info_, 0, sizeof(src.info_));
    src.dib_ = nullptr;
    InvalidateColorCache();
    src.InvalidateColorCache();
    return true;
}

bool CRaster::SetFormatId(uint32_t id) {
    if ((id >= 1 && id <= 8) || id == 10) {
        info_.formatId = id;
        return true;
    }
    info_.formatId = 0;
    return false;
}

void CRaster::SetLastError(const char* text) {
    StrCopy(info_.lastError, countof(info_.lastError), text ? text : "");
}

void CRaster::SetXDpi(int dpi) {
    if (dpi < 1)
        dpi = 96;
    info_.xDpi = dpi;
    head_.biXPelsPerMeter = PelsPerMeter(dpi);
    if (dib_ && !info_.aliasOf)
        ((BITMAPINFOHEADER*)dib_)->biXPelsPerMeter = head_.biXPelsPerMeter;
}

void CRaster::SetYDpi(int dpi) {
    if (dpi < 1)
        dpi = 96;
    info_.yDpi = dpi;
    head_.biYPelsPerMeter = PelsPerMeter(dpi);
    if (dib_ && !info_.aliasOf)
        ((BITMAPINFOHEADER*)dib_)->biYPelsPerMeter = head_.biYPelsPerMeter;
}

void CRaster::SetColorsImportant(int n) {
    int bpp = GetBpp();
    if (n >= 1 && n <= 256) {
        if (bpp == 1)
            head_.biClrImportant = n < 2 ? n : 2;
        else if (bpp == 4)
            head_.biClrImportant = n < 16 ? n : 16;
        else if (bpp == 8)
            head_.biClrImportant = n;
    } else {
        head_.biClrImportant = 0;
    }
    if (dib_)
        ((BITMAPINFOHEADER*)dib_)->biClrImportant = head_.biClrImportant;
    InvalidateColorCache();
}

bool CRaster::SetTransparentIndex(int index) {
    if (index == -1 || (index >= 0 && index < GetPaletteCount())) {
        info_.transparentIndex = index;
        return true;
    }
    return false;
}

RGBQUAD CRaster::GetTransparentColor() const {
    if (GetBpp() < 24 && info_.transparentIndex >= 0)
        return GetPaletteColor(info_.transparentIndex);
    return info_.transparentColor;
}

void CRaster::SetTransparentColor(RGBQUAD c) {
    c.rgbReserved = 0;
    info_.transparentColor = c;
}

bool CRaster::IsTransparentPixel(int x, int y) const {
    if (!IsTransparent())
        return false;
    if (GetBpp() < 24)
        return GetPixelIndexRaw(x, y) == info_.transparentIndex;
    RGBQUAD c = GetPixelColorRaw(x, y), t = info_.transparentColor;
    return c.rgbBlue == t.rgbBlue && c.rgbGreen == t.rgbGreen && c.rgbRed == t.rgbRed;
}

int CRaster::FormatIndex(uint32_t formatId) {
    if (formatId >= 1 && formatId <= 8)
        return (int)formatId;
    if (formatId == 10)
        return 9;
    return 0;
}

void CRaster::SetFormatOption(uint32_t value, uint32_t formatId) {
    int slot = FormatIndex(formatId);
    if (slot == 0)
        slot = FormatIndex(info_.formatId);
    info_.formatOptions[slot] = value;
}

uint32_t CRaster::GetFormatOption(uint32_t formatId) const {
    int slot = FormatIndex(formatId);
    if (slot == 0)
        slot = FormatIndex(info_.formatId);
    return info_.formatOptions[slot];
}

// --- pixels ---------------------------------------------------------------

BYTE CRaster::GetPixelIndexRaw(int x, int y) const {
    const BYTE* row = info_.pixels + (size_t)y * info_.rowStride;
    switch (GetBpp()) {
        case 8:
            return row[x];
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return 0;
}

BYTE CRaster::GetPixelIndex(int x, int y) const {
    if (!dib_ || !HasPalette())
        return 0;
    if (!IsInside(x, y))
        return info_.transparentIndex >= 0 ? (BYTE)info_.transparentIndex : info_.pixels[0];
    return GetPixelIndexRaw(x, y);
}

void CRaster::SetPixelIndexRaw(int x, int y, BYTE index) {
    BYTE* row = info_.pixels + (size_t)y * info_.rowStride;
    switch (GetBpp()) {
        case 8:
            row[x] = index;
            break;
        case 4: {
            BYTE* p = row + (x >> 1);
            if (x & 1)
                *p = (BYTE)((*p & 0xF0) | (index & 0x0F));
            else
                *p = (BYTE)((*p & 0x0F) | ((index & 0x0F) << 4));
            break;
        }
        case 1: {
            BYTE* p = row + (x >> 3);
            BYTE bit = (BYTE)(0x80 >> (x & 7));
            if (index & 1)
                *p |= bit;
            else
                *p &= (BYTE)~bit;
            break;
        }
    }
}

void CRaster::SetPixelIndex(int x, int y, BYTE index) {
    if (!dib_ || !HasPalette() || !IsInside(x, y))
        return;
    SetPixelIndexRaw(x, y, index);
}

RGBQUAD CRaster::GetPixelColorRaw(int x, int y) const {
    if (HasPalette()) {
        RGBQUAD c = ((const RGBQUAD*)(dib_ + 40))[GetPixelIndexRaw(x, y)];
        c.rgbReserved = 0;
        return c;
    }
    const BYTE* p = info_.pixels + (size_t)y * info_.rowStride + 3 * (size_t)x;
    return RGBQUAD{p[0], p[1], p[2], 0};
}

RGBQUAD CRaster::GetPixelColor(int x, int y) const {
    if (dib_ && IsInside(x, y))
        return GetPixelColorRaw(x, y);
    if (GetBpp() < 24 && info_.transparentIndex >= 0)
        return GetPaletteColor(info_.transparentIndex);
    if (info_.transparentIndex < 0) {
        if (dib_)
            return GetPixelColorRaw(0, 0);
        return RGBQUAD{0, 0, 0, 0};
    }
    return info_.transparentColor;
}

void CRaster::SetPixelColorRaw(int x, int y, RGBQUAD c) {
    if (HasPalette()) {
        SetPixelIndexRaw(x, y, NearestPaletteIndex(c));
        return;
    }
    BYTE* p = info_.pixels + (size_t)y * info_.rowStride + 3 * (size_t)x;
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
}

void CRaster::SetPixelColor(int x, int y, RGBQUAD c) {
    if (!dib_ || !IsInside(x, y))
        return;
    SetPixelColorRaw(x, y, c);
}

void CRaster::SetPixelColorRef(int x, int y, COLORREF c) {
    SetPixelColor(x, y, RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0});
}

BYTE* CRaster::GetPixelPointer(int x, int y) const {
    if (!dib_ || HasPalette() || !IsInside(x, y))
        return nullptr;
    return info_.pixels + (size_t)y * info_.rowStride + 3 * (size_t)x;
}

BYTE* CRaster::GetRowPointer(int n) const {
    if (!dib_ || n < 0 || n >= Height())
        return nullptr;
    return info_.pixels + (size_t)n * info_.rowStride;
}

void CRaster::Clear(BYTE value) {
    if (!dib_ || !info_.pixels)
        return;
    BYTE v = value;
    if (GetBpp() == 1)
        v = value ? 0xFF : 0;
    else if (GetBpp() == 4)
        v = (BYTE)((value & 0x0F) * 17);
    memset(info_.pixels, v, head_.biSizeImage);
}

// --- palette --------------------------------------------------------------

void CRaster::InvalidateColorCache() {
    info_.cacheValid = 0;
    if (nearTable_)
        memset(nearTable_, 0, 2 * kNearSize * sizeof(uint32_t));
}

RGBQUAD* CRaster::GetPalette() {
    if (!dib_ || !HasPalette())
        return nullptr;
    InvalidateColorCache();
    return (RGBQUAD*)(dib_ + 40);
}

const RGBQUAD* CRaster::GetPaletteConst() const {
    if (!dib_ || !HasPalette())
        return nullptr;
    return (const RGBQUAD*)(dib_ + 40);
}

RGBQUAD CRaster::GetPaletteColor(int index) const {
    const RGBQUAD* pal = GetPaletteConst();
    if (!pal || index < 0 || index >= GetPaletteCount())
        return RGBQUAD{0, 0, 0, 0};
    return pal[index];
}

void CRaster::SetPaletteColor(int index, BYTE r, BYTE g, BYTE b, BYTE reserved) {
    SetPaletteColor(index, RGBQUAD{b, g, r, reserved});
}

void CRaster::SetPaletteColor(int index, RGBQUAD c) {
    RGBQUAD* pal = GetPalette();
    if (!pal || index < 0 || index >= GetPaletteCount())
        return;
    pal[index] = c;
}

void CRaster::SetPalette(const RGBQUAD* entries, int n) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !entries || n <= 0)
        return;
    size_t cb = 4 * (size_t)n;
    if (cb > (size_t)GetPaletteSize())
        cb = (size_t)GetPaletteSize();
    memcpy(pal, entries, cb);
}

void CRaster::SetPalette(int n, const BYTE* red, const BYTE* green, const BYTE* blue) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !red)
        return;
    if (!green)
        green = red;
    if (!blue)
        blue = green;
    for (int i = 0; i < n && i < GetPaletteCount(); i++)
        pal[i] = RGBQUAD{blue[i], green[i], red[i], 0};
    info_.alphaPalette = 0;
}

void CRaster::SetPaletteRgb(const BYTE* rgb, int n) {
    RGBQUAD* pal = GetPalette();
    if (!pal || !rgb)
        return;
    for (int i = 0; i < n && i < GetPaletteCount(); i++)
        pal[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
    info_.alphaPalette = 0;
}

bool CRaster::IsGrayScale() const {
    const RGBQUAD* pal = GetPaletteConst();
    if (!pal)
        return false;
    for (int i = 0; i < GetPaletteCount(); i++)
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i)
            return false;
    return true;
}

void CRaster::SetGrayPalette() {
    RGBQUAD* pal = GetPalette();
    int n = GetPaletteCount();
    if (!pal || n < 2)
        return;
    for (int i = 0; i < n; i++) {
        BYTE v = (BYTE)(i * (255 / (n - 1)));
        pal[i] = RGBQUAD{v, v, v, 0};
    }
    info_.alphaPalette = 0;
}

void CRaster::SetStandardPalette() {
    const RGBQUAD* std = StandardPalette(GetBpp());
    if (std) {
        SetPalette(std, GetPaletteCount());
        info_.alphaPalette = 0;
    }
}

void CRaster::SwapIndex(BYTE a, BYTE b) {
    RGBQUAD* pal = GetPalette();
    int n = GetPaletteCount();
    if (!pal || a >= n || b >= n || a == b)
        return;
    RGBQUAD t = pal[a];
    pal[a] = pal[b];
    pal[b] = t;
    for (int y = 0; y < Height(); y++)
        for (int x = 0; x < Width(); x++) {
            BYTE i = GetPixelIndexRaw(x, y);
            if (i == a)
                SetPixelIndexRaw(x, y, b);
            else if (i == b)
                SetPixelIndexRaw(x, y, a);
        }
}

BYTE CRaster::NearestPaletteIndex(RGBQUAD c) {
    const RGBQUAD* pal = GetPaletteConst();
    if (!pal)
        return 0;
    uint32_t rgb = (uint32_t)c.rgbBlue | ((uint32_t)c.rgbGreen << 8) | ((uint32_t)c.rgbRed << 16);
    if (info_.cacheValid && info_.lastColor.rgbBlue == c.rgbBlue && info_.lastColor.rgbGreen == c.rgbGreen &&
        info_.lastColor.rgbRed == c.rgbRed)
        return info_.lastIndex;
    // Second level: a direct-mapped table of earlier answers (key, index).
    if (!nearTable_)
        nearTable_ = (uint32_t*)calloc(2 * kNearSize, sizeof(uint32_t));
    uint32_t slot = NearHash(rgb);
    if (nearTable_ && nearTable_[2 * slot] == (rgb | 0x80000000u)) {
        BYTE idx = (BYTE)nearTable_[2 * slot + 1];
        info_.lastColor = RGBQUAD{c.rgbBlue, c.rgbGreen, c.rgbRed, 0};
        info_.lastIndex = idx;
        info_.cacheValid = 1;
        return idx;
    }
    info_.lastColor = RGBQUAD{c.rgbBlue, c.rgbGreen, c.rgbRed, 0};
    info_.cacheValid = 1;
    int k = GetColorsImportant() ? GetColorsImportant() : GetPaletteCount();
    if (k > GetPaletteCount())
        k = GetPaletteCount();
    int best = 200000, found = 0;
    for (int i = 0; i < k; i++) {
        int db = (int)pal[i].rgbBlue - c.rgbBlue;
        int dg = (int)pal[i].rgbGreen - c.rgbGreen;
        int dr = (int)pal[i].rgbRed - c.rgbRed;
        int d = db * db + dg * dg + dr * dr;
        if (d < best) {
            best = d;
            found = i;
            if (d == 0)
                break;
        }
    }
    info_.lastIndex = (BYTE)found;
    if (nearTable_) {
        nearTable_[2 * slot] = rgb | 0x80000000u;
        nearTable_[2 * slot + 1] = (uint32_t)found;
    }
    return (BYTE)found;
}

int CRaster::CompareLuminance(const void* a, const void* b) {
    const BYTE* p = (const BYTE*)a;
    const BYTE* q = (const BYTE*)b;
    int la = (p[2] * 306 + p[1] * 601 + p[0] * 117) >> 10;
    int lb = (q[2] * 306 + q[1] * 601 + q[0] * 117) >> 10;
    return la - lb;
}

void CRaster::SwapRedBlueRow(BYTE* buffer, int length) const {
    if (!buffer || GetBpp() != 24 || length <= 0)
        return;
    int n = length;
    if (n > info_.rowStride)
        n = info_.rowStride;
    if (n > 3 * Width())
        n = 3 * Width();
    for (int i = 0; i + 2 < n; i += 3) {
        BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
    // A last partial triplet has no third byte inside n: nothing to swap.
}

uint32_t CRaster::Swap32(uint32_t v) const {
    if (info_.littleEndianHost)
        return v;
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

uint16_t CRaster::Swap16(uint16_t v) const {
    if (info_.littleEndianHost)
        return v;
    return (uint16_t)((v >> 8) | (v << 8));
}

void CRaster::UpdateDibHeader() {
    if (dib_)
        memcpy(dib_, &head_, 40);
}

// --- row cursor -----------------------------------------------------------

RowIterator::RowIterator(CRaster* image) : image_(image) {
    ptr_ = image_ ? image_->GetPixels() : nullptr;
}

BYTE* RowIterator::SetRow(int n) {
    if (!image_ || !image_->GetPixels() || n < 0 || n > image_->Height())
        return nullptr;
    row_ = n;
    ptr_ = image_->GetPixels() + (size_t)n * image_->GetRowStride();
    return ptr_;
}

void RowIterator::MoveToTop() {
    if (image_ && image_->Height() > 0)
        SetRow(image_->Height() - 1);
}

bool RowIterator::WriteRow(const BYTE* buffer, int count) {
    if (!ptr_ || !buffer || count <= 0 || row_ >= image_->Height())
        return false;
    if (count > image_->GetRowStride())
        count = image_->GetRowStride();
    memcpy(ptr_, buffer, (size_t)count);
    return true;
}

bool RowIterator::MoveDown() {
    if (!ptr_ || row_ <= 0)
        return false;
    row_--;
    ptr_ -= image_->GetRowStride();
    return true;
}
