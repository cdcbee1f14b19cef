// Nearest palette entry of many colours: the answer of
// CRaster::NearestPaletteIndex (least squared distance, the lowest index on a
// tie) from a short candidate list per cell of the colour cube.
#pragma once

#include <stdint.h>

#include "image/raster.h"

class CPaletteSearch {
  public:
    CPaletteSearch() = default;
    ~CPaletteSearch();
    CPaletteSearch(const CPaletteSearch&) = delete;
    CPaletteSearch& operator=(const CPaletteSearch&) = delete;
    // The first count entries of pal (1..256); false without memory.
    bool Init(const RGBQUAD* pal, int count);
    BYTE Nearest(BYTE r, BYTE g, BYTE b);

  private:
    static constexpr int kCellBits = 4;  // 16 x 16 x 16 cells of 16^3 colours
    static constexpr int kCells = 1 << (3 * kCellBits);
    void FillCell(int cell);
    RGBQUAD pal_[256] = {};
    int count_ = 0;
    // Per cell: offset of its list in lists_ plus one (0: not made yet).
    uint32_t* cellStart_ = nullptr;
    BYTE* lists_ = nullptr;  // each list: a length byte less one, then the indices
    size_t listsUsed_ = 0, listsCap_ = 0;
};

// Floyd-Steinberg diffusion of the 24-bit image work (changed: it carries
// the diffused error) onto dest's palette, row by row as
// CRaster::DecreaseBpp diffuses, with the same arithmetic and so the same
// pixels. progress (may be null) gets each row's start and is asked to stop:
// false from it cancels and the function returns false, as it does without
// memory (then *outOfMemory is set).
typedef bool (*DiffuseProgress)(void* context, int y, int height);
bool DiffuseOntoPalette(CRaster* work, CRaster* dest, DiffuseProgress progress, void* context, bool* outOfMemory);
