// Auto crop: moves a selection's edges inwards past every row and column
// that holds only the border colour. Platform-neutral.
#pragma once
#include "image/raster.h"

// One colour of a border histogram (red, green and blue compared).
struct BorderColorCount {
    RGBQUAD color;
    int count;
};

// Adds one sample: the first entry of the same colour counts one more,
// else {color, 1} is appended at histogram[*used] when there is room
// (capacity entries). False when there was no room.
bool CountBorderColor(RGBQUAD color, BorderColorCount* histogram, int* used, int capacity);

// The selection is left, top (first column and row) and right, bottom
// (one past the last), top-down, as the editor keeps it; it is first
// brought inside the image. The border colour is the most frequent colour
// of the selection's outermost rows and columns (of equal counts the first
// seen). Afterwards the edges enclose every pixel of another colour; a
// selection of one colour keeps its edges. False (edges unchanged) when
// the image is empty or the histogram cannot be allocated.
bool AutoCropBounds(const CRaster& image, int* left, int* top, int* right, int* bottom);
