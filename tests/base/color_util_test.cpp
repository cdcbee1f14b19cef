// Colour and number helpers; hue-lightness-saturation against Python's colorsys.
#include "base/color_util.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <algorithm>
#include <sstream>

#include "base/num_util.h"
#include "support/test_support.h"

TEST(ColorUtil, ComparisonsAndPacking) {
    EXPECT_TRUE(SameRgb(0xFF112233, 0x00112233));
    EXPECT_TRUE(DifferentRgb(0x112233, 0x112234));
    EXPECT_EQ(SwapRedBlue(0xAA112233), 0x00332211u);
    EXPECT_EQ(ColorRefToArgb(RGB(1, 2, 3), 0x80), 0x80010203u);
    EXPECT_EQ(ArgbToColorRef(0x80010203u), RGB(1, 2, 3));  // the alpha is dropped
    int v = 15;
    ClampValue(&v, 10, 3);
    EXPECT_EQ(v, 10);
    v = -4;
    ClampValue(&v, 0, 9);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(ClampInt(5, 9, 1), 5);  // bounds in either order
    EXPECT_EQ(ClampInt(12, 9, 1), 9);
    EXPECT_EQ(ClampInt(INT_MIN, -3, 3), -3);
    EXPECT_EQ(ClampInt(INT_MAX, INT_MIN, INT_MAX), INT_MAX);
    EXPECT_EQ(ReverseBits(0x1, 8), 0x80u);
    EXPECT_EQ(ReverseBits(0x6, 3), 0x3u);
    EXPECT_EQ(ReverseBits(0xFFFFFFFE, 32), 0x7FFFFFFFu);
}

TEST(ColorUtil, HlsMatchesColorsys) {
    std::string dir = MakeTestDir("hls");
    const COLORREF cols[] = {RGB(255, 0, 0),   RGB(0, 255, 0),    RGB(0, 0, 255),   RGB(128, 128, 128),
                             RGB(10, 200, 90), RGB(250, 240, 5),  RGB(90, 20, 140), RGB(255, 255, 255),
                             RGB(0, 0, 0),     RGB(200, 100, 150)};
    std::ostringstream py;
    py << "import colorsys\nfor r,g,b in [";
    for (COLORREF c : cols)
        py << "(" << (int)GetRValue(c) << "," << (int)GetGValue(c) << "," << (int)GetBValue(c) << "),";
    py << "]:\n h,l,s=colorsys.rgb_to_hls(r/255,g/255,b/255)\n"
          " hb,lb,sb=int(h*255),int(l*255),int(s*255)\n"
          " r2,g2,b2=colorsys.hls_to_rgb(hb/255,lb/255,sb/255)\n"
          " print(hb,lb,sb,int(r2*255),int(g2*255),int(b2*255))\n";
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "hls.py"), py.str()));
    std::string out;
    ASSERT_EQ(RunPeer(dir, "/usr/bin/python3 hls.py", &out), 0) << out;
    std::istringstream in(out);
    for (COLORREF c : cols) {
        int h, l, s, r, g, b;
        ASSERT_TRUE(in >> h >> l >> s >> r >> g >> b);
        DWORD hls = ColorRefToHls(c);
        // Hue bytes may differ by one where 360 degrees and the unit turn round apart.
        int dh = abs((int)(hls & 0xFF) - h);
        EXPECT_LE(std::min(dh, 255 - dh), 1) << std::hex << c;  // 360 degrees is 0
        EXPECT_EQ((int)((hls >> 8) & 0xFF), l) << std::hex << c;
        EXPECT_NEAR((int)((hls >> 16) & 0xFF), s, 1) << std::hex << c;
        COLORREF back = HlsToColorRef((DWORD)h | ((DWORD)l << 8) | ((DWORD)s << 16));
        EXPECT_NEAR(GetRValue(back), r, 1) << std::hex << c;
        EXPECT_NEAR(GetGValue(back), g, 1) << std::hex << c;
        EXPECT_NEAR(GetBValue(back), b, 1) << std::hex << c;
    }
    // No change asked: the colour comes back within the byte rounding.
    COLORREF same = AdjustColorHls(RGB(200, 100, 50), 0, 0, 0);
    EXPECT_NEAR(GetRValue(same), 200, 3);
    EXPECT_NEAR(GetBValue(same), 50, 3);
    COLORREF lighter = AdjustColorHls(RGB(100, 50, 50), 0, 0.5f, 0);
    EXPECT_GT(GetRValue(lighter), 100);
    COLORREF white = AdjustColorHls(RGB(250, 250, 250), 0, 5.0f, 0);
    EXPECT_EQ(white, RGB(255, 255, 255)) << "lightness is cut at 255";
}
