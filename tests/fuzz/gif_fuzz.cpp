// libFuzzer target: the GIF decoder on arbitrary bytes: size-only mode,
// then one frame, all frames or a later frame.
// Seeds: still, interlaced, an animation with local tables and disposals.
// clang-format off
// seed: convert src.ppm -colors 60 GIF:still.gif
// seed: convert src.ppm -colors 7 -interlace GIF GIF:inter.gif
// seed: convert -delay 5 src.ppm -dispose background -page +3+2 -size 9x7 xc:red -colors 4 -dispose previous -page +1+5 -size 5x5 xc:blue anim.gif
// seed: /usr/bin/python3 "$top/tests/image/gif_peer.py" pilanim pil.gif
// clang-format on
#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"
#include "image/raster_gif.h"

// Size-only, then one full mode an input, picked by its size (the fuzzer
// reaches every mode by growing or cutting an input): one frame, all
// frames kept, a later frame.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int full = (int)(size % 3);
    const int modes[] = {3, full};
    for (int mode : modes) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterGIF img;
        if (mode == 1)
            img.SetRetrieveAllFrames(true);
        if (mode == 2)
            img.SetCurrentFrame(1);
        if (mode == 3)
            img.SetEscape((uint32_t)-1);
        bool decoded = img.DecodeGif(&mem);
        if (decoded && mode != 3 && img.IsValid()) {
            // Touch every row of the picture and of each kept frame.
            volatile unsigned sum = 0;
            for (int y = 0; y < img.Height(); y++)
                sum += img.GetRowPointer(y)[img.GetRowStride() - 1];
            for (int i = 0; i < img.GetFramesHeld(); i++) {
                CRaster* f = img.GetFrame(i);
                for (int y = 0; y < f->Height(); y++)
                    sum += f->GetRowPointer(y)[0];
            }
        }
    }
    return 0;
}
