// CRaster: the in-memory image of the program. One packed bottom-up DIB
// (header, palette, rows padded to 4 bytes) in one heap block, a working
// copy of its header, an information record and the images of further
// frames. Depths are 1, 4, 8 or 24 bits. Operations return false or null on
// failure and leave a text in the last-error field; nothing throws.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "base/win_types.h"

class CRasterFile;

// Format ids; also the image's own format field. There is no id 9.
enum FormatId : uint32_t {
    kFormatAny = 0,  // detect from the data (decoding only)
    kFormatBmp = 1,
    kFormatGif = 2,
    kFormatJpg = 3,
    kFormatPng = 4,
    kFormatIco = 5,
    kFormatTif = 6,
    kFormatTga = 7,
    kFormatPcx = 8,
    kFormatWmf = 10,  // WMF and EMF (decoding only)
};

constexpr int kFormatSlots = 10;
// Largest pixel area (stride x height) an image may have, in bytes: 512 MiB,
// about as much as a 32-bit process can still get in one block.
constexpr uint64_t kRasterMaxMemory = 1u << 29;

// Bytes of the rows of a width x height picture of bpp bits per pixel, each
// row padded to 4 bytes, in 64 bits (UINT64_MAX when even that overflows).
// Create and every decoder check sizes with it before they allocate or read.
uint64_t RasterRowsBytes(uint64_t width, uint64_t height, uint64_t bpp);

// Filled by the JPEG codec from the file's frame header, first comment and
// Exif block (image/exif.h). Texts are NUL-terminated; zero means "not
// given". The Exif block itself is kept apart (blockId), so that copying
// the record never copies or frees it.
struct ExifInfo {
    char version[5];
    char cameraMake[32];
    char cameraModel[40];
    char dateTime[20];
    int32_t height, width;  // frame header
    int32_t orientation;    // 1..8, 0 unknown
    int32_t isColor;
    int32_t process;  // SOFn marker code, 0xC0-0xCF
    int32_t flashUsed;
    float focalLength;
    float exposureTime;
    float fNumber;
    float distance;
    float ccdWidth;
    float exposureBias;
    int32_t lightSource;
    int32_t meteringMode;
    int32_t exposureProgram;
    int32_t isoEquivalent;
    int32_t compressionLevel;
    float focalPlaneXRes, focalPlaneYRes;
    float focalPlaneUnits;  // inches per unit
    float xResolution, yResolution;
    float resolutionUnit;  // inches per unit; resolution / unit = DPI
    float brightness;
    char comment[256];
    uint32_t thumbnailOffset;  // from the TIFF header of the kept block; 0 none
    uint32_t thumbnailSize;
    uint32_t blockId;  // the kept Exif block (ExifCopyThumbnail); 0 none
    BYTE isExif;
};

// Everything an image knows besides its pixels. Copy, TakeOver, MakeAlias
// and CopySettings move it as a whole (CopySettings then drops the pixel
// pointer, alias and escape flag).
struct ImageInfo {
    int32_t rowStride;
    BYTE* pixels;            // row 0 (bottom row) inside the DIB block
    class CRaster* aliasOf;  // non-null: buffers belong to that image
    uint32_t formatId;
    char lastError[256];
    int32_t progress;          // percent of the running long operation
    uint32_t escape;           // non-zero stops long loops; -1 before a decode: size only
    int32_t transparentIndex;  // -1 none
    RGBQUAD transparentColor;
    float jpegQuality;  // 90
    BYTE jpegScale;     // 1
    int32_t currentFrame;
    int32_t frameCount;
    int32_t frameDelay;
    int32_t xDpi, yDpi;  // 96
    BYTE codecFlag;
    int32_t xOffset, yOffset;
    uint32_t formatOptions[kFormatSlots];
    RGBQUAD lastColor;  // nearest-colour cache key
    BYTE lastIndex;
    BYTE cacheValid;
    BYTE gifDisposal;
    BYTE retrieveAllFrames;
    BYTE littleEndianHost;  // always 1
    BYTE alphaPalette;      // the palette's fourth bytes are alpha (a PNG tRNS list)
    ExifInfo exif;
};

class CRaster {
  public:
    explicit CRaster(uint32_t formatId = 0);
    CRaster(int width, int height, int bpp, uint32_t formatId = 0);
    CRaster(const CRaster& src, bool copyPixels = true);
    CRaster& operator=(const CRaster&) = delete;
    virtual ~CRaster();

    // Life cycle. Create returns the DIB block or null (texts: zero size,
    // "RASTER_MAX_MEMORY exceeded", "CRaster::Create can't allocate memory").
    // The new block is zero-filled.
    void Reset(uint32_t formatId);
    BYTE* Create(int width, int height, int bpp, uint32_t formatId);
    bool Destroy();        // false on an alias
    bool DestroyFrames();  // false on an alias
    bool Copy(const CRaster& src, bool copyPixels = true);
    // Gives an image without a DIB block the source's options (format id,
    // DPI, transparency, codec options); never pixel pointers, the alias or
    // the escape flag.
    void CopySettings(const CRaster& src);
    void MakeAlias(CRaster* src);
    // Moves the source's pixels (and frames) here; the source is left empty.
    // An alias lets go of the image it shows (untouched) and becomes the
    // owner: so a transform run on an alias makes a converted image and
    // leaves the original whole, without copying it first.
    bool TakeOver(CRaster& src, bool withFrames = false);
    bool IsValid() const { return dib_ != nullptr; }
    bool IsInside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }

    // Accessors.
    int Width() const { return head_.biWidth; }
    int Height() const { return head_.biHeight; }
    int GetBpp() const { return head_.biBitCount; }
    int GetRowStride() const { return info_.rowStride; }
    BYTE* GetDibBlock() const { return dib_; }
    int GetPaletteCount() const { return (int)head_.biClrUsed; }
    int GetPaletteSize() const { return 4 * GetPaletteCount(); }
    uint32_t GetDibSize() const { return 40 + GetPaletteSize() + head_.biSizeImage; }
    uint32_t GetImageSize() const { return head_.biSizeImage; }
    const BITMAPINFOHEADER& Header() const { return head_; }
    uint32_t GetFormatId() const { return info_.formatId; }
    bool SetFormatId(uint32_t id);
    const char* GetLastError() const { return info_.lastError; }
    void SetLastError(const char* text);
    int GetFrameCount() const { return info_.frameCount; }
    void SetFrameCount(int n) { info_.frameCount = n; }
    // Frames held (decoders of multi-frame files append them; owned).
    CRaster* GetFrame(int i) const;
    int GetFramesHeld() const { return framesHeld_; }
    bool AddFrame(CRaster* frame);
    int GetCurrentFrame() const { return info_.currentFrame; }
    void SetCurrentFrame(int n) { info_.currentFrame = n; }
    int GetXDpi() const { return info_.xDpi; }
    int GetYDpi() const { return info_.yDpi; }
    void SetXDpi(int dpi);
    void SetYDpi(int dpi);
    uint32_t GetEscape() const { return info_.escape; }
    void SetEscape(uint32_t e) { info_.escape = e; }
    void SetProgress(int p) { info_.progress = p; }
    int GetXOffset() const { return info_.xOffset; }
    int GetYOffset() const { return info_.yOffset; }
    void SetOffset(int x, int y) {
        info_.xOffset = x;
        info_.yOffset = y;
    }
    BYTE GetGifDisposal() const { return info_.gifDisposal; }
    void SetGifDisposal(BYTE d) { info_.gifDisposal = d; }
    void SetRetrieveAllFrames(bool on) { info_.retrieveAllFrames = on ? 1 : 0; }
    int GetFrameDelay() const { return info_.frameDelay; }
    void SetFrameDelay(int d) { info_.frameDelay = d; }
    // The fourth byte of each palette entry is its alpha (255 opaque).
    // Create and the setters that write whole palettes without alpha clear
    // it; SetPalette(entries) and SetPaletteColor store the fourth byte as
    // given.
    bool HasAlphaPalette() const { return info_.alphaPalette != 0; }
    void SetAlphaPalette(bool on) { info_.alphaPalette = on ? 1 : 0; }
    int GetColorsImportant() const { return (int)head_.biClrImportant; }
    void SetColorsImportant(int n);
    bool HasPalette() const { return head_.biClrUsed != 0; }
    bool IsTransparent() const { return info_.transparentIndex >= 0; }
    int GetTransparentIndex() const { return info_.transparentIndex; }
    // An index below the palette count (or -1) is stored; anything else is
    // refused: false and the index stays as it was.
    bool SetTransparentIndex(int index);
    RGBQUAD GetTransparentColor() const;
    void SetTransparentColor(RGBQUAD c);
    // Whether the pixel (inside the image) is transparent: palette images
    // compare indices (two entries may hold one colour), true colour colours.
    bool IsTransparentPixel(int x, int y) const;
    void SetJpegQuality(BYTE q) { info_.jpegQuality = q; }
    BYTE GetJpegQuality() const { return (BYTE)(int)(info_.jpegQuality + 0.5f); }
    BYTE GetJpegScale() const { return info_.jpegScale; }
    void SetJpegScale(BYTE s) { info_.jpegScale = s; }
    void SetFormatOption(uint32_t value, uint32_t formatId = 0);
    uint32_t GetFormatOption(uint32_t formatId = 0) const;
    static int FormatIndex(uint32_t formatId);
    ImageInfo& Info() { return info_; }
    const ImageInfo& Info() const { return info_; }
    ExifInfo& Exif() { return info_.exif; }

    // Pixels; (x, y) with y counted from the bottom row. Checked forms do
    // nothing (or return a neutral value) outside the image; the Raw forms
    // expect the caller to have checked.
    BYTE GetPixelIndex(int x, int y) const;
    BYTE GetPixelIndexRaw(int x, int y) const;
    void SetPixelIndex(int x, int y, BYTE index);
    void SetPixelIndexRaw(int x, int y, BYTE index);
    RGBQUAD GetPixelColor(int x, int y) const;
    RGBQUAD GetPixelColorRaw(int x, int y) const;
    void SetPixelColor(int x, int y, RGBQUAD c);
    void SetPixelColorRaw(int x, int y, RGBQUAD c);
    void SetPixelColorRef(int x, int y, COLORREF c);
    BYTE* GetPixelPointer(int x, int y) const;  // 24-bit only, else null
    BYTE* GetRowPointer(int n) const;           // null outside
    BYTE* GetPixels() const { return info_.pixels; }
    void Clear(BYTE value = 0);

    // Palette. Every setter invalidates the nearest-colour cache; so does
    // GetPalette, which hands out a writable pointer.
    RGBQUAD* GetPalette();
    const RGBQUAD* GetPaletteConst() const;
    RGBQUAD GetPaletteColor(int index) const;
    void SetPaletteColor(int index, BYTE r, BYTE g, BYTE b, BYTE reserved = 0);
    void SetPaletteColor(int index, RGBQUAD c);
    void SetPalette(const RGBQUAD* entries, int n);
    void SetPalette(int n, const BYTE* red, const BYTE* green = nullptr, const BYTE* blue = nullptr);
    void SetPaletteRgb(const BYTE* rgbTriplets, int n);
    bool IsGrayScale() const;
    void SetGrayPalette();
    void SetStandardPalette();
    void SwapIndex(BYTE a, BYTE b);

    // Colour helpers.
    BYTE NearestPaletteIndex(RGBQUAD c);
    static int Luminance(RGBQUAD c) { return (c.rgbRed * 306 + c.rgbGreen * 601 + c.rgbBlue * 117) >> 10; }
    static bool SameRgb(RGBQUAD a, RGBQUAD b) {
        return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
    }
    static int CompareLuminance(const void* a, const void* b);
    static DWORD SwapRgb(DWORD c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
    void SwapRedBlueRow(BYTE* buffer, int length) const;
    uint32_t Swap32(uint32_t v) const;
    uint16_t Swap16(uint16_t v) const;
    static const RGBQUAD* StandardPalette(int bpp);  // 2, 16 or 256 entries; null for 24

    // Format dispatch (raster_format.cpp).
    // The format of an extension (without the dot) by its first three
    // characters, case ignored ("tiff" and "tif" give TIFF); 0 for another.
    static uint32_t TypeFromExtension(const char* ext);
    // The format of a file name's extension taken whole (the three-letter
    // ones of TypeFromExtension, "jpeg" and "tiff"); 0 for none or another.
    // ownNamesOnly: only the names files of a format are written under (not
    // "jpe" or "jfi", which are recognised when reading only).
    static uint32_t TypeFromFileName(const char* path, bool ownNamesOnly = false);
    bool Decode(CRasterFile* stream, uint32_t formatId);
    bool Decode(FILE* f, uint32_t formatId);
    bool Encode(CRasterFile* stream, uint32_t formatId);
    bool Encode(FILE* f, uint32_t formatId);
    bool Load(const char* fileName, uint32_t formatId);
    bool Save(const char* fileName, uint32_t formatId);
    // True when there is a stream and an image to encode; else false and the
    // last error says which is missing.
    bool CheckBeforeEncode(CRasterFile* stream);

    // Transforms (raster_transform.cpp). Coordinates bottom-up except Crop.
    bool Crop(int left, int top, int right, int bottom, CRaster* dest = nullptr);
    bool DecreaseBpp(int bpp, bool errorDiffusion, const RGBQUAD* palette = nullptr, int colors = 0);
    bool IncreaseBpp(int bpp);
    bool GrayScale();
    bool Negative();
    bool Flip();
    bool Mirror();
    bool RotateLeft(CRaster* dest = nullptr);
    bool RotateRight(CRaster* dest = nullptr);
    // Makes exactly the pixels whose bit is set in mask transparent, at
    // this depth (mask: bottom-up rows of maskRow bytes, the first pixel in
    // the top bit). A palette image gives them an index of their own,
    // freeing one of more than two entries when the other pixels use all
    // (their pixels move to the nearest other entry); a 24-bit image a
    // colour no other pixel has (near theirs). Else, or with no pixel set,
    // the image ends without transparency. The depth steps keep
    // transparency with it.
    void ApplyTransparencyMask(const BYTE* mask, uint32_t maskRow);
    // Such a mask: the bytes of a row of width pixels, and pixel (x, y)'s bit.
    static uint32_t MaskRowBytes(int width) { return ((uint32_t)width + 31) / 32 * 4; }
    static bool MaskBit(const BYTE* mask, uint32_t maskRow, int x, int y) {
        return (mask[(size_t)y * maskRow + x / 8] >> (7 - (x & 7))) & 1;
    }
    static void SetMaskBit(BYTE* mask, uint32_t maskRow, int x, int y) {
        mask[(size_t)y * maskRow + x / 8] |= (BYTE)(0x80 >> (x & 7));
    }
    // Fills this 24-bit image from bottom-up 16- or 32-bit pixels. The
    // source holds Height() rows of its own stride.
    void BitfieldsToRgb(const BYTE* src, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, int srcBpp);

#ifdef _WIN32
    // Windows bitmap bridges (raster_win.cpp).
    bool CreateFromBitmapHandle(HBITMAP bitmap, HPALETTE palette, bool useAlpha);
    static bool BitmapHasAlpha(HBITMAP bitmap);
    // An image of width x height from rows of srcStride bytes at pixels
    // (32 bits become 24; flip: the source is top-down).
    bool CreateFromPixels(const BYTE* pixels, int width, int height, int bpp, int srcStride, bool flip);
    HGLOBAL CopyToGlobalHandle() const;
#endif

  protected:
    void InvalidateColorCache();
    void UpdateDibHeader();  // header copy -> the block's header

    BYTE* dib_ = nullptr;
    BITMAPINFOHEADER head_{};
    ImageInfo info_{};
    CRaster** frames_ = nullptr;
    int framesHeld_ = 0;  // entries of frames_

  private:
    uint32_t* nearTable_ = nullptr;  // larger nearest-colour cache, same results
};

// Row cursor used by decoders. Row 0 is the bottom row.
class RowIterator {
  public:
    explicit RowIterator(CRaster* image);
    // 0 <= n <= height (height: just past the last row); returns the row
    // pointer, null when n is out of range (the cursor stays).
    BYTE* SetRow(int n);
    int GetRow() const { return row_; }
    BYTE* Pointer() const { return ptr_; }
    void MoveToTop();
    // Copies at most one row stride; false without a row or buffer.
    bool WriteRow(const BYTE* buffer, int count);
    // The row moves down only while it stays at 0 or above.
    bool MoveDown();

  private:
    CRaster* image_;
    int row_ = 0;
    BYTE* ptr_ = nullptr;
};
