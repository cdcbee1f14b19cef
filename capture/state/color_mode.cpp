// SetColorMode: the one converter of gImage between the colour modes 0..6,
// used by the capture and by the editor's colour-mode box. It works on a
// copy, so a failed step leaves gImage as it was.
#include "capture/state/color_mode.h"

#include <stdlib.h>

#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"

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

// The conversion from mode `from` to mode `to` (both below kColorOriginal,
// different).
bool Convert(CImage* img, int from, int to) {
    if (from == kColorBlackWhite || from == kColorBlackWhiteInverted) {  // 1 bit
        switch (to) {
            case kColorBlackWhite:
            case kColorBlackWhiteInverted:
                return img->Negative();
            case kColor16:
                return img->IncreaseBpp(4);
            case kColorGrey:
            case kColor256:
                return img->IncreaseBpp(8);
            default:
                return img->IncreaseBpp(24);
        }
    }
    switch (to) {
        case kColorBlackWhite:
            return Decrease1(img);
        case kColorBlackWhiteInverted:
            return Decrease1(img) && img->Negative();
        case kColorGrey:
            return img->GrayScale();
        case kColor16:
            return Quantize(img, 16);
        case kColor256:
            return from == kColor16 ? img->IncreaseBpp(8) : from == kColorGrey ? img->GrayScale() : Quantize(img, 256);
        default:
            return img->IncreaseBpp(24);
    }
}

}  // namespace

int SetColorMode(int mode) {
    if (mode == gColorMode)
        return kColorModeUnchanged;
    if (mode < kColorBlackWhite || mode > kColorOriginal)
        return kColorModeFailed;
    CImage copy;
    if (!CopyImageInto(&copy, gImage))
        return kColorModeFailed;
    if (mode != kColorOriginal && gColorMode != kColorOriginal && !Convert(&copy, gColorMode, mode))
        return kColorModeFailed;
    PushUndoEvicting();
    if (!gImage.TakeOver(copy, true))
        return kColorModeFailed;
    gImage.GetPalette();  // drops the nearest-colour cache of the new pixels
    gColorMode = mode;
    AnnounceImageChange();
    return kColorModeDone;
}
