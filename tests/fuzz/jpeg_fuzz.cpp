// libFuzzer target: the JPEG decoder (and with it the Exif section reader)
// on arbitrary bytes, in full and size-only mode; a decoded thumbnail is
// copied out.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "image/exif.h"
#include "image/raster_file.h"
#include "image/raster_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int sizeOnly = 0; sizeOnly < 2; sizeOnly++) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterJPG img;
        if (sizeOnly)
            img.SetEscape((uint32_t)-1);
        if (img.DecodeJpg(&mem) && !sizeOnly && img.IsValid()) {
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
        }
        uint32_t n = ExifCopyThumbnail(img.Exif(), nullptr, 0);
        if (n) {
            BYTE* thumb = (BYTE*)malloc(n);
            if (thumb)
                ExifCopyThumbnail(img.Exif(), thumb, n);
            free(thumb);
        }
    }
    // The Exif parser straight on the bytes, as the contents of an APP1.
    BYTE* app1 = (BYTE*)malloc(size + 6);
    if (app1) {
        memcpy(app1, "Exif\0\0", 6);
        if (size)
            memcpy(app1 + 6, data, size);
        ExifReader reader;
        reader.ParseExif(app1, (uint32_t)(size + 6));
        free(app1);
    }
    return 0;
}
