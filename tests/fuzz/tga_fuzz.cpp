// libFuzzer target: the TGA decoder on arbitrary bytes.
#include "image/raster_tga.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterTGA>(data, size, &CRasterTGA::DecodeTga);
}
