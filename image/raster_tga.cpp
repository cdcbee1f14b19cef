// TGA codec.
//
// Reads: colour-mapped (8-bit indices, map entries of 15, 16, 24 or 32 bits
//   placed from the map's first index on), true-colour (15, 16, 24 and 32
//   bits; alpha is dropped) and 8-bit grey images, raw or run-length
//   encoded, in any of the four row and pixel orders. Runs may cross row
//   ends. TGA has no signature, so the header is checked strictly, and the
//   data must be long enough for the picture before anything is allocated.
// Writes: 8-bit images with a 256-entry 24-bit colour map, 24-bit images as
//   true colour; uncompressed, bottom row first.
#include "image/raster_tga.h"

#include <stdlib.h>
#include <string.h>

#include "image/byte_order.h"

namespace {

constexpr int kHeaderSize = 18;
constexpr BYTE kRightToLeft = 0x10;
constexpr BYTE kTopToBottom = 0x20;

struct TgaHeader {
    BYTE idLength, mapType, imageType;
    uint16_t mapFirst, mapLength;
    BYTE mapEntryBits;
    uint16_t width, height;
    BYTE depth, descriptor;
};

void ParseHeader(const BYTE* b, TgaHeader* h) {
    h->idLength = b[0];
    h->mapType = b[1];
    h->imageType = b[2];
    h->mapFirst = LoadLe16(b + 3);
    h->mapLength = LoadLe16(b + 5);
    h->mapEntryBits = b[7];
    h->width = LoadLe16(b + 12);
    h->height = LoadLe16(b + 14);
    h->depth = b[16];
    h->descriptor = b[17];
}

int BytesOfBits(int bits) {
    return (bits + 7) / 8;  // 15 bits take two bytes
}

// Whether the header describes a picture this reader can take. Colour maps
// must fit the 256 palette entries from their first index on.
bool HeaderIsSound(const TgaHeader& h) {
    if (h.width == 0 || h.height == 0 || h.mapType > 1 || h.mapLength > 256)
        return false;
    if (h.mapType == 1) {
        if (h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
            return false;
        if ((int)h.mapFirst + h.mapLength > 256)
            return false;
    }
    int kind = h.imageType & 7;
    if (kind == 1)  // colour-mapped
        return h.depth == 8 && h.mapType == 1;
    if (kind == 3)  // grey
        return h.depth == 8;
    return h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32;
}

// One file pixel of `bytes` bytes into the image's 1 or 3 bytes.
void ConvertPixel(const BYTE* src, int bytes, BYTE* dst) {
    if (bytes == 1) {
        dst[0] = src[0];
    } else if (bytes == 2) {
        // 5 bits each, widened by repeating the top bits (1F gives FF).
        uint16_t v = LoadLe16(src);
        BYTE b = (BYTE)(v & 0x1F), g = (BYTE)((v >> 5) & 0x1F), r = (BYTE)((v >> 10) & 0x1F);
        dst[0] = (BYTE)(b << 3 | b >> 2);
        dst[1] = (BYTE)(g << 3 | g >> 2);
        dst[2] = (BYTE)(r << 3 | r >> 2);
    } else {
        dst[0] = src[0], dst[1] = src[1], dst[2] = src[2];
    }
}

// Run-length state carried from row to row: the rest of a packet that a
// row end split.
struct RleState {
    int left = 0;  // pixels of the current packet still to store
    bool run = false;
    BYTE value[4] = {0, 0, 0, 0};
};

// Reads n raw file pixels into dst (image pixel size outBytes).
bool ReadRawPixels(CRasterFile* f, BYTE* scratch, int n, int bytes, BYTE* dst, int outBytes) {
    size_t need = (size_t)n * bytes;
    if (f->Read(scratch, 1, need) != need)
        return false;
    for (int i = 0; i < n; i++)
        ConvertPixel(scratch + (size_t)i * bytes, bytes, dst + (size_t)i * outBytes);
    return true;
}

bool ReadRleRow(CRasterFile* f, RleState* s, BYTE* scratch, int width, int bytes, BYTE* row, int outBytes) {
    int done = 0;
    while (done < width) {
        if (s->left == 0) {
            long h = f->GetC();
            if (h < 0)
                return false;
            s->run = h >= 128;
            s->left = (int)(h & 0x7F) + 1;
            if (s->run && f->Read(s->value, 1, (size_t)bytes) != (size_t)bytes)
                return false;
        }
        int n = s->left < width - done ? s->left : width - done;
        BYTE* dst = row + (size_t)done * outBytes;
        if (s->run) {
            for (int i = 0; i < n; i++)
                ConvertPixel(s->value, bytes, dst + (size_t)i * outBytes);
        } else if (!ReadRawPixels(f, scratch, n, bytes, dst, outBytes)) {
            return false;
        }
        s->left -= n;
        done += n;
    }
    return true;
}

// Whether an image type is run-length encoded: 0 raw, 1 encoded, -1 an
// unknown type.
int RleOfType(int imageType) {
    switch (imageType) {
        case 1:
        case 2:
        case 3:
            return 0;
        case 9:
        case 10:
        case 11:
            return 1;
        default:
            return -1;
    }
}

// Whether the data after the stream's position (past the image id) can
// hold the picture: one byte per packet of 128 pixels plus its value, or
// every pixel raw, after the colour map.
bool DataCanHold(CRasterFile* f, const TgaHeader& h, bool rle) {
    int mapBytes = h.mapType ? BytesOfBits(h.mapEntryBits) : 0;
    int bytes = BytesOfBits(h.depth);
    uint64_t pixels = (uint64_t)h.width * h.height;
    uint64_t least = (uint64_t)h.mapLength * mapBytes +
                     (rle ? (pixels + 127) / 128 * (uint64_t)(1 + bytes) : pixels * (uint64_t)bytes);
    long size = f->Size(), at = f->Tell();
    // An image id longer than the file leaves the position past its end.
    return !(size < 0 || at < 0 || at > size || (uint64_t)(size - at) < least);
}

// The colour map into the palette from its first index on; grey images
// get the grey ramp. False when the map is cut short.
bool ReadColorMap(CRasterFile* f, const TgaHeader& h, CRaster* img) {
    int mapBytes = h.mapType ? BytesOfBits(h.mapEntryBits) : 0;
    BYTE entry[4];
    for (int i = 0; i < h.mapLength; i++) {
        if (f->Read(entry, 1, (size_t)mapBytes) != (size_t)mapBytes)
            return false;
        BYTE bgr[3] = {0, 0, 0};
        ConvertPixel(entry, mapBytes, bgr);
        img->SetPaletteColor(h.mapFirst + i, bgr[2], bgr[1], bgr[0]);
    }
    if ((h.imageType & 7) == 3)
        img->SetGrayPalette();
    return true;
}

// Every row, raw or run-length encoded, in the file's row order, then
// mirrored for right-to-left pixels. False with a text.
bool ReadTgaPixels(CRasterFile* f, const TgaHeader& h, bool rle, CRaster* img) {
    int bytes = BytesOfBits(h.depth);
    int outBytes = img->GetBpp() / 8;
    BYTE* scratch = (BYTE*)malloc((size_t)h.width * bytes);
    if (!scratch) {
        img->SetLastError("can't allocate memory");
        return false;
    }
    RleState state;
    bool ok = true;
    for (int i = 0; i < h.height && ok; i++) {
        if (img->GetEscape()) {
            img->SetLastError("Cancelled");
            ok = false;
            break;
        }
        BYTE* row = img->GetRowPointer((h.descriptor & kTopToBottom) ? h.height - 1 - i : i);
        ok = rle ? ReadRleRow(f, &state, scratch, h.width, bytes, row, outBytes)
                 : ReadRawPixels(f, scratch, h.width, bytes, row, outBytes);
        if (!ok)
            img->SetLastError("corrupted TGA");
    }
    free(scratch);
    if (ok && (h.descriptor & kRightToLeft))
        ok = img->Mirror();
    return ok;
}

}  // namespace

bool CRasterTGA::DecodeTga(CRasterFile* f) {
    if (!f)
        return false;
    BYTE b[kHeaderSize];
    if (f->Read(b, 1, kHeaderSize) != kHeaderSize) {
        SetLastError("Not a TGA");
        return false;
    }
    TgaHeader h;
    ParseHeader(b, &h);
    const int rle = RleOfType(h.imageType);
    if (rle < 0) {
        SetLastError("Unknown TGA image type");
        return false;
    }
    if (!HeaderIsSound(h)) {
        SetLastError("bad TGA header");
        return false;
    }
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = h.width;
        head_.biHeight = h.height;
        SetFormatId(kFormatTga);
        SetLastError("output dimensions returned");
        return true;
    }
    if (!f->Seek(h.idLength, 1) || !DataCanHold(f, h, rle != 0)) {
        SetLastError("corrupted TGA");
        return false;
    }
    if (!Create(h.width, h.height, h.depth == 8 ? 8 : 24, kFormatTga)) {
        SetLastError("TGA Create failed");
        return false;
    }
    if (GetEscape()) {
        SetLastError("Cancelled");
        return false;
    }
    if (!ReadColorMap(f, h, this)) {
        SetLastError("corrupted TGA");
        return false;
    }
    return ReadTgaPixels(f, h, rle != 0, this);
}

bool CRasterTGA::EncodeTga(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    int bpp = GetBpp();
    if (bpp < 8) {
        SetLastError("Bit depth must be 8 or 24");
        return false;
    }
    BYTE b[kHeaderSize] = {};
    b[1] = HasPalette() ? 1 : 0;
    b[2] = bpp == 8 ? 1 : 2;
    StoreLe16(b + 5, bpp == 8 ? 256 : 0);
    b[7] = bpp == 8 ? 24 : 0;
    StoreLe16(b + 12, (uint16_t)Width());
    StoreLe16(b + 14, (uint16_t)Height());
    b[16] = (BYTE)bpp;
    bool ok = Width() <= 0xFFFF && Height() <= 0xFFFF && f->Write(b, 1, kHeaderSize) == kHeaderSize;
    if (ok && bpp == 8) {
        BYTE map[768];
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = GetPaletteColor(i);
            map[3 * i] = c.rgbBlue, map[3 * i + 1] = c.rgbGreen, map[3 * i + 2] = c.rgbRed;
        }
        ok = f->Write(map, 1, sizeof(map)) == sizeof(map);
    }
    size_t rowBytes = (size_t)Width() * bpp / 8;
    for (int y = 0; y < Height() && ok; y++)
        ok = f->Write(GetRowPointer(y), 1, rowBytes) == rowBytes;
    if (!ok)
        SetLastError("cannot write TGA file");
    return ok;
}

static CRaster* NewTga() {
    return new CRasterTGA();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterTGA*>(codec)->DecodeTga(f);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterTGA*>(codec)->EncodeTga(f);
}

const RasterCodec kTgaCodec = {kFormatTga, NewTga, DecodeThunk, EncodeThunk, true};
