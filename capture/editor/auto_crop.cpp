// Auto crop of the editor: the border colour by a histogram of the
// selection's edge pixels, then each edge moved inwards to the first row or
// column holding another colour.
#include "capture/editor/auto_crop.h"

#include <new>

namespace {

bool SameColor(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// Pixel (x, y) counted from the top row.
RGBQUAD TopDownPixel(const CRaster& image, int x, int y) {
    return image.GetPixelColor(x, image.Height() - 1 - y);
}

bool RowDiffers(const CRaster& image, int y, int left, int right, RGBQUAD border) {
    for (int x = left; x < right; x++)
        if (!SameColor(TopDownPixel(image, x, y), border))
            return true;
    return false;
}

bool ColumnDiffers(const CRaster& image, int x, int top, int bottom, RGBQUAD border) {
    for (int y = top; y < bottom; y++)
        if (!SameColor(TopDownPixel(image, x, y), border))
            return true;
    return false;
}

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

bool CountBorderColor(RGBQUAD color, BorderColorCount* histogram, int* used, int capacity) {
    for (int i = 0; i < *used; i++) {
        if (SameColor(histogram[i].color, color)) {
            histogram[i].count++;
            return true;
        }
    }
    if (*used >= capacity)
        return false;
    histogram[*used].color = color;
    histogram[*used].count = 1;
    (*used)++;
    return true;
}

bool AutoCropBounds(const CRaster& image, int* left, int* top, int* right, int* bottom) {
    int w = image.Width(), h = image.Height();
    if (!image.IsValid() || w <= 0 || h <= 0)
        return false;
    int l = Clamp(*left, 0, w), r = Clamp(*right, 0, w), t = Clamp(*top, 0, h), b = Clamp(*bottom, 0, h);
    if (l > r) {
        int s = l;
        l = r;
        r = s;
    }
    if (t > b) {
        int s = t;
        t = b;
        b = s;
    }
    if (l == r || t == b)
        return false;
    // The outermost rows (t and b - 1) and columns (l and r - 1), each pixel
    // once: at most 2 (r - l) + 2 (b - t) samples.
    int capacity = 2 * (r - l) + 2 * (b - t);
    BorderColorCount* histogram = new (std::nothrow) BorderColorCount[capacity];
    if (!histogram)
        return false;
    int used = 0;
    for (int x = l; x < r; x++) {
        CountBorderColor(TopDownPixel(image, x, t), histogram, &used, capacity);
        if (b - 1 > t)
            CountBorderColor(TopDownPixel(image, x, b - 1), histogram, &used, capacity);
    }
    for (int y = t + 1; y < b - 1; y++) {
        CountBorderColor(TopDownPixel(image, l, y), histogram, &used, capacity);
        if (r - 1 > l)
            CountBorderColor(TopDownPixel(image, r - 1, y), histogram, &used, capacity);
    }
    RGBQUAD border = histogram[0].color;
    int best = histogram[0].count;
    for (int i = 1; i < used; i++) {
        if (histogram[i].count > best) {
            best = histogram[i].count;
            border = histogram[i].color;
        }
    }
    delete[] histogram;

    int newTop = t;
    while (newTop < b && !RowDiffers(image, newTop, l, r, border))
        newTop++;
    if (newTop == b)
        return true;  // one colour: the edges stay
    int newBottom = b;
    while (newBottom > newTop && !RowDiffers(image, newBottom - 1, l, r, border))
        newBottom--;
    int newLeft = l;
    while (newLeft < r && !ColumnDiffers(image, newLeft, newTop, newBottom, border))
        newLeft++;
    int newRight = r;
    while (newRight > newLeft && !ColumnDiffers(image, newRight - 1, newTop, newBottom, border))
        newRight--;
    *left = newLeft;
    *top = newTop;
    *right = newRight;
    *bottom = newBottom;
    return true;
}
