// Windows bitmap bridges under Wine: GDI bitmaps of 16 and 32 bits become
// images with the pixels drawn; the clipboard DIB round-trips; GDI text
// masks and palette handles.
#include <gtest/gtest.h>
#include <string.h>

#include "image/image.h"
#include "image_test_util.h"

namespace {

// Draws a known pattern into a bitmap of the given depth and returns it.
HBITMAP DrawBitmap(int w, int h, int bpp) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp;
    if (bpp == 0) {
        bmp = CreateCompatibleBitmap(screen, w, h);
    } else {  // a screen of another depth: a section of that depth
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = 40;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = (WORD)bpp;
        void* bits = nullptr;
        bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all = {0, 0, w, h};
    HBRUSH white = CreateSolidBrush(RGB(248, 248, 248));
    FillRect(mem, &all, white);
    DeleteObject(white);
    RECT r1 = {0, 0, 3, 2};  // top-left: red
    HBRUSH red = CreateSolidBrush(RGB(248, 0, 0));
    FillRect(mem, &r1, red);
    DeleteObject(red);
    RECT r2 = {w - 4, h - 3, w, h};  // bottom-right: blue
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 248));
    FillRect(mem, &r2, blue);
    DeleteObject(blue);
    SetPixel(mem, 5, 4, RGB(0, 200, 0));
    GdiFlush();
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return bmp;
}

// Top-down check of the drawn pattern.
// tol: 16-bit pixels keep 5 or 6 bits, widened as GDI does.
void CheckPattern(const CRaster& img, int w, int h, int tol) {
    ASSERT_EQ(img.Width(), w);
    ASSERT_EQ(img.Height(), h);
    ASSERT_EQ(img.GetBpp(), 24);
    Rgb rgb = RgbOf(img);
    auto at = [&](int x, int y) { return rgb.At(x, y); };
    EXPECT_NEAR(at(0, 0)[0], 248, tol);
    EXPECT_NEAR(at(0, 0)[1], 0, tol);
    EXPECT_NEAR(at(2, 1)[0], 248, tol);
    EXPECT_NEAR(at(3, 1)[0], 248, tol);
    EXPECT_NEAR(at(3, 1)[1], 248, tol);
    EXPECT_NEAR(at(w - 1, h - 1)[2], 248, tol);
    EXPECT_NEAR(at(w - 1, h - 1)[0], 0, tol);
    EXPECT_NEAR(at(w - 5, h - 1)[0], 248, tol);
    const uint8_t* g = at(5, 4);
    EXPECT_NEAR(g[0], 0, tol);
    EXPECT_NEAR(g[2], 0, tol);
    EXPECT_NEAR(g[1], 200, tol);
}

}  // namespace

TEST(Bridges, ScreenBitmapsBecomeImages) {
    const int w = 37, h = 11;
    HBITMAP screenBmp = DrawBitmap(w, h, 0);  // the screen's depth (32 under Xvfb at 24)
    BITMAP bm;
    ASSERT_TRUE(GetObjectA(screenBmp, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmBitsPixel, 32);
    CRaster img(0);
    ASSERT_TRUE(img.CreateFromBitmapHandle(screenBmp, nullptr, false)) << img.GetLastError();
    CheckPattern(img, w, h, 0);
    // Fourth bytes all zero: the normal path even with use-alpha.
    EXPECT_FALSE(CRaster::BitmapHasAlpha(screenBmp));
    CRaster img2(0);
    ASSERT_TRUE(img2.CreateFromBitmapHandle(screenBmp, nullptr, true));
    CheckPattern(img2, w, h, 0);
    DeleteObject(screenBmp);

    HBITMAP b16 = DrawBitmap(w, h, 16);
    ASSERT_TRUE(GetObjectA(b16, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmBitsPixel, 16);
    CRaster img16(0);
    ASSERT_TRUE(img16.CreateFromBitmapHandle(b16, nullptr, false)) << img16.GetLastError();
    CheckPattern(img16, w, h, 7);
    DeleteObject(b16);

    // A 32-bit section with alpha takes the pixel path and drops the fourth byte.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = 2;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP sec = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(sec, nullptr);
    uint32_t* px = (uint32_t*)bits;
    for (int i = 0; i < 8; i++)
        px[i] = 0x80000000u | (uint32_t)(i * 0x10203);
    GdiFlush();
    EXPECT_TRUE(CRaster::BitmapHasAlpha(sec));
    CRaster a(0);
    ASSERT_TRUE(a.CreateFromBitmapHandle(sec, nullptr, true));
    EXPECT_EQ(a.GetBpp(), 24);
    EXPECT_EQ(a.GetPixelColor(3, 0).rgbBlue, 9);  // 3 * 0x10203: blue 9
    EXPECT_EQ(a.GetPixelColor(3, 0).rgbGreen, 6);
    EXPECT_EQ(a.GetPixelColor(3, 1).rgbRed, 7);
    DeleteObject(sec);
    CRaster none(0);
    EXPECT_FALSE(none.CreateFromBitmapHandle(nullptr, nullptr, false));
}

TEST(Bridges, CreateFromPixels) {
    const BYTE rows[2][8] = {{1, 2, 3, 0, 4, 5, 6, 0}, {7, 8, 9, 0, 10, 11, 12, 0}};
    CRaster img(0);
    ASSERT_TRUE(img.CreateFromPixels(&rows[0][0], 2, 2, 32, 8, true));
    EXPECT_EQ(img.GetPixelColor(0, 1).rgbBlue, 1) << "with flip the first row is the top";
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 12);
    ASSERT_TRUE(img.CreateFromPixels(&rows[0][0], 8, 2, 8, 8, false));
    EXPECT_TRUE(img.IsGrayScale());
    EXPECT_EQ(img.GetPixelIndex(2, 1), 9);
    EXPECT_FALSE(img.CreateFromPixels(&rows[0][0], 2, 2, 16, 8, false));
    EXPECT_FALSE(img.CreateFromPixels(nullptr, 2, 2, 24, 8, false));
}

TEST(Bridges, ClipboardDibRoundTrips) {
    CRaster empty(0);
    EXPECT_EQ(empty.CopyToGlobalHandle(), nullptr);
    for (int bpp : {24, 8, 4, 1}) {
        SCOPED_TRACE(bpp);
        CRaster img(0);
        ASSERT_TRUE(ImageOf(MakePicture(37, 13, 9), &img));
        if (bpp < 24) {
            ASSERT_TRUE(img.DecreaseBpp(bpp, false));
        }
        HGLOBAL h = img.CopyToGlobalHandle();
        ASSERT_NE(h, nullptr);
        ASSERT_TRUE(OpenClipboard(nullptr));
        ASSERT_TRUE(EmptyClipboard());
        ASSERT_NE(SetClipboardData(CF_DIB, h), nullptr);
        CloseClipboard();

        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE got = GetClipboardData(CF_DIB);
        ASSERT_NE(got, nullptr);
        const BYTE* p = (const BYTE*)GlobalLock(got);
        ASSERT_NE(p, nullptr);
        EXPECT_GE(GlobalSize(got), img.GetDibSize());
        EXPECT_EQ(memcmp(p, img.GetDibBlock(), img.GetDibSize()), 0);
        GlobalUnlock(got);
        // Windows' own bitmap made from our DIB carries the same pixels.
        HBITMAP bmp = (HBITMAP)GetClipboardData(CF_BITMAP);
        CloseClipboard();
        ASSERT_NE(bmp, nullptr);
        CRaster back(0);
        ASSERT_TRUE(back.CreateFromBitmapHandle(bmp, nullptr, false));
        EXPECT_EQ(CountDiff(RgbOf(back), RgbOf(img)), 0);
    }
}

TEST(Bridges, TextMaskAndPaletteHandle) {
    TextMask mask{nullptr, 0, 0};
    CImage img;
    ASSERT_TRUE(img.Create(200, 60, 24, 0));
    img.BeginPaint(&mask, 0, 0, 199, 59);
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    ASSERT_EQ(img.RenderTextMask("Hello", font, 2), 0);
    ASSERT_NE(mask.mask, nullptr);
    EXPECT_GT(mask.width, 20);
    EXPECT_GT(mask.height, 8);
    int dark = 0;
    for (int i = 0; i < mask.width * mask.height; i++)
        dark += mask.mask[i] < 128;
    EXPECT_GT(dark, 2 * (mask.width + mask.height)) << "frame and text are black";
    EXPECT_EQ(mask.mask[0], 0) << "the frame";
    EXPECT_EQ(mask.mask[2 * mask.width + 2], 255) << "inside the frame, away from the text";
    memset(img.GetPixels(), 255, img.GetImageSize());
    img.SetPenColor(0, 1, 0xFF000000);
    img.DrawTextMask(0, 0, 0, 0);
    EXPECT_TRUE(img.IsModified());
    EXPECT_EQ(img.GetPixelColor(0, 59).rgbRed, 0);
    free(mask.mask);

    CImage pal;
    ASSERT_TRUE(pal.Create(2, 2, 4, 0));
    pal.SetStandardPalette();
    HPALETTE hp = pal.CreatePaletteHandle();
    ASSERT_NE(hp, nullptr);
    PALETTEENTRY e[16];
    EXPECT_EQ(GetPaletteEntries(hp, 0, 16, e), 16u);
    EXPECT_EQ(e[9].peRed, 255);
    EXPECT_EQ(e[9].peGreen, 0);
    EXPECT_EQ(e[1].peRed, 0x80);
    DeleteObject(hp);
    CImage rgb;
    ASSERT_TRUE(rgb.Create(2, 2, 24, 0));
    EXPECT_EQ(rgb.CreatePaletteHandle(), nullptr);
}
