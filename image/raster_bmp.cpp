// BMP codec.
//
// Reads: Windows bitmaps with or without the 14-byte file header; info
//   headers of 12 (OS/2 1.x core, 3-byte palette), 40, 52, 56, 64 (OS/2 2.x),
//   108 (V4) and 124 (V5) bytes and other sizes above 40 that look sane;
//   1/4/8 bits raw, RLE8 and RLE4; 16 and 32 bits raw or with bit-field
//   masks (any contiguous masks, converted to 24 bits); 24 bits raw;
//   bottom-up and top-down rows.
// Writes: the image's own depth (1, 4, 8 or 24 bits), 40-byte header,
//   uncompressed, bottom-up.
// Limits: no alpha (the fourth byte of 32-bit data is dropped); embedded
//   JPEG/PNG, colour profiles and Huffman/RLE24 OS/2 data are refused.
//   Short data is an error; an RLE stream too short to cover its picture
//   (its rows, or a row of 16,384 pixels for every 2 bytes) is refused.
#include "image/raster_bmp.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

namespace {

uint32_t U32(const BYTE* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

uint16_t U16(const BYTE* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}

void Put32(BYTE* p, uint32_t v) {
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
    p[2] = (BYTE)(v >> 16);
    p[3] = (BYTE)(v >> 24);
}

void Put16(BYTE* p, uint16_t v) {
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
}

struct BmpInfo {
    BITMAPINFOHEADER h;
    uint32_t masks[3];  // red, green, blue when held inside the header
    bool masksInHeader;
    bool os2;
};

void HeaderFromBytes(const BYTE* b, BITMAPINFOHEADER* h) {
    h->biSize = U32(b);
    h->biWidth = (LONG)U32(b + 4);
    h->biHeight = (LONG)U32(b + 8);
    h->biPlanes = U16(b + 12);
    h->biBitCount = U16(b + 14);
    h->biCompression = U32(b + 16);
    h->biSizeImage = U32(b + 20);
    h->biXPelsPerMeter = (LONG)U32(b + 24);
    h->biYPelsPerMeter = (LONG)U32(b + 28);
    h->biClrUsed = U32(b + 32);
    h->biClrImportant = U32(b + 36);
}

// Reads and normalises one information header; the stream ends up just
// past it. False when the header is refused.
bool ReadInfo(CRasterFile* f, BmpInfo* info) {
    BYTE b[40];
    memset(info, 0, sizeof(*info));
    if (f->Read(b, 1, 40) != 40)
        return false;
    BITMAPINFOHEADER* h = &info->h;
    HeaderFromBytes(b, h);
    uint32_t size = h->biSize;
    if (size == 12) {
        info->os2 = true;
        BITMAPINFOHEADER core;
        memset(&core, 0, sizeof(core));
        core.biSize = 12;
        core.biWidth = U16(b + 4);
        core.biHeight = U16(b + 6);
        core.biPlanes = U16(b + 8);
        core.biBitCount = U16(b + 10);
        *h = core;
        if (!f->Seek(-28, 1))
            return false;
    } else if (size == 40) {
    } else if (size == 52 || size == 56 || size == 64 || size == 108 || size == 124 || (size > 40 && size <= 4096)) {
        bool known = size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
        if (!known && (h->biPlanes != 1 || h->biClrUsed != 0 || h->biWidth < 0 || h->biHeight < 0 ||
                       h->biSizeImage < RasterRowsBytes((uint32_t)h->biWidth, (uint32_t)h->biHeight, h->biBitCount)))
            return false;
        // The rest of the header; from 52 bytes on it holds the colour masks.
        BYTE rest[4096 - 40];
        size_t n = size - 40;
        if (f->Read(rest, 1, n) != n)
            return false;
        if (size >= 52 && size != 64) {
            info->masks[0] = U32(rest);
            info->masks[1] = U32(rest + 4);
            info->masks[2] = U32(rest + 8);
            info->masksInHeader = true;
        }
    } else {
        return false;
    }
    if (h->biHeight == INT32_MIN || h->biWidth <= 0)
        return false;
    uint32_t absHeight = h->biHeight < 0 ? (uint32_t)-h->biHeight : (uint32_t)h->biHeight;
    if (h->biSizeImage == 0) {
        uint64_t s = RasterRowsBytes((uint32_t)h->biWidth, absHeight, h->biBitCount);
        h->biSizeImage = s > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)s;
    }
    if (h->biClrUsed == 0 && h->biBitCount <= 8)
        h->biClrUsed = 1u << h->biBitCount;
    return true;
}

// Position and bounds of an RLE decode into a pixel block.
struct RleOut {
    BYTE* pixels;
    uint64_t size;  // bytes of the pixel block
    int stride;
    int width;  // pixels: runs clip at the row's end
    int height;
    int64_t row = 0;
    int64_t col = 0;  // pixels
};

void PutByte(RleOut* o, BYTE v) {
    if (o->row < o->height && o->col >= 0 && o->col < o->width) {
        uint64_t at = (uint64_t)o->row * o->stride + (uint64_t)o->col;
        if (at < o->size)
            o->pixels[at] = v;
    }
    o->col++;
}

void PutNibble(RleOut* o, BYTE v) {
    if (o->row < o->height && o->col >= 0 && o->col < o->width) {
        uint64_t at = (uint64_t)o->row * o->stride + (uint64_t)(o->col >> 1);
        if (at < o->size) {
            BYTE* p = o->pixels + at;
            if (o->col & 1)
                *p = (BYTE)((*p & 0xF0) | (v & 0x0F));
            else
                *p = (BYTE)((*p & 0x0F) | (v << 4));
        }
    }
    o->col++;
}

void Advance(RleOut* o, int dx, int dy) {
    o->col += dx;
    if (o->col > (int64_t)1 << 40)
        o->col = (int64_t)1 << 40;
    o->row += dy;
    if (o->row > o->height)
        o->row = o->height;  // past the top: everything further is dropped
}

// RLE8 and RLE4 streams. False when the stream ends before the end-of-
// bitmap mark.
bool DecodeRle(CRasterFile* f, RleOut* o, bool rle4) {
    for (;;) {
        long n = f->GetC();
        long v = f->GetC();
        if (n < 0 || v < 0)
            return false;
        if (n > 0) {
            for (long i = 0; i < n; i++) {
                if (rle4)
                    PutNibble(o, (BYTE)((i & 1) ? (v & 0x0F) : (v >> 4)));
                else
                    PutByte(o, (BYTE)v);
            }
            continue;
        }
        if (v == 0) {
            o->col = 0;
            Advance(o, 0, 1);
        } else if (v == 1) {
            return true;
        } else if (v == 2) {
            long dx = f->GetC();
            long dy = f->GetC();
            if (dx < 0 || dy < 0)
                return false;
            Advance(o, (int)dx, (int)dy);  // pixels, also for RLE4
        } else {
            BYTE data[256];
            long bytes = rle4 ? (v + 1) / 2 : v;
            long padded = (bytes + 1) & ~1L;
            if ((long)f->Read(data, 1, (size_t)padded) != padded)
                return false;
            for (long i = 0; i < v; i++) {
                if (rle4)
                    PutNibble(o, (BYTE)((i & 1) ? (data[i / 2] & 0x0F) : (data[i / 2] >> 4)));
                else
                    PutByte(o, data[i]);
            }
        }
    }
}

// Whether an RLE stream of `bytes` bytes can cover a picture: a row needs
// an end-of-line (2 bytes) or a share of a delta (4 bytes for 255 rows),
// and every 2 bytes may move on by a row of at most 16,384 pixels.
bool RleCanCover(uint64_t bytes, int width, int height) {
    return (uint64_t)height <= bytes * 64 + 1 && (uint64_t)width * (uint64_t)height <= bytes * 8192;
}

// The file header (optional unless signatureOnly: a bare info header is
// read too, with the pixel-data offset 0) and the info header. The error
// text, or null.
const char* ReadBmpHeaders(CRasterFile* f, bool signatureOnly, uint32_t* offset, BmpInfo* bi) {
    long start = f->Tell();
    BYTE fh[14];
    if (f->Read(fh, 1, 14) != 14)
        return "Not a BMP";
    *offset = U32(fh + 10);
    if (U16(fh) != 0x4D42) {
        if (signatureOnly)
            return "Not a BMP";
        *offset = 0;
        if (!f->Seek(start, 0))
            return "Not a BMP";
    }
    return ReadInfo(f, bi) ? nullptr : "Error reading BMP info";
}

// The depth and compression checks, before anything is allocated: the
// error text, or null.
const char* BmpFormatError(int bits, uint32_t comp, bool topDown) {
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "unsupported bit depth";
    if (bits <= 8 && comp != BI_RGB && comp != BI_RLE8 && comp != BI_RLE4)
        return "compression type not supported";
    if ((bits == 24 && comp != BI_RGB) || (bits == 32 && comp != BI_RGB && comp != BI_BITFIELDS))
        return "unknown compression";
    if (topDown && (comp == BI_RLE8 || comp == BI_RLE4))
        return "compression type not supported";  // RLE has no top-down form
    return nullptr;
}

// The bit-field masks of 16- and 32-bit data (in the header or after it);
// false when there are none. *truncated when the file ends inside them.
bool ReadBmpMasks(CRasterFile* f, const BmpInfo& bi, uint32_t masks[3], bool* truncated) {
    *truncated = false;
    uint32_t comp = bi.h.biCompression;
    int bits = bi.h.biBitCount;
    if (bi.masksInHeader && comp == BI_BITFIELDS) {
        memcpy(masks, bi.masks, 3 * sizeof(uint32_t));
        return true;
    }
    if (comp != BI_BITFIELDS || (bits != 16 && bits != 32))
        return false;
    BYTE m[12];
    if (f->Read(m, 1, 12) != 12) {
        *truncated = true;
        return false;
    }
    masks[0] = U32(m);
    masks[1] = U32(m + 4);
    masks[2] = U32(m + 8);
    return true;
}

// The colour table: at most the image's palette is filled, the rest is
// skipped, and the file is left at the pixel data (offset from the file
// header, or 0: right after the table). The error text, or null.
const char* ReadBmpColorTable(CRasterFile* f, const BmpInfo& bi, CRaster* image, uint32_t offset, uint64_t dataAt) {
    uint64_t fileColors = bi.h.biClrUsed;
    int entry = bi.os2 ? 3 : 4;
    int count = image->GetPaletteCount();
    int keep = (int)(fileColors < (uint64_t)count ? fileColors : (uint64_t)count);
    if (keep > 0) {
        BYTE raw[256 * 4];
        if (f->Read(raw, (size_t)entry, (size_t)keep) != (size_t)keep)
            return "truncated BMP data";
        RGBQUAD* pal = image->GetPalette();
        for (int i = 0; i < keep; i++)
            pal[i] = RGBQUAD{raw[i * entry], raw[i * entry + 1], raw[i * entry + 2], 0};
    }
    if (offset != 0) {
        if (dataAt > (uint64_t)LONG_MAX || !f->Seek((long)dataAt, 0))
            return "truncated BMP data";
    } else if (fileColors > (uint64_t)keep) {
        uint64_t skip = (fileColors - (uint64_t)keep) * (uint64_t)entry;
        if (skip > 0x7FFFFFFF || !f->Seek((long)skip, 1))
            return "Error reading BMP info";
    }
    return nullptr;
}

// 16- and 32-bit data (dataBytes of it) through the masks (the default
// 5-5-5 or 8-8-8 ones without) into the image's 24-bit rows. The error
// text, or null.
const char* ReadBmpBitfields(CRasterFile* f, CRaster* image, int bits, uint64_t dataBytes, const uint32_t* masks) {
    static const uint32_t kMasks16[3] = {0x7C00, 0x03E0, 0x001F};
    static const uint32_t kMasks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    if (!masks)
        masks = bits == 16 ? kMasks16 : kMasks32;
    // dataBytes is below 4/3 of the memory limit here: it fits a size_t.
    size_t total = (size_t)dataBytes;
    BYTE* src = (BYTE*)malloc(total ? total : 1);
    if (!src)
        return "can't allocate memory";
    bool ok = f->Read(src, 1, total) == total;
    if (ok)
        image->BitfieldsToRgb(src, masks[0], masks[1], masks[2], bits);
    free(src);
    return ok ? nullptr : "truncated BMP data";
}

// The pixel data, the file at its start. The error text, or null.
const char* ReadBmpPixels(CRasterFile* f, CRaster* image, const BmpInfo& bi, int height, uint64_t dataBytes,
                          const uint32_t* masks) {
    int bits = bi.h.biBitCount;
    uint32_t comp = bi.h.biCompression;
    if (bits <= 8 && comp != BI_RGB) {
        RleOut o;
        o.pixels = image->GetPixels();
        o.size = image->GetImageSize();
        o.stride = image->GetRowStride();
        o.width = image->Width();
        o.height = height;
        return DecodeRle(f, &o, comp == BI_RLE4) ? nullptr : "truncated BMP data";
    }
    if (bits <= 8 || bits == 24)
        return f->Read(image->GetPixels(), 1, image->GetImageSize()) == image->GetImageSize() ? nullptr
                                                                                              : "truncated BMP data";
    return ReadBmpBitfields(f, image, bits, dataBytes, masks);
}

}  // namespace

bool CRasterBMP::DecodeBmp(CRasterFile* f, bool signatureOnly) {
    if (!f)
        return false;
    long start = f->Tell();
    uint32_t offset;
    BmpInfo bi;
    if (const char* error = ReadBmpHeaders(f, signatureOnly, &offset, &bi)) {
        SetLastError(error);
        return false;
    }
    BITMAPINFOHEADER& h = bi.h;
    bool topDown = h.biHeight < 0;
    int width = h.biWidth;
    int height = topDown ? -h.biHeight : h.biHeight;
    int bits = h.biBitCount;
    uint32_t comp = h.biCompression;

    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = width;
        head_.biHeight = height;
        head_.biBitCount = (WORD)bits;
        SetFormatId(kFormatBmp);
        SetLastError("output dimensions returned");
        return true;
    }
    if (const char* error = BmpFormatError(bits, comp, topDown)) {
        SetLastError(error);
        return false;
    }
    // Sizes in 64 bits, checked before anything is allocated or read: the
    // picture as the image holds it (16- and 32-bit data become 24 bits),
    // then the file's rows for it (4-byte padded at every depth), which
    // uncompressed data must hold.
    if (RasterRowsBytes((uint64_t)width, (uint64_t)height, bits <= 8 ? (uint64_t)bits : 24) > kRasterMaxMemory) {
        SetLastError("RASTER_MAX_MEMORY exceeded");
        return false;
    }
    const uint64_t dataBytes = RasterRowsBytes((uint64_t)width, (uint64_t)height, (uint64_t)bits);
    const uint64_t dataAt = offset ? (uint64_t)start + offset : (uint64_t)f->Tell();
    long size = f->Size();
    if (comp != BI_RLE8 && comp != BI_RLE4) {
        if (size >= 0 && (uint64_t)size < dataAt + dataBytes) {
            SetLastError("truncated BMP data");
            return false;
        }
    } else if (size >= 0 && !RleCanCover((uint64_t)size > dataAt ? (uint64_t)size - dataAt : 0, width, height)) {
        SetLastError("BMP data too short for the picture");
        return false;
    }
    if (!Create(width, height, bits, kFormatBmp))
        return false;
    SetXDpi((int)(h.biXPelsPerMeter > 0 ? h.biXPelsPerMeter * 254.0 / 10000.0 + 0.5 : 0));
    SetYDpi((int)(h.biYPelsPerMeter > 0 ? h.biYPelsPerMeter * 254.0 / 10000.0 + 0.5 : 0));
    if (GetEscape()) {
        SetLastError("Cancelled");
        return false;
    }
    uint32_t masks[3] = {0, 0, 0};
    bool truncated;
    bool haveMasks = ReadBmpMasks(f, bi, masks, &truncated);
    const char* error = truncated ? "truncated BMP data" : ReadBmpColorTable(f, bi, this, offset, dataAt);
    if (!error)
        error = ReadBmpPixels(f, this, bi, height, dataBytes, haveMasks ? masks : nullptr);
    if (error) {
        SetLastError(error);
        return false;
    }
    if (topDown)
        Flip();
    return true;
}

bool CRasterBMP::EncodeBmp(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    // Headers come from our copy: the caller's block is only read.
    BYTE hdr[14 + 40];
    uint32_t palBytes = (uint32_t)GetPaletteSize();
    Put16(hdr, 0x4D42);
    Put32(hdr + 2, GetDibSize() + 14);
    Put16(hdr + 6, 0);
    Put16(hdr + 8, 0);
    Put32(hdr + 10, 14 + 40 + palBytes);
    const BITMAPINFOHEADER& h = head_;
    Put32(hdr + 14, 40);
    Put32(hdr + 18, (uint32_t)h.biWidth);
    Put32(hdr + 22, (uint32_t)h.biHeight);
    Put16(hdr + 26, 1);
    Put16(hdr + 28, h.biBitCount);
    Put32(hdr + 30, BI_RGB);
    Put32(hdr + 34, h.biSizeImage);
    Put32(hdr + 38, (uint32_t)h.biXPelsPerMeter);
    Put32(hdr + 42, (uint32_t)h.biYPelsPerMeter);
    Put32(hdr + 46, h.biClrUsed);
    Put32(hdr + 50, h.biClrImportant);
    size_t rest = (size_t)palBytes + h.biSizeImage;
    if (f->Write(hdr, 1, sizeof(hdr)) != sizeof(hdr) || f->Write(GetDibBlock() + 40, 1, rest) != rest) {
        SetLastError("can't write the BMP data");
        return false;
    }
    return true;
}

static CRaster* NewBmp() {
    return new CRasterBMP();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool signatureOnly) {
    return static_cast<CRasterBMP*>(codec)->DecodeBmp(f, signatureOnly);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterBMP*>(codec)->EncodeBmp(f);
}

const RasterCodec kBmpCodec = {kFormatBmp, NewBmp, DecodeThunk, EncodeThunk, true};
