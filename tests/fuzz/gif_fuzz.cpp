// libFuzzer target: the GIF decoder on arbitrary bytes: one frame, all
// frames, a later frame and size-only mode.
// Seeds: still, interlaced, an animation with local tables and disposals.
// seed: convert src.ppm -colors 60 GIF:still.gif
// seed: convert src.ppm -colors 7 -interlace GIF GIF:inter.gif
// seed: convert -delay 5 src.ppm -dispose background -page +3+2 -size 9x7 xc:red -colors 4 -dispose previous -page +1+5 -size 5x5 xc:blue anim.gif
// seed: /usr/bin/python3 "$top/tests/image/gif_peer.py" pilanim pil.gif
#include <stddef.h>
#include <stdint.h>

#include "image/raster_file.h"
#include "image/raster_gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int mode = 0; mode < 4; mode++) {
        CRasterMemFile mem((unsigned char*)data, size);
        CRasterGIF img;
        if (mode == 1)
            img.SetRetrieveAllFrames(true);
        if (mode == 2)
            img.SetCurrentFrame(1);
        if (mode == 3)
            img.SetEscape((uint32_t)-1);
        if (img.DecodeGif(&mem) && mode != 3 && img.IsValid()) {
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
