// The variable-width LZW code streams inside GIF image blocks: one decoder
// and three encoders (LZW, one plain code per pixel, run-length codes).
// Codes are packed least significant bit first into data sub-blocks (a
// length byte 1-255 and the bytes); the caller writes the minimum code size
// byte before a stream and the zero terminator after it.
#pragma once
#include <stdint.h>

#include "base/win_types.h"
#include "image/raster_file.h"

// Encoder choice: the GIF option word of an image. Any other value is LZW.
enum GifCodeMethod : uint32_t {
    kGifLzw = 0,
    kGifPlainCodes = 1,
    kGifRunCodes = 2,
};

constexpr int kGifReadBuffer = 16384;
constexpr int kGifReadBlock = 16383;  // bytes asked for per refill
constexpr int kGifHashSize = 5003;
constexpr int kGifMaxCodes = 4096;
constexpr int kGifMaxCodeSize = 11;  // minimum code size read: 12-bit codes from the start

// Decoder results.
constexpr int kGifBadLineWidth = -5;
constexpr int kGifNoMemory = -10;
constexpr int kGifBadCodeSize = -20;

// Receives each decoded line of one-byte indices: count = the line width,
// or fewer for the last partial line. A negative result ends decoding and
// becomes the decoder's result.
typedef int (*GifRowSink)(void* context, BYTE* line, int count);
// The next pixel's palette index, or -1 after the last pixel.
typedef int (*GifPixelSource)(void* context);

// Every buffer and table of the code streams; one per codec object, on the
// heap (GifCodesNew). The fields belong to the functions below.
struct GifCodes {
    // Input: a read buffer over the stream (a refill asks for 16,383 bytes).
    BYTE readBuffer[kGifReadBuffer];
    int readPos;    // next byte; kGifReadBuffer forces a refill
    int readCount;  // bytes held
    // Decoder state.
    uint16_t codeWidth, clearCode, endCode, firstFree, nextSlot, slotLimit;
    int blockLeft;   // bytes left in the current sub-block
    uint32_t inAcc;  // bits read but not yet taken as codes
    int inBits;
    bool terminatorSeen;  // the zero-length sub-block was read
    BYTE stack[kGifMaxCodes];
    BYTE suffix[kGifMaxCodes];
    uint16_t prefix[kGifMaxCodes];
    // LZW encoder tables.
    int32_t hashKeys[kGifHashSize];  // (pixel << 12) + prefix; -1 free
    uint16_t hashCodes[kGifHashSize];
    // Encoder state shared by the code writer.
    int width, initWidth, maxCode, freeCode, clearFlag, clearCodeOut, endCodeOut;
    uint32_t acc;
    int accBits;
    BYTE block[256];
    int blockCount;
    CRasterFile* out;
    bool writeFailed;
};

// Null when memory is short. Free with GifCodesFree.
GifCodes* GifCodesNew();
void GifCodesFree(GifCodes* c);

// Starts reading at the stream's position: the next byte read refills.
void GifCodesStartRead(GifCodes* c);
// -1 at the end of the data, else the next byte.
int GifCodesReadByte(GifCodes* c, CRasterFile* f);
// Bytes taken from the stream into the buffer but not consumed: the stream
// position less this is the first unconsumed byte.
long GifCodesUnread(const GifCodes* c);

// Decodes one image's code stream (from the minimum code size byte on).
// Delivers at most maxPixels pixels (0 = no limit) to the sink (null: the
// data is only walked). *badCodes counts codes above the next free slot.
// Returns 0 when done or when the data ended early (rows delivered stay),
// kGifBadLineWidth, kGifBadCodeSize, kGifNoMemory, the sink's negative
// result, or -1 when not even the minimum code size could be read.
int GifDecodeLzw(GifCodes* c, CRasterFile* f, int lineWidth, int64_t maxPixels, GifRowSink sink, void* context,
                 int* badCodes);

// Writes the sub-blocks of one code stream for the pixels of the source;
// initWidth = minimum code size + 1 (3..9). False when a write to the
// stream failed (the stream is flushed at the end).
bool GifEncodeCodes(GifCodes* c, CRasterFile* f, uint32_t method, int initWidth, GifPixelSource source, void* context);
