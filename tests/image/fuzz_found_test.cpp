// Inputs the fuzz targets found, built here: each once ended in undefined
// behaviour or a plainly wrong result.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "gif_test_util.h"
#include "image/raster_bmp.h"
#include "image/raster_file.h"
#include "image_test_util.h"

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; i++)
        s += (char)(v >> (8 * i));
    return s;
}

// A 2 x 2 24-bit bitmap with these resolution fields.
std::string BitmapWithResolution(uint32_t xPelsPerMeter, uint32_t yPelsPerMeter) {
    std::string info = Le(40, 4) + Le(2, 4) + Le(2, 4) + Le(1, 2) + Le(24, 2) + Le(0, 4) + Le(16, 4) +
                       Le(xPelsPerMeter, 4) + Le(yPelsPerMeter, 4) + Le(0, 4) + Le(0, 4);
    std::string pixels(16, '\x40');
    return "BM" + Le(54 + 16, 4) + Le(0, 4) + Le(54, 4) + info + pixels;
}

}  // namespace

// The largest resolution a bitmap can state is some 54.5 million DPI, whose
// pixels per metre rounded one past the header field's range.
TEST(FuzzFound, LargestBitmapResolutionStaysInTheField) {
    for (uint32_t ppm : {0x7FFFFFFFu, 0x7FFFFFF0u, 0x7FFFFF00u}) {
        std::string bytes = BitmapWithResolution(ppm, ppm);
        CRasterMemFile mem((unsigned char*)bytes.data(), bytes.size());
        CRasterBMP img;
        ASSERT_TRUE(img.DecodeBmp(&mem)) << img.GetLastError();
        EXPECT_EQ((int)(ppm * 254.0 / 10000.0 + 0.5), img.GetXDpi());
        EXPECT_GE(img.Header().biXPelsPerMeter, (LONG)ppm - 20);
        EXPECT_GE(img.Header().biYPelsPerMeter, (LONG)ppm - 20);
    }
    CRaster img(4, 4, 24);
    img.SetXDpi(INT32_MAX);
    img.SetYDpi(54546085);
    EXPECT_EQ(INT32_MAX, img.Header().biXPelsPerMeter);
    EXPECT_EQ(INT32_MAX, img.Header().biYPelsPerMeter);
}

// A 0 x 0 screen takes the first image's size; the size-only read reported
// 0 x 0 for it, so a caller checking the size first saw nothing to refuse.
TEST(FuzzFound, SizeOnlyReadOfZeroScreenGivesTheFirstImagesSize) {
    CRaster pic;
    ASSERT_TRUE(ImageOf(MakePicture(40, 30, 5), &pic));
    ASSERT_TRUE(pic.DecreaseBpp(8, false));
    std::string bytes;
    ASSERT_TRUE(GifEncodeBytes(&pic, &bytes));
    bytes.replace(6, 4, std::string(4, '\0'));
    CRasterGIF sizeOnly;
    sizeOnly.SetEscape((uint32_t)-1);
    ASSERT_TRUE(GifDecodeBytes(bytes, &sizeOnly)) << sizeOnly.GetLastError();
    EXPECT_EQ(40, sizeOnly.Width());
    EXPECT_EQ(30, sizeOnly.Height());
    CRasterGIF full;
    ASSERT_TRUE(GifDecodeBytes(bytes, &full)) << full.GetLastError();
    EXPECT_EQ(40, full.Width());
    EXPECT_EQ(30, full.Height());
    // A screen of its own is still read from the header alone.
    std::string cut = bytes.substr(0, 13);
    cut[6] = 7, cut[8] = 9;
    CRasterGIF header;
    header.SetEscape((uint32_t)-1);
    ASSERT_TRUE(GifDecodeBytes(cut, &header));
    EXPECT_EQ(7, header.Width());
    EXPECT_EQ(9, header.Height());
}
