// CRasterWMF: placeable Windows metafiles and enhanced metafiles played
// into a bitmap (format id 10; Windows only, decoding only).
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

// Largest metafile read into memory.
constexpr long kMetafileMaxBytes = 64L << 20;
// Largest side of the bitmap a metafile is played into.
constexpr int kMetafileMaxSide = 4000;

class CRasterWMF : public CRaster {
  public:
    CRasterWMF() : CRaster(kFormatWmf) {}
    ~CRasterWMF() override {}
    // Plays the metafile that starts at the stream's position into a bitmap
    // of width x height (0: the metafile's own size), at most 4000 pixels
    // on a side. Texts: "corrupted WMF", "empty WMF", "WMF too large",
    // "Cancelled", "can't allocate memory", Create's own; size-only mode:
    // true with "output dimensions returned".
    bool DecodeWmf(CRasterFile* f, int width = 0, int height = 0);
    // Always false; with a stream "Save WMF not supported".
    bool EncodeWmf(CRasterFile* f);
};

extern const RasterCodec kWmfCodec;
