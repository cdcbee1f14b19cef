// Nearest palette entry of many colours: the answer of
// CRaster::NearestPaletteIndex (least squared distance, the lowest index on a
// tie) from a short candidate list per cell of the colour cube.
#pragma once

#include <stdint.h>

#include <atomic>

#include "image/raster.h"

// Where the candidate lists of one thread live: blocks that never move,
// freed with the arena.
class CPaletteArena {
  public:
    CPaletteArena() = default;
    ~CPaletteArena();
    CPaletteArena(const CPaletteArena&) = delete;
    CPaletteArena& operator=(const CPaletteArena&) = delete;
    BYTE* Take(size_t bytes);  // null without memory

  private:
    BYTE* block_ = nullptr;  // its first pointer-size bytes link the block before
    size_t used_ = 0, cap_ = 0;
};

class CPaletteSearch {
  public:
    CPaletteSearch() = default;
    ~CPaletteSearch();
    CPaletteSearch(const CPaletteSearch&) = delete;
    CPaletteSearch& operator=(const CPaletteSearch&) = delete;
    // The first count entries of pal (1..256); false without memory.
    bool Init(const RGBQUAD* pal, int count);
    BYTE Nearest(BYTE r, BYTE g, BYTE b) { return Nearest(r, g, b, 0); }
    // Safe on several threads at once, each with a lane of its own
    // (0..kLanes - 1): a cell's list is made once and then shared (when two
    // threads make the same cell, the lists are equal and one is kept).
    BYTE Nearest(BYTE r, BYTE g, BYTE b, int lane) {
        const BYTE* list = cells_ ? cells_[CellOf(r, g, b)].load(std::memory_order_acquire) : nullptr;
        return list && !list[0] ? list[1] : Scan(r, g, b, list, lane);
    }

    static constexpr int kCellBits = 5;  // 32 x 32 x 32 cells of 8^3 colours
    static constexpr int kLanes = 8;

  private:
    static constexpr int kCells = 1 << (3 * kCellBits);
    static int CellOf(BYTE r, BYTE g, BYTE b) {
        const int shift = 8 - kCellBits;
        return ((r >> shift) << (2 * kCellBits)) | ((g >> shift) << kCellBits) | (b >> shift);
    }
    const BYTE* FillCell(int cell, CPaletteArena* arena);
    // Nearest past a cell of one candidate: makes the cell's list when
    // missing (null), then scans it.
    BYTE Scan(BYTE r, BYTE g, BYTE b, const BYTE* list, int lane);
    RGBQUAD pal_[256] = {};
    int count_ = 0;
    // Per cell: its list (a length byte less one, then the indices), or
    // null while not made.
    std::atomic<const BYTE*>* cells_ = nullptr;
    CPaletteArena arenas_[kLanes];  // the lists, made by the lanes
};

// Floyd-Steinberg diffusion of the 24-bit image work (changed: it carries
// the diffused error) onto dest's palette (dest: 1, 4 or 8 bits, work's
// size), with the arithmetic and so the pixels of CRaster::DecreaseBpp's
// row-by-row diffusion. Rows run on up to `threads` threads (at most 8; 0:
// up to four, one for a small image), each row as soon as the row before
// is far enough ahead; the result is the same for any count.
// progress (may be null) is called from the calling thread with the start
// of some rows (every row on one thread) and is asked whether to go on:
// false from it cancels and the function returns false, as it does without
// memory (then *outOfMemory is set).
typedef bool (*DiffuseProgress)(void* context, int y, int height);
bool DiffuseOntoPalette(CRaster* work, CRaster* dest, DiffuseProgress progress, void* context, bool* outOfMemory,
                        int threads = 0);
