// Colour conversions between COLORREF, ARGB and hue-lightness-saturation.
#include "color_util.h"

#include <math.h>

namespace {

double Cut01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

// Truncated, but a value a rounding error below a whole byte is that byte:
// otherwise (0.094 + 0.933) / 2 x 255, which is 131, could give 130 in one
// build and 131 in another (the x87 keeps more bits than a double).
BYTE ToByte(double v01) {
    return (BYTE)(int)(Cut01(v01) * 255.0 + 1e-9);
}

// h in degrees, l and s in 0..1.
void RgbToHls(double r, double g, double b, double* h, double* l, double* s) {
    r = Cut01(r);
    g = Cut01(g);
    b = Cut01(b);
    double mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    double mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    *l = (mx + mn) / 2;
    if (mx == mn) {
        *h = 0;
        *s = 0;
        return;
    }
    double d = mx - mn;
    *s = *l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
        *h = 60 * (6 + (g - b) / d);
    else if (g != mx)
        *h = 60 * (4 + (r - g) / d);
    else
        *h = 60 * (2 + (b - r) / d);
    if (*h > 360)
        *h -= 360;
}

double Channel(double m1, double m2, double h) {
    while (h < 0)
        h += 360;
    while (h > 360)
        h -= 360;
    if (h < 60)
        return m1 + (m2 - m1) * h / 60;
    if (h < 180)
        return m2;
    if (h < 240)
        return m1 + (m2 - m1) * (240 - h) / 60;
    return m1;
}

COLORREF HlsToRgb(double h, double l, double s) {
    h = h < 0 ? 0 : (h > 360 ? 360 : h);
    l = Cut01(l);
    s = Cut01(s);
    if (s == 0)
        return RGB(ToByte(l), ToByte(l), ToByte(l));
    double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    double m1 = 2 * l - m2;
    return RGB(ToByte(Channel(m1, m2, h + 120)), ToByte(Channel(m1, m2, h)), ToByte(Channel(m1, m2, h - 120)));
}

}  // namespace

bool SameRgb(COLORREF a, COLORREF b) {
    return (a & 0xFFFFFF) == (b & 0xFFFFFF);
}

bool DifferentRgb(COLORREF a, COLORREF b) {
    return !SameRgb(a, b);
}

DWORD SwapRedBlue(DWORD color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

DWORD ColorRefToArgb(COLORREF color, BYTE alpha) {
    return ((DWORD)alpha << 24) | SwapRedBlue(color);
}

COLORREF ArgbToColorRef(DWORD argb) {
    return SwapRedBlue(argb);
}

DWORD ColorRefToHls(COLORREF color) {
    double h, l, s;
    RgbToHls(GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0, &h, &l, &s);
    return (DWORD)ToByte(h / 360.0) | ((DWORD)ToByte(l) << 8) | ((DWORD)ToByte(s) << 16);
}

COLORREF HlsToColorRef(DWORD hls) {
    return HlsToRgb((hls & 0xFF) / 255.0 * 360.0, ((hls >> 8) & 0xFF) / 255.0, ((hls >> 16) & 0xFF) / 255.0);
}

COLORREF AdjustColorHls(COLORREF color, double hueShift, double lightnessFactor, double saturationFactor) {
    DWORD hls = ColorRefToHls(color);
    int hue = ((int)(hls & 0xFF) + (int)(hueShift * 255)) % 256;
    if (hue < 0)
        hue += 256;
    // As in ToByte: 120 x 1.4 is 168, though 1.4 is a hair less as a double.
    double l = ((hls >> 8) & 0xFF) * (1.0 + lightnessFactor) + 1e-6;
    double s = ((hls >> 16) & 0xFF) * (1.0 + saturationFactor) + 1e-6;
    int li = l < 0 ? 0 : (l > 255 ? 255 : (int)l);
    int si = s < 0 ? 0 : (s > 255 ? 255 : (int)s);
    return HlsToColorRef((DWORD)hue | ((DWORD)li << 8) | ((DWORD)si << 16));
}
