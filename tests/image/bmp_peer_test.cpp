// The BMP codec against ImageMagick, PIL and netpbm: their bitmaps of every
// header size and depth read pixel-exact in ours, ours read in theirs.
#include <gtest/gtest.h>

#include "image/raster_bmp.h"
#include "image/raster_file.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

struct Variant {
    const char* name;
    const char* make;        // convert arguments after the source, or "craft KIND FROM"
    const char* peers;       // peers that read the result: p(il) i(m) n(etpbm)
    const char* expectFrom;  // variant whose peer decode is the expectation (null: itself)
    int bpp;                 // our depth after decoding
    int shift;               // compare the top 8 - shift bits (16-bit data)
};

const Variant kVariants[] = {
    {"v3-24", "BMP3:", "pin", nullptr, 24, 0},
    {"v5-24", "BMP:", "pi", nullptr, 24, 0},
    {"os2-24", "BMP2:", "pi", nullptr, 24, 0},
    {"os2-4", "-colors 12 -compress None BMP2:", "pi", nullptr, 4, 0},
    {"v3-8", "-colors 200 -compress None BMP3:", "pin", nullptr, 8, 0},
    {"v3-4", "-colors 16 -depth 4 -compress None BMP3:", "pin", nullptr, 4, 0},
    {"v3-1", "-monochrome -compress None BMP3:", "pin", nullptr, 1, 0},
    {"rle8", "-colors 200 -compress RLE BMP3:", "pi", nullptr, 8, 0},
    {"v5-565", "-define bmp:subtype=RGB565 BMP:", "pi", nullptr, 24, 3},
    {"v5-555", "-define bmp:subtype=RGB555 BMP:", "pi", nullptr, 24, 3},
    {"v5-32", "-alpha on BMP:", "pi", nullptr, 24, 0},
    {"topdown", "craft topdown v3-24", "pi", nullptr, 24, 0},
    {"headerless", "craft headerless v3-8", "", "v3-8", 8, 0},
    {"v4", "craft v4 v5-565", "pi", nullptr, 24, 3},
    {"v4pal", "craft v4pal v3-8", "pi", nullptr, 8, 0},
    {"h52", "craft h52 v5-565", "i", nullptr, 24, 3},
    {"h56", "craft h56 v5-565", "i", nullptr, 24, 3},
    {"os2v2", "craft os2v2 v3-8", "", "v3-8", 8, 0},
    {"rgb16", "craft rgb16 v3-24", "pi", nullptr, 24, 3},
    {"rle4", "craft rle4 v3-4", "i", nullptr, 4, 0},  // PIL moves RLE4 deltas by bytes
    {"rle4nodelta", "craft rle4nodelta v3-4", "pi", nullptr, 4, 0},
};

std::string VariantPath(const std::string& dir, const char* name) {
    return PathJoin(dir, std::string(name) + ".bmp");
}

bool MakeVariant(const std::string& dir, const std::string& src, const Variant& v) {
    std::string make = v.make;
    if (make.rfind("craft ", 0) == 0) {
        std::string rest = make.substr(6);
        std::string kind = rest.substr(0, rest.find(' '));
        std::string from = rest.substr(rest.find(' ') + 1);
        return RunPeerScript(
            dir, "craft " + kind + " " + Lx(VariantPath(dir, from.c_str())) + " " + Lx(VariantPath(dir, v.name)));
    }
    size_t colon = make.rfind(' ');
    std::string opts = colon == std::string::npos ? "" : make.substr(0, colon);
    std::string fmt = colon == std::string::npos ? make : make.substr(colon + 1);
    return Convert(dir, Lx(src) + " " + opts + " " + fmt + UnixPathOf(VariantPath(dir, v.name)));
}

}  // namespace

TEST(BmpPeer, PeerBitmapsReadPixelExact) {
    std::string dir = MakeTestDir("bmp_peer_read");
    for (int width : {37, 8}) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::string src = PathJoin(dir, "src.ppm");
        ASSERT_TRUE(WritePpm(src, MakePicture(width, 23, 7)));
        for (const Variant& v : kVariants)
            ASSERT_TRUE(MakeVariant(dir, src, v)) << v.name;
        for (const Variant& v : kVariants) {
            SCOPED_TRACE(v.name);
            CRaster img(0);
            ASSERT_TRUE(img.Load(VariantPath(dir, v.name).c_str(), kFormatBmp)) << img.GetLastError();
            EXPECT_EQ(img.GetFormatId(), (uint32_t)kFormatBmp);
            EXPECT_EQ(img.GetBpp(), v.bpp);
            Rgb ours = RgbOf(img);
            std::string peers = v.expectFrom ? "pi" : v.peers;
            std::string file = VariantPath(dir, v.expectFrom ? v.expectFrom : v.name);
            int checked = 0;
            for (char p : peers) {
                const char* tool = p == 'p' ? "pil" : p == 'i' ? "im" : "netpbm";
                Rgb theirs;
                ASSERT_TRUE(PeerDecode(dir, tool, file, &theirs)) << tool;
                std::string where;
                EXPECT_EQ(CountDiff(ours, theirs, &where, v.shift), 0) << tool << " " << where;
                checked++;
            }
            EXPECT_GT(checked, 0);
            // Detection finds the same picture.
            CRaster det(0);
            ASSERT_TRUE(det.Load(VariantPath(dir, v.name).c_str(), kFormatAny)) << det.GetLastError();
            EXPECT_EQ(CountDiff(RgbOf(det), ours), 0);
        }
    }
}

TEST(BmpPeer, OurBitmapsReadInPeers) {
    std::string dir = MakeTestDir("bmp_peer_write");
    for (int width : {37, 13, 64}) {
        Rgb pic = MakePicture(width, 19, 3);
        for (int bpp : {24, 8, 4, 1}) {
            SCOPED_TRACE("width " + std::to_string(width) + " bpp " + std::to_string(bpp));
            CRaster img(0);
            ASSERT_TRUE(ImageOf(pic, &img));
            img.SetXDpi(300);
            if (bpp < 24) {
                ASSERT_TRUE(img.DecreaseBpp(bpp, false));
            }
            ASSERT_EQ(img.GetBpp(), bpp);
            std::string before((const char*)img.GetDibBlock(), img.GetDibSize());
            std::string file = PathJoin(dir, "ours" + std::to_string(width) + "_" + std::to_string(bpp) + ".bmp");
            ASSERT_TRUE(img.Save(file.c_str(), kFormatBmp)) << img.GetLastError();
            EXPECT_EQ(std::string((const char*)img.GetDibBlock(), img.GetDibSize()), before)
                << "the encoder changed the caller's image";
            Rgb ours = RgbOf(img);
            for (const char* tool : {"pil", "im", "netpbm"}) {
                Rgb theirs;
                ASSERT_TRUE(PeerDecode(dir, tool, file, &theirs)) << tool;
                std::string where;
                EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << tool << " " << where;
            }
            std::string out;
            ASSERT_TRUE(Convert(dir, Lx(file) + " -units PixelsPerInch -format '%x' info:", &out));
            EXPECT_NEAR(atof(out.c_str()), 300.0, 0.5) << out;
        }
    }
}

TEST(BmpPeer, HeaderOnlyAndTexts) {
    std::string dir = MakeTestDir("bmp_texts");
    std::string src = PathJoin(dir, "src.ppm");
    ASSERT_TRUE(WritePpm(src, MakePicture(21, 9, 1)));
    std::string bmp = PathJoin(dir, "a.bmp");
    ASSERT_TRUE(Convert(dir, Lx(src) + " BMP3:" + UnixPathOf(bmp)));

    CRaster img(0);
    img.SetEscape((uint32_t)-1);
    ASSERT_TRUE(img.Load(bmp.c_str(), kFormatBmp));
    EXPECT_EQ(img.Width(), 21);
    EXPECT_EQ(img.Height(), 9);
    EXPECT_STREQ(img.GetLastError(), "output dimensions returned");
    EXPECT_FALSE(img.IsValid());

    CRaster cancelled(0);
    cancelled.SetEscape(1);
    EXPECT_FALSE(cancelled.Load(bmp.c_str(), kFormatBmp));

    // A text file: the BMP reader's own text survives the failed detection.
    std::string txt = PathJoin(dir, "t.txt");
    ASSERT_TRUE(WriteFileBytes(txt, TextLikeBytes(300, 1)));
    CRaster t(0);
    EXPECT_FALSE(t.Load(txt.c_str(), kFormatBmp));
    EXPECT_STREQ(t.GetLastError(), "Error reading BMP info");
    EXPECT_FALSE(t.Load(txt.c_str(), kFormatAny));
    EXPECT_STREQ(t.GetLastError(), "Decode: Unknown or wrong format");

    // A bitmap asked for as a format not built in is still found by detection.
    CRaster p(0);
    ASSERT_TRUE(p.Load(bmp.c_str(), kFormatPng)) << p.GetLastError();
    EXPECT_EQ(p.GetFormatId(), (uint32_t)kFormatBmp);
    EXPECT_EQ(p.Width(), 21);
}
