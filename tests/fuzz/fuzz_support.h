// Helpers of the fuzz targets: a private scratch folder per process for
// targets that hand their input over as a file (targets may run side by
// side), and the picture size up to which image targets decode in full.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The scratch folder, made on first use (aborts when it cannot be made).
const char* FuzzScratchFolder();
// Writes the bytes as the file at path; false when it cannot be written.
bool FuzzWriteFile(const char* path, const uint8_t* data, size_t size);

// Pictures up to this many pixels are decoded in full; larger ones only to
// their size. A decoder's work grows with the pixels an input declares,
// not with its bytes: a 20-byte GIF may declare a 60-megapixel screen, and
// the fuzzer would spend its time filling canvases instead of parsing.
// The decoders' limits on large sizes have tests of their own.
constexpr long long kFuzzMaxPixels = 1 << 16;
// True when a picture of the size a size-only decode left in the image
// (width, height; a negative height is a top-down bitmap) is decoded in full.
bool FuzzDecodeInFull(int width, int height);
