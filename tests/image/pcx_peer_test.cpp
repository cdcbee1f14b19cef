// The PCX codec against netpbm, ImageMagick and PIL: their files of every
// depth and plane count read pixel-exact in ours, ours read in theirs, the
// run-length coding's corner cases and hostile headers.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "image/byte_order.h"
#include "image/raster_pcx.h"
#include "support/test_support.h"

namespace {

struct PcxVariant {
    const char* name;
    const char* make;  // shell command: $S source PPM, $O output
    int bpp;           // our depth after decoding
};

const PcxVariant kTheirs[] = {
    {"planes1", "ppmtopgm $S | pgmtopbm 2>/dev/null | ppmtopcx -planes 1 2>/dev/null > $O", 1},
    {"planes2", "pnmquant 4 $S 2>/dev/null | ppmtopcx -planes 2 2>/dev/null > $O", 4},
    {"planes3", "pnmquant 8 $S 2>/dev/null | ppmtopcx -planes 3 2>/dev/null > $O", 4},
    {"planes4", "pnmquant 16 $S 2>/dev/null | ppmtopcx -planes 4 2>/dev/null > $O", 4},
    {"packed4", "pnmquant 16 $S 2>/dev/null | ppmtopcx -packed 2>/dev/null > $O", 4},
    {"pal8", "pnmquant 200 $S 2>/dev/null | ppmtopcx -8bit 2>/dev/null > $O", 8},
    {"rgb24", "ppmtopcx -24bit $S 2>/dev/null > $O", 24},
    {"im24", "convert $S PCX:$O", 24},
    {"im8", "convert $S -colors 100 -type Palette PCX:$O", 8},
    {"pil1", "/usr/bin/python3 -c \"from PIL import Image; Image.open('$S').convert('1').save('$O')\"", 1},
    {"pilL", "/usr/bin/python3 -c \"from PIL import Image; Image.open('$S').convert('L').save('$O')\"", 8},
};

// netpbm's reading of a PCX file.
bool PcxToPpm(const std::string& dir, const std::string& file, Rgb* out) {
    std::string ppm = file + ".netpbm.ppm";
    return RunPeer(dir, "pcxtoppm " + Lx(file) + " > " + Lx(ppm) + " 2>/dev/null") == 0 && ReadPnm(ppm, out);
}

// A 128-byte header.
std::string PcxHeader(int bits, int xmin, int xmax, int ymax, int planes, int bpl, const std::string& palette = "") {
    std::string s;
    s += (char)10;
    s += (char)5;
    s += (char)1;
    s += (char)bits;
    s += Le16((uint16_t)xmin) + Le16(0) + Le16((uint16_t)xmax) + Le16((uint16_t)ymax);
    s += Le16(72) + Le16(72);
    s += (palette + std::string(48, '\0')).substr(0, 48);
    s += (char)0;
    s += (char)planes;
    s += Le16((uint16_t)bpl);
    s += Le16(1);
    return s + std::string(128 - s.size(), '\0');
}

// The run-length data of the first line of our file.
std::string FirstLine(const std::string& file, size_t n) {
    return file.substr(128, n);
}

}  // namespace

TEST(PcxPeer, TheirFilesReadPixelExact) {
    std::string dir = MakeTestDir("pcx_theirs");
    for (int width : {45, 16}) {
        std::string src = PathJoin(dir, "src.ppm");
        ASSERT_TRUE(WritePpm(src, MakePicture(width, 27, 9)));
        for (const PcxVariant& v : kTheirs) {
            SCOPED_TRACE(std::string(v.name) + " width " + std::to_string(width));
            std::string file = PathJoin(dir, std::string(v.name) + ".pcx");
            ASSERT_EQ(RunPeer(dir, PeerCommand(v.make, UnixPathOf(src), UnixPathOf(file))), 0);
            Rgb theirs;
            ASSERT_TRUE(PcxToPpm(dir, file, &theirs));
            ExpectReadsLike(file, kFormatPcx, v.bpp, theirs);
        }
    }
}

TEST(PcxPeer, OurFilesReadInPeers) {
    std::string dir = MakeTestDir("pcx_ours");
    for (int width : {37, 3, 64}) {
        Rgb pic = MakePicture(width, 19, 5);
        for (int bpp : {24, 8, 4, 1}) {
            SCOPED_TRACE("width " + std::to_string(width) + " bpp " + std::to_string(bpp));
            CRaster img(0);
            ASSERT_TRUE(ImageOf(pic, &img));
            img.SetXDpi(150);
            if (bpp < 24) {
                ASSERT_TRUE(img.DecreaseBpp(bpp, false));
            }
            std::string file = PathJoin(dir, "ours" + std::to_string(width) + "_" + std::to_string(bpp) + ".pcx");
            ASSERT_TRUE(img.Save(file.c_str(), kFormatPcx)) << img.GetLastError();
            Rgb ours = RgbOf(img);
            Rgb theirs;
            ASSERT_TRUE(PcxToPpm(dir, file, &theirs));
            std::string where;
            EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << "netpbm " << where;
            // PIL takes the planes of a line as packed without the padding
            // to an even length; ImageMagick shows 1-bit files inverted
            // (also netpbm's and PIL's own).
            int bpl = bpp >= 8 ? width : (width + 7) / 8;
            bool padded = bpl % 2 != 0 && (bpp == 24 || bpp == 4);
            if (!padded) {
                ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
                EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << "pil " << where;
            }
            if (bpp != 1) {
                ASSERT_TRUE(PeerDecode(dir, "im", file, &theirs));
                EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << "im " << where;
            }
            CRaster back(0);
            ASSERT_TRUE(back.Load(file.c_str(), kFormatPcx)) << back.GetLastError();
            EXPECT_EQ(CountDiff(RgbOf(back), ours), 0);
            EXPECT_EQ(back.GetXDpi(), 150);
        }
    }
}

TEST(PcxCodec, RunLengthCornerCases) {
    // 8 bits, width 70: one line of 0xC5 alone then 69 equal bytes.
    CRaster img(70, 1, 8, 0);
    img.SetGrayPalette();
    BYTE* row = img.GetRowPointer(0);
    memset(row, 0x11, 70);
    row[0] = 0xC5;
    std::string bytes;
    ASSERT_TRUE(EncodeBytes(&img, kFormatPcx, &bytes));
    EXPECT_EQ(FirstLine(bytes, 6), std::string("\xC1\xC5\xFF\x11\xC6\x11", 6));
    memset(row, 0x22, 70);
    ASSERT_TRUE(EncodeBytes(&img, kFormatPcx, &bytes));
    EXPECT_EQ(FirstLine(bytes, 4), std::string("\xFF\x22\xC7\x22", 4));
    EXPECT_EQ(bytes.size(), 128u + 4u + 769u);

    // Lines cover an even number of bytes: width 3 gets one padding byte.
    for (int w : {3, 4}) {
        CRaster small(w, 2, 8, 0);
        small.SetGrayPalette();
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < w; x++)
                small.SetPixelIndex(x, y, (BYTE)(10 + x));
        ASSERT_TRUE(EncodeBytes(&small, kFormatPcx, &bytes));
        EXPECT_EQ(LoadLe16((const uint8_t*)bytes.data() + 66), 4);
        EXPECT_EQ(bytes.size(), 128u + 2u * 4u + 769u) << w;
    }

    // A 1-bit image with palette white, black keeps its look.
    CRaster mono(9, 2, 1, 0);
    mono.SetPaletteColor(0, 255, 255, 255);
    mono.SetPaletteColor(1, 0, 0, 0);
    mono.SetPixelIndex(2, 1, 1);
    ASSERT_TRUE(EncodeBytes(&mono, kFormatPcx, &bytes));
    CRaster back(0);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatPcx, &back)) << back.GetLastError();
    EXPECT_EQ(CountDiff(RgbOf(back), RgbOf(mono)), 0);

    // The 256-colour palette is the file's last 769 bytes, also when
    // padding follows the picture data.
    std::string gap = PcxHeader(8, 0, 3, 0, 1, 4) + std::string("\xC4\x02", 2) + std::string(5, '\0') + '\x0C' +
                      std::string(6, '\0') + std::string(762, '\x70');
    ASSERT_TRUE(DecodeBytes(gap, kFormatPcx, &back)) << back.GetLastError();
    EXPECT_EQ(back.GetPixelColor(1, 0).rgbGreen, 0x70);

    // Xmin 10, Xmax 19: width 10.
    std::string h = PcxHeader(8, 10, 19, 0, 1, 10) + std::string("\xCA\x01", 2) + '\x0C' + std::string(768, '\x40');
    ASSERT_TRUE(DecodeBytes(h, kFormatPcx, &back)) << back.GetLastError();
    EXPECT_EQ(back.Width(), 10);
    EXPECT_EQ(back.Height(), 1);
    EXPECT_EQ(back.GetPixelColor(3, 0).rgbGreen, 0x40);
}

TEST(PcxCodec, OneBitPlanesKeepTheirColours) {
    // 2 planes of 1 bit, 4 pixels: indexes 0, 1, 2, 3 from the header palette.
    std::string pal = std::string("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12);
    std::string f2 = PcxHeader(1, 0, 3, 0, 2, 2, pal) + std::string("\x50\x00\x30\x00", 4);
    CRaster img(0);
    ASSERT_TRUE(DecodeBytes(f2, kFormatPcx, &img)) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), 4);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 255);
    EXPECT_EQ(img.GetPixelColor(2, 0).rgbGreen, 255);
    EXPECT_EQ(img.GetPixelColor(3, 0).rgbBlue, 255);
}

TEST(PcxCodec, HostileHeadersAndDataFailCleanly) {
    std::string pal = '\x0C' + std::string(768, '\x10');
    struct {
        std::string bytes;
        const char* error;
    } cases[] = {
        {"short", "Can't read PCX image"},
        {std::string("\x0B") + PcxHeader(8, 0, 3, 0, 1, 4).substr(1), "Error: Not a PCX file"},
        {PcxHeader(8, 5, 3, 0, 1, 4), "Error: Not a PCX file"},
        {PcxHeader(8, 0, 3, 0, 5, 4), "Can't handle image with more than 4 planes"},
        {PcxHeader(3, 0, 3, 0, 1, 4), "PCX file has an unsupported depth"},
        {PcxHeader(4, 0, 3, 0, 2, 4), "PCX_PlanesToPixels: more than 4 planes or more than 1 bit per pixel"},
        // Bytes per line 0, or shorter than the width: refused before any
        // line is stored.
        {PcxHeader(8, 0, 3, 0, 1, 0) + pal, "bad PCX line length"},
        {PcxHeader(8, 0, 999, 0, 1, 4) + std::string(20, '\x01') + pal, "bad PCX line length"},
        {PcxHeader(1, 0, 63, 0, 4, 7) + std::string(40, '\x01'), "bad PCX line length"},
        // A huge picture from a few bytes.
        {PcxHeader(8, 0, 65534, 65535, 4, 65535) + std::string(100, '\x01'), "corrupted PCX"},
        {PcxHeader(8, 0, 3, 1, 1, 4) + std::string("\x01\x02\x03", 3), "corrupted PCX"},
        {PcxHeader(8, 0, 3, 1, 1, 4) + std::string("\xC9\x01", 2) + pal, "repeat count spans end of image"},
        {PcxHeader(8, 0, 3, 0, 1, 4) + std::string("\xC4\x01", 2) + '\x0B' + std::string(768, '\x10'),
         "bad color map signature"},
    };
    for (const auto& c : cases) {
        CRaster img(0);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatPcx, &img));
        EXPECT_STREQ(img.GetLastError(), c.error);
    }
    CRaster size(0);
    size.SetEscape((uint32_t)-1);
    ASSERT_TRUE(DecodeBytes(PcxHeader(8, 0, 639, 479, 1, 640), kFormatPcx, &size));
    EXPECT_EQ(size.Width(), 640);
    EXPECT_EQ(size.Height(), 480);
}

TEST(PcxCodec, FailedWritesAreReported) {
    CRaster img(40, 30, 8, 0);
    img.SetGrayPalette();
    ShortWriteFile none(10);
    EXPECT_FALSE(img.Encode(&none, kFormatPcx));
    EXPECT_STREQ(img.GetLastError(), "cannot write PCX header");
    for (size_t budget : {130u, 128u + 60u * 2u + 100u}) {
        ShortWriteFile f(budget);
        EXPECT_FALSE(img.Encode(&f, kFormatPcx)) << budget;
        EXPECT_STREQ(img.GetLastError(), "cannot write PCX file");
    }
}
