// A PNG file's image data (filtered rows, one zlib stream) compressed in
// row bands on several threads, and written as IDAT chunks and IEND.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"

// Fills out (rowBytes bytes) with the file's row y, counted from the top, in
// the file's byte order.
typedef void (*PngRowSource)(const void* context, int y, unsigned char* out);

struct PngRowsPlan {
    int height;
    size_t rowBytes;       // bytes of one row without the filter byte
    int bytesPerPixel;     // the filters' distance: 1 below 8 bits a pixel
    bool adaptiveFilters;  // each row's cheapest filter; false: none
    int level;             // zlib level, or -1 for zlib's default
    PngRowSource source;
    const void* context;
};

// A band holds at least this many bytes of rows (up to 256 bands).
constexpr size_t kPngBandMinBytes = 128 * 1024;

// Writes the IDAT chunks holding plan's rows, then IEND, to f. Each band
// ends on a byte boundary (a sync flush) and starts with the previous
// band's last 32 KiB as its dictionary, so the joined stream is the one a
// single deflate of the same data could have made; Adler-32 is combined.
// False when memory runs out or f refuses a write.
bool WritePngImageData(CRasterFile* f, const PngRowsPlan& plan);
