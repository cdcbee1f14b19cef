// GIF codec over the image streams; the code streams are gif_codes.cpp.
//
// Reads: GIF87a and GIF89a; frames are composed onto the logical screen
//   with their offsets, transparency and disposal (1 keep, 2 background,
//   3 previous), local or global palettes, interlaced or not. Frames whose
//   palettes agree give an 8-bit screen; disagreeing ones a 24-bit screen.
//   A frame draws the rows its data reached.
//   A file without a global table whose first frame is smaller than the
//   screen both ways (the true-colour writer's grid) is read as 24 bits, and
//   so is our own grid one cell wide or high (known by its screen flags and
//   its first cell).
//   Frames that overhang the screen are neither decoded nor counted.
// Writes: GIF89a, never interlaced; LZW, plain or run-length codes by the
//   GIF option word; images above 8 bits as 17 x 15 cells with local tables.
// Limits: screen and frames held stay under kRasterMaxMemory; a GIF is at
//   most 65535 pixels each way; a screen above kGifFreeScreenPixels and
//   larger than the file's bytes could fill (kGifMostPixelsPerByte) is
//   refused before it is made.
#include "image/raster_gif.h"

#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"

namespace {

constexpr int kCellWidth = 17;
constexpr int kCellHeight = 15;
// Screen flags of the true-colour writer: no global table (what follows the
// table flag is of no use without one and other writers leave it 0).
constexpr int kTrueColorScreenFlags = 0x11;
// Most pixels a byte of LZW codes can make: a code of 3 bits or more gives
// a string of at most 4,096.
constexpr uint64_t kGifMostPixelsPerByte = 4096 * 8 / 3;
// A screen up to this size (a 4K display's) stays cheap whatever the file
// holds: small frames on a large background are a real, if rare, layout.
constexpr uint64_t kGifFreeScreenPixels = 4096 * 2160;
// The true-colour grid composes at most this many screens' worth of cells.
constexpr uint64_t kGridScreens = 4;

int U16(const BYTE* p) {
    return p[0] | (p[1] << 8);
}

bool ReadBytes(CRasterFile* f, void* p, size_t n) {
    return n == 0 || f->Read(p, 1, n) == n;
}

// Skips data sub-blocks up to and including the zero terminator.
bool SkipSubBlocks(CRasterFile* f) {
    for (;;) {
        long n = f->GetC();
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!f->Seek(n, 1))
            return false;
    }
}

// Minimum code size byte and sub-blocks of an image that is not decoded.
bool SkipImageData(CRasterFile* f) {
    return f->GetC() >= 0 && SkipSubBlocks(f);
}

int BppOfCount(int colors) {
    return colors <= 2 ? 1 : colors <= 16 ? 4 : 8;
}

// True when entries [0, n) of both palettes show the same colours.
bool SamePalette(const CRaster& a, const CRaster& b, int n) {
    for (int i = 0; i < n; i++)
        if (!CRaster::SameRgb(a.GetPaletteColor(i), b.GetPaletteColor(i)))
            return false;
    return true;
}

// Rows of one frame in GIF order, into a bottom-up image. Interlaced rows
// come in four passes; a row after the last pass, or after the last row,
// is refused (-1), which ends the frame's decoding.
struct RowSink {
    CRaster* frame;
    int width, height, bpp;
    bool interlaced;
    int row, pass, rowsDone;
    int delivered;  // rows, in any order
};

const int kPassStart[4] = {0, 4, 2, 1};
const int kPassStep[4] = {8, 8, 4, 2};

int SinkRow(void* context, BYTE* line, int count) {
    RowSink* s = (RowSink*)context;
    int bytes = count;
    if (s->bpp == 4) {
        for (int x = 0; x < count; x += 2) {
            int hi = line[x] & 15, lo = x + 1 < count ? line[x + 1] & 15 : 0;
            line[x / 2] = (BYTE)((hi << 4) | lo);
        }
        bytes = (count + 1) / 2;
    } else if (s->bpp == 1) {
        for (int x = 0; x < count; x += 8) {
            int v = 0;
            for (int b = 0; b < 8 && x + b < count; b++)
                v |= (line[x + b] & 1) << (7 - b);
            line[x / 8] = (BYTE)v;
        }
        bytes = (count + 7) / 8;
    }
    int y;
    if (s->interlaced) {
        if (s->pass >= 4)
            return -1;
        y = s->row;
        s->row += kPassStep[s->pass];
        while (s->row >= s->height && s->pass < 4) {
            s->pass++;
            if (s->pass < 4)
                s->row = kPassStart[s->pass];
        }
    } else {
        if (s->rowsDone >= s->height)
            return -1;
        y = s->rowsDone++;
    }
    BYTE* dst = s->frame->GetRowPointer(s->height - 1 - y);
    if (!dst)
        return -1;
    s->delivered++;
    int stride = s->frame->GetRowStride();
    memcpy(dst, line, (size_t)(bytes < stride ? bytes : stride));
    return 0;
}

// Pixel walker of the encoders: indices from the top row down.
struct Walker {
    const CRaster* img;
    const BYTE* row;
    int x, y, width, height, bpp;
};

int WalkNext(void* context) {
    Walker* w = (Walker*)context;
    if (w->y >= w->height)
        return -1;
    int x = w->x, v;
    if (w->bpp == 8)
        v = w->row[x];
    else if (w->bpp == 4)
        v = (w->row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    else
        v = (w->row[x >> 3] >> (7 - (x & 7))) & 1;
    if (++w->x == w->width) {
        w->x = 0;
        if (++w->y < w->height)
            w->row = w->img->GetRowPointer(w->height - 1 - w->y);
    }
    return v;
}

}  // namespace

struct CRasterGIF::DecodeState {
    int screenW = 0, screenH = 0;
    BYTE global[768];
    int globalCount = 0;
    int indicator = 0;           // >= 2: the grid of a true-colour file
    bool ownGridHeader = false;  // the screen flags of our true-colour writer
    int frames = 0;
    int imageNo = 0;
    bool stop = false;
    // Graphic control for the next image only.
    int pendingTransparent = -1, pendingDelay = 0, pendingDisposal = 0;
    bool counting = false;
    // Composition.
    CRaster* canvas = nullptr;      // screen so far
    CRaster* beforeDraw = nullptr;  // screen under the last frame before it (its disposal 3)
    int firstTransparent = -1;
    int backIndex = 0;
    RGBQUAD backColor = {0, 0, 0, 0};
    int prevDisposal = 0, prevLeft = 0, prevTop = 0, prevW = 0, prevH = 0;
    bool grid = false;  // true-colour grid: plain 24-bit copy of every frame
    int lastTransparent = -1;
    RGBQUAD lastTransparentColor = {0, 0, 0, 0};
    int lastDelay = 0, lastDisposal = 0, lastLeft = 0, lastTop = 0;
    uint64_t heldBytes = 0;
    long fileBytes = -1;      // the stream's size, -1 unknown
    int rowsDelivered = 0;    // of the frame just decoded
    uint64_t gridPixels = 0;  // composed onto the grid so far
    ~DecodeState() {
        delete canvas;
        delete beforeDraw;
    }
};

CRasterGIF::CRasterGIF() : CRaster(kFormatGif) {
    codes_ = GifCodesNew();
    comment_[0] = 0;
    info_.gifDisposal = 0;
}

CRasterGIF::~CRasterGIF() {
    GifCodesFree(codes_);
}

void CRasterGIF::SetComment(const char* text) {
    StrCopy(comment_, countof(comment_), text ? text : "");
}

bool CRasterGIF::Fail(const char* text) {
    SetLastError(text);
    return false;
}

// One extension after its '!'. False when it is cut short or malformed
// (a graphic control block of another size, an application block whose
// identifier is not 11 bytes).
bool CRasterGIF::ReadExtension(CRasterFile* f, DecodeState* st) {
    long label = f->GetC();
    if (label < 0)
        return false;
    if (label == 0xF9) {
        BYTE rec[4];
        if (f->GetC() != 4 || !ReadBytes(f, rec, 4))
            return false;
        if (!st->counting) {
            memcpy(control_, rec, 4);
            st->pendingTransparent = (rec[0] & 1) ? rec[3] : -1;
            st->pendingDelay = U16(rec + 1);
            st->pendingDisposal = (rec[0] >> 2) & 7;
        }
    } else if (label == 0xFE) {
        long n = f->GetC();
        if (n < 0)
            return false;
        if (n == 0) {  // the terminator itself: an empty comment
            comment_[0] = 0;
            return true;
        }
        if (!ReadBytes(f, comment_, (size_t)n))
            return false;
        comment_[n] = 0;
    } else if (label == 0xFF) {
        BYTE id[11], data[256];
        if (f->GetC() != 11 || !ReadBytes(f, id, 11))
            return false;
        long n = f->GetC();
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!ReadBytes(f, data, (size_t)n))
            return false;
        // Only the looping blocks carry a loop count; XMP and others do not.
        bool looping = memcmp(id, "NETSCAPE2.0", 11) == 0 || memcmp(id, "ANIMEXTS1.0", 11) == 0;
        if (looping && n > 2 && data[0] == 1)
            loopCount_ = U16(data + 1);
    }
    return SkipSubBlocks(f);
}

// Frames that can be decoded: descriptors inside the screen, up to the end
// of the data or a malformed block. A 0 x 0 screen takes the first image's
// size. The stream is left after the counted data.
int CRasterGIF::CountFrames(CRasterFile* f, DecodeState* st) {
    int count = 0;
    bool prevZero = true;
    st->counting = true;
    for (;;) {
        long b = f->GetC();
        if (b < 0)
            break;
        if (!prevZero) {
            prevZero = b == 0;
            continue;
        }
        if (b == '!') {
            if (!ReadExtension(f, st))
                break;
            continue;
        }
        if (b == ',') {
            BYTE d[9];
            if (!ReadBytes(f, d, 9))
                break;
            int left = U16(d), top = U16(d + 2), w = U16(d + 4), h = U16(d + 6);
            if (st->screenW == 0 && st->screenH == 0) {
                st->screenW = w;
                st->screenH = h;
            }
            if ((d[8] & 0x80) && !f->Seek(3L * (2 << (d[8] & 7)), 1))
                break;
            bool inside = w > 0 && h > 0 && left + w <= st->screenW && top + h <= st->screenH;
            if (f->Tell() > f->Size())  // the local table was cut
                break;
            if (inside)
                count++;
            if (!SkipImageData(f))
                break;
            continue;
        }
        if (b == ';')
            break;
        prevZero = b == 0;
    }
    st->counting = false;
    return count;
}

// Decodes one frame's pixels into frame (created at its size and depth).
bool CRasterGIF::DecodeFrame(CRasterFile* f, DecodeState* st, CRaster* frame, bool interlaced) {
    RowSink sink = {frame, frame->Width(), frame->Height(), frame->GetBpp(), interlaced, 0, 0, 0, 0};
    GifCodesStartRead(codes_);
    codes_->terminatorSeen = false;
    long start = f->Tell();
    int bad = 0;
    int64_t pixels = (int64_t)frame->Width() * frame->Height();
    int r = GifDecodeLzw(codes_, f, frame->Width(), pixels, SinkRow, &sink, &bad);
    // Back to the first byte the decoder left, then past the rest of the
    // image's sub-blocks: the framing, not the codes, says where it ends.
    long consumed = f->Tell() - GifCodesUnread(codes_);
    if (!codes_->terminatorSeen)
        consumed += codes_->blockLeft;  // the rest of the current sub-block
    if (consumed < start || !f->Seek(consumed, 0))
        return false;
    (void)r;  // short or bad data is no failure: rows not delivered stay as created
    // Interlaced rows arrive spread over the frame: any of them count for all.
    st->rowsDelivered = interlaced ? (sink.delivered ? frame->Height() : 0) : sink.delivered;
    if (!codes_->terminatorSeen)
        SkipSubBlocks(f);
    return true;
}

namespace {

// Palette images whose palettes agree keep being drawn by index: the
// screen takes a frame's longer palette that starts with its own; any other
// palette turns the screen into 24 bits. False when the screen could not
// be converted.
bool MatchCanvasPalette(CRaster* canvas, const CRaster& frame) {
    if (canvas->GetBpp() > 8)
        return true;
    int nc = canvas->GetPaletteCount(), nf = frame.GetPaletteCount();
    if (nf <= nc && SamePalette(*canvas, frame, nf))
        return true;  // drawn by index
    if (nc < nf && SamePalette(*canvas, frame, nc)) {
        if (!canvas->IncreaseBpp(frame.GetBpp()))
            return false;
        canvas->SetPalette(frame.GetPaletteConst(), nf);
        return true;
    }
    return canvas->IncreaseBpp(24);
}

// The frame's top rows that its data reached onto the screen, by index or
// by colour; transparent pixels, and rows the data did not reach, keep
// what is under them.
void DrawOnCanvas(CRaster* canvas, const CRaster& frame, int left, int top, int screenW, int screenH, int rows) {
    const int trans = frame.GetTransparentIndex();
    const int fw = frame.Width(), fh = rows < frame.Height() ? rows : frame.Height();
    const bool byIndex = canvas->GetBpp() <= 8;
    for (int y = 0; y < fh; y++) {
        int cy = screenH - 1 - (top + y), fy = frame.Height() - 1 - y;
        if (cy < 0 || cy >= screenH)
            continue;
        if (byIndex && canvas->GetBpp() == 8 && frame.GetBpp() == 8) {
            const BYTE* src = frame.GetRowPointer(fy);
            BYTE* dst = canvas->GetRowPointer(cy) + left;
            for (int x = 0; x < fw && left + x < screenW; x++)
                if (src[x] != trans)
                    dst[x] = src[x];
            continue;
        }
        for (int x = 0; x < fw && left + x < screenW; x++) {
            int idx = frame.GetPixelIndexRaw(x, fy);
            if (idx == trans)
                continue;
            if (byIndex)
                canvas->SetPixelIndexRaw(left + x, cy, (BYTE)idx);
            else
                canvas->SetPixelColorRaw(left + x, cy, frame.GetPaletteColor(idx));
        }
    }
}

// Copies w x h pixels (bottom-up rows) from (sx, sy) of src to (dx, dy) of
// dst, both of one depth, inside both: rows of whole bytes at once.
void CopyArea(const CRaster& src, int sx, int sy, CRaster* dst, int dx, int dy, int w, int h) {
    const size_t bytes = (size_t)src.GetBpp() / 8;
    for (int y = 0; y < h; y++) {
        if (bytes) {
            memcpy(dst->GetRowPointer(dy + y) + dx * bytes, src.GetRowPointer(sy + y) + sx * bytes, w * bytes);
            continue;
        }
        for (int x = 0; x < w; x++)
            dst->SetPixelIndexRaw(dx + x, dy + y, src.GetPixelIndexRaw(sx + x, sy + y));
    }
}

}  // namespace

// Whether the file's bytes could fill its screen (or the screen is small
// enough to be made anyway).
bool CRasterGIF::CanFillScreen(const DecodeState& st) {
    uint64_t pixels = (uint64_t)st.screenW * (uint64_t)st.screenH;
    return st.fileBytes < 0 || pixels <= kGifFreeScreenPixels ||
           pixels <= (uint64_t)st.fileBytes * kGifMostPixelsPerByte;
}

// True-colour grid: every cell copied in 24 bits onto a 24-bit screen, as
// far as its data reached; the reading ends when the cells would cover the
// screen more than kGridScreens times.
bool CRasterGIF::ComposeGridCell(DecodeState* st, CRaster* frame, int left, int top) {
    const int fw = frame->Width(), fh = frame->Height() < st->rowsDelivered ? frame->Height() : st->rowsDelivered;
    if (fh == 0)
        return true;
    st->gridPixels += (uint64_t)fw * (uint64_t)fh;
    if (st->gridPixels > kGridScreens * (uint64_t)st->screenW * (uint64_t)st->screenH) {
        st->stop = true;
        return true;
    }
    if (!st->canvas) {
        st->canvas = new CRaster(kFormatGif);
        st->canvas->CopySettings(*this);
        if (!st->canvas->Create(st->screenW, st->screenH, 24, kFormatGif))
            return Fail(st->canvas->GetLastError());
    }
    for (int y = 0; y < fh; y++)
        for (int x = 0; x < fw; x++)
            st->canvas->SetPixelColor(left + x, st->screenH - 1 - (top + y),
                                      frame->GetPixelColorRaw(x, frame->Height() - 1 - y));
    return true;
}

// The screen at the first frame: its depth and palette, cleared to the
// background (the first frame's transparent index, else the control
// block's).
bool CRasterGIF::StartCanvas(DecodeState* st, CRaster* frame) {
    const int trans = frame->GetTransparentIndex();
    CRaster* canvas = st->canvas = new CRaster(kFormatGif);
    canvas->CopySettings(*this);
    if (!canvas->Create(st->screenW, st->screenH, frame->GetBpp(), kFormatGif))
        return Fail(canvas->GetLastError());
    canvas->SetPalette(frame->GetPaletteConst(), frame->GetPaletteCount());
    st->firstTransparent = trans;
    st->backIndex = trans >= 0 ? trans : control_[3];
    canvas->Clear((BYTE)st->backIndex);
    st->backColor = canvas->GetPaletteColor(st->backIndex);
    return true;
}

// The previous frame's disposal: 2 clears its area to the background, 3
// restores the screen from before it.
bool CRasterGIF::DisposePrevious(DecodeState* st) {
    CRaster* canvas = st->canvas;
    if (st->prevDisposal == 2) {
        for (int y = 0; y < st->prevH; y++)
            for (int x = 0; x < st->prevW; x++) {
                int cx = st->prevLeft + x, cy = st->screenH - 1 - (st->prevTop + y);
                if (canvas->GetBpp() == 24)
                    canvas->SetPixelColor(cx, cy, st->backColor);
                else
                    canvas->SetPixelIndex(cx, cy, (BYTE)st->backIndex);
            }
    } else if (st->prevDisposal == 3 && st->beforeDraw) {
        const CRaster& under = *st->beforeDraw;
        CopyArea(under, 0, 0, canvas, st->prevLeft, st->screenH - st->prevTop - under.Height(), under.Width(),
                 under.Height());
    }
    return true;
}

// Draws a decoded frame onto the screen image: transparent pixels, and
// rows its data did not reach, keep what is under them; a palette that disagrees with the screen's turns the
// screen into 24 bits so that earlier frames keep their colours.
bool CRasterGIF::Compose(DecodeState* st, CRaster* frame, int left, int top) {
    if (st->grid)
        return ComposeGridCell(st, frame, left, top);
    if (!st->canvas) {
        if (!StartCanvas(st, frame))
            return false;
    } else {
        if (!DisposePrevious(st))
            return false;
        if (!MatchCanvasPalette(st->canvas, *frame))
            return Fail(st->canvas->GetLastError());
    }
    CRaster* canvas = st->canvas;
    delete st->beforeDraw;
    st->beforeDraw = nullptr;
    if (frame->GetGifDisposal() == 3) {
        // Only what the frame covers: a whole screen at every frame makes a
        // long animation on a large screen take seconds.
        const int w = frame->Width(), h = frame->Height();
        st->beforeDraw = new CRaster(kFormatGif);
        if (!st->beforeDraw->Create(w, h, canvas->GetBpp(), kFormatGif))
            return Fail("GIF canvas exceeds the memory limit");
        CopyArea(*canvas, left, st->screenH - top - h, st->beforeDraw, 0, 0, w, h);
    }
    DrawOnCanvas(canvas, *frame, left, top, st->screenW, st->screenH, st->rowsDelivered);
    return true;
}

// An image descriptor, its local table and the graphic control that
// applies to it.
struct CRasterGIF::ImageDesc {
    int left, top, w, h, flags;
    BYTE local[768];
    int localCount;
    int transparent, delay, disposal;
};

// The descriptor and local table after the ','; takes the pending graphic
// control. False when they are cut short.
bool CRasterGIF::ReadImageDesc(CRasterFile* f, DecodeState* st, ImageDesc* d) {
    BYTE b[9];
    if (!ReadBytes(f, b, 9))
        return false;
    d->left = U16(b);
    d->top = U16(b + 2);
    d->w = U16(b + 4);
    d->h = U16(b + 6);
    d->flags = b[8];
    d->localCount = 0;
    if (d->flags & 0x80) {
        d->localCount = 2 << (d->flags & 7);
        if (!ReadBytes(f, d->local, 3 * (size_t)d->localCount))
            return false;
    }
    d->transparent = st->pendingTransparent;
    d->delay = st->pendingDelay;
    d->disposal = st->pendingDisposal;
    st->pendingTransparent = -1;
    st->pendingDelay = 0;
    st->pendingDisposal = 0;
    return true;
}

// At the first image: a file of the true-colour writer's grid is read as
// one 24-bit screen of every frame.
void CRasterGIF::DetectGrid(DecodeState* st, const ImageDesc& d) {
    if (st->imageNo == 0 && st->globalCount == 0 && d.w != st->screenW && d.h != st->screenH)
        st->indicator++;
    // Our own grid whose first cell spans the screen one way (one cell wide
    // or high) is known by its header and its first cell instead.
    const bool ownGrid = st->ownGridHeader && (d.flags & 0x80) && d.left == 0 && d.top == 0 &&
                         d.w == (st->screenW < kCellWidth ? st->screenW : kCellWidth) &&
                         d.h == (st->screenH < kCellHeight ? st->screenH : kCellHeight);
    if (st->imageNo == 0 && (st->indicator >= 2 || ownGrid) && st->frames > 1) {
        st->grid = true;
        info_.currentFrame = st->frames - 1;
    }
}

// The frame at its size and the depth of its table, with the local or
// global palette (entries past the table white when a transparent index
// may point there), its transparent index and disposal.
bool CRasterGIF::MakeFrame(const DecodeState& st, const ImageDesc& d, CRaster* frame) {
    const BYTE* table = d.localCount ? d.local : st.globalCount ? st.global : nullptr;
    const int colors = d.localCount ? d.localCount : st.globalCount;
    if (!frame->Create(d.w, d.h, BppOfCount(colors), kFormatGif)) {
        SetLastError(frame->GetLastError());
        return false;
    }
    if (table) {
        int n = d.transparent >= 0 ? 256 : colors;
        if (n > frame->GetPaletteCount())
            n = frame->GetPaletteCount();
        for (int i = 0; i < n; i++) {
            if (i < colors)
                frame->SetPaletteColor(i, table[3 * i], table[3 * i + 1], table[3 * i + 2]);
            else
                frame->SetPaletteColor(i, 255, 255, 255);
        }
    }
    frame->SetTransparentIndex(d.transparent);
    frame->SetGifDisposal((BYTE)d.disposal);
    return true;
}

// The values of the frame just drawn: the result's, and the next frame's
// disposal area.
void CRasterGIF::RememberFrame(DecodeState* st, const CRaster& frame, const ImageDesc& d) {
    st->lastTransparent = frame.GetTransparentIndex();
    st->lastTransparentColor = frame.GetTransparentColor();
    st->lastDelay = d.delay;
    st->lastDisposal = d.disposal;
    st->lastLeft = d.left;
    st->lastTop = d.top;
    st->prevDisposal = d.disposal;
    st->prevLeft = d.left;
    st->prevTop = d.top;
    st->prevW = d.w;
    st->prevH = d.h;
}

// All frames kept: a copy of the screen as it is now, within the memory
// limit. False with a text.
bool CRasterGIF::KeepScreenCopy(DecodeState* st, const ImageDesc& d) {
    uint64_t bytes = st->canvas->GetDibSize();
    if (st->heldBytes + bytes > kRasterMaxMemory) {
        SetLastError("GIF canvas exceeds the memory limit");
        return false;
    }
    CRaster* copy = new CRaster(*st->canvas, true);
    if (!copy->IsValid()) {
        SetLastError(copy->GetLastError());
        delete copy;
        return false;
    }
    copy->SetRetrieveAllFrames(false);
    copy->SetOffset(d.left, d.top);
    copy->SetFrameDelay(d.delay);
    copy->SetGifDisposal((BYTE)d.disposal);
    if (copy->GetBpp() <= 8) {
        copy->SetTransparentIndex(st->firstTransparent);
    } else if (st->firstTransparent >= 0) {
        copy->SetTransparentColor(st->backColor);
        copy->Info().transparentIndex = 0;
    }
    if (!AddFrame(copy)) {
        delete copy;
        SetLastError("can't allocate memory");
        return false;
    }
    st->heldBytes += bytes;
    return true;
}

// One image after its ','. Returns 1 to go on, 0 at the end of the data,
// -1 on failure (text set).
int CRasterGIF::ReadImage(CRasterFile* f, DecodeState* st) {
    ImageDesc d;
    if (!ReadImageDesc(f, st, &d))
        return 0;
    if (d.w == 0 || d.h == 0 || d.left + d.w > st->screenW || d.top + d.h > st->screenH)
        return SkipImageData(f) ? 1 : 0;
    DetectGrid(st, d);
    CRaster frame(kFormatGif);
    if (!MakeFrame(*st, d, &frame))
        return -1;
    if (!DecodeFrame(f, st, &frame, (d.flags & 0x40) != 0))
        return 0;
    if (GetEscape()) {
        SetLastError("Cancelled");
        return -1;
    }
    if (!Compose(st, &frame, d.left, d.top))
        return -1;
    RememberFrame(st, frame, d);
    if (info_.retrieveAllFrames && !st->grid && !KeepScreenCopy(st, d))
        return -1;
    if (st->imageNo == info_.currentFrame && !info_.retrieveAllFrames)
        st->stop = true;
    else
        st->imageNo++;
    return 1;
}

// Moves the composed screen into this image with the last frame's values.
bool CRasterGIF::Finish(DecodeState* st) {
    CRaster* canvas = st->canvas;
    if (!canvas)
        return Fail("GIF frame not found");
    if (st->grid) {
        if (st->lastTransparent >= 0) {
            canvas->SetTransparentColor(st->lastTransparentColor);
            canvas->Info().transparentIndex = 0;
        }
    } else if (canvas->GetBpp() <= 8) {
        canvas->SetTransparentIndex(st->firstTransparent);
    } else if (st->firstTransparent >= 0) {
        canvas->SetTransparentColor(st->backColor);
        canvas->Info().transparentIndex = 0;
    } else {
        canvas->Info().transparentIndex = -1;
    }
    canvas->SetOffset(st->lastLeft, st->lastTop);
    canvas->SetFrameDelay(st->lastDelay);
    canvas->SetGifDisposal((BYTE)st->lastDisposal);
    canvas->SetCurrentFrame(info_.currentFrame);
    canvas->SetFormatId(kFormatGif);
    int frames = info_.frameCount;
    if (!TakeOver(*canvas, false))
        return Fail("GIF frame not found");
    info_.frameCount = frames;
    return true;
}

// Size-only mode: the screen's size. Always true.
bool CRasterGIF::ReportScreenSize(const DecodeState& st) {
    head_.biWidth = st.screenW;
    head_.biHeight = st.screenH;
    SetFormatId(kFormatGif);
    return true;
}

// The global table after the screen's flags; without one the file may be
// the true-colour writer's. False when the table is cut short.
bool CRasterGIF::ReadGlobalTable(CRasterFile* f, DecodeState* st, int flags) {
    st->ownGridHeader = flags == kTrueColorScreenFlags;
    if (flags & 0x80) {
        st->globalCount = 2 << (flags & 7);
        return ReadBytes(f, st->global, 3 * (size_t)st->globalCount);
    }
    st->indicator++;
    return true;
}

// The frame asked for exists, and the screen, a saved screen and a frame
// at once, and every frame when all are kept, stay within the limit, and
// the file's bytes could fill the screen; else they are refused before
// anything is made. (A true-colour screen is checked when it is created.)
// False with a text.
bool CRasterGIF::PlanFrames(DecodeState* st) {
    info_.frameCount = st->frames;
    if (info_.currentFrame < 0 || info_.currentFrame >= st->frames)
        return Fail("GIF frame not found");
    if (st->frames == 1)
        st->indicator = 0;
    uint64_t screen = RasterRowsBytes((uint64_t)st->screenW, (uint64_t)st->screenH, 8);
    uint64_t need = screen * (3 + (info_.retrieveAllFrames ? (uint64_t)st->frames : 0));
    if (need > kRasterMaxMemory)
        return Fail("GIF canvas exceeds the memory limit");
    if (!CanFillScreen(*st))
        return Fail("GIF data too short for the picture");
    DestroyFrames();
    info_.frameCount = st->frames;
    return true;
}

// Extensions and images up to the trailer, the end of the data or the
// frame asked for. False with a text on a cancel, a malformed extension or
// a failed image.
bool CRasterGIF::ReadBlocks(CRasterFile* f, DecodeState* st) {
    bool prevZero = true;
    while (!st->stop) {
        long b = f->GetC();
        if (b < 0)
            break;
        if (GetEscape())
            return Fail("Cancelled");
        if (!prevZero) {
            prevZero = b == 0;
            continue;
        }
        if (b == '!') {
            if (!ReadExtension(f, st))
                return Fail("bad GIF extension");
            continue;
        }
        if (b == ',') {
            int r = ReadImage(f, st);
            if (r < 0)
                return false;
            if (r == 0)
                break;
            continue;
        }
        if (b == ';')
            break;
        prevZero = b == 0;
    }
    return true;
}

bool CRasterGIF::DecodeGif(CRasterFile* f) {
    if (!f)
        return false;
    if (!codes_)
        return Fail("can't allocate memory");
    BYTE h[13];
    if (!ReadBytes(f, h, 13) || memcmp(h, "GIF8", 4) != 0)
        return Fail("Not a GIF");
    DecodeState st;
    st.screenW = U16(h + 6);
    st.screenH = U16(h + 8);
    // Size-only: the screen's size, but a 0 x 0 screen takes the first
    // image's size, which the frame count below finds.
    const bool sizeOnly = GetEscape() == (uint32_t)-1;
    if (sizeOnly && (st.screenW != 0 || st.screenH != 0))
        return ReportScreenSize(st);
    if (!ReadGlobalTable(f, &st, h[10]))
        return Fail("GIF frame not found");
    long start = f->Tell();
    st.fileBytes = f->Size();
    st.frames = CountFrames(f, &st);
    if (sizeOnly)
        return ReportScreenSize(st);
    if (!f->Seek(start, 0))
        return Fail("GIF frame not found");
    if (!PlanFrames(&st) || !ReadBlocks(f, &st))
        return false;
    return Finish(&st);
}

void CRasterGIF::Put(CRasterFile* f, const void* bytes, size_t n) {
    if (n && f->Write(bytes, 1, n) != n)
        writeFailed_ = true;
}

void CRasterGIF::PutU16(CRasterFile* f, int v) {
    BYTE b[2] = {(BYTE)v, (BYTE)(v >> 8)};
    Put(f, b, 2);
}

void CRasterGIF::WriteScreen(CRasterFile* f, const CRaster* img, bool withTable) {
    Put(f, "GIF89a", 6);
    PutU16(f, img->Width());
    PutU16(f, img->Height());
    int bpp = img->GetBpp();
    bool table = withTable && img->HasPalette();
    BYTE rest[3] = {(BYTE)(table ? (0x80 | ((bpp - 1) << 5) | (bpp - 1)) : 0x11), 0, 0};
    Put(f, rest, 3);
    if (table) {
        for (int i = 0; i < img->GetPaletteCount(); i++) {
            RGBQUAD c = img->GetPaletteColor(i);
            BYTE rgb[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
            Put(f, rgb, 3);
        }
    }
}

void CRasterGIF::WriteControl(CRasterFile* f, const CRaster* img, int disposal) {
    int trans = img->GetTransparentIndex();
    int delay = img->GetFrameDelay();
    control_[0] = (BYTE)((trans != -1 ? 1 : 0) | ((disposal & 7) << 2));
    control_[1] = (BYTE)delay;
    control_[2] = (BYTE)(delay >> 8);
    control_[3] = (BYTE)trans;
    BYTE head[3] = {0x21, 0xF9, 0x04};
    Put(f, head, 3);
    Put(f, control_, 4);
    Put(f, "", 1);
}

void CRasterGIF::WriteComment(CRasterFile* f) {
    size_t n = strlen(comment_);
    if (n == 0)
        return;
    if (n > 255)
        n = 255;
    BYTE head[3] = {0x21, 0xFE, (BYTE)n};
    Put(f, head, 3);
    Put(f, comment_, n);
    Put(f, "", 1);
}

void CRasterGIF::WriteLoop(CRasterFile* f, int count) {
    BYTE head[3] = {0x21, 0xFF, 0x0B};
    Put(f, head, 3);
    Put(f, "NETSCAPE2.0", 11);
    BYTE sub[2] = {0x03, 0x01};
    Put(f, sub, 2);
    PutU16(f, count);
    Put(f, "", 1);
}

// Image block; the offset is kept inside the screen so that a decoded
// frame (screen-sized, with its drawing offset) writes back as readable.
void CRasterGIF::WriteImage(CRasterFile* f, const CRaster* img, bool localTable, int screenW, int screenH) {
    const int w = img->Width(), h = img->Height(), bpp = img->GetBpp();
    int x = img->GetXOffset(), y = img->GetYOffset();
    if (x > screenW - w)
        x = screenW - w;
    if (y > screenH - h)
        y = screenH - h;
    x = x < 0 ? 0 : x;
    y = y < 0 ? 0 : y;
    BYTE sep = 0x2C;
    Put(f, &sep, 1);
    PutU16(f, x);
    PutU16(f, y);
    PutU16(f, w);
    PutU16(f, h);
    BYTE flags = localTable ? (BYTE)(0x80 | (bpp - 1)) : 0;
    Put(f, &flags, 1);
    if (localTable) {
        for (int i = 0; i < img->GetPaletteCount(); i++) {
            RGBQUAD c = img->GetPaletteColor(i);
            BYTE rgb[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
            Put(f, rgb, 3);
        }
    }
    BYTE minSize = (BYTE)(bpp < 2 ? 2 : bpp);
    Put(f, &minSize, 1);
    Walker walker = {img, img->GetRowPointer(h - 1), 0, 0, w, h, bpp};
    if (!GifEncodeCodes(codes_, f, GetFormatOption(kFormatGif), minSize + 1, WalkNext, &walker))
        writeFailed_ = true;
    Put(f, "", 1);
}

// Images above 8 bits: cells of 17 x 15 pixels, each with its own table of
// its 255 colours (entry 0 the transparent colour when there is one).
bool CRasterGIF::EncodeTrueColor(CRasterFile* f) {
    const int width = Width(), height = Height();
    writeFailed_ = false;
    Put(f, "GIF89a", 6);
    PutU16(f, width);
    PutU16(f, height);
    BYTE rest[3] = {0x11, 0, 0};
    Put(f, rest, 3);
    WriteComment(f);
    const bool transparent = IsTransparent();
    const RGBQUAD transColor = GetTransparentColor();
    CRaster cell(kFormatAny);
    uint32_t keys[512];
    int slots[512];
    for (int cy = 0; cy < height; cy += kCellHeight) {
        for (int cx = 0; cx < width; cx += kCellWidth) {
            int cw = width - cx < kCellWidth ? width - cx : kCellWidth;
            int ch = height - cy < kCellHeight ? height - cy : kCellHeight;
            if (cell.Width() != cw || cell.Height() != ch) {
                if (!cell.Create(cw, ch, 8, kFormatAny))
                    return Fail(cell.GetLastError());
            }
            RGBQUAD* pal = cell.GetPalette();
            if (transparent)
                pal[0] = transColor;
            cell.SetTransparentIndex(transparent ? 0 : -1);
            for (int j = 0; j < ch; j++) {
                const BYTE* src = GetRowPointer(height - 1 - (cy + ch - 1 - j)) + 3 * cx;
                for (int k = 0; k < cw; k++)
                    pal[1 + k + kCellWidth * j] = RGBQUAD{src[3 * k], src[3 * k + 1], src[3 * k + 2], 0};
            }
            // Index = the first palette entry of the pixel's colour (exact
            // match first, as the nearest-colour search gives).
            for (int i = 0; i < 512; i++)
                slots[i] = -1;
            for (int i = 0; i < 256; i++) {
                uint32_t key = (uint32_t)pal[i].rgbRed << 16 | pal[i].rgbGreen << 8 | pal[i].rgbBlue;
                uint32_t s = (key * 2654435761u) >> 23;
                while (slots[s] >= 0 && keys[s] != key)
                    s = (s + 1) & 511;
                if (slots[s] < 0) {
                    slots[s] = i;
                    keys[s] = key;
                }
            }
            for (int j = 0; j < ch; j++) {
                BYTE* row = cell.GetRowPointer(j);
                for (int k = 0; k < cw; k++) {
                    RGBQUAD c = pal[1 + k + kCellWidth * j];
                    uint32_t key = (uint32_t)c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue;
                    uint32_t s = (key * 2654435761u) >> 23;
                    while (slots[s] >= 0 && keys[s] != key)
                        s = (s + 1) & 511;
                    row[k] = (BYTE)slots[s];
                }
            }
            cell.SetOffset(cx, cy);
            WriteControl(f, &cell, 0);
            WriteImage(f, &cell, true, width, height);
            if (writeFailed_)
                return Fail("Write Error in GIF file");
        }
    }
    Put(f, ";", 1);
    if (!f->Flush() || writeFailed_)
        return Fail("Write Error in GIF file");
    return true;
}

bool CRasterGIF::EncodeGif(CRasterFile* f) {
    if (!CheckBeforeEncode(f))
        return false;
    if (!codes_)
        return Fail("can't allocate memory");
    if (Width() > 0xFFFF || Height() > 0xFFFF)
        return Fail("GIF image larger than 65535 pixels");
    if (GetBpp() > 8)
        return EncodeTrueColor(f);
    int frames = GetFrameCount() < GetFramesHeld() ? GetFrameCount() : GetFramesHeld();
    if (frames > 1 && frames_) {
        // Frames whose palettes differ from the first need their own tables.
        bool local = false;
        for (int i = 1; i < frames && !local; i++) {
            const CRaster* fr = frames_[i];
            local = fr && frames_[0] &&
                    (fr->GetPaletteCount() != frames_[0]->GetPaletteCount() ||
                     !SamePalette(*fr, *frames_[0], fr->GetPaletteCount()));
        }
        return EncodeFrames(f, frames_, frames, local, false);
    }
    writeFailed_ = false;
    WriteScreen(f, this, true);
    WriteControl(f, this, GetGifDisposal());
    WriteComment(f);
    WriteImage(f, this, false, Width(), Height());
    Put(f, ";", 1);
    if (!f->Flush() || writeFailed_)
        return Fail("Write Error in GIF file");
    return true;
}

bool CRasterGIF::EncodeFrames(CRasterFile* f, CRaster** images, int count, bool localTables, bool ownDisposal) {
    if (!f)
        return Fail("invalid file pointer");
    if (!images || count <= 0 || !images[0])
        return Fail("multipage GIF, no images!");
    if (!codes_)
        return Fail("can't allocate memory");
    for (int i = 0; i < count; i++) {
        if (!images[i])
            return Fail("Bad image pointer");
        if (!images[i]->IsValid())
            return Fail("Empty image");
        if (!images[i]->HasPalette())
            return Fail(
                "CRasterGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before");
        if (images[i]->Width() > 0xFFFF || images[i]->Height() > 0xFFFF)
            return Fail("GIF image larger than 65535 pixels");
    }
    writeFailed_ = false;
    const int screenW = images[0]->Width(), screenH = images[0]->Height();
    WriteScreen(f, images[0], true);
    if (loopCount_ != 1)
        WriteLoop(f, loopCount_ - 1 > 0 ? loopCount_ - 1 : 0);
    for (int i = 0; i < count; i++) {
        WriteControl(f, images[i], ownDisposal ? images[i]->GetGifDisposal() : GetGifDisposal());
        if (i == 0)
            WriteComment(f);
        WriteImage(f, images[i], i > 0 && localTables, screenW, screenH);
        if (writeFailed_)
            return Fail("Write Error in GIF file");
    }
    Put(f, ";", 1);
    if (!f->Flush() || writeFailed_)
        return Fail("Write Error in GIF file");
    return true;
}

static CRaster* NewGif() {
    return new CRasterGIF();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterGIF*>(codec)->DecodeGif(f);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterGIF*>(codec)->EncodeGif(f);
}

const RasterCodec kGifCodec = {kFormatGif, NewGif, DecodeThunk, EncodeThunk, false};
