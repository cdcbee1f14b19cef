// PNG image data in parallel row bands. Filtering and deflate of a whole
// screen dominate a capture to a PNG file; both split by rows: bands are
// filtered on their threads, then deflated on their threads, each band a
// raw deflate segment primed with the data before it.
#include "image/png_deflate.h"

#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <atomic>

#include "image/png_filter.h"
#include "image/save_stages.h"
#include "image/work_threads.h"

namespace {

// Bands outnumber threads: a photo costs deflate many times what text
// does, and threads that take the next free band even that out: a 4K
// screen in 64 bands left one thread a tail of a tenth of the work.
constexpr int kMaxBands = 256;
constexpr size_t kWindow = 32768;
constexpr size_t kIdatChunk = 256 * 1024;

// Runs work(band) for every band on up to `threads` threads (the calling
// one among them), each taking the next band not yet taken.
template <typename Work>
void RunBands(int bands, int threads, const Work& work) {
    std::atomic<int> next(0);
    RunOnThreads(threads < bands ? threads : bands, [&](int, int) {
        for (int b = next++; b < bands; b = next++)
            work(b);
    });
}

struct Band {
    int firstRow, endRow;
    unsigned char* out;  // its deflate segment
    size_t outBytes;
    uLong adler;
    bool ok;
};

bool WriteBE32(CRasterFile* f, uint32_t v) {
    unsigned char b[4] = {(unsigned char)(v >> 24), (unsigned char)(v >> 16), (unsigned char)(v >> 8),
                          (unsigned char)v};
    return f->Write(b, 1, 4) == 4;
}

bool WriteChunk(CRasterFile* f, const char* type, const unsigned char* data, size_t n) {
    uLong crc = crc32(0L, (const Bytef*)type, 4);
    if (n)
        crc = crc32(crc, data, (uInt)n);
    return WriteBE32(f, (uint32_t)n) && f->Write(type, 1, 4) == 4 && (n == 0 || f->Write(data, 1, n) == n) &&
           WriteBE32(f, (uint32_t)crc);
}

// The zlib stream as a list of pieces (its header, the band segments, the
// Adler-32), cut into IDAT chunks of kIdatChunk bytes where it lies: the
// segments are written as they are, never joined into one copy.
struct StreamPieces {
    const unsigned char* data[kMaxBands + 2];
    size_t bytes[kMaxBands + 2];
    int count;
    size_t total;
};

bool WriteIdatChunks(CRasterFile* f, const StreamPieces& s) {
    int piece = 0;
    size_t at = 0;  // within the piece
    for (size_t done = 0; done < s.total;) {
        size_t n = s.total - done < kIdatChunk ? s.total - done : kIdatChunk;
        uLong crc = crc32(0L, (const Bytef*)"IDAT", 4);
        if (!WriteBE32(f, (uint32_t)n) || f->Write("IDAT", 1, 4) != 4)
            return false;
        for (size_t left = n; left > 0;) {
            while (at == s.bytes[piece]) {
                piece++;
                at = 0;
            }
            size_t take = s.bytes[piece] - at < left ? s.bytes[piece] - at : left;
            const unsigned char* p = s.data[piece] + at;
            crc = crc32(crc, p, (uInt)take);
            if (f->Write(p, 1, take) != take)
                return false;
            at += take;
            left -= take;
        }
        if (!WriteBE32(f, (uint32_t)crc))
            return false;
        done += n;
    }
    return true;
}

// The zlib header for a 32 KiB window, its level hint as zlib writes it.
void ZlibHeader(int level, unsigned char out[2]) {
    int hint = level < 0 ? 2 : level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned cmf = 0x78, flg = (unsigned)hint << 6;
    flg += 31 - (cmf * 256 + flg) % 31;
    out[0] = (unsigned char)cmf;
    out[1] = (unsigned char)flg;
}

void FilterBand(const PngRowsPlan& plan, Band* band, unsigned char* filtered) {
    const size_t stride = plan.rowBytes + 1;
    unsigned char* rows = (unsigned char*)malloc(2 * plan.rowBytes);
    if (!rows) {
        band->ok = false;
        return;
    }
    unsigned char *cur = rows, *prev = rows + plan.rowBytes;
    bool havePrev = band->firstRow > 0;
    if (havePrev)
        plan.source(plan.context, band->firstRow - 1, prev);
    for (int y = band->firstRow; y < band->endRow; y++) {
        plan.source(plan.context, y, cur);
        unsigned char* out = filtered + (size_t)y * stride;
        if (plan.adaptiveFilters) {
            FilterPngRow(cur, havePrev ? prev : nullptr, plan.rowBytes, plan.bytesPerPixel, out);
        } else {
            out[0] = 0;
            memcpy(out + 1, cur, plan.rowBytes);
        }
        unsigned char* t = prev;
        prev = cur;
        cur = t;
        havePrev = true;
    }
    free(rows);
    band->ok = true;
}

void DeflateBand(const PngRowsPlan& plan, Band* band, const unsigned char* filtered, bool last) {
    const size_t stride = plan.rowBytes + 1;
    const unsigned char* in = filtered + (size_t)band->firstRow * stride;
    const size_t inBytes = (size_t)(band->endRow - band->firstRow) * stride;
    band->ok = false;
    band->adler = adler32(adler32(0L, Z_NULL, 0), in, (uInt)inBytes);
    z_stream z = {};
    // libpng's choice: filtered data suits Z_FILTERED, unfiltered the default.
    int strategy = plan.adaptiveFilters ? Z_FILTERED : Z_DEFAULT_STRATEGY;
    if (deflateInit2(&z, plan.level < 0 ? Z_DEFAULT_COMPRESSION : plan.level, Z_DEFLATED, -15, 8, strategy) != Z_OK)
        return;
    size_t before = (size_t)band->firstRow * stride;
    if (before > 0) {
        size_t dict = before < kWindow ? before : kWindow;
        deflateSetDictionary(&z, filtered + before - dict, (uInt)dict);
    }
    size_t cap = deflateBound(&z, (uLong)inBytes) + 64;  // and the sync marker
    band->out = (unsigned char*)malloc(cap);
    if (band->out) {
        z.next_in = (Bytef*)in;
        z.avail_in = (uInt)inBytes;
        z.next_out = band->out;
        z.avail_out = (uInt)cap;
        int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        band->outBytes = cap - z.avail_out;
        band->ok = z.avail_in == 0 && (last ? rc == Z_STREAM_END : rc == Z_OK);
    }
    deflateEnd(&z);
}

}  // namespace

bool WritePngImageData(CRasterFile* f, const PngRowsPlan& plan) {
    if (!f || plan.height <= 0 || plan.rowBytes == 0 || !plan.source)
        return false;
    const size_t stride = plan.rowBytes + 1;
    const uint64_t total = (uint64_t)plan.height * stride;
    if (total > 0x7FFFFFFF)
        return false;
    const int threads = MachineThreads();
    // The bands depend on the data alone: the same file on every machine.
    int bands = (int)(total / kPngBandMinBytes);
    if (bands > kMaxBands)
        bands = kMaxBands;
    if (bands > plan.height)
        bands = plan.height;
    if (bands < 1)
        bands = 1;
    unsigned char* filtered = (unsigned char*)malloc((size_t)total);
    if (!filtered)
        return false;
    Band band[kMaxBands] = {};
    for (int b = 0; b < bands; b++) {
        band[b].firstRow = (int)((int64_t)plan.height * b / bands);
        band[b].endRow = (int)((int64_t)plan.height * (b + 1) / bands);
    }
    bool ok = true;
    MarkSaveStage(kStageFilter, true);
    RunBands(bands, threads, [&](int b) { FilterBand(plan, &band[b], filtered); });
    MarkSaveStage(kStageFilter, false);
    for (int b = 0; b < bands; b++)
        ok = ok && band[b].ok;
    MarkSaveStage(kStageDeflate, true);
    if (ok)
        RunBands(bands, threads, [&](int b) { DeflateBand(plan, &band[b], filtered, b == bands - 1); });
    free(filtered);
    // One zlib stream: header, the segments, the combined Adler-32.
    unsigned char header[2], trailer[4];
    ZlibHeader(plan.level, header);
    StreamPieces pieces;
    pieces.count = 0;
    pieces.data[pieces.count] = header;
    pieces.bytes[pieces.count++] = 2;
    uLong adler = adler32(0L, Z_NULL, 0);
    for (int b = 0; b < bands && ok; b++) {
        ok = band[b].ok;
        pieces.data[pieces.count] = band[b].out;
        pieces.bytes[pieces.count++] = band[b].outBytes;
        z_off_t n = (z_off_t)((size_t)(band[b].endRow - band[b].firstRow) * stride);
        adler = b == 0 ? band[b].adler : adler32_combine(adler, band[b].adler, n);
    }
    for (int i = 0; i < 4; i++)
        trailer[i] = (unsigned char)(adler >> (24 - 8 * i));
    pieces.data[pieces.count] = trailer;
    pieces.bytes[pieces.count++] = 4;
    pieces.total = 0;
    for (int i = 0; i < pieces.count; i++)
        pieces.total += pieces.bytes[i];
    MarkSaveStage(kStageDeflate, false);
    MarkSaveStage(kStageFileWrite, true);
    ok = ok && WriteIdatChunks(f, pieces) && WriteChunk(f, "IEND", nullptr, 0);
    MarkSaveStage(kStageFileWrite, false);
    for (int b = 0; b < bands; b++)
        free(band[b].out);
    return ok;
}
