// The nearest-entry search and the true-colour diffusion give the answers
// of the pixel-by-pixel definitions: NearestPaletteIndex (lowest index on a
// tie) and DecreaseBpp's own diffusion.
#include "image/palette_search.h"

#include <gtest/gtest.h>

#include "image/image.h"
#include "image_test_util.h"

namespace {

// The diffusion as DecreaseBpp defines it, one pixel at a time.
void ReferenceDiffusion(CRaster work, CRaster* dest) {
    for (int y = 0; y < work.Height(); y++)
        for (int x = 0; x < work.Width(); x++) {
            RGBQUAD c = work.GetPixelColor(x, y);
            BYTE index = dest->NearestPaletteIndex(c);
            dest->SetPixelIndex(x, y, index);
            RGBQUAD p = dest->GetPaletteColor(index);
            int er = (int)c.rgbRed - p.rgbRed, eg = (int)c.rgbGreen - p.rgbGreen, eb = (int)c.rgbBlue - p.rgbBlue;
            const int dx[4] = {1, -1, 0, 1}, dy[4] = {0, 1, 1, 1}, wt[4] = {7, 2, 4, 1};
            for (int k = 0; k < 4; k++) {
                if (!work.IsInside(x + dx[k], y + dy[k]))
                    continue;
                RGBQUAD o = work.GetPixelColor(x + dx[k], y + dy[k]);
                auto add = [&](BYTE v, int e) {
                    int r = v + e * wt[k] / 16;
                    return (BYTE)(r < 0 ? 0 : r > 255 ? 255 : r);
                };
                work.SetPixelColor(x + dx[k], y + dy[k],
                                   RGBQUAD{add(o.rgbBlue, eb), add(o.rgbGreen, eg), add(o.rgbRed, er), 0});
            }
        }
}

}  // namespace

TEST(PaletteSearch, SameAnswerAsTheFullScanWithTies) {
    // Duplicated entries and equidistant ones: the lowest index must win.
    CRaster img(4, 4, 8);
    unsigned seed = 3;
    for (int i = 0; i < 256; i++) {
        seed = seed * 1103515245 + 12345;
        BYTE v = (BYTE)(seed >> 16);
        img.SetPaletteColor(i, (BYTE)(i % 3 == 0 ? v : 128), (BYTE)(i % 5 ? v : 64), (BYTE)((v * 7) & 0xF0));
    }
    img.SetPaletteColor(200, img.GetPaletteColor(10));
    for (int count : {2, 16, 256}) {
        SCOPED_TRACE(count);
        img.SetColorsImportant(count);
        CPaletteSearch search;
        ASSERT_TRUE(search.Init(img.GetPaletteConst(), count));
        int differ = 0;
        for (int r = 0; r < 256; r += 3)
            for (int g = 1; g < 256; g += 5)
                for (int b = 2; b < 256; b += 7)
                    differ += search.Nearest((BYTE)r, (BYTE)g, (BYTE)b) !=
                              img.NearestPaletteIndex(RGBQUAD{(BYTE)b, (BYTE)g, (BYTE)r, 0});
        EXPECT_EQ(0, differ);
    }
}

TEST(PaletteSearch, TrueColourDiffusionMatchesTheDefinition) {
    Rgb pic = MakePicture(157, 93, 9);
    for (int colors : {256, 16, 2}) {
        SCOPED_TRACE(colors);
        CImage img;
        ASSERT_TRUE(ImageOf(pic, &img));
        RGBQUAD* pal = colors == 2 ? nullptr : img.MakeQuantizedPalette(colors);
        int bpp = colors == 256 ? 8 : colors == 16 ? 4 : 1;
        CRaster expect(img.Width(), img.Height(), bpp);
        if (pal)
            expect.SetPalette(pal, colors);
        else
            expect.SetStandardPalette();
        if (pal)
            expect.SetColorsImportant(colors);
        ReferenceDiffusion(img, &expect);
        ASSERT_TRUE(img.DecreaseBpp(bpp, true, pal, pal ? colors : 0));
        free(pal);
        int differ = 0;
        for (int y = 0; y < img.Height(); y++)
            for (int x = 0; x < img.Width(); x++)
                differ += img.GetPixelIndex(x, y) != expect.GetPixelIndex(x, y);
        EXPECT_EQ(0, differ);
    }
}
