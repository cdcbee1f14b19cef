// libFuzzer target: the ICO decoder on arbitrary bytes.
#include "image/raster_ico.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterICO>(data, size, &CRasterICO::DecodeIco);
}
