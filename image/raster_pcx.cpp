// PCX codec.
//
// Reads: run-length encoded files of 1 bit with 1 to 4 planes (2 to 4
//   planes become a 4-bit image with the header's colours), 2, 4 and
//   8 bits in one plane (8 bits with the 256-colour palette that the last
//   769 bytes of the file hold), and 8 bits in 3 or 4 planes as 24 bits (a
//   fourth plane is dropped). The line length is checked against the width
//   and the whole picture's size against the data before it is allocated.
// Writes: 1 and 4 bits as 1 or 4 planes of 1 bit, 8 bits with the
//   256-colour palette at the end, 24 bits as three planes; each plane line
//   an even number of bytes, run-length encoded.
#include "image/raster_pcx.h"

#include <stdlib.h>
#include <string.h>

#include "image/byte_order.h"
#include "image/raster_file.h"

namespace {

constexpr int kHeaderSize = 128;
constexpr int kPaletteTail = 769;  // the signature byte 12 and 256 entries
constexpr BYTE kPaletteSignature = 12;

struct PcxHeader {
    BYTE manufacturer, version, encoding, bits;
    uint16_t xMin, yMin, xMax, yMax, xDpi, yDpi;
    const BYTE* palette;  // 16 entries of red, green, blue
    BYTE planes;
    uint16_t bytesPerLine;
};

void ParseHeader(const BYTE* b, PcxHeader* h) {
    h->manufacturer = b[0];
    h->version = b[1];
    h->encoding = b[2];
    h->bits = b[3];
    h->xMin = LoadLe16(b + 4);
    h->yMin = LoadLe16(b + 6);
    h->xMax = LoadLe16(b + 8);
    h->yMax = LoadLe16(b + 10);
    h->xDpi = LoadLe16(b + 12);
    h->yDpi = LoadLe16(b + 14);
    h->palette = b + 16;
    h->planes = b[65];
    h->bytesPerLine = LoadLe16(b + 66);
}

// Reads the stream in blocks for the byte-wise run-length expansion.
struct ByteSource {
    CRasterFile* f;
    BYTE block[4096];
    size_t have = 0, at = 0;
    int Next() {
        if (at == have) {
            have = f->Read(block, 1, sizeof(block));
            at = 0;
            if (have == 0)
                return -1;
        }
        return block[at++];
    }
};

// Expands the run-length data of the whole picture into out (size bytes).
const char* Expand(CRasterFile* f, BYTE* out, uint64_t size) {
    ByteSource src;
    src.f = f;
    uint64_t done = 0;
    while (done < size) {
        int c = src.Next();
        if (c < 0)
            return "corrupted PCX";
        if (c < 0xC0) {
            out[done++] = (BYTE)c;
            continue;
        }
        int v = src.Next();
        if (v < 0)
            return "corrupted PCX";
        uint64_t n = (uint64_t)(c & 0x3F);
        if (n > size - done)
            return "repeat count spans end of image";
        memset(out + done, v, (size_t)n);
        done += n;
    }
    return nullptr;
}

// Appends one plane line, run-length encoded: runs of up to 63 equal
// bytes; a run longer than one, or a byte of 0xC0 and above, goes as a
// count byte and the value.
bool EncodeLine(CRasterMemFile* out, const BYTE* line, int n) {
    BYTE buf[2];
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 63 && line[i + run] == line[i])
            run++;
        size_t len = 0;
        if (run > 1 || line[i] >= 0xC0)
            buf[len++] = (BYTE)(0xC0 | run);
        buf[len++] = line[i];
        if (out->Write(buf, 1, len) != len)
            return false;
        i += run;
    }
    return true;
}

// The depth, plane and line-length checks: null, or the text.
const char* CheckPcxLayout(const PcxHeader& h, int width) {
    int bits = h.bits, planes = h.planes;
    if (planes >= 5)
        return "Can't handle image with more than 4 planes";
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8)
        return "PCX file has an unsupported depth";
    bool rgb = bits == 8 && planes >= 3;
    if (planes == 0 || (planes > 1 && bits != 1 && !rgb))
        return "PCX_PlanesToPixels: more than 4 planes or more than 1 bit per pixel";
    int bpl = h.bytesPerLine;
    if (bpl == 0 || (uint64_t)bpl * 8 < (uint64_t)width * bits)
        return "bad PCX line length";
    return nullptr;
}

// Fills palette (kPaletteTail bytes: the signature byte, then 256 RGB
// entries): the header's 16 colours, the table at the end of the file for
// 8 bits in one plane, black and white for 1 bit in one plane. Null, or
// the text.
const char* ReadPcxPalette(CRasterFile* f, const PcxHeader& h, BYTE* palette) {
    memset(palette, 0, kPaletteTail);
    memcpy(palette + 1, h.palette, 48);
    if (h.bits == 8 && h.planes == 1) {
        if (!f->Seek(-kPaletteTail, 2) || f->Read(palette, 1, kPaletteTail) != kPaletteTail ||
            palette[0] != kPaletteSignature)
            return "bad color map signature";
    } else if (h.bits == 1 && h.planes == 1) {
        static const BYTE kBlackWhite[6] = {0, 0, 0, 255, 255, 255};
        memcpy(palette + 1, kBlackWhite, sizeof(kBlackWhite));
    }
    return nullptr;
}

// The expanded lines (lineBytes each, planes side by side) into the
// image's rows, bottom-up; pixels holds one line of indices. Null, or
// "Cancelled".
const char* StorePcxLines(CRaster* img, const BYTE* data, BYTE* pixels, const PcxHeader& h, uint64_t lineBytes) {
    const int width = img->Width(), height = img->Height();
    const int bits = h.bits, planes = h.planes, bpl = h.bytesPerLine;
    const bool rgb = bits == 8 && planes >= 3;
    for (int k = 0; k < height; k++) {
        if (img->GetEscape())
            return "Cancelled";
        const BYTE* line = data + (uint64_t)k * lineBytes;
        int y = height - 1 - k;
        if (rgb) {
            for (int x = 0; x < width; x++) {
                BYTE* p = img->GetPixelPointer(x, y);
                p[2] = line[x], p[1] = line[bpl + x], p[0] = line[2 * bpl + x];
            }
            continue;
        }
        if (planes > 1)
            PCX_PlanesToPixels(pixels, line, bpl, planes, bits);
        else
            PCX_UnpackPixels(pixels, line, bpl, planes, bits);
        for (int x = 0; x < width; x++)
            img->SetPixelIndexRaw(x, y, pixels[x]);
    }
    return nullptr;
}

}  // namespace

bool PCX_PlanesToPixels(BYTE* pixels, const BYTE* planes, int bytesPerLine, int planeCount, int bitsPerPixel) {
    if (planeCount > 4 || bitsPerPixel != 1)
        return false;
    int n = bytesPerLine * 8;
    memset(pixels, 0, (size_t)n);
    for (int k = 0; k < planeCount; k++) {
        const BYTE* plane = planes + (size_t)k * bytesPerLine;
        for (int x = 0; x < n; x++)
            if (plane[x >> 3] & (0x80 >> (x & 7)))
                pixels[x] |= (BYTE)(1 << k);
    }
    return true;
}

bool PCX_UnpackPixels(BYTE* pixels, const BYTE* data, int bytesPerLine, int planeCount, int bitsPerPixel) {
    if (planeCount != 1)
        return false;
    if (bitsPerPixel == 8) {
        memcpy(pixels, data, (size_t)bytesPerLine);
        return true;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4)
        return false;
    int perByte = 8 / bitsPerPixel;
    BYTE mask = (BYTE)((1 << bitsPerPixel) - 1);
    for (int i = 0; i < bytesPerLine; i++)
        for (int k = 0; k < perByte; k++)
            *pixels++ = (BYTE)((data[i] >> (8 - bitsPerPixel * (k + 1))) & mask);
    return true;
}

bool CRasterPCX::DecodePcx(CRasterFile* f) {
    if (!f)
        return false;
    BYTE b[kHeaderSize];
    if (f->Read(b, 1, kHeaderSize) != kHeaderSize) {
        SetLastError("Can't read PCX image");
        return false;
    }
    PcxHeader h;
    ParseHeader(b, &h);
    int width = (int)h.xMax - h.xMin + 1, height = (int)h.yMax - h.yMin + 1;
    if (h.manufacturer != 10 || h.version > 5 || width <= 0 || height <= 0) {
        SetLastError("Error: Not a PCX file");
        return false;
    }
    if (h.encoding != 1) {
        SetLastError("PCX file has unknown encoding scheme");
        return false;
    }
    SetXDpi(h.xDpi);
    SetYDpi(h.yDpi);
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = width;
        head_.biHeight = height;
        SetFormatId(kFormatPcx);
        SetLastError("output dimensions returned");
        return true;
    }
    const char* layoutError = CheckPcxLayout(h, width);
    if (layoutError) {
        SetLastError(layoutError);
        return false;
    }
    const int bits = h.bits, planes = h.planes, bpl = h.bytesPerLine;
    const bool rgb = bits == 8 && planes >= 3;
    // A count byte and its value stand for at most 63 bytes.
    uint64_t lineBytes = (uint64_t)bpl * planes;
    uint64_t total = lineBytes * (uint64_t)height;
    long size = f->Size(), at = f->Tell();
    if (size < 0 || at < 0 || at > size || total > kRasterMaxMemory || total > (uint64_t)(size - at) * 63 / 2 + 1) {
        SetLastError("corrupted PCX");
        return false;
    }
    int depth = rgb ? 24 : (bits == 1 && planes > 1) ? 4 : bits;
    if (!Create(width, height, depth, kFormatPcx))
        return false;
    if (GetEscape()) {
        SetLastError("Cancelled");
        return false;
    }
    BYTE* data = (BYTE*)malloc((size_t)total);
    BYTE* pixels = (BYTE*)malloc((size_t)bpl * 8);
    BYTE* palette = (BYTE*)malloc(kPaletteTail);
    const char* error = "can't allocate memory";
    if (data && pixels && palette) {
        error = Expand(f, data, total);
        if (!error)
            error = ReadPcxPalette(f, h, palette);
        if (!error) {
            if (HasPalette())
                SetPaletteRgb(palette + 1, GetPaletteCount());
            error = StorePcxLines(this, data, pixels, h, lineBytes);
        }
    }
    free(data);
    free(pixels);
    free(palette);
    if (error)
        SetLastError(error);
    return !error;
}

bool CRasterPCX::EncodePcx(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    int bpp = GetBpp(), width = Width(), height = Height();
    bool sixteen = GetPaletteCount() == 16;
    int bits = bpp >= 8 ? 8 : 1;
    int planes = bpp == 24 ? 3 : sixteen ? 4 : 1;
    int bpl = bpp >= 8 ? width : (width + 7) / 8;
    bpl += bpl & 1;
    BYTE b[kHeaderSize] = {};
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = (BYTE)bits;
    StoreLe16(b + 8, (uint16_t)(width - 1));
    StoreLe16(b + 10, (uint16_t)(height - 1));
    StoreLe16(b + 12, (uint16_t)GetXDpi());
    StoreLe16(b + 14, (uint16_t)GetYDpi());
    if (sixteen) {
        for (int i = 0; i < 16; i++) {
            RGBQUAD c = GetPaletteColor(i);
            b[16 + 3 * i] = c.rgbRed, b[17 + 3 * i] = c.rgbGreen, b[18 + 3 * i] = c.rgbBlue;
        }
    } else {
        memset(b + 19, 255, 3);  // entry 1 white
    }
    b[65] = (BYTE)planes;
    StoreLe16(b + 66, (uint16_t)bpl);
    StoreLe16(b + 68, HasPalette() ? 0 : 1);
    if (width > 0x10000 || height > 0x10000 || bpl > 0xFFFF || f->Write(b, 1, kHeaderSize) != kHeaderSize) {
        SetLastError("cannot write PCX header");
        return false;
    }
    // A 1-bit file's colours are black and white: a light-on-dark palette
    // is written with every index inverted so that the picture looks the same.
    BYTE invert = bpp == 1 && Luminance(GetPaletteColor(0)) > Luminance(GetPaletteColor(1)) ? 1 : 0;
    CRasterMemFile mem;
    BYTE* line = (BYTE*)malloc((size_t)bpl * planes);
    bool ok = mem.Open() && line;
    for (int y = height - 1; y >= 0 && ok; y--) {
        memset(line, 0, (size_t)bpl * planes);
        const BYTE* row = GetRowPointer(y);
        if (bpp == 8) {
            memcpy(line, row, (size_t)width);
        } else if (bpp == 24) {
            for (int x = 0; x < width; x++) {
                line[x] = row[3 * x + 2];
                line[bpl + x] = row[3 * x + 1];
                line[2 * bpl + x] = row[3 * x];
            }
        } else {
            for (int x = 0; x < width; x++) {
                BYTE index = (BYTE)(GetPixelIndexRaw(x, y) ^ invert);
                for (int k = 0; k < planes; k++)
                    if (index & (1 << k))
                        line[(size_t)k * bpl + x / 8] |= (BYTE)(0x80 >> (x & 7));
            }
        }
        for (int k = 0; k < planes && ok; k++)
            ok = EncodeLine(&mem, line + (size_t)k * bpl, bpl);
    }
    free(line);
    size_t n = ok ? (size_t)mem.Size() : 0;
    ok = ok && f->Write(mem.GetBuffer(), 1, n) == n;
    if (ok && bpp == 8) {
        BYTE tail[kPaletteTail];
        tail[0] = kPaletteSignature;
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = GetPaletteColor(i);
            tail[1 + 3 * i] = c.rgbRed, tail[2 + 3 * i] = c.rgbGreen, tail[3 + 3 * i] = c.rgbBlue;
        }
        ok = f->Write(tail, 1, kPaletteTail) == kPaletteTail;
    }
    if (!ok)
        SetLastError("cannot write PCX file");
    return ok;
}

static CRaster* NewPcx() {
    return new CRasterPCX();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterPCX*>(codec)->DecodePcx(f);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterPCX*>(codec)->EncodePcx(f);
}

const RasterCodec kPcxCodec = {kFormatPcx, NewPcx, DecodeThunk, EncodeThunk, false};
