// libFuzzer target: the TIFF decoder on arbitrary bytes.
#include "image/raster_tiff.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterTIF>(data, size, &CRasterTIF::DecodeTif);
}
