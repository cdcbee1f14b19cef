// The grab as one change of the image: however many steps a capture takes
// (clearing, the picture, the conversion to the default colour mode), the
// listeners hear of it once, when the new image is complete.
#include "capture/grab/grab.h"

#include <gtest/gtest.h>

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
