// Which codecs are built in. A format without a record here answers as an
// unknown format until its codec is added.
#include "image/raster_bmp.h"
#include "image/raster_codec.h"
#include "image/raster_gif.h"
#include "image/raster_ico.h"
#include "image/raster_jpeg.h"
#include "image/raster_pcx.h"
#include "image/raster_png.h"
#include "image/raster_tga.h"
#include "image/raster_tiff.h"
#ifdef _WIN32
#include "image/raster_wmf.h"
#endif

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
            return &kIcoCodec;
        case kFormatTif:
            return &kTifCodec;
        case kFormatTga:
            return &kTgaCodec;
        case kFormatPcx:
            return &kPcxCodec;
        case kFormatWmf:
#ifdef _WIN32
            return &kWmfCodec;
#else
            return nullptr;  // metafiles are played with GDI
#endif
    }
    return nullptr;
}
