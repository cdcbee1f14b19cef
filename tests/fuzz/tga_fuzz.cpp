// libFuzzer target: the TGA decoder on arbitrary bytes.
// Seeds: true colour, colour-mapped and grey, raw and run-length encoded.
// clang-format off
// seed: convert src.ppm -compress RLE rle.tga && convert src.ppm -colors 40 -type Palette -compress None pal.tga
// seed: ppmtopgm src.ppm | pamtotga > grey.tga && pnmquant 20 src.ppm 2>/dev/null | pamtotga -cmap -norle > cmap.tga
// clang-format on
#include "image/raster_tga.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterTGA>(data, size, &CRasterTGA::DecodeTga);
}
