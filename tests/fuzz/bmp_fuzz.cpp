// libFuzzer target: the BMP decoder on arbitrary bytes, with and without
// the file header's signature check, and in size-only mode.
#include <stddef.h>
#include <stdint.h>

#include "image/raster_bmp.h"
#include "image/raster_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int mode = 0; mode < 3; mode++) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterBMP img;
        if (mode == 2)
            img.SetEscape((uint32_t)-1);
        if (img.DecodeBmp(&mem, mode == 1) && mode != 2 && img.IsValid()) {
            // Touch the last byte of every row so a short block shows up.
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
    }
    return 0;
}
