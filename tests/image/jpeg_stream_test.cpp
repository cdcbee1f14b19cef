// The JPEG decoder's source of file data: segments whose length runs past
// the end of the file.
#include <gtest/gtest.h>

#include <string>

#include "image/raster_file.h"
#include "image/raster_jpeg.h"

namespace {

// A memory file that counts the reads the decoder makes.
class CountingFile : public CRasterMemFile {
  public:
    CountingFile(const std::string& bytes) : CRasterMemFile((unsigned char*)bytes.data(), bytes.size()) {}
    size_t Read(void* buffer, size_t size, size_t count) override {
        reads++;
        return CRasterMemFile::Read(buffer, size, count);
    }
    int reads = 0;
};

// SOI, then a segment of this marker that declares 65533 bytes of
// contents and holds only a few.
std::string CutSegment(int marker) {
    return std::string{(char)0xFF, (char)0xD8, (char)0xFF, (char)marker, (char)0xFF, (char)0xFF} + "cut short";
}

}  // namespace

// Skipping a segment that runs past the end used to read the exhausted file
// once for every two bytes it claimed (some 32,000 reads for one segment).
TEST(JpegStream, SkipPastTheEndStopsAtTheEnd) {
    for (int marker : {0xE5, 0xEF, 0xFE}) {
        std::string bytes = CutSegment(marker);
        CountingFile file(bytes);
        CRasterJPG img;
        EXPECT_FALSE(img.DecodeJpg(&file)) << std::hex << marker;
        EXPECT_FALSE(img.IsValid());
        EXPECT_STRNE("", img.GetLastError());
        EXPECT_LT(file.reads, 50) << std::hex << marker;
    }
}
