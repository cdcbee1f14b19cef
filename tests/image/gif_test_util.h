// Helpers of the GIF tests: decoding and encoding through memory streams,
// the GIF peer script, and reading a peer's frames.
#pragma once
#include <string>

#include "image/raster_gif.h"
#include "image_test_util.h"

// Decodes bytes with a fresh codec object set up by the caller's options.
bool GifDecodeBytes(const std::string& bytes, CRasterGIF* img);
bool GifDecodeFile(const std::string& path, CRasterGIF* img);
// Encodes src (through an alias, as the format dispatch does).
bool GifEncodeBytes(CRaster* src, std::string* bytes, uint32_t option = 0, std::string* error = nullptr);
bool GifEncodeFile(CRaster* src, const std::string& path, uint32_t option = 0);
// Runs tests/image/gif_peer.py with arguments; output in *out.
bool RunGifPeer(const std::string& dir, const std::string& args, std::string* out = nullptr);
// A peer's frames written as PREFIXn.ppm / PREFIXn.pgm (alpha).
struct PeerFrame {
    Rgb rgb;
    Rgb alpha;  // grey: alpha in every channel
};
bool ReadPeerFrames(const std::string& prefix, int count, std::vector<PeerFrame>* frames);
// An 8-bit image of a picture through the quantizer path the application uses.
bool Reduced(const Rgb& pic, int bpp, CRaster* img);
// Pixels that differ where the peer's alpha is 255; -1 on a size mismatch.
int CountOpaqueDiff(const Rgb& ours, const PeerFrame& theirs, std::string* where = nullptr);
