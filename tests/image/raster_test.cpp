// The image object: creation limits, aliases, take-over, settings, pixel
// and palette access, the nearest-colour cache and the row cursor.
#include "image/raster.h"

#include <gtest/gtest.h>
#include <string.h>

TEST(Raster, CreateRoundsDepthAndPadsRows) {
    const int in[] = {0, 2, 5, 9, 16, 32};
    const int out[] = {1, 4, 8, 24, 24, 24};
    for (int i = 0; i < 6; i++) {
        CRaster img(5, 3, in[i], 0);
        ASSERT_TRUE(img.IsValid());
        EXPECT_EQ(img.GetBpp(), out[i]) << in[i];
    }
    CRaster a(3, 2, 24, 0), b(3, 2, 1, 0), c(3, 2, 4, 0);
    EXPECT_EQ(a.GetRowStride(), 12);
    EXPECT_EQ(b.GetRowStride(), 4);
    EXPECT_EQ(b.GetPaletteCount(), 2);
    EXPECT_EQ(c.GetPaletteCount(), 16);
    EXPECT_EQ(a.GetPaletteCount(), 0);
    EXPECT_EQ(a.GetImageSize(), 24u);
    EXPECT_EQ(a.GetDibSize(), 64u);
    const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)a.GetDibBlock();
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biXPelsPerMeter, 3780);
}

TEST(Raster, CreateLimitsCountTheRealBlock) {
    CRaster img(0);
    EXPECT_EQ(img.Create(0, 5, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "CRaster::Create : width and height must be greater than zero");
    EXPECT_EQ(img.Create(32768, 32768, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    EXPECT_EQ(img.Create(-5, 5, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    // One pixel per row at 1 bit: width x height x bpp / 8 is tiny, but each
    // row takes 4 bytes and the block would wrap 32 bits.
    EXPECT_EQ(img.Create(1, 1 << 30, 1, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    EXPECT_EQ(img.Create(0x40000000, 4, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    // The limit is 512 MiB of pixels: 16384 x 16384 x 24 (768 MiB) is over it,
    // 8192 x 8192 x 24 (192 MiB) is not.
    EXPECT_EQ(img.Create(16384, 16384, 24, 0), nullptr);
    EXPECT_STREQ(img.GetLastError(), "RASTER_MAX_MEMORY exceeded");
    img.SetLastError("");
    if (!img.Create(8192, 8192, 24, 0)) {
        EXPECT_STREQ(img.GetLastError(), "CRaster::Create can't allocate memory");
    }
    img.Destroy();
}

TEST(Raster, NewBlocksAreZeroed) {
    for (int round = 0; round < 4; round++) {
        CRaster img(97, 31, 24, 0);
        ASSERT_TRUE(img.IsValid());
        for (uint32_t i = 0; i < img.GetImageSize(); i++)
            ASSERT_EQ(img.GetPixels()[i], 0) << "byte " << i << " round " << round;
        memset(img.GetPixels(), 0xAB, img.GetImageSize());  // the next block may reuse this memory
    }
}

TEST(Raster, AliasesNeverFree) {
    CRaster owner(4, 4, 8, 0);
    owner.SetPixelIndex(1, 1, 77);
    CRaster alias(0);
    alias.MakeAlias(&owner);
    EXPECT_EQ(alias.GetDibBlock(), owner.GetDibBlock());
    EXPECT_FALSE(alias.Destroy());
    EXPECT_FALSE(alias.DestroyFrames());
    EXPECT_EQ(alias.Create(2, 2, 8, 0), nullptr);
    EXPECT_EQ(alias.GetPixelIndex(1, 1), 77);
    EXPECT_EQ(owner.GetPixelIndex(1, 1), 77);
    // A copy of an alias is an alias too.
    CRaster copy(alias, true);
    EXPECT_EQ(copy.GetDibBlock(), owner.GetDibBlock());
}

TEST(Raster, AnAliasTakingOverLetsGoOfWhatItShowed) {
    CRaster owner(6, 4, 24, 0);
    owner.SetPixelColor(2, 1, RGBQUAD{10, 20, 30, 0});
    CRaster* frame = new CRaster(2, 2, 8, 0);
    ASSERT_TRUE(owner.AddFrame(frame));
    BYTE* ownerBlock = owner.GetDibBlock();
    CRaster alias(0);
    alias.MakeAlias(&owner);
    CRaster made(3, 3, 8, 0);
    made.SetPixelIndex(1, 1, 9);
    ASSERT_TRUE(alias.TakeOver(made));
    EXPECT_EQ(alias.Info().aliasOf, nullptr);
    EXPECT_EQ(alias.Width(), 3);
    EXPECT_EQ(alias.GetPixelIndex(1, 1), 9);
    EXPECT_EQ(alias.GetFrame(0), nullptr) << "the owner's frames stay the owner's";
    EXPECT_FALSE(made.IsValid());
    // The owner is as it was; the new owner frees its own block only.
    EXPECT_EQ(owner.GetDibBlock(), ownerBlock);
    EXPECT_EQ(owner.Width(), 6);
    EXPECT_EQ(owner.GetPixelColor(2, 1).rgbRed, 30);
    EXPECT_EQ(owner.GetFrame(0), frame);
}

TEST(Raster, TransformsOnAnAliasLeaveTheOriginalWhole) {
    CRaster owner(40, 30, 24, 0);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            owner.SetPixelColor(x, y, RGBQUAD{(BYTE)(x * 6), (BYTE)(y * 8), (BYTE)(x * y), 0});
    CRaster before(owner, true);
    RGBQUAD pal[4] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}};
    struct {
        const char* name;
        bool (*run)(CRaster*, const RGBQUAD*);
        int bpp;
    } cases[] = {
        {"diffusion onto a palette", [](CRaster* a, const RGBQUAD* p) { return a->DecreaseBpp(8, true, p, 4); }, 8},
        {"diffusion to 1 bit", [](CRaster* a, const RGBQUAD*) { return a->DecreaseBpp(1, true, nullptr, 0); }, 1},
        {"grey", [](CRaster* a, const RGBQUAD*) { return a->GrayScale(); }, 8},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRaster alias(0);
        alias.MakeAlias(&owner);
        ASSERT_TRUE(c.run(&alias, pal));
        EXPECT_EQ(alias.Info().aliasOf, nullptr);
        EXPECT_EQ(alias.GetBpp(), c.bpp);
        EXPECT_NE(alias.GetDibBlock(), owner.GetDibBlock());
        // The same transform on a copy gives the same pixels.
        CRaster copy(before, true);
        ASSERT_TRUE(c.run(&copy, pal));
        ASSERT_EQ(copy.GetDibSize(), alias.GetDibSize());
        EXPECT_EQ(memcmp(copy.GetPixels(), alias.GetPixels(), copy.GetImageSize()), 0);
        ASSERT_EQ(owner.GetDibSize(), before.GetDibSize());
        EXPECT_EQ(memcmp(owner.GetDibBlock(), before.GetDibBlock(), before.GetDibSize()), 0);
    }
}

TEST(Raster, TakeOverEmptiesTheSource) {
    CRaster src(6, 5, 24, kFormatBmp);
    src.SetLastError("boom");
    src.SetPixelColor(2, 3, RGBQUAD{1, 2, 3, 0});
    CRaster dst(2, 2, 8, 0);
    ASSERT_TRUE(dst.TakeOver(src));
    EXPECT_EQ(src.Width(), 0);
    EXPECT_EQ(src.GetFormatId(), 0u);
    EXPECT_STREQ(src.GetLastError(), "");
    EXPECT_FALSE(src.IsValid());
    EXPECT_EQ(dst.Width(), 6);
    EXPECT_EQ(dst.GetPixelColor(2, 3).rgbRed, 3);
}

TEST(Raster, CopySettingsCopiesOptionsOnly) {
    CRaster src(8, 8, 24, kFormatBmp);
    src.SetEscape(5);
    src.SetXDpi(150);
    src.SetJpegQuality(70);
    src.SetFormatOption(0x33, kFormatPng);
    CRaster dst(0);
    dst.CopySettings(src);
    EXPECT_EQ(dst.GetEscape(), 0u);
    EXPECT_EQ(dst.GetPixels(), nullptr);
    EXPECT_EQ(dst.Info().aliasOf, nullptr);
    EXPECT_EQ(dst.GetXDpi(), 150);
    EXPECT_EQ(dst.GetJpegQuality(), 70);
    EXPECT_EQ(dst.GetFormatOption(kFormatPng), 0x33u);
    EXPECT_EQ(dst.GetFormatId(), (uint32_t)kFormatBmp);
    // Only an image without pixels takes settings.
    CRaster full(2, 2, 24, 0);
    full.CopySettings(src);
    EXPECT_EQ(full.GetXDpi(), 96);
}

TEST(Raster, AccessorsAndOptionSlots) {
    CRaster img(3, 3, 8, 0);
    EXPECT_TRUE(img.SetFormatId(10));
    EXPECT_FALSE(img.SetFormatId(9));
    EXPECT_EQ(img.GetFormatId(), 0u);
    EXPECT_EQ(CRaster::FormatIndex(10), 9);
    EXPECT_EQ(CRaster::FormatIndex(9), 0);
    img.SetFormatOption(7, kFormatWmf);
    EXPECT_EQ(img.GetFormatOption(kFormatWmf), 7u);
    img.SetXDpi(0);
    EXPECT_EQ(img.GetXDpi(), 96);
    img.SetYDpi(300);
    EXPECT_EQ(((const BITMAPINFOHEADER*)img.GetDibBlock())->biYPelsPerMeter, 11811);
    // Transparent index: out-of-range values are refused.
    EXPECT_FALSE(img.SetTransparentIndex(300));
    EXPECT_EQ(img.GetTransparentIndex(), -1);
    EXPECT_TRUE(img.SetTransparentIndex(5));
    EXPECT_EQ(img.GetTransparentIndex(), 5);
    EXPECT_TRUE(img.SetTransparentIndex(-1));
    CRaster rgb(2, 2, 24, 0);
    EXPECT_FALSE(rgb.SetTransparentIndex(0));
    // Colours important follow the depth.
    CRaster one(2, 2, 1, 0);
    one.SetColorsImportant(200);
    EXPECT_EQ(one.GetColorsImportant(), 2);
    img.SetColorsImportant(300);
    EXPECT_EQ(img.GetColorsImportant(), 0);
}

TEST(Raster, PixelsAtEveryDepth) {
    for (int bpp : {1, 4, 8, 24}) {
        SCOPED_TRACE(bpp);
        CRaster img(11, 5, bpp, 0);
        img.SetStandardPalette();
        int maxIndex = bpp == 24 ? 0 : (1 << bpp) - 1;
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 11; x++) {
                if (bpp < 24)
                    img.SetPixelIndex(x, y, (BYTE)((x + 3 * y) & maxIndex));
                else
                    img.SetPixelColor(x, y, RGBQUAD{(BYTE)x, (BYTE)y, (BYTE)(x * y), 0});
            }
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 11; x++) {
                if (bpp < 24) {
                    ASSERT_EQ(img.GetPixelIndex(x, y), (x + 3 * y) & maxIndex);
                    RGBQUAD c = img.GetPixelColor(x, y);
                    RGBQUAD p = img.GetPaletteColor((x + 3 * y) & maxIndex);
                    ASSERT_EQ(c.rgbRed, p.rgbRed);
                } else {
                    RGBQUAD c = img.GetPixelColor(x, y);
                    ASSERT_EQ(c.rgbBlue, x);
                    ASSERT_EQ(c.rgbRed, x * y);
                }
            }
        // Outside writes do nothing; outside reads are neutral.
        img.SetPixelIndex(11, 0, 1);
        img.SetPixelColor(-1, 0, RGBQUAD{9, 9, 9, 0});
        EXPECT_EQ(img.GetRowPointer(5), nullptr);
        EXPECT_NE(img.GetRowPointer(4), nullptr);
    }
    // 1 bit: most significant bit first; 4 bits: high nibble first.
    CRaster one(9, 1, 1, 0);
    one.SetPixelIndex(0, 0, 1);
    one.SetPixelIndex(8, 0, 3);  // bit 0 only
    EXPECT_EQ(one.GetPixels()[0], 0x80);
    EXPECT_EQ(one.GetPixels()[1], 0x80);
    CRaster four(3, 1, 4, 0);
    four.SetPixelIndex(0, 0, 0x1A);  // low nibble only
    four.SetPixelIndex(1, 0, 0x3);
    EXPECT_EQ(four.GetPixels()[0], 0xA3);
    // Outside a 24-bit image without transparency: the colour of (0, 0).
    CRaster rgb(2, 2, 24, 0);
    rgb.SetPixelColor(0, 0, RGBQUAD{10, 20, 30, 0});
    EXPECT_EQ(rgb.GetPixelColor(5, 5).rgbGreen, 20);
    EXPECT_EQ(rgb.GetPixelPointer(1, 1) - rgb.GetPixels(), 8 + 3);  // stride 8, then one pixel
    rgb.SetPixelColorRef(1, 0, RGB(200, 100, 50));
    EXPECT_EQ(rgb.GetPixelColor(1, 0).rgbRed, 200);
    EXPECT_EQ(rgb.GetPixelColor(1, 0).rgbBlue, 50);
}

TEST(Raster, ClearIsSafeAndFillsByDepth) {
    CRaster empty(0);
    empty.Clear(5);  // no block: nothing happens
    CRaster one(8, 2, 1, 0), four(4, 2, 4, 0), eight(4, 2, 8, 0);
    one.Clear(7);
    four.Clear(0x35);
    eight.Clear(0x35);
    EXPECT_EQ(one.GetPixels()[0], 0xFF);
    EXPECT_EQ(four.GetPixels()[0], 0x55);
    EXPECT_EQ(eight.GetPixels()[0], 0x35);
}

TEST(Raster, PaletteAndNearestColourCache) {
    CRaster img(2, 2, 8, 0);
    for (int i = 0; i < 256; i++)
        img.SetPaletteColor(i, 255, 255, 255);
    img.SetPaletteColor(3, 10, 20, 30);
    img.SetPaletteColor(7, 10, 20, 30);
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 3) << "ties go to the lower index";
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 3);
    // Every palette change invalidates the cached answer.
    img.SetPaletteColor(3, 0, 0, 0);
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 7);
    RGBQUAD pal[8];
    for (int i = 0; i < 8; i++)
        pal[i] = RGBQUAD{30, 20, 10, 0};
    img.SetPalette(pal, 1);
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 0);
    img.GetPalette()[0] = RGBQUAD{0, 0, 0, 0};
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 7);
    img.SetColorsImportant(5);  // the search now stops before entry 7
    EXPECT_NE(img.NearestPaletteIndex(RGBQUAD{30, 20, 10, 0}), 7);
    img.SetColorsImportant(0);
    img.SetStandardPalette();
    EXPECT_EQ(img.NearestPaletteIndex(RGBQUAD{0, 0, 255, 0}), 249);  // FF0000 in the standard table
    // Grey palettes and their test.
    img.SetGrayPalette();
    EXPECT_TRUE(img.IsGrayScale());
    img.SetPaletteColor(9, 9, 9, 10);
    EXPECT_FALSE(img.IsGrayScale());
    CRaster four(2, 2, 4, 0);
    four.SetGrayPalette();
    EXPECT_EQ(four.GetPaletteColor(15).rgbRed, 255);
    EXPECT_EQ(four.GetPaletteColor(1).rgbRed, 17);
    EXPECT_EQ(four.GetPaletteColor(16).rgbRed, 0);
}

TEST(Raster, SwapIndexRewritesPixels) {
    CRaster img(3, 1, 4, 0);
    img.SetStandardPalette();
    img.SetPixelIndex(0, 0, 1);
    img.SetPixelIndex(1, 0, 2);
    img.SetPixelIndex(2, 0, 5);
    RGBQUAD c1 = img.GetPaletteColor(1);
    img.SwapIndex(1, 2);
    EXPECT_EQ(img.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(img.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(img.GetPixelIndex(2, 0), 5);
    EXPECT_EQ(img.GetPaletteColor(2).rgbRed, c1.rgbRed);
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, c1.rgbRed);
}

TEST(Raster, RowCursorRejectsOutOfRange) {
    CRaster img(5, 4, 24, 0);
    RowIterator it(&img);
    EXPECT_EQ(it.Pointer(), img.GetPixels());
    EXPECT_EQ(it.SetRow(4), img.GetPixels() + 4 * img.GetRowStride());
    EXPECT_EQ(it.SetRow(5), nullptr);
    EXPECT_EQ(it.SetRow(-1), nullptr);
    EXPECT_EQ(it.GetRow(), 4);
    BYTE row[64];
    memset(row, 0x5A, sizeof(row));
    EXPECT_FALSE(it.WriteRow(row, 64)) << "no row past the last one";
    it.MoveToTop();
    EXPECT_EQ(it.GetRow(), 3);
    EXPECT_TRUE(it.WriteRow(row, 64));  // cut to one stride
    EXPECT_EQ(img.GetRowPointer(3)[img.GetRowStride() - 1], 0x5A);
    EXPECT_EQ(img.GetRowPointer(2)[0], 0);
    while (it.MoveDown()) {
    }
    EXPECT_EQ(it.GetRow(), 0);
    EXPECT_FALSE(it.MoveDown());
}

TEST(Raster, ByteOrderAndSwaps) {
    CRaster img(2, 1, 24, 0);
    EXPECT_EQ(img.Swap32(0x11223344), 0x11223344u);
    img.Info().littleEndianHost = 0;
    EXPECT_EQ(img.Swap32(0x11223344), 0x44332211u);
    EXPECT_EQ(img.Swap16(0x1122), 0x2211);
    EXPECT_EQ(CRaster::SwapRgb(0xAA112233), 0x00332211u);
    BYTE row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    img.SwapRedBlueRow(row, 8);  // cut to 3 x width = 6 bytes
    const BYTE want[8] = {3, 2, 1, 6, 5, 4, 7, 8};
    EXPECT_EQ(memcmp(row, want, 8), 0);
}
