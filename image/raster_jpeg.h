// CRasterJPG: JPEG files through libjpeg (format id 3), with the Exif data
// of a decoded file read into the image's ExifInfo and written back when
// an image decoded from a JPEG is encoded as JPEG again.
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

class ExifReader;

// Option word of format id 3; one word serves both directions.
enum : uint32_t {
    kJpgBaseline = 0x1,         // encode: force baseline quantisation tables
    kJpgArithmetic = 0x2,       // encode: arithmetic coding
    kJpgGreyscale = 0x4,        // encode: store one grey component
    kJpgOptimize = 0x8,         // encode: optimised Huffman tables
    kJpgProgressive = 0x10,     // encode: simple progression
    kJpgSmoothing = 0x40,       // encode: the codec's smoothing factor
    kJpgDecodeGrey = 0x80,      // decode: grey output
    kJpgQuantize = 0x100,       // decode: palette of the quality byte's number of colours
    kJpgDither = 0x200,         // decode: the codec's dither mode
    kJpgOnePass = 0x400,        // decode: one-pass quantisation
    kJpgNoFancy = 0x800,        // decode: no fancy upsampling
    kJpgSubsample422 = 0x1000,  // encode: luma sampled 2x1
    kJpgSubsample444 = 0x2000,  // encode: no chroma subsampling; wins over 0x1000
};

// Progressive files with more scans than this are refused (each scan may
// walk the whole image).
constexpr int kJpgMaxScans = 100;

class CRasterJPG : public CRaster {
  public:
    CRasterJPG();
    ~CRasterJPG() override;
    // Texts: libjpeg's message, "RASTER_MAX_MEMORY exceeded" or Create's
    // own, "unsupported number of JPEG components", "too many progressive
    // scans"; unchanged on cancel. Size-only mode (escape -1): true with
    // the output width and height. A file cut inside its data decodes
    // (libjpeg completes it after a synthetic end of image).
    bool DecodeJpg(CRasterFile* f, bool signatureOnly = false);
    // 24-bit and 8-bit grey images only ("JPEG can save only RGB or
    // GreyScale images"); else libjpeg's message, "write error".
    bool EncodeJpg(CRasterFile* f);

    // libjpeg's input smoothing 0-100 (option 0x40) and dither mode
    // (option 0x200); both 0 at construction.
    void SetSmoothingFactor(int f) { smoothing_ = f; }
    void SetDitherMode(int m) { dither_ = m; }

  private:
    bool Compress(CRasterFile* f);
    bool Decompress(CRasterFile* f, bool haveExif);

    ExifReader* exif_ = nullptr;
    int smoothing_ = 0;
    int dither_ = 0;
};

extern const RasterCodec kJpgCodec;
