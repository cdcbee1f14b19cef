// libFuzzer target: the TIFF decoder on arbitrary bytes.
// Seeds: compressions, tiles, planes, palette, 16-bit grey, bilevel G4, pages,
// CMYK, 16-bit RGB with associated alpha.
// clang-format off
// seed: convert src.ppm -depth 8 -compress None rgb.tif && tiffcp -c lzw:2 -t -w 16 -l 16 rgb.tif tiled.tif
// seed: tiffcp -c jpeg rgb.tif jpeg.tif && tiffcp -c zip -p separate rgb.tif planes.tif
// seed: convert src.ppm -colors 30 -type Palette -compress zip pal.tif && convert src.ppm -colorspace gray -depth 16 grey16.tif
// seed: convert src.ppm -threshold 50% -depth 1 -compress Group4 g4.tif && convert src.ppm src.ppm -colorspace Lab pages.tif
// seed: convert rgb.tif -colorspace CMYK cmyk.tif && tiffcp -c jpeg cmyk.tif cmykjpeg.tif && tiffcp -p separate -t -w 16 -l 16 rgb.tif septiled.tif
// seed: convert rgb.tif -alpha set -channel A -evaluate set 60% +channel -depth 16 -define tiff:alpha=associated rgba16.tif
// clang-format on
#include "image/raster_tiff.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterTIF>(data, size, &CRasterTIF::DecodeTif);
}
