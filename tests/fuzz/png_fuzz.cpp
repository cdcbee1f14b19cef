// libFuzzer target: the PNG decoder on arbitrary bytes, also in size-only mode.
// Seeds: every colour type, interlace, 2 and 16 bits.
// clang-format off
// seed: convert src.ppm PNG24:rgb.png
// seed: convert src.ppm -interlace PNG -colors 20 PNG8:pal.png
// seed: convert src.ppm -colorspace gray -define png:bit-depth=2 -define png:color-type=0 g2.png
// seed: convert src.ppm -alpha set -define png:bit-depth=16 PNG64:rgba16.png
// seed: /usr/bin/python3 -c "from PIL import Image; i = Image.open('src.ppm').convert('LA'); i.save('la.png'); i.convert('P').save('trns.png', transparency=3)"
// clang-format on
#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"
#include "image/raster_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int sizeOnly = 1; sizeOnly >= 0; sizeOnly--) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterPNG img;
        if (sizeOnly)
            img.SetEscape((uint32_t)-1);
        bool decoded = img.DecodePng(&mem);
        if (decoded && !sizeOnly && img.IsValid()) {
            // Touch every decoded row so a short fill shows up.
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
    }
    return 0;
}
