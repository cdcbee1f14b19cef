// CRasterTGA: Truevision TGA files (format id 7).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

class CRasterTGA : public CRaster {
  public:
    CRasterTGA() : CRaster(kFormatTga) {}
    ~CRasterTGA() override {}
    // Texts: "Not a TGA", "Unknown TGA image type", "bad TGA header",
    // "TGA Create failed", "Cancelled", "corrupted TGA"; size-only mode
    // (escape -1): true with the width and height.
    bool DecodeTga(CRasterFile* f);
    // 8-bit images with their 256-entry colour map, 24-bit images as true
    // colour; uncompressed, bottom row first. Texts: "Bit depth must be 8 or
    // 24", "cannot write TGA file", those of CheckBeforeEncode.
    bool EncodeTga(CRasterFile* f);
};

extern const RasterCodec kTgaCodec;
