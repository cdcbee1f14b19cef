// The nearest-entry search and the true-colour diffusion give the answers
// of the pixel-by-pixel definitions: NearestPaletteIndex (lowest index on a
// tie) and DecreaseBpp's own diffusion.
#include "image/palette_search.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <thread>
#include <vector>

#include "image/image.h"
#include "image_test_util.h"

namespace {

// The diffusion as DecreaseBpp defines it, one pixel at a time.
void ReferenceDiffusion(CRaster* workImage, CRaster* dest) {
    CRaster& work = *workImage;
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

// A screenshot with a photo in it: MakePicture's panels, strokes and noise,
// and smooth colour waves over its middle, where errors travel far.
Rgb MakePhotoScreen(int w, int h, unsigned seed) {
    Rgb pic = MakePicture(w, h, seed);
    for (int y = h / 3; y < 2 * h / 3; y++)
        for (int x = w / 4; x < w; x++) {
            uint8_t* p = &pic.px[3 * ((size_t)y * w + x)];
            int u = (x * 5 + y * 3) % 512, v = (x * x / 97 + y * 7) % 512, t = (x + y * y / 53) % 512;
            p[0] = (uint8_t)(u < 256 ? u : 511 - u);
            p[1] = (uint8_t)(v < 256 ? v : 511 - v);
            p[2] = (uint8_t)(t < 256 ? t : 511 - t);
        }
    return pic;
}

// A destination of bpp bits for work with pal's first n entries (null: the
// standard palette).
void MakeDest(const CRaster& work, int bpp, const RGBQUAD* pal, int n, CRaster* dest) {
    ASSERT_TRUE(dest->Create(work.Width(), work.Height(), bpp, 0));
    if (pal) {
        dest->SetPalette(pal, n);
        dest->SetColorsImportant(n);
    } else {
        dest->SetStandardPalette();
    }
}

bool SamePixels(const CRaster& a, const CRaster& b) {
    return a.GetImageSize() == b.GetImageSize() && !memcmp(a.GetPixels(), b.GetPixels(), a.GetImageSize());
}

// DiffuseOntoPalette on `threads` threads against the definition: the same
// indices (padding bits included) and the same diffused work image.
void ExpectDiffusionOnThreads(const CRaster& img, int bpp, const RGBQUAD* pal, int n, int threads) {
    CRaster expect(0), got(0), refWork(img), work(img);
    MakeDest(img, bpp, pal, n, &expect);
    MakeDest(img, bpp, pal, n, &got);
    ReferenceDiffusion(&refWork, &expect);
    bool outOfMemory = true;
    ASSERT_TRUE(DiffuseOntoPalette(&work, &got, nullptr, nullptr, &outOfMemory, threads));
    EXPECT_FALSE(outOfMemory);
    EXPECT_TRUE(SamePixels(expect, got)) << img.Width() << " x " << img.Height() << " on " << threads;
    EXPECT_TRUE(SamePixels(refWork, work)) << "diffused work image";
}

bool StopAt(void* context, int y, int) {
    return y < *(int*)context;
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
        CRaster work(img);
        ReferenceDiffusion(&work, &expect);
        ASSERT_TRUE(img.DecreaseBpp(bpp, true, pal, pal ? colors : 0));
        free(pal);
        int differ = 0;
        for (int y = 0; y < img.Height(); y++)
            for (int x = 0; x < img.Width(); x++)
                differ += img.GetPixelIndex(x, y) != expect.GetPixelIndex(x, y);
        EXPECT_EQ(0, differ);
    }
}

TEST(PaletteSearch, DiffusionOnThreadsIsTheSequentialOne) {
    // Rows run as a wavefront on threads; any thread count gives the
    // pixels of the one-row-after-another definition. 613 x 331: an odd
    // width, a height no band count divides.
    Rgb pic = MakePhotoScreen(613, 331, 4);
    CImage img;
    ASSERT_TRUE(ImageOf(pic, &img));
    for (int colors : {256, 16, 2}) {
        SCOPED_TRACE(colors);
        RGBQUAD* pal = colors == 2 ? nullptr : img.MakeQuantizedPalette(colors);
        int bpp = colors == 256 ? 8 : colors == 16 ? 4 : 1;
        for (int threads : {1, 2, 3, 8})
            ExpectDiffusionOnThreads(img, bpp, pal, colors, threads);
        free(pal);
    }
}

TEST(PaletteSearch, DiffusionEdgeShapesAndPalettes) {
    // Single rows and columns, widths that end inside a byte of the 1- and
    // 4-bit rows, fewer rows than threads.
    const int sizes[][2] = {{1, 1}, {1, 37}, {37, 1}, {2, 2}, {3, 9}, {9, 3}, {17, 5}, {255, 7}, {7, 255}};
    for (const auto& size : sizes) {
        Rgb pic = MakePhotoScreen(size[0], size[1], 11);
        CImage img;
        ASSERT_TRUE(ImageOf(pic, &img));
        RGBQUAD* pal = img.MakeQuantizedPalette(16);
        for (int threads : {1, 4, 8}) {
            ExpectDiffusionOnThreads(img, 4, pal, 16, threads);
            ExpectDiffusionOnThreads(img, 1, nullptr, 2, threads);
        }
        free(pal);
    }
    // A picture of three colours onto a 256-entry palette holding them (no
    // error anywhere), and a palette of one entry and of tied duplicates.
    CRaster few(64, 40, 24);
    const RGBQUAD three[3] = {{255, 255, 255, 0}, {20, 30, 90, 0}, {216, 233, 236, 0}};
    for (int y = 0; y < few.Height(); y++)
        for (int x = 0; x < few.Width(); x++)
            few.SetPixelColor(x, y, three[(x / 5 + y / 3) % 3]);
    RGBQUAD pal[256] = {};
    for (int i = 0; i < 256; i++)
        pal[i] = RGBQUAD{(BYTE)i, (BYTE)(255 - i), (BYTE)(i * 7), 0};
    pal[17] = three[0];
    pal[200] = three[1];
    pal[201] = three[1];  // a tie: 200 wins
    pal[90] = three[2];
    for (int threads : {1, 3})
        ExpectDiffusionOnThreads(few, 8, pal, 256, threads);
    CRaster stillFew(few);
    CRaster dest(0);
    MakeDest(stillFew, 8, pal, 256, &dest);
    bool outOfMemory;
    ASSERT_TRUE(DiffuseOntoPalette(&stillFew, &dest, nullptr, nullptr, &outOfMemory, 3));
    EXPECT_EQ(17, dest.GetPixelIndex(0, 0));
    EXPECT_EQ(200, dest.GetPixelIndex(5, 0));
    EXPECT_TRUE(SamePixels(few, stillFew)) << "no error to diffuse";
    Rgb pic = MakePhotoScreen(50, 30, 5);
    CImage img;
    ASSERT_TRUE(ImageOf(pic, &img));
    ExpectDiffusionOnThreads(img, 8, pal, 1, 2);
}

TEST(PaletteSearch, DiffusionCancelsOnAnyNumberOfThreads) {
    // A cancel from the progress callback ends every thread; the function
    // says so (not as a lack of memory).
    Rgb pic = MakePhotoScreen(300, 200, 6);
    CImage img;
    ASSERT_TRUE(ImageOf(pic, &img));
    for (int threads : {1, 4, 8})
        for (int stopRow : {0, 97}) {
            CRaster work(img), dest(0);
            MakeDest(work, 1, nullptr, 2, &dest);
            bool outOfMemory = true;
            EXPECT_FALSE(DiffuseOntoPalette(&work, &dest, StopAt, &stopRow, &outOfMemory, threads));
            EXPECT_FALSE(outOfMemory);
        }
}

TEST(PaletteSearch, ThreadsShareOneSearch) {
    // Threads fill cells of one search at once, each on its own lane and in
    // its own order, and use each other's lists; every answer is still the
    // full scan's.
    CRaster img(4, 4, 8);
    for (int i = 0; i < 256; i++)
        img.SetPaletteColor(i, (BYTE)(i * 37), (BYTE)(i * 91 + 7), (BYTE)(i & 0xF0));
    img.SetPaletteColor(99, img.GetPaletteColor(3));  // a tie: 3 wins
    CPaletteSearch search;
    ASSERT_TRUE(search.Init(img.GetPaletteConst(), 256));
    constexpr int kThreads = 4, kColors = (1 << 24) / 83;
    std::vector<BYTE> answers[kThreads];
    std::thread pool[kThreads];
    for (int t = 0; t < kThreads; t++) {
        answers[t].resize(kColors);
        pool[t] = std::thread([&, t] {
            for (int k = 0; k < kColors; k++) {
                int n = t % 2 ? kColors - 1 - k : (k + t * 1009) % kColors;
                uint32_t c = (uint32_t)n * 83;
                answers[t][n] = search.Nearest((BYTE)(c >> 16), (BYTE)(c >> 8), (BYTE)c, t);
            }
        });
    }
    for (std::thread& t : pool)
        t.join();
    int differ = 0;
    for (int n = 0; n < kColors; n++) {
        uint32_t c = (uint32_t)n * 83;
        BYTE want = img.NearestPaletteIndex(RGBQUAD{(BYTE)c, (BYTE)(c >> 8), (BYTE)(c >> 16), 0});
        for (int t = 0; t < kThreads; t++)
            differ += answers[t][n] != want;
    }
    EXPECT_EQ(0, differ);
}
