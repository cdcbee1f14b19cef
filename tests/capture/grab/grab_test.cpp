// The grab as one change of the image: however many steps a capture takes
// (clearing, the picture, the conversion to the default colour mode), the
// listeners hear of it once, when the new image is complete. And the grab
// from the overlay's frozen rows in memory gives what the grab from a
// screen bitmap gives.
#include "capture/grab/grab.h"

#include <gtest/gtest.h>
#include <string.h>

#include "capture/capture_test_util.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"

namespace {

int gHeard = 0;
int gHeardWidth = -1, gHeardMode = -1;
void Hear() {
    gHeard++;
    gHeardWidth = gImage.Width();
    gHeardMode = gColorMode;
}

}  // namespace

TEST(Grab, ACaptureIsAnnouncedOnceWhenItIsComplete) {
    InitCaptureApp();
    HDC screen = GetDC(nullptr);
    HDC picture = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 40, 30);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(picture && bmp);
    HGDIOBJ old = SelectObject(picture, bmp);
    RECT all = {0, 0, 40, 30};
    FillRect(picture, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    ASSERT_TRUE(AddImageListener(Hear));
    for (int mode : {kColorOriginal, kColorGrey, kColor16}) {
        SCOPED_TRACE(mode);
        gOpt.DefColMode = mode;
        gHeard = 0;
        RECT sel = {5, 5, 24, 14};  // inclusive: 20 x 10
        ASSERT_TRUE(GrabSelection(picture, sel));
        EXPECT_EQ(gImage.Width(), 20);
        EXPECT_EQ(gImage.Height(), 10);
        EXPECT_EQ(gHeard, 1);
        EXPECT_EQ(gHeardWidth, 20) << "heard once the picture was in";
        EXPECT_EQ(gHeardMode, gColorMode) << "and converted";
    }
    RemoveImageListener(Hear);
    SelectObject(picture, old);
    DeleteObject(bmp);
    DeleteDC(picture);
}

// The grab reads the overlay's frozen pixels in place (top-down 32-bit
// rows): for any rectangle the image is the one a grab from a
// screen-format bitmap of the same picture gives, to the byte, in true
// colour and after a conversion.
TEST(Grab, FromFrozenRowsAsFromAScreenBitmap) {
    InitCaptureApp();
    const int w = 61, h = 37;
    HDC screen = GetDC(nullptr);
    HDC ref = CreateCompatibleDC(screen);
    HBITMAP refBmp = CreateCompatibleBitmap(screen, w, h);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC picture = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(ref && refBmp && dib && picture);
    SelectObject(ref, refBmp);
    SelectObject(picture, dib);
    for (int y = 0; y < h; y++)  // no row or column like another
        for (int x = 0; x < w; x++)
            SetPixel(ref, x, y, RGB(x * 7 + y, y * 5 + 3 * x, (x ^ y) * 3));
    BitBlt(picture, 0, 0, w, h, ref, 0, 0, SRCCOPY);
    FrozenRows rows = {(const BYTE*)bits, w, h, w * 4};
    const RECT sels[] = {{0, 0, w - 1, h - 1}, {3, 2, 40, 30}, {w - 1, h - 1, w - 1, h - 1}, {10, 0, 10, h - 1}};
    for (const RECT& sel : sels) {
        for (int mode : {kColorOriginal, kColor256}) {
            SCOPED_TRACE(testing::Message() << "sel " << sel.left << "," << sel.top << "," << sel.right << ","
                                            << sel.bottom << " mode " << mode);
            gOpt.DefColMode = mode;
            ASSERT_TRUE(GrabSelection(ref, sel));
            CRaster expected(gImage, true);
            ASSERT_TRUE(GrabSelection(picture, sel, &rows));
            EXPECT_EQ(gImage.Width(), sel.right + 1 - sel.left);
            EXPECT_EQ(gImage.Height(), sel.bottom + 1 - sel.top);
            ASSERT_EQ(gImage.GetDibSize(), expected.GetDibSize());
            EXPECT_EQ(memcmp(gImage.GetDibBlock(), expected.GetDibBlock(), expected.GetDibSize()), 0);
        }
    }
    // A rectangle outside the rows is read from the picture instead.
    FrozenRows small = {(const BYTE*)bits, 20, 20, w * 4};
    gOpt.DefColMode = kColorOriginal;
    ASSERT_TRUE(GrabSelection(ref, RECT{5, 5, 30, 30}));
    CRaster expected(gImage, true);
    ASSERT_TRUE(GrabSelection(picture, RECT{5, 5, 30, 30}, &small));
    ASSERT_EQ(gImage.GetDibSize(), expected.GetDibSize());
    EXPECT_EQ(memcmp(gImage.GetDibBlock(), expected.GetDibBlock(), expected.GetDibSize()), 0);
    DeleteDC(picture);
    DeleteObject(dib);
    DeleteDC(ref);
    DeleteObject(refBmp);
}
