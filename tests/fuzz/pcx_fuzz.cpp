// libFuzzer target: the PCX decoder on arbitrary bytes.
// Seeds: 1 to 4 planes of 1 bit, 8 bits with the palette at the end, 24 bits.
// clang-format off
// seed: for p in 1 2 3 4; do pnmquant $((1 << p)) src.ppm 2>/dev/null | ppmtopcx -planes $p > p$p.pcx 2>/dev/null; done
// seed: pnmquant 100 src.ppm 2>/dev/null | ppmtopcx -8bit > pal.pcx 2>/dev/null && ppmtopcx -24bit src.ppm > rgb.pcx 2>/dev/null
// clang-format on
#include "image/raster_pcx.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterPCX>(data, size, &CRasterPCX::DecodePcx);
}
