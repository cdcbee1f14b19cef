// The program with the TIFF, ICO, TGA, PCX and metafile codecs: a capture
// saved as TIFF through the real Save As dialog (by its button and its
// capture letter) and through the sequential save, and pictures of every
// format opened as the current image (the road a file dropped on the main
// dialog takes).
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <thread>

#include "base/str_util.h"
#include "capture/actions/action_dispatch.h"
#include "capture/actions/actions.h"
#include "capture/capture_test_util.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "tests/support/test_support.h"

namespace {

class ImageFormatsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        dir = MakeTestDir("image_formats");
        win = WinPath(dir);
        SetTestCapture();
    }
    std::string Info(const std::string& name) {
        std::string out;
        RunPeer(dir, "tiffinfo " + name + " 2>&1", &out);
        return out;
    }
    std::string dir, win;
};

// Types a file name into the save dialog that opens next and confirms it.
std::thread SaveDialogDriver(const char* name) {
    return std::thread([name] {
        HWND dlg = WaitForProcessDialog(10000);
        if (!dlg)
            return;
        Sleep(300);
        HWND edit = FindEdit(dlg);
        if (edit)
            SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)name);
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
}

}  // namespace

TEST_F(ImageFormatsTest, CapturesAreSavedAsTiff) {
    gOpt.SaveAsType = 6;  // TIF
    StrCopy(gOpt.EdtSaveAsPath, countof(gOpt.EdtSaveAsPath), (win + "\\").c_str());
    std::thread driver = SaveDialogDriver("saved.tif");
    int r = SaveImageAs(nullptr);
    driver.join();
    ASSERT_EQ(r, 0);
    // 24 bits: JPEG compression by depth, as the codec chooses it.
    EXPECT_NE(Info("saved.tif").find("Compression Scheme: JPEG"), std::string::npos) << Info("saved.tif");
    EXPECT_EQ(gOpt.SaveAsType, 6);

    // The Save As letter of a capture takes the same road.
    gImage.DecreaseBpp(8, false);
    driver = SaveDialogDriver("letter.tif");
    RunAction('A');
    driver.join();
    std::string info = Info("letter.tif");
    EXPECT_NE(info.find("Compression Scheme: LZW"), std::string::npos) << info;
    EXPECT_NE(info.find("palette color"), std::string::npos) << info;

    // The sequential save under a .tif base name.
    StrCopy(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), (win + "\\shot.tif").c_str());
    ASSERT_EQ(SaveSequential(nullptr), 0);
    EXPECT_NE(Info("shot0001.tif").find("Image Width: 40 Image Length: 30"), std::string::npos);
    CRaster back(0);
    ASSERT_TRUE(back.Load(PathJoin(dir, "shot0001.tif").c_str(), kFormatTif)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), 8);
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 40; x += 9) {
            RGBQUAD a = back.GetPixelColor(x, y), b = gImage.GetPixelColor(x, y);
            EXPECT_EQ(memcmp(&a, &b, 3), 0) << x << "," << y;
        }
}

TEST_F(ImageFormatsTest, EveryFormatOpensAsTheCurrentImage) {
    ASSERT_EQ(RunPeer(dir,
                      "convert -size 33x21 gradient:red-blue src.ppm && "
                      "convert src.ppm -compress lzw a.tif && pamtotga -rgb src.ppm > b.tga && "
                      "convert src.ppm c.pcx && convert src.ppm -resize 32x32! d.png && "
                      "icotool -c -o e.ico d.png"),
              0);
    // An enhanced metafile drawn here.
    HDC ref = GetDC(nullptr);
    HDC mf = CreateEnhMetaFileA(ref, (win + "\\f.emf").c_str(), nullptr, nullptr);
    ReleaseDC(nullptr, ref);
    ASSERT_NE(mf, nullptr);
    HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
    RECT rc = {0, 0, 60, 40};
    FillRect(mf, &rc, green);
    DeleteObject(green);
    DeleteEnhMetaFile(CloseEnhMetaFile(mf));
    struct {
        const char* name;
        int width;
        uint32_t format;
    } files[] = {{"a.tif", 33, kFormatTif},
                 {"b.tga", 33, kFormatTga},
                 {"c.pcx", 33, kFormatPcx},
                 {"e.ico", 32, kFormatIco},
                 {"f.emf", 59, kFormatWmf}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        std::string path = win + "\\" + f.name;
        ASSERT_TRUE(OpenImageFile(path.c_str()));
        EXPECT_EQ(gImage.GetFormatId(), f.format);
        EXPECT_NEAR(gImage.Width(), f.width, 1);
        EXPECT_EQ(std::string(gImageName), path);
    }
    // The gradient's top is red in every raster format.
    ASSERT_TRUE(OpenImageFile((win + "\\b.tga").c_str()));
    EXPECT_GT(gImage.GetPixelColor(5, gImage.Height() - 1).rgbRed, 200);
    EXPECT_GT(gImage.GetPixelColor(5, 0).rgbBlue, 200);
}
