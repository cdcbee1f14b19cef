// CImage painting primitives: pen, lines, circles, fills, highlight,
// inversion and text masks, in top-down coordinates.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <utility>

#include "image/image.h"

namespace {

const DWORD kRed = 0xFFFF0000;  // RGBQUAD order: red in bits 16-23
const DWORD kWhite = 0xFFFFFFFF;

// Pixels (top-down) whose colour differs from white.
std::set<std::pair<int, int>> Painted(const CImage& img) {
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < img.Height(); y++)
        for (int x = 0; x < img.Width(); x++) {
            RGBQUAD c = img.GetPixelColor(x, img.Height() - 1 - y);
            if (c.rgbRed != 255 || c.rgbGreen != 255 || c.rgbBlue != 255)
                s.insert({x, y});
        }
    return s;
}

void WhiteCanvas(CImage* img, int w, int h, int bpp = 24) {
    ASSERT_TRUE(img->Create(w, h, bpp, 0));
    img->SetStandardPalette();
    if (bpp == 24)
        memset(img->GetPixels(), 255, img->GetImageSize());
    else
        img->Clear(bpp == 1 ? 1 : bpp == 4 ? 15 : 255);
    img->BeginPaint(nullptr, 0, 0, w - 1, h - 1);
}

}  // namespace

TEST(Paint, LinesAndPen) {
    CImage img;
    WhiteCanvas(&img, 8, 6);
    img.SetPenColor(0, 1, kRed);
    img.MoveTo(0, 0);
    img.LineTo(3, 1, true);
    std::set<std::pair<int, int>> want = {{0, 0}, {1, 0}, {2, 1}, {3, 1}};
    EXPECT_EQ(Painted(img), want);
    EXPECT_TRUE(img.IsModified());
    RECT d = img.GetDirtyRect();
    EXPECT_EQ(d.left, 0);
    EXPECT_EQ(d.right, 3);
    EXPECT_EQ(d.bottom, 1);
    EXPECT_EQ(img.GetPixelColor(0, 5).rgbRed, 255);  // top-down (0, 0) is the last stored row
    EXPECT_EQ(img.GetPixelColor(0, 5).rgbGreen, 0);

    // A line to the pen position is one dab, and the pen stays.
    CImage dot;
    WhiteCanvas(&dot, 8, 6);
    dot.SetPenColor(0, 2, kRed);
    dot.MoveTo(4, 2);
    dot.LineTo(4, 2, true);
    std::set<std::pair<int, int>> block = {{3, 2}, {4, 2}, {3, 3}, {4, 3}};
    EXPECT_EQ(Painted(dot), block);
    // Clipping: nothing outside the clip rectangle.
    CImage clip;
    WhiteCanvas(&clip, 8, 6);
    clip.BeginPaint(nullptr, 2, 0, 7, 5);
    clip.SetPenColor(0, 1, kRed);
    clip.MoveTo(0, 3);
    clip.LineTo(7, 3, true);
    EXPECT_EQ(Painted(clip).size(), 6u);
    EXPECT_EQ(Painted(clip).begin()->first, 2);
}

TEST(Paint, CirclesAndRectangles) {
    CImage img;
    WhiteCanvas(&img, 9, 9);
    img.SetPenColor(0, 1, kRed);
    img.FillCircle(4, 4, 0, true);
    EXPECT_EQ(Painted(img), (std::set<std::pair<int, int>>{{4, 4}}));
    WhiteCanvas(&img, 9, 9);
    img.SetPenColor(0, 1, kRed);
    img.FillCircle(4, 4, 1, true);
    EXPECT_EQ(Painted(img), (std::set<std::pair<int, int>>{{4, 4}, {3, 4}, {5, 4}, {4, 3}, {4, 5}}));
    // FillRect: ends in either order, pen colour restored.
    CImage a, b;
    WhiteCanvas(&a, 9, 9);
    WhiteCanvas(&b, 9, 9);
    a.SetPenColor(0, 1, kRed);
    a.FillRect(6, 2, 1, 5, 0xFF0000FF);
    b.FillRect(1, 2, 6, 5, 0xFF0000FF);
    EXPECT_EQ(Painted(a), Painted(b));
    EXPECT_EQ(Painted(a).size(), 24u);
    EXPECT_EQ(a.GetPenColor(), kRed);
    // DrawRect outlines the rectangle.
    CImage r;
    WhiteCanvas(&r, 9, 9);
    r.SetPenColor(0, 1, kRed);
    r.DrawRect(1, 1, 5, 4);
    EXPECT_EQ(Painted(r).size(), 14u);
}

TEST(Paint, FloodFill) {
    // Already the pen colour: nothing changes; the dirty rectangle is the seed.
    CImage img;
    WhiteCanvas(&img, 20, 10);
    img.SetPenColor(0, 1, kWhite);
    img.FloodFill(5, 5);
    EXPECT_TRUE(Painted(img).empty());
    EXPECT_FALSE(img.IsModified());
    EXPECT_EQ(img.GetDirtyRect().left, 5);
    EXPECT_EQ(img.GetDirtyRect().right, 5);
    // A wall splits the canvas: only the seed's side fills.
    img.SetPenColor(0, 1, 0xFF000000);
    img.MoveTo(10, 0);
    img.LineTo(10, 9, true);
    img.SetPenColor(0, 1, kRed);
    img.FloodFill(2, 2);
    int red = 0;
    for (auto& p : Painted(img))
        red += img.GetPixelColor(p.first, 9 - p.second).rgbGreen == 0 && p.first < 10;
    EXPECT_EQ(red, 100);
    EXPECT_EQ(img.GetPixelColor(15, 5).rgbGreen, 255);
    // Outside the image: nothing.
    CImage out;
    WhiteCanvas(&out, 4, 4);
    out.SetPenColor(0, 1, kRed);
    out.FloodFill(-1, 2);
    out.FloodFill(4, 0);
    EXPECT_TRUE(Painted(out).empty());
    // A pen index wider than the depth (the image went to 1 bit after the
    // pen was chosen) is masked, so the fill ends.
    CImage one;
    WhiteCanvas(&one, 16, 16, 8);
    one.SetPenColor(0, 1, 0xFF808080);  // grey: an even index above 1
    ASSERT_EQ(one.GetPenIndex(), 248);
    ASSERT_TRUE(one.DecreaseBpp(1, false));
    one.Clear(0);
    one.FloodFill(3, 3);  // stored bit 0 equals the seed: nothing to do
    EXPECT_EQ(one.GetPixelIndex(3, 3), 0);
    one.Clear(1);
    one.FloodFill(3, 3);
    EXPECT_EQ(one.GetPixelIndex(15, 0), 0);
}

TEST(Paint, FloodFillOf4kImageCompletes) {
    CImage img;
    WhiteCanvas(&img, 3840, 2160, 8);
    // A comb of walls makes a long winding region.
    img.SetPenColor(0, 1, 0xFF000000);
    for (int x = 4; x < 3840; x += 8) {
        img.MoveTo(x, (x / 8) % 2 ? 0 : 2);
        img.LineTo(x, (x / 8) % 2 ? 2157 : 2159, true);
    }
    img.SetPenColor(0, 1, kRed);
    img.FloodFill(0, 0);
    BYTE red = img.GetPenIndex();
    EXPECT_EQ(img.GetPixelIndex(3839, 0), red);
    EXPECT_EQ(img.GetPixelIndex(0, 2159), red);
    EXPECT_EQ(img.GetPixelIndex(1000, 1000), red);
    EXPECT_EQ(img.GetDirtyRect().right, 3839);
    EXPECT_EQ(img.GetDirtyRect().bottom, 2159);
}

TEST(Paint, HighlightAndInvert) {
    CImage img;
    WhiteCanvas(&img, 6, 4);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            img.SetPixelColor(x, y, RGBQUAD{100, 200, 50, 0});
    img.Highlight(4, 3, 1, 1, 1.5f);  // ends swapped
    RGBQUAD in = img.GetPixelColor(2, 4 - 1 - 2), out = img.GetPixelColor(0, 0);
    EXPECT_EQ(in.rgbGreen, 200);
    EXPECT_EQ(out.rgbGreen, 255) << "saturates instead of wrapping";
    EXPECT_EQ(out.rgbBlue, 150);
    EXPECT_EQ(out.rgbRed, 75);
    img.Highlight(0, 0, 5, 3, 0.8f);  // nothing outside
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbBlue, 150);

    CImage inv;
    WhiteCanvas(&inv, 6, 4);
    inv.InvertRect(1, 2, 4, 2);
    EXPECT_TRUE(Painted(inv).empty()) << "top = bottom does nothing";
    inv.InvertRect(2, 0, 2, 3);
    EXPECT_EQ(Painted(inv).size(), 4u) << "left = right inverts one column";
    EXPECT_EQ(inv.GetPixelColor(2, 0).rgbRed, 0);
    CImage pal;
    WhiteCanvas(&pal, 6, 4, 4);
    pal.InvertRect(0, 0, 5, 3);
    EXPECT_EQ(pal.GetPixelIndex(3, 3), 0) << "white inverts to black";
    CImage bw;
    WhiteCanvas(&bw, 6, 4, 1);
    bw.Highlight(0, 0, 2, 3, 0.8f);
    EXPECT_EQ(bw.GetPixelIndex(5, 0), 0);
    EXPECT_EQ(bw.GetPixelIndex(1, 0), 1);
}

TEST(Paint, TextMask) {
    TextMask mask{nullptr, 4, 2};
    mask.mask = (BYTE*)malloc(8);
    const BYTE m[8] = {0, 255, 128, 0, 255, 255, 0, 200};
    memcpy(mask.mask, m, 8);
    CImage img;
    WhiteCanvas(&img, 10, 10);
    img.BeginPaint(&mask, 0, 0, 9, 9);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            img.SetPixelColor(x, y, RGBQUAD{10, 20, 30, 0});
    img.SetPenColor(0, 1, kRed);
    img.DrawTextMask(9, 9, 1 | 2 | 4 | 8, 0);  // right and bottom alignment win
    // The mask lands at (5..8, 7..8); white bytes leave the pixel.
    EXPECT_EQ(img.GetPixelColor(5, 9 - 7).rgbRed, 255);
    EXPECT_EQ(img.GetPixelColor(6, 9 - 7).rgbRed, 30) << "white mask byte: untouched";
    RGBQUAD mid = img.GetPixelColor(7, 9 - 7);
    EXPECT_EQ(mid.rgbRed, (int)((30 - 255) * (128 / 255.0f) + 255));
    EXPECT_EQ(img.GetPixelColor(4, 9 - 7).rgbRed, 30);
    // Opaque background paints white bytes in that colour.
    img.DrawTextMask(0, 0, 0, 0xFF0000FF);
    EXPECT_EQ(img.GetPixelColor(1, 9).rgbBlue, 255);
    EXPECT_EQ(img.GetPixelColor(1, 9).rgbRed, 0);
    EXPECT_EQ(img.GetPixelColor(0, 9).rgbRed, 255);
    free(mask.mask);
}

TEST(Paint, QuantizedPaletteServesDecreaseBpp) {
    CImage img;
    WhiteCanvas(&img, 32, 8);
    for (int x = 0; x < 32; x++)
        for (int y = 0; y < 8; y++)
            img.SetPixelColor(x, y, x < 16 ? RGBQUAD{0, 0, 200, 0} : RGBQUAD{0, 180, 0, 0});
    RGBQUAD* pal = img.MakeQuantizedPalette(16);
    ASSERT_NE(pal, nullptr);
    ASSERT_TRUE(img.DecreaseBpp(4, false, pal, 16));
    free(pal);
    EXPECT_EQ(img.GetPixelColor(3, 3).rgbRed, 200);
    EXPECT_EQ(img.GetPixelColor(20, 3).rgbGreen, 180);
    CImage empty;
    RGBQUAD* zero = empty.MakeQuantizedPalette(16);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero[0].rgbRed, 0);
    free(zero);
}
