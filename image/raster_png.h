// CRasterPNG: PNG files through libpng (format id 4).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

// Option word of format id 4: bit 0x1 writes interlaced (a decode records
// whether the file was); bits 0xE pick the zlib level: 2 gives 0, 4 gives 1,
// 6 gives 9, anything else zlib's default.
constexpr uint32_t kPngInterlaced = 0x1;

class CRasterPNG : public CRaster {
  public:
    CRasterPNG() : CRaster(kFormatPng) {}
    ~CRasterPNG() override {}
    // Texts: "Not a PNG", "Failed to create PNG structure", "Failed to
    // initialize PNG info structure", "unknown PNG color type", libpng's own
    // message (also "Read Error"), Create's own, unchanged on cancel.
    // Size-only mode (escape -1): true with the width and height.
    bool DecodePng(CRasterFile* f, bool signatureOnly = false);
    // False with "Error saving PNG file" for any library or write error.
    bool EncodePng(CRasterFile* f);
};

extern const RasterCodec kPngCodec;
