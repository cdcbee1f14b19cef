// Colour helpers shared by the image library and the colour schemes:
// COLORREF comparisons, byte swaps, ARGB packing and hue-lightness-saturation
// conversions. Platform-neutral.
#pragma once
#include "win_types.h"

// Compare the red, green and blue bytes only (byte 3 is ignored).
bool SameRgb(COLORREF a, COLORREF b);
bool DifferentRgb(COLORREF a, COLORREF b);
// Exchanges bytes 0 and 2 (COLORREF <-> RGBQUAD order) and clears byte 3.
DWORD SwapRedBlue(DWORD color);
// 0xAARRGGBB from a COLORREF (red in the low byte) and an alpha byte.
DWORD ColorRefToArgb(COLORREF color, BYTE alpha);
// The COLORREF (0x00BBGGRR) of an 0xAARRGGBB colour; the alpha is dropped.
COLORREF ArgbToColorRef(DWORD argb);
// Hue (0-360 degrees scaled to 0-255) in byte 0, lightness in byte 1,
// saturation in byte 2, each 0-255 (truncated).
DWORD ColorRefToHls(COLORREF color);
// The COLORREF of packed hue, lightness and saturation bytes as above.
COLORREF HlsToColorRef(DWORD hls);
// hue' = (hue + hueShift * 255) mod 256; lightness and saturation are
// multiplied by (1 + factor) and cut to 0-255.
COLORREF AdjustColorHls(COLORREF color, double hueShift, double lightnessFactor, double saturationFactor);
