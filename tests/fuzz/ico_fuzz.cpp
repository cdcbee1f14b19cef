// libFuzzer target: the ICO decoder on arbitrary bytes.
// Seeds: bitmap entries of several depths and a PNG entry.
// clang-format off
// seed: convert src.ppm -alpha set -fill none -draw 'rectangle 0,0 4,4' a.png && convert src.ppm -colors 12 b.png
// seed: icotool -c -o icons.ico a.png b.png -r a.png && icotool -c -b 1 -o mono.ico b.png && rm -f a.png b.png
// clang-format on
#include "image/raster_ico.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterICO>(data, size, &CRasterICO::DecodeIco);
}
