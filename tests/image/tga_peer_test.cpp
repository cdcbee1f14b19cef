// The TGA codec against ImageMagick, PIL and netpbm: their files of every
// kind read pixel-exact in ours, ours read in theirs, crafted corner cases
// and hostile headers.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "image/raster_tga.h"
#include "support/test_support.h"

namespace {

struct TgaVariant {
    const char* name;
    const char* make;  // shell command; $S is the source PPM, $O the output
    int bpp;           // our depth after decoding
};

const TgaVariant kTheirs[] = {
    {"im24", "convert $S -type TrueColor -compress None TGA:$O", 24},
    {"im24rle", "convert $S -type TrueColor -compress RLE TGA:$O", 24},
    {"im8", "convert $S -colors 200 -type Palette -compress None TGA:$O", 8},
    {"im8rle", "convert $S -colors 200 -type Palette -compress RLE TGA:$O", 8},
    {"imgrey", "convert $S -colorspace gray -type Grayscale TGA:$O", 8},
    {"pamrgb", "pamtotga -rgb $S > $O", 24},
    {"pamcmap", "pnmquant 100 $S 2>/dev/null | pamtotga -cmap > $O", 8},
    {"pamraw", "pamtotga -rgb -norle $S > $O", 24},
    {"pilrgba", "/usr/bin/python3 -c \"from PIL import Image; Image.open('$S').convert('RGBA').save('$O')\"", 24},
    {"piltoprle",
     "/usr/bin/python3 -c \"from PIL import Image; Image.open('$S').save('$O', compression='tga_rle', orientation=1)\"",
     24},
    {"pilgreyrle", "/usr/bin/python3 -c \"from PIL import Image; Image.open('$S').convert('L').save('$O', rle=True)\"",
     8},
};

// An 18-byte header.
// The header with an image id length.
std::string WithId(std::string header, int idLength) {
    header[0] = (char)idLength;
    return header;
}

std::string TgaHeader(int mapType, int type, int mapFirst, int mapLength, int mapBits, int w, int h, int depth,
                      int descriptor) {
    std::string s;
    s += (char)0;
    s += (char)mapType;
    s += (char)type;
    s += Le16((uint16_t)mapFirst) + Le16((uint16_t)mapLength);
    s += (char)mapBits;
    s += Le32(0);
    s += Le16((uint16_t)w) + Le16((uint16_t)h);
    s += (char)depth;
    s += (char)descriptor;
    return s;
}

RGBQUAD Bgr(int b, int g, int r) {
    return RGBQUAD{(BYTE)b, (BYTE)g, (BYTE)r, 0};
}

void ExpectColor(const CRaster& img, int x, int yTop, RGBQUAD want) {
    RGBQUAD c = img.GetPixelColor(x, img.Height() - 1 - yTop);
    EXPECT_EQ(c.rgbRed, want.rgbRed) << x << "," << yTop;
    EXPECT_EQ(c.rgbGreen, want.rgbGreen) << x << "," << yTop;
    EXPECT_EQ(c.rgbBlue, want.rgbBlue) << x << "," << yTop;
}

}  // namespace

TEST(TgaPeer, TheirFilesReadPixelExact) {
    std::string dir = MakeTestDir("tga_theirs");
    std::string src = PathJoin(dir, "src.ppm");
    ASSERT_TRUE(WritePpm(src, MakePicture(45, 29, 11)));
    for (const TgaVariant& v : kTheirs) {
        SCOPED_TRACE(v.name);
        std::string file = PathJoin(dir, std::string(v.name) + ".tga");
        ASSERT_EQ(RunPeer(dir, PeerCommand(v.make, UnixPathOf(src), UnixPathOf(file))), 0);
        Rgb theirs;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        // TGA has no signature: detection finds it after the signed formats.
        ExpectReadsLike(file, kFormatTga, v.bpp, theirs);
    }
}

TEST(TgaPeer, OurFilesReadInPeers) {
    std::string dir = MakeTestDir("tga_ours");
    Rgb pic = MakePicture(37, 21, 4);
    for (int bpp : {24, 8}) {
        SCOPED_TRACE(bpp);
        CRaster img(0);
        ASSERT_TRUE(ImageOf(pic, &img));
        if (bpp == 8) {
            ASSERT_TRUE(img.DecreaseBpp(8, false));
        }
        std::string file = PathJoin(dir, "ours" + std::to_string(bpp) + ".tga");
        ASSERT_TRUE(img.Save(file.c_str(), kFormatTga)) << img.GetLastError();
        Rgb theirs;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        std::string where;
        EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << "pil " << where;
        // This ImageMagick keeps a TGA's row order as an orientation tag.
        std::string ppm = file + ".im.ppm";
        ASSERT_TRUE(Convert(dir, Lx(file) + " -auto-orient -depth 8 ppm:" + Lx(ppm)));
        ASSERT_TRUE(ReadPnm(ppm, &theirs));
        EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << "im " << where;
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        ASSERT_GE(bytes.size(), 18u);
        EXPECT_EQ(bytes[2], bpp == 8 ? 1 : 2);
        if (bpp == 8) {
            EXPECT_EQ(bytes.size(), 18u + 768u + 37u * 21u) << "the whole 256-entry map";
        }
    }
    // A 4-bit image cannot be saved as TGA.
    CRaster four(5, 5, 4, 0);
    CRasterMemFile mem;
    ASSERT_TRUE(mem.Open());
    EXPECT_FALSE(four.Encode(&mem, kFormatTga));
    EXPECT_STREQ(four.GetLastError(), "Bit depth must be 8 or 24");
}

TEST(TgaCodec, SixteenBitPixelsRunsAcrossRowsAndRowOrder) {
    // 16-bit true colour: 0x7FFF is white, 0x8000 black (bit 15 ignored).
    std::string raw = TgaHeader(0, 2, 0, 0, 0, 2, 1, 16, 0) + Le16(0x7FFF) + Le16(0x8000);
    CRaster img(0);
    ASSERT_TRUE(DecodeBytes(raw, kFormatTga, &img)) << img.GetLastError();
    ExpectColor(img, 0, 0, Bgr(0xFF, 0xFF, 0xFF));
    ExpectColor(img, 1, 0, Bgr(0, 0, 0));

    // RLE, width 4, 2 rows, bottom-up: a raw packet of 2, a run of 5 that
    // ends 3 pixels into the next row, a raw packet of 1.
    std::string rle = TgaHeader(0, 10, 0, 0, 0, 4, 2, 24, 0);
    rle += (char)1;
    rle += std::string("\x01\x02\x03\x04\x05\x06", 6);
    rle += (char)(0x80 | 4);
    rle += std::string("\x10\x20\x30", 3);
    rle += (char)0;
    rle += std::string("\x40\x50\x60", 3);
    ASSERT_TRUE(DecodeBytes(rle, kFormatTga, &img)) << img.GetLastError();
    // File row 0 is the bottom row.
    ExpectColor(img, 0, 1, Bgr(1, 2, 3));
    ExpectColor(img, 1, 1, Bgr(4, 5, 6));
    ExpectColor(img, 2, 1, Bgr(0x10, 0x20, 0x30));
    ExpectColor(img, 3, 1, Bgr(0x10, 0x20, 0x30));
    for (int x = 0; x < 3; x++)
        ExpectColor(img, x, 0, Bgr(0x10, 0x20, 0x30));
    ExpectColor(img, 3, 0, Bgr(0x40, 0x50, 0x60));

    // Width 3: a raw packet of 2, then a raw packet of 4 split 1 + 3 across rows.
    std::string split = TgaHeader(0, 11, 0, 0, 0, 3, 2, 8, 0x20);
    split += (char)1;
    split += std::string("\x0A\x0B", 2);
    split += (char)3;
    split += std::string("\x0C\x0D\x0E\x0F", 4);
    ASSERT_TRUE(DecodeBytes(split, kFormatTga, &img)) << img.GetLastError();
    // Top-to-bottom: the first file row is the top row; grey palette.
    ExpectColor(img, 0, 0, Bgr(0x0A, 0x0A, 0x0A));
    ExpectColor(img, 2, 0, Bgr(0x0C, 0x0C, 0x0C));
    ExpectColor(img, 0, 1, Bgr(0x0D, 0x0D, 0x0D));
    ExpectColor(img, 2, 1, Bgr(0x0F, 0x0F, 0x0F));

    // Right to left: the first pixel of a row is its rightmost.
    std::string mirrored = TgaHeader(0, 2, 0, 0, 0, 2, 1, 24, 0x10) + std::string("\x01\x01\x01\x02\x02\x02", 6);
    ASSERT_TRUE(DecodeBytes(mirrored, kFormatTga, &img)) << img.GetLastError();
    ExpectColor(img, 0, 0, Bgr(2, 2, 2));
    ExpectColor(img, 1, 0, Bgr(1, 1, 1));
}

TEST(TgaCodec, ColourMapsOfEveryEntrySizeAndFirstIndex) {
    // A 16-bit map of 2 entries placed from index 3: pixel 3 is red, 4 blue.
    std::string m16 = TgaHeader(1, 1, 3, 2, 16, 2, 1, 8, 0) + Le16(0x7C00) + Le16(0x001F) + "\x03\x04";
    CRaster img(0);
    ASSERT_TRUE(DecodeBytes(m16, kFormatTga, &img)) << img.GetLastError();
    ExpectColor(img, 0, 0, Bgr(0, 0, 0xFF));
    ExpectColor(img, 1, 0, Bgr(0xFF, 0, 0));
    // A 32-bit map (blue, green, red, alpha).
    std::string m32 = TgaHeader(1, 1, 0, 2, 32, 2, 1, 8, 0) + std::string("\x10\x20\x30\xFF\x40\x50\x60\x00", 8) +
                      std::string("\x01\x00", 2);
    ASSERT_TRUE(DecodeBytes(m32, kFormatTga, &img)) << img.GetLastError();
    ExpectColor(img, 0, 0, Bgr(0x40, 0x50, 0x60));
    ExpectColor(img, 1, 0, Bgr(0x10, 0x20, 0x30));
}

TEST(TgaCodec, HostileHeadersAndShortDataFailCleanly) {
    struct {
        std::string bytes;
        const char* error;
    } cases[] = {
        {"short", "Not a TGA"},
        {TgaHeader(0, 4, 0, 0, 0, 2, 2, 24, 0), "Unknown TGA image type"},
        {TgaHeader(1, 1, 0, 300, 24, 2, 2, 8, 0), "bad TGA header"},
        {TgaHeader(1, 1, 200, 100, 24, 2, 2, 8, 0), "bad TGA header"},  // map past entry 255
        {TgaHeader(0, 2, 0, 0, 0, 0, 2, 24, 0), "bad TGA header"},
        {TgaHeader(0, 2, 0, 0, 0, 2, 2, 12, 0), "bad TGA header"},
        {TgaHeader(0, 2, 0, 0, 0, 65535, 65535, 32, 0), "corrupted TGA"},  // 16 GiB claimed, no data
        {TgaHeader(0, 10, 0, 0, 0, 60000, 60000, 24, 0) + std::string(200, '\x7F'), "corrupted TGA"},
        {TgaHeader(0, 2, 0, 0, 0, 4, 4, 24, 0) + std::string(47, 'x'), "corrupted TGA"},
        // An image id longer than the whole file: refused before the picture
        // is made (which would fail on the memory cap here, or take 66 MB
        // for a 4,700 x 4,700 one).
        {WithId(TgaHeader(0, 10, 0, 0, 0, 65535, 65535, 24, 0), 255) + std::string(4, '\x7F'), "corrupted TGA"},
        {WithId(TgaHeader(0, 3, 0, 0, 0, 65535, 65535, 8, 0), 255) + std::string(4, '\x7F'), "corrupted TGA"},
    };
    for (const auto& c : cases) {
        CRaster img(0);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatTga, &img));
        EXPECT_STREQ(img.GetLastError(), c.error);
    }
    // An RLE stream that ends inside a run of the last row.
    std::string cut = TgaHeader(0, 10, 0, 0, 0, 300, 2, 24, 0);
    for (int i = 0; i < 4; i++)
        cut += std::string("\xFF\x01\x02\x03", 4);
    cut += std::string("\x02\x01\x02\x03\x04\x05", 6);
    CRaster img(0);
    EXPECT_FALSE(DecodeBytes(cut, kFormatTga, &img));
    EXPECT_STREQ(img.GetLastError(), "corrupted TGA");
    // Size only.
    CRaster size(0);
    size.SetEscape((uint32_t)-1);
    ASSERT_TRUE(DecodeBytes(TgaHeader(0, 2, 0, 0, 0, 640, 480, 24, 0), kFormatTga, &size));
    EXPECT_EQ(size.Width(), 640);
    EXPECT_EQ(size.Height(), 480);
    EXPECT_FALSE(size.IsValid());
}

TEST(TgaCodec, FailedWritesAreReported) {
    CRaster img(40, 30, 8, 0);
    img.SetGrayPalette();
    for (size_t budget : {0u, 17u, 18u + 700u, 18u + 768u + 500u}) {
        ShortWriteFile f(budget);
        EXPECT_FALSE(img.Encode(&f, kFormatTga)) << budget;
        EXPECT_STREQ(img.GetLastError(), "cannot write TGA file");
    }
    ShortWriteFile enough(18 + 768 + 40 * 30);
    EXPECT_TRUE(img.Encode(&enough, kFormatTga));
}
