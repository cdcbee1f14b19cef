// Print layout: margins raised to the printer's border on each side,
// margins that leave no page, the picture's size at screen size, fit page,
// zoom and no clipping, and the nine positions.
#include "capture/print/print_layout.h"

#include <gtest/gtest.h>

namespace {

// US Letter at 300 dpi with a 50-pixel border (0.4233 cm) all round.
PrintDevice Letter300() {
    PrintDevice d;
    d.dpiX = d.dpiY = 300;
    d.offX = d.offY = 50;
    d.physW = 2550;
    d.physH = 3300;
    d.horzRes = 2450;
    d.vertRes = 3200;
    return d;
}

}  // namespace

TEST(PrintLayout, MarginsAreRaisedToTheBorderOfTheirOwnSide) {
    PrintDevice d = Letter300();
    d.horzRes = 2400;  // right border 100 pixels
    d.vertRes = 3100;  // bottom border 150 pixels
    PrintMargins m = {0, 0, 0, 0};
    PrintRect a;
    ASSERT_TRUE(LayoutPrintArea(d, &m, &a));
    EXPECT_NEAR(m.left, 0.4233, 1e-3);
    EXPECT_NEAR(m.top, 0.4233, 1e-3);
    EXPECT_NEAR(m.right, 0.8467, 1e-3);
    EXPECT_NEAR(m.bottom, 1.27, 1e-3);
    EXPECT_DOUBLE_EQ(a.left, 0);
    EXPECT_DOUBLE_EQ(a.top, 0);
    EXPECT_DOUBLE_EQ(a.width, 2550 - 50 - 100);
    EXPECT_DOUBLE_EQ(a.height, 3300 - 50 - 150);

    PrintMargins wide = {2.54f, 5.08f, 1.27f, 2.54f};  // larger than every border: kept
    ASSERT_TRUE(LayoutPrintArea(d, &wide, &a));
    EXPECT_FLOAT_EQ(wide.left, 2.54f);
    EXPECT_FLOAT_EQ(wide.right, 1.27f);
    EXPECT_NEAR(a.left, 300 - 50, 1e-3);
    EXPECT_NEAR(a.top, 600 - 50, 1e-3);
    EXPECT_NEAR(a.width, 2550 - 300 - 150, 1e-3);
    EXPECT_NEAR(a.height, 3300 - 600 - 300, 1e-3);
}

TEST(PrintLayout, MarginsLeavingNoPageAreRefused) {
    PrintDevice d = Letter300();
    PrintMargins m = {11, 1, 11, 1};  // 22 cm of a 21.6 cm sheet
    PrintRect a;
    EXPECT_FALSE(LayoutPrintArea(d, &m, &a));
    PrintMargins tall = {1, 14, 1, 14};
    EXPECT_FALSE(LayoutPrintArea(d, &tall, &a));
    PrintDevice none = d;
    none.dpiX = 0;
    PrintMargins ok = {1, 1, 1, 1};
    EXPECT_FALSE(LayoutPrintArea(none, &ok, &a));
}

TEST(PrintLayout, ScreenSizeFromTheMonitorRowOrTheDpi) {
    double w, h;
    ScreenSizeCm(1600, 1200, 32, 24, 1600, 1200, 72, &w, &h);
    EXPECT_DOUBLE_EQ(w, 32);
    EXPECT_DOUBLE_EQ(h, 24);
    ScreenSizeCm(800, 300, 32, 24, 1600, 1200, 72, &w, &h);
    EXPECT_DOUBLE_EQ(w, 16);
    EXPECT_DOUBLE_EQ(h, 6);
    ScreenSizeCm(1600, 1200, 0, 0, 1600, 1200, 72, &w, &h);  // "Ignore": the DPI
    EXPECT_NEAR(w, 56.44, 0.01);
    EXPECT_NEAR(h, 42.33, 0.01);
}

TEST(PrintLayout, FitZoomAndNoClipping) {
    PrintRect a = {0, 0, 2000, 3000};
    double pw = 400, ph = 100;  // wide: fills the width
    FitPicture(a, kPrintFitPage, 100, false, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 2000);
    EXPECT_DOUBLE_EQ(ph, 500);
    pw = 100, ph = 400;  // tall: fills the height
    FitPicture(a, kPrintFitPage, 100, false, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 750);
    EXPECT_DOUBLE_EQ(ph, 3000);
    pw = 100, ph = 50;
    FitPicture(a, kPrintZoom, 250, false, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 250);
    EXPECT_DOUBLE_EQ(ph, 125);
    pw = 100, ph = 50;
    FitPicture(a, kPrintScreenSize, 250, false, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 100) << "zoom only in zoom mode";
    pw = 6666, ph = 5000;  // 56.4 x 42.3 cm at 300 dpi: shrunk into the area
    FitPicture(a, kPrintScreenSize, 100, true, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 2000);
    EXPECT_NEAR(ph, 1500.15, 0.01);
    pw = 6666, ph = 5000;
    FitPicture(a, kPrintScreenSize, 100, false, &pw, &ph);
    EXPECT_DOUBLE_EQ(pw, 6666) << "clipping allowed: unchanged";
    pw = 1000, ph = 6000;  // too tall only
    FitPicture(a, kPrintZoom, 100, true, &pw, &ph);
    EXPECT_DOUBLE_EQ(ph, 3000);
    EXPECT_DOUBLE_EQ(pw, 500);
}

TEST(PrintLayout, NinePositions) {
    PrintRect a = {10, 20, 1000, 2000};
    const double xs[3] = {10, 10 + 400, 10 + 800}, ys[3] = {20, 20 + 900, 20 + 1800};
    for (int pos = 0; pos < 9; pos++) {
        double x, y;
        PlacePicture(a, pos, 200, 200, &x, &y);
        EXPECT_DOUBLE_EQ(x, xs[pos % 3]) << pos;
        EXPECT_DOUBLE_EQ(y, ys[pos / 3]) << pos;
    }
    double x, y;
    PlacePicture(a, 9, 200, 200, &x, &y);
    EXPECT_DOUBLE_EQ(x, 10);
    EXPECT_DOUBLE_EQ(y, 20);
}

TEST(PrintLayout, HeaderFontScaleIsNotTruncated) {
    EXPECT_DOUBLE_EQ(HeaderFontScale(600, 96), 6.25);
    EXPECT_DOUBLE_EQ(HeaderFontScale(300, 120), 2.5);
    EXPECT_DOUBLE_EQ(HeaderFontScale(72, 96), 0.75);
    EXPECT_DOUBLE_EQ(HeaderFontScale(300, 0), 1);
}
