// Octree colour quantizer.
#include "image/quantizer.h"

#include <stdlib.h>
#include <string.h>

namespace {

void FreeTree(QuantizerNode* n) {
    if (!n)
        return;
    for (QuantizerNode* c : n->child)
        FreeTree(c);
    free(n);
}

struct LeafColor {
    uint32_t count;
    uint64_t sum[4];  // red, green, blue, alpha
};

BYTE Avg(uint64_t sum, uint64_t count) {
    float v = (float)((double)sum / (double)count) + 0.5f;
    return v > 255.0f ? 255 : (BYTE)(int)v;
}

void CollectLeaves(const QuantizerNode* n, LeafColor* out, int* count, int max) {
    if (!n)
        return;
    if (n->leaf) {
        if (*count < max && n->pixelCount) {
            out[*count] = LeafColor{n->pixelCount, {n->red, n->green, n->blue, n->alpha}};
            (*count)++;
        }
        return;
    }
    for (const QuantizerNode* c : n->child)
        CollectLeaves(c, out, count, max);
}

}  // namespace

CQuantizer::CQuantizer(uint32_t n, uint32_t colorBits) {
    colorBits_ = colorBits < 8 ? colorBits : 8;
    colorCount_ = n;
    leafLimit_ = n > 16 ? n : 16;
}

CQuantizer::~CQuantizer() {
    FreeTree(root_);
}

void CQuantizer::AddColor(BYTE r, BYTE g, BYTE b, BYTE a) {
    AddColorRun(r, g, b, a, 1);
}

void CQuantizer::AddColorRun(BYTE r, BYTE g, BYTE b, BYTE a, uint32_t n) {
    QuantizerNode** slot = &root_;
    for (uint32_t level = 0;; level++) {
        if (!*slot) {
            QuantizerNode* node = (QuantizerNode*)calloc(1, sizeof(QuantizerNode));
            if (!node) {
                outOfMemory_ = true;
                return;
            }
            if (level == colorBits_) {
                node->leaf = true;
                leafCount_++;
            } else {
                node->next = reducible_[level];
                reducible_[level] = node;
            }
            *slot = node;
        }
        QuantizerNode* node = *slot;
        if (node->leaf) {
            node->pixelCount += n;
            node->red += (uint64_t)r * n;
            node->green += (uint64_t)g * n;
            node->blue += (uint64_t)b * n;
            node->alpha += (uint64_t)a * n;
            return;
        }
        int mask = 0x80 >> level;
        int index = ((r & mask) ? 4 : 0) | ((g & mask) ? 2 : 0) | ((b & mask) ? 1 : 0);
        slot = &node->child[index];
    }
}

void CQuantizer::ReduceTree() {
    int level = (int)colorBits_ - 1;
    while (level > 0 && !reducible_[level])
        level--;
    QuantizerNode* node = level >= 0 ? reducible_[level] : nullptr;
    if (!node)
        return;
    reducible_[level] = node->next;
    uint32_t merged = 0;
    for (QuantizerNode*& c : node->child) {
        if (!c)
            continue;
        node->pixelCount += c->pixelCount;
        node->red += c->red;
        node->green += c->green;
        node->blue += c->blue;
        node->alpha += c->alpha;
        FreeTree(c);
        c = nullptr;
        merged++;
    }
    node->leaf = true;
    leafCount_ = leafCount_ + 1 - merged;
}

int CQuantizer::AddImage(const BYTE* dib, int skipIndex, const RGBQUAD* skipColor) {
    if (!dib)
        return 0;
    BITMAPINFOHEADER h;
    memcpy(&h, dib, sizeof(h));
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
        return 0;
    int w = h.biWidth, ht = h.biHeight;
    if (w <= 0 || ht <= 0)
        return 0;
    size_t stride = ((size_t)bpp * w + 31) / 32 * 4;
    const RGBQUAD* pal = (const RGBQUAD*)(dib + 40);
    const BYTE* px = dib + 40 + 4 * (size_t)h.biClrUsed;
    uint32_t palCount = h.biClrUsed;
    // Consecutive equal colours (the bulk of a screenshot) go in as one run:
    // after the first pixel of a run the tree gains no leaf, so reducing
    // after each pixel or after the run gives the same tree.
    bool first = true;
    BYTE pr = 0, pg = 0, pb = 0, pa = 0;
    uint32_t run = 0;
    for (int y = 0; y < ht && !outOfMemory_; y++) {
        const BYTE* row = px + (size_t)y * stride;
        for (int x = 0; x < w; x++) {
            BYTE r, g, b, a;
            if (bpp == 24) {
                b = row[3 * x];
                g = row[3 * x + 1];
                r = row[3 * x + 2];
                a = 0;
                if (skipColor && b == skipColor->rgbBlue && g == skipColor->rgbGreen && r == skipColor->rgbRed)
                    continue;
            } else {
                uint32_t i = bpp == 8   ? row[x]
                             : bpp == 4 ? ((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4))
                                        : ((row[x >> 3] >> (7 - (x & 7))) & 1);
                if ((int)i == skipIndex)
                    continue;
                RGBQUAD c = i < palCount ? pal[i] : RGBQUAD{0, 0, 0, 0};
                r = c.rgbRed;
                g = c.rgbGreen;
                b = c.rgbBlue;
                a = c.rgbReserved;
            }
            if (!first && r == pr && g == pg && b == pb && a == pa) {
                run++;
                continue;
            }
            if (run)
                AddColorRun(pr, pg, pb, pa, run);
            AddColor(r, g, b, a);
            while (leafCount_ > leafLimit_)
                ReduceTree();
            first = false;
            pr = r;
            pg = g;
            pb = b;
            pa = a;
            run = 0;
        }
    }
    if (run)
        AddColorRun(pr, pg, pb, pa, run);
    return outOfMemory_ ? 0 : 1;
}

int CQuantizer::GetPalette(RGBQUAD* out, int maxEntries) const {
    if (!out || maxEntries <= 0)
        return 0;
    LeafColor leaves[257];
    int cap = (int)leafLimit_ + 1;
    LeafColor* all = cap <= 257 ? leaves : (LeafColor*)malloc(sizeof(LeafColor) * (size_t)cap);
    if (!all)
        return 0;
    int count = 0;
    CollectLeaves(root_, all, &count, cap);
    int written = 0;
    if (colorCount_ > 15 || colorCount_ >= (uint32_t)count) {
        for (int i = 0; i < count && written < maxEntries; i++, written++)
            out[i] = RGBQUAD{Avg(all[i].sum[2], all[i].count), Avg(all[i].sum[1], all[i].count),
                             Avg(all[i].sum[0], all[i].count), Avg(all[i].sum[3], all[i].count)};
    } else if (colorCount_ > 0) {
        int n = (int)colorCount_;
        for (int k = 0; k < n && written < maxEntries; k++, written++) {
            uint64_t sum[4] = {0, 0, 0, 0}, total = 0;
            for (int i = count * k / n; i < count * (k + 1) / n; i++) {
                for (int c = 0; c < 4; c++)
                    sum[c] += (uint64_t)all[i].count * Avg(all[i].sum[c], all[i].count);
                total += all[i].count;
            }
            if (!total)
                total = 1;
            out[k] = RGBQUAD{Avg(sum[2], total), Avg(sum[1], total), Avg(sum[0], total), Avg(sum[3], total)};
        }
    }
    if (all != leaves)
        free(all);
    return written;
}
