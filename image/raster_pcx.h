// CRasterPCX: ZSoft PCX files (format id 8).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

class CRasterPCX : public CRaster {
  public:
    CRasterPCX() : CRaster(kFormatPcx) {}
    ~CRasterPCX() override {}
    // Texts: "Can't read PCX image", "Error: Not a PCX file", "PCX file has
    // unknown encoding scheme", "Can't handle image with more than 4
    // planes", "PCX file has an unsupported depth", "bad PCX line length",
    // "Cancelled", "corrupted PCX", "repeat count spans end of image", "bad
    // color map signature", "PCX_PlanesToPixels: ...", "can't allocate
    // memory" or Create's own; size-only mode: true with the width and height.
    bool DecodePcx(CRasterFile* f);
    // Texts: "cannot write PCX header", "cannot write PCX file", those of
    // CheckBeforeEncode.
    bool EncodePcx(CRasterFile* f);
};

// Up to 4 planes of 1-bit data to one index per pixel (bit k from plane
// k, most significant bit first); false for more planes or bits.
bool PCX_PlanesToPixels(BYTE* pixels, const BYTE* planes, int bytesPerLine, int planeCount, int bitsPerPixel);
// One plane of packed 1, 2, 4 or 8-bit data to one index per pixel; false
// for any plane count but 1.
bool PCX_UnpackPixels(BYTE* pixels, const BYTE* data, int bytesPerLine, int planeCount, int bitsPerPixel);

extern const RasterCodec kPcxCodec;
