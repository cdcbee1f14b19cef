// The PNG codec against ImageMagick, PIL and pngcheck: their files of every
// colour type and depth read pixel-exact in ours, ours read in theirs, and
// hostile files fail cleanly.
#include <gtest/gtest.h>

#include "image/raster_file.h"
#include "image/raster_png.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

bool DecodeFile(const std::string& path, CRasterPNG* img) {
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return false;
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    return img->DecodePng(&mem);
}

bool EncodeFile(CRaster* src, const std::string& path) {
    CRasterPNG png;
    png.MakeAlias(src);
    CRasterMemFile mem;
    mem.Open();
    if (!png.EncodePng(&mem))
        return false;
    return WriteFileBytes(path, std::string((char*)mem.GetBuffer(), (size_t)mem.Size()));
}

struct Variant {
    const char* name;
    const char* args;  // convert arguments before the output
    int bpp;           // our depth after decoding
    int shift;         // compare the top 8 - shift bits
};

const Variant kVariants[] = {
    {"rgb8", "-define png:color-type=2 -define png:bit-depth=8", 24, 0},
    {"rgba8", "-alpha set -channel A -evaluate set 50% +channel -define png:color-type=6", 24, 0},
    {"rgb16", "-define png:color-type=2 -define png:bit-depth=16", 24, 1},
    {"pal8", "-colors 200 -define png:color-type=3", 8, 0},
    {"pal4", "-colors 12 -define png:color-type=3 -define png:bit-depth=4", 4, 0},
    {"grey8", "-colorspace gray -define png:color-type=0 -define png:bit-depth=8", 8, 0},
    {"grey4", "-colorspace gray -define png:color-type=0 -define png:bit-depth=4", 4, 0},
    {"grey2", "-colorspace gray -define png:color-type=0 -define png:bit-depth=2", 4, 0},
    {"grey1", "-monochrome -define png:color-type=0 -define png:bit-depth=1", 1, 0},
    {"grey16", "-colorspace gray -define png:color-type=0 -define png:bit-depth=16", 8, 1},
    {"greya", "-colorspace gray -alpha set -define png:color-type=4", 8, 0},
    {"interlaced", "-interlace PNG -define png:color-type=2", 24, 0},
    {"interlacedpal", "-interlace PNG -colors 30 -define png:color-type=3", 8, 0},
};

TEST(PngPeer, TheirFilesReadInOursPixelExact) {
    std::string dir = MakeTestDir("png_theirs");
    Rgb pic = MakePicture(61, 37, 7);
    std::string src = PathJoin(dir, "src.ppm");
    ASSERT_TRUE(WritePpm(src, pic));
    for (const Variant& v : kVariants) {
        SCOPED_TRACE(v.name);
        std::string file = PathJoin(dir, std::string(v.name) + ".png");
        ASSERT_TRUE(Convert(dir, Lx(src) + " " + v.args + " PNG:" + Lx(file)));
        Rgb expect;
        // PIL clamps 16-bit grey; ImageMagick reads it.
        ASSERT_TRUE(PeerDecode(dir, v.bpp == 8 && v.shift ? "im" : "pil", file, &expect));
        CRasterPNG img;
        ASSERT_TRUE(DecodeFile(file, &img)) << img.GetLastError();
        EXPECT_EQ(v.bpp, img.GetBpp());
        EXPECT_EQ(61, img.Width());
        EXPECT_EQ(37, img.Height());
        std::string where;
        EXPECT_EQ(0, CountDiff(expect, RgbOf(img), &where, v.shift)) << where;
        bool interlaced = std::string(v.name).find("interlaced") == 0;
        EXPECT_EQ(interlaced ? 1u : 0u, img.GetFormatOption(kFormatPng) & kPngInterlaced);
    }
    // 2-bit grey keeps its values under the four-grey palette.
    CRasterPNG grey2;
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "grey2.png"), &grey2));
    EXPECT_EQ(85, grey2.GetPaletteColor(1).rgbRed);
    EXPECT_EQ(170, grey2.GetPaletteColor(2).rgbGreen);
    EXPECT_EQ(255, grey2.GetPaletteColor(3).rgbBlue);
}

TEST(PngPeer, OurFilesReadInPeersAndPassPngcheck) {
    std::string dir = MakeTestDir("png_ours");
    Rgb pic = MakePicture(53, 29, 3);
    struct Case {
        const char* name;
        int bpp;
        uint32_t option;
    } cases[] = {{"c24", 24, 8}, {"c24i", 24, 1}, {"c24l1", 24, 4}, {"c24l9", 24, 6}, {"c8", 8, 8},
                 {"c4", 4, 8},   {"c1", 1, 8},    {"c8i", 8, 9},    {"g8", 8, 8},     {"g4", 4, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRaster img;
        ASSERT_TRUE(ImageOf(pic, &img));
        if (c.name[0] == 'g') {
            ASSERT_TRUE(img.GrayScale());
        }
        if (c.bpp < 24 && img.GetBpp() != c.bpp) {
            ASSERT_TRUE(img.DecreaseBpp(c.bpp, false));
        }
        if (c.name[0] == 'g' && c.bpp == 4) {
            img.SetGrayPalette();
        }
        img.SetFormatOption(c.option, kFormatPng);
        std::string file = PathJoin(dir, std::string(c.name) + ".png");
        ASSERT_TRUE(EncodeFile(&img, file));
        std::string out;
        EXPECT_EQ(0, RunPeer(dir, "pngcheck -v " + Lx(file), &out)) << out;
        bool interlaced = (c.option & 1) != 0;
        EXPECT_EQ(interlaced,
                  out.find("interlaced") != std::string::npos && out.find("non-interlaced") == std::string::npos)
            << out;
        Rgb theirs;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        std::string where;
        EXPECT_EQ(0, CountDiff(RgbOf(img), theirs, &where)) << where;
        ASSERT_TRUE(PeerDecode(dir, "im", file, &theirs));
        EXPECT_EQ(0, CountDiff(RgbOf(img), theirs, &where)) << where;
    }
    // Levels: level 1 output is larger than level 9 output of the same pixels.
    std::string l1, l9;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "c24l1.png"), &l1));
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "c24l9.png"), &l9));
    EXPECT_GT(l1.size(), l9.size());
    // Re-saving our interlaced decode keeps it interlaced.
    CRasterPNG again;
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "c24i.png"), &again));
    EXPECT_EQ(1u, again.GetFormatOption(kFormatPng) & kPngInterlaced);
}

TEST(PngPeer, PaletteGreyAndTransparencyRules) {
    std::string dir = MakeTestDir("png_rules");
    std::string out;
    // A 4-bit image with the palette (i, i, i) must stay that dark, not turn
    // into the grey ramp 0..255.
    CRaster dark(8, 2, 4);
    for (int i = 0; i < 16; i++)
        dark.SetPaletteColor(i, (BYTE)i, (BYTE)i, (BYTE)i);
    for (int x = 0; x < 8; x++)
        dark.SetPixelIndex(x, 0, (BYTE)(x + 8));
    std::string darkFile = PathJoin(dir, "dark.png");
    ASSERT_TRUE(EncodeFile(&dark, darkFile));
    Rgb theirs;
    ASSERT_TRUE(PeerDecode(dir, "pil", darkFile, &theirs));
    EXPECT_EQ(0, CountDiff(RgbOf(dark), theirs));

    // Transparent index 5: the file has the colour at entry 0 with alpha 0;
    // the image and its palette are unchanged; the PLTE covers index 9 even
    // though only 3 colours are "important".
    CRaster pal(10, 3, 8);
    for (int i = 0; i < 256; i++)
        pal.SetPaletteColor(i, (BYTE)(i * 7), (BYTE)(255 - i), (BYTE)(i * 3));
    for (int x = 0; x < 10; x++)
        for (int y = 0; y < 3; y++)
            pal.SetPixelIndex(x, y, (BYTE)x);
    pal.SetColorsImportant(3);
    ASSERT_TRUE(pal.SetTransparentIndex(5));
    Rgb before = RgbOf(pal);
    std::string palFile = PathJoin(dir, "trans.png");
    ASSERT_TRUE(EncodeFile(&pal, palFile));
    EXPECT_EQ(0, CountDiff(before, RgbOf(pal)));
    EXPECT_EQ(5, pal.GetPixelIndex(5, 0));
    EXPECT_EQ(35, pal.GetPaletteColor(5).rgbRed);
    EXPECT_EQ(0, RunPeer(dir, "pngcheck " + Lx(palFile), &out)) << out;
    ASSERT_EQ(0, RunPeer(dir,
                         "/usr/bin/python3 -c \"from PIL import Image; im=Image.open('" + UnixPathOf(palFile) +
                             "'); p=im.getpalette(); print(p[0:3], im.info.get('transparency'), len(p)//3, "
                             "list(im.getdata())[0:10])\"",
                         &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("[35, 250, 15] 0")) << out;
    ASSERT_TRUE(PeerDecode(dir, "pil", palFile, &theirs));
    EXPECT_EQ(0, CountDiff(before, theirs));
    CRasterPNG back;
    ASSERT_TRUE(DecodeFile(palFile, &back));
    EXPECT_EQ(0, back.GetTransparentIndex());
    EXPECT_EQ(0, CountDiff(before, RgbOf(back)));

    // PIL's palette files with tRNS lists: 3 entries give alpha to 0-2 and 255
    // after; a single entry of alpha 255 is no transparency.
    std::string py =
        "from PIL import Image\n"
        "im=Image.new('P',(4,4)); im.putpalette([10,20,30]*256)\n"
        "im.save('three.png', transparency=bytes([0,128,200]))\n"
        "im.save('opaque.png', transparency=bytes([255]))\n"
        "im.save('single.png', transparency=bytes([0]))\n";
    ASSERT_TRUE(RunPython(dir, py, &out)) << out;
    CRasterPNG three, opaque, single;
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "three.png"), &three));
    EXPECT_EQ(0, three.GetPaletteColor(0).rgbReserved);
    EXPECT_EQ(128, three.GetPaletteColor(1).rgbReserved);
    EXPECT_EQ(200, three.GetPaletteColor(2).rgbReserved);
    EXPECT_EQ(255, three.GetPaletteColor(3).rgbReserved);
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "opaque.png"), &opaque));
    EXPECT_FALSE(opaque.IsTransparent());
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "single.png"), &single));
    EXPECT_EQ(0, single.GetTransparentIndex());

    // One entry fully transparent among opaque ones (PIL writes FF FF 00):
    // a GIF keeps it as its transparent index, a PNG as it was.
    ASSERT_TRUE(
        RunPython(dir,
                  "from PIL import Image\nim=Image.new('P',(4,2)); im.putpalette([10,20,30,40,50,60,70,80,90])\n"
                  "im.putdata([0,1,2,2,1,0,2,1]); im.save('one.png', transparency=2)\n",
                  &out))
        << out;
    CRaster one(0);
    ASSERT_TRUE(one.Load(PathJoin(dir, "one.png").c_str(), kFormatPng)) << one.GetLastError();
    ASSERT_TRUE(one.Save(PathJoin(dir, "one.gif").c_str(), kFormatGif) &&
                one.Save(PathJoin(dir, "again.png").c_str(), kFormatPng))
        << one.GetLastError();
    ASSERT_TRUE(RunPython(dir,
                          "from PIL import Image\nd=lambda n: list(Image.open(n).convert('RGBA').getdata())\n"
                          "print('same', d('one.png') == d('one.gif') == d('again.png'))\n",
                          &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("same True")) << out;
}

// Reading and writing through the format dispatch, as the program opens
// and saves files.
bool DispatchLoad(const std::string& path, CRaster* img) {
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return false;
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    return img->Decode(&mem, kFormatPng);
}

bool DispatchSave(CRaster* img, const std::string& path) {
    CRasterMemFile mem;
    return mem.Open() && img->Encode(&mem, kFormatPng) &&
           WriteFileBytes(path, std::string((const char*)mem.GetBuffer(), (size_t)mem.Size()));
}

// A palette file whose tRNS list gives alpha to several entries keeps that
// list when it is opened and saved again; PIL sees the same colours and
// alpha. A new palette without alpha writes none.
TEST(PngPeer, PaletteAlphaSurvivesASave) {
    std::string dir = MakeTestDir("png_alpha");
    std::string out;
    ASSERT_TRUE(RunPython(dir,
                          "from PIL import Image\n"
                          "im=Image.new('P',(6,3)); im.putpalette([200,10,10, 10,200,10, 10,10,200, 90,90,90])\n"
                          "im.putdata([0,1,2,3,1,0, 3,3,2,2,1,1, 0,0,0,1,2,3])\n"
                          "im.save('theirs.png', transparency=bytes([0,128]))\n",
                          &out))
        << out;
    CRaster img(0);
    ASSERT_TRUE(DispatchLoad(PathJoin(dir, "theirs.png"), &img)) << img.GetLastError();
    EXPECT_EQ(128, img.GetPaletteColor(1).rgbReserved);
    ASSERT_TRUE(DispatchSave(&img, PathJoin(dir, "ours.png"))) << img.GetLastError();
    EXPECT_EQ(0, RunPeer(dir, "pngcheck ours.png", &out)) << out;
    ASSERT_TRUE(RunPython(dir,
                          "from PIL import Image\n"
                          "a=Image.open('theirs.png'); b=Image.open('ours.png')\n"
                          "t=b.info.get('transparency')\n"
                          "print('trns', list(t[:3]) if isinstance(t, bytes) else t)\n"
                          "print('same', list(a.convert('RGBA').getdata()) == list(b.convert('RGBA').getdata()))\n",
                          &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("trns [0, 128, 255]")) << out;
    EXPECT_NE(std::string::npos, out.find("same True")) << out;

    CRaster back(0);
    ASSERT_TRUE(DispatchLoad(PathJoin(dir, "ours.png"), &back)) << back.GetLastError();
    EXPECT_EQ(0, back.GetPaletteColor(0).rgbReserved);
    EXPECT_EQ(128, back.GetPaletteColor(1).rgbReserved);
    EXPECT_EQ(255, back.GetPaletteColor(2).rgbReserved);
    back.SetStandardPalette();
    ASSERT_TRUE(DispatchSave(&back, PathJoin(dir, "opaque.png")));
    ASSERT_TRUE(RunPython(dir,
                          "from PIL import Image\n"
                          "print('alpha', Image.open('opaque.png').convert('RGBA').getextrema()[3])\n",
                          &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("alpha (255, 255)")) << out;
}

TEST(PngPeer, ResolutionFromPhys) {
    std::string dir = MakeTestDir("png_dpi");
    std::string out;
    std::string py =
        "import struct, zlib\n"
        "def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))\n"
        "def png(phys):\n"
        "  ihdr = struct.pack('>IIBBBBB', 2, 2, 8, 2, 0, 0, 0)\n"
        "  raw = b''.join(b'\\0' + b'\\x80' * 6 for _ in range(2))\n"
        "  return b'\\x89PNG\\r\\n\\x1a\\n' + chunk(b'IHDR', ihdr) + phys + chunk(b'IDAT', zlib.compress(raw)) + "
        "chunk(b'IEND', b'')\n"
        "open('none.png','wb').write(png(b''))\n"
        "open('m3780.png','wb').write(png(chunk(b'pHYs', struct.pack('>IIB', 3780, 11811, 1))))\n"
        "open('aspect.png','wb').write(png(chunk(b'pHYs', struct.pack('>IIB', 1, 2, 0))))\n";
    ASSERT_TRUE(RunPython(dir, py, &out)) << out;
    CRasterPNG none, metre, aspect;
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "none.png"), &none)) << none.GetLastError();
    EXPECT_EQ(96, none.GetXDpi());
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "m3780.png"), &metre));
    EXPECT_EQ(96, metre.GetXDpi());
    EXPECT_EQ(300, metre.GetYDpi());
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "aspect.png"), &aspect));
    EXPECT_EQ(96, aspect.GetXDpi());
    EXPECT_EQ(96, aspect.GetYDpi());
    // Ours at 300 DPI reads as 300 in ImageMagick.
    metre.SetXDpi(300);
    std::string file = PathJoin(dir, "ours.png");
    ASSERT_TRUE(EncodeFile(&metre, file));
    ASSERT_TRUE(Convert(dir, "-units PixelsPerInch " + Lx(file) + " -format \"%x %y\" info:", &out));
    EXPECT_NE(std::string::npos, out.find("300")) << out;
}

TEST(PngHostile, BrokenFilesFailCleanly) {
    std::string dir = MakeTestDir("png_hostile");
    std::string out;
    Rgb pic = MakePicture(40, 30, 5);
    std::string src = PathJoin(dir, "src.ppm");
    ASSERT_TRUE(WritePpm(src, pic));
    std::string good = PathJoin(dir, "good.png");
    ASSERT_TRUE(Convert(dir, Lx(src) + " PNG24:" + Lx(good)));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(good, &bytes));
    // Truncated at every few bytes.
    for (size_t n = 0; n < bytes.size(); n += 37) {
        CRasterPNG img;
        CRasterMemFile mem((unsigned char*)&bytes[0], n);
        EXPECT_FALSE(img.DecodePng(&mem)) << n;
    }
    // Huge dimensions with valid CRCs are refused before allocating.
    std::string py =
        "import struct, zlib\n"
        "def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))\n"
        "ihdr = struct.pack('>IIBBBBB', 100000, 100000, 8, 2, 0, 0, 0)\n"
        "open('huge.png','wb').write(b'\\x89PNG\\r\\n\\x1a\\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', "
        "zlib.compress(b'\\0' * 1000)) + chunk(b'IEND', b''))\n";
    ASSERT_TRUE(RunPython(dir, py, &out)) << out;
    CRasterPNG huge;
    EXPECT_FALSE(DecodeFile(PathJoin(dir, "huge.png"), &huge));
    EXPECT_FALSE(huge.IsValid());
    // Flipped bytes: a critical chunk's CRC or zlib error fails; a damaged
    // ancillary chunk is only a warning. Either way no crash, and success
    // means a whole image.
    int failed = 0;
    for (size_t at = 16; at < bytes.size(); at += 97) {
        std::string bad = bytes;
        bad[at] ^= 0x5A;
        CRasterPNG img;
        CRasterMemFile mem((unsigned char*)&bad[0], bad.size());
        bool ok = img.DecodePng(&mem);
        failed += ok ? 0 : 1;
        if (ok) {
            EXPECT_EQ(40, img.Width()) << at;
        }
    }
    EXPECT_GT(failed, 3);
    // A write error is reported.
    CRaster img;
    ASSERT_TRUE(ImageOf(pic, &img));
    CRasterPNG png;
    png.MakeAlias(&img);
    FILE* ro = fopen(UnixPathOf(good).c_str(), "rb");
#ifdef _WIN32
    if (!ro)
        ro = fopen(good.c_str(), "rb");
#endif
    ASSERT_TRUE(ro != nullptr);
    CRasterDiskFile disk(ro, true);
    EXPECT_FALSE(png.EncodePng(&disk));
    EXPECT_STREQ("Error saving PNG file", png.GetLastError());
}

}  // namespace
