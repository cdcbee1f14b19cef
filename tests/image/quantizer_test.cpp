// The octree quantizer.
#include "image/quantizer.h"

#include <gtest/gtest.h>
#include <string.h>

#include "image/image.h"

namespace {

// A 24-bit image whose pixels cycle through colours.
void Fill(CRaster* img, const RGBQUAD* colors, int n) {
    for (int y = 0; y < img->Height(); y++)
        for (int x = 0; x < img->Width(); x++)
            img->SetPixelColor(x, y, colors[(y * img->Width() + x) % n]);
}

}  // namespace

TEST(Quantizer, OneColourAndBlackWhite) {
    CRaster img(10, 10, 24, 0);
    RGBQUAD c{30, 60, 90, 0};
    Fill(&img, &c, 1);
    CQuantizer q(256, 7);
    ASSERT_EQ(q.AddImage(img.GetDibBlock()), 1);
    EXPECT_EQ(q.GetLeafCount(), 1u);
    RGBQUAD pal[256];
    memset(pal, 0x77, sizeof(pal));
    EXPECT_EQ(q.GetPalette(pal), 1);
    EXPECT_EQ(pal[0].rgbBlue, 30);
    EXPECT_EQ(pal[0].rgbGreen, 60);
    EXPECT_EQ(pal[0].rgbRed, 90);
    EXPECT_EQ(pal[1].rgbRed, 0x77) << "entries past the colours found stay";

    CRaster bw(8, 2, 1, 0);
    bw.SetStandardPalette();
    for (int x = 0; x < 8; x += 2)
        bw.SetPixelIndex(x, 0, 1);
    CQuantizer q2(2, 8);
    ASSERT_EQ(q2.AddImage(bw.GetDibBlock()), 1);
    RGBQUAD two[2];
    q2.GetPalette(two, 2);
    EXPECT_EQ(two[0].rgbRed, 0);
    EXPECT_EQ(two[1].rgbRed, 255);
}

TEST(Quantizer, MergesAndWeights) {
    // 16 leaves; n = 4 merges them four at a time, weighted by pixel counts.
    RGBQUAD cols[16];
    for (int i = 0; i < 16; i++)
        cols[i] = RGBQUAD{(BYTE)(i * 16), (BYTE)(i * 16), (BYTE)(i * 16), 0};
    CRaster img(16, 2, 24, 0);
    Fill(&img, cols, 16);
    img.SetPixelColor(0, 1, cols[1]);  // entry 0 group: colours 0 (x1), 1 (x3), 2, 3 (x2 each)
    CQuantizer q(4, 8);
    ASSERT_EQ(q.AddImage(img.GetDibBlock()), 1);
    EXPECT_EQ(q.GetLeafCount(), 16u);
    RGBQUAD pal[4];
    EXPECT_EQ(q.GetPalette(pal, 4), 4);
    // (0 * 1 + 16 * 3 + 32 * 2 + 48 * 2) / 8 = 26
    EXPECT_EQ(pal[0].rgbRed, 26);
    EXPECT_EQ(pal[3].rgbRed, (192 + 208 + 224 + 240) / 4);

    // 17 colours with a limit of 16 leaves: a merge keeps at most 16.
    RGBQUAD many[17];
    for (int i = 0; i < 17; i++)
        many[i] = RGBQUAD{(BYTE)(i * 15), (BYTE)(255 - i * 15), (BYTE)(i * 7), 0};
    CRaster img2(17, 1, 24, 0);
    Fill(&img2, many, 17);
    CQuantizer q2(16, 8);
    ASSERT_EQ(q2.AddImage(img2.GetDibBlock()), 1);
    EXPECT_LE(q2.GetLeafCount(), 16u);
    RGBQUAD out[2];
    EXPECT_LE(q2.GetPalette(out, 2), 2) << "never more than the output holds";
}

TEST(Quantizer, RefusesOtherDepthsAndHugeSums) {
    BYTE dib[40 + 16] = {};
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biBitCount = 16;
    memcpy(dib, &h, 40);
    CQuantizer q(16, 8);
    EXPECT_EQ(q.AddImage(dib), 0);
    RGBQUAD pal[16] = {};
    EXPECT_EQ(q.GetPalette(pal, 16), 0);
    EXPECT_EQ(pal[0].rgbRed, 0);
    // 4200 x 4200 white pixels: 255 x 17.6 million overflows 32 bits.
    CImage big;
    ASSERT_TRUE(big.Create(4200, 4200, 8, 0));
    big.SetGrayPalette();
    big.Clear(255);
    RGBQUAD* p = big.MakeQuantizedPalette(256);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0].rgbRed, 255);
    EXPECT_EQ(p[0].rgbGreen, 255);
    EXPECT_EQ(p[1].rgbRed, 0);
    free(p);
}
