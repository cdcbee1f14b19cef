// Transforms against ImageMagick's results, at every depth and with widths
// that are not a multiple of 8; plus the depth changes' edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "codec_test_util.h"
#include "image/image.h"
#include "image/raster.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

// Our image at the given depth (standard palette, no diffusion).
void MakeAtDepth(const Rgb& pic, int bpp, CRaster* img) {
    ASSERT_TRUE(ImageOf(pic, img));
    if (bpp < 24) {
        ASSERT_TRUE(img->DecreaseBpp(bpp, false));
    }
    ASSERT_EQ(img->GetBpp(), bpp);
}

// Runs convert on ours and compares with our transform's result.
void CheckAgainstIm(const std::string& dir, const CRaster& before, const std::string& imOp,
                    const std::function<bool(CRaster*)>& ours, const std::string& tag) {
    SCOPED_TRACE(tag + " " + imOp);
    std::string in = PathJoin(dir, tag + ".in.ppm"), out = PathJoin(dir, tag + ".out.ppm");
    ASSERT_TRUE(WritePpm(in, RgbOf(before)));
    ASSERT_TRUE(Convert(dir, Lx(in) + " " + imOp + " -depth 8 ppm:" + UnixPathOf(out)));
    Rgb want;
    ASSERT_TRUE(ReadPnm(out, &want));
    CRaster img(before, true);
    ASSERT_TRUE(ours(&img)) << img.GetLastError();
    EXPECT_EQ(img.GetBpp(), before.GetBpp());
    std::string where;
    EXPECT_EQ(CountDiff(RgbOf(img), want, &where), 0) << where;
}

int Dist(const uint8_t* a, const uint8_t* b) {
    int d = 0;
    for (int i = 0; i < 3; i++)
        d += (a[i] - b[i]) * (a[i] - b[i]);
    return d;
}

}  // namespace

TEST(Transforms, GeometryMatchesImageMagick) {
    std::string dir = MakeTestDir("transforms_geom");
    Rgb pic = MakePicture(37, 21, 11);
    for (int bpp : {24, 8, 4, 1}) {
        CRaster base(0);
        MakeAtDepth(pic, bpp, &base);
        std::string tag = "d" + std::to_string(bpp);
        CheckAgainstIm(
            dir, base, "-flip", [](CRaster* i) { return i->Flip(); }, tag);
        CheckAgainstIm(
            dir, base, "-flop", [](CRaster* i) { return i->Mirror(); }, tag);
        CheckAgainstIm(
            dir, base, "-rotate -90", [](CRaster* i) { return i->RotateLeft(); }, tag);
        CheckAgainstIm(
            dir, base, "-rotate 90", [](CRaster* i) { return i->RotateRight(); }, tag);
        CheckAgainstIm(
            dir, base, "-crop 19x9+5+3 +repage", [](CRaster* i) { return i->Crop(5, 3, 24, 12); }, tag);
        // Ends in either order, and ends past the image are clamped.
        CheckAgainstIm(
            dir, base, "-crop 30x15+7+6 +repage", [](CRaster* i) { return i->Crop(99, 99, 7, 6); }, tag);
        CheckAgainstIm(
            dir, base, "-negate", [](CRaster* i) { return i->Negative(); }, tag);
    }
    // Quarter turns across the 64-pixel tiles and odd bytes, at every depth.
    Rgb large = MakePicture(133, 70, 13);
    for (int bpp : {24, 8, 4, 1}) {
        CRaster base(0);
        MakeAtDepth(large, bpp, &base);
        std::string tag = "large" + std::to_string(bpp);
        CheckAgainstIm(
            dir, base, "-rotate -90", [](CRaster* i) { return i->RotateLeft(); }, tag);
        CheckAgainstIm(
            dir, base, "-rotate 90", [](CRaster* i) { return i->RotateRight(); }, tag);
    }
}

TEST(Transforms, GreyMatchesTheLuminanceFormula) {
    std::string dir = MakeTestDir("transforms_grey");
    Rgb pic = MakePicture(37, 21, 12);
    for (int bpp : {24, 8, 4, 1}) {
        CRaster base(0);
        MakeAtDepth(pic, bpp, &base);
        std::string in = PathJoin(dir, "g.in.ppm"), out = PathJoin(dir, "g.out.ppm");
        ASSERT_TRUE(WritePpm(in, RgbOf(base)));
        ASSERT_TRUE(Convert(dir, Lx(in) +
                                     " -fx 'floor((round(r*255)*306+round(g*255)*601+round(b*255)*117)/1024)/255'"
                                     " -depth 8 ppm:" +
                                     UnixPathOf(out)));
        Rgb want;
        ASSERT_TRUE(ReadPnm(out, &want));
        CRaster img(base, true);
        ASSERT_TRUE(img.GrayScale());
        EXPECT_EQ(img.GetBpp(), 8);
        EXPECT_TRUE(img.IsGrayScale());
        std::string where;
        EXPECT_EQ(CountDiff(RgbOf(img), want, &where), 0) << bpp << " " << where;
    }
}

// Ours against the exact nearest entry, and against ImageMagick.
TEST(Transforms, ReductionsMatchRemapWithoutDither) {
    std::string dir = MakeTestDir("transforms_remap");
    for (int width : {37, 64}) {
        Rgb pic = MakePicture(width, 27, 13);
        for (int bpp : {8, 4, 1}) {
            SCOPED_TRACE("width " + std::to_string(width) + " bpp " + std::to_string(bpp));
            int n = 1 << bpp;
            const RGBQUAD* std = CRaster::StandardPalette(bpp);
            Rgb pal;
            pal.w = n;
            pal.h = 1;
            for (int i = 0; i < n; i++) {
                pal.px.push_back(std[i].rgbRed);
                pal.px.push_back(std[i].rgbGreen);
                pal.px.push_back(std[i].rgbBlue);
            }
            std::string palFile = PathJoin(dir, "pal.ppm"), in = PathJoin(dir, "in.ppm");
            std::string out = PathJoin(dir, "out.ppm");
            ASSERT_TRUE(WritePpm(palFile, pal));
            ASSERT_TRUE(WritePpm(in, pic));
            ASSERT_TRUE(Convert(dir, Lx(in) + " +dither -remap " + Lx(palFile) + " -depth 8 ppm:" + UnixPathOf(out)));
            Rgb want;
            ASSERT_TRUE(ReadPnm(out, &want));
            CRaster img(0);
            ASSERT_TRUE(ImageOf(pic, &img));
            ASSERT_TRUE(img.DecreaseBpp(bpp, false));
            ASSERT_EQ(img.GetBpp(), bpp);
            Rgb ours = RgbOf(img);
            for (int y = 0; y < pic.h; y++)
                for (int x = 0; x < pic.w; x++) {
                    int best = 1 << 30;
                    for (int i = 0; i < n; i++) {
                        const uint8_t e[3] = {std[i].rgbRed, std[i].rgbGreen, std[i].rgbBlue};
                        best = std::min(best, Dist(pic.At(x, y), e));
                    }
                    ASSERT_EQ(Dist(pic.At(x, y), ours.At(x, y)), best) << x << "," << y;
                }
            int differ = 0;
            for (int y = 0; y < pic.h; y++)
                for (int x = 0; x < pic.w; x++) {
                    const uint8_t* o = ours.At(x, y);
                    const uint8_t* w = want.At(x, y);
                    if (o[0] == w[0] && o[1] == w[1] && o[2] == w[2])
                        continue;
                    // ImageMagick searches its colour tree only near the
                    // colour, so it may pick a farther entry; ours is never farther.
                    ASSERT_LE(Dist(pic.At(x, y), o), Dist(pic.At(x, y), w)) << x << "," << y;
                    differ++;
                }
            EXPECT_LT(differ, pic.w * pic.h / 10);
        }
    }
}

TEST(Transforms, DepthChangeEdgeCases) {
    // Mid grey to 1 bit: diffusion mixes black and white; without it every
    // pixel takes the nearer one.
    CRaster grey(32, 32, 24, 0);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++)
            grey.SetPixelColor(x, y, RGBQUAD{120, 120, 120, 0});
    CRaster plain(grey, true), dith(grey, true);
    ASSERT_TRUE(plain.DecreaseBpp(1, false));
    ASSERT_TRUE(dith.DecreaseBpp(1, true));
    int whitePlain = 0, whiteDith = 0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            whitePlain += plain.GetPixelIndex(x, y);
            whiteDith += dith.GetPixelIndex(x, y);
        }
    EXPECT_EQ(whitePlain, 0);
    EXPECT_GT(whiteDith, 300);
    EXPECT_LT(whiteDith, 700);

    CRaster eight(4, 4, 8, 0);
    EXPECT_TRUE(eight.DecreaseBpp(8, false));
    EXPECT_FALSE(eight.DecreaseBpp(24, false));
    EXPECT_STREQ(eight.GetLastError(), "DecreaseBpp: target BPP greater than source BPP");
    EXPECT_FALSE(eight.IncreaseBpp(4));
    EXPECT_FALSE(eight.IncreaseBpp(16));
    CRaster rgb(4, 4, 24, 0);
    EXPECT_TRUE(rgb.IncreaseBpp(24));

    // Down from a transparent colour (the GIF save's reduction, the colour
    // modes, grey): the transparent pixels, and only they, stay transparent.
    CRaster keyed(0);
    ASSERT_TRUE(ImageOf(MakePicture(16, 16, 5), &keyed));
    for (int x = 0; x < 16; x++)
        keyed.SetPixelColor(x, 3, RGBQUAD{0, 0, 255, 0});
    keyed.SetTransparentColor(RGBQUAD{0, 0, 255, 0});
    keyed.Info().transparentIndex = 0;
    for (int way = 0; way < 3; way++) {
        SCOPED_TRACE(way);
        CRaster down(keyed, true);
        ASSERT_TRUE(way == 2 ? down.GrayScale() : down.DecreaseBpp(8, way == 1));
        int wrong = 0;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                wrong += down.IsTransparentPixel(x, y) != keyed.IsTransparentPixel(x, y);
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(down.IsTransparentPixel(5, 3));
    }

    // Up: indices and colours carry over; a transparent index becomes a colour.
    CRaster one(9, 3, 1, 0);
    one.SetStandardPalette();
    one.SetPixelIndex(8, 2, 1);
    ASSERT_TRUE(one.SetTransparentIndex(1));
    CRaster up4(one, true), up24(one, true);
    ASSERT_TRUE(up4.IncreaseBpp(4));
    EXPECT_EQ(up4.GetBpp(), 4);
    EXPECT_EQ(up4.GetPixelIndex(8, 2), 1);
    EXPECT_EQ(up4.GetPaletteColor(1).rgbRed, 255);
    ASSERT_TRUE(up24.IncreaseBpp(24));
    EXPECT_EQ(up24.GetPixelColor(8, 2).rgbGreen, 255);
    EXPECT_EQ(up24.GetPixelColor(7, 2).rgbGreen, 0);
    EXPECT_EQ(up24.GetTransparentColor().rgbRed, 255);

    // A cancelled conversion fails and leaves the image as it was.
    CRaster big(0);
    ASSERT_TRUE(ImageOf(MakePicture(40, 40, 2), &big));
    std::string before((const char*)big.GetDibBlock(), big.GetDibSize());
    big.SetEscape(1);
    EXPECT_FALSE(big.DecreaseBpp(8, true));
    EXPECT_FALSE(big.DecreaseBpp(4, false));
    EXPECT_EQ(big.GetBpp(), 24);
    EXPECT_EQ(std::string((const char*)big.GetDibBlock(), big.GetDibSize()), before);
    CRaster small(3, 3, 4, 0);
    small.SetEscape(1);
    EXPECT_FALSE(small.IncreaseBpp(24));
    EXPECT_EQ(small.GetBpp(), 4);
}

// The colour steps keep exactly the transparent pixels, compared by
// position: 8-bit pictures whose transparent entry is black beside visible
// black, as the icon and GIF readers give them, and a 24-bit icon whose
// visible pixels take all 256 greys. Visible pixels keep their colour up
// to one grey level (true colour: exactly, and the transparent ones nearly,
// for where transparency is not drawn); 1-bit results, showing black and
// white, keep none.
TEST(Transforms, ColourStepsKeepTheTransparentPixelsExactly) {
    const int w = 32, h = 32;
    auto masked = [](int x, int y) { return x >= 12 && x < 20 && y >= 12 && y < 20; };
    CRaster pal8(w, h, 8, 0), ramp(w, h, 24, 0);
    for (int i = 1; i < 100; i++)
        pal8.SetPaletteColor(i, (BYTE)(i * 2), (BYTE)(255 - i * 2), (BYTE)(i * 37));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1;
            pal8.SetPixelIndex(x, y, (BYTE)(masked(x, y) ? 100 : border ? 0 : 1 + (x + y * w) % 99));
            BYTE v = (BYTE)(x + y * w);
            ramp.SetPixelColor(x, y, masked(x, y) ? RGBQUAD{0, 0, 255, 0} : RGBQUAD{v, v, v, 0});
        }
    ASSERT_TRUE(pal8.SetTransparentIndex(100));
    ramp.SetTransparentColor(RGBQUAD{0, 0, 255, 0});
    ramp.Info().transparentIndex = 0;
    const struct {
        const char* name;
        CRaster* picture;
        uint32_t format;
    } sources[] = {{"icon", &pal8, kFormatIco}, {"gif", &pal8, kFormatGif}, {"grey icon", &ramp, kFormatIco}};
    auto step = [](CImage* img, const std::string& s) {
        if (s == "grey")
            return img->GrayScale();
        if (s == "true colour")
            return img->IncreaseBpp(24);
        if (s == "1 bit")
            return img->DecreaseBpp(1, true);
        int n = std::stoi(s);
        RGBQUAD* pal = img->MakeQuantizedPalette(n);
        bool ok = pal && img->DecreaseBpp(n <= 16 ? 4 : 8, true, pal, n);
        free(pal);
        return ok;
    };
    auto apart = [](RGBQUAD a, RGBQUAD b, int d) {
        return abs(a.rgbRed - b.rgbRed) > d || abs(a.rgbGreen - b.rgbGreen) > d || abs(a.rgbBlue - b.rgbBlue) > d;
    };
    for (const auto& src : sources) {
        std::string bytes;
        ASSERT_TRUE(EncodeBytes(src.picture, src.format, &bytes));
        CImage before;
        ASSERT_TRUE(DecodeBytes(bytes, src.format, &before));
        for (std::string s : {"grey", "16", "256", "true colour", "1 bit"}) {
            SCOPED_TRACE(std::string(src.name) + " to " + s);
            CImage img;
            ASSERT_TRUE(DecodeBytes(bytes, src.format, &img));
            ASSERT_TRUE(step(&img, s)) << img.GetLastError();
            int wrong = 0, off = 0;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    wrong += img.IsTransparentPixel(x, y) != (masked(x, y) && s != "1 bit");
                    RGBQUAD was = before.GetPixelColor(x, y), now = img.GetPixelColor(x, y);
                    if (!masked(x, y) && s == "grey")
                        off += abs(CRaster::Luminance(was) - now.rgbRed) > 1;
                    if (s == "true colour")
                        off += apart(was, now, masked(x, y) ? 3 : 0);
                }
            EXPECT_EQ(wrong, 0) << "pixels whose transparency changed";
            EXPECT_EQ(off, 0) << "pixels whose colour changed";
        }
    }
}

TEST(Transforms, GreyNegativeCropRotateEdgeCases) {
    CRaster img(4, 4, 8, 0);
    img.SetStandardPalette();
    img.SetPaletteColor(5, 255, 0, 0);
    img.SetPixelIndex(1, 1, 5);
    ASSERT_TRUE(img.SetTransparentIndex(5));
    ASSERT_TRUE(img.GrayScale());
    EXPECT_EQ(img.GetTransparentIndex(), 76);

    CRaster g(2, 1, 8, 0);
    g.SetGrayPalette();
    g.SetPixelIndex(0, 0, 10);
    ASSERT_TRUE(g.Negative());
    EXPECT_EQ(g.GetPixelIndex(0, 0), 245);
    EXPECT_TRUE(g.IsGrayScale());
    CRaster c(2, 1, 8, 0);
    c.SetStandardPalette();
    c.SetPixelIndex(0, 0, 9);
    ASSERT_TRUE(c.Negative());
    EXPECT_EQ(c.GetPixelIndex(0, 0), 9);
    EXPECT_EQ(c.GetPaletteColor(0).rgbRed, 255);

    CRaster src(0);
    ASSERT_TRUE(ImageOf(MakePicture(7, 5, 1), &src));
    CRaster dest(0);
    ASSERT_TRUE(src.Crop(0, 0, 7, 5, &dest));
    EXPECT_EQ(src.Width(), 7);
    EXPECT_EQ(CountDiff(RgbOf(dest), RgbOf(src)), 0);
    src.SetLastError("");
    EXPECT_FALSE(src.Crop(3, 0, 3, 5));
    EXPECT_STREQ(src.GetLastError(), "");

    CRaster r(0);
    ASSERT_TRUE(ImageOf(MakePicture(3, 2, 4), &r));
    Rgb orig = RgbOf(r);
    ASSERT_TRUE(r.RotateLeft());
    EXPECT_EQ(r.Width(), 2);
    EXPECT_EQ(r.Height(), 3);
    ASSERT_TRUE(r.RotateRight());
    EXPECT_EQ(CountDiff(RgbOf(r), orig), 0);
    CRaster empty(0);
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.GrayScale());
}

TEST(Transforms, BitfieldsToRgbHandlesOddMasks) {
    CRaster img(2, 1, 24, 0);
    // 16 bits, 5-6-5: white and a pure green, widened as the peers read them.
    const BYTE p16[4] = {0xFF, 0xFF, 0xE0, 0x07};
    img.BitfieldsToRgb(p16, 0xF800, 0x07E0, 0x001F, 16);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 255);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbGreen, 255);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbBlue, 255);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbGreen, 255);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 0);
    // 32 bits: zero, full-width and wide masks give defined values.
    const BYTE p32[8] = {0x11, 0x22, 0x33, 0x44, 0xFF, 0xFF, 0xFF, 0xFF};
    img.BitfieldsToRgb(p32, 0, 0xFFFFFFFF, 0x000003FF, 32);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbGreen, 0x44);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbBlue, 0x211 >> 2);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbBlue, 255);
}
