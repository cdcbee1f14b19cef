// ICO codec.
//
// Reads: one entry of an icon or cursor file, chosen by the current frame:
//   bitmap entries of 1, 4, 8, 16 (5-5-5), 24 and 32 bits (as 24 bits)
//   of any size the entry's own header gives (also 256 x 256), or PNG
//   entries (recognised by the PNG signature, whatever the directory says).
//   The AND mask becomes a transparent index for palette images (at the
//   next depth when every index is in use, or for 8 bits an index freed
//   from two equal entries, else 24 bits with a free colour: visible black
//   stays black) and a transparent colour of no visible pixel for true
//   colour; a 32-bit entry whose alpha is used has the pixels below half
//   alpha transparent instead.
// Writes: one entry; images up to 255 pixels on a side as a bitmap with
//   its AND mask (masked pixels black in the colour bitmap), larger ones as
//   a PNG entry.
#include "image/raster_ico.h"

#include <stdlib.h>
#include <string.h>

#include "image/byte_order.h"
#include "image/raster_file.h"

namespace {

constexpr int kIconHeaderSize = 6;
constexpr int kEntrySize = 16;
constexpr int kInfoSize = 40;
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Whether two palette entries hold one colour: one of them can be freed
// with no visible change.
bool HasEqualEntries(const CRaster& img) {
    const RGBQUAD* pal = img.GetPaletteConst();
    for (int j = 1; j < img.GetPaletteCount(); j++)
        for (int i = 0; i < j; i++)
            if (CRaster::SameRgb(pal[i], pal[j]))
                return true;
    return false;
}

// Gives a palette image the transparency its AND mask describes with no
// visible colour changed. Where visible pixels use every index (a 1-bit
// icon with black and white, a 4-bit one with all 16), the image first goes
// to the next depth, which has spare indices; an 8-bit one whose entries
// all differ goes to 24 bits, where a colour of no visible pixel becomes
// the transparent one. The image's own rule does the rest (an 8-bit icon
// frees one of two equal entries).
void ApplyMask(CRaster* img, const BYTE* mask, uint32_t maskRow) {
    bool used[256] = {};
    for (int y = 0; y < img->Height(); y++)
        for (int x = 0; x < img->Width(); x++)
            if (!CRaster::MaskBit(mask, maskRow, x, y))
                used[img->GetPixelIndexRaw(x, y)] = true;
    bool full = true;
    for (int i = 0; i < img->GetPaletteCount(); i++)
        full = full && used[i];
    if (full && img->GetBpp() < 8 && img->IncreaseBpp(img->GetBpp() == 1 ? 4 : 8))
        full = false;
    if (full && !HasEqualEntries(*img))
        img->IncreaseBpp(24);
    img->ApplyTransparencyMask(mask, maskRow);
}

// A mask of the pixels of 32-bit rows (bottom-up, as the mask) whose alpha
// is below half; false when every alpha byte is 0 (no alpha: the AND mask
// tells).
bool MaskFromAlpha(const BYTE* data, int w, int h, BYTE* mask, uint32_t maskRow) {
    const size_t pixels = (size_t)w * h;
    size_t i = 0;
    while (i < pixels && data[4 * i + 3] == 0)
        i++;
    if (i == pixels)
        return false;
    memset(mask, 0, (size_t)maskRow * h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (data[4 * ((size_t)y * w + x) + 3] < 128)
                CRaster::SetMaskBit(mask, maskRow, x, y);
    return true;
}

}  // namespace

// A PNG entry at offset from start, read by the PNG codec and taken over
// with the entry count as the frame count.
bool CRasterICO::DecodePngEntry(CRasterFile* f, long at, uint16_t count) {
    CRaster png(0);
    png.SetEscape(GetEscape());
    if (!f->Seek(at, 0) || !png.Decode(f, kFormatPng)) {
        SetLastError(png.GetLastError()[0] ? png.GetLastError() : "truncated icon data");
        return false;
    }
    uint32_t escape = GetEscape();
    if (png.IsValid() && !TakeOver(png, true))
        return false;
    if (!IsValid()) {  // size only: the PNG reader gave the size alone
        head_.biWidth = png.Width();
        head_.biHeight = png.Height();
    }
    SetEscape(escape);
    SetFrameCount(count);
    SetFormatId(kFormatIco);
    return true;
}

// The colour table after the entry's header: colors entries, or the full
// table of the depth; entries past the image's palette are skipped.
bool CRasterICO::ReadIconPalette(CRasterFile* f, uint32_t colors, int bpp) {
    uint32_t tableSize = colors ? colors : bpp <= 8 ? 1u << bpp : 0;
    uint32_t keep = tableSize < (uint32_t)GetPaletteCount() ? tableSize : (uint32_t)GetPaletteCount();
    RGBQUAD table[256];
    if (f->Read(table, 4, keep) != keep || !f->Seek((long)(tableSize - keep) * 4, 1)) {
        SetLastError("truncated icon data");
        return false;
    }
    for (uint32_t i = 0; i < keep; i++)
        SetPaletteColor((int)i, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    return true;
}

// The colour bitmap (16 and 32 bits converted to 24) and the AND mask: a
// mask with every bit set gives a negative image with transparent index 0,
// another one the image's transparency (of a 32-bit entry with alpha, the
// alpha's). Short colour or mask data leaves the picture as far as it was
// read; the rest stays zero.
bool CRasterICO::ReadIconPixels(CRasterFile* f, int bpp, uint64_t pixelBytes) {
    uint32_t maskRow = MaskRowBytes(Width());
    size_t maskSize = (size_t)maskRow * Height();
    BYTE* data = bpp == 16 || bpp == 32 ? (BYTE*)calloc((size_t)pixelBytes, 1) : nullptr;
    BYTE* mask = (BYTE*)malloc(maskSize);
    if (!mask || ((bpp == 16 || bpp == 32) && !data)) {
        free(data);
        free(mask);
        SetLastError("can't allocate memory");
        return false;
    }
    bool whole;
    if (data) {
        whole = f->Read(data, 1, (size_t)pixelBytes) == pixelBytes;
        if (bpp == 16)
            BitfieldsToRgb(data, 0x7C00, 0x03E0, 0x001F, 16);
        else
            BitfieldsToRgb(data, 0xFF0000, 0x00FF00, 0x0000FF, 32);
    } else {
        whole = f->Read(GetPixels(), 1, (size_t)pixelBytes) == pixelBytes;
    }
    if (whole && bpp == 32 && MaskFromAlpha(data, Width(), Height(), mask, maskRow)) {
        ApplyTransparencyMask(mask, maskRow);  // the alpha wins over the AND mask
    } else if (whole && f->Read(mask, 1, maskSize) == maskSize) {
        bool allSet = true;
        for (size_t i = 0; i < maskSize && allSet; i++)
            allSet = mask[i] == 0xFF;
        if (allSet) {
            SetTransparentIndex(0);
            Negative();
        } else if (bpp <= 8) {
            ApplyMask(this, mask, maskRow);
        } else {
            ApplyTransparencyMask(mask, maskRow);
        }
    }
    free(data);
    free(mask);
    return true;
}

// A bitmap entry from its 40-byte header on (the stream is just past it);
// size is the stream's size.
bool CRasterICO::DecodeBitmapEntry(CRasterFile* f, const BYTE* info, long size) {
    int32_t width = (int32_t)LoadLe32(info + 4), height2 = (int32_t)LoadLe32(info + 8);
    int bpp = LoadLe16(info + 14);
    uint32_t colors = LoadLe32(info + 32);
    int height = height2 / 2;
    if (LoadLe32(info) != kInfoSize || width <= 0 || height <= 0 || LoadLe32(info + 16) != 0 || colors > 256 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        SetLastError("bad icon entry");
        return false;
    }
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = width;
        head_.biHeight = height;
        SetFormatId(kFormatIco);
        return true;
    }
    // The colour bitmap must be there before its block is made.
    uint64_t pixelBytes = RasterRowsBytes((uint32_t)width, (uint32_t)height, (uint32_t)bpp);
    if (pixelBytes > (uint64_t)(size - f->Tell())) {
        SetLastError("truncated icon data");
        return false;
    }
    if (!Create(width, height, bpp, kFormatIco))
        return false;
    return ReadIconPalette(f, colors, bpp) && ReadIconPixels(f, bpp, pixelBytes);
}

bool CRasterICO::DecodeIco(CRasterFile* f) {
    if (!f)
        return false;
    long start = f->Tell();
    BYTE head[kIconHeaderSize];
    if (f->Read(head, 1, sizeof(head)) != sizeof(head))
        return false;
    uint16_t type = LoadLe16(head + 2), count = LoadLe16(head + 4);
    if (LoadLe16(head) != 0 || (type != 1 && type != 2) || count == 0)
        return false;
    SetFrameCount(count);
    int frame = GetCurrentFrame();
    BYTE entry[kEntrySize];
    if (frame < 0 || frame >= count || !f->Seek(start + kIconHeaderSize + (long)frame * kEntrySize, 0) ||
        f->Read(entry, 1, sizeof(entry)) != sizeof(entry))
        return false;
    uint32_t offset = LoadLe32(entry + 12);
    long size = f->Size();
    BYTE info[kInfoSize];
    if (size < 0 || (uint64_t)start + offset > (uint64_t)size || !f->Seek(start + (long)offset, 0) ||
        f->Read(info, 1, sizeof(info)) != sizeof(info)) {
        SetLastError("truncated icon data");
        return false;
    }
    if (memcmp(info, kPngSignature, sizeof(kPngSignature)) == 0)
        return DecodePngEntry(f, start + (long)offset, count);
    return DecodeBitmapEntry(f, info, size);
}

bool CRasterICO::EncodeIco(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    int width = Width(), height = Height(), bpp = GetBpp();
    if (bpp <= 8 && !HasPalette()) {
        SetLastError("palette missing");
        return false;
    }
    uint32_t maskRow = MaskRowBytes(width);
    uint32_t maskSize = maskRow * (uint32_t)height;
    bool png = width > 255 || height > 255;
    BYTE head[kIconHeaderSize + kEntrySize] = {};
    StoreLe16(head + 2, 1);
    StoreLe16(head + 4, 1);
    BYTE* e = head + kIconHeaderSize;
    e[0] = png ? 0 : (BYTE)width;
    e[1] = png ? 0 : (BYTE)height;
    e[2] = (BYTE)GetPaletteCount();
    StoreLe16(e + 6, (uint16_t)bpp);
    StoreLe32(e + 8, GetImageSize() + GetPaletteSize() + maskSize + kInfoSize);
    StoreLe32(e + 12, sizeof(head));

    if (png) {
        CRasterMemFile mem;
        if (!mem.Open() || !Encode(&mem, kFormatPng))
            return false;
        size_t n = (size_t)mem.Size();
        StoreLe32(e + 8, (uint32_t)n);
        if (f->Write(head, 1, sizeof(head)) != sizeof(head) || f->Write(mem.GetBuffer(), 1, n) != n) {
            SetLastError("cannot write icon file");
            return false;
        }
        return true;
    }

    BYTE info[kInfoSize] = {};
    StoreLe32(info, kInfoSize);
    StoreLe32(info + 4, (uint32_t)width);
    StoreLe32(info + 8, (uint32_t)height * 2);
    StoreLe16(info + 12, 1);
    StoreLe16(info + 14, (uint16_t)bpp);
    StoreLe32(info + 20, GetImageSize());
    BYTE* mask = (BYTE*)calloc(maskSize, 1);
    BYTE* row = (BYTE*)malloc((size_t)GetRowStride());
    if (!mask || !row) {
        free(mask);
        free(row);
        SetLastError("can't allocate memory");
        return false;
    }
    bool ok = f->Write(head, 1, sizeof(head)) == sizeof(head) && f->Write(info, 1, sizeof(info)) == sizeof(info);
    // The transparent entry is black in the file: masked pixels then leave
    // the screen as it is.
    for (int i = 0; i < GetPaletteCount() && ok; i++) {
        RGBQUAD c = GetPaletteColor(i);
        if (i == GetTransparentIndex())
            c = RGBQUAD{0, 0, 0, 0};
        c.rgbReserved = 0;
        ok = f->Write(&c, 4, 1) == 1;
    }
    for (int y = 0; y < height && ok; y++) {
        memcpy(row, GetRowPointer(y), (size_t)GetRowStride());
        for (int x = 0; x < width; x++) {
            if (!IsTransparentPixel(x, y))
                continue;
            SetMaskBit(mask, maskRow, x, y);
            if (bpp == 24)
                memset(row + 3 * x, 0, 3);
        }
        ok = f->Write(row, 1, (size_t)GetRowStride()) == (size_t)GetRowStride();
    }
    ok = ok && f->Write(mask, 1, maskSize) == maskSize;
    free(mask);
    free(row);
    if (!ok)
        SetLastError("cannot write icon file");
    return ok;
}

static CRaster* NewIco() {
    return new CRasterICO();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterICO*>(codec)->DecodeIco(f);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterICO*>(codec)->EncodeIco(f);
}

const RasterCodec kIcoCodec = {kFormatIco, NewIco, DecodeThunk, EncodeThunk, false};
