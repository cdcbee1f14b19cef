// The TIFF codec against libtiff's tools, ImageMagick and PIL: their files
// (every compression, tiles, strips, planes, depths, photometrics, the eight
// orientations, pages) read in ours with the same pixels, ours read in
// theirs with the compression chosen by depth, and damaged files.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "image/raster_tiff.h"
#include "support/test_support.h"

namespace {

struct TiffVariant {
    const char* name;
    const char* make;  // shell command in the test folder; base.tif, pal.tif and grey.tif exist
    int bpp;           // our depth after decoding
    int tolerance;     // largest channel difference to ImageMagick's reading
    uint32_t option;   // the compression kept as the option word
};

const TiffVariant kTheirs[] = {
    {"none", "cp base.tif none.tif", 24, 0, 1},
    {"lzw2", "tiffcp -c lzw:2 base.tif lzw2.tif", 24, 0, 5},
    {"zip", "tiffcp -c zip base.tif zip.tif", 24, 0, 8},
    {"packbits", "tiffcp -c packbits base.tif packbits.tif", 24, 0, 32773},
    {"jpeg", "tiffcp -c jpeg base.tif jpeg.tif", 24, 2, 7},
    {"tiled", "tiffcp -c lzw -t -w 16 -l 16 base.tif tiled.tif", 24, 0, 5},
    {"imtiled", "convert base.tif -define tiff:tile-geometry=16x32 imtiled.tif", 24, 0, 0},
    {"strips3", "tiffcp -r 3 -c lzw base.tif strips3.tif", 24, 0, 5},
    {"separate", "tiffcp -p separate base.tif separate.tif", 24, 0, 1},
    {"rgb16", "convert base.tif -depth 16 rgb16.tif", 24, 1, 0},
    {"cmyk", "convert base.tif -colorspace CMYK cmyk.tif", 24, 2, 0},
    {"lab", "convert base.tif -colorspace Lab -compress None lab.tif", 24, 16, 0},  // rounding at saturated colours
    {"pal", "tiffcp -c lzw pal.tif palc.tif", 8, 0, 5},
    {"paltiled", "tiffcp -c lzw -t -w 16 -l 32 pal.tif paltiled.tif", 8, 0, 5},
    {"palimtiled", "convert pal.tif -define tiff:tile-geometry=32x16 palimtiled.tif", 8, 0, 0},
    {"pal4", "convert base.tif -colors 16 -type Palette -depth 4 pal4.tif", 4, 0, 0},
    {"grey8", "cp grey.tif grey8.tif", 8, 0, 1},
    {"grey8tiled", "tiffcp -t -w 32 -l 16 -c zip grey.tif grey8tiled.tif", 8, 0, 8},
    {"grey4", "convert grey.tif -depth 4 grey4.tif", 4, 0, 0},
    {"grey2", "convert grey.tif -depth 2 grey2.tif", 8, 0, 0},
    {"grey16", "convert grey.tif -depth 16 grey16.tif", 8, 1, 0},
    {"greya", "convert grey.tif -alpha set -channel A -evaluate set 100% grey_a.tif", 8, 0, 0},
    {"bilevel", "convert grey.tif -threshold 50% -depth 1 -compress None bilevel.tif", 1, 0, 1},
    {"g4", "tiffcp -c g4 bilevel.tif g4.tif", 1, 0, 4},
    {"g3", "tiffcp -c g3:2d bilevel.tif g3.tif", 1, 0, 3},
    {"minblack", "convert grey.tif -threshold 50% -depth 1 -compress None -define quantum:polarity=min-is-black mb.tif",
     1, 0, 1},
};

double MeanDiff(const Rgb& a, const Rgb& b) {
    if (a.w != b.w || a.h != b.h || a.px.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.px.size(); i++)
        sum += abs((int)a.px[i] - (int)b.px[i]);
    return sum / (double)a.px.size();
}

std::string FileOf(const std::string& dir, const TiffVariant& v) {
    std::string make = v.make;
    size_t end = make.rfind(".tif");
    size_t start = make.rfind(' ', end) + 1;
    return PathJoin(dir, make.substr(start, end + 4 - start));
}

// ImageMagick's reading, turned upright.
bool ImDecode(const std::string& dir, const std::string& file, Rgb* out) {
    std::string ppm = file + ".im.ppm";
    return Convert(dir, Lx(file) + "[0] -auto-orient -depth 8 ppm:" + Lx(ppm)) && ReadPnm(ppm, out);
}

bool Craft(const std::string& dir, const std::string& name, const std::string& args) {
    std::string script = std::string(VP_SOURCE_DIR) + "/tests/image/tiff_craft.py";
    return RunPeer(dir, "/usr/bin/python3 " + Quote(script) + " " + name + " " + args) == 0;
}

std::string Info(const std::string& dir, const std::string& file) {
    std::string out;
    RunPeer(dir, "tiffinfo " + Lx(file) + " 2>&1", &out);
    return out;
}

}  // namespace

TEST(TiffPeer, TheirFilesReadWithTheSamePixels) {
    std::string dir = MakeTestDir("tiff_theirs");
    ASSERT_TRUE(WritePpm(PathJoin(dir, "src.ppm"), MakePicture(43, 35, 12)));
    ASSERT_EQ(RunPeer(dir,
                      "convert src.ppm -compress None base.tif && "
                      "convert src.ppm -colors 200 -type Palette -compress None pal.tif && "
                      "convert src.ppm -colorspace gray -type Grayscale -compress None grey.tif"),
              0);
    for (const TiffVariant& v : kTheirs) {
        SCOPED_TRACE(v.name);
        std::string out;
        ASSERT_EQ(RunPeer(dir, std::string(v.make) + " 2>&1", &out), 0) << out;
        std::string file = FileOf(dir, v);
        CRaster img(0);
        ASSERT_TRUE(img.Load(file.c_str(), kFormatTif)) << img.GetLastError();
        EXPECT_EQ(img.GetFormatId(), (uint32_t)kFormatTif);
        EXPECT_EQ(img.GetBpp(), v.bpp);
        if (v.option) {
            EXPECT_EQ(img.GetFormatOption(kFormatTif), v.option);
        }
        Rgb theirs;
        ASSERT_TRUE(ImDecode(dir, file, &theirs));
        EXPECT_LE(MaxChannelDiff(RgbOf(img), theirs), v.tolerance);
        EXPECT_LT(MeanDiff(RgbOf(img), theirs), 1.0);
        if (v.tolerance == 0) {
            std::string where;
            EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << where;
        }
        CRaster det(0);
        ASSERT_TRUE(det.Load(file.c_str(), kFormatAny)) << det.GetLastError();
        EXPECT_EQ(det.GetFormatId(), (uint32_t)kFormatTif);
    }
}

TEST(TiffPeer, EveryOrientationIsTurnedUpright) {
    std::string dir = MakeTestDir("tiff_orient");
    ASSERT_TRUE(WritePpm(PathJoin(dir, "src.ppm"), MakePicture(29, 17, 3)));
    ASSERT_EQ(RunPeer(dir,
                      "convert src.ppm -compress None rgb.tif && "
                      "convert src.ppm -colors 50 -type Palette -compress None pal.tif"),
              0);
    for (const char* kind : {"rgb", "pal"}) {
        for (int n = 1; n <= 8; n++) {
            SCOPED_TRACE(std::string(kind) + " orientation " + std::to_string(n));
            std::string name = std::string(kind) + "_o" + std::to_string(n) + ".tif";
            ASSERT_EQ(RunPeer(dir, "cp " + std::string(kind) + ".tif " + name + " && tiffset -s 274 " +
                                       std::to_string(n) + " " + name),
                      0);
            CRaster img(0);
            ASSERT_TRUE(img.Load(PathJoin(dir, name).c_str(), kFormatTif)) << img.GetLastError();
            Rgb theirs;
            ASSERT_TRUE(ImDecode(dir, PathJoin(dir, name), &theirs));
            std::string where;
            EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << where;
        }
    }
}

TEST(TiffPeer, OurFilesReadInPeersWithTheCompressionByDepth) {
    std::string dir = MakeTestDir("tiff_ours");
    Rgb pic = MakePicture(37, 23, 6);
    struct {
        int bpp;
        uint32_t option;
        const char* scheme;  // as tiffinfo names it
        const char* photometric;
        int tolerance;
    } cases[] = {
        {24, 0, "JPEG", "RGB color", 2},
        {24, 5, "LZW", "RGB color", 0},
        {8, 0, "LZW", "palette color", 0},
        {4, 0, "LZW", "palette color", 0},
        {1, 0, "CCITT Group 4", "min-is-white", 0},
        {1, 32773, "PackBits", "min-is-white", 0},
        {24, 4, "JPEG", "RGB color", 2},  // G4 cannot hold 24 bits: by depth
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bits option " + std::to_string(c.option));
        CRaster img(0);
        ASSERT_TRUE(ImageOf(pic, &img));
        img.SetXDpi(300);
        img.SetYDpi(150);
        if (c.bpp < 24) {
            ASSERT_TRUE(img.DecreaseBpp(c.bpp, false));
        }
        img.SetFormatOption(c.option, kFormatTif);
        std::string before((const char*)img.GetDibBlock(), img.GetDibSize());
        std::string file = PathJoin(dir, "ours" + std::to_string(c.bpp) + "_" + std::to_string(c.option) + ".tif");
        ASSERT_TRUE(img.Save(file.c_str(), kFormatTif)) << img.GetLastError();
        EXPECT_EQ(std::string((const char*)img.GetDibBlock(), img.GetDibSize()), before)
            << "the encoder changed the caller's image";
        std::string info = Info(dir, file);
        EXPECT_NE(info.find(std::string("Compression Scheme: ") + c.scheme), std::string::npos) << info;
        EXPECT_NE(info.find(c.photometric), std::string::npos) << info;
        EXPECT_NE(info.find("Resolution: 300, 150 pixels/inch"), std::string::npos) << info;
        if (c.option == 5) {
            EXPECT_NE(info.find("Predictor: horizontal differencing"), std::string::npos) << info;
        }
        // JPEG is lossy: the peers must see what we read back, and that
        // must be close to the picture on average.
        CRaster back(0);
        ASSERT_TRUE(back.Load(file.c_str(), kFormatTif)) << back.GetLastError();
        EXPECT_EQ(back.GetXDpi(), 300);
        Rgb ours = RgbOf(img), read = RgbOf(back);
        EXPECT_LT(MeanDiff(read, ours), c.tolerance ? 4.0 : 0.001);
        Rgb theirs;
        ASSERT_TRUE(ImDecode(dir, file, &theirs));
        EXPECT_LE(MaxChannelDiff(read, theirs), c.tolerance) << "im";
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        EXPECT_LE(MaxChannelDiff(read, theirs), c.tolerance) << "pil";
        if (c.bpp == 24 && c.option == 0) {
            std::string strips = info.substr(info.find("Rows/Strip: ") + 12);
            EXPECT_EQ(atoi(strips.c_str()) % 8, 0) << info;
        }
    }
    // A grey ramp is written min-is-black; a dark palette (i, i, i) at 4
    // bits is a palette, not grey.
    CRaster grey(0);
    ASSERT_TRUE(ImageOf(pic, &grey));
    ASSERT_TRUE(grey.GrayScale());
    ASSERT_EQ(grey.GetBpp(), 8);
    std::string file = PathJoin(dir, "grey.tif");
    ASSERT_TRUE(grey.Save(file.c_str(), kFormatTif));
    EXPECT_NE(Info(dir, file).find("min-is-black"), std::string::npos);
    CRaster dark(4, 4, 4, 0);
    for (int i = 0; i < 16; i++)
        dark.SetPaletteColor(i, (BYTE)i, (BYTE)i, (BYTE)i);
    dark.SetPixelIndex(1, 1, 15);
    file = PathJoin(dir, "dark.tif");
    ASSERT_TRUE(dark.Save(file.c_str(), kFormatTif));
    EXPECT_NE(Info(dir, file).find("palette color"), std::string::npos);
    Rgb theirs;
    ASSERT_TRUE(ImDecode(dir, file, &theirs));
    EXPECT_EQ(CountDiff(RgbOf(dark), theirs), 0);
}

TEST(TiffCodec, PagesThroughTheAppendMode) {
    std::string dir = MakeTestDir("tiff_pages");
    CRasterMemFile mem;
    ASSERT_TRUE(mem.Open());
    CRaster a(0), b(0);
    ASSERT_TRUE(ImageOf(MakePicture(20, 10, 1), &a));
    ASSERT_TRUE(ImageOf(MakePicture(12, 30, 2), &b));
    CRasterTIF tif;
    tif.MakeAlias(&a);
    ASSERT_TRUE(tif.EncodeTif(&mem, true)) << tif.GetLastError();
    // The second page goes through the same handle: the first object keeps it.
    tif.MakeAlias(&b);
    ASSERT_TRUE(tif.EncodeTif(&mem, false)) << tif.GetLastError();
    std::string bytes((const char*)mem.GetBuffer(), (size_t)mem.Size());
    std::string file = PathJoin(dir, "pages.tif");
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    std::string info = Info(dir, file);
    EXPECT_NE(info.find("TIFF Directory at offset"), info.rfind("TIFF Directory at offset")) << info;
    EXPECT_NE(info.find("PageName: Page 2"), std::string::npos) << info;
    CRaster page(0);
    page.SetCurrentFrame(1);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatTif, &page)) << page.GetLastError();
    EXPECT_EQ(page.GetFrameCount(), 2);
    EXPECT_EQ(page.Width(), 12);
    EXPECT_LT(MeanDiff(RgbOf(page), RgbOf(b)), 4.0);
    page.SetCurrentFrame(2);
    EXPECT_FALSE(DecodeBytes(bytes, kFormatTif, &page));
    EXPECT_STREQ(page.GetLastError(), "Error: page not present in TIFF file");
    // ImageMagick's multi-page file: the second page is the flipped picture.
    Rgb p = MakePicture(9, 7, 5);
    ASSERT_TRUE(WritePpm(PathJoin(dir, "p.ppm"), p));
    ASSERT_EQ(RunPeer(dir, "convert p.ppm \\( p.ppm -flip \\) -compress lzw multi.tif"), 0);
    CRaster second(0);
    second.SetCurrentFrame(1);
    ASSERT_TRUE(second.Load(PathJoin(dir, "multi.tif").c_str(), kFormatTif)) << second.GetLastError();
    EXPECT_EQ(second.GetFrameCount(), 2);
    Rgb flipped = p;
    for (int y = 0; y < p.h; y++)
        memcpy(&flipped.px[3 * (size_t)y * p.w], p.At(0, p.h - 1 - y), 3 * (size_t)p.w);
    EXPECT_EQ(CountDiff(RgbOf(second), flipped), 0);
}

TEST(TiffCodec, CraftedLayouts) {
    std::string dir = MakeTestDir("tiff_crafted");
    CRaster img(0);
    // Two 1-bit samples per pixel (grey and alpha): a 1-bit image, the first
    // sample of each pair. Pairs 1,1 0,1 1,1 0,1 -> 1 0 1 0.
    ASSERT_TRUE(Craft(dir, "two1.tif", "4 1 2 1 1 DD"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "two1.tif").c_str(), kFormatTif)) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 1);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(img.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(3, 0), 0);

    // 24-bit grey: the top byte of each sample, also for the row's last.
    ASSERT_TRUE(Craft(dir, "g24.tif", "3 1 1 24 1 1000FF8000007F0000"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "g24.tif").c_str(), kFormatTif)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0x10);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 0x80);
    EXPECT_EQ(img.GetPixelColor(2, 0).rgbRed, 0x7F);
    // 12-bit grey, min-is-white.
    ASSERT_TRUE(Craft(dir, "g12.tif", "2 1 1 12 0 FFF000"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "g12.tif").c_str(), kFormatTif)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 255);

    // 16-bit grey scaled so that the brightest sample uses the top bit.
    ASSERT_TRUE(Craft(dir, "g16.tif", "2 2 1 16 1 0010000800040002"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "g16.tif").c_str(), kFormatTif)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelColor(0, 1).rgbRed, 0x80);  // 0x1000 is the brightest
    EXPECT_EQ(img.GetPixelColor(1, 1).rgbRed, 0x40);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0x20);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 0x10);
    // A stored Deflate strip of two rows for a page of one: libtiff reports
    // it read without filling it, and no heap bytes show.
    ASSERT_TRUE(Craft(dir, "unfilled.tif", "4 1 1 8 1 7801010800F7FF112233445566778808000265 COMPRESSION=8 278=2"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "unfilled.tif").c_str(), kFormatTif)) << img.GetLastError();
    for (int x = 0; x < 4; x++) {
        BYTE v = img.GetPixelColor(x, 0).rgbRed;
        EXPECT_TRUE(v == 0 || v == 0x11 * (x + 1)) << x << ": " << (int)v;
    }

    // Floating-point samples are refused, not read as integers.
    ASSERT_TRUE(Craft(dir, "float.tif", "2 1 1 32 1 0000803F00000000 SAMPLEFORMAT=3"));
    EXPECT_FALSE(img.Load(PathJoin(dir, "float.tif").c_str(), kFormatTif));
    EXPECT_STREQ(img.GetLastError(), "unsupported TIFF sample format");

    // The position is in resolution units: 2 inches at 100 DPI is 200 pixels.
    ASSERT_TRUE(Craft(dir, "pos.tif", "1 1 1 8 1 80 XRESOLUTION=100.0 YRESOLUTION=100.0 XPOSITION=2.0 YPOSITION=0.5"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "pos.tif").c_str(), kFormatTif)) << img.GetLastError();
    EXPECT_EQ(img.GetXOffset(), 200);
    EXPECT_EQ(img.GetYOffset(), 50);
    EXPECT_EQ(img.GetXDpi(), 100);
    // Centimetres: 40 per cm is 102 DPI.
    ASSERT_TRUE(Craft(dir, "cm.tif", "1 1 1 8 1 80 XRESOLUTION=40.0 YRESOLUTION=40.0 RESOLUTIONUNIT=3"));
    ASSERT_TRUE(img.Load(PathJoin(dir, "cm.tif").c_str(), kFormatTif)) << img.GetLastError();
    EXPECT_EQ(img.GetXDpi(), 102);
}

TEST(TiffCodec, DamagedFiles) {
    std::string dir = MakeTestDir("tiff_damaged");
    ASSERT_TRUE(WritePpm(PathJoin(dir, "src.ppm"), MakePicture(40, 32, 2)));
    ASSERT_EQ(RunPeer(dir,
                      "convert src.ppm -colorspace gray -type Grayscale -compress None g.tif && "
                      "tiffcp -r 8 -c lzw g.tif strips.tif"),
              0);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "strips.tif"), &bytes));
    CRaster whole(0);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatTif, &whole)) << whole.GetLastError();

    // A damaged second strip: the first strip's rows are kept.
    std::string info = Info(dir, PathJoin(dir, "strips.tif"));
    ASSERT_NE(info.find("Rows/Strip: 8"), std::string::npos) << info;
    std::string strips;
    ASSERT_EQ(RunPeer(dir, "tiffinfo -s strips.tif | grep '^ *1: '", &strips), 0);
    uint32_t second = 0, size2 = 0;
    ASSERT_EQ(sscanf(strips.c_str(), " 1: [ %u, %u]", &second, &size2), 2) << strips;
    ASSERT_LE(second + size2, bytes.size());
    std::string damaged = bytes;
    for (uint32_t i = 0; i < size2; i++)
        damaged[second + i] = (char)0xFF;
    CRaster part(0);
    ASSERT_TRUE(DecodeBytes(damaged, kFormatTif, &part)) << part.GetLastError();
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ(part.GetPixelIndex(x, 31 - y), whole.GetPixelIndex(x, 31 - y));

    // Every truncation fails cleanly or keeps what it read.
    for (size_t n = 0; n < bytes.size(); n += 1 + n / 7) {
        CRaster cut(0);
        DecodeBytes(bytes.substr(0, n), kFormatTif, &cut);
    }
    // Not a TIFF.
    CRaster none(0);
    EXPECT_FALSE(DecodeBytes(std::string("II*\0garbage", 11), kFormatTif, &none));
    EXPECT_STREQ(none.GetLastError(), "Error encountered while opening TIFF file");
    // Huge dimensions from a few bytes.
    ASSERT_TRUE(Craft(dir, "huge.tif", "1 1 1 8 1 80 256=2000000000 257=2000000000"));
    CRaster huge(0);
    EXPECT_FALSE(huge.Load(PathJoin(dir, "huge.tif").c_str(), kFormatTif));
    // Size only.
    CRaster size(0);
    size.SetEscape((uint32_t)-1);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatTif, &size));
    EXPECT_EQ(size.Width(), 40);
    EXPECT_STREQ(size.GetLastError(), "output dimensions returned");
    // A write that fails.
    ShortWriteFile f(100);
    EXPECT_FALSE(whole.Encode(&f, kFormatTif));
    EXPECT_NE(whole.GetLastError()[0], 0);
}

// Layouts that libtiff's strip and tile readers give, read as PIL reads
// them (and close to libtiff's own tiff2rgba): planes
// apart in tiles without compression, 16-bit RGB with alpha (kept apart or
// multiplied in), and CMYK of 8 and 16 bits in every compression.
TEST(TiffPeer, EveryLayoutOfTheStripAndTileReaders) {
    std::string dir = MakeTestDir("tiff_layouts");
    ASSERT_TRUE(WritePpm(PathJoin(dir, "src.ppm"), MakePicture(43, 35, 21)));
    ASSERT_EQ(RunPeer(dir,
                      "convert src.ppm -depth 8 -compress None base.tif && "
                      "convert base.tif -colorspace CMYK cmyk.tif && "
                      "convert base.tif -colorspace CMYK -depth 16 cmyk16.tif"),
              0);
    const struct {
        const char* make;
        const char* file;
    } cases[] = {
        {"tiffcp -p separate -t -w 16 -l 16 base.tif septiled.tif", "septiled.tif"},
        {"tiffcp -c lzw -p separate -t -w 16 -l 32 base.tif septiledlzw.tif", "septiledlzw.tif"},
        {"tiffcp -c jpeg:r -t -w 16 -l 16 base.tif ycbcrtiled.tif", "ycbcrtiled.tif"},
        {"convert base.tif -alpha set -channel A -evaluate set 60% +channel -depth 16 rgba16.tif", "rgba16.tif"},
        {"convert base.tif -alpha set -channel A -evaluate set 60% +channel -depth 16 "
         "-define tiff:alpha=associated rgba16a.tif",
         "rgba16a.tif"},
        {"convert base.tif -alpha set -channel A -evaluate set 30% +channel -define tiff:alpha=associated rgba8a.tif",
         "rgba8a.tif"},
        {"tiffcp -c zip -t -w 16 -l 16 rgba16.tif rgba16tiled.tif", "rgba16tiled.tif"},
        {"cp cmyk.tif cmyknone.tif", "cmyknone.tif"},
        {"tiffcp -c lzw:2 cmyk.tif cmyklzw.tif", "cmyklzw.tif"},
        {"tiffcp -c zip cmyk.tif cmykzip.tif", "cmykzip.tif"},
        {"tiffcp -c packbits cmyk.tif cmykpb.tif", "cmykpb.tif"},
        {"tiffcp -c jpeg cmyk.tif cmykjpeg.tif", "cmykjpeg.tif"},
        {"tiffcp -p separate -c lzw cmyk.tif cmyksep.tif", "cmyksep.tif"},
        {"tiffcp -t -w 16 -l 16 -c zip cmyk.tif cmyktiled.tif", "cmyktiled.tif"},
        {"cp cmyk16.tif cmyk16none.tif", "cmyk16none.tif"},
        {"tiffcp -c zip -t -w 16 -l 16 cmyk16.tif cmyk16tiled.tif", "cmyk16tiled.tif"},
        {"tiffcp -c lzw:2 cmyk16.tif cmyk16lzw.tif", "cmyk16lzw.tif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string out;
        ASSERT_EQ(RunPeer(dir, std::string(c.make) + " 2>&1", &out), 0) << out;
        std::string file = PathJoin(dir, c.file);
        CRaster img(0);
        ASSERT_TRUE(img.Load(file.c_str(), kFormatTif)) << img.GetLastError();
        EXPECT_EQ(img.GetBpp(), 24);
        Rgb theirs;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        std::string where;
        EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << where;
    }
    // libtiff's own reading agrees too (it truncates where PIL rounds).
    ASSERT_EQ(RunPeer(dir, "tiff2rgba -c none cmyksep.tif t2r.tif && convert t2r.tif -alpha off -depth 8 t2r.ppm"), 0);
    CRaster sep(0);
    ASSERT_TRUE(sep.Load(PathJoin(dir, "cmyksep.tif").c_str(), kFormatTif)) << sep.GetLastError();
    Rgb t2r;
    ASSERT_TRUE(ReadPnm(PathJoin(dir, "t2r.ppm"), &t2r));
    EXPECT_LE(MaxChannelDiff(RgbOf(sep), t2r), 1);  // libtiff truncates where PIL rounds
}

// Palettes of 9 to 24 bits read through the colour map as 24 bits (one
// of 17 bits here: its map alone takes 768 KB).
TEST(TiffCodec, WidePalettes) {
    std::string dir = MakeTestDir("tiff_wide_palettes");
    // Indices 0, 1, 0x100FF, 0x1FFFF (17 bits each, packed).
    uint32_t indices[] = {0, 1, 0x100FF, 0x1FFFF};
    std::string bits;
    for (uint32_t v : indices)
        for (int b = 16; b >= 0; b--)
            bits += (v >> b) & 1 ? '1' : '0';
    while (bits.size() % 8)
        bits += '0';
    std::string hex;
    for (size_t i = 0; i < bits.size(); i += 8) {
        char h[3];
        snprintf(h, sizeof h, "%02X", (unsigned)strtoul(bits.substr(i, 8).c_str(), nullptr, 2));
        hex += h;
    }
    ASSERT_TRUE(Craft(dir, "pal17.tif", "4 1 1 17 3 " + hex + " COLORMAP=17"));
    CRaster img(0);
    ASSERT_TRUE(img.Load(PathJoin(dir, "pal17.tif").c_str(), kFormatTif)) << img.GetLastError();
    ASSERT_EQ(img.GetBpp(), 24);
    for (int x = 0; x < 4; x++) {
        uint32_t i = indices[x];
        RGBQUAD c = img.GetPixelColor(x, 0);
        EXPECT_EQ(c.rgbRed, (BYTE)((i & 0xFFFF) * 255 / 65535)) << x;
        EXPECT_EQ(c.rgbGreen, (BYTE)(((i >> 8) & 0xFFFF) * 255 / 65535)) << x;
        EXPECT_EQ(c.rgbBlue, (BYTE)((65535 - (i & 0xFFFF)) * 255 / 65535)) << x;
    }
}

// Pages written in the append mode carry PageNumber (page from 0, total),
// the total 0 while it is not known. On a stream that cannot be read back
// the second page fails, and so does the last call.
TEST(TiffCodec, PageNumbers) {
    std::string dir = MakeTestDir("tiff_page_numbers");
    CRasterMemFile mem;
    ASSERT_TRUE(mem.Open());
    CRaster a(0), b(0), c(0);
    ASSERT_TRUE(ImageOf(MakePicture(8, 6, 1), &a));
    ASSERT_TRUE(ImageOf(MakePicture(9, 5, 2), &b));
    ASSERT_TRUE(ImageOf(MakePicture(7, 7, 3), &c));
    CRasterTIF tif;
    auto pages = [&](CRasterFile* f) {  // "1" per call that succeeded
        std::string ok;
        for (CRaster* page : {&a, &b, &c}) {
            tif.MakeAlias(page);
            ok += tif.EncodeTif(f, page != &c) ? '1' : '0';
        }
        return ok;
    };
    ASSERT_EQ("111", pages(&mem));
    std::string file = PathJoin(dir, "pages.tif");
    ASSERT_TRUE(WriteFileBytes(file, std::string((const char*)mem.GetBuffer(), (size_t)mem.Size())));
    std::string info = Info(dir, file);
    EXPECT_NE(info.find("Page Number: 0-0"), std::string::npos) << info;
    EXPECT_NE(info.find("Page Number: 1-0"), std::string::npos) << info;
    EXPECT_NE(info.find("Page Number: 2-3"), std::string::npos) << info;
    CRasterDiskFile wo;
    ASSERT_TRUE(wo.Open(PathJoin(dir, "wo.tif").c_str(), "wb"));
    EXPECT_EQ("100", pages(&wo));
    wo.Close();
}

// A few hostile bytes declaring a large picture: refused with a clear text
// before the picture is made, not decoded into a black one.
TEST(TiffCodec, DataThatCannotFillThePictureIsRefused) {
    std::string dir = MakeTestDir("tiff_short_data");
    const struct {
        const char* name;
        const char* args;
        const char* error;
    } cases[] = {
        // 190 bytes of G4 code for 5,888 x 65,535 (a bit a row at least).
        {"g4.tif", "5888 65535 1 1 0 FF*190 COMPRESSION=4", "TIFF data too short for the picture"},
        // 1,100 bytes of G4 code for 200,000 x 8,000: enough bits for the rows,
        // not for rows that wide; and 250 strips sharing those bytes.
        {"g4wide.tif", "200000 8000 1 1 0 FF*1100 COMPRESSION=4", "TIFF data too short for the picture"},
        {"g4shared.tif", "4096 20000 1 1 0 FF*1100 COMPRESSION=4 278=80 273=8x250 279=1100x250",
         "TIFF data too short for the picture"},
        // A 16-byte LZW strip for 13,000 x 13,000 RGB.
        {"rgb.tif", "13000 13000 3 8 2 00*16 COMPRESSION=5", "TIFF data too short for the picture"},
        // 16 bytes of a 20,000 x 20,000 grey picture without compression.
        {"grey.tif", "20000 20000 1 8 1 00*16", "TIFF strip lies past the end of the file"},
        // The only strip past the end of the file.
        {"past.tif", "64 64 1 8 1 00*16 273=100000 279=4096", "TIFF strip lies past the end of the file"},
        // A 16-byte Deflate strip for 8,000 x 8,000 grey.
        {"zip.tif", "8000 8000 1 8 1 789C*16 COMPRESSION=8", "TIFF data too short for the picture"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Craft(dir, c.name, c.args));
        CRaster img(0);
        EXPECT_FALSE(img.Load(PathJoin(dir, c.name).c_str(), kFormatTif));
        EXPECT_STREQ(img.GetLastError(), c.error);
        EXPECT_FALSE(img.IsValid());
    }
    // Pictures whose data does fill them still read, however well they
    // compress: a white page in G4, a black one in LZW and Deflate, and a
    // grey one in arithmetic-coded JPEG (a few hundred bytes).
    ASSERT_EQ(RunPeer(dir,
                      "convert -size 2480x3508 xc:white -depth 1 -compress Group4 page.tif && "
                      "convert -size 3000x3000 xc:black -depth 8 -type Grayscale -compress LZW black.tif && "
                      "convert -size 3000x3000 xc:black -depth 8 -type Grayscale -compress Zip blackzip.tif && "
                      "{ printf 'P5 2480 3508 255\\n'; head -c 8699840 /dev/zero | tr '\\0' '\\200'; } > grey.pgm && "
                      "cjpeg -grayscale -arithmetic -outfile arith.jpg grey.pgm && "
                      "cjpeg -grayscale grey.pgm | head -c 700 > huffman.jpg"),
              0);
    ASSERT_TRUE(Craft(dir, "arith.tif", "2480 3508 1 8 1 $(od -An -v -tx1 arith.jpg | tr -d ' \\n') COMPRESSION=7"));
    // Each strip is judged by its own coding: a Huffman strip too short for
    // its rows after an arithmetic one.
    ASSERT_TRUE(Craft(dir, "mixed.tif",
                      "2480 7016 1 8 1 $(cat arith.jpg huffman.jpg | od -An -v -tx1 | tr -d ' \\n') COMPRESSION=7 "
                      "278=3508 273=8,$((8 + $(stat -c %s arith.jpg))) 279=$(stat -c %s arith.jpg),700"));
    CRaster mixed(0);
    EXPECT_FALSE(mixed.Load(PathJoin(dir, "mixed.tif").c_str(), kFormatTif));
    EXPECT_STREQ(mixed.GetLastError(), "TIFF data too short for the picture");
    for (const char* name : {"page.tif", "black.tif", "blackzip.tif", "arith.tif"}) {
        SCOPED_TRACE(name);
        CRaster img(0);
        ASSERT_TRUE(img.Load(PathJoin(dir, name).c_str(), kFormatTif)) << img.GetLastError();
        EXPECT_GE(img.Width(), 2480);
        if (std::string(name) == "arith.tif") {
            EXPECT_EQ(img.GetPixelColor(1000, 1000).rgbRed, 0x80);
        }
    }
}
