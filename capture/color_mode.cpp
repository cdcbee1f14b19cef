// SetColorMode: the one converter of gImage between the colour modes 0..6,
// used by the capture and by the editor's colour-mode box. It works on a
// copy, so a failed step leaves gImage as it was.
#include <stdlib.h>

#include "capture.h"
#include "undo.h"

namespace {

// A palette of n colours made for the image, then the image reduced onto
// it with error diffusion.
bool Quantize(CImage* img, int n) {
    RGBQUAD* pal = img->MakeQuantizedPalette(n);
    if (!pal)
        return false;
    bool ok = img->DecreaseBpp(n <= 16 ? 4 : 8, true, pal, n);
    free(pal);
    return ok;
}

bool Decrease1(CImage* img) {
    return img->DecreaseBpp(1, true, nullptr, 0);
}

// The conversion from mode `from` to mode `to` (both 0..5, different).
bool Convert(CImage* img, int from, int to) {
    if (from <= 1) {  // 1 bit
        switch (to) {
            case 0:
            case 1:
                return img->Negative();
            case 3:
                return img->IncreaseBpp(4);
            case 2:
            case 4:
                return img->IncreaseBpp(8);
            default:
                return img->IncreaseBpp(24);
        }
    }
    switch (to) {
        case 0:
            return Decrease1(img);
        case 1:
            return Decrease1(img) && img->Negative();
        case 2:
            return img->GrayScale();
        case 3:
            return Quantize(img, 16);
        case 4:
            return from == 3 ? img->IncreaseBpp(8) : from == 2 ? img->GrayScale() : Quantize(img, 256);
        default:
            return img->IncreaseBpp(24);
    }
}

}  // namespace

int SetColorMode(int mode) {
    if (mode == gColorMode)
        return -1;
    if (mode < 0 || mode > 6)
        return 2;
    CImage copy;
    if (!CopyImageInto(&copy, gImage))
        return 2;
    if (mode != 6 && gColorMode != 6 && !Convert(&copy, gColorMode, mode))
        return 2;
    PushUndoEvicting();
    if (!gImage.TakeOver(copy, true))
        return 2;
    gImage.GetPalette();  // drops the nearest-colour cache of the new pixels
    gColorMode = mode;
    RefreshImageViews();
    return 0;
}
