// A cell's candidates are the entries whose least distance to the cell is
// not above the least, over entries, of the greatest distance to the cell:
// the nearest entry of any colour in the cell is among them, and so are
// all entries tied with it. Scanning the candidates in index order keeps
// the lowest index on a tie.
#include "image/palette_search.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>
#include <thread>

#include "image/work_threads.h"

namespace {

constexpr int kCellShift = 8 - CPaletteSearch::kCellBits;
constexpr int kCellSize = 1 << kCellShift;
constexpr int kCellMask = (1 << CPaletteSearch::kCellBits) - 1;

// Least and greatest squared distance from v to the span [lo, lo + kCellSize - 1].
inline void AxisSpan(int v, int lo, int* least, int* most) {
    int hi = lo + kCellSize - 1;
    int inside = v < lo ? lo - v : v > hi ? v - hi : 0;
    int outside = v - lo > hi - v ? v - lo : hi - v;
    *least = inside * inside;
    *most = outside * outside;
}

}  // namespace

CPaletteArena::~CPaletteArena() {
    while (block_) {
        BYTE* before;
        memcpy(&before, block_, sizeof before);
        free(block_);
        block_ = before;
    }
}

BYTE* CPaletteArena::Take(size_t bytes) {
    if (used_ + bytes > cap_) {
        size_t cap = 65536;
        if (cap < bytes + sizeof(BYTE*))
            cap = bytes + sizeof(BYTE*);
        BYTE* block = (BYTE*)malloc(cap);
        if (!block)
            return nullptr;
        memcpy(block, &block_, sizeof block_);
        block_ = block;
        used_ = sizeof(BYTE*);
        cap_ = cap;
    }
    BYTE* out = block_ + used_;
    used_ += bytes;
    return out;
}

CPaletteSearch::~CPaletteSearch() {
    delete[] cells_;
}

bool CPaletteSearch::Init(const RGBQUAD* pal, int count) {
    if (!pal || count < 1 || count > 256)
        return false;
    memcpy(pal_, pal, sizeof(RGBQUAD) * (size_t)count);
    count_ = count;
    delete[] cells_;
    cells_ = new (std::nothrow) std::atomic<const BYTE*>[kCells];
    if (!cells_)
        return false;
    for (int i = 0; i < kCells; i++)
        cells_[i].store(nullptr, std::memory_order_relaxed);
    return true;
}

const BYTE* CPaletteSearch::FillCell(int cell, CPaletteArena* arena) {
    int r0 = ((cell >> (2 * kCellBits)) & kCellMask) * kCellSize, g0 = ((cell >> kCellBits) & kCellMask) * kCellSize,
        b0 = (cell & kCellMask) * kCellSize;
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
    int n = 0;
    for (int i = 0; i < count_; i++)
        n += least[i] <= bound;
    BYTE* list = arena->Take((size_t)n + 1);
    if (!list)
        return nullptr;  // the cell stays unmade: Nearest scans the whole palette
    n = 0;
    for (int i = 0; i < count_; i++)
        if (least[i] <= bound)
            list[1 + n++] = (BYTE)i;
    list[0] = (BYTE)(n - 1);  // never empty: the entry giving the bound is in
    const BYTE* none = nullptr;
    if (!cells_[cell].compare_exchange_strong(none, list, std::memory_order_acq_rel))
        return none;  // another thread's equal list came first
    return list;
}

BYTE CPaletteSearch::Scan(BYTE r, BYTE g, BYTE b, const BYTE* list, int lane) {
    int n = count_;
    if (cells_ && !list)
        list = FillCell(CellOf(r, g, b), &arenas_[lane]);
    if (list) {
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

namespace {

// Every row waits for the one before it, so one thread the system holds
// back holds back all: four threads give nearly what eight do on an idle
// machine and far more than eight on a busy one.
constexpr int kWavefrontThreads = 4;
// Waiting for the row before: polls between yields.
constexpr unsigned kSpinsPerYield = 256;
// A row publishes how far it got after this many pixels.
constexpr int kChunk = 64;

// The shares of an error as the diffusion truncates them (e * w / 16,
// towards zero), for errors -255..255, and the clamped sums 0 + -255 ..
// 255 + 255.
struct DiffusionTables {
    short share[4][511];  // right 7, below left 2, below 4, below right 1
    BYTE clamp[1024];     // clamp[v + 384]
    DiffusionTables() {
        static const int kW[4] = {7, 2, 4, 1};
        for (int n = 0; n < 4; n++)
            for (int e = -255; e <= 255; e++)
                share[n][e + 255] = (short)(e * kW[n] / 16);
        for (int v = -384; v < 640; v++)
            clamp[v + 384] = (BYTE)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
};

// A row's progress, alone in its cache line: the rows next to it are
// written by other threads.
struct alignas(64) RowDone {
    std::atomic<int> pixels;
};

struct Diffusion {
    CRaster* work;
    CRaster* dest;
    const RGBQUAD* pal;
    int count;  // palette entries searched
    int width, height, bpp, threads;
    DiffusionTables tables;
    CPaletteSearch search;  // shared; each thread on a lane of its own
    RowDone* done;          // per row: pixels finished
    std::atomic<bool> stop{false};
    std::atomic<bool> outOfMemory{false};
    DiffuseProgress progress;
    void* context;
};

inline void Spread(const DiffusionTables& t, BYTE* o, int n, const int* e) {
    for (int ch = 0; ch < 3; ch++)
        o[ch] = t.clamp[o[ch] + t.share[n][e[ch] + 255] + 384];
}

// Packs a row of palette indices into a 1-, 4- or 8-bit row.
void PackIndices(const BYTE* index, int width, int bpp, BYTE* out) {
    if (bpp == 8) {
        memcpy(out, index, (size_t)width);
        return;
    }
    int perByte = 8 / bpp, x = 0;
    for (int o = 0; x < width; o++) {
        BYTE v = 0;
        for (int k = 0; k < perByte; k++, x++)
            v = (BYTE)((v << bpp) | (x < width ? index[x] & ((1 << bpp) - 1) : 0));
        out[o] = v;
    }
}

// One row of the diffusion. Pixel x of row y takes the errors of row y - 1
// up to its pixel x + 1 and then of pixel x - 1 of its own row, in that
// order (the clamps make the order matter): it waits until the row before
// has finished x + 2, so that the sums are the sequential ones. The row
// before also writes the pixels of this row up to x + 3, which this row
// reaches only after that.
bool DiffuseRow(Diffusion* d, int lane, BYTE* index, int y) {
    const int w = d->width;
    BYTE* row = d->work->GetRowPointer(y);
    BYTE* next = y + 1 < d->height ? d->work->GetRowPointer(y + 1) : nullptr;
    const std::atomic<int>* above = y > 0 && d->threads > 1 ? &d->done[y - 1].pixels : nullptr;
    const DiffusionTables& t = d->tables;
    int ready = above ? above->load(std::memory_order_acquire) : w;
    unsigned spins = 0;
    uint32_t lastColor = 0xFFFFFFFFu;  // runs of one colour search once
    BYTE lastIndex = 0;
    for (int x = 0; x < w;) {
        // Pixels that may run now: the row before finished x + 2.
        int limit = ready >= w ? w : ready - 2;
        if (limit > x + kChunk)
            limit = x + kChunk;
        if (limit <= x) {
            if (d->stop.load(std::memory_order_relaxed))
                return false;
            // The row before is usually a few pixels short: spin a while
            // before giving the core away.
            if (++spins % kSpinsPerYield == 0)
                std::this_thread::yield();
            ready = above->load(std::memory_order_acquire);
            continue;
        }
        for (; x < limit; x++) {
            BYTE* c = row + 3 * x;  // blue, green, red
            uint32_t color = c[0] | (uint32_t)c[1] << 8 | (uint32_t)c[2] << 16;
            if (color != lastColor) {
                lastColor = color;
                lastIndex = d->search.Nearest(c[2], c[1], c[0], lane);
            }
            BYTE i = lastIndex;
            index[x] = i;
            const RGBQUAD& p = d->pal[i];
            int e[3] = {(int)c[0] - p.rgbBlue, (int)c[1] - p.rgbGreen, (int)c[2] - p.rgbRed};
            if (!e[0] && !e[1] && !e[2])
                continue;
            // Right 7/16; below left 2/16, below 4/16, below right 1/16.
            if (x + 1 < w)
                Spread(t, c + 3, 0, e);
            if (next) {
                BYTE* b = next + 3 * x;
                if (x > 0)
                    Spread(t, b - 3, 1, e);
                Spread(t, b, 2, e);
                if (x + 1 < w)
                    Spread(t, b + 3, 3, e);
            }
        }
        if (d->threads > 1)
            d->done[y].pixels.store(x, std::memory_order_release);
        if (above && ready < w)
            ready = above->load(std::memory_order_acquire);
    }
    PackIndices(index, w, d->bpp, d->dest->GetRowPointer(y));
    return true;
}

// Rows first, first + step, ... of the diffusion; the calling thread (first
// 0) reports progress and asks whether to go on.
void DiffuseRows(Diffusion* d, int first, int step) {
    BYTE* index = (BYTE*)malloc((size_t)d->width);
    if (!index) {
        d->outOfMemory = true;
        d->stop = true;
    }
    for (int y = first; y < d->height && !d->stop; y += step) {
        if (first == 0 && d->progress && !d->progress(d->context, y, d->height)) {
            d->stop = true;
            break;
        }
        if (!DiffuseRow(d, first, index, y))
            break;
    }
    free(index);
}

}  // namespace

bool DiffuseOntoPalette(CRaster* work, CRaster* dest, DiffuseProgress progress, void* context, bool* outOfMemory,
                        int threads) {
    *outOfMemory = false;
    const RGBQUAD* pal = dest->GetPaletteConst();
    int k = dest->GetColorsImportant() ? dest->GetColorsImportant() : dest->GetPaletteCount();
    if (k > dest->GetPaletteCount())
        k = dest->GetPaletteCount();
    int bpp = dest->GetBpp();
    if (!pal || k < 1 || (bpp != 1 && bpp != 4 && bpp != 8) || work->GetBpp() != 24 || work->Width() != dest->Width() ||
        work->Height() != dest->Height()) {
        *outOfMemory = true;
        return false;
    }
    Diffusion d;
    if (!d.search.Init(pal, k)) {
        *outOfMemory = true;
        return false;
    }
    d.work = work;
    d.dest = dest;
    d.pal = pal;
    d.count = k;
    d.width = work->Width();
    d.height = work->Height();
    d.bpp = bpp;
    d.progress = progress;
    d.context = context;
    if (threads <= 0) {
        threads = WorkThreads((long long)d.width * d.height);
        if (threads > kWavefrontThreads)
            threads = kWavefrontThreads;
    }
    if (threads > kMaxWorkThreads)
        threads = kMaxWorkThreads;
    if (threads > d.height)
        threads = d.height;
    d.threads = threads;
    d.done = nullptr;
    if (threads > 1) {
        d.done = new (std::nothrow) RowDone[(size_t)d.height];
        if (!d.done) {
            d.threads = threads = 1;
        } else {
            for (int y = 0; y < d.height; y++)
                d.done[y].pixels.store(0, std::memory_order_relaxed);
        }
    }
    static_assert(kMaxWorkThreads <= CPaletteSearch::kLanes, "a lane per thread");
    RunOnThreads(threads, [&](int t, int n) { DiffuseRows(&d, t, n); });
    delete[] d.done;
    *outOfMemory = d.outOfMemory;
    return !d.stop;
}
