// libFuzzer target: the PNG decoder on arbitrary bytes, also in size-only mode.
#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"
#include "image/raster_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int sizeOnly = 0; sizeOnly < 2; sizeOnly++) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterPNG img;
        if (sizeOnly)
            img.SetEscape((uint32_t)-1);
        if (img.DecodePng(&mem) && !sizeOnly && img.IsValid()) {
            // Touch every decoded row so a short fill shows up.
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
    }
    return 0;
}
