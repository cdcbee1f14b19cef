// The announcement of a changed image: every change of gImage or its
// colour mode reaches each listener once, a change made in steps once at
// its end, and the undo stack tells its listener how many entries it holds.
#include "capture/state/image_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/capture_test_util.h"
#include "capture/state/color_mode.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "tests/support/test_support.h"

namespace {

int gHeard[kMaxImageListeners + 1];
void HearA() {
    gHeard[0]++;
}
void HearB() {
    gHeard[1]++;
}
void HearC() {
    gHeard[2]++;
}
void HearD() {
    gHeard[3]++;
}
void HearE() {
    gHeard[4]++;
}

std::vector<int> gUndoCounts;
void HearUndo(int count) {
    gUndoCounts.push_back(count);
}

class ImageStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        ClearImage();
        for (int& n : gHeard)
            n = 0;
        gUndoCounts.clear();
    }
    void TearDown() override {
        for (ImageListener l : {HearA, HearB, HearC, HearD, HearE})
            RemoveImageListener(l);
        SetUndoListener(nullptr);
        ClearUndo();
    }
    // A 24-bit picture of a few colours.
    void MakePicture() {
        gImage.Create(16, 8, 24, 0);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++)
                gImage.SetPixelColor(x, y, RGBQUAD{(BYTE)(x * 16), (BYTE)(y * 32), 99, 0});
        gColorMode = kColorTrue;
    }
};

}  // namespace

TEST_F(ImageStateTest, EveryChangeReachesEachListenerOnce) {
    ASSERT_TRUE(AddImageListener(HearA));
    ASSERT_TRUE(AddImageListener(HearA)) << "added twice, still called once";
    ASSERT_TRUE(AddImageListener(HearB));

    MakePicture();
    ASSERT_EQ(SetColorMode(kColorGrey), kColorModeDone);
    EXPECT_EQ(gHeard[0], 1);
    EXPECT_EQ(gHeard[1], 1);
    EXPECT_EQ(SetColorMode(kColorGrey), kColorModeUnchanged);
    EXPECT_EQ(gHeard[0], 1) << "no change, no word";

    UndoTo(-1);
    EXPECT_EQ(gColorMode, kColorTrue);
    EXPECT_EQ(gHeard[0], 2) << "an undo step changes the image";

    std::string dir = MakeTestDir("imagestate");
    std::string file = WinPath(PathJoin(dir, "pic.bmp"));
    ASSERT_TRUE(gImage.Save(file.c_str(), kFormatBmp));
    ASSERT_TRUE(OpenImageFile(file.c_str()));
    EXPECT_EQ(gHeard[0], 3);
    EXPECT_FALSE(OpenImageFile(WinPath(PathJoin(dir, "none.bmp")).c_str()));
    EXPECT_EQ(gHeard[0], 3) << "a file that could not be read changes nothing";

    ClearImage();
    EXPECT_EQ(gHeard[0], 4);
    EXPECT_EQ(gHeard[1], 4);

    RemoveImageListener(HearA);
    AnnounceImageChange();
    EXPECT_EQ(gHeard[0], 4) << "removed";
    EXPECT_EQ(gHeard[1], 5);
}

TEST_F(ImageStateTest, AChangeInStepsIsAnnouncedOnceAtItsOuterEnd) {
    ASSERT_TRUE(AddImageListener(HearA));
    BeginImageChange();
    BeginImageChange();
    MakePicture();
    AnnounceImageChange();
    ASSERT_EQ(SetColorMode(kColor256), kColorModeDone);
    EndImageChange();
    EXPECT_EQ(gHeard[0], 0) << "the inner end waits for the outer one";
    EndImageChange();
    EXPECT_EQ(gHeard[0], 1);
    EndImageChange();  // one end too many changes nothing
    EXPECT_EQ(gHeard[0], 1);
    BeginImageChange();
    EndImageChange();
    EXPECT_EQ(gHeard[0], 1) << "nothing announced, nothing heard";
    AnnounceImageChange();
    EXPECT_EQ(gHeard[0], 2) << "outside a change in steps at once";
}

TEST_F(ImageStateTest, ListenersAreLimitedAndAFreedPlaceIsReused) {
    ImageListener all[] = {HearA, HearB, HearC, HearD, HearE};
    for (int i = 0; i < kMaxImageListeners; i++)
        ASSERT_TRUE(AddImageListener(all[i])) << i;
    EXPECT_FALSE(AddImageListener(HearE)) << "no room left";
    AnnounceImageChange();
    for (int i = 0; i < kMaxImageListeners; i++)
        EXPECT_EQ(gHeard[i], 1) << i;
    EXPECT_EQ(gHeard[kMaxImageListeners], 0);
    RemoveImageListener(HearB);
    EXPECT_TRUE(AddImageListener(HearE));
    AnnounceImageChange();
    EXPECT_EQ(gHeard[1], 1);
    EXPECT_EQ(gHeard[4], 1);
}

TEST_F(ImageStateTest, TheUndoListenerHearsTheStackSize) {
    SetUndoListener(HearUndo);
    MakePicture();
    ASSERT_TRUE(PushUndo());
    ASSERT_TRUE(PushUndo());
    ASSERT_EQ(SetColorMode(kColorBlackWhite), kColorModeDone);  // pushes the third entry
    UndoTo(1);
    ClearImage();
    EXPECT_EQ(gUndoCounts, (std::vector<int>{1, 2, 3, 1, 0}));
    SetUndoListener(nullptr);
    MakePicture();
    EXPECT_TRUE(PushUndo());
    EXPECT_EQ(gUndoCounts.size(), 5u) << "no listener, nobody told";
}
