// SetColorMode: the one converter of gImage between the colour modes 0..6,
// used by the capture and by the editor's colour-mode box. It makes the
// result beside gImage, so a failed step leaves gImage as it was.
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

// The conversions that change their image in place rather than make new
// pixels: the 1-bit negative and the grey palette of an 8-bit image.
bool ConvertsInPlace(int from, int to) {
    bool fromOneBit = from == kColorBlackWhite || from == kColorBlackWhiteInverted;
    bool toOneBit = to == kColorBlackWhite || to == kColorBlackWhiteInverted;
    return (fromOneBit && toOneBit) || (from == kColor256 && to == kColorGrey) ||
           (from == kColorGrey && to == kColor256);
}

}  // namespace

int SetColorMode(int mode) {
    if (mode == gColorMode)
        return kColorModeUnchanged;
    if (mode < kColorBlackWhite || mode > kColorOriginal)
        return kColorModeFailed;
    if (!gImage.IsValid())
        return kColorModeFailed;
    // The result is made beside gImage, which stays as it was until the
    // end (a failed step leaves it alone). Conversions that make new
    // pixels read gImage through an alias, without a copy; the others,
    // and a change of mode number alone, work on a copy.
    const bool convert = mode != kColorOriginal && gColorMode != kColorOriginal;
    CImage result;
    if (convert && !ConvertsInPlace(gColorMode, mode)) {
        result.MakeAlias(&gImage);
        if (!Convert(&result, gColorMode, mode))
            return kColorModeFailed;
    }
    if (!result.IsValid() || result.Info().aliasOf) {  // nothing new was made
        CImage copy;
        if (!CopyImageInto(&copy, gImage) || (convert && !Convert(&copy, gColorMode, mode)))
            return kColorModeFailed;
        result.TakeOver(copy, true);
    }
    // The undo entry takes gImage's pixels as they are: they are replaced
    // next, so they need no copy either.
    if (!PushUndoMovingImage())
        PushUndoEvicting();
    if (!gImage.TakeOver(result, true))
        return kColorModeFailed;
    gImage.GetPalette();  // drops the nearest-colour cache of the new pixels
    gColorMode = mode;
    AnnounceImageChange();
    return kColorModeDone;
}
