// PNG codec over libpng and the image streams.
//
// Reads: every colour type and depth; 2-bit data is widened to 4 bits,
//   16-bit samples keep their high byte, alpha channels are dropped,
//   palette alpha lands in the palette's reserved bytes. pHYs in metres sets
//   the DPI (unit 0 is only an aspect ratio and leaves it).
// Writes: 1/4/8-bit palette or grey (only a full evenly spaced grey ramp is
//   grey), 24-bit RGB; bKGD, pHYs, one transparent entry or the palette's
//   alpha (when the image holds palette alpha); optional Adam7. A large
//   image without Adam7 has its data deflated in parallel bands.
// libpng errors come back through longjmp: nothing with a destructor lives
// between setjmp and the library calls.
#include "image/raster_png.h"

#include <png.h>
#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "image/grey_ramp.h"
#include "image/png_deflate.h"

namespace {

struct PngIo {
    CRasterFile* file;
    char* errorText;  // the image's last-error text (256 bytes); null when writing
};

void PngReadCallback(png_structp png, png_bytep data, size_t n) {
    PngIo* io = (PngIo*)png_get_io_ptr(png);
    if (!io || !io->file || io->file->Read(data, 1, n) != n)
        png_error(png, "Read Error");
}

void PngWriteCallback(png_structp png, png_bytep data, size_t n) {
    PngIo* io = (PngIo*)png_get_io_ptr(png);
    if (!io || !io->file || io->file->Write(data, 1, n) != n)
        png_error(png, "Write Error");
}

void PngFlushCallback(png_structp png) {
    PngIo* io = (PngIo*)png_get_io_ptr(png);
    if (!io || !io->file || !io->file->Flush())
        png_error(png, "Flush Error");
}

void PngErrorCallback(png_structp png, png_const_charp message) {
    char* text = (char*)png_get_error_ptr(png);
    if (text)
        StrCopy(text, 256, message ? message : "PNG error");
    png_longjmp(png, 1);
}

void PngWarningCallback(png_structp, png_const_charp) {}

// libpng's own blocks while reading (chunk data, row buffers) stay below
// 64 MiB: a forged chunk length must not take a gigabyte; the pixels
// themselves are the image's, checked against the memory limit.
constexpr size_t kPngMaxBlock = 64u << 20;

png_voidp PngMalloc(png_structp, png_alloc_size_t n) {
    return n <= kPngMaxBlock ? malloc(n) : nullptr;
}

void PngFree(png_structp, png_voidp p) {
    free(p);
}

int MaxIndexUsed(const CRaster& image) {
    int maxIndex = 0;
    for (int y = 0; y < image.Height(); y++)
        for (int x = 0; x < image.Width(); x++) {
            int i = image.GetPixelIndexRaw(x, y);
            if (i > maxIndex)
                maxIndex = i;
        }
    return maxIndex;
}

// Exchanges indices a and b in one packed row of width pixels.
void SwapRowIndex(BYTE* row, int width, int bpp, int a, int b) {
    int perByte = 8 / bpp, mask = (1 << bpp) - 1;
    for (int x = 0; x < width; x++) {
        int shift = 8 - bpp * (x % perByte + 1);
        BYTE* p = row + x / perByte;
        int v = (*p >> shift) & mask;
        int w = v == a ? b : v == b ? a : v;
        *p = (BYTE)((*p & ~(mask << shift)) | (w << shift));
    }
}

struct EncodeState {
    png_structp png;
    png_infop info;
    BYTE* row;
    png_color* plte;
};

// The reader's stream, error texts and limits, after the signature.
void PrepareRead(png_structp png, PngIo* io) {
    png_set_read_fn(png, io, PngReadCallback);
    png_set_error_fn(png, io->errorText, PngErrorCallback, PngWarningCallback);
    png_set_sig_bytes(png, 8);
    // Huge dimensions are refused by the memory check of Create, not by
    // libpng's default one-million limit.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    // A chunk's length field alone must not make libpng allocate a gigabyte
    // (text and profile chunks are read whole); pixel data is not a chunk.
    png_set_chunk_malloc_max(png, 8u << 20);
    png_set_chunk_cache_max(png, 1000);
}

// Every pass into the image's rows, bottom-up; a cancel jumps out.
void ReadPngRows(png_structp png, CRaster* image, int passes) {
    // Rows are read in place: later passes fill in the rows earlier ones left.
    for (int pass = 0; pass < passes; pass++) {
        for (int y = image->Height() - 1; y >= 0; y--) {
            if (image->GetEscape())
                png_longjmp(png, 1);
            png_read_row(png, image->GetRowPointer(y), nullptr);
        }
        image->SetProgress((pass + 1) * 100 / passes);
    }
}

// Samples per pixel of a PNG colour type; 0 for an unknown type.
int PngChannels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
    }
    return 0;
}

// The image's palette: the file's PLTE, else four greys for 2-bit data or
// the grey ramp.
void ReadPngPalette(png_structp png, png_infop info, CRaster* image, int bitDepth) {
    if (image->GetPaletteCount() <= 0)
        return;
    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(png, info, &plte, &plteCount) && plteCount > 0) {
        int n = plteCount < image->GetPaletteCount() ? plteCount : image->GetPaletteCount();
        for (int i = 0; i < n; i++)
            image->SetPaletteColor(i, plte[i].red, plte[i].green, plte[i].blue);
        image->SetColorsImportant(n);
    } else if (bitDepth == 2) {
        for (int i = 0; i < 4; i++)
            image->SetPaletteColor(i, (BYTE)(85 * i), (BYTE)(85 * i), (BYTE)(85 * i));
    } else {
        image->SetGrayPalette();
    }
}

// The tRNS chunk: palette alpha, or the transparent grey or colour.
void ReadPngTransparency(png_structp png, png_infop info, CRaster* image, int colorType, int bitDepth) {
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColor = nullptr;
    if (!png_get_tRNS(png, info, &transAlpha, &transCount, &transColor))
        return;
    int shift = bitDepth > 8 ? 8 : 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE && transAlpha && transCount > 0) {
        // Alpha per entry; a single entry of alpha 255 is no transparency.
        RGBQUAD* pal = image->GetPalette();
        int n = image->GetPaletteCount();
        for (int k = 0; k < n && transCount > 1; k++)
            pal[k].rgbReserved = k < transCount ? transAlpha[k] : 255;
        image->SetAlphaPalette(transCount > 1);
        if (transCount == 1 && transAlpha[0] != 255)
            image->SetTransparentIndex(0);
        // One entry fully transparent and the rest opaque: that entry is
        // the transparent index too, for formats that hold only one.
        int clear = -1, others = 0;
        for (int k = 0; k < n && k < transCount && transCount > 1; k++) {
            if (transAlpha[k] == 255)
                continue;
            if (transAlpha[k] == 0 && clear < 0)
                clear = k;
            else
                others++;
        }
        if (clear >= 0 && others == 0)
            image->SetTransparentIndex(clear);
    } else if (colorType == PNG_COLOR_TYPE_GRAY && transColor) {
        image->SetTransparentIndex((transColor->gray >> shift) & 0xFF);
    } else if (colorType == PNG_COLOR_TYPE_RGB && transColor) {
        RGBQUAD c = {(BYTE)(transColor->blue >> shift), (BYTE)(transColor->green >> shift),
                     (BYTE)(transColor->red >> shift), 0};
        image->SetTransparentColor(c);
        image->Info().transparentIndex = 0;
    }
}

// Spreads rows of 2-bit samples (as libpng wrote them) into the image's
// 4-bit rows, from the right end so that nothing is overwritten early.
void ExpandTwoBitRows(CRaster* image, int width, int height) {
    for (int y = 0; y < height; y++) {
        BYTE* row = image->GetRowPointer(y);
        for (int n = width - 1; n >= 0; n--) {
            int v = (row[n / 4] >> (6 - 2 * (n % 4))) & 3;
            BYTE* p = row + n / 2;
            *p = (n % 2) ? (BYTE)((*p & 0xF0) | v) : (BYTE)((*p & 0x0F) | (v << 4));
        }
    }
}

// zlib level from bits 0xE of the option word: 2 gives 0, 4 gives 1, 6
// gives 9, anything else zlib's default (-1).
int PngLevel(uint32_t option) {
    switch (option & 0xE) {
        case 2:
            return 0;
        case 4:
            return 1;
        case 6:
            return 9;
        default:
            return -1;
    }
}

void SetPngCompression(png_structp png, uint32_t option) {
    int level = PngLevel(option);
    if (level >= 0)
        png_set_compression_level(png, level);
}

// bKGD: the transparent colour (white without one) in an RGB file, index
// or grey 0 otherwise.
void SetPngBackground(const EncodeState& st, const CRaster& image, int colorType) {
    png_color_16 background = {};
    background.red = background.green = background.blue = 255;
    if (image.GetTransparentIndex() >= 0) {
        RGBQUAD tc = image.GetTransparentColor();
        background.red = tc.rgbRed;
        background.green = tc.rgbGreen;
        background.blue = tc.rgbBlue;
    }
    if (colorType != PNG_COLOR_TYPE_RGB)
        background.red = background.green = background.blue = 0;
    png_set_bKGD(st.png, st.info, &background);
}

// PLTE (and tRNS of an alpha palette), entry swapWith moved to 0. Every
// index the pixels use (and the moved transparent entry) is covered.
void SetPngPalette(EncodeState& st, const CRaster& image, int swapWith) {
    int count = image.GetColorsImportant() > 0 ? image.GetColorsImportant() : image.GetPaletteCount();
    int needed = MaxIndexUsed(image) + 1;
    if (count < needed)
        count = needed;
    if (count <= swapWith)
        count = swapWith + 1;
    if (count > image.GetPaletteCount())
        count = image.GetPaletteCount();
    st.plte = (png_color*)calloc((size_t)count, sizeof(png_color));
    if (!st.plte)
        png_error(st.png, "out of memory");
    png_byte alpha[256];
    for (int i = 0; i < count; i++) {
        int from = i == 0 ? swapWith : i == swapWith ? 0 : i;
        RGBQUAD c = image.GetPaletteColor(from);
        st.plte[i].red = c.rgbRed;
        st.plte[i].green = c.rgbGreen;
        st.plte[i].blue = c.rgbBlue;
        alpha[i] = c.rgbReserved;
    }
    png_set_PLTE(st.png, st.info, st.plte, count);
    if (image.HasAlphaPalette()) {
        if (image.GetTransparentIndex() >= 0)
            alpha[0] = 0;  // the transparent entry, moved to 0
        png_set_tRNS(st.png, st.info, alpha, count, nullptr);
    }
}

// tRNS of the one transparent index, grey or colour.
void SetPngTransparentColor(const EncodeState& st, const CRaster& image, int colorType) {
    int transIndex = image.GetTransparentIndex();
    png_byte alpha = 0;
    png_color_16 tc = {};
    RGBQUAD c = image.GetTransparentColor();
    tc.index = (png_byte)(colorType == PNG_COLOR_TYPE_PALETTE ? 0 : transIndex);
    tc.gray = (png_uint_16)(transIndex & 0xFF);
    tc.red = c.rgbRed;
    tc.green = c.rgbGreen;
    tc.blue = c.rgbBlue;
    png_set_tRNS(st.png, st.info, &alpha, 1, &tc);
}

// The header, then every pass of rows, top-down, in the file's byte order
// (RGB, the transparent index swapped with 0).
void WritePngRows(EncodeState* st, const CRaster& image, int swapWith) {
    const int width = image.Width(), bpp = image.GetBpp();
    const int channels = bpp <= 8 ? 1 : 3;
    const int bitDepth = bpp / channels;
    size_t bufferBytes = (size_t)(((uint64_t)bitDepth * channels * (uint64_t)width + 7) / 8);
    if (bufferBytes < (size_t)image.GetRowStride())
        bufferBytes = (size_t)image.GetRowStride();
    st->row = (BYTE*)malloc(bufferBytes);
    if (!st->row)
        png_error(st->png, "out of memory");
    png_write_info(st->png, st->info);
    int passes = png_set_interlace_handling(st->png);
    for (int pass = 0; pass < passes; pass++) {
        for (int y = image.Height() - 1; y >= 0; y--) {
            memcpy(st->row, image.GetRowPointer(y), (size_t)image.GetRowStride());
            if (channels == 3)
                image.SwapRedBlueRow(st->row, width * 3);
            else if (swapWith)
                SwapRowIndex(st->row, width, bpp, 0, swapWith);
            png_write_row(st->png, st->row);
        }
    }
}

struct BandRowSource {
    const CRaster* image;
    int channels, swapWith;
    size_t rowBytes;
};

// Row y from the top in the file's byte order, as WritePngRows makes it.
void BandRow(const void* context, int y, unsigned char* out) {
    const BandRowSource* s = (const BandRowSource*)context;
    const CRaster& image = *s->image;
    memcpy(out, image.GetRowPointer(image.Height() - 1 - y), s->rowBytes);
    if (s->channels == 3)
        image.SwapRedBlueRow(out, image.Width() * 3);
    else if (s->swapWith)
        SwapRowIndex(out, image.Width(), image.GetBpp(), 0, s->swapWith);
}

// A large image without interlace: the header chunks by libpng, the image
// data in parallel bands, IEND. False when it is not such an image; a
// failed write jumps as libpng's own would.
bool WritePngBands(EncodeState* st, CRasterFile* f, const CRaster& image, int colorType, int swapWith) {
    const int bpp = image.GetBpp(), channels = bpp <= 8 ? 1 : 3;
    const size_t rowBytes = (size_t)(((uint64_t)bpp * (uint64_t)image.Width() + 7) / 8);
    uint32_t option = image.GetFormatOption(kFormatPng);
    if ((option & kPngInterlaced) || (uint64_t)(rowBytes + 1) * (uint64_t)image.Height() < 2 * kPngBandMinBytes)
        return false;
    BandRowSource source = {&image, channels, swapWith, rowBytes};
    PngRowsPlan plan = {};
    plan.height = image.Height();
    plan.rowBytes = rowBytes;
    plan.bytesPerPixel = bpp < 8 ? 1 : bpp / 8;
    // As libpng: adaptive filters for 8 bits a sample without a palette.
    plan.adaptiveFilters = colorType != PNG_COLOR_TYPE_PALETTE && bpp >= 8;
    plan.level = PngLevel(option);
    plan.source = BandRow;
    plan.context = &source;
    png_write_info(st->png, st->info);
    if (!WritePngImageData(f, plan))
        png_error(st->png, "Write Error");
    return true;
}

// The image at the file's size and depth, with its DPI, palette and
// transparency, and libpng's transforms into the image's byte order.
// Failures and a cancel jump back to the decoder's setjmp: no object with a
// destructor here.
void SetUpPngImage(png_structp png, png_infop info, CRaster* image, png_uint_32 width, png_uint_32 height, int bitDepth,
                   int colorType) {
    int channels = PngChannels(colorType);
    if (channels == 0) {
        image->SetLastError("unknown PNG color type");
        png_longjmp(png, 1);
    }
    int bpp = channels >= 3 ? 24 : (channels == 2 || bitDepth > 8) ? 8 : bitDepth;
    if (!image->Create((int)width, (int)height, bpp, kFormatPng))
        png_longjmp(png, 1);

    png_uint_32 xPpu = 0, yPpu = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xPpu, &yPpu, &unit) && unit == PNG_RESOLUTION_METER) {
        image->SetXDpi((int)(xPpu * 254.0 / 10000.0 + 0.5));
        image->SetYDpi((int)(yPpu * 254.0 / 10000.0 + 0.5));
    }
    ReadPngPalette(png, info, image, bitDepth);
    ReadPngTransparency(png, info, image, colorType, bitDepth);
    if (colorType & PNG_COLOR_MASK_ALPHA)
        png_set_strip_alpha(png);
    if (colorType & PNG_COLOR_MASK_COLOR)
        png_set_bgr(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (image->GetEscape())
        png_longjmp(png, 1);
}

// Every pass of rows into the image (the option word records interlace),
// 2-bit data widened to 4 bits. Failures jump back to the decoder's setjmp.
void ReadPngPixels(png_structp png, png_infop info, CRaster* image, png_uint_32 width, png_uint_32 height,
                   int bitDepth) {
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    uint32_t option = image->GetFormatOption(kFormatPng);
    image->SetFormatOption(passes > 1 ? (option | kPngInterlaced) : (option & ~kPngInterlaced), kFormatPng);
    size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes > (size_t)image->GetRowStride()) {
        image->SetLastError("PNG row larger than the image row");
        png_longjmp(png, 1);
    }
    ReadPngRows(png, image, passes);
    if (bitDepth == 2)
        ExpandTwoBitRows(image, (int)width, (int)height);
}

}  // namespace

bool CRasterPNG::DecodePng(CRasterFile* f, bool signatureOnly) {
    (void)signatureOnly;  // the signature is always required
    if (!f)
        return false;
    BYTE sig[8];
    if (f->Read(sig, 1, 8) != 8 || png_sig_cmp(sig, 0, 8) != 0) {
        SetLastError("Not a PNG");
        return false;
    }
    PngIo io = {f, info_.lastError};
    png_structp png =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, nullptr, PngMalloc, PngFree);
    if (!png) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    // 0: failure; 1: size-only success. Set before any jump.
    volatile int jumpResult = 0;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return jumpResult != 0;
    }
    PrepareRead(png, &io);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = (LONG)width;
        head_.biHeight = (LONG)height;
        SetFormatId(kFormatPng);
        SetLastError("output dimensions returned");
        jumpResult = 1;
        png_longjmp(png, 1);
    }
    SetUpPngImage(png, info, this, width, height, bitDepth, colorType);
    ReadPngPixels(png, info, this, width, height, bitDepth);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool CRasterPNG::EncodePng(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    PngIo io = {f, nullptr};
    EncodeState st = {};
    st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!st.png) {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    st.info = png_create_info_struct(st.png);
    if (!st.info) {
        png_destroy_write_struct(&st.png, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    // The state lives in st (its address is taken, so it is in memory when
    // the jump lands); the image is never modified, so nothing to restore.
    if (setjmp(png_jmpbuf(st.png))) {
        free(st.row);
        free(st.plte);
        png_destroy_write_struct(&st.png, &st.info);
        SetLastError("Error saving PNG file");
        return false;
    }
    png_set_error_fn(st.png, nullptr, PngErrorCallback, PngWarningCallback);
    png_set_write_fn(st.png, &io, PngWriteCallback, PngFlushCallback);

    const int width = Width(), height = Height(), bpp = GetBpp();
    const int channels = bpp <= 8 ? 1 : 3;
    const int bitDepth = bpp / channels;
    const bool palette = HasPalette();
    // A grey file has no room for palette alpha.
    const bool grey = palette && IsGreyRamp(*this) && !HasAlphaPalette();
    const int colorType = !palette ? PNG_COLOR_TYPE_RGB : grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
    const int interlace = (GetFormatOption(kFormatPng) & kPngInterlaced) ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    SetPngCompression(st.png, GetFormatOption(kFormatPng));
    png_set_IHDR(st.png, st.info, (png_uint_32)width, (png_uint_32)height, bitDepth, colorType, interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    const int transIndex = GetTransparentIndex();
    // A palette image's transparent entry is moved to 0 in the file only.
    const int swapWith = (colorType == PNG_COLOR_TYPE_PALETTE && transIndex > 0) ? transIndex : 0;
    SetPngBackground(st, *this, colorType);
    png_set_pHYs(st.png, st.info, (png_uint_32)head_.biXPelsPerMeter, (png_uint_32)head_.biYPelsPerMeter,
                 PNG_RESOLUTION_METER);

    if (colorType == PNG_COLOR_TYPE_PALETTE)
        SetPngPalette(st, *this, swapWith);
    if (transIndex >= 0 && !(colorType == PNG_COLOR_TYPE_PALETTE && HasAlphaPalette()))
        SetPngTransparentColor(st, *this, colorType);

    if (!WritePngBands(&st, f, *this, colorType, swapWith)) {
        WritePngRows(&st, *this, swapWith);
        png_write_end(st.png, st.info);
    }
    free(st.row);
    free(st.plte);
    png_destroy_write_struct(&st.png, &st.info);
    return true;
}

static CRaster* NewPng() {
    return new CRasterPNG();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool signatureOnly) {
    return static_cast<CRasterPNG*>(codec)->DecodePng(f, signatureOnly);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterPNG*>(codec)->EncodePng(f);
}

const RasterCodec kPngCodec = {kFormatPng, NewPng, DecodeThunk, EncodeThunk, false};
