// Whether an image's palette is the evenly spaced grey ramp of its depth
// (0..255 in 2, 16 or 256 steps). A palette of (i, i, i) at 4 bits is a
// dark palette, not grey. Codecs that can write grey pictures ask this.
#pragma once
#include "image/raster.h"

inline bool IsGreyRamp(const CRaster& image) {
    int bpp = image.GetBpp();
    int n = image.GetPaletteCount();
    if (bpp > 8 || n != (1 << bpp))
        return false;
    for (int i = 0; i < n; i++) {
        RGBQUAD c = image.GetPaletteColor(i);
        int v = i * 255 / (n - 1);
        if (c.rgbRed != v || c.rgbGreen != v || c.rgbBlue != v)
            return false;
    }
    return true;
}
