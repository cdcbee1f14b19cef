// libFuzzer target: the JPEG decoder (and with it the Exif section reader)
// on arbitrary bytes, in full and size-only mode; a decoded thumbnail is
// copied out.
// Seeds: baseline, progressive, arithmetic grey, CMYK, Exif of both byte orders.
// clang-format off
// seed: cjpeg -quality 80 -outfile base.jpg src.ppm
// seed: cjpeg -progressive -outfile prog.jpg src.ppm
// seed: cjpeg -grayscale -arithmetic -outfile grey.jpg src.ppm
// seed: convert src.ppm -colorspace CMYK cmyk.jpg
// seed: cp base.jpg exif_ii.jpg && exiftool -q -overwrite_original -ExifByteOrder=Little-endian -Make=A -Model=B -Orientation#=6 -XResolution=72 -ResolutionUnit=inches -UserComment=hi "-ThumbnailImage<=grey.jpg" exif_ii.jpg
// seed: cp prog.jpg exif_mm.jpg && exiftool -q -overwrite_original -ExifByteOrder=Big-endian -Make=C -ISO=2 -FNumber=2.8 -Comment=note exif_mm.jpg
// clang-format on
#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <jpeglib.h>  // after stdio.h, which it needs

#include "image/exif.h"
#include "image/raster_file.h"
#include "image/raster_jpeg.h"

namespace {

// Arithmetic-coded pictures of more pixels than this are decoded in
// size-only mode alone: their data may end early (the rest reads as
// zeros), so a few bytes may claim any picture within the image memory
// limit, which is beyond this target's malloc limit. Their cost is the
// picture's, not the input's.
constexpr uint64_t kMostArithmeticPixels = 1u << 24;

struct HeaderError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

// Whether libjpeg reads the file's frame as arithmetic-coded.
bool ArithmeticFrame(const uint8_t* data, size_t size) {
    HeaderError err;
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = [](j_common_ptr c) { longjmp(((HeaderError*)c->err)->jump, 1); };
    err.pub.output_message = [](j_common_ptr) {};
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, (unsigned long)size);
    jpeg_read_header(&cinfo, TRUE);
    bool arithmetic = cinfo.arith_code;
    jpeg_destroy_decompress(&cinfo);
    return arithmetic;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool full = true;
    for (int sizeOnly = 1; sizeOnly >= 0 && (sizeOnly || full); sizeOnly--) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterJPG img;
        if (sizeOnly)
            img.SetEscape((uint32_t)-1);
        bool decoded = img.DecodeJpg(&mem);
        if (sizeOnly && decoded && (uint64_t)img.Width() * (uint64_t)img.Height() > kMostArithmeticPixels &&
            ArithmeticFrame(data, size))
            full = false;
        if (decoded && !sizeOnly && img.IsValid()) {
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
