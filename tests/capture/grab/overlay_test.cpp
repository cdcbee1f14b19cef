// The capture overlay under Wine/Xvfb: a window with a known pattern, the
// overlay opened in this process and the mouse and keyboard driven with
// SendInput from a helper thread; the picked image is compared with the
// pattern pixel by pixel. Also the size label's placement rules.
#include "capture/grab/overlay.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "capture/capture_test_util.h"
#include "capture/gdi_objects.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"

namespace {

const int kPx = 100, kPy = 120, kPw = 200, kPh = 150;  // the pattern window

class OverlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        ox = GetSystemMetrics(SM_XVIRTUALSCREEN);
        oy = GetSystemMetrics(SM_YVIRTUALSCREEN);
        pattern = ShowPatternWindow(kPx, kPy, kPw, kPh);
        ASSERT_TRUE(pattern);
        SetMarkerImage();
    }
    void TearDown() override {
        if (gOverlay)
            DestroyWindow(gOverlay);
        if (IsWindow(pattern))
            DestroyWindow(pattern);
        PumpFor(50);
    }
    // A 3 x 3 image that no capture yields.
    void SetMarkerImage() {
        gImage.Create(3, 3, 24, 0);
        gColorMode = 5;
    }
    bool IsMarker() const { return gImage.Width() == 3 && gImage.Height() == 3; }

    // One capture: StartCapture on this thread, drive() on a helper thread
    // once the overlay shows. True when the overlay closed.
    bool RunCapture(const std::function<void()>& drive) {
        StartCapture();
        HWND ov = gOverlay;
        if (!ov)
            return false;
        std::thread driver([&] {
            for (int i = 0; i < 100 && !IsWindowVisible(ov); i++)
                Sleep(20);
            Sleep(300);
            drive();
        });
        bool closed = PumpUntil([] { return gOverlay == nullptr; }, 15000);
        driver.join();
        if (!closed && gOverlay)
            DestroyWindow(gOverlay);
        return closed;
    }
    // Drag in pattern coordinates.
    void Drag(int x1, int y1, int x2, int y2) {
        MouseTo(kPx + x1, kPy + y1);
        MouseButton(true, true);
        MouseTo(kPx + (x1 + x2) / 2, kPy + (y1 + y2) / 2);
        MouseTo(kPx + x2, kPy + y2);
        MouseButton(true, false);
    }
    void ExpectPattern(int x, int y, int w, int h) {
        ASSERT_TRUE(gImage.IsValid());
        ASSERT_EQ(gImage.Width(), w);
        ASSERT_EQ(gImage.Height(), h);
        std::string where;
        EXPECT_EQ(CountPatternDiff(gImage, x, y, &where), 0) << where;
    }

    int ox = 0, oy = 0;
    HWND pattern = nullptr;
};

TEST_F(OverlayTest, DragPicksTheRectangleInBothDirections) {
    gOpt.CapMode = kCapRectangle;
    ASSERT_TRUE(RunCapture([&] { Drag(10, 5, 50, 30); }));
    ExpectPattern(10, 5, 41, 26);
    EXPECT_EQ(gColorMode, ScreenColorMode());
    EXPECT_STREQ(gImageName, "(Unnamed)");

    // Towards the upper left: the same inclusive rectangle between the points.
    SetMarkerImage();
    ASSERT_TRUE(RunCapture([&] { Drag(160, 140, 120, 130); }));
    ExpectPattern(120, 130, 41, 11);
}

TEST_F(OverlayTest, ClickMoveClickPicksBetweenTheClicks) {
    gOpt.CapMode = kCapRectangle;
    ASSERT_TRUE(RunCapture([&] {
        Click(kPx + 30, kPy + 20);
        Sleep(200);
        MouseTo(kPx + 70, kPy + 90);
        MouseTo(kPx + 90, kPy + 100);
        Click(kPx + 90, kPy + 100);
    }));
    ExpectPattern(30, 20, 61, 81);
}

TEST_F(OverlayTest, ReleaseWithoutPressIsIgnored) {
    gOpt.CapMode = kCapRectangle;
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 5, kPy + 5);
        MouseButton(true, false);  // the release of a click made before the overlay opened
        MouseTo(kPx + 40, kPy + 40);
        MouseTo(kPx + 60, kPy + 50);
        MouseButton(true, true);
        MouseTo(kPx + 100, kPy + 80);
        MouseButton(true, false);
    }));
    ExpectPattern(60, 50, 41, 31);
}

TEST_F(OverlayTest, EscapeCancelsWithoutGrab) {
    gOpt.CapMode = kCapRectangle;
    ASSERT_TRUE(RunCapture([&] { Key(VK_ESCAPE); }));
    EXPECT_TRUE(IsMarker());
    // During a drag as well.
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 5, kPy + 5);
        MouseButton(true, true);
        MouseTo(kPx + 50, kPy + 50);
        Key(VK_ESCAPE);
        MouseButton(true, false);
    }));
    EXPECT_TRUE(IsMarker());
    // A second StartCapture closes the open overlay without a grab.
    StartCapture();
    ASSERT_TRUE(gOverlay);
    PumpFor(200);
    StartCapture();
    EXPECT_FALSE(gOverlay);
    EXPECT_TRUE(IsMarker());
}

TEST_F(OverlayTest, WindowShownAfterTheFreezeIsNotInTheImage) {
    gOpt.CapMode = kCapRectangle;
    StartCapture();
    ASSERT_TRUE(gOverlay);
    HWND ov = gOverlay;
    PumpFor(200);
    // A topmost window that appears over the overlay during the pick.
    HWND intruder = ShowColorWindow(kPx + 20, kPy + 15, 30, 20, RGB(255, 0, 0), true);
    std::thread driver([&] { Drag(5, 3, 90, 70); });
    PumpUntil([] { return gOverlay == nullptr; }, 15000);
    driver.join();
    if (IsWindow(ov))
        DestroyWindow(ov);
    DestroyWindow(intruder);
    ExpectPattern(5, 3, 86, 68);
}

TEST_F(OverlayTest, PickIsCompletedOutsideThePaint) {
    gOpt.CapMode = kCapScreen;
    StartCapture();
    HWND ov = gOverlay;
    ASSERT_TRUE(ov);
    UpdateWindow(ov);  // the first WM_PAINT, synchronously
    EXPECT_EQ(gOverlay, ov) << "the overlay closed inside its own WM_PAINT";
    EXPECT_TRUE(IsMarker()) << "the grab ran inside WM_PAINT";
    ASSERT_TRUE(PumpUntil([] { return gOverlay == nullptr; }, 10000));
    EXPECT_EQ(gImage.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
}

TEST_F(OverlayTest, WholeScreenAndActiveWindowModes) {
    gOpt.CapMode = kCapScreen;
    ASSERT_TRUE(RunCapture([] {}));
    ASSERT_EQ(gImage.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    ASSERT_EQ(gImage.Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    int diff = 0;
    for (int y = 0; y < kPh; y++)
        for (int x = 0; x < kPw; x++)
            diff += PixelAt(gImage, kPx - ox + x, kPy - oy + y) != PatternColor(x, y);
    EXPECT_EQ(diff, 0);

    gOpt.CapMode = kCapActiveWindow;
    SetForegroundWindow(pattern);
    PumpFor(100);
    ASSERT_EQ(GetForegroundWindow(), pattern);
    ASSERT_TRUE(RunCapture([] {}));
    ExpectPattern(0, 0, kPw, kPh);
    EXPECT_EQ(gOpt.CapMode, kCapActiveWindow);

    // A foreground window with nothing on the screen gives the whole screen.
    SetWindowPos(pattern, nullptr, -5000, -5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetForegroundWindow(pattern);
    PumpFor(100);
    SetMarkerImage();
    ASSERT_TRUE(RunCapture([] {}));
    EXPECT_EQ(gImage.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(gImage.Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));

    // No foreground window at all: the whole screen as well.
    DestroyWindow(pattern);
    PumpFor(200);
    if (GetForegroundWindow() != nullptr)
        GTEST_SKIP() << "another window holds the foreground here";
    SetMarkerImage();
    ASSERT_TRUE(RunCapture([] {}));
    EXPECT_EQ(gImage.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(gImage.Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TEST_F(OverlayTest, WindowModePicksTheWindowUnderTheCursor) {
    gOpt.CapMode = kCapWindow;
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 50, kPy + 60);
        MouseTo(kPx + 52, kPy + 61);
        Click(kPx + 52, kPy + 61);
    }));
    ExpectPattern(0, 0, kPw, kPh);

    // The deepest child under the cursor.
    const COLORREF green = RGB(0, 200, 0);
    ASSERT_TRUE(AddColorChild(pattern, 30, 40, 50, 20, green));
    SetMarkerImage();
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 50, kPy + 45);
        MouseTo(kPx + 51, kPy + 46);
        Click(kPx + 51, kPy + 46);
    }));
    ASSERT_EQ(gImage.Width(), 50);
    ASSERT_EQ(gImage.Height(), 20);
    EXPECT_EQ(PixelAt(gImage, 0, 0), green);
    EXPECT_EQ(PixelAt(gImage, 49, 19), green);
}

TEST_F(OverlayTest, RightButtonSwitchesModes) {
    // Window mode -> rectangle mode, which a drag then uses.
    gOpt.CapMode = kCapWindow;
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 50, kPy + 60);
        MouseTo(kPx + 51, kPy + 60);
        MouseButton(false, true);
        MouseButton(false, false);
        Drag(20, 30, 60, 50);
    }));
    EXPECT_EQ(gOpt.CapMode, kCapRectangle);
    ExpectPattern(20, 30, 41, 21);

    // Rectangle mode -> window mode.
    SetMarkerImage();
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 50, kPy + 60);
        MouseButton(false, true);
        MouseButton(false, false);
        MouseTo(kPx + 51, kPy + 61);
        Click(kPx + 51, kPy + 61);
    }));
    EXPECT_EQ(gOpt.CapMode, kCapWindow);
    ExpectPattern(0, 0, kPw, kPh);
}

// The clipboard's CF_DIB as width, height, depth and a copy of its block.
bool ReadClipboardDib(int* w, int* h, int* bpp, std::string* block) {
    if (!OpenClipboard(nullptr))
        return false;
    bool ok = false;
    HGLOBAL g = GetClipboardData(CF_DIB);
    if (g) {
        const BITMAPINFOHEADER* bi = (const BITMAPINFOHEADER*)GlobalLock(g);
        if (bi) {
            *w = bi->biWidth, *h = bi->biHeight, *bpp = bi->biBitCount;
            block->assign((const char*)bi, GlobalSize(g));
            GlobalUnlock(g);
            ok = true;
        }
    }
    CloseClipboard();
    return ok;
}

void EmptyTheClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

TEST_F(OverlayTest, LettersPickTheAction) {
    gOpt.CapMode = kCapRectangle;
    EmptyTheClipboard();
    ASSERT_TRUE(RunCapture([&] {
        MouseTo(kPx + 10, kPy + 10);
        MouseButton(true, true);
        MouseTo(kPx + 60, kPy + 40);
        Key('C');
        MouseButton(true, false);
    }));
    ExpectPattern(10, 10, 51, 31);
    int w = 0, h = 0, bpp = 0;
    std::string block;
    ASSERT_TRUE(ReadClipboardDib(&w, &h, &bpp, &block));
    EXPECT_EQ(w, 51);
    EXPECT_EQ(h, 31);
    EXPECT_EQ(bpp, 24);
    ASSERT_GE(block.size(), gImage.GetDibSize());
    EXPECT_EQ(
        block.compare(0, gImage.GetDibSize(), std::string((const char*)gImage.GetDibBlock(), gImage.GetDibSize())), 0);

    // The last character counts: "c" then "x" leaves no action; "C" is not "c".
    for (int round = 0; round < 2; round++) {
        EmptyTheClipboard();
        ASSERT_TRUE(RunCapture([&] {
            MouseTo(kPx + 10, kPy + 10);
            MouseButton(true, true);
            MouseTo(kPx + 40, kPy + 30);
            if (round == 0) {
                Key('C');
                Key('X');
            } else {
                Key('C', true);
            }
            MouseButton(true, false);
        }));
        ExpectPattern(10, 10, 31, 21);
        EXPECT_FALSE(ReadClipboardDib(&w, &h, &bpp, &block)) << "round " << round;
    }
}

TEST_F(OverlayTest, CursorBitmapsAreFreed) {
    gOpt.MouseCursor = 1;
    gOpt.CapMode = kCapScreen;
    ASSERT_TRUE(RunCapture([] {}));
    int before = GdiObjectCount(GetCurrentProcess());
    ASSERT_GT(before, 0) << "the GDI handle table of this process could not be read";
    for (int i = 0; i < 10; i++)
        ASSERT_TRUE(RunCapture([] {}));
    // Kept copies of the cursor's bitmaps would add at least one per capture.
    EXPECT_LE(GdiObjectCount(GetCurrentProcess()), before + 2);
}

// Label placement: W x H screen 1000 x 800, label 60 x 20.
TEST(SizeLabel, FollowsTheMovingCornerAndTurnsAtTheEdges) {
    POINT at;
    // Dragged down and right: below-right, 5 pixels off.
    EXPECT_EQ(PlaceSizeLabel({100, 100, 300, 200}, {100, 100, 300, 200}, 1000, 800, 60, 20, &at), 0);
    EXPECT_EQ(at.x, 305);
    EXPECT_EQ(at.y, 205);
    // Dragged up and right: above-right.
    EXPECT_EQ(PlaceSizeLabel({100, 300, 400, 100}, {100, 100, 400, 300}, 1000, 800, 60, 20, &at), 1);
    EXPECT_EQ(at.x, 405);
    EXPECT_EQ(at.y, 75);
    // Dragged up and left: above-left.
    EXPECT_EQ(PlaceSizeLabel({300, 200, 100, 100}, {100, 100, 300, 200}, 1000, 800, 60, 20, &at), 2);
    EXPECT_EQ(at.x, 35);
    EXPECT_EQ(at.y, 75);
    // Dragged down and left: below-left.
    EXPECT_EQ(PlaceSizeLabel({300, 100, 100, 200}, {100, 100, 300, 200}, 1000, 800, 60, 20, &at), 3);
    EXPECT_EQ(at.x, 35);
    EXPECT_EQ(at.y, 205);
    // Up-left at the top-left edges: no room above or left; wider than tall,
    // so it turns on to corner 3 (below-left), pushed to x 0.
    EXPECT_EQ(PlaceSizeLabel({300, 200, 10, 10}, {10, 10, 300, 200}, 1000, 800, 60, 20, &at), 3);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 205);
    // Taller than wide: it turns the other way, to corner 1 (above-right).
    EXPECT_EQ(PlaceSizeLabel({100, 500, 10, 10}, {10, 10, 100, 500}, 1000, 800, 60, 20, &at), 1);
    EXPECT_EQ(at.x, 105);
    EXPECT_EQ(at.y, 0);
    // Corner 0 close to the right edge but with room below: kept, shifted in.
    EXPECT_EQ(PlaceSizeLabel({100, 100, 980, 300}, {100, 100, 980, 300}, 1000, 800, 60, 20, &at), 0);
    EXPECT_EQ(at.x, 940);
    EXPECT_EQ(at.y, 305);
    // Exactly enough room (w + 5) is room.
    EXPECT_EQ(PlaceSizeLabel({0, 0, 935, 775}, {0, 0, 935, 775}, 1000, 800, 60, 20, &at), 0);
    EXPECT_EQ(at.x, 940);
    EXPECT_EQ(at.y, 780);
    // No room anywhere: centred in the selection.
    EXPECT_EQ(PlaceSizeLabel({2, 2, 995, 795}, {2, 2, 995, 795}, 1000, 800, 60, 20, &at), -1);
    EXPECT_EQ(at.x, 468);
    EXPECT_EQ(at.y, 388);
    // A single point (the first move): below-right.
    EXPECT_EQ(PlaceSizeLabel({50, 50, 50, 50}, {50, 50, 50, 50}, 1000, 800, 60, 20, &at), 0);
    EXPECT_EQ(at.x, 55);
    EXPECT_EQ(at.y, 55);
}

}  // namespace
