// libFuzzer target: the PCX decoder on arbitrary bytes.
#include "image/raster_pcx.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterPCX>(data, size, &CRasterPCX::DecodePcx);
}
