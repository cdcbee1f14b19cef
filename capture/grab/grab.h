// Taking the capture: the picked rectangle of the frozen picture becomes
// gImage, the capture sound plays and the image is brought into the
// default colour mode.
#pragma once
#include <windows.h>

// The pixels of a picture held in memory as top-down rows of 32 bits
// (blue, green, red, unused), stride bytes apart.
struct FrozenRows {
    const BYTE* bits;
    int width, height, stride;
};

// Empties the current image and builds it from the inclusive rectangle sel
// of picture (a DC holding the frozen virtual screen, in overlay
// coordinates), plays the capture sound and converts to the default colour
// mode. With rows (the picture's own pixels, as the overlay's DIB section
// holds them) the pixels are read from there. True when gImage is valid
// afterwards.
bool GrabSelection(HDC picture, const RECT& sel, const FrozenRows* rows = nullptr);
