// Format dispatch: extensions, detection order, errors, stream positions.
#include <gtest/gtest.h>
#include <string.h>

#include "image/raster.h"
#include "image/raster_codec.h"
#include "image/raster_file.h"
#include "image_test_util.h"
#include "support/test_support.h"

TEST(FormatDispatch, Extensions) {
    EXPECT_EQ(CRaster::TypeFromExtension("JPEG"), 3u);
    EXPECT_EQ(CRaster::TypeFromExtension("jfif"), 3u);
    EXPECT_EQ(CRaster::TypeFromExtension("Tiff"), 6u);
    EXPECT_EQ(CRaster::TypeFromExtension("jp2"), 0u);
    EXPECT_EQ(CRaster::TypeFromExtension("cur"), 5u);
    EXPECT_EQ(CRaster::TypeFromExtension("BMP"), 1u);
    EXPECT_EQ(CRaster::TypeFromExtension("emf"), 10u);
    EXPECT_EQ(CRaster::TypeFromExtension("pc"), 0u);
    EXPECT_EQ(CRaster::TypeFromExtension(""), 0u);
    EXPECT_EQ(CRaster::TypeFromExtension(nullptr), 0u);
}

// A file name's extension counts whole, not by its first three letters.
TEST(FormatDispatch, FileNames) {
    EXPECT_EQ(CRaster::TypeFromFileName("C:\\shots\\a.PNG"), 4u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.jpeg"), 3u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.Tiff"), 6u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.jpe"), 3u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.jpe", true), 0u);  // read under that name, never written
    EXPECT_EQ(CRaster::TypeFromFileName("a.jpg", true), 3u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.jfif"), 0u);
    EXPECT_EQ(CRaster::TypeFromFileName("a.pngx"), 0u);
    EXPECT_EQ(CRaster::TypeFromFileName("C:\\my.png\\shot"), 0u);
    EXPECT_EQ(CRaster::TypeFromFileName("shotpng"), 0u);
    EXPECT_EQ(CRaster::TypeFromFileName(nullptr), 0u);
}

TEST(FormatDispatch, ErrorsAndStreamPositions) {
    CRaster img(0);
    EXPECT_FALSE(img.Decode((CRasterFile*)nullptr, 0));
    EXPECT_STREQ(img.GetLastError(), "null file handler");

    std::string junk = "xx" + TextLikeBytes(200, 3);
    CRasterMemFile m((unsigned char*)junk.data(), junk.size());
    ASSERT_TRUE(m.Seek(2, 0));
    EXPECT_FALSE(img.Decode(&m, 9));
    EXPECT_STREQ(img.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(m.Tell(), 2) << "an unknown id reads nothing";
    EXPECT_FALSE(img.Decode(&m, 0));
    EXPECT_STREQ(img.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(m.Tell(), 2) << "a failed detection puts the stream back";
    EXPECT_FALSE(img.Decode(&m, kFormatJpg));  // the codec's own text
    EXPECT_EQ(0, strncmp(img.GetLastError(), "Not a JPEG file: starts with", 28)) << img.GetLastError();
    EXPECT_EQ(m.Tell(), 2) << "a failed decode puts the stream back";

    CRasterMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(img.Encode(&out, kFormatBmp));
    EXPECT_STREQ(img.GetLastError(), "null image!!!");
    CRaster full(3, 3, 24, 0);
    EXPECT_FALSE(full.Encode((CRasterFile*)nullptr, kFormatBmp));
    EXPECT_STREQ(full.GetLastError(), "null file handler");
    EXPECT_FALSE(full.Encode(&out, 0));
    EXPECT_STREQ(full.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(full.Encode(&out, kFormatWmf));
    // Metafiles only decode: the codec's own text where it is built in.
    EXPECT_STREQ(full.GetLastError(),
                 FindRasterCodec(kFormatWmf) ? "Save WMF not supported" : "Encode: Unknown format");
    EXPECT_FALSE(full.CheckBeforeEncode(nullptr));
    EXPECT_TRUE(full.CheckBeforeEncode(&out));
}

TEST(FormatDispatch, MemoryRoundTripAndDetectionAfterOffset) {
    Rgb pic = MakePicture(29, 17, 5);
    CRaster img(0);
    ASSERT_TRUE(ImageOf(pic, &img));
    CRasterMemFile m;
    ASSERT_TRUE(m.Open());
    m.Write("prefix", 1, 6);  // decoding starts where the stream stands
    ASSERT_TRUE(img.Encode(&m, kFormatBmp));
    ASSERT_TRUE(m.Seek(6, 0));
    CRaster back(0);
    ASSERT_TRUE(back.Decode(&m, kFormatAny)) << back.GetLastError();
    EXPECT_EQ(back.GetFormatId(), (uint32_t)kFormatBmp);
    EXPECT_EQ(CountDiff(RgbOf(back), pic), 0);
    // Failing loads of missing files keep the last text.
    back.SetLastError("kept");
    EXPECT_FALSE(back.Load("/no/such/file.bmp", kFormatBmp));
    EXPECT_STREQ(back.GetLastError(), "kept");
    EXPECT_FALSE(back.Save("/no/such/dir/file.bmp", kFormatBmp));
}
