// Auto crop of the editor on generated images with known borders: the
// content found exactly, the border colour by majority, edges at the image
// rim, one-colour images, and random noisy borders (run under the
// sanitizers in the native tree).
#include "capture/editor/auto_crop.h"

#include <gtest/gtest.h>

#include <random>

namespace {

RGBQUAD Rgb(BYTE r, BYTE g, BYTE b) {
    return RGBQUAD{b, g, r, 0};
}

// A 24-bit image of one colour.
void Fill(CRaster* img, int w, int h, RGBQUAD c) {
    ASSERT_NE(img->Create(w, h, 24, 0), nullptr);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img->SetPixelColor(x, y, c);
}

// Pixel (x, y) counted from the top.
void Put(CRaster* img, int x, int y, RGBQUAD c) {
    img->SetPixelColor(x, img->Height() - 1 - y, c);
}

void Square(CRaster* img, int x0, int y0, int w, int h, RGBQUAD c) {
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++)
            Put(img, x, y, c);
}

struct Sel {
    int l, t, r, b;
};

Sel Whole(const CRaster& img) {
    return Sel{0, 0, img.Width(), img.Height()};
}

bool CropBounds(const CRaster& img, Sel* s) {
    return AutoCropBounds(img, &s->l, &s->t, &s->r, &s->b);
}

}  // namespace

TEST(AutoCrop, FindsTheBlackSquareOnWhite) {
    CRaster img;
    Fill(&img, 100, 80, Rgb(255, 255, 255));
    Square(&img, 30, 20, 10, 10, Rgb(0, 0, 0));
    Sel s = Whole(img);
    ASSERT_TRUE(CropBounds(img, &s));
    // The selection encloses columns 30..39 and rows 20..29: a crop of it
    // is the 10 x 10 square.
    EXPECT_EQ(s.l, 30);
    EXPECT_EQ(s.t, 20);
    EXPECT_EQ(s.r, 40);
    EXPECT_EQ(s.b, 30);
    ASSERT_TRUE(img.Crop(s.l, s.t, s.r, s.b));
    EXPECT_EQ(img.Width(), 10);
    EXPECT_EQ(img.Height(), 10);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(img.GetPixelColor(x, y).rgbRed, 0) << x << "," << y;
}

TEST(AutoCrop, TheMoreFrequentBorderColourWinsAndEdgesTouchingTheRimStay) {
    CRaster img;
    Fill(&img, 60, 40, Rgb(0, 0, 255));
    // Red along the top row covers fewer border samples than blue.
    Square(&img, 0, 0, 60, 1, Rgb(255, 0, 0));
    Square(&img, 20, 10, 5, 6, Rgb(0, 255, 0));
    Sel s = Whole(img);
    ASSERT_TRUE(CropBounds(img, &s));
    // Blue is the border: the red row is content touching the top edge.
    EXPECT_EQ(s.t, 0);
    EXPECT_EQ(s.l, 0);
    EXPECT_EQ(s.r, 60);
    EXPECT_EQ(s.b, 16);
}

TEST(AutoCrop, OneColourKeepsTheEdgesAndASubSelectionIsScannedAlone) {
    CRaster img;
    Fill(&img, 30, 20, Rgb(10, 20, 30));
    Sel s = Whole(img);
    ASSERT_TRUE(CropBounds(img, &s));
    EXPECT_EQ(s.l, 0);
    EXPECT_EQ(s.t, 0);
    EXPECT_EQ(s.r, 30);
    EXPECT_EQ(s.b, 20);

    // Content outside the selection does not count.
    Square(&img, 0, 0, 3, 3, Rgb(255, 255, 255));
    Square(&img, 12, 8, 2, 3, Rgb(255, 255, 255));
    s = Sel{5, 5, 25, 15};
    ASSERT_TRUE(CropBounds(img, &s));
    EXPECT_EQ(s.l, 12);
    EXPECT_EQ(s.t, 8);
    EXPECT_EQ(s.r, 14);
    EXPECT_EQ(s.b, 11);
    // A selection reaching out of the image is brought inside first.
    s = Sel{-50, -50, 500, 500};
    ASSERT_TRUE(CropBounds(img, &s));
    EXPECT_EQ(s.l, 0);
    EXPECT_EQ(s.t, 0);
    EXPECT_EQ(s.r, 14);
    EXPECT_EQ(s.b, 11);
}

TEST(AutoCrop, EmptyImagesAndSelectionsChangeNothing) {
    CRaster empty;
    Sel s = {1, 2, 3, 4};
    EXPECT_FALSE(CropBounds(empty, &s));
    EXPECT_EQ(s.l, 1);
    CRaster img;
    Fill(&img, 8, 8, Rgb(0, 0, 0));
    s = Sel{4, 4, 4, 6};
    EXPECT_FALSE(CropBounds(img, &s));
    EXPECT_EQ(s.r, 4);
}

TEST(AutoCrop, RandomNoisyBordersStayInsideTheSelection) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 40; round++) {
        int w = 1 + (int)(rng() % 70), h = 1 + (int)(rng() % 50);
        CRaster img;
        Fill(&img, w, h, Rgb(0, 0, 0));
        // Every pixel a random colour of four: no single border colour.
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                Put(&img, x, y, Rgb((BYTE)(rng() % 2 * 255), (BYTE)(rng() % 2 * 255), 0));
        Sel s = Whole(img);
        if (round % 2) {
            s.l = (int)(rng() % w);
            s.t = (int)(rng() % h);
            s.r = s.l + 1 + (int)(rng() % (w - s.l));
            s.b = s.t + 1 + (int)(rng() % (h - s.t));
        }
        Sel before = s;
        ASSERT_TRUE(CropBounds(img, &s));
        EXPECT_GE(s.l, before.l);
        EXPECT_GE(s.t, before.t);
        EXPECT_LE(s.r, before.r);
        EXPECT_LE(s.b, before.b);
        EXPECT_LE(s.l, s.r);
        EXPECT_LE(s.t, s.b);
    }
}

TEST(BorderHistogram, CountsByRgbIgnoringAlphaAndReportsAFullTable) {
    BorderColorCount h[2];
    int used = 0;
    EXPECT_TRUE(CountBorderColor(RGBQUAD{1, 2, 3, 0}, h, &used, 2));
    EXPECT_TRUE(CountBorderColor(RGBQUAD{1, 2, 3, 200}, h, &used, 2));
    EXPECT_TRUE(CountBorderColor(RGBQUAD{9, 9, 9, 0}, h, &used, 2));
    EXPECT_FALSE(CountBorderColor(RGBQUAD{7, 7, 7, 0}, h, &used, 2));
    EXPECT_EQ(used, 2);
    EXPECT_EQ(h[0].count, 2);
    EXPECT_EQ(h[1].count, 1);
}
