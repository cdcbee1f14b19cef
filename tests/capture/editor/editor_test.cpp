// The image editor under Wine with real input: the dialog runs its modal
// loop on the test's thread while a driver thread moves the mouse and
// presses keys with SendInput and reads the results back (the image's
// pixels, the selection, the files written, read by PIL).
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "base/str_util.h"
#include "capture/capture_test_util.h"
#include "capture/editor/editor_dialog.h"
#include "capture/editor/editor_state.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "settings/data_folders.h"
#include "support/test_support.h"
#include "tests/support/test_support.h"

namespace {

const UINT kMsgRun = WM_APP + 77;
HWND gRunner;

LRESULT CALLBACK RunnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgRun) {
        (*(std::function<void()>*)wp)();
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Runs fn on the GUI thread (inside the editor's modal loop) and waits.
void OnGui(std::function<void()> fn) {
    SendMessageA(gRunner, kMsgRun, (WPARAM)&fn, 0);
}

void Wait(int ms) {
    Sleep((DWORD)ms);
}

// Runs read (redraw and read the screen) on the GUI thread until it
// returns true, at most 5 s: under load, what the view paints reaches the
// screen late.
void ReadScreenUntil(const std::function<bool()>& read) {
    bool done = false;
    for (int tries = 0; tries < 50 && !done; tries++) {
        if (tries)
            Wait(100);
        OnGui([&] { done = read(); });
    }
}

// Waits (driver thread) for the editor to be shown.
bool WaitForEditor() {
    for (int i = 0; i < 200; i++) {
        if (gEditorDialog && IsWindowVisible(gEditorDialog)) {
            Wait(300);
            return true;
        }
        Wait(25);
    }
    return false;
}

// Screen point of the corner before image pixel (x, y) (for selections:
// the band's pixel rounding lands exactly on it).
POINT EdgePoint(int x, int y) {
    POINT p;
    OnGui([&] {
        UpdateViewOffsets();
        p.x = (int)(gEd.offsetX + (x - gEd.scrollX) * gEd.zoom);
        p.y = (int)(gEd.offsetY + (y - gEd.scrollY) * gEd.zoom);
        ClientToScreen(gEd.view, &p);
    });
    return p;
}

// Screen point in the middle of image pixel (x, y).
POINT PixelPoint(int x, int y) {
    POINT p;
    OnGui([&] {
        UpdateViewOffsets();
        p.x = (int)(gEd.offsetX + (x - gEd.scrollX) * gEd.zoom + gEd.zoom / 2);
        p.y = (int)(gEd.offsetY + (y - gEd.scrollY) * gEd.zoom + gEd.zoom / 2);
        ClientToScreen(gEd.view, &p);
    });
    return p;
}

void Drag(POINT from, POINT to, bool left = true) {
    MouseTo(from.x, from.y);
    MouseButton(left, true);
    MouseTo((from.x + to.x) / 2, (from.y + to.y) / 2);
    MouseTo(to.x, to.y);
    MouseButton(left, false);
    Wait(100);
}

void Command(int id, int code = 0) {
    OnGui([&] { SendMessageA(gEd.dialog, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(gEd.dialog, id)); });
}

void PickRow(int box, int row) {
    OnGui([&] { SendDlgItemMessageA(gEd.dialog, box, CB_SETCURSEL, (WPARAM)row, 0); });
    Command(box, CBN_SELCHANGE);
}

RECT Selection() {
    RECT r;
    OnGui([&] { r = RECT{gEd.left, gEd.top, gEd.right, gEd.bottom}; });
    return r;
}

std::string ItemText(int id) {
    char buf[64] = "";
    OnGui([&] { GetDlgItemTextA(gEd.dialog, id, buf, (int)sizeof buf); });
    return buf;
}

COLORREF ImagePixel(int x, int y) {
    COLORREF c;
    OnGui([&] { c = PixelAt(gImage, x, y); });
    return c;
}

// The image: white with a red 20 x 10 block at (60, 50) and a blue pixel
// at (45, 35), 24-bit.
void MakeTestImage(int w = 200, int h = 150) {
    ASSERT_NE(gImage.Create(w, h, 24, 0), nullptr);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD c = {255, 255, 255, 0};
            if (x >= 60 && x < 80 && y >= 50 && y < 60)
                c = RGBQUAD{0, 0, 255, 0};
            if (x == 45 && y == 35)
                c = RGBQUAD{255, 0, 0, 0};
            gImage.SetPixelColor(x, h - 1 - y, c);
        }
    gColorMode = kColorTrue;
}

std::string ImageBytes(const CRaster& img) {
    return std::string((const char*)img.GetDibBlock(), img.GetDibSize());
}

class EditorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitCaptureApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RunnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VpEditorTestRunner";
        RegisterClassA(&wc);
        gRunner = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        dir_ = MakeTestDir("editor");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir_.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir_.c_str());
    }
    void SetUp() override {
        InitCaptureApp();
        gOpt.AdjWndRect = RECT{};
        gOpt.AdjWndMax = SW_SHOWNORMAL;
        gOpt.BrushSize = 1;
        gOpt.Tool = kToolSelect;
        MakeTestImage();
        ClearUndo();
    }
    // Runs the editor (or, with openThroughPage, the Actions page's button)
    // on this thread while drive() runs on a driver thread.
    INT_PTR RunEditor(int autoCrop, const std::function<void()>& drive) {
        std::atomic<bool> shown(false);
        std::thread driver([&] {
            shown = WaitForEditor();
            if (shown)
                drive();
            // Whatever happened, the dialog ends.
            for (int i = 0; i < 20 && gEditorDialog; i++) {
                PostMessageA(gEditorDialog, WM_COMMAND, IDCANCEL, 0);
                Wait(100);
            }
        });
        INT_PTR r = RunImageEditor(nullptr, autoCrop);
        driver.join();
        EXPECT_TRUE(shown) << "the editor did not show";
        return r;
    }
    static std::string dir_;
};
std::string EditorTest::dir_;

}  // namespace

namespace {

// One zoom step out from the selection's fitting zoom: the selection and
// some room around it are in the view at any DPI (the fitting zoom can
// leave an edge just outside once the scroll bars take their room).
void ZoomBySteps(int steps) {
    OnGui([&] {
        int step = (int)SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_GETPOS, 0, 0) + steps;
        SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_SETPOS, TRUE, step > 0 ? step : 0);
    });
    Command(IDC_ED_ZOOM);  // the selection is centred again
}

void ZoomOutAStep() {
    ZoomBySteps(-1);
}

}  // namespace

TEST_F(EditorTest, EditButtonSelectCropBoxOkAndTheSavedFileHoldsTheEdit) {
    gOpt.CRFore = RGB(0, 0, 0);
    gOpt.CRBack = RGB(0, 200, 0);
    gOpt.BackFill = 1;
    gApp.startMinimised = false;
    HWND main = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_NE(main, nullptr);
    PumpFor(100);
    HWND page = ActionsPage();
    ASSERT_NE(page, nullptr);
    RECT sel = {}, afterCrop = {};
    std::string size;
    std::thread driver([&] {
        if (!WaitForEditor())
            return;
        // A selection drawn with the mouse.
        Drag(EdgePoint(40, 30), EdgePoint(120, 90));
        sel = Selection();
        size = ItemText(IDC_ED_SIZE);
        // Crop keeps exactly the frame shown.
        Command(IDC_ED_CROP);
        afterCrop = Selection();
        // A box: black outline, the background colour inside.
        PickRow(IDC_ED_TOOL, kToolBox);
        Drag(PixelPoint(2, 2), PixelPoint(15, 15));
        // The pointer rests over the image with its brush preview; Enter
        // ends the dialog: the preview must not stay in the image.
        POINT rest = PixelPoint(50, 40);
        MouseTo(rest.x, rest.y);
        Wait(200);
        OnGui([&] { SetFocus(GetDlgItem(gEd.dialog, IDOK)); });
        Key(VK_RETURN);
        Wait(300);
        for (int i = 0; i < 10 && gEditorDialog; i++) {
            PostMessageA(gEditorDialog, WM_COMMAND, IDCANCEL, 0);
            Wait(100);
        }
    });
    SendDlgItemMessageA(page, IDC_EDIT, BM_CLICK, 0, 0);
    driver.join();
    EXPECT_TRUE(gEdited) << "OK marks the image edited";
    char dims[32] = "";
    GetDlgItemTextA(page, IDC_DIMENSIONS, dims, (int)sizeof dims);
    EXPECT_STREQ(dims, "80 x 60") << "the Actions page shows the edited image";
    EXPECT_EQ(sel.left, 40);
    EXPECT_EQ(sel.top, 30);
    EXPECT_EQ(sel.right, 120);
    EXPECT_EQ(sel.bottom, 90);
    EXPECT_EQ(size, "80 x 60");
    EXPECT_EQ(afterCrop.right, 80);
    EXPECT_EQ(afterCrop.bottom, 60);
    ASSERT_EQ(gImage.Width(), 80);
    ASSERT_EQ(gImage.Height(), 60);
    DestroyWindow(main);

    std::string file = PathJoin(dir_, "edited.png");
    ASSERT_TRUE(gImage.Save(file.c_str(), 4 /* PNG */));
    std::string out;
    std::string cmd =
        "/usr/bin/python3 -c \"from PIL import Image;im=Image.open('edited.png').convert('RGB');"
        "print(im.size, *[im.getpixel(p) for p in [(2,2),(8,8),(15,15),(16,16),(25,25),(5,5),(50,40)]])\"";
    ASSERT_EQ(RunPeer(dir_, cmd, &out), 0) << out;
    // (5,5) in the crop is the blue pixel at (45,35); (25,25) is red; the
    // pointer rested at (50,40) and left nothing there.
    EXPECT_EQ(out,
              "(80, 60) (0, 0, 0) (0, 200, 0) (0, 0, 0) (255, 255, 255) (255, 0, 0) (0, 200, 0) (255, 255, 255)\n");
}

TEST_F(EditorTest, CancelAfterThreeEditsRestoresPixelsAndColourMode) {
    std::string before = ImageBytes(gImage);
    int undoCount = -1;
    int brush[4] = {};
    INT_PTR r = RunEditor(0, [&] {
        // The brush size field: at most 128; 0, negative or no number give 1.
        const char* entries[] = {"500", "0", "-7", "abc"};
        for (int i = 0; i < 4; i++) {
            OnGui([&] { SetDlgItemTextA(gEd.dialog, IDC_ED_BRUSH, entries[i]); });
            Command(IDC_ED_BRUSH, CBN_EDITCHANGE);
            brush[i] = gOpt.BrushSize;
        }
        Drag(EdgePoint(20, 20), EdgePoint(100, 80));
        Command(IDC_ED_HIGHLIGHT);
        PickRow(IDC_ED_COLOR_MODE, kColorGrey);
        PickRow(IDC_ED_TOOL, kToolDraw);
        Drag(PixelPoint(30, 30), PixelPoint(60, 60));
        OnGui([&] { undoCount = gUndo.count; });
        Key(VK_ESCAPE);
        Wait(300);
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(brush[0], 128);
    EXPECT_EQ(brush[1], 1);
    EXPECT_EQ(brush[2], 1);
    EXPECT_EQ(brush[3], 1);
    EXPECT_EQ(undoCount, 3);
    EXPECT_EQ(gColorMode, kColorTrue);
    EXPECT_EQ(gImage.GetBpp(), 24);
    EXPECT_TRUE(ImageBytes(gImage) == before) << "the pixels are as before the first edit";
    EXPECT_EQ(gUndo.count, 0);
}

TEST_F(EditorTest, TheColourModeBoxShowsTheModeAnUndoRestores) {
    int shownAfterPick = -1, shownAfterUndo = -1, modeAfterUndo = -1;
    RunEditor(0, [&] {
        PickRow(IDC_ED_COLOR_MODE, kColorGrey);
        OnGui([&] { shownAfterPick = (int)SendDlgItemMessageA(gEd.dialog, IDC_ED_COLOR_MODE, CB_GETCURSEL, 0, 0); });
        Command(IDC_ED_UNDO);
        OnGui([&] {
            shownAfterUndo = (int)SendDlgItemMessageA(gEd.dialog, IDC_ED_COLOR_MODE, CB_GETCURSEL, 0, 0);
            modeAfterUndo = gColorMode;
        });
    });
    EXPECT_EQ(shownAfterPick, kColorGrey);
    EXPECT_EQ(modeAfterUndo, kColorTrue);
    EXPECT_EQ(shownAfterUndo, kColorTrue) << "the box follows the undone conversion";
}

TEST_F(EditorTest, StrokesUndoOneByOneAndTheUndoButtonFollowsTheStack) {
    gOpt.CRFore = RGB(255, 0, 255);
    gOpt.BrushSize = 4;
    std::string before = ImageBytes(gImage);
    bool enabledAtStart = true, enabledAfter = false, enabledAtEnd = true;
    COLORREF drawn = 0, afterOneUndo = 0, fillInside = 0, textPixels = 0;
    bool typed = false;
    std::string restored;
    INT_PTR r = RunEditor(0, [&] {
        OnGui([&] { enabledAtStart = IsWindowEnabled(GetDlgItem(gEd.dialog, IDC_ED_UNDO)) != FALSE; });
        PickRow(IDC_ED_TOOL, kToolDraw);
        Drag(PixelPoint(10, 10), PixelPoint(40, 10));
        Drag(PixelPoint(10, 20), PixelPoint(40, 20));
        PickRow(IDC_ED_TOOL, kToolLine);
        Drag(PixelPoint(10, 100), PixelPoint(90, 100));
        OnGui([&] { enabledAfter = IsWindowEnabled(GetDlgItem(gEd.dialog, IDC_ED_UNDO)) != FALSE; });
        drawn = ImagePixel(50, 100);
        Command(IDC_ED_UNDO);
        afterOneUndo = ImagePixel(50, 100);
        Command(IDC_ED_UNDO);
        Command(IDC_ED_UNDO);
        OnGui([&] {
            restored = ImageBytes(gImage);
            enabledAtEnd = IsWindowEnabled(GetDlgItem(gEd.dialog, IDC_ED_UNDO)) != FALSE;
        });
        // Fill: the red block becomes the foreground colour.
        PickRow(IDC_ED_TOOL, kToolFill);
        POINT p = PixelPoint(65, 55);
        MouseTo(p.x, p.y);
        MouseButton(true, true);
        MouseButton(true, false);
        Wait(200);
        fillInside = ImagePixel(79, 59);
        // Text through the "Enter Text" window, no background.
        gOpt.BackFill = 0;
        PickRow(IDC_ED_TOOL, kToolText);
        HWND text = nullptr;
        OnGui([&] { text = gEd.text; });
        EXPECT_NE(text, nullptr) << "the text tool opens its window";
        if (text) {
            // Typed into the text window: its edit field has the focus.
            OnGui([&] { SetFocus(GetDlgItem(text, IDC_TEXT_EDIT)); });
            Key('W');
            Key('W');
            Key('W');
            Wait(200);
            OnGui([&] { typed = gTextMask.width > 0; });
            POINT t = PixelPoint(150, 120);
            MouseTo(t.x, t.y);
            MouseButton(true, true);
            MouseButton(true, false);
            Wait(200);
            OnGui([&] {
                for (int y = 100; y < 140; y++)
                    for (int x = 110; x < 190; x++)
                        if (PixelAt(gImage, x, y) == RGB(255, 0, 255))
                            textPixels++;
            });
        }
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_FALSE(enabledAtStart);
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(drawn, RGB(255, 0, 255));
    EXPECT_EQ(afterOneUndo, RGB(255, 255, 255));
    EXPECT_TRUE(restored == before) << "three undos give the image before the first stroke";
    EXPECT_FALSE(enabledAtEnd);
    EXPECT_EQ(fillInside, RGB(255, 0, 255));
    EXPECT_TRUE(typed) << "the typed text is rendered";
    EXPECT_GT(textPixels, 10u) << "the text was drawn at the click";
    EXPECT_EQ(PixelAt(gImage, 150, 20), RGB(255, 255, 255));
}

TEST_F(EditorTest, AutoCropFromTheActionsTabFindsTheSquareAndCropKeepsIt) {
    ASSERT_NE(gImage.Create(100, 80, 24, 0), nullptr);
    for (int y = 0; y < 80; y++)
        for (int x = 0; x < 100; x++) {
            bool square = x >= 30 && x < 40 && y >= 20 && y < 30;
            gImage.SetPixelColor(x, 79 - y, square ? RGBQUAD{0, 0, 0, 0} : RGBQUAD{255, 255, 255, 0});
        }
    RECT found = {};
    INT_PTR r = RunEditor(1, [&] {
        found = Selection();
        Command(IDC_ED_CROP);
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(found.left, 30);
    EXPECT_EQ(found.top, 20);
    EXPECT_EQ(found.right, 40);
    EXPECT_EQ(found.bottom, 30);
    ASSERT_EQ(gImage.Width(), 10);
    ASSERT_EQ(gImage.Height(), 10);
    int black = 0;
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            black += PixelAt(gImage, x, y) == RGB(0, 0, 0);
    EXPECT_EQ(black, 100);

    // The editor's own Auto Crop on a noisy image: no crash, the result
    // inside the image.
    MakeTestImage(64, 48);
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            gImage.SetPixelColor(x, y, RGBQUAD{(BYTE)(x * 37 + y * 11), (BYTE)(x * y), (BYTE)(y * 53), 0});
    r = RunEditor(0, [&] {
        Command(IDC_ED_AUTOCROP);
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_GT(gImage.Width(), 0);
    EXPECT_LE(gImage.Width(), 64);
}

TEST_F(EditorTest, ZoomWheelPanEdgesKeysAndBandCancel) {
    double fitZoom = 0, wheelZoom = 0, maxZoom = 0, minZoom = 0;
    int pointerBefore = -1, pointerAfter = -2;
    RECT swapped = {}, afterA = {}, bandCancelled = {};
    int scrollBefore = 0, scrollAfter = 0;
    bool openAfterEsc = false;
    INT_PTR r = RunEditor(0, [&] {
        OnGui([&] { fitZoom = gEd.zoom; });
        // The wheel zooms in one step and keeps the pixel under the pointer.
        POINT p = PixelPoint(100, 75);
        MouseTo(p.x, p.y);
        OnGui([&] { pointerBefore = gEd.pointerX; });
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = MOUSEEVENTF_WHEEL;
        in.mi.mouseData = (DWORD)-WHEEL_DELTA;
        SendInput(1, &in, sizeof in);
        Wait(300);
        MouseTo(p.x + 1, p.y);
        MouseTo(p.x, p.y);
        OnGui([&] {
            wheelZoom = gEd.zoom;
            pointerAfter = gEd.pointerX;
        });
        for (int i = 0; i < 8; i++) {
            SendInput(1, &in, sizeof in);
            Wait(100);
        }
        OnGui([&] { maxZoom = gEd.zoom; });
        in.mi.mouseData = WHEEL_DELTA;
        for (int i = 0; i < 9; i++) {
            SendInput(1, &in, sizeof in);
            Wait(100);
        }
        OnGui([&] { minZoom = gEd.zoom; });
        // Back to the fitting zoom: "A" with the focus in the tool box.
        OnGui([&] { SetFocus(GetDlgItem(gEd.dialog, IDC_ED_TOOL)); });
        Key('A');
        Wait(200);
        OnGui([&] { afterA = RECT{gEd.left, gEd.top, gEd.right, gEd.bottom}; });
        // A selection, then its left edge dragged past its right one.
        Drag(EdgePoint(40, 30), EdgePoint(120, 90));
        ZoomOutAStep();
        POINT edge = EdgePoint(40, 60);
        edge.x -= 1;
        // Four pixels past the right edge: inside the view at any DPI.
        POINT beyond = EdgePoint(124, 60);
        beyond.x -= 1;  // the left edge rounds to the pixel right of the pointer
        Drag(edge, beyond);
        swapped = Selection();
        // Back to the selection's zoom, centred on it: room to pan both ways.
        ZoomBySteps(1);
        // Panning with the right button at the zoom of the selection.
        OnGui([&] { scrollBefore = gEd.scrollX; });
        POINT a = PixelPoint(100, 60);
        Drag(a, POINT{a.x + 80, a.y}, false);
        Wait(200);
        OnGui([&] { scrollAfter = gEd.scrollX; });
        // Esc while a band is drawn cancels the band only.
        OnGui([&] { KillTimer(gEd.view, 4369); });
        // The band starts inside the view (wherever panning left the
        // selection), off the selection's lines.
        RECT keep = Selection();
        RECT view;
        OnGui([&] { GetWindowRect(gEd.view, &view); });
        POINT b0 = {view.left + (view.right - view.left) / 4, view.top + (view.bottom - view.top) / 4};
        POINT l = EdgePoint(keep.left, keep.top), rb = EdgePoint(keep.right, keep.bottom);
        for (int x : {l.x, rb.x})
            if (abs(b0.x - x) < 8)
                b0.x = x + 12;
        for (int y : {l.y, rb.y})
            if (abs(b0.y - y) < 8)
                b0.y = y + 12;
        MouseTo(b0.x, b0.y);
        MouseButton(true, true);
        MouseTo(b0.x + 30, b0.y + 30);
        Key(VK_ESCAPE);
        Wait(300);
        MouseButton(true, false);
        Wait(200);
        bandCancelled = Selection();
        openAfterEsc = gEditorDialog != nullptr && IsWindow(gEditorDialog);
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_GT(wheelZoom, fitZoom);
    EXPECT_EQ(pointerAfter, pointerBefore) << "the pixel under the pointer stays";
    EXPECT_EQ(maxZoom, 16.0);
    EXPECT_EQ(minZoom, 0.25);
    EXPECT_EQ(afterA.left, 0);
    EXPECT_EQ(afterA.right, 200);
    EXPECT_EQ(afterA.bottom, 150);
    EXPECT_EQ(swapped.left, 120);
    EXPECT_EQ(swapped.right, 124);
    EXPECT_EQ(swapped.top, 30);
    EXPECT_EQ(swapped.bottom, 90);
    EXPECT_LT(scrollAfter, scrollBefore) << "dragging right shows what is left of the view";
    EXPECT_TRUE(openAfterEsc);
    EXPECT_EQ(bandCancelled.left, swapped.left);
    EXPECT_EQ(bandCancelled.right, swapped.right);
}

TEST_F(EditorTest, AMaximisedEditorReopensMaximisedAndTheHighlightNeedsASelection) {
    std::string message;
    INT_PTR r = RunEditor(0, [&] {
        PostMessageA(gEditorDialog, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        Wait(400);
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(gOpt.AdjWndMax, SW_SHOWMAXIMIZED);
    bool zoomed = false;
    std::string before = ImageBytes(gImage);
    r = RunEditor(0, [&] {
        OnGui([&] { zoomed = IsZoomed(gEd.dialog) != FALSE; });
        std::thread closer([&] {
            HWND box = nullptr;
            for (int i = 0; i < 100 && !box; i++) {
                Wait(50);
                box = FindWindowA("#32770", "Vellumor Pro");
            }
            if (box) {
                char text[200] = "";
                for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                    GetWindowTextA(c, text, (int)sizeof text);
                    if (strstr(text, "select"))
                        message = text;
                }
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
        });
        Command(IDC_ED_HIGHLIGHT);
        closer.join();
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_TRUE(zoomed);
    EXPECT_EQ(message, "Please select an image area first!");
    EXPECT_TRUE(ImageBytes(gImage) == before);
    EXPECT_EQ(gOpt.AdjWndMax, SW_SHOWMAXIMIZED) << "closed maximised again";
    // A stored place wholly off the screens is ignored.
    gOpt.AdjWndRect = RECT{-30000, -30000, -29000, -29000};
    gOpt.AdjWndMax = SW_SHOWNORMAL;
    RECT shown = {};
    RunEditor(0, [&] {
        OnGui([&] { GetWindowRect(gEd.dialog, &shown); });
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_GT(shown.left, -1000);
    EXPECT_GT(shown.top, -1000);
}

namespace {

// Copies of 192 MB fill a 32-bit address space after a few pushes; the
// next push fails and evicting makes room.
void CheckEvictionWhenMemoryRunsOut() {
    ASSERT_NE(gImage.Create(8192, 8192, 24, 0), nullptr);
    gImage.SetPixelColor(0, 0, RGBQUAD{0, 0, 0, 0});
    ASSERT_TRUE(PushUndo());
    int pushes = 1;
    for (; pushes < 40; pushes++) {
        gImage.SetPixelColor(0, 0, RGBQUAD{(BYTE)pushes, 0, 0, 0});
        if (!PushUndo())
            break;
    }
    ASSERT_LT(pushes, 40);
    ASSERT_GE(gUndo.count, 2);
    int full = gUndo.count;
    BYTE secondMark = gUndo.At(1)->image->GetPixelColor(0, 0).rgbBlue;
    gImage.SetPixelColor(0, 0, RGBQUAD{200, 0, 0, 0});
    EXPECT_TRUE(PushUndoEvicting());
    EXPECT_EQ(gUndo.count, full) << "one entry dropped for the new one";
    EXPECT_EQ(gUndo.At(0)->image->GetPixelColor(0, 0).rgbBlue, 0) << "entry 0 is kept";
    EXPECT_NE(gUndo.At(1)->image->GetPixelColor(0, 0).rgbBlue, secondMark) << "entry 1 was evicted";
    EXPECT_EQ(gUndo.At(gUndo.count - 1)->image->GetPixelColor(0, 0).rgbBlue, 200);
    UndoTo(0);
    EXPECT_EQ(gImage.GetPixelColor(0, 0).rgbBlue, 0) << "Cancel still reaches the first state";
    EXPECT_EQ(gUndo.count, 0);
    gImage.Destroy();
}

}  // namespace

TEST(EditorUndo, APushThatSucceedsReportsSuccessAndEvictionKeepsTheFirstEntry) {
    ClearUndo();
    MakeTestImage(8, 8);
    EXPECT_TRUE(PushUndoEvicting()) << "the first push succeeded";
    EXPECT_EQ(gUndo.count, 1);
    ClearUndo();
    if (sizeof(void*) == 4 || getenv("VP_ADDRESS_SPACE_LIMITED")) {
        CheckEvictionWhenMemoryRunsOut();
        return;
    }
    // A 64-bit process has more address space than the machine has memory:
    // this test runs again in a copy of the program started under a limit
    // of 3.5 GB of address space (Wine itself takes about 1.8 GB).
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    std::string out;
    int rc = RunPeer(
        MakeTestDir("undo_limit"),
        "env -u GTEST_SHARD_INDEX -u GTEST_TOTAL_SHARDS VP_ADDRESS_SPACE_LIMITED=1 prlimit --as=3500000000 "
        "wine '" +
            UnixPathOf(exe) +
            "' --gtest_color=no --gtest_filter=EditorUndo.APushThatSucceedsReportsSuccessAndEvictionKeepsTheFirstEntry",
        &out);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test."), std::string::npos) << out;
}

TEST(EditorSnapshot, RestoreNeverReadsOutsideTheSnapshot) {
    MakeTestImage(40, 30);
    SnapshotImage();
    gImage.SetPixelColor(5, 29 - 5, RGBQUAD{1, 2, 3, 0});
    RECT outside = {30, 20, 45, 29};
    RestoreFromSnapshot(&outside);  // reaches past the right edge: nothing
    RECT inside = {30, 20, 39, 29};
    RestoreFromSnapshot(&inside);
    EXPECT_EQ(PixelAt(gImage, 5, 5), RGB(3, 2, 1));
    RECT five = {5, 5, 5, 5};
    RestoreFromSnapshot(&five);
    EXPECT_EQ(PixelAt(gImage, 5, 5), RGB(255, 255, 255));
    // A snapshot of another size is never read.
    ASSERT_NE(gImageBackup.Create(10, 10, 24, 0), nullptr);
    gImage.SetPixelColor(5, 29 - 5, RGBQUAD{1, 2, 3, 0});
    RestoreFromSnapshot(&five);
    RestoreFromSnapshot(nullptr);
    EXPECT_EQ(PixelAt(gImage, 5, 5), RGB(3, 2, 1));
    gImageBackup.Destroy();
    gEditorScreen.Destroy();
}

TEST_F(EditorTest, TheViewShowsTheImageAndTheSelectionFrameOnScreen) {
    COLORREF red = 0, frame = 0, outside = 0;
    std::string shot = PathJoin(dir_, "editor.bmp");
    RunEditor(0, [&] {
        Drag(EdgePoint(50, 40), EdgePoint(100, 70));
        Wait(300);
        POINT r = PixelPoint(70, 55), line = EdgePoint(75, 40), out = PixelPoint(52, 42);
        line.y -= 1;  // the top line lies just above the first row
        ReadScreenUntil([&] {
            RedrawWindow(gEd.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            HDC screen = GetDC(nullptr);
            red = GetPixel(screen, r.x, r.y);
            outside = GetPixel(screen, out.x, out.y);
            // The dotted line: one of two neighbouring pixels is blue.
            frame = GetPixel(screen, line.x, line.y);
            if (frame != RGB(0, 0, 255))
                frame = GetPixel(screen, line.x + 1, line.y);
            ReleaseDC(nullptr, screen);
            return red == RGB(255, 0, 0) && outside == RGB(255, 255, 255) && frame == RGB(0, 0, 255);
        });
        OnGui([&] {
            // The whole dialog as it is on the screen, for a look.
            HDC screen = GetDC(nullptr);
            RECT wr;
            GetWindowRect(gEd.dialog, &wr);
            CImage img;
            HDC mem = CreateCompatibleDC(screen);
            HBITMAP bmp = CreateCompatibleBitmap(screen, wr.right - wr.left, wr.bottom - wr.top);
            HGDIOBJ old = SelectObject(mem, bmp);
            BitBlt(mem, 0, 0, wr.right - wr.left, wr.bottom - wr.top, screen, wr.left, wr.top, SRCCOPY);
            SelectObject(mem, old);
            if (img.CreateFromBitmapHandle(bmp, nullptr, false))
                img.Save(shot.c_str(), 1 /* BMP */);
            DeleteObject(bmp);
            DeleteDC(mem);
            ReleaseDC(nullptr, screen);
        });
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(red, RGB(255, 0, 0));
    EXPECT_EQ(outside, RGB(255, 255, 255));
    EXPECT_EQ(frame, RGB(0, 0, 255)) << "the selection's dotted line";
    EXPECT_TRUE(FileExists(shot)) << shot;
}

namespace {

int gAnnounced = 0;
void CountAnnouncement() {
    gAnnounced++;
}

}  // namespace

TEST_F(EditorTest, AnEdgeOntoItsOppositeKeepsOnePixelAndACropThatCannotCropChangesNothing) {
    int narrowest = 1000, narrowestH = 1000;
    RECT onEdge = {}, afterFailedCrop = {};
    std::string sizeShown;
    int undoAfterFailedCrop = -1, announcedByFailedCrop = -1, undoAfterCrop = -1, croppedW = 0, croppedH = 0;
    bool undoEnabled = true;
    INT_PTR r = RunEditor(0, [&] {
        Drag(EdgePoint(40, 30), EdgePoint(120, 90));
        ZoomOutAStep();
        // The left edge dragged pixel by pixel across the right one, and the
        // top edge across the bottom one: never an empty selection.
        POINT grip = EdgePoint(40, 60);
        grip.x -= 1;
        POINT right = EdgePoint(120, 60);
        MouseTo(grip.x, grip.y);
        MouseButton(true, true);
        for (int x = right.x - 4; x <= right.x + 3; x++) {
            MouseTo(x, grip.y);
            Wait(30);
            RECT s = Selection();
            if (s.right - s.left < narrowest)
                narrowest = s.right - s.left;
        }
        // Released exactly where the left edge lands on the right one.
        MouseTo(right.x - 1, grip.y);
        Wait(50);
        MouseButton(true, false);
        Wait(100);
        onEdge = Selection();
        sizeShown = ItemText(IDC_ED_SIZE);
        RECT s = Selection();
        POINT top = EdgePoint((s.left + s.right) / 2, 30);
        top.y -= 1;
        POINT bottom = EdgePoint((s.left + s.right) / 2, 90);
        MouseTo(top.x, top.y);
        MouseButton(true, true);
        for (int y = bottom.y - 4; y <= bottom.y + 3; y++) {
            MouseTo(top.x, y);
            Wait(30);
            RECT t = Selection();
            if (t.bottom - t.top < narrowestH)
                narrowestH = t.bottom - t.top;
        }
        MouseTo(top.x, bottom.y - 1);
        Wait(50);
        MouseButton(true, false);
        Wait(100);
        // A selection without a pixel (as no mouse can make it now): Crop
        // leaves the image, the undo stack and the image's listeners alone.
        OnGui([&] {
            AddImageListener(CountAnnouncement);
            gAnnounced = 0;
            gEd.left = gEd.right = 60;
        });
        Command(IDC_ED_CROP);
        OnGui([&] {
            undoAfterFailedCrop = gUndo.count;
            announcedByFailedCrop = gAnnounced;
            afterFailedCrop = RECT{gEd.left, gEd.top, gEd.right, gEd.bottom};
            undoEnabled = IsWindowEnabled(GetDlgItem(gEd.dialog, IDC_ED_UNDO)) != FALSE;
            RemoveImageListener(CountAnnouncement);
            gEd.left = 60;
            gEd.right = 61;
        });
        Command(IDC_ED_CROP);
        OnGui([&] {
            undoAfterCrop = gUndo.count;
            croppedW = gImage.Width();
            croppedH = gImage.Height();
        });
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_GE(narrowest, 1) << "the selection never loses its last column";
    EXPECT_GE(narrowestH, 1) << "nor its last row";
    EXPECT_EQ(onEdge.right - onEdge.left, 1) << onEdge.left << ".." << onEdge.right;
    EXPECT_TRUE(onEdge.left == 120 || onEdge.right == 120) << "one of the edges stays where the other was";
    EXPECT_EQ(sizeShown, "1 x 60");
    EXPECT_EQ(undoAfterFailedCrop, 0) << "a crop that cannot crop adds no undo entry";
    EXPECT_FALSE(undoEnabled);
    EXPECT_EQ(announcedByFailedCrop, 0) << "and announces no change";
    EXPECT_EQ(afterFailedCrop.left, 60);
    EXPECT_EQ(afterFailedCrop.right, 60) << "the selection is left as it was";
    EXPECT_EQ(undoAfterCrop, 1);
    EXPECT_EQ(croppedW, 1);
    EXPECT_EQ(croppedH, 1) << "the dragged rows: one";
}

TEST_F(EditorTest, ArrowAndInvertToolsPaintTheirShapes) {
    gOpt.CRFore = RGB(0, 0, 0);
    gOpt.BrushSize = 1;
    COLORREF shaft = 1, wing1 = 1, wing2 = 1, offLine = 1, inverted = 1, invertedRed = 1, outsideInvert = 1;
    COLORREF shownInverted = 1;
    RECT checkDone = {};
    INT_PTR r = RunEditor(0, [&] {
        // A horizontal arrow from (20, 100) to (120, 100): length 100, so
        // r = (int)(sqrt(1) * sqrt(100) * 0.5) = 5 and the wings end at
        // (110, 105) and (110, 95).
        PickRow(IDC_ED_TOOL, kToolArrow);
        Drag(PixelPoint(20, 100), PixelPoint(120, 100));
        shaft = ImagePixel(70, 100);
        wing1 = ImagePixel(110, 105);
        wing2 = ImagePixel(110, 95);
        offLine = ImagePixel(70, 105);
        // Invert from (150, 20) to (180, 40), and over the red block.
        PickRow(IDC_ED_TOOL, kToolInvert);
        Drag(PixelPoint(150, 20), PixelPoint(180, 40));
        Drag(PixelPoint(55, 45), PixelPoint(70, 55));
        inverted = ImagePixel(165, 30);
        outsideInvert = ImagePixel(185, 30);
        invertedRed = ImagePixel(65, 52);
        // The view shows it: the screen pixel over (165, 30).
        POINT p = PixelPoint(165, 30);
        MouseTo(p.x + 200, p.y + 200);
        Wait(200);
        ReadScreenUntil([&] {
            RedrawWindow(gEd.view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            HDC screen = GetDC(nullptr);
            shownInverted = GetPixel(screen, p.x, p.y);
            ReleaseDC(nullptr, screen);
            return shownInverted == RGB(0, 0, 0);
        });
        checkDone = Selection();
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(shaft, RGB(0, 0, 0));
    EXPECT_EQ(wing1, RGB(0, 0, 0)) << "the lower wing's end";
    EXPECT_EQ(wing2, RGB(0, 0, 0)) << "the upper wing's end";
    EXPECT_EQ(offLine, RGB(255, 255, 255));
    EXPECT_EQ(inverted, RGB(0, 0, 0)) << "white inverted";
    EXPECT_EQ(invertedRed, RGB(0, 255, 255)) << "red inverted";
    EXPECT_EQ(outsideInvert, RGB(255, 255, 255));
    EXPECT_EQ(shownInverted, RGB(0, 0, 0)) << "the view shows the inverted pixel";
    EXPECT_EQ(checkDone.right, 200) << "drawing left the selection alone";
}

TEST_F(EditorTest, ABoxWithTheRightButtonSwapsOutlineAndFill) {
    gOpt.CRFore = RGB(200, 0, 0);
    gOpt.CRBack = RGB(0, 0, 200);
    gOpt.BackFill = 1;
    gOpt.BrushSize = 1;
    COLORREF leftInside = 1, leftEdge = 1, rightInside = 1, rightEdge = 1, between = 1;
    INT_PTR r = RunEditor(0, [&] {
        PickRow(IDC_ED_TOOL, kToolBox);
        Drag(PixelPoint(10, 10), PixelPoint(40, 40));
        Drag(PixelPoint(100, 90), PixelPoint(140, 130), false);
        leftInside = ImagePixel(25, 25);
        leftEdge = ImagePixel(10, 25);
        rightInside = ImagePixel(120, 110);
        rightEdge = ImagePixel(100, 110);
        between = ImagePixel(70, 80);
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(leftInside, RGB(0, 0, 200)) << "left button: the background colour inside";
    EXPECT_EQ(leftEdge, RGB(200, 0, 0)) << "and the foreground colour around";
    EXPECT_EQ(rightInside, RGB(200, 0, 0)) << "right button: the foreground colour inside";
    EXPECT_EQ(rightEdge, RGB(0, 0, 200)) << "and the background colour around";
    EXPECT_EQ(between, RGB(255, 255, 255));
}

namespace {

// One input: the pointer moves to (x, y) and the right button comes up, so
// the release itself is the last, still moving sample of the pan.
void MoveAndReleaseRight(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_RIGHTUP;
    SendInput(1, &in, sizeof in);
}

}  // namespace

TEST_F(EditorTest, AQuickRightButtonPanFlicksTheViewOnAndASlowOneDoesNot) {
    // The flick reads the tick of each pan sample as the program handles it:
    // a loaded machine can stall the program between two samples, so each
    // case gets three tries.
    int atRelease = -1, shortlyAfter = -1, settled = -1, later = -2;
    int slowAtRelease = -1, slowAfter = -2;
    INT_PTR r = RunEditor(0, [&] {
        // Zoomed in so that the image is much larger than the view.
        OnGui([&] { SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_SETPOS, TRUE, 5); });
        Command(IDC_ED_ZOOM);
        RECT view;
        OnGui([&] { GetWindowRect(gEd.view, &view); });
        int y = (view.top + view.bottom) / 2, x0 = view.left + (view.right - view.left) * 3 / 4;
        auto panLeft = [&] {
            OnGui([&] {
                KillTimer(gEd.view, 4369);
                SendMessageA(gEd.view, kMsgScrollBy, MAKEWPARAM((WORD)(short)-1000, 0), 0);
            });
            MouseTo(x0, y);
            MouseButton(false, true);
            for (int i = 1; i <= 6; i++) {
                MouseTo(x0 - 12 * i, y);
                Sleep(4);
            }
        };
        // A quick pan to the left, released while still moving.
        for (int attempt = 0; attempt < 3 && !(shortlyAfter > atRelease && atRelease > 0); attempt++) {
            panLeft();
            MoveAndReleaseRight(x0 - 12 * 7, y);
            Wait(15);
            OnGui([&] { atRelease = gEd.scrollX; });
            Wait(150);
            OnGui([&] { shortlyAfter = gEd.scrollX; });
        }
        // It slows down and stops.
        for (int i = 0; i < 60 && settled != later; i++) {
            Wait(100);
            OnGui([&] { settled = gEd.scrollX; });
            Wait(150);
            OnGui([&] { later = gEd.scrollX; });
        }
        // A pan that rests before the release gives no flick.
        for (int attempt = 0; attempt < 3 && slowAfter != slowAtRelease; attempt++) {
            panLeft();
            Wait(300);
            MouseButton(false, false);
            Wait(15);
            OnGui([&] { slowAtRelease = gEd.scrollX; });
            Wait(300);
            OnGui([&] { slowAfter = gEd.scrollX; });
        }
        PostMessageA(gEditorDialog, WM_COMMAND, IDOK, 0);
        Wait(300);
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_GT(atRelease, 0) << "the pan itself moved the view";
    EXPECT_GT(shortlyAfter, atRelease) << "the view goes on moving after the release";
    EXPECT_EQ(settled, later) << "and comes to rest";
    EXPECT_GE(later, shortlyAfter);
    EXPECT_EQ(slowAfter, slowAtRelease) << "a pan that rested before the release does not flick";
}

TEST(EditorAt144Dpi, TheMouseTestsPassInACopyStartedAt144Dpi) {
    if (getenv("VP_EDITOR_DPI")) {
        // This is the copy: its desktop DPI must be the one asked for.
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(dpi, atoi(getenv("VP_EDITOR_DPI")));
        return;
    }
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    DWORD old = SetDesktopLogPixels(144);
    std::string out;
    int rc = RunPeer(MakeTestDir("editor144"),
                     "env -u GTEST_SHARD_INDEX -u GTEST_TOTAL_SHARDS VP_EDITOR_DPI=144 wine '" + UnixPathOf(exe) +
                         "' --gtest_color=no --gtest_filter=EditorAt144Dpi.*:EditorTest.ZoomWheel*:EditorTest."
                         "TheView*:EditorTest.AnEdge*:EditorTest.Arrow*:EditorTest.ABox*:EditorTest.AQuick*:"
                         "EditorTest.EditButton*",
                     &out);
    SetDesktopLogPixels(old);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_NE(out.find("[  PASSED  ] 8 tests."), std::string::npos) << out;
}
