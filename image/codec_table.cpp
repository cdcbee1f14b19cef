// Which codecs are built in. A format without a record here answers as an
// unknown format until its codec is added.
#include "image/raster_bmp.h"
#include "image/raster_codec.h"
#include "image/raster_gif.h"
#include "image/raster_jpeg.h"
#include "image/raster_png.h"

const RasterCodec* FindRasterCodec(uint32_t formatId) {
    switch (formatId) {
        case kFormatBmp:
            return &kBmpCodec;
        case kFormatPng:
            return &kPngCodec;
        case kFormatGif:
            return &kGifCodec;
        case kFormatJpg:
            return &kJpgCodec;
        case kFormatIco:
        case kFormatTif:
        case kFormatTga:
        case kFormatPcx:
        case kFormatWmf:
            return nullptr;  // not built in yet
    }
    return nullptr;
}
