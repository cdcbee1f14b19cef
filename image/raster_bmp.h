// CRasterBMP: Windows and OS/2 bitmaps (format id 1).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

class CRasterBMP : public CRaster {
  public:
    CRasterBMP() : CRaster(kFormatBmp) {}
    ~CRasterBMP() override {}
    // Texts: "Not a BMP", "Error reading BMP info", "Cancelled",
    // "compression type not supported", "unknown compression",
    // "unsupported bit depth", "truncated BMP data", "can't allocate memory"
    // or Create's own; size-only mode: true, "output dimensions returned".
    bool DecodeBmp(CRasterFile* f, bool signatureOnly = false);
    bool EncodeBmp(CRasterFile* f);
};

extern const RasterCodec kBmpCodec;
