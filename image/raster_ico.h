// CRasterICO: Windows icon and cursor files (format id 5), one image each.
#pragma once
#include "image/raster.h"
#include "image/raster_codec.h"

class CRasterICO : public CRaster {
  public:
    CRasterICO() : CRaster(kFormatIco) {}
    ~CRasterICO() override {}
    // Reads the entry numbered by the current frame and stores the entry
    // count as the frame count. False without a text for data that is no
    // icon (bad header, frame out of range); otherwise false with "bad icon
    // entry", "truncated icon data", "can't allocate memory", Create's or
    // the PNG codec's text. Size-only mode (escape -1): true with the size.
    bool DecodeIco(CRasterFile* f);
    // A one-entry icon: a bitmap entry with its AND mask, or a PNG entry
    // for images of more than 255 pixels on a side. Texts: "palette
    // missing", "can't allocate memory", "cannot write icon file", the PNG
    // codec's or CheckBeforeEncode's.
    bool EncodeIco(CRasterFile* f);

  private:
    bool DecodePngEntry(CRasterFile* f, long at, uint16_t count);
    bool DecodeBitmapEntry(CRasterFile* f, const BYTE* info, long size);
    bool ReadIconPalette(CRasterFile* f, uint32_t colors, int bpp);
    bool ReadIconPixels(CRasterFile* f, int bpp, uint64_t pixelBytes);
};

extern const RasterCodec kIcoCodec;
