// TIFF codec over libtiff and the image streams.
//
// Reads: one page, row by row through libtiff's strip and tile readers:
//   RGB and CMYK of 8 or 16 bits (packed or in separate planes, any
//   compression, alpha dropped) and YCbCr in JPEG as 24 bits; bilevel,
//   grey and palette pages (1 to 32 bits per sample, packed or not, strips
//   or tiles, one plane or the first of several) as 1, 4 or 8-bit images,
//   palette pages of 9 to 24 bits as 24 bits; CIELab as 24 bits. libtiff's
//   RGBA reader only for what those cannot serve (LogLuv, subsampled YCbCr
//   outside JPEG, other depths). 16-bit grey is scaled so that the
//   brightest sample uses the top bit. Every orientation is turned upright.
//   Floating-point samples are refused.
// Writes: 1 bit min-is-white, 4 and 8 bits grey or palette, 24 bits RGB,
//   with the compression the option word names (or one by depth); pages
//   through the append mode, numbered (page from 0, total) on the last
//   page and (page, 0) on the others, whose total is not known yet.
// Sizes are computed in 64 bits and checked before anything is allocated:
// the strip table against the file's size, and each strip's data against
// the most its compression can make of it, so that a few hostile bytes
// cannot reserve or fill a large picture. libtiff's own allocations are
// bounded too.
#include "image/raster_tiff.h"

#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>

#include "base/str_util.h"
#include "image/grey_ramp.h"

namespace {

// Largest single block libtiff may take for one strip or tile.
constexpr tmsize_t kTiffMaxAlloc = 256 << 20;

tmsize_t TiffReadProc(thandle_t h, void* buffer, tmsize_t n) {
    return n < 0 ? 0 : (tmsize_t)((CRasterFile*)h)->Read(buffer, 1, (size_t)n);
}

tmsize_t TiffWriteProc(thandle_t h, void* buffer, tmsize_t n) {
    return n < 0 ? 0 : (tmsize_t)((CRasterFile*)h)->Write(buffer, 1, (size_t)n);
}

// Offsets come as 64-bit values; the streams take a long.
toff_t TiffSeekProc(thandle_t h, toff_t offset, int whence) {
    CRasterFile* f = (CRasterFile*)h;
    int64_t o = (int64_t)offset;
    if (offset == (toff_t)-1 || o > LONG_MAX || o < LONG_MIN || !f->Seek((long)o, whence))
        return (toff_t)-1;
    return whence == SEEK_SET ? offset : (toff_t)f->Tell();
}

int TiffCloseProc(thandle_t) {
    return 0;
}

toff_t TiffSizeProc(thandle_t h) {
    long n = ((CRasterFile*)h)->Size();
    return n < 0 ? 0 : (toff_t)n;
}

int TiffMapProc(thandle_t, void**, toff_t*) {
    return 0;
}

void TiffUnmapProc(thandle_t, void*, toff_t) {}

// libtiff's messages are not shown.
int TiffQuiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

TIFF* TiffOpenStream(CRasterFile* f, const char* mode) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kTiffMaxAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffQuiet, nullptr);
    TIFF* tif = TIFFClientOpenExt("TIFF IMAGE", mode, (thandle_t)f, TiffReadProc, TiffWriteProc, TiffSeekProc,
                                  TiffCloseProc, TiffSizeProc, TiffMapProc, TiffUnmapProc, opts);
    TIFFOpenOptionsFree(opts);
    return tif;
}

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() { TIFFClose(tif); }
};

// Frees its blocks on every way out of the decoder.
struct Blocks {
    BYTE* p[4] = {nullptr, nullptr, nullptr, nullptr};
    ~Blocks() {
        for (BYTE* b : p)
            free(b);
    }
};

// Sample i of a row of samples of `bits` bits: 8, 16, 32 and 64-bit
// samples in the host's order (libtiff swaps them), others packed most
// significant bit first. Only the sample's own bytes are read.
uint64_t Sample(const BYTE* row, uint64_t i, int bits) {
    switch (bits) {
        case 8:
            return row[i];
        case 16: {
            uint16_t v;
            memcpy(&v, row + 2 * i, 2);
            return v;
        }
        case 32: {
            uint32_t v;
            memcpy(&v, row + 4 * i, 4);
            return v;
        }
        case 64: {
            uint64_t v;
            memcpy(&v, row + 8 * i, 8);
            return v;
        }
    }
    uint64_t bit = i * (uint64_t)bits;
    uint64_t first = bit / 8, last = (bit + bits - 1) / 8;
    uint64_t acc = 0;
    for (uint64_t b = first; b <= last; b++)
        acc = (acc << 8) | row[b];
    int drop = (int)((last + 1) * 8 - (bit + bits));
    return (acc >> drop) & ((1ull << bits) - 1);
}

int LeadingZeros8(BYTE m) {
    int n = 0;
    for (int bit = 0x80; bit && !(m & bit); bit >>= 1)
        n++;
    return n;
}

BYTE LabChannel(double c) {
    c = c > 0.00304 ? 1.055 * pow(c, 0.41667) - 0.055 : 12.92 * c;
    c *= 255.0;
    return (BYTE)(c < 0 ? 0 : c > 255 ? 255 : (int)c);
}

// CIELab (L 0..255, a and b signed) to blue, green, red.
void LabToBgr(BYTE l, int8_t a, int8_t b, BYTE* out) {
    double fy = (l / 2.55 + 16) / 116;
    double x = pow(a * 0.002 + fy, 3) * 0.95047;
    double y = fy * fy * fy;
    double z = pow(fy - b * 0.005, 3) * 1.0883;
    out[2] = LabChannel(3.240479 * x - 1.53715 * y - 0.498535 * z);
    out[1] = LabChannel(-0.969256 * x + 1.875992 * y + 0.041556 * z);
    out[0] = LabChannel(0.055648 * x - 0.204043 * y + 1.057311 * z);
}

// The rows of one page, a band (strip or row of tiles) at a time.
struct RowSource {
    TIFF* tif;
    bool tiled;
    uint32_t width, height, band;  // band: rows per strip or tile length
    uint64_t rowBytes;
    uint32_t tileWidth;
    uint16_t plane;    // the plane read (0 unless the planes are separate)
    int bitsPerPixel;  // of one row's pixels in the plane read
    BYTE* bandBuf;
    BYTE* tileBuf;
    uint64_t tileBytes, tileRow;
    uint32_t top = UINT32_MAX, rows = 0;  // the band held
    bool broken = false;                  // a strip failed: no more rows

    // Row y of the page, null when it cannot be had; *error is set for a
    // failure that ends the decode.
    const BYTE* Row(uint32_t y, const char** error) {
        if (broken)
            return nullptr;
        if (top == UINT32_MAX || y < top || y >= top + rows) {
            top = y / band * band;
            rows = height - top < band ? height - top : band;
            if (!(tiled ? LoadTiles(error) : LoadStrip())) {
                broken = true;
                return nullptr;
            }
        }
        return bandBuf + (uint64_t)(y - top) * rowBytes;
    }

    bool LoadStrip() {
        tmsize_t want = (tmsize_t)(rows * rowBytes);
        // libtiff may report a strip whose codes failed as read without
        // filling it: what it leaves is black, not an earlier block's bytes.
        memset(bandBuf, 0, (size_t)want);
        tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, top, plane), bandBuf, want);
        if (got < 0)
            return false;
        if (got < want)  // a short strip: keep its whole rows
            rows = (uint32_t)((uint64_t)got / rowBytes);
        return rows > 0;
    }

    bool LoadTiles(const char** error) {
        for (uint32_t x = 0; x < width; x += tileWidth) {
            uint64_t bitOffset = (uint64_t)x * bitsPerPixel;
            memset(tileBuf, 0, (size_t)tileBytes);
            if (bitOffset % 8 != 0 || TIFFReadTile(tif, tileBuf, x, top, 0, plane) < 0) {
                *error = "Corrupted tiled TIFF file!";
                return false;
            }
            uint64_t at = bitOffset / 8;
            uint64_t n = rowBytes - at < tileRow ? rowBytes - at : tileRow;
            for (uint32_t r = 0; r < rows; r++)
                memcpy(bandBuf + r * rowBytes + at, tileBuf + r * tileRow, (size_t)n);
        }
        return true;
    }
};

enum class RowKind { Indexed, LargePalette, Lab, Rgb, PremultipliedRgb, Cmyk };

// The fields of the page being read, and how its pixels are read.
struct TiffPage {
    uint32_t width = 0, height = 0, rowsPerStrip = UINT32_MAX;
    uint16_t spp = 1, bits = 1, photometric = 0, orientation = 1, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE, inkSet = INKSET_CMYK;
    bool rgb = false;            // RGB (or YCbCr that libtiff's JPEG codec turns into RGB), row by row
    bool cmyk = false;           // CMYK, row by row
    bool premultiplied = false;  // RGB with associated alpha: shown as the colours before the product
    bool rgba = false;           // through libtiff's RGBA reader: nothing else serves
    bool lab = false;            // CIELab
    bool palettePhoto = false;   // a colour map
    bool largePalette = false;   // a colour map of 9 to 24 bits: read as 24 bits
    bool grey = false;           // min-is-black or min-is-white
};

void ReadPageFields(TIFF* tif, TiffPage* p) {
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p->spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p->bits);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &p->rowsPerStrip);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p->photometric);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &p->orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p->sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &p->inkSet);
    uint16_t extras = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 && kinds)
        p->premultiplied = kinds[0] == EXTRASAMPLE_ASSOCALPHA;
}

// Resolution in DPI; the position (in resolution units) as pixels.
void ReadPlacement(TIFF* tif, CRaster* img) {
    uint16_t unit = RESUNIT_INCH;
    float xRes = 0, yRes = 0, xPos = 0, yPos = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    bool hasX = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xRes) && xRes > 0 && xRes < 1e6f;
    bool hasY = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes) && yRes > 0 && yRes < 1e6f;
    if (hasX)
        img->SetXDpi(unit == RESUNIT_CENTIMETER ? (int)(xRes * 2.54 + 0.5) : (int)xRes);
    if (hasY)
        img->SetYDpi(unit == RESUNIT_CENTIMETER ? (int)(yRes * 2.54 + 0.5) : (int)yRes);
    bool hasXPos = TIFFGetField(tif, TIFFTAG_XPOSITION, &xPos) != 0;
    bool hasYPos = TIFFGetField(tif, TIFFTAG_YPOSITION, &yPos) != 0;
    if ((hasXPos && hasX) || (hasYPos && hasY)) {
        double px = hasXPos && hasX ? (double)xPos * xRes : 0, py = hasYPos && hasY ? (double)yPos * yRes : 0;
        img->SetOffset(fabs(px) < INT_MAX ? (int)px : 0, fabs(py) < INT_MAX ? (int)py : 0);
    }
}

// Sets how the page's pixels are read: every layout libtiff's strip and
// tile readers give (one or separate planes, 8 or 16 bits, any
// compression) row by row; the RGBA reader only for what those cannot
// serve (subsampled YCbCr outside JPEG, LogLuv, other depths and ink
// sets). Null, or the text for a page that cannot be read.
const char* ClassifyPage(TiffPage* p) {
    if (p->sampleFormat == SAMPLEFORMAT_IEEEFP || p->sampleFormat == SAMPLEFORMAT_COMPLEXINT ||
        p->sampleFormat == SAMPLEFORMAT_COMPLEXIEEEFP)
        return "unsupported TIFF sample format";
    const uint16_t photometric = p->photometric, spp = p->spp, bits = p->bits;
    const bool bytes = bits == 8 || bits == 16;
    const bool planes = p->planar == PLANARCONFIG_CONTIG || p->planar == PLANARCONFIG_SEPARATE;
    // YCbCr in JPEG: libtiff's JPEG codec gives RGB rows (DecodeTif asks it to).
    bool jpegYcbcr = photometric == PHOTOMETRIC_YCBCR && p->compression == COMPRESSION_JPEG && bits == 8 && spp == 3 &&
                     p->planar == PLANARCONFIG_CONTIG;
    p->rgb = planes && bytes && ((photometric == PHOTOMETRIC_RGB && spp >= 3) || jpegYcbcr);
    p->cmyk = planes && bytes && photometric == PHOTOMETRIC_SEPARATED && p->inkSet == INKSET_CMYK && spp >= 4;
    p->premultiplied = p->premultiplied && p->rgb && spp >= 4;
    p->rgba =
        !p->rgb && !p->cmyk &&
        (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_SEPARATED || photometric == PHOTOMETRIC_YCBCR ||
         photometric == PHOTOMETRIC_LOGL || photometric == PHOTOMETRIC_LOGLUV);
    p->lab = photometric == PHOTOMETRIC_CIELAB && spp >= 3;
    if (!p->rgb && !p->cmyk && !p->rgba && !p->lab && spp >= 3 && photometric != PHOTOMETRIC_MINISBLACK &&
        photometric != PHOTOMETRIC_MINISWHITE)
        return "unsupported TIFF photometric";
    p->palettePhoto = photometric == PHOTOMETRIC_PALETTE;
    p->largePalette = p->palettePhoto && bits > 8;
    if (p->largePalette && bits > 24)
        return "Too big palette to handle";
    p->grey = photometric != PHOTOMETRIC_PALETTE && !p->lab && !p->rgb && !p->cmyk;
    return nullptr;
}

// Most bytes one compressed byte of a strip may decode to, as far as the
// compression allows at all (0: count by rows, as for the fax codes that
// take at least one bit a row). Bounds, not estimates: a file that stays
// below them cannot fill its picture, whoever wrote it.
uint64_t MostBytesPerByte(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;  // 2 bytes for a run of 128
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return 0;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PIXARLOG:
            return 1100;  // deflate's limit is 1032
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return 4096;  // Huffman codes: at least one bit per 8x8 block and component
        case COMPRESSION_LZW:
            return 4096;  // one 9-bit code gives at most a string of the table's length
    }
    return 65536;
}

// Most bytes a byte of fax code may make. A fax row takes a bit at least,
// but a white row may take no more than that at any width: the bound per
// byte is that of a bit a row of 8,192 pixels (the widest fax page is 4,864).
constexpr uint64_t kFaxBytesPerByte = 8192;

// Most bytes a strip of `stored` bytes can decode to (rowBytes: a row's).
uint64_t MostDecodedBytes(uint16_t compression, uint64_t stored, uint64_t rowBytes) {
    uint64_t per = MostBytesPerByte(compression);
    if (per == 0) {
        uint64_t byRows = (stored * 8 + 8) * rowBytes, byBytes = stored * kFaxBytesPerByte + rowBytes;
        return byRows < byBytes ? byRows : byBytes;
    }
    if (compression == COMPRESSION_LZW) {
        // n codes of 9 bits or more make at most 2 + 3 + ... + (n + 1) bytes.
        uint64_t n = stored * 8 / 9 + 1;
        uint64_t triangle = n * (n + 3) / 2;
        return triangle < n * per ? triangle : n * per;
    }
    return stored * per;
}

struct ByteRange {
    uint64_t offset, count;
};

int CompareRanges(const void* a, const void* b) {
    uint64_t x = ((const ByteRange*)a)->offset, y = ((const ByteRange*)b)->offset;
    return x < y ? -1 : x > y ? 1 : 0;
}

// Bytes of the file that the ranges cover, each counted once (sorts them).
uint64_t CoveredBytes(ByteRange* ranges, uint32_t n) {
    qsort(ranges, n, sizeof(ByteRange), CompareRanges);
    uint64_t covered = 0, end = 0;
    for (uint32_t i = 0; i < n; i++) {
        uint64_t from = ranges[i].offset > end ? ranges[i].offset : end, to = ranges[i].offset + ranges[i].count;
        if (to > from)
            covered += to - from;
        if (to > end)
            end = to;
    }
    return covered;
}

// Whether strip (or tile) s is an arithmetic-coded JPEG frame, whose data
// has no floor per block (a flat one takes next to no bytes).
bool ArithmeticJpeg(TIFF* tif, uint32_t s) {
    BYTE head[4096];
    tmsize_t n =
        TIFFIsTiled(tif) ? TIFFReadRawTile(tif, s, head, sizeof(head)) : TIFFReadRawStrip(tif, s, head, sizeof(head));
    if (n < 4 || head[0] != 0xFF || head[1] != 0xD8)
        return false;
    // The segments after SOI up to the frame header.
    for (tmsize_t i = 2; i <= n - 4 && head[i] == 0xFF;) {
        BYTE m = head[i + 1];
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
            return m >= 0xC9;
        i += 2 + (head[i + 2] << 8 | head[i + 3]);
    }
    return false;
}

// The strip (or tile) table against the file before anything is reserved
// for the picture: every strip inside the file, and enough data in each to
// fill its rows, and in all of them, strips that share bytes counting them
// once, to fill the page; arithmetic-coded JPEG strips have no such bound.
// Null, or the text.
const char* CheckStrips(TIFF* tif, const TiffPage& p, uint64_t fileSize) {
    uint32_t n = TIFFNumberOfStrips(tif);
    if (n == 0)
        return "Corrupted TIFF file!";
    if (n > fileSize)  // each strip takes a byte of the file at least
        return "TIFF strip lies past the end of the file";
    bool tiled = TIFFIsTiled(tif) != 0;
    uint32_t rps = p.rowsPerStrip == 0 || p.rowsPerStrip > p.height ? p.height : p.rowsPerStrip;
    uint32_t perPlane = tiled ? 0 : (p.height - 1) / rps + 1;
    uint64_t scanline = (uint64_t)TIFFScanlineSize64(tif);
    uint64_t full = tiled ? (uint64_t)TIFFTileSize64(tif) : (uint64_t)TIFFStripSize64(tif);
    ByteRange* ranges = (ByteRange*)calloc(n, sizeof(ByteRange));  // n * 16 may wrap in 32 bits
    if (!ranges)
        return "CRasterTIF can't allocate memory";
    uint64_t needAll = 0;
    uint32_t boundedStrips = 0;  // those bounded by the compression's most bytes per byte, in ranges
    const char* error = nullptr;
    for (uint32_t s = 0; s < n && !error; s++) {
        int err = 0;
        uint64_t offset = TIFFGetStrileOffsetWithErr(tif, s, &err);
        uint64_t count = err ? 0 : TIFFGetStrileByteCountWithErr(tif, s, &err);
        if (err || count == 0 || offset > fileSize || count > fileSize - offset) {
            error = "TIFF strip lies past the end of the file";
            break;
        }
        if (p.compression == COMPRESSION_JPEG && ArithmeticJpeg(tif, s))
            continue;
        ranges[boundedStrips++] = ByteRange{offset, count};
        uint64_t need = full;
        if (!tiled) {
            uint32_t top = s % perPlane * rps;
            uint32_t rows = p.height - top < rps ? p.height - top : rps;
            need = rows == rps ? full : (uint64_t)TIFFVStripSize64(tif, rows);
        }
        if (MostDecodedBytes(p.compression, count, scanline ? scanline : 1) < need)
            error = "TIFF data too short for the picture";
        needAll += need;
    }
    if (!error &&
        MostDecodedBytes(p.compression, CoveredBytes(ranges, boundedStrips), scanline ? scanline : 1) < needAll)
        error = "TIFF data too short for the picture";
    free(ranges);
    return error;
}

// Rows per call of the RGBA reader: a strip or tile's, at least 64 (or
// the page).
uint32_t RgbaBand(TIFF* tif, const TiffPage& p) {
    uint32_t band = p.rowsPerStrip;
    uint32_t tileLength = 0;
    if (TIFFIsTiled(tif) && TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength) && tileLength)
        band = tileLength;
    if (band == 0 || band > p.height)
        band = p.height;
    while (band < 64 && band < p.height)
        band += band;
    if (band > p.height)
        band = p.height;
    return band;
}

// A page through libtiff's RGBA reader into the 24-bit image. libtiff
// delivers the stored rows; the orientation step turns them. Null, or the
// text.
const char* ReadRgbaPage(TIFF* tif, const TiffPage& p, CRaster* img) {
    const uint32_t width = p.width, height = p.height;
    char message[1024];
    TIFFRGBAImage rgba;
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&rgba, tif, 1, message))
        return "Corrupted TIFF file!";
    rgba.req_orientation = ORIENTATION_BOTLEFT;
    rgba.orientation = ORIENTATION_TOPLEFT;
    uint32_t band = RgbaBand(tif, p);
    Blocks blocks;
    blocks.p[0] = (BYTE*)malloc((size_t)width * band * 4);
    const char* error = blocks.p[0] ? nullptr : "No space for raster buffer";
    for (uint32_t y = 0; y < height && !error; y += band) {
        uint32_t n = height - y < band ? height - y : band;
        rgba.row_offset = (int)y;
        rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&rgba, (uint32_t*)blocks.p[0], width, n)) {
            error = "Corrupted TIFF file!";
            break;
        }
        // The band's rows come bottom-up.
        for (uint32_t r = 0; r < n && !error; r++) {
            if (img->GetEscape()) {
                error = "Cancelled";
                break;
            }
            const BYTE* src = blocks.p[0] + (size_t)r * width * 4;
            BYTE* dst = img->GetRowPointer((int)(height - 1 - (y + n - 1 - r)));
            for (uint32_t x = 0; x < width; x++, src += 4, dst += 3)
                dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
        }
    }
    TIFFRGBAImageEnd(&rgba);
    return error;
}

// The palette (entries long, zeroed): a grey ramp for grey pages, the
// colour map (16-bit values scaled when any needs it) for palette pages.
// False when a palette page has no colour map.
bool ReadTiffPalette(TIFF* tif, const TiffPage& p, RGBQUAD* pal, uint32_t entries) {
    int palDepth = p.bits < 8 ? p.bits : 8;
    bool white = p.photometric == PHOTOMETRIC_MINISWHITE;
    if (p.grey) {
        int n = 1 << palDepth, step = 255 / (n - 1);
        for (int i = 0; i < n; i++) {
            BYTE v = (BYTE)(white ? 255 - i * step : i * step);
            pal[i] = RGBQUAD{v, v, v, 0};
        }
    } else if (p.palettePhoto) {
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return false;
        uint32_t n = 1u << p.bits;
        bool wide = p.largePalette;
        for (uint32_t i = 0; i < n && !wide; i++)
            wide = r[i] > 255 || g[i] > 255 || b[i] > 255;
        for (uint32_t i = 0; i < n && i < entries; i++) {
            pal[i].rgbRed = (BYTE)(wide ? r[i] * 255u / 65535u : r[i]);
            pal[i].rgbGreen = (BYTE)(wide ? g[i] * 255u / 65535u : g[i]);
            pal[i].rgbBlue = (BYTE)(wide ? b[i] * 255u / 65535u : b[i]);
        }
    }
    return true;
}

// The row source of one plane: band and tile sizes, its blocks in
// tile and band. Null, or the text.
const char* StartRowSource(TIFF* tif, const TiffPage& p, int planeSamples, uint16_t plane, RowSource* src, BYTE** tile,
                           BYTE** band) {
    src->tif = tif;
    src->tiled = TIFFIsTiled(tif) != 0;
    src->width = p.width;
    src->height = p.height;
    src->plane = plane;
    src->bitsPerPixel = planeSamples * p.bits;
    src->rowBytes = ((uint64_t)p.width * src->bitsPerPixel + 7) / 8;
    src->band = p.rowsPerStrip == 0 || p.rowsPerStrip > p.height ? p.height : p.rowsPerStrip;
    if (src->tiled) {
        uint32_t tw = 0, tl = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tl);
        uint64_t tileRow = (uint64_t)TIFFTileRowSize64(tif), tileBytes = (uint64_t)TIFFTileSize64(tif);
        if (tw == 0 || tl == 0 || tileRow == 0 || tileBytes > (uint64_t)kTiffMaxAlloc || tileRow * tl > tileBytes)
            return "Corrupted tiled TIFF file!";
        src->tileWidth = tw;
        src->band = tl;
        src->tileBytes = tileBytes;
        src->tileRow = tileRow;
        *tile = (BYTE*)malloc((size_t)src->tileBytes);
        src->tileBuf = *tile;
    }
    uint64_t bandBytes = src->rowBytes * src->band;
    if (bandBytes > kRasterMaxMemory || (src->tiled && !src->tileBuf) || !(*band = (BYTE*)malloc((size_t)bandBytes)))
        return "CRasterTIF can't allocate memory";
    src->bandBuf = *band;
    return nullptr;
}

// Where the samples of a row lie: in one packed row, or one row a plane.
struct RowSamples {
    const BYTE* row[4];
    int step;     // samples from one pixel to the next in a row
    bool planes;  // sample c of a pixel is in row[c]
    int bits;

    uint64_t At(uint32_t x, int c) const {
        return planes ? Sample(row[c], x, bits) : Sample(row[0], (uint64_t)x * step + c, bits);
    }
    BYTE Top(uint32_t x, int c) const {
        uint64_t v = At(x, c);
        return (BYTE)(bits <= 8 ? v : v >> (bits - 8));
    }
};

// c x nk / 255 rounded, as PIL converts CMYK.
inline int MulDiv255(int a, int b) {
    int t = a * b + 128;
    return ((t >> 8) + t) >> 8;
}

// One row of samples into image row y, as its kind wants it (16-bit grey
// aside). Indexed rows of the image's own depth are copied whole.
void StoreRow(CRaster* img, const RowSamples& s, uint64_t rowBytes, int y, RowKind kind, const RGBQUAD* pal) {
    const uint32_t width = (uint32_t)img->Width();
    BYTE* dst = img->GetRowPointer(y);
    if (kind == RowKind::Rgb) {
        for (uint32_t x = 0; x < width; x++, dst += 3)
            dst[2] = s.Top(x, 0), dst[1] = s.Top(x, 1), dst[0] = s.Top(x, 2);
    } else if (kind == RowKind::PremultipliedRgb) {
        // The colours divided by their alpha again (as PIL shows them).
        for (uint32_t x = 0; x < width; x++, dst += 3) {
            int a = s.Top(x, 3);
            for (int c = 0; c < 3; c++) {
                int v = a == 0 ? 0 : a == 255 ? s.Top(x, c) : s.Top(x, c) * 255 / a;
                dst[2 - c] = (BYTE)(v > 255 ? 255 : v);
            }
        }
    } else if (kind == RowKind::Cmyk) {
        for (uint32_t x = 0; x < width; x++, dst += 3) {
            int nk = 255 - s.Top(x, 3);
            dst[2] = (BYTE)(nk - MulDiv255(s.Top(x, 0), nk));
            dst[1] = (BYTE)(nk - MulDiv255(s.Top(x, 1), nk));
            dst[0] = (BYTE)(nk - MulDiv255(s.Top(x, 2), nk));
        }
    } else if (kind == RowKind::Lab) {
        for (uint32_t x = 0; x < width; x++, dst += 3)
            LabToBgr(s.Top(x, 0), (int8_t)s.Top(x, 1), (int8_t)s.Top(x, 2), dst);
    } else if (kind == RowKind::LargePalette) {
        for (uint32_t x = 0; x < width; x++, dst += 3) {
            RGBQUAD c = pal[s.At(x, 0)];
            dst[0] = c.rgbBlue, dst[1] = c.rgbGreen, dst[2] = c.rgbRed;
        }
    } else if (!s.planes && s.step == 1 && s.bits == img->GetBpp()) {
        uint64_t stride = (uint64_t)img->GetRowStride();
        memcpy(dst, s.row[0], (size_t)(rowBytes < stride ? rowBytes : stride));
    } else if (img->GetBpp() == 8) {
        for (uint32_t x = 0; x < width; x++)
            dst[x] = s.Top(x, 0);
    } else {
        // 1 or 4 bits from pixels of several samples: packed as the rows are.
        const int bpp = img->GetBpp(), mask = (1 << bpp) - 1;
        memset(dst, 0, (size_t)img->GetRowStride());
        for (uint32_t x = 0; x < width; x++) {
            uint64_t bit = (uint64_t)x * bpp;
            dst[bit / 8] |= (BYTE)((s.Top(x, 0) & mask) << (8 - bpp - bit % 8));
        }
    }
}

// A row of 16-bit grey scaled by its own brightest sample; returns the
// shift used.
BYTE StoreGrey16Row(CRaster* img, const BYTE* row, int y) {
    const uint32_t width = (uint32_t)img->Width();
    uint16_t m = 0;
    for (uint32_t x = 0; x < width; x++) {
        uint16_t v = (uint16_t)Sample(row, x, 16);
        m = v > m ? v : m;
    }
    int shift = LeadingZeros8((BYTE)(m >> 8));
    BYTE* dst = img->GetRowPointer(y);
    for (uint32_t x = 0; x < width; x++)
        dst[x] = (BYTE)(Sample(row, x, 16) >> (8 - shift));
    return (BYTE)shift;
}

// All rows read of 16-bit grey to the scale of the brightest row.
void EvenOutGrey16(CRaster* img, const BYTE* shifts, uint32_t rowsRead) {
    const uint32_t width = (uint32_t)img->Width(), height = (uint32_t)img->Height();
    int least = 8;
    for (uint32_t fy = 0; fy < rowsRead; fy++)
        least = shifts[fy] < least ? shifts[fy] : least;
    for (uint32_t fy = 0; fy < rowsRead; fy++) {
        BYTE* dst = img->GetRowPointer((int)(height - 1 - fy));
        for (uint32_t x = 0; x < width && shifts[fy] > least; x++)
            dst[x] = (BYTE)(dst[x] >> (shifts[fy] - least));
    }
}

// The row sources of the planes read and their blocks.
struct PlaneSources {
    RowSource src[4]{};
    int count = 1;
    BYTE* blocks[8] = {};
    ~PlaneSources() {
        for (BYTE* b : blocks)
            free(b);
    }
};

// Every row of the page from the sources into the image, bottom-up; a
// damaged strip ends the rows with those read so far, but a page of which
// not one row could be read fails. Null, or the text.
const char* ReadRows(CRaster* img, const TiffPage& p, int planeSamples, const RGBQUAD* pal, PlaneSources* ps,
                     Blocks* blocks) {
    const uint32_t height = p.height;
    RowKind kind = p.premultiplied  ? RowKind::PremultipliedRgb
                   : p.rgb          ? RowKind::Rgb
                   : p.cmyk         ? RowKind::Cmyk
                   : p.lab          ? RowKind::Lab
                   : p.largePalette ? RowKind::LargePalette
                                    : RowKind::Indexed;
    // 16-bit grey: each row is scaled by its own brightest sample first,
    // then all rows to the scale of the brightest row.
    bool scale16 = kind == RowKind::Indexed && p.bits == 16 && p.spp == 1 && p.grey;
    BYTE* shifts = scale16 ? (BYTE*)malloc(height) : nullptr;
    blocks->p[0] = shifts;
    if (scale16 && !shifts)
        return "CRasterTIF can't allocate memory";
    RowSamples s{};
    s.step = planeSamples;
    s.planes = ps->count > 1;
    s.bits = p.bits;
    uint32_t rowsRead = 0;
    for (uint32_t fy = 0; fy < height; fy++) {
        if (fy % ps->src[0].band == 0 && img->GetEscape())
            return "Cancelled";
        bool ended = false;
        for (int c = 0; c < ps->count && !ended; c++) {
            const char* error = nullptr;
            s.row[c] = ps->src[c].Row(fy, &error);
            if (error)
                return error;
            ended = !s.row[c];
        }
        if (ended)
            break;  // a damaged strip: the rows read so far stay
        int y = (int)(height - 1 - fy);
        if (scale16)
            shifts[fy] = StoreGrey16Row(img, s.row[0], y);
        else
            StoreRow(img, s, ps->src[0].rowBytes, y, kind, pal);
        rowsRead++;
    }
    if (rowsRead == 0)
        return "Corrupted TIFF file!";
    if (scale16)
        EvenOutGrey16(img, shifts, rowsRead);
    return nullptr;
}

// Bilevel, grey, palette, CIELab, RGB and CMYK pages, row by row: all
// samples of a pixel from one row when they are packed together, else
// from one row of each plane the colours need. Null, or the text.
const char* ReadPlanePage(TIFF* tif, const TiffPage& p, CRaster* img) {
    Blocks blocks;
    uint32_t entries = p.largePalette ? 1u << p.bits : 256;
    if (p.largePalette) {
        // Only when the colour map is there: libtiff has read it from the file.
        uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
            return "Corrupted TIFF file!";
    }
    RGBQUAD* pal = (RGBQUAD*)calloc(entries, sizeof(RGBQUAD));
    blocks.p[1] = (BYTE*)pal;
    if (!pal)
        return "Unable to allocate TIFF palette";
    if (!ReadTiffPalette(tif, p, pal, entries))
        return "Corrupted TIFF file!";
    if (img->HasPalette())
        img->SetPalette(pal, img->GetPaletteCount());
    bool separate = p.planar == PLANARCONFIG_SEPARATE;
    int planeSamples = separate ? 1 : p.spp;
    if (p.lab && planeSamples < 3 && !separate)
        return "unsupported TIFF photometric";
    PlaneSources ps;
    ps.count = !separate ? 1 : p.cmyk || p.premultiplied ? 4 : p.rgb || p.lab ? 3 : 1;
    for (int c = 0; c < ps.count; c++) {
        const char* error =
            StartRowSource(tif, p, planeSamples, (uint16_t)c, &ps.src[c], &ps.blocks[2 * c], &ps.blocks[2 * c + 1]);
        if (error)
            return error;
    }
    return ReadRows(img, p, planeSamples, pal, &ps, &blocks);
}

// Orientation: the stored rows are turned upright (the image is bottom-up).
bool TurnUpright(CRaster* img, uint16_t orientation) {
    switch (orientation) {
        case ORIENTATION_TOPRIGHT:
            return img->Mirror();
        case ORIENTATION_BOTRIGHT:
            return img->Flip() && img->Mirror();
        case ORIENTATION_BOTLEFT:
            return img->Flip();
        case ORIENTATION_LEFTTOP:
            return img->RotateRight() && img->Mirror();
        case ORIENTATION_RIGHTTOP:
            return img->RotateRight();
        case ORIENTATION_RIGHTBOT:
            return img->RotateLeft() && img->Mirror();
        case ORIENTATION_LEFTBOT:
            return img->RotateLeft();
    }
    return true;
}

}  // namespace

bool TiffCompressionFits(uint32_t compression, int bpp) {
    if (!TIFFIsCODECConfigured((uint16_t)compression))
        return false;
    switch (compression) {
        case COMPRESSION_NONE:
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PACKBITS:
            return true;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return bpp == 1;
        case COMPRESSION_JPEG:
            return bpp == 24;
    }
    return false;
}

CRasterTIF::~CRasterTIF() {
    CloseOutput();
}

void CRasterTIF::CloseOutput() {
    if (out_)
        TIFFClose(out_);
    out_ = nullptr;
    multiPage_ = 0;
    pages_ = 0;
}

bool CRasterTIF::DecodeTif(CRasterFile* f) {
    if (!f)
        return false;
    TIFF* tif = TiffOpenStream(f, "rb");
    if (!tif) {
        SetLastError("Error encountered while opening TIFF file");
        return false;
    }
    TiffCloser closer{tif};
    tdir_t pages = TIFFNumberOfDirectories(tif);
    SetFrameCount((int)pages);
    if (GetCurrentFrame() < 0 || (tdir_t)GetCurrentFrame() >= pages ||
        !TIFFSetDirectory(tif, (tdir_t)GetCurrentFrame())) {
        SetLastError("Error: page not present in TIFF file");
        return false;
    }
    TiffPage p;
    ReadPageFields(tif, &p);
    const uint32_t width = p.width, height = p.height;
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX || p.spp == 0 || p.bits == 0 || p.bits > 64) {
        SetLastError("Corrupted TIFF file!");
        return false;
    }
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = (LONG)width;
        head_.biHeight = (LONG)height;
        SetFormatId(kFormatTif);
        SetLastError("output dimensions returned");
        return true;
    }
    ReadPlacement(tif, this);
    const char* error = ClassifyPage(&p);
    if (!error && p.rgb && p.photometric == PHOTOMETRIC_YCBCR &&
        !TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
        error = "Corrupted TIFF file!";
    // The picture is reserved only for a page whose data can fill it.
    if (!error)
        error = CheckStrips(tif, p, (uint64_t)(f->Size() > 0 ? f->Size() : 0));
    if (!error && GetEscape())
        error = "Cancelled";
    if (error) {
        SetLastError(error);
        return false;
    }
    int depth = p.rgb || p.cmyk || p.rgba || p.lab || p.largePalette ? 24 : p.bits == 1 ? 1 : p.bits == 4 ? 4 : 8;
    if (!Create((int)width, (int)height, depth, kFormatTif)) {
        SetLastError("CRasterTIF can't create image");
        return false;
    }
    SetFormatOption(TiffCompressionFits(p.compression, depth) ? p.compression : 0, kFormatTif);
    error = p.rgba ? ReadRgbaPage(tif, p, this) : ReadPlanePage(tif, p, this);
    if (error) {
        SetLastError(error);
        return false;
    }
    return TurnUpright(this, p.orientation);
}

namespace {

// Writes the image as the current page of tif (page from 0, pages 0 when
// the total is not known yet).
bool WritePage(CRaster* img, TIFF* tif, bool multiPage, int page, int pages) {
    int bpp = img->GetBpp();
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
        return false;
    uint16_t spp = bpp == 24 ? 3 : 1;
    uint16_t bits = (uint16_t)(bpp / spp);
    uint32_t width = (uint32_t)img->Width(), height = (uint32_t)img->Height();
    // 1 bit is written min-is-white: an image whose entry 0 is the darker
    // has its bits inverted on the way out (the image itself is not changed).
    BYTE invert = 0;
    uint16_t photometric = PHOTOMETRIC_RGB;
    if (bpp == 1) {
        photometric = PHOTOMETRIC_MINISWHITE;
        invert = CRaster::Luminance(img->GetPaletteColor(0)) < CRaster::Luminance(img->GetPaletteColor(1)) ? 0xFF : 0;
    } else if (bpp < 24) {
        photometric = IsGreyRamp(*img) ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
    }
    uint32_t compression = img->GetFormatOption(kFormatTif);
    if (compression == 0 || !TiffCompressionFits(compression, bpp))
        compression = bpp == 1 ? COMPRESSION_CCITTFAX4 : bpp == 24 ? COMPRESSION_JPEG : COMPRESSION_LZW;
    uint32_t rows = TIFFDefaultStripSize(tif, (uint32_t)-1);
    if (compression == COMPRESSION_JPEG)
        rows = (rows + 7) / 8 * 8;
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, (uint16_t)compression) &&
              TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
              TIFFSetField(tif, TIFFTAG_XRESOLUTION, (float)img->GetXDpi()) &&
              TIFFSetField(tif, TIFFTAG_YRESOLUTION, (float)img->GetYDpi());
    if (ok && multiPage) {
        char name[32];
        StrFmt(name, countof(name), "Page %d", page + 1);
        ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
             TIFFSetField(tif, TIFFTAG_PAGENUMBER, (uint16_t)page, (uint16_t)pages) &&
             TIFFSetField(tif, TIFFTAG_PAGENAME, name);
    } else if (ok) {
        ok = TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    }
    if (ok && compression == COMPRESSION_LZW && bpp > 7)
        ok = TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (ok && compression == COMPRESSION_JPEG)
        ok = TIFFSetField(tif, TIFFTAG_JPEGQUALITY, (int)img->GetJpegQuality());
    ok = ok && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    if (ok && photometric == PHOTOMETRIC_PALETTE) {
        uint16_t map[3][256] = {};
        for (int i = 0; i < img->GetPaletteCount(); i++) {
            RGBQUAD c = img->GetPaletteColor(i);
            map[0][i] = (uint16_t)(c.rgbRed * 257);
            map[1][i] = (uint16_t)(c.rgbGreen * 257);
            map[2][i] = (uint16_t)(c.rgbBlue * 257);
        }
        ok = TIFFSetField(tif, TIFFTAG_COLORMAP, map[0], map[1], map[2]);
    }
    size_t stride = (size_t)img->GetRowStride();
    BYTE* buf = ok ? (BYTE*)malloc(stride) : nullptr;
    ok = buf != nullptr;
    for (uint32_t r = 0; r < height && ok; r++) {
        memcpy(buf, img->GetRowPointer((int)(height - 1 - r)), stride);
        if (bpp == 24)
            img->SwapRedBlueRow(buf, (int)stride);
        for (size_t i = 0; invert && i < stride; i++)
            buf[i] ^= invert;
        ok = TIFFWriteScanline(tif, buf, r, 0) >= 0;
    }
    free(buf);
    return ok;
}

}  // namespace

bool CRasterTIF::EncodeTif(CRasterFile* f, bool append) {
    // A file whose earlier page failed stays failed up to its last call.
    if (broken_) {
        broken_ = append;
        SetLastError("Error saving TIFF file");
        return false;
    }
    if (!CheckBeforeEncode(f)) {
        CloseOutput();
        broken_ = append;
        return false;
    }
    if (!out_)
        out_ = TiffOpenStream(f, "a");
    if (!out_) {
        SetLastError("initialization fail");
        CloseOutput();
        broken_ = append;
        return false;
    }
    if (append)
        multiPage_ = 1;
    pages_++;
    if (!WritePage(this, out_, multiPage_ != 0, pages_ - 1, append ? 0 : pages_)) {
        SetLastError("Error saving TIFF file");
        CloseOutput();
        broken_ = append;
        return false;
    }
    if (append) {
        if (!TIFFWriteDirectory(out_)) {
            SetLastError("Error saving TIFF directory");
            CloseOutput();
            broken_ = 1;
            return false;
        }
        return true;
    }
    bool flushed = TIFFFlush(out_) != 0;
    CloseOutput();
    if (!flushed)
        SetLastError("Error saving TIFF file");
    return flushed;
}

static CRaster* NewTif() {
    return new CRasterTIF();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterTIF*>(codec)->DecodeTif(f);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterTIF*>(codec)->EncodeTif(f, false);
}

const RasterCodec kTifCodec = {kFormatTif, NewTif, DecodeThunk, EncodeThunk, false};
