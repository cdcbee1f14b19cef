// libFuzzer target: the BMP decoder on arbitrary bytes, with and without
// the file header's signature check, and in size-only mode.
// Seeds: every depth, RLE8 and RLE4, bit fields, the OS/2 and V5 headers,
// top-down rows, headerless.
// clang-format off
// seed: convert src.ppm BMP3:rgb24.bmp
// seed: convert src.ppm -colors 200 -type Palette BMP3:pal8.bmp
// seed: convert src.ppm -colors 12 -type Palette BMP3:pal4.bmp
// seed: convert src.ppm -monochrome BMP3:mono.bmp
// seed: convert src.ppm -colors 200 -type Palette -compress RLE BMP3:rle8.bmp
// seed: convert src.ppm -define bmp:subtype=RGB565 BMP:rgb565.bmp
// seed: convert src.ppm -alpha set BMP:argb32.bmp
// seed: convert src.ppm BMP2:os2.bmp
// seed: for k in topdown rgb16 headerless wide16; do /usr/bin/python3 "$top/tests/image/bmp_peer.py" craft $k rgb24.bmp $k.bmp; done
// seed: /usr/bin/python3 "$top/tests/image/bmp_peer.py" craft rle4 pal4.bmp rle4.bmp
// clang-format on
#include <stddef.h>
#include <stdint.h>

#include "image/raster_bmp.h"
#include "image/raster_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Size-only, then in full: a large declared picture is decoded too, so
    // that what it costs meets the fuzzer's memory and time limits.
    for (int mode = 2; mode >= 0; mode--) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterBMP img;
        if (mode == 2)
            img.SetEscape((uint32_t)-1);
        bool decoded = img.DecodeBmp(&mem, mode == 1);
        if (decoded && mode != 2 && img.IsValid()) {
            // Touch the last byte of every row so a short block shows up.
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
    }
    return 0;
}
