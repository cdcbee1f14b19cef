// The frozen picture of the overlay under Wine/Xvfb: what the overlay shows
// is the screen as it was, pixel for pixel (read back from the overlay and
// from the screen), a partial repaint restores exactly the invalid part,
// and the grab gives the screen's pixels and, in every colour mode, the
// image a grab from a fresh copy of the screen gives. The test display has
// one monitor at (0, 0) and 24-bit colour: a virtual screen with another
// origin and palette or 16-bit screens are not reachable here.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "capture/capture_test_util.h"
#include "capture/grab/grab.h"
#include "capture/grab/overlay.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"

namespace {

// The pixels of a device context as 0x00RRGGBB, top-down.
struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> px;
    DWORD At(int x, int y) const { return px[(size_t)y * width + x] & 0xFFFFFF; }
};

// A top-down 32-bit DIB section; its bits in *bits.
HBITMAP TopDownDib32(HDC dc, int width, int height, void** bits) {
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

Pixels ReadPixels(HDC from, int x, int y, int width, int height) {
    Pixels p;
    p.width = width;
    p.height = height;
    void* bits = nullptr;
    HBITMAP dib = TopDownDib32(from, width, height, &bits);
    HDC mem = CreateCompatibleDC(from);
    if (dib && mem) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, width, height, from, x, y, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        p.px.assign((const DWORD*)bits, (const DWORD*)bits + (size_t)width * height);
        SelectObject(mem, old);
    }
    if (mem)
        DeleteDC(mem);
    if (dib)
        DeleteObject(dib);
    return p;
}

Pixels ReadScreen() {
    HDC screen = GetDC(nullptr);
    Pixels p = ReadPixels(screen, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                          GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    ReleaseDC(nullptr, screen);
    return p;
}

// Mismatches of got against want within the rectangle r; the first one
// described in *where.
int CountDiff(const Pixels& want, const Pixels& got, const RECT& r, std::string* where) {
    if (want.width != got.width || want.height != got.height || got.px.empty()) {
        *where = "sizes differ or nothing read";
        return -1;
    }
    int n = 0;
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            if (want.At(x, y) != got.At(x, y) && n++ == 0) {
                char t[96];
                snprintf(t, sizeof t, "(%d,%d): want %06lx, got %06lx", x, y, (unsigned long)want.At(x, y),
                         (unsigned long)got.At(x, y));
                *where = t;
            }
    return n;
}

class FrozenPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        gOpt.MouseCursor = 0;  // the cursor drawn in would differ from the screen read
        // Odd sizes at odd places, and two plain colours beside.
        pattern = ShowPatternWindow(37, 53, 101, 67);
        red = ShowColorWindow(171, 29, 13, 7, RGB(255, 0, 0), true);
        blue = ShowColorWindow(139, 121, 3, 45, RGB(0, 0, 255), true);
        ASSERT_TRUE(pattern && red && blue);
        PumpFor(200);
        all = RECT{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    }
    void TearDown() override {
        if (gOverlay)
            DestroyWindow(gOverlay);
        for (HWND w : {pattern, red, blue})
            if (IsWindow(w))
                DestroyWindow(w);
        PumpFor(50);
    }
    // The pattern window's pixels really are on the screen read.
    void ExpectPatternIn(const Pixels& screen) {
        int ox = GetSystemMetrics(SM_XVIRTUALSCREEN), oy = GetSystemMetrics(SM_YVIRTUALSCREEN);
        int n = 0;
        for (int y = 0; y < 67; y++)
            for (int x = 0; x < 101; x++) {
                COLORREF c = PatternColor(x, y);
                DWORD want = (DWORD)GetRValue(c) << 16 | (DWORD)GetGValue(c) << 8 | GetBValue(c);
                n += screen.At(37 - ox + x, 53 - oy + y) != want;
            }
        EXPECT_EQ(n, 0);
    }

    HWND pattern = nullptr, red = nullptr, blue = nullptr;
    RECT all = {0, 0, 0, 0};
};

TEST_F(FrozenPictureTest, OverlayShowsTheScreenAndRepaintsItsInvalidPart) {
    Pixels before = ReadScreen();
    ExpectPatternIn(before);
    gOpt.CapMode = kCapRectangle;
    StartCapture();
    ASSERT_TRUE(gOverlay);
    UpdateWindow(gOverlay);
    std::string where;
    HDC dc = GetWindowDC(gOverlay);
    EXPECT_EQ(CountDiff(before, ReadPixels(dc, 0, 0, before.width, before.height), all, &where), 0) << where;

    // Scribbles over an odd part, then only that part invalid: it gets the
    // frozen pixels back, the scribble outside it stays.
    HBRUSH scribble = CreateSolidBrush(RGB(1, 254, 3));
    HGDIOBJ oldBrush = SelectObject(dc, scribble);
    PatBlt(dc, 20, 30, 151, 97, PATCOPY);
    RECT part = {21, 33, 170, 126};
    InvalidateRect(gOverlay, &part, FALSE);
    UpdateWindow(gOverlay);
    Pixels repainted = ReadPixels(dc, 0, 0, before.width, before.height);
    EXPECT_EQ(CountDiff(before, repainted, part, &where), 0) << where;
    EXPECT_EQ(repainted.At(20, 30), 0x01FE03u) << "painted outside the invalid part";
    EXPECT_EQ(repainted.At(170, 126), 0x01FE03u) << "painted outside the invalid part";
    PatBlt(dc, 20, 30, 151, 97, PATCOPY);
    SelectObject(dc, oldBrush);
    DeleteObject(scribble);
    InvalidateRect(gOverlay, nullptr, FALSE);
    UpdateWindow(gOverlay);
    ReleaseDC(gOverlay, dc);

    // And the screen shows it: the overlay's pixels are what the display has.
    PumpFor(300);
    EXPECT_EQ(CountDiff(before, ReadScreen(), all, &where), 0) << where;
    StartCapture();  // closes it
    EXPECT_FALSE(gOverlay);
}

TEST_F(FrozenPictureTest, GrabGivesTheScreenInEveryColourMode) {
    gOpt.CapMode = kCapScreen;
    for (int mode = kColorBlackWhite; mode <= kColorOriginal; mode++) {
        SCOPED_TRACE(mode);
        Pixels before = ReadScreen();
        gOpt.DefColMode = mode;
        StartCapture();
        ASSERT_TRUE(PumpUntil([] { return gOverlay == nullptr; }, 15000));
        ASSERT_TRUE(gImage.IsValid());
        CRaster fromOverlay(gImage);
        if (mode == kColorTrue || mode == kColorOriginal) {
            // True colour: the screen itself, every pixel.
            Pixels image;
            image.width = gImage.Width();
            image.height = gImage.Height();
            for (int y = 0; y < image.height; y++)
                for (int x = 0; x < image.width; x++) {
                    COLORREF c = PixelAt(gImage, x, y);
                    image.px.push_back((DWORD)GetRValue(c) << 16 | (DWORD)GetGValue(c) << 8 | GetBValue(c));
                }
            std::string where;
            EXPECT_EQ(CountDiff(before, image, all, &where), 0) << where;
        }
        // The same grab from a compatible bitmap of the same screen: the
        // image (header, palette and pixels) is the same to the byte.
        HDC screen = GetDC(nullptr);
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, all.right, all.bottom);
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, all.right, all.bottom, screen, GetSystemMetrics(SM_XVIRTUALSCREEN),
               GetSystemMetrics(SM_YVIRTUALSCREEN), SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, screen);
        ASSERT_TRUE(GrabSelection(mem, RECT{0, 0, all.right - 1, all.bottom - 1}));
        SelectObject(mem, old);
        DeleteObject(bmp);
        DeleteDC(mem);
        ASSERT_EQ(gImage.GetDibSize(), fromOverlay.GetDibSize());
        EXPECT_EQ(memcmp(gImage.GetDibBlock(), fromOverlay.GetDibBlock(), gImage.GetDibSize()), 0);
    }
}

}  // namespace
