// Colour modes: each of 0..6 gives the depth and palette its name says,
// checked in memory and with ImageMagick's identify on the saved BMP; the
// conversions go through the undo stack, which restores pixels and mode.
#include "capture/state/color_mode.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/str_util.h"
#include "capture/actions/actions.h"
#include "capture/capture_test_util.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "tests/support/test_support.h"

namespace {

// A 24-bit picture with many colours: gradients and a few flat blocks.
void MakeColorful(CImage* img, int w, int h) {
    img->Create(w, h, 24, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD q = {(BYTE)(x * 255 / w), (BYTE)(y * 255 / h), (BYTE)((x * y) & 0xFF), 0};
            if (x < 10 && y < 10)
                q = RGBQUAD{0, 0, 0, 0};  // black block, bottom left
            img->SetPixelColor(x, y, q);
        }
}

struct Identified {
    int bits = 0;       // from the file's header
    int colormap = -1;  // identify's colormap entries, -1 without one
    std::string type;   // identify's type
    int colors = 0;     // unique colours
};

bool Identify(const std::string& dir, const std::string& file, Identified* out) {
    std::string bytes;
    if (!ReadFileBytes(PathJoin(dir, file), &bytes) || bytes.size() < 54)
        return false;
    out->bits = (unsigned char)bytes[28] | (unsigned char)bytes[29] << 8;
    std::string text;
    if (RunPeer(dir, "identify -verbose " + file + " | grep -E '^  (Type|Colormap entries):'", &text) != 0)
        return false;
    size_t p;
    if ((p = text.find("Type: ")) != std::string::npos)
        out->type = text.substr(p + 6, text.find('\n', p) - p - 6);
    if ((p = text.find("Colormap entries: ")) != std::string::npos)
        out->colormap = atoi(text.c_str() + p + 18);
    if (RunPeer(dir, "identify -format %k " + file, &text) != 0)
        return false;
    out->colors = atoi(text.c_str());
    return true;
}

class ColorModeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        dir = MakeTestDir("colormodes");
        ClearImage();
        MakeColorful(&gImage, 64, 48);
        gColorMode = 5;
    }
    void TearDown() override { ClearUndo(); }
    std::string dir;
};

TEST_F(ColorModeTest, EachModeGivesItsDepthAndPalette) {
    CImage original;
    ASSERT_TRUE(CopyImageInto(&original, gImage));
    struct Want {
        int bits, maxColors;
        const char* type;
    } want[7] = {{1, 2, "Bilevel"}, {1, 2, "Bilevel"}, {8, 256, "Grayscale"}, {4, 16, nullptr},
                 {8, 256, nullptr}, {24, 0, nullptr},  {24, 0, nullptr}};
    for (int mode = 0; mode <= 6; mode++) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        ASSERT_TRUE(CopyImageInto(&gImage, original));
        gColorMode = 5;
        EXPECT_EQ(SetColorMode(mode), mode == 5 ? -1 : 0);
        EXPECT_EQ(gColorMode, mode);
        EXPECT_EQ(gImage.GetBpp(), want[mode].bits);
        std::string name = "mode" + std::to_string(mode) + ".bmp";
        ASSERT_EQ(WriteImageFile(WinPath(PathJoin(dir, name)).c_str()), 0);
        Identified id;
        ASSERT_TRUE(Identify(dir, name, &id));
        EXPECT_EQ(id.bits, want[mode].bits);
        if (want[mode].type) {
            EXPECT_EQ(id.type, want[mode].type);
        }
        if (want[mode].maxColors) {
            EXPECT_GE(id.colormap, 2);
            EXPECT_LE(id.colormap, want[mode].maxColors);
            EXPECT_LE(id.colors, want[mode].maxColors);
        } else {
            EXPECT_EQ(id.colormap, -1);
            EXPECT_GT(id.colors, 1000);
        }
        if (mode == 4) {  // a quantized palette, not the grey ramp
            EXPECT_NE(id.type, "Grayscale");
        }
        if (mode == 6) {  // the original mode changes no pixel
            EXPECT_EQ(memcmp(gImage.GetPixels(), original.GetPixels(), original.GetImageSize()), 0);
        }
    }
    // Black and white, and inverted: the black block is black in mode 0
    // and white in mode 1.
    ASSERT_TRUE(CopyImageInto(&gImage, original));
    gColorMode = 5;
    ASSERT_EQ(SetColorMode(0), 0);
    RGBQUAD a = gImage.GetPixelColor(2, 2);
    ASSERT_EQ(SetColorMode(1), 0);
    RGBQUAD b = gImage.GetPixelColor(2, 2);
    EXPECT_EQ(a.rgbRed, 0);
    EXPECT_EQ(b.rgbRed, 255);
    EXPECT_EQ(ColorModeText(1), std::string("Black & White Inverted (1 Bit)"));
    EXPECT_STREQ(ColorModeText(7), "");
}

TEST_F(ColorModeTest, ModeOfImageAndScreen) {
    EXPECT_EQ(ColorModeOfImage(gImage), 5);
    ASSERT_EQ(SetColorMode(2), 0);
    EXPECT_EQ(ColorModeOfImage(gImage), 2);
    ASSERT_EQ(SetColorMode(4), 0);  // grey to 256 colours keeps the grey ramp
    EXPECT_EQ(ColorModeOfImage(gImage), 2);
    ASSERT_EQ(SetColorMode(3), 0);
    EXPECT_EQ(gImage.GetBpp(), 4);
    EXPECT_EQ(ColorModeOfImage(gImage), 3);
    ASSERT_EQ(SetColorMode(0), 0);
    EXPECT_EQ(ColorModeOfImage(gImage), 0);
    ASSERT_EQ(SetColorMode(5), 0);
    EXPECT_EQ(ColorModeOfImage(gImage), 5);
    HDC dc = GetDC(nullptr);
    int bpp = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(ScreenColorMode(), bpp == 8 ? 4 : bpp == 4 ? 3 : bpp == 1 ? 0 : 5);
}

TEST_F(ColorModeTest, UndoRestoresPixelsAndMode) {
    CImage original;
    ASSERT_TRUE(CopyImageInto(&original, gImage));
    ClearUndo();
    ASSERT_EQ(SetColorMode(3), 0);
    ASSERT_EQ(SetColorMode(0), 0);
    ASSERT_EQ(SetColorMode(1), 0);
    ASSERT_EQ(gUndo.count, 3);
    UndoTo(-1);  // one step back: mode 0
    EXPECT_EQ(gColorMode, 0);
    EXPECT_EQ(gUndo.count, 2);
    EXPECT_EQ(gImage.GetBpp(), 1);
    UndoTo(0);  // back to before the first change
    EXPECT_EQ(gUndo.count, 0);
    EXPECT_EQ(gColorMode, 5);
    ASSERT_EQ(gImage.GetBpp(), 24);
    EXPECT_EQ(memcmp(gImage.GetPixels(), original.GetPixels(), original.GetImageSize()), 0);
    UndoTo(-1);  // empty: nothing happens
    EXPECT_EQ(gImage.GetBpp(), 24);
    // The same mode again is no change and no undo entry.
    EXPECT_EQ(SetColorMode(5), -1);
    EXPECT_EQ(gUndo.count, 0);
    // ClearImage empties the image, the stack and the edited flag.
    ASSERT_EQ(SetColorMode(2), 0);
    gEdited = true;
    ClearImage();
    EXPECT_FALSE(gImage.IsValid());
    EXPECT_EQ(gUndo.count, 0);
    EXPECT_FALSE(gEdited);
}

// Every change of mode leaves the image as it was in its undo entry, also
// where the conversion reads gImage in place of a copy (24 bits to 256 and
// 16 colours, to grey) and where it changes pixels in place (the 1-bit
// negative, 256 colours to grey and back).
TEST_F(ColorModeTest, EachUndoEntryHoldsTheImageAsItWas) {
    ClearUndo();
    const int road[] = {
        kColor256,        kColorGrey, kColor256,      kColorTrue, kColor16, kColorBlackWhite, kColorBlackWhiteInverted,
        kColorBlackWhite, kColorTrue, kColorOriginal, kColorGrey};
    std::vector<CImage*> seen;
    std::vector<int> modes;
    for (int mode : road) {
        SCOPED_TRACE(mode);
        CImage* was = new CImage();
        ASSERT_TRUE(CopyImageInto(was, gImage));
        seen.push_back(was);
        modes.push_back(gColorMode);
        BYTE* block = gImage.GetDibBlock();
        ASSERT_EQ(SetColorMode(mode), 0);
        EXPECT_NE(gImage.GetDibBlock(), block) << "new pixels, the old ones went to the undo entry";
        ASSERT_EQ(gUndo.count, (int)seen.size());
        const CImage& entry = *gUndo.At(gUndo.count - 1)->image;
        EXPECT_EQ(gUndo.At(gUndo.count - 1)->colorMode, modes.back());
        ASSERT_EQ(entry.GetDibSize(), was->GetDibSize());
        EXPECT_EQ(memcmp(entry.GetDibBlock(), was->GetDibBlock(), was->GetDibSize()), 0);
    }
    // Back along the road, step by step: each image as it was.
    for (int i = (int)seen.size() - 1; i >= 0; i--) {
        SCOPED_TRACE(i);
        UndoTo(-1);
        EXPECT_EQ(gColorMode, modes[(size_t)i]);
        ASSERT_EQ(gImage.GetDibSize(), seen[(size_t)i]->GetDibSize());
        EXPECT_EQ(memcmp(gImage.GetDibBlock(), seen[(size_t)i]->GetDibBlock(), gImage.GetDibSize()), 0);
        delete seen[(size_t)i];
    }
    EXPECT_EQ(gUndo.count, 0);
}

}  // namespace
