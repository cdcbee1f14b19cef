// libFuzzer target: the ICO decoder on arbitrary bytes.
// Seeds: bitmap entries of several depths (a true 1-bit one with a mask)
// and a PNG entry.
// clang-format off
// seed: convert src.ppm -alpha set -fill none -draw 'rectangle 0,0 4,4' a.png && convert src.ppm -colors 12 b.png
// seed: icotool -c -o icons.ico a.png b.png -r a.png && icotool -c -b 1 -o mono.ico b.png && rm -f a.png b.png
// seed: /usr/bin/python3 -c "import struct; w = h = 16; px = b''.join(bytes([0x0F, 0xF0, 0, 0]) for _ in range(h)); mask = b''.join(bytes([0xC0 if y < 3 else 0, 0, 0, 0]) for y in range(h)); data = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 0, 0) + bytes([0, 0, 0, 0, 255, 255, 255, 0]) + px + mask; open('bits1.ico', 'wb').write(struct.pack('<HHHBBBBHHII', 0, 1, 1, w, h, 0, 0, 1, 1, len(data), 22) + data)"
// clang-format on
#include "image/raster_ico.h"
#include "tests/fuzz/fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzDecode<CRasterICO>(data, size, &CRasterICO::DecodeIco);
}
