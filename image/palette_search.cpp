// A cell's candidates are the entries whose least distance to the cell is
// not above the least, over entries, of the greatest distance to the cell:
// the nearest entry of any colour in the cell is among them, and so are
// all entries tied with it. Scanning the candidates in index order keeps
// the lowest index on a tie.
#include "image/palette_search.h"

#include <stdlib.h>
#include <string.h>

namespace {

constexpr int kCellSize = 16;

// Least and greatest squared distance from v to the span [lo, lo + 15].
inline void AxisSpan(int v, int lo, int* least, int* most) {
    int hi = lo + kCellSize - 1;
    int inside = v < lo ? lo - v : v > hi ? v - hi : 0;
    int outside = v - lo > hi - v ? v - lo : hi - v;
    *least = inside * inside;
    *most = outside * outside;
}

}  // namespace

CPaletteSearch::~CPaletteSearch() {
    free(cellStart_);
    free(lists_);
}

bool CPaletteSearch::Init(const RGBQUAD* pal, int count) {
    if (!pal || count < 1 || count > 256)
        return false;
    memcpy(pal_, pal, sizeof(RGBQUAD) * (size_t)count);
    count_ = count;
    free(cellStart_);
    free(lists_);
    lists_ = nullptr;
    listsUsed_ = listsCap_ = 0;
    cellStart_ = (uint32_t*)calloc(kCells, sizeof(uint32_t));
    return cellStart_ != nullptr;
}

void CPaletteSearch::FillCell(int cell) {
    int r0 = ((cell >> (2 * kCellBits)) & 15) * kCellSize, g0 = ((cell >> kCellBits) & 15) * kCellSize,
        b0 = (cell & 15) * kCellSize;
    int least[256], bound = 0x7FFFFFFF;
    for (int i = 0; i < count_; i++) {
        int lr, mr, lg, mg, lb, mb;
        AxisSpan(pal_[i].rgbRed, r0, &lr, &mr);
        AxisSpan(pal_[i].rgbGreen, g0, &lg, &mg);
        AxisSpan(pal_[i].rgbBlue, b0, &lb, &mb);
        least[i] = lr + lg + lb;
        if (mr + mg + mb < bound)
            bound = mr + mg + mb;
    }
    if (listsUsed_ + 257 > listsCap_) {
        size_t cap = listsCap_ ? 2 * listsCap_ : 65536;
        BYTE* grown = (BYTE*)realloc(lists_, cap);
        if (!grown)
            return;  // the cell stays unmade: Nearest scans the whole palette
        lists_ = grown;
        listsCap_ = cap;
    }
    BYTE* list = lists_ + listsUsed_;
    int n = 0;
    for (int i = 0; i < count_; i++)
        if (least[i] <= bound)
            list[1 + n++] = (BYTE)i;
    list[0] = (BYTE)(n - 1);  // never empty: the entry giving the bound is in
    cellStart_[cell] = (uint32_t)listsUsed_ + 1;
    listsUsed_ += (size_t)n + 1;
}

BYTE CPaletteSearch::Nearest(BYTE r, BYTE g, BYTE b) {
    int cell = ((r >> 4) << (2 * kCellBits)) | ((g >> 4) << kCellBits) | (b >> 4);
    if (cellStart_ && !cellStart_[cell])
        FillCell(cell);
    const BYTE* list = nullptr;
    int n = count_;
    if (cellStart_ && cellStart_[cell]) {
        list = lists_ + cellStart_[cell] - 1;
        n = list[0] + 1;
        list++;
    }
    int best = 0x7FFFFFFF, found = 0;
    for (int k = 0; k < n; k++) {
        int i = list ? list[k] : k;
        int dr = (int)pal_[i].rgbRed - r, dg = (int)pal_[i].rgbGreen - g, db = (int)pal_[i].rgbBlue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return (BYTE)found;
}

bool DiffuseOntoPalette(CRaster* work, CRaster* dest, DiffuseProgress progress, void* context, bool* outOfMemory) {
    *outOfMemory = false;
    const RGBQUAD* pal = dest->GetPaletteConst();
    int k = dest->GetColorsImportant() ? dest->GetColorsImportant() : dest->GetPaletteCount();
    if (k > dest->GetPaletteCount())
        k = dest->GetPaletteCount();
    CPaletteSearch search;
    if (!pal || !search.Init(pal, k)) {
        *outOfMemory = true;
        return false;
    }
    const int w = work->Width(), h = work->Height();
    for (int y = 0; y < h; y++) {
        if (progress && !progress(context, y, h))
            return false;
        BYTE* row = work->GetRowPointer(y);
        BYTE* next = y + 1 < h ? work->GetRowPointer(y + 1) : nullptr;
        for (int x = 0; x < w; x++) {
            BYTE* c = row + 3 * x;  // blue, green, red
            BYTE index = search.Nearest(c[2], c[1], c[0]);
            dest->SetPixelIndexRaw(x, y, index);
            RGBQUAD p = pal[index];
            int eb = (int)c[0] - p.rgbBlue, eg = (int)c[1] - p.rgbGreen, er = (int)c[2] - p.rgbRed;
            if (!er && !eg && !eb)
                continue;
            // Right 7/16; below left 2/16, below 4/16, below right 1/16.
            static const int kDx[4] = {1, -1, 0, 1}, kW[4] = {7, 2, 4, 1};
            for (int n = 0; n < 4; n++) {
                int nx = x + kDx[n];
                BYTE* target = n == 0 ? row : next;
                if (!target || nx < 0 || nx >= w)
                    continue;
                BYTE* o = target + 3 * nx;
                int e[3] = {eb, eg, er};
                for (int ch = 0; ch < 3; ch++) {
                    int v = o[ch] + e[ch] * kW[n] / 16;
                    o[ch] = (BYTE)(v < 0 ? 0 : v > 255 ? 255 : v);
                }
            }
        }
    }
    return true;
}
