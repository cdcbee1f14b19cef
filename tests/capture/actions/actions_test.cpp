// The actions on real files, the clipboard and the real save dialog: the
// sequential numbering, the formats chosen by the extension, failed saves
// that leave nothing behind, the Actions-tab buttons and the flags.
#include "capture/actions/actions.h"

#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "base/str_util.h"
#include "capture/actions/action_dispatch.h"
#include "capture/app_texts.h"
#include "capture/capture_test_util.h"
#include "capture/editor/editor_dialog.h"
#include "capture/grab/overlay.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "framework/monitors.h"
#include "image/raster_codec.h"
#include "tests/support/test_support.h"

namespace {

// Runs call while a helper thread cancels every image editor it opens.
void WithEditorCancelled(const std::function<void()>& call) {
    std::atomic<bool> done(false);
    std::thread closer([&] {
        while (!done) {
            HWND editor = gEditorDialog;
            if (editor)
                PostMessageA(editor, WM_COMMAND, IDCANCEL, 0);
            Sleep(50);
        }
    });
    call();
    done = true;
    closer.join();
}

std::set<std::string> ListDir(const std::string& dir) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "/*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            names.insert(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

std::string Bytes(const std::string& path) {
    std::string b;
    ReadFileBytes(path, &b);
    return b;
}

class ActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        dir = MakeTestDir("actions");
        win = WinPath(dir);
        SetTestCapture();
        gSavedSequentially = false;
        StrCopy(gImageName, countof(gImageName), "(Unnamed)");
    }
    void SetSavePath(const std::string& tail) {
        StrCopy(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), (win + tail).c_str());
    }
    bool PngOk(const std::string& name) { return RunPeer(dir, "pngcheck -q " + name) == 0; }
    std::string dir, win;
};

TEST_F(ActionsTest, SequentialSaveNumbersWithoutOverwriting) {
    SetSavePath("\\shot.png");
    ASSERT_EQ(SaveSequential(nullptr), 0);
    EXPECT_TRUE(PngOk("shot0001.png"));
    EXPECT_EQ(std::string(gImageName), win + "\\shot0001.png");

    // Every extension counts for the number.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "shot0007.jpg"), "not a picture"));
    ASSERT_EQ(SaveSequential(nullptr), 0);
    EXPECT_TRUE(PngOk("shot0008.png"));

    // Past 9999 the numbers go on and nothing is overwritten.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "shot9999.bmp"), "x"));
    ASSERT_EQ(SaveSequential(nullptr), 0);
    ASSERT_TRUE(PngOk("shot10000.png"));
    std::string first = Bytes(PathJoin(dir, "shot10000.png"));
    gImage.SetPixelColor(0, 0, RGBQUAD{1, 2, 3, 0});
    ASSERT_EQ(SaveSequential(nullptr), 0);
    EXPECT_TRUE(PngOk("shot10001.png"));
    EXPECT_EQ(Bytes(PathJoin(dir, "shot10000.png")), first);

    // A base name that others only begin with is not theirs.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "shotgun12345.png"), "x"));
    ASSERT_EQ(SaveSequential(nullptr), 0);
    EXPECT_TRUE(FileExists(PathJoin(dir, "shot10002.png")));

    std::set<std::string> want = {"shot0001.png",  "shot0007.jpg",  "shot0008.png",     "shot9999.bmp",
                                  "shot10000.png", "shot10001.png", "shotgun12345.png", "shot10002.png"};
    EXPECT_EQ(ListDir(dir), want);  // no temporary or ".opt" file left
}

TEST_F(ActionsTest, SaveTypesFollowTheRealExtension) {
    EXPECT_EQ(SaveTypeFromExtension("x.bmp"), 0);
    EXPECT_EQ(SaveTypeFromExtension("x.GIF"), 1);
    EXPECT_EQ(SaveTypeFromExtension("x.jpg"), 2);
    EXPECT_EQ(SaveTypeFromExtension("x.JPEG"), 2);
    EXPECT_EQ(SaveTypeFromExtension("x.png"), 3);
    EXPECT_EQ(SaveTypeFromExtension("x.tiff"), 4);
    EXPECT_EQ(SaveTypeFromExtension("C:\\a\\x.opt"), 5);
    EXPECT_EQ(SaveTypeFromExtension("shotpng"), -1);  // letters without a dot
    EXPECT_EQ(SaveTypeFromExtension("C:\\my.png\\shot"), -1);
    EXPECT_EQ(SaveTypeFromExtension("x."), -1);
    EXPECT_EQ(SaveTypeFromExtension("x.xpng"), -1);
}

TEST_F(ActionsTest, OptimalSaveWritesJpegOrPngNeverOpt) {
    if (!FindRasterCodec(kFormatJpg))
        GTEST_SKIP() << "no JPEG codec in this build";
    SetSavePath("\\shot");
    ASSERT_EQ(SaveSequential(nullptr), 0);
    SetSavePath("\\shotpng");  // keeps its letters
    ASSERT_EQ(SaveSequential(nullptr), 0);
    std::set<std::string> names = ListDir(dir);
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& n : names) {
        EXPECT_TRUE(n == "shot0001.jpg" || n == "shot0001.png" || n == "shotpng0001.jpg" || n == "shotpng0001.png")
            << n;
    }
    // The image name is the file that was kept.
    EXPECT_EQ(names.count(std::string(gImageName).substr(win.size() + 1)), 1u) << gImageName;
}

TEST_F(ActionsTest, BadSequencePathsAreReported) {
    std::string expected = gApp.Text(IDS_BAD_SEQUENCE_PATH, 0);
    for (const char* tail : {"\\", "\\.png"}) {
        SetSavePath(tail);
        int r = 0;
        EXPECT_EQ(WithMessageBox([&] { r = SaveSequential(nullptr); }, IDOK), expected) << tail;
        EXPECT_EQ(r, -1);
    }
    gOpt.EdtSavePath[0] = 0;
    int r = 0;
    EXPECT_EQ(WithMessageBox([&] { r = SaveSequential(nullptr); }, IDOK), expected);
    EXPECT_EQ(r, -1);
    EXPECT_TRUE(ListDir(dir).empty());
    // No image: 1, and nothing is asked.
    ClearImage();
    EXPECT_EQ(SaveSequential(nullptr), 1);
    EXPECT_EQ(CopyToClipboard(nullptr), 1);
    EXPECT_EQ(SaveImageAs(nullptr), 1);
}

TEST_F(ActionsTest, WriteImageFileLeavesNoEmptyOrPartialFile) {
    EXPECT_EQ(WriteImageFile((win + "\\a.png").c_str()), 0);
    EXPECT_TRUE(PngOk("a.png"));
    EXPECT_EQ(WriteImageFile((win + "\\b.BMP").c_str()), 0);
    EXPECT_EQ(Bytes(PathJoin(dir, "b.BMP")).substr(0, 2), "BM");

    EXPECT_EQ(WriteImageFile((win + "\\c.xyz").c_str()), -11);
    EXPECT_FALSE(FileExists(PathJoin(dir, "c.xyz")));
    EXPECT_EQ(WriteImageFile((win + "\\missing\\d.png").c_str()), -11);

    // A failed write keeps the file that was there.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "old.xyz"), "keep me"));
    EXPECT_EQ(WriteImageFile((win + "\\old.xyz").c_str()), -11);
    EXPECT_EQ(Bytes(PathJoin(dir, "old.xyz")), "keep me");

    // Four-letter extensions name their formats.
    struct {
        const char* name;
        uint32_t format;
        const char* magic;
    } cases[] = {{"e.jpeg", kFormatJpg, "\xFF\xD8"}, {"f.tiff", kFormatTif, nullptr}, {"g.tif", kFormatTif, nullptr}};
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, c.name), "keep me"));
        int r = WriteImageFile((win + "\\" + c.name).c_str());
        std::string b = Bytes(PathJoin(dir, c.name));
        if (FindRasterCodec(c.format)) {
            EXPECT_EQ(r, 0) << c.name;
            EXPECT_GT(b.size(), 100u) << c.name;
            if (c.magic) {
                EXPECT_EQ(b.substr(0, 2), c.magic) << c.name;
            } else {
                EXPECT_TRUE(b.substr(0, 4) == std::string("II*\0", 4) || b.substr(0, 4) == std::string("MM\0*", 4));
            }
        } else {
            EXPECT_EQ(r, -11) << c.name;
            EXPECT_EQ(b, "keep me") << c.name;
        }
    }
    std::set<std::string> names = ListDir(dir);
    for (const std::string& n : names) {
        EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;
    }
    EXPECT_EQ(names.size(), 6u);
}

TEST_F(ActionsTest, GifSaveConvertsACopy) {
    if (!FindRasterCodec(kFormatGif))
        GTEST_SKIP() << "no GIF codec in this build";
    ASSERT_EQ(WriteImageFile((win + "\\x.gif").c_str()), 0);
    EXPECT_EQ(gImage.GetBpp(), 24);
    EXPECT_EQ(gColorMode, 5);
    std::string out;
    ASSERT_EQ(RunPeer(dir, "identify -format '%m %w %h' x.gif", &out), 0);
    EXPECT_EQ(out, "GIF 40 30");
}

TEST_F(ActionsTest, SaveAsThroughTheDialog) {
    gOpt.SaveAsType = 5;  // PNG
    StrCopy(gOpt.EdtSaveAsPath, countof(gOpt.EdtSaveAsPath), (win + "\\").c_str());
    int r = 0;
    std::thread driver([] {
        HWND dlg = WaitForProcessDialog(10000);
        if (!dlg)
            return;
        Sleep(300);
        HWND edit = FindEdit(dlg);
        if (edit)
            SendMessageA(edit, WM_SETTEXT, 0, (LPARAM) "saved.png");
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    r = SaveImageAs(nullptr);
    driver.join();
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(PngOk("saved.png"));
    EXPECT_EQ(gOpt.SaveAsType, 5);
    EXPECT_EQ(std::string(gOpt.EdtSaveAsPath), win + "\\");
    EXPECT_EQ(std::string(gImageName), win + "\\saved.png");

    // Cancel: -1 and nothing written.
    std::thread canceller([] {
        HWND dlg = WaitForProcessDialog(10000);
        if (dlg) {
            Sleep(300);
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        }
    });
    r = SaveImageAs(nullptr);
    canceller.join();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(ListDir(dir).size(), 1u);
}

// Save As "photo" with the default type, Optimized, asks before replacing
// the file it really writes (the PNG, for a flat picture); No shows the
// dialog again.
TEST_F(ActionsTest, SaveAsOptimizedAsksBeforeReplacingTheFileItWrites) {
    if (!FindRasterCodec(kFormatJpg))
        GTEST_SKIP() << "no JPEG codec in this build";
    gOpt.SaveAsType = 7;
    StrCopy(gOpt.EdtSaveAsPath, countof(gOpt.EdtSaveAsPath), (win + "\\").c_str());
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "photo.png"), "the user's photo"));
    for (int answer : {IDNO, IDYES}) {
        std::string asked;
        std::thread driver([&] {
            HWND dlg = WaitForProcessDialog(10000);
            Sleep(300);
            SendMessageA(FindEdit(dlg), WM_SETTEXT, 0, (LPARAM) "photo");
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
            while (IsWindow(dlg))
                Sleep(20);
            asked = WithMessageBox([] {}, answer);
            if (answer == IDNO) {  // the dialog again, with the name
                HWND again = WaitForProcessDialog(10000);
                Sleep(300);
                PostMessageA(again, WM_COMMAND, IDCANCEL, 0);
            }
        });
        int r = SaveImageAs(nullptr);
        driver.join();
        EXPECT_EQ(asked, "photo.png already exists.\nDo you want to replace it?");
        EXPECT_EQ(r, answer == IDNO ? -1 : 0);
        EXPECT_EQ(ListDir(dir).size(), 1u);
        EXPECT_EQ(Bytes(PathJoin(dir, "photo.png")) == "the user's photo", answer == IDNO);
    }
    EXPECT_TRUE(PngOk("photo.png")) << "replaced once the user said so";
}

TEST_F(ActionsTest, ClipboardCopyAndABusyClipboard) {
    ASSERT_EQ(CopyToClipboard(nullptr), 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL g = GetClipboardData(CF_DIB);
    ASSERT_TRUE(g);
    const BYTE* p = (const BYTE*)GlobalLock(g);
    ASSERT_TRUE(p);
    EXPECT_EQ(memcmp(p, gImage.GetDibBlock(), gImage.GetDibSize()), 0);
    GlobalUnlock(g);
    CloseClipboard();

    // Held open by another thread: the message, -1.
    HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL held = FALSE;
    std::thread holder([&] {
        HWND owner = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        held = OpenClipboard(owner);
        SetEvent(opened);
        WaitForSingleObject(release, 20000);
        CloseClipboard();
        DestroyWindow(owner);
    });
    WaitForSingleObject(opened, 5000);
    EXPECT_TRUE(held);
    int r = 0;
    EXPECT_EQ(WithMessageBox([&] { r = CopyToClipboard(nullptr); }, IDOK), gApp.Text(IDS_NO_CLIPBOARD, 0));
    EXPECT_EQ(r, -1);
    SetEvent(release);
    holder.join();
    CloseHandle(opened);
    CloseHandle(release);
}

TEST_F(ActionsTest, ActionsAndTheirFlags) {
    SetSavePath("\\shot.png");
    // The edited flag survives the editor run by letter and by default action.
    gEdited = true;
    WithEditorCancelled([&] { RunAction('D'); });
    EXPECT_TRUE(gEdited);
    gOpt.DefAct = kDefaultActionOn | kActEdit;
    WithEditorCancelled([&] { RunAction(0); });
    EXPECT_TRUE(gEdited);
    // A successful action clears it; the sequential save also marks the capture saved.
    RunAction('S');
    EXPECT_FALSE(gEdited);
    EXPECT_TRUE(gSavedSequentially);
    EXPECT_TRUE(FileExists(PathJoin(dir, "shot0001.png")));
    // Default action switched off: nothing runs.
    gOpt.DefAct = 5;
    RunAction(0);
    EXPECT_EQ(ListDir(dir).size(), 1u);
    gOpt.DefAct = kDefaultActionOn | kActSave;
    RunAction(0);
    EXPECT_EQ(ListDir(dir).size(), 2u);

    // The Save button writes once per capture.
    gSavedSequentially = false;
    OnActionButton(IDC_SAVE);
    OnActionButton(IDC_SAVE);
    EXPECT_EQ(ListDir(dir).size(), 3u);
    // Opening a file makes it a new picture: Save writes again.
    EXPECT_TRUE(OpenImageFile((win + "\\shot0001.png").c_str()));
    EXPECT_FALSE(gSavedSequentially);
    EXPECT_EQ(std::string(gImageName), win + "\\shot0001.png");
    EXPECT_EQ(gColorMode, 5);
    OnActionButton(IDC_SAVE);
    EXPECT_EQ(ListDir(dir).size(), 4u);
    // A file that is not there changes nothing.
    EXPECT_FALSE(OpenImageFile((win + "\\none.png").c_str()));
    EXPECT_EQ(std::string(gImageName), win + "\\shot0004.png");

    // Buttons without an image say so.
    ClearImage();
    EXPECT_EQ(WithMessageBox([] { OnActionButton(IDC_COPY); }, IDOK), gApp.Text(IDS_CAPTURE_FIRST, 0));
}

TEST_F(ActionsTest, ConfirmDiscardAsksOnlyForAnEditedImage) {
    EXPECT_TRUE(ConfirmDiscard(nullptr));
    gEdited = true;
    bool r = true;
    std::string expected = gApp.Text(IDS_IMAGE_WILL_BE_LOST, 0);
    EXPECT_EQ(WithMessageBox([&] { r = ConfirmDiscard(nullptr); }, IDNO), expected);
    EXPECT_FALSE(r);
    EXPECT_TRUE(gEdited);
    EXPECT_EQ(WithMessageBox([&] { r = ConfirmDiscard(nullptr); }, IDYES), expected);
    EXPECT_TRUE(r);
    EXPECT_FALSE(gEdited);
}

TEST_F(ActionsTest, ResolutionFromTheMonitorSize) {
    gOpt.Monitor = 0;  // "Ignore"
    SetImageResolution();
    EXPECT_EQ(gImage.GetXDpi(), 96);
    gOpt.Monitor = 1;
    RECT screen = VirtualScreenRect();
    gOpt.MonWidth = (screen.right - screen.left) * 2.54f / 80;  // 80 pixels an inch
    gOpt.MonHeight = (screen.bottom - screen.top) * 2.54f / 50;
    SetImageResolution();
    EXPECT_NEAR(gImage.GetXDpi(), 80, 1);
    EXPECT_NEAR(gImage.GetYDpi(), 50, 1);
}

}  // namespace
