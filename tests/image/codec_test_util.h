// Helpers of the TIFF, ICO, TGA and PCX tests: crafting little-endian
// bytes, decoding bytes in memory, comparing with a tolerance, and a
// stream whose writes fail after a budget.
#pragma once
#include <stdint.h>

#include <string>

#include "image/raster.h"
#include "image/raster_file.h"
#include "image_test_util.h"

std::string Le16(uint16_t v);
std::string Le32(uint32_t v);
// Decodes bytes held in memory with the dispatcher (format 0 detects).
bool DecodeBytes(const std::string& bytes, uint32_t format, CRaster* img);
// Encodes through the dispatcher into bytes.
bool EncodeBytes(CRaster* img, uint32_t format, std::string* bytes);
// A peer's command line: $S becomes src, $O out.
std::string PeerCommand(std::string cmd, const std::string& src, const std::string& out);
// Loads file (a peer's) as format and expects: that format, bpp bits, the
// pixels of `theirs` exactly, and the same format found by detection.
void ExpectReadsLike(const std::string& file, uint32_t format, int bpp, const Rgb& theirs);
// Largest difference of one channel of one pixel; -1 when the sizes differ.
int MaxChannelDiff(const Rgb& a, const Rgb& b);
// A memory stream that accepts `budget` bytes and then fails every write.
class ShortWriteFile : public CRasterMemFile {
  public:
    explicit ShortWriteFile(size_t budget) : budget_(budget) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool PutC(unsigned char c) override { return Write(&c, 1, 1) == 1; }

  private:
    size_t budget_;
};
