// The choice and application of a PNG row filter.
#pragma once

#include <stddef.h>

// Chooses the filter of one row as libpng's default heuristic does (least
// sum of the bytes taken as signed, the lower filter on a tie), and writes
// the filter byte and the filtered bytes to out (rowBytes + 1 bytes). prev
// is the raw row above (null for the first).
void FilterPngRow(const unsigned char* row, const unsigned char* prev, size_t rowBytes, int bytesPerPixel,
                  unsigned char* out);
