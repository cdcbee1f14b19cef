// The body of the decoder fuzz targets: one decoder on arbitrary bytes, in
// full and in size-only mode; a decoded picture has every row touched so
// that a short pixel block shows up.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"

template <class Codec>
int FuzzDecode(const uint8_t* data, size_t size, bool (Codec::*decode)(CRasterFile*)) {
    for (int mode = 0; mode < 2; mode++) {
        CRasterMemFile mem((unsigned char*)data, size);
        Codec img;
        if (mode == 1)
            img.SetEscape((uint32_t)-1);
        if ((img.*decode)(&mem) && mode == 0 && img.IsValid()) {
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
    }
    return 0;
}
