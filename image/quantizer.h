// CQuantizer: an octree that computes a palette of at most n colours for a
// DIB. It maps no pixels; DecreaseBpp does that with the palette.
#pragma once
#include <stdint.h>

#include "base/win_types.h"

struct QuantizerNode {
    bool leaf;
    uint32_t pixelCount;
    uint64_t red, green, blue, alpha;  // 64-bit sums: a virtual screen overflows 32
    QuantizerNode* child[8];
    QuantizerNode* next;  // same level's reducible list
};

class CQuantizer {
  public:
    // colorBits: tree depth (at most 8); the leaf limit is max(n, 16).
    CQuantizer(uint32_t n, uint32_t colorBits);
    virtual ~CQuantizer();
    CQuantizer(const CQuantizer&) = delete;
    CQuantizer& operator=(const CQuantizer&) = delete;
    // dib: BITMAPINFOHEADER, palette, pixels. 1 for 1/4/8/24 bits, else 0
    // (nothing added). 0 too when a node cannot be allocated. The pixels of
    // index skipIndex (palette DIBs) or of colour *skipColor (24 bits), a
    // transparent image's, are left out.
    int AddImage(const BYTE* dib, int skipIndex = -1, const RGBQUAD* skipColor = nullptr);
    void AddColor(BYTE r, BYTE g, BYTE b, BYTE a);
    // n pixels of one colour.
    void AddColorRun(BYTE r, BYTE g, BYTE b, BYTE a, uint32_t n);
    // Writes the palette into out, at most maxEntries entries; entries past
    // the colours found are left untouched. Returns the entries written.
    int GetPalette(RGBQUAD* out, int maxEntries = 256) const;
    uint32_t GetLeafCount() const { return leafCount_; }

  private:
    void ReduceTree();
    QuantizerNode* root_ = nullptr;
    uint32_t leafCount_ = 0;
    QuantizerNode* reducible_[9] = {};
    uint32_t leafLimit_;
    uint32_t colorCount_;
    uint32_t colorBits_;
    bool outOfMemory_ = false;
};
