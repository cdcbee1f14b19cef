// The whole capture road in this process with the real main dialog: files
// dropped on it, the capture hot key and the minute timer, the overlay in
// whole-screen mode and the default action writing the file, which PIL
// then reads. Covers what an opened file leaves behind, the texts of the
// Actions tab, the delay and the timed capture.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <string>

#include "base/str_util.h"
#include "capture/capture_test_util.h"
#include "capture/grab/hotkeys.h"
#include "capture/grab/overlay.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/page_actions.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "settings/data_folders.h"
#include "tests/support/test_support.h"

namespace {

const int kPx = 140, kPy = 90, kPw = 120, kPh = 80;  // the pattern window
const COLORREF kKeyColor = RGB(12, 200, 90);         // the tRNS colour of the PNG
const int kKeyX = 300, kKeyY = 90, kBlackX = 360, kBlackY = 90, kSwatch = 40;

// PIL's view of a saved capture: size, whether any pixel can be
// transparent, the pattern window's pixels (into pattern.raw) and the
// colour at given points.
const char kCheckScript[] =
    "import sys\n"
    "from PIL import Image\n"
    "im = Image.open(sys.argv[1])\n"
    "print('size %d %d' % im.size)\n"
    "print('transparency %s' % ('transparency' in im.info))\n"
    "print('alpha %d %d' % im.convert('RGBA').getextrema()[3])\n"
    "x, y, w, h = map(int, sys.argv[2:6])\n"
    "open('pattern.raw', 'wb').write(im.convert('RGB').crop((x, y, x + w, y + h)).tobytes())\n"
    "for p in sys.argv[6:]:\n"
    "    px, py = map(int, p.split(','))\n"
    "    print('at %s %d %d %d' % ((p,) + im.convert('RGB').getpixel((px, py))))\n";

std::string Text(HWND page, int id) {
    char buf[300] = "";
    GetDlgItemTextA(page, id, buf, sizeof buf);
    return buf;
}

// Drops one file on the window with a drop block built as the shell builds it.
void DropFile(HWND target, const std::string& path) {
    std::string names = path + '\0' + '\0';
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    DROPFILES* df = (DROPFILES*)GlobalLock(h);
    df->pFiles = sizeof(DROPFILES);
    memcpy((BYTE*)df + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(h);
    SendMessageA(target, WM_DROPFILES, (WPARAM)h, 0);
}

class CaptureRoadTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitCaptureApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        dir_ = MakeTestDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir_.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir_.c_str());
        InitCaptureApp();
        gOpt.CapMode = kCapScreen;  // whole screen: no mouse needed
        gOpt.HotKeyCapture = gOpt.HotKeyVellumor = 0;
        StrFmt(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), "%s\\shot.png", WinPath(dir_).c_str());
        ClearImage();
        gApp.startMinimised = false;
        pattern_ = ShowPatternWindow(kPx, kPy, kPw, kPh);
        key_ = ShowColorWindow(kKeyX, kKeyY, kSwatch, kSwatch, kKeyColor, true);
        black_ = ShowColorWindow(kBlackX, kBlackY, kSwatch, kSwatch, RGB(0, 0, 0), true);
        dlg_ = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        ASSERT_NE(dlg_, nullptr);
        // Away from the swatches and the pattern, which the captures read.
        SetWindowPos(dlg_, nullptr, 420, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PumpFor(100);  // the posted "show tab 0"
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir_, "check.py"), kCheckScript));
    }
    void TearDown() override {
        if (gOverlay)
            DestroyWindow(gOverlay);
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        for (HWND w : {pattern_, key_, black_})
            DestroyWindow(w);
        PumpFor(50);
        ClearImage();
    }
    // A 3 x 3 image that no capture gives.
    void SetMarker() {
        ClearImage();
        gImage.Create(3, 3, 24, 0);
        gColorMode = 5;
        RefreshImageViews();
    }
    bool IsMarker() const { return gImage.Width() == 3 && gImage.Height() == 3; }
    // Sends the capture hot key as the system posts it and pumps until
    // the capture has been grabbed and its overlay closed.
    bool CaptureByHotKey() {
        SendMessageA(dlg_, WM_HOTKEY, kHotKeyCapture, 0);
        return PumpUntil([this] { return !IsMarker() && gImage.IsValid() && !gOverlay; }, 15000);
    }
    // PIL's check of a saved capture: the output lines; the pattern's
    // pixels are compared here.
    std::string CheckSaved(const std::string& file, int* patternDiffs) {
        std::string out;
        std::string cmd = "/usr/bin/python3 check.py " + UnixPathOf(file);
        int ox = GetSystemMetrics(SM_XVIRTUALSCREEN), oy = GetSystemMetrics(SM_YVIRTUALSCREEN);
        cmd += " " + std::to_string(kPx - ox) + " " + std::to_string(kPy - oy) + " " + std::to_string(kPw) + " " +
               std::to_string(kPh);
        cmd += " " + std::to_string(kKeyX - ox + 5) + "," + std::to_string(kKeyY - oy + 5);
        cmd += " " + std::to_string(kBlackX - ox + 5) + "," + std::to_string(kBlackY - oy + 5);
        EXPECT_EQ(0, RunPeer(dir_, cmd, &out)) << out;
        std::string px;
        *patternDiffs = -1;
        if (ReadFileBytes(PathJoin(dir_, "pattern.raw"), &px) && px.size() == (size_t)kPw * kPh * 3) {
            *patternDiffs = 0;
            for (int y = 0; y < kPh; y++)
                for (int x = 0; x < kPw; x++) {
                    const BYTE* p = (const BYTE*)px.data() + 3 * ((size_t)y * kPw + x);
                    COLORREF c = PatternColor(x, y);
                    if (p[0] != GetRValue(c) || p[1] != GetGValue(c) || p[2] != GetBValue(c))
                        ++*patternDiffs;
                }
        }
        return out;
    }
    std::string ScreenSizeLine() const {
        return "size " + std::to_string(GetSystemMetrics(SM_CXVIRTUALSCREEN)) + " " +
               std::to_string(GetSystemMetrics(SM_CYVIRTUALSCREEN));
    }

    std::string dir_;
    HWND dlg_ = nullptr, pattern_ = nullptr, key_ = nullptr, black_ = nullptr;
};

}  // namespace

// A file opened through the program leaves nothing of itself in the next
// capture: neither a GIF's transparent index nor a PNG's transparent colour
// turns a colour of the new picture transparent in the saved file, and the
// capture is the screen as it was.
TEST_F(CaptureRoadTest, AnOpenedFileLeavesNothingInTheNextCapture) {
    std::string out;
    std::string py =
        "from PIL import Image\n"
        "g = Image.new('P', (8, 6)); g.putpalette([0, 0, 0, 250, 30, 30, 30, 30, 250])\n"
        "g.putdata([i % 3 for i in range(48)]); g.save('trans.gif', transparency=0)\n"
        "p = Image.new('RGB', (7, 5), (12, 200, 90)); p.putpixel((1, 1), (1, 2, 3))\n"
        "p.save('trns.png', transparency=(12, 200, 90), dpi=(300, 300))\n";
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir_, "make.py"), py));
    ASSERT_EQ(0, RunPeer(dir_, "/usr/bin/python3 make.py", &out)) << out;
    gOpt.DefAct = kDefaultActionOn | kActSave;  // the sequential save
    const struct {
        const char* file;
        const char* dims;
    } opened[] = {{"trans.gif", "8 x 6"}, {"trns.png", "7 x 5"}};
    int n = 0;
    for (const auto& o : opened) {
        SCOPED_TRACE(o.file);
        DropFile(dlg_, WinPath(PathJoin(dir_, o.file)));
        ASSERT_EQ(Text(ActionsPage(), IDC_DIMENSIONS), o.dims) << "the file was opened";
        ASSERT_TRUE(gImage.IsTransparent()) << "the file carries its transparency";
        ASSERT_TRUE(IsWindowVisible(dlg_));
        SetMarker();
        ASSERT_TRUE(CaptureByHotKey());
        EXPECT_FALSE(gImage.IsTransparent());
        std::string shot = PathJoin(dir_, "shot000" + std::to_string(++n) + ".png");
        ASSERT_TRUE(PumpUntil([&] { return FileExists(shot); }, 5000)) << "the default action saved the capture";
        int diffs = 0;
        out = CheckSaved(shot, &diffs);
        EXPECT_NE(out.find(ScreenSizeLine()), std::string::npos) << out;
        EXPECT_NE(out.find("transparency False"), std::string::npos) << out;
        EXPECT_NE(out.find("alpha 255 255"), std::string::npos) << "a transparent pixel in the capture\n" << out;
        EXPECT_NE(out.find(" 12 200 90"), std::string::npos) << "the key colour is on the screen\n" << out;
        EXPECT_NE(out.find(" 0 0 0"), std::string::npos) << "black is on the screen\n" << out;
        EXPECT_EQ(diffs, 0) << "the capture shows the screen";
    }
}

// The Actions tab's texts follow every new image, also when the dialog is
// shown again without a tab change (the show hot key, the tray).
TEST_F(CaptureRoadTest, ActionsTextsFollowANewCapture) {
    SetMarker();
    HWND page = ActionsPage();
    ASSERT_EQ(Text(page, IDC_DIMENSIONS), "3 x 3");
    ASSERT_TRUE(ShowMainDialog(kHideMainDialog));
    gOpt.DefAct = kDefaultActionOn | kActCopy;  // a copy: the action shows no dialog
    gOpt.DefColMode = 2;                        // grey
    ASSERT_TRUE(CaptureByHotKey());
    ASSERT_FALSE(IsWindowVisible(dlg_));
    ASSERT_TRUE(ShowMainDialog(kShowCurrentTab));
    EXPECT_EQ(Text(page, IDC_DIMENSIONS), std::to_string(gImage.Width()) + " x " + std::to_string(gImage.Height()));
    EXPECT_EQ(gImage.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(Text(page, IDC_COLOR_MODE_TEXT), "Grayscale (256 Steps, 8 Bit)");
}

// When the main dialog's hiding was done and when the overlay was made,
// seen by a hook on this thread's window procedures (0 when it did not
// happen).
DWORD gHiddenAt, gOverlayAt;
LRESULT CALLBACK WatchRoad(int code, WPARAM wp, LPARAM lp) {
    const CWPSTRUCT* m = (const CWPSTRUCT*)lp;
    char cls[64] = "";
    if (code == HC_ACTION && m->message == WM_WINDOWPOSCHANGED && m->hwnd == gMainDialog &&
        (((const WINDOWPOS*)m->lParam)->flags & SWP_HIDEWINDOW) && !gHiddenAt)
        gHiddenAt = GetTickCount();
    if (code == HC_ACTION && m->message == WM_CREATE && GetClassNameA(m->hwnd, cls, sizeof cls) &&
        strcmp(cls, kCaptureClassName) == 0)
        gOverlayAt = GetTickCount();
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The delay passes only when the capture first had to hide the visible
// main dialog, between the hiding and the overlay; from the hidden dialog
// (tray, hot key, timer) the overlay opens at once.
TEST_F(CaptureRoadTest, DelayOnlyWhenTheDialogHadToHide) {
    const DWORD kDelay = 2000;
    gOpt.DefAct = 0;  // no default action: the dialog shows the capture
    gOpt.Delay = 1;
    gOpt.DelayTime = (int)kDelay;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchRoad, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    struct Case {
        bool visible, delay;
    } cases[] = {{false, true}, {true, true}, {true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.visible ? "visible" : "hidden") + (c.delay ? ", delay on" : ", delay off"));
        ASSERT_TRUE(ShowMainDialog(c.visible ? 0 : -2));
        gOpt.Delay = c.delay ? 1 : 0;
        SetMarker();
        gHiddenAt = gOverlayAt = 0;
        DWORD sent = GetTickCount();
        ASSERT_TRUE(CaptureByHotKey());
        ASSERT_NE(gOverlayAt, 0u);
        if (!c.visible) {
            EXPECT_EQ(gHiddenAt, 0u);
            EXPECT_LT(gOverlayAt - sent, kDelay) << "no delay from the hidden dialog";
        } else if (c.delay) {
            ASSERT_NE(gHiddenAt, 0u);
            EXPECT_GE(gOverlayAt - gHiddenAt, kDelay) << "the delay after hiding the dialog";
        } else {
            ASSERT_NE(gHiddenAt, 0u);
            EXPECT_LT(gOverlayAt - gHiddenAt, kDelay) << "the time alone is no delay";
        }
    }
    UnhookWindowsHookEx(hook);
}

// The minute timer of the main dialog counts while the dialog is hidden;
// reaching the count starts a whole capture that runs its default action.
TEST_F(CaptureRoadTest, MinuteTimerRunsAWholeCaptureAndItsDefaultAction) {
    EXPECT_TRUE(KillTimer(dlg_, kMinuteTimer)) << "the main dialog keeps the minute timer";
    SetTimer(dlg_, kMinuteTimer, 60000, nullptr);
    ASSERT_TRUE(ShowMainDialog(kHideMainDialog));
    gOpt.Timer = 1;
    // Whatever an earlier test counted, one minute of one fires and starts over.
    gOpt.Minutes = 1;
    gOpt.DefAct = kDefaultActionOn | kActCopy;
    SetMarker();
    SendMessageA(dlg_, WM_TIMER, kMinuteTimer, 0);
    ASSERT_TRUE(PumpUntil([this] { return !IsMarker() && !gOverlay; }, 15000));

    gOpt.Minutes = 2;
    gOpt.DefAct = kDefaultActionOn | kActSave;
    StrFmt(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), "%s\\timed.png", WinPath(dir_).c_str());
    SetMarker();
    SendMessageA(dlg_, WM_TIMER, kMinuteTimer, 0);
    PumpFor(500);
    EXPECT_TRUE(IsMarker()) << "one minute of two";
    EXPECT_EQ(gOverlay, nullptr);
    SendMessageA(dlg_, WM_TIMER, kMinuteTimer, 0);
    std::string shot = PathJoin(dir_, "timed0001.png");
    ASSERT_TRUE(PumpUntil([&] { return FileExists(shot) && !gOverlay; }, 15000)) << "the second minute saves";
    EXPECT_FALSE(IsWindowVisible(dlg_)) << "the saved capture shows no dialog";
    int diffs = 0;
    std::string out = CheckSaved(shot, &diffs);
    EXPECT_NE(out.find(ScreenSizeLine()), std::string::npos) << out;
    EXPECT_EQ(diffs, 0) << "the timed capture shows the screen";
}
