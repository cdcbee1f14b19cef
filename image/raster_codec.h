// The codec table behind the format dispatch. Adding a codec: write
// image/raster_xxx.cpp with a CRasterXxx class and a RasterCodec record,
// and name that record in codec_table.cpp.
#pragma once
#include "image/raster.h"
#include "image/raster_file.h"

struct RasterCodec {
    uint32_t formatId;
    // A new codec object (its constructor sets its format id); owned by the caller.
    CRaster* (*create)();
    // Fills the codec object from the stream. signatureOnly: the stream
    // must carry the format's signature (detection's first pass).
    bool (*decode)(CRaster* codec, CRasterFile* stream, bool signatureOnly);
    // Writes the codec object, an alias of the caller's image; null for a
    // format that only decodes.
    bool (*encode)(CRaster* codec, CRasterFile* stream);
    // Data without a signature can still be this format (tried last).
    bool headerless;
};

// The codec of a format id; null when it is not built in.
const RasterCodec* FindRasterCodec(uint32_t formatId);
