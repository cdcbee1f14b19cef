// GIF code streams: the LZW decoder over a 16 KB read buffer, and the LZW
// (open-addressed hash of 5,003 slots), plain and run-length encoders. All
// three encoders give streams that any GIF decoder reads: the plain and
// run-length ones only choose codes whose table entries a decoder has built.
#include "image/gif_codes.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr int kStackMax = kGifMaxCodes - 2;  // decoded string bound

// Next data byte of the sub-blocks; -1 at the terminator or the end of data.
int NextDataByte(GifCodes* c, CRasterFile* f) {
    while (c->blockLeft == 0) {
        if (c->terminatorSeen)
            return -1;
        int n = GifCodesReadByte(c, f);
        if (n < 0)
            return -1;
        if (n == 0) {
            c->terminatorSeen = true;
            return -1;
        }
        c->blockLeft = n;
    }
    int b = GifCodesReadByte(c, f);
    if (b < 0)
        return -1;
    c->blockLeft--;
    return b;
}

// Next code at the current width, least significant bit first; -1 when
// the data ends.
int ReadCode(GifCodes* c, CRasterFile* f) {
    while (c->inBits < c->codeWidth) {
        int b = NextDataByte(c, f);
        if (b < 0)
            return -1;
        c->inAcc |= (uint32_t)b << c->inBits;
        c->inBits += 8;
    }
    int code = (int)(c->inAcc & ((1u << c->codeWidth) - 1));
    c->inAcc >>= c->codeWidth;
    c->inBits -= c->codeWidth;
    return code;
}

// Decoder fields for a new image of initial code size `size` (2 to 11).
void StartDecode(GifCodes* c, int size) {
    c->codeWidth = (uint16_t)(size + 1);
    c->slotLimit = (uint16_t)(1 << (size + 1));
    c->clearCode = (uint16_t)(1 << size);
    c->endCode = (uint16_t)(c->clearCode + 1);
    c->firstFree = c->nextSlot = (uint16_t)(c->clearCode + 2);
    c->blockLeft = 0;
    c->inAcc = 0;
    c->inBits = 0;
    c->terminatorSeen = false;
    memset(c->stack, 0, sizeof(c->stack));
    memset(c->suffix, 0, sizeof(c->suffix));
    memset(c->prefix, 0, sizeof(c->prefix));
}

// A clear code: the table back to its first free slot and initial width.
void ClearTable(GifCodes* c, int size) {
    c->codeWidth = (uint16_t)(size + 1);
    c->nextSlot = c->firstFree;
    c->slotLimit = (uint16_t)(1 << (size + 1));
}

// Pushes the pixels of a code after the first (last pixel first) onto
// c->stack, adds the table entry and widens the codes when the table is
// full; returns the stack depth. A code past the next slot decodes as the
// previous string and its first pixel; past it by more it also counts as
// bad.
int ExpandCode(GifCodes* c, int code, int oldCode, BYTE* firstChar, int* badCodes) {
    int sp = 0;
    int cur = code;
    if (code >= c->nextSlot) {
        if (code > c->nextSlot && badCodes)
            (*badCodes)++;
        c->stack[sp++] = *firstChar;
        cur = oldCode;
    }
    while (cur >= c->firstFree && sp < kStackMax) {
        c->stack[sp++] = c->suffix[cur];
        cur = c->prefix[cur];
    }
    *firstChar = (BYTE)cur;
    if (sp < kStackMax)
        c->stack[sp++] = *firstChar;
    if (c->nextSlot < c->slotLimit) {
        c->suffix[c->nextSlot] = *firstChar;
        c->prefix[c->nextSlot] = (uint16_t)oldCode;
        c->nextSlot++;
    }
    if (c->nextSlot >= c->slotLimit && c->codeWidth < 12) {
        c->slotLimit = (uint16_t)(c->slotLimit << 1);
        c->codeWidth++;
    }
    return sp;
}

// Decoded pixels on their way to the sink, one line at a time.
struct LzwOutput {
    BYTE* line;  // lineWidth + 1 bytes
    int lineWidth, fill;
    int64_t produced, maxPixels;
    GifRowSink sink;
    void* context;
    bool full;  // maxPixels reached
};

// Moves the stack's pixels into lines; returns the sink's negative code or 0.
int EmitStack(GifCodes* c, int sp, LzwOutput* o) {
    while (sp > 0) {
        o->line[o->fill++] = c->stack[--sp];
        o->produced++;
        if (o->fill == o->lineWidth) {
            int r = o->sink ? o->sink(o->context, o->line, o->fill) : 0;
            if (r < 0)
                return r;
            o->fill = 0;
        }
        // Pixels beyond the image are never asked for: a hostile stream
        // cannot make the decoder run on without end.
        if (o->maxPixels > 0 && o->produced >= o->maxPixels) {
            o->full = true;
            break;
        }
    }
    return 0;
}

// Output blocks of the LZW and plain encoders: at most 254 data bytes.
void FlushBlock(GifCodes* c) {
    if (c->blockCount <= 0)
        return;
    BYTE n = (BYTE)c->blockCount;
    if (c->out->Write(&n, 1, 1) != 1 || c->out->Write(c->block, 1, (size_t)n) != n)
        c->writeFailed = true;
    c->blockCount = 0;
}

void PutByte(GifCodes* c, BYTE b) {
    c->block[c->blockCount++] = b;
    if (c->blockCount >= 254)
        FlushBlock(c);
}

// Code writer of the LZW and plain streams. The width follows the next
// free code as a decoder's does; a clear returns it to the initial width.
void Output(GifCodes* c, int code) {
    c->acc &= (1u << c->accBits) - 1;
    c->acc |= (uint32_t)code << c->accBits;
    c->accBits += c->width;
    while (c->accBits >= 8) {
        PutByte(c, (BYTE)c->acc);
        c->acc >>= 8;
        c->accBits -= 8;
    }
    if (c->freeCode > c->maxCode || c->clearFlag) {
        if (c->clearFlag) {
            c->width = c->initWidth;
            c->maxCode = (1 << c->width) - 1;
            c->clearFlag = 0;
        } else {
            c->width++;
            c->maxCode = c->width == 12 ? kGifMaxCodes : (1 << c->width) - 1;
        }
    }
    if (code == c->endCodeOut) {
        if (c->accBits > 0)
            PutByte(c, (BYTE)c->acc);
        c->acc = 0;
        c->accBits = 0;
        FlushBlock(c);
    }
}

void ClearHash(GifCodes* c) {
    for (int i = 0; i < kGifHashSize; i++)
        c->hashKeys[i] = -1;
}

void EncodeLzw(GifCodes* c, GifPixelSource source, void* context) {
    int ent = source(context);
    ClearHash(c);
    Output(c, c->clearCodeOut);
    if (ent < 0) {
        Output(c, c->endCodeOut);
        return;
    }
    int pixel;
    while ((pixel = source(context)) >= 0) {
        int32_t key = ((int32_t)pixel << 12) + ent;
        int i = (pixel << 4) ^ ent;
        if (c->hashKeys[i] == key) {
            ent = c->hashCodes[i];
            continue;
        }
        if (c->hashKeys[i] >= 0) {
            int disp = i == 0 ? 1 : kGifHashSize - i;
            bool found = false;
            do {
                i -= disp;
                if (i < 0)
                    i += kGifHashSize;
                if (c->hashKeys[i] == key) {
                    found = true;
                    break;
                }
            } while (c->hashKeys[i] >= 0);
            if (found) {
                ent = c->hashCodes[i];
                continue;
            }
        }
        Output(c, ent);
        ent = pixel;
        if (c->freeCode < kGifMaxCodes) {
            c->hashCodes[i] = (uint16_t)c->freeCode++;
            c->hashKeys[i] = key;
        } else {
            ClearHash(c);
            c->freeCode = c->clearCodeOut + 2;
            c->clearFlag = 1;
            Output(c, c->clearCodeOut);
        }
    }
    Output(c, ent);
    Output(c, c->endCodeOut);
}

// One code per pixel; the free-code count runs as a decoder's table grows,
// so the widths agree, and a clear comes when that table is full.
void EncodePlain(GifCodes* c, GifPixelSource source, void* context) {
    Output(c, c->clearCodeOut);
    int pixel;
    while ((pixel = source(context)) >= 0) {
        Output(c, pixel);
        if (c->freeCode < kGifMaxCodes) {
            c->freeCode++;
        } else {
            c->clearFlag = 1;
            c->freeCode = c->clearCodeOut + 2;
            Output(c, c->clearCodeOut);
        }
    }
    Output(c, c->endCodeOut);
}

// Run-length stream: after a clear, the codes base + k - 2 name runs of k
// pixels of one value that a decoder builds one by one (each code adds the
// next longer run), so a long run costs about sqrt(2n) codes.
struct RunState {
    GifCodes* c;
    int initWidth, clear, end, base, initIncrease, initClearPoint, budget;
    int runPixel, runLength, tablePixel, tableMax;
    bool justCleared;
    int width, increasePoint, clearPoint, written;
    uint32_t acc;
    int accBits;
    BYTE block[255];
    int count;
};

void RunFlushBlock(RunState* s) {
    if (s->count <= 0)
        return;
    BYTE n = (BYTE)s->count;
    if (s->c->out->Write(&n, 1, 1) != 1 || s->c->out->Write(s->block, 1, (size_t)n) != n)
        s->c->writeFailed = true;
    s->count = 0;
}

void RunByte(RunState* s, BYTE b) {
    s->block[s->count++] = b;
    if (s->count == 255)
        RunFlushBlock(s);
}

void RunPack(RunState* s, int code) {
    s->acc |= (uint32_t)code << s->accBits;
    s->accBits += s->width;
    while (s->accBits >= 8) {
        RunByte(s, (BYTE)s->acc);
        s->acc >>= 8;
        s->accBits -= 8;
    }
}

void RunReset(RunState* s) {
    s->width = s->initWidth;
    s->increasePoint = s->initIncrease;
    s->clearPoint = s->initClearPoint;
    s->written = 0;
    s->tableMax = 0;
    s->justCleared = true;
}

void RunPlain(RunState* s, int code) {
    s->justCleared = false;
    RunPack(s, code);
    s->written++;
    if (s->written == s->increasePoint) {
        s->width++;
        s->increasePoint += 1 << (s->width - 1);
    }
    if (s->written == s->clearPoint) {
        RunPack(s, s->clear);
        RunReset(s);
    }
}

// Codes needed to send n pixels as growing runs from an empty table.
int RunTriangle(const RunState* s, int n) {
    int64_t group = (int64_t)s->budget * (s->budget + 1) / 2;
    int cost = (int)(n / group) * s->budget;
    int64_t r = n % group;
    if (r > 0) {
        int64_t k = (int64_t)sqrt((double)(2 * r));
        while (k * (k + 1) < 2 * r)
            k++;
        while (k > 1 && (k - 1) * k >= 2 * r)
            k--;
        cost += (int)k;
    }
    return cost;
}

void RunRestoreClearPoint(RunState* s) {
    s->clearPoint = s->initClearPoint;
    if (s->written >= s->clearPoint) {
        RunPack(s, s->clear);
        RunReset(s);
    }
}

void RunFromClear(RunState* s, int n) {
    int p = s->runPixel;
    s->clearPoint = s->budget;
    s->tablePixel = p;
    int k = 1;
    while (n > 0) {
        if (k == 1) {
            s->tableMax = 1;
            RunPlain(s, p);
            n -= 1;
        } else if (n >= k) {
            s->tableMax = k;
            RunPlain(s, s->base + k - 2);
            n -= k;
        } else if (n == 1) {
            s->tableMax++;
            RunPlain(s, p);
            n = 0;
        } else {
            s->tableMax++;
            RunPlain(s, s->base + n - 2);
            n = 0;
        }
        k = s->written == 0 ? 1 : k + 1;
    }
    RunRestoreClearPoint(s);
}

void RunClearOrRepeat(RunState* s, int n) {
    if (1 + RunTriangle(s, n) < n) {
        RunPack(s, s->clear);
        RunReset(s);
        RunFromClear(s, n);
        return;
    }
    for (int i = 0; i < n; i++)
        RunPlain(s, s->runPixel);
}

void RunWithTable(RunState* s, int n) {
    int m = s->tableMax;
    int repeats = n / m, rest = n % m, extra = rest > 0 ? 1 : 0;
    if (s->written + repeats + extra > s->budget) {
        repeats = s->budget - s->written;
        rest = n - repeats * m;
        extra = 1 + RunTriangle(s, rest);
    }
    if (1 + RunTriangle(s, n) < repeats + extra) {
        RunPack(s, s->clear);
        RunReset(s);
        RunFromClear(s, n);
        return;
    }
    s->clearPoint = s->budget;
    for (int i = 0; i < repeats; i++)
        RunPlain(s, s->base + m - 2);
    if (rest > 0) {
        if (s->justCleared)
            RunFromClear(s, rest);
        else if (rest == 1)
            RunPlain(s, s->runPixel);
        else
            RunPlain(s, s->base + rest - 2);
    }
    RunRestoreClearPoint(s);
}

void RunFlush(RunState* s) {
    int n = s->runLength;
    if (n == 1)
        RunPlain(s, s->runPixel);
    else if (s->justCleared)
        RunFromClear(s, n);
    else if (s->tableMax < 2 || s->tablePixel != s->runPixel)
        RunClearOrRepeat(s, n);
    else
        RunWithTable(s, n);
    s->runLength = 0;
}

void EncodeRuns(GifCodes* c, int initWidth, GifPixelSource source, void* context) {
    RunState* s = (RunState*)calloc(1, sizeof(RunState));
    if (!s) {
        c->writeFailed = true;
        return;
    }
    s->c = c;
    s->initWidth = initWidth;
    s->clear = 1 << (initWidth - 1);
    s->end = s->clear + 1;
    s->base = s->clear + 2;
    s->initIncrease = s->clear - 1;
    s->initClearPoint = initWidth <= 3 ? 9 : s->clear - 2;
    s->budget = 4093 - s->clear;
    RunReset(s);
    RunPack(s, s->clear);
    for (;;) {
        int pixel = source(context);
        if (s->runLength > 0 && pixel != s->runPixel)
            RunFlush(s);
        if (pixel < 0)
            break;
        if (s->runLength > 0) {
            s->runLength++;
        } else {
            s->runPixel = pixel;
            s->runLength = 1;
        }
    }
    RunPack(s, s->end);
    if (s->accBits > 0)
        RunByte(s, (BYTE)s->acc);
    RunFlushBlock(s);
    free(s);
}

}  // namespace

GifCodes* GifCodesNew() {
    GifCodes* c = (GifCodes*)calloc(1, sizeof(GifCodes));
    if (c)
        GifCodesStartRead(c);
    return c;
}

void GifCodesFree(GifCodes* c) {
    free(c);
}

void GifCodesStartRead(GifCodes* c) {
    c->readPos = kGifReadBuffer;
    c->readCount = 0;
}

int GifCodesReadByte(GifCodes* c, CRasterFile* f) {
    if (c->readPos >= kGifReadBlock) {
        size_t n = f->Read(c->readBuffer, 1, kGifReadBlock);
        c->readCount = (int)n;
        c->readPos = 0;
        c->readBuffer[n] = 0xFF;  // past the data; never returned
    }
    if (c->readPos >= c->readCount)
        return -1;
    return c->readBuffer[c->readPos++];
}

long GifCodesUnread(const GifCodes* c) {
    return c->readPos < c->readCount ? c->readCount - c->readPos : 0;
}

int GifDecodeLzw(GifCodes* c, CRasterFile* f, int lineWidth, int64_t maxPixels, GifRowSink sink, void* context,
                 int* badCodes) {
    if (lineWidth <= 0)
        return kGifBadLineWidth;
    int size = GifCodesReadByte(c, f);
    if (size < 0)
        return size;
    // Any size whose first codes fit the format's 12-bit limit: 11 starts
    // at 12 bits and stays there.
    if (size < 2 || size > kGifMaxCodeSize)
        return kGifBadCodeSize;
    StartDecode(c, size);
    BYTE* line = (BYTE*)malloc((size_t)lineWidth + 1);
    if (!line)
        return kGifNoMemory;
    LzwOutput out = {line, lineWidth, 0, 0, maxPixels, sink, context, false};
    int result = 0;
    int oldCode = -1;  // none: the first code after a clear adds no entry
    BYTE firstChar = 0;
    while (!out.full) {
        int code = ReadCode(c, f);
        if (code < 0 || code == c->endCode)
            break;
        if (code == c->clearCode) {
            ClearTable(c, size);
            oldCode = -1;
            continue;
        }
        int sp = 0;
        if (oldCode < 0) {
            if (code >= c->nextSlot)
                code = 0;
            firstChar = (BYTE)code;
            c->stack[sp++] = firstChar;
        } else {
            sp = ExpandCode(c, code, oldCode, &firstChar, badCodes);
        }
        oldCode = code;
        result = EmitStack(c, sp, &out);
        if (result < 0)
            break;
    }
    if (result == 0 && out.fill > 0 && sink) {
        int r = sink(context, line, out.fill);
        if (r < 0)
            result = r;
    }
    free(line);
    return result;
}

bool GifEncodeCodes(GifCodes* c, CRasterFile* f, uint32_t method, int initWidth, GifPixelSource source, void* context) {
    c->out = f;
    c->writeFailed = false;
    c->initWidth = c->width = initWidth;
    c->maxCode = (1 << initWidth) - 1;
    c->clearCodeOut = 1 << (initWidth - 1);
    c->endCodeOut = c->clearCodeOut + 1;
    c->freeCode = c->clearCodeOut + 2;
    c->clearFlag = 0;
    c->acc = 0;
    c->accBits = 0;
    c->blockCount = 0;
    if (method == kGifPlainCodes)
        EncodePlain(c, source, context);
    else if (method == kGifRunCodes)
        EncodeRuns(c, initWidth, source, context);
    else
        EncodeLzw(c, source, context);
    if (!f->Flush() || f->Error())
        c->writeFailed = true;
    return !c->writeFailed;
}
