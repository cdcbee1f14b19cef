// The main dialog and its pages in this process: tabs shown and hidden,
// the pages' load and store with their number fields' error cases, the
// main button's routing, the preview and the action buttons.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/grab/hotkeys.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/main_dialog/page_actions.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/dialog_util.h"
#include "framework/message_box.h"
#include "settings/data_folders.h"
#include "tests/support/test_support.h"

namespace {

void Pump(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_HOTKEY)
                continue;  // the capture road is not this test's
            if (!IsDialogMessageA(gMainDialog, &m)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
        Sleep(5);
    } while (GetTickCount() - start < (DWORD)ms);
}

std::string Text(HWND dlg, int id) {
    char buf[300] = "";
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}

bool Enabled(HWND dlg, int id) {
    return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE;
}

void ClickAt(int x, int y) {
    SetCursorPos(x, y);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    Pump(30);
    SendInput(1, &in[0], sizeof(INPUT));
    Pump(60);
    SendInput(1, &in[1], sizeof(INPUT));
    Pump(150);
}

// Commands that reach a page, recorded by a subclass of the page.
std::vector<int> gPageCommands;
WNDPROC gPageProc;
// Records the commands that reach the page and keeps them from running: the
// real actions would open their dialogs and message boxes.
LRESULT CALLBACK RecordingPageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        gPageCommands.push_back(LOWORD(wp));
        return 0;
    }
    return CallWindowProcA(gPageProc, hwnd, msg, wp, lp);
}

class MainDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gApp.instance = GetModuleHandleA(nullptr);
        StrCopy(gApp.productName, countof(gApp.productName), "Vellumor Dialog Test");
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        std::string dir = MakeTestDir("maindialog");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir.c_str());
    }
    void SetUp() override {
        gOpt = COptions();
        gImage.Destroy();
        gApp.startMinimised = false;
        dlg_ = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        ASSERT_NE(dlg_, nullptr);
        ASSERT_EQ(gMainDialog, dlg_);
        Pump(50);  // the posted "show tab 0"
    }
    void TearDown() override {
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            ;
    }
    HWND Page(int tab) {
        HWND found = nullptr;
        // Pages are found by a control only they have.
        int probe[] = {IDC_PREVIEW, IDC_MONITOR, IDC_MINUTES, IDC_SEQ_PATH, IDC_PRINTER, IDC_SEND_TARGET};
        for (HWND w = GetWindow(dlg_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetDlgItem(w, probe[tab]))
                found = w;
        return found;
    }
    int CurrentTab() { return (int)SendDlgItemMessageA(dlg_, IDC_TABS, TCM_GETCURSEL, 0, 0); }
    void Click(HWND page, int id) {
        SendDlgItemMessageA(page, id, BM_CLICK, 0, 0);
        Pump(10);
    }
    HWND dlg_ = nullptr;
};

}  // namespace

TEST_F(MainDialogTest, ShowsTabsHidesAndLabelsTheMainButton) {
    EXPECT_TRUE(IsWindowVisible(dlg_)) << "shown on start when not minimised";
    EXPECT_EQ(CurrentTab(), 0);
    const char* labels[] = {"&New", "&New", "&New", "&Save", "&Print", "Send &To"};
    for (int n = 5; n >= 0; n--) {
        ASSERT_TRUE(ShowMainDialog(n));
        EXPECT_EQ(CurrentTab(), n);
        EXPECT_EQ(Text(dlg_, IDC_NEW), labels[n]);
        for (int other = 0; other < 6; other++)
            EXPECT_EQ(IsWindowVisible(Page(other)) != FALSE, other == n) << "tab " << n << " page " << other;
    }
    ASSERT_TRUE(ShowMainDialog(kHideMainDialog));
    EXPECT_FALSE(IsWindowVisible(dlg_));
    ASSERT_TRUE(ShowMainDialog(kShowCurrentTab));
    EXPECT_TRUE(IsWindowVisible(dlg_));
    EXPECT_EQ(CurrentTab(), 0) << "-1 keeps the tab";
    EXPECT_FALSE(ShowMainDialog(6));
    EXPECT_FALSE(ShowMainDialog(-3));
    // The tabs carry their images (the icons were found and listed).
    HIMAGELIST list = TabImageList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 10);
    // The page rectangle: every page sits inside the tab control's display area.
    RECT tabs, page;
    GetWindowRect(GetDlgItem(dlg_, IDC_TABS), &tabs);
    SendDlgItemMessageA(dlg_, IDC_TABS, TCM_ADJUSTRECT, FALSE, (LPARAM)&tabs);
    for (int n = 0; n < 6; n++) {
        GetWindowRect(Page(n), &page);
        EXPECT_GE(page.left, tabs.left - 1) << n;
        EXPECT_GE(page.top, tabs.top - 1) << n;
        EXPECT_LE(page.right, tabs.right + 1) << n;
        EXPECT_LE(page.bottom, tabs.bottom + 1) << n;
    }
}

namespace {

// The framework's message box of this process (a dialog with its first
// text line) into *(HWND*)lp.
BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[16];
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
        strcmp(cls, "#32770") == 0 && GetDlgItem(hwnd, IDC_MOX_MSGFIRST)) {
        *(HWND*)lp = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// A hot key that another program holds: the message says so once and the
// Options tab opens; Hide still hides, and the key is kept.
TEST_F(MainDialogTest, AHotKeyThatCannotBeRegisteredOpensTheOptionsTabOnce) {
    const int kCtrlAlt = (MOD_CONTROL | MOD_ALT) << 8;
    gApp.strings.SetAppTable(0, gAppTexts);
    // The other program's thread holds the key, closes and counts our boxes,
    // and lets the key go at the fifth, so that boxes asked again and again end.
    std::atomic<int> boxes{-1};
    std::atomic<bool> stop{false};
    std::string first;
    std::thread other([&] {
        HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        boxes = RegisterHotKey(w, 1, MOD_CONTROL | MOD_ALT, VK_F9) ? 0 : -2;
        for (HWND box = nullptr; !stop; box = nullptr, Sleep(20)) {
            for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageA(&m);
            EnumWindows(FindMessageBox, (LPARAM)&box);
            if (!box)
                continue;
            Sleep(100);
            if (boxes == 0)
                first = Text(box, IDC_MOX_MSGFIRST);
            if (++boxes == 5)
                UnregisterHotKey(w, 1);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !stop)
                Sleep(10);
        }
        UnregisterHotKey(w, 1);
        DestroyWindow(w);
    });
    while (boxes == -1)
        Sleep(5);
    gOpt.HotKeyCapture = kCtrlAlt | VK_F9;
    gOpt.HotKeyVellumor = 0;
    EXPECT_EQ(boxes, 0) << "the other program holds the key";
    EXPECT_TRUE(ShowMainDialog(3));
    EXPECT_FALSE(RegisterHotKeys(dlg_, 1));
    Pump(100);
    EXPECT_EQ(CurrentTab(), kTabOptions);
    EXPECT_TRUE(IsWindowVisible(Page(kTabOptions)));
    RECT hide;
    GetWindowRect(GetDlgItem(dlg_, IDCANCEL), &hide);
    ClickAt((hide.left + hide.right) / 2, (hide.top + hide.bottom) / 2);
    Pump(300);
    EXPECT_FALSE(IsWindowVisible(dlg_)) << "Hide hides";
    stop = true;
    other.join();
    EXPECT_EQ(boxes, 1) << "one message for one key";
    EXPECT_EQ(first, "The specified Capture Hot-Key could not be set!");
    EXPECT_EQ(gOpt.HotKeyCapture, kCtrlAlt | VK_F9) << "kept for the next start";
    UnregisterHotKeys();
}

TEST_F(MainDialogTest, CapturePageLoadsStoresAndBlocksOnBadNumbers) {
    gOpt.CapMode = kCapActiveWindow;
    gOpt.DefAct = kDefaultActionOn | kActSendTo;
    gOpt.Timer = 0;
    gOpt.Minutes = 45;
    gOpt.Delay = 1;
    gOpt.DelayTime = 1500;
    gOpt.DefColMode = 4;
    ASSERT_TRUE(ShowMainDialog(2));
    HWND page = Page(2);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_MODE_ACTIVE), BST_CHECKED);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_MODE_RECT), BST_UNCHECKED);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_DEFAULT_ACTION), BST_CHECKED);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_ACT_SEND), BST_CHECKED);
    EXPECT_TRUE(Enabled(page, IDC_ACT_COPY));
    EXPECT_EQ(Text(page, IDC_MINUTES), "45");
    EXPECT_FALSE(Enabled(page, IDC_MINUTES)) << "the timer is off";
    EXPECT_EQ(Text(page, IDC_DELAY_TIME), "1500");
    EXPECT_TRUE(Enabled(page, IDC_DELAY_TIME));
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_COLOR_MODE, CB_GETCURSEL, 0, 0), 4);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_COLOR_MODE, CB_GETCOUNT, 0, 0), 7);

    // Buttons that act at once.
    Click(page, IDC_MODE_WINDOW);
    EXPECT_EQ(gOpt.CapMode, kCapWindow);
    Click(page, IDC_DEFAULT_ACTION);
    EXPECT_EQ(gOpt.DefAct & kDefaultActionOn, 0);
    EXPECT_FALSE(Enabled(page, IDC_ACT_COPY));
    Click(page, IDC_DEFAULT_ACTION);
    EXPECT_EQ(gOpt.DefAct & kDefaultActionOn, kDefaultActionOn);
    EXPECT_TRUE(Enabled(page, IDC_ACT_ADJUST));
    Click(page, IDC_TIMER);
    EXPECT_EQ(gOpt.Timer, 1);
    for (int id : {IDC_EVERY_LABEL, IDC_MINUTES, IDC_MINUTES_SPIN, IDC_MINUTES_LABEL})
        EXPECT_TRUE(Enabled(page, id)) << id;
    Click(page, IDC_DELAY);
    EXPECT_EQ(gOpt.Delay, 0);
    EXPECT_FALSE(Enabled(page, IDC_DELAY_TIME));
    EXPECT_FALSE(Enabled(page, IDC_DELAY_UNIT));
    Click(page, IDC_DELAY);

    // "5x" every minutes: Hide is refused, the page keeps the user.
    SetDlgItemTextA(page, IDC_MINUTES, "5x");
    SendMessageA(dlg_, WM_COMMAND, IDCANCEL, 0);
    Pump(20);
    EXPECT_TRUE(IsWindowVisible(dlg_));
    EXPECT_EQ(CurrentTab(), 2);
    EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_MINUTES)) << "the bad field is focused";
    EXPECT_EQ(gOpt.Minutes, 45) << "nothing stored from a bad field";
    // A click on another tab cannot change it either.
    RECT first;
    HWND tabs = GetDlgItem(dlg_, IDC_TABS);
    SendMessageA(tabs, TCM_GETITEMRECT, 0, (LPARAM)&first);
    MapWindowPoints(tabs, nullptr, (POINT*)&first, 2);
    SetForegroundWindow(dlg_);
    ClickAt((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    EXPECT_EQ(CurrentTab(), 2);
    EXPECT_TRUE(IsWindowVisible(page));
    // Corrected, the same click changes the tab.
    SetDlgItemTextA(page, IDC_MINUTES, "45");
    Pump(600);  // not a double click
    ClickAt((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    EXPECT_EQ(CurrentTab(), 0);
    EXPECT_FALSE(IsWindowVisible(page));
    ASSERT_TRUE(ShowMainDialog(2));

    // Letters after the delay store 0 and do not block.
    SetDlgItemTextA(page, IDC_MINUTES, "12");
    SetDlgItemTextA(page, IDC_DELAY_TIME, "300ms");
    Click(page, IDC_ACT_PRINT);
    ASSERT_TRUE(ShowMainDialog(kHideMainDialog));
    EXPECT_FALSE(IsWindowVisible(dlg_));
    EXPECT_EQ(gOpt.Minutes, 12);
    EXPECT_EQ(gOpt.DelayTime, 0);
    EXPECT_EQ(gOpt.Delay, 1);
    EXPECT_EQ(gOpt.DefAct, kDefaultActionOn | kActPrint);
    EXPECT_EQ(gOpt.CapMode, kCapWindow);

    // An empty delay stores 0 and blocks; an empty "every" field stores 1.
    ASSERT_TRUE(ShowMainDialog(2));
    gOpt.DelayTime = 700;
    SetDlgItemTextA(page, IDC_DELAY_TIME, "");
    SetDlgItemTextA(page, IDC_MINUTES, "");
    EXPECT_FALSE(ShowMainDialog(0));
    EXPECT_EQ(CurrentTab(), 2);
    EXPECT_EQ(gOpt.DelayTime, 0);
    EXPECT_EQ(gOpt.Minutes, 1);
    // Even with the delay switched off the empty field can be reached.
    Click(page, IDC_DELAY);
    EXPECT_FALSE(ShowMainDialog(0));
    EXPECT_TRUE(Enabled(page, IDC_DELAY_TIME));
    EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_DELAY_TIME));
    SetDlgItemTextA(page, IDC_DELAY_TIME, "250");
    // Too large values are brought into range.
    SetDlgItemTextA(page, IDC_MINUTES, "250000");
    ASSERT_TRUE(ShowMainDialog(0));
    EXPECT_EQ(gOpt.DelayTime, 250);
    EXPECT_EQ(gOpt.Minutes, 100000);
    EXPECT_EQ(CurrentTab(), 0);
}

TEST_F(MainDialogTest, OptionsPageMonitorRowsUnitsAndCustomSize) {
    gOpt.Monitor = 4;
    gOpt.MonDPI = 96;
    gOpt.AutoHide = 1;
    gOpt.PlaySound = 0;
    ASSERT_TRUE(ShowMainDialog(1));
    HWND page = Page(1);
    EXPECT_EQ(SendDlgItemMessageA(page, IDC_MONITOR, CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_HIDE_ON_ACTION), BST_CHECKED);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_PLAY_SOUND), BST_UNCHECKED);
    EXPECT_EQ(GetDlgItemCheck(page, IDC_UNITS_CM), BST_CHECKED);
    double shown = 0;
    EXPECT_EQ(GetDlgItemDouble(page, IDC_MON_WIDTH, 0, 1000, true, &shown), 0);
    EXPECT_DOUBLE_EQ(shown, 32.0);
    EXPECT_EQ(Text(page, IDC_MON_DPI), "96");
    auto choose = [&](int row) {
        SendDlgItemMessageA(page, IDC_MONITOR, CB_SETCURSEL, row, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_MONITOR, CBN_SELCHANGE), (LPARAM)GetDlgItem(page, IDC_MONITOR));
        EXPECT_EQ(gOpt.Monitor, row);
    };
    const int sizeFields[] = {IDC_MON_WIDTH_LABEL, IDC_MON_WIDTH,      IDC_MON_HEIGHT_LABEL,
                              IDC_MON_HEIGHT,      IDC_MON_WIDTH_UNIT, IDC_MON_HEIGHT_UNIT};
    for (int id : sizeFields)
        EXPECT_FALSE(Enabled(page, id)) << "a fixed row: " << id;
    EXPECT_FALSE(Enabled(page, IDC_MON_DPI));
    choose(1);
    for (int id : sizeFields)
        EXPECT_TRUE(Enabled(page, id)) << "Custom: " << id;
    EXPECT_FALSE(Enabled(page, IDC_MON_DPI));
    EXPECT_FALSE(Enabled(page, IDC_MON_DPI_LABEL));
    choose(0);
    for (int id : sizeFields)
        EXPECT_FALSE(Enabled(page, id)) << "Ignore: " << id;
    EXPECT_TRUE(Enabled(page, IDC_MON_DPI));
    EXPECT_TRUE(Enabled(page, IDC_MON_DPI_LABEL));

    // Inches: labels and the shown size follow at once.
    choose(1);
    Click(page, IDC_UNITS_INCH);
    EXPECT_EQ(gOpt.Units, 1);
    EXPECT_EQ(Text(page, IDC_MON_WIDTH_UNIT), "inch");
    EXPECT_EQ(Text(page, IDC_MON_HEIGHT_UNIT), "inch");
    EXPECT_EQ(GetDlgItemDouble(page, IDC_MON_WIDTH, 0, 1000, true, &shown), 0);
    EXPECT_NEAR(shown, gOpt.MonWidth / 2.54, 0.001);
    SetDlgItemTextA(page, IDC_MON_WIDTH, "20");
    SetDlgItemTextA(page, IDC_MON_HEIGHT, "12.5");
    SetDlgItemTextA(page, IDC_MON_DPI, "150");
    ASSERT_TRUE(ShowMainDialog(0));
    EXPECT_NEAR(gOpt.MonWidth, 50.8, 0.001);
    EXPECT_NEAR(gOpt.MonHeight, 31.75, 0.001);
    EXPECT_EQ(gOpt.MonDPI, 150);
    EXPECT_EQ(gOpt.AutoHide, 1);

    // A Custom size of 0, or an empty side, keeps the user on the page.
    ASSERT_TRUE(ShowMainDialog(1));
    SetDlgItemTextA(page, IDC_MON_WIDTH, "0");
    EXPECT_FALSE(ShowMainDialog(kHideMainDialog));
    EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_MON_WIDTH));
    EXPECT_NEAR(gOpt.MonWidth, 50.8, 0.001) << "the row keeps its size";
    SetDlgItemTextA(page, IDC_MON_WIDTH, "30");
    SetDlgItemTextA(page, IDC_MON_HEIGHT, "");
    EXPECT_FALSE(ShowMainDialog(kHideMainDialog));
    EXPECT_TRUE(IsWindowVisible(dlg_));
    SetDlgItemTextA(page, IDC_MON_HEIGHT, "20");
    EXPECT_TRUE(ShowMainDialog(kHideMainDialog));
    EXPECT_NEAR(gOpt.MonWidth, 76.2, 0.001);
}

TEST_F(MainDialogTest, SavePageQualityFieldAndTrackbarFollowEachOther) {
    StrCopy(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), "D:\\Shots\\shot");
    gOpt.JPGQuality = 60;
    ASSERT_TRUE(ShowMainDialog(3));
    HWND page = Page(3);
    HWND slider = GetDlgItem(page, IDC_JPG_SLIDER);
    EXPECT_EQ(Text(page, IDC_SEQ_PATH), "D:\\Shots\\shot");
    EXPECT_EQ(Text(page, IDC_JPG_QUALITY), "60");
    EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 60);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), 1);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 100);
    SetDlgItemTextA(page, IDC_JPG_QUALITY, "90");
    EXPECT_EQ(gOpt.JPGQuality, 90);
    EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 90);
    SetDlgItemTextA(page, IDC_JPG_QUALITY, "");
    EXPECT_EQ(gOpt.JPGQuality, 90) << "an emptied field changes nothing yet";
    SetDlgItemTextA(page, IDC_JPG_QUALITY, "9q");
    EXPECT_EQ(gOpt.JPGQuality, 75);
    EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 75);
    SendMessageA(slider, TBM_SETPOS, TRUE, 33);
    SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 33), (LPARAM)slider);
    EXPECT_EQ(gOpt.JPGQuality, 33);
    // The slider wrote "33" into the field.
    EXPECT_EQ(Text(page, IDC_JPG_QUALITY), "33");
    // Storing: a bad quality blocks and keeps the stored value.
    SetDlgItemTextA(page, IDC_SEQ_PATH, "E:\\caps\\cap");
    SetDlgItemTextA(page, IDC_JPG_QUALITY, "9q");
    gOpt.JPGQuality = 40;
    EXPECT_FALSE(ShowMainDialog(0));
    EXPECT_EQ(gOpt.JPGQuality, 40);
    SetDlgItemTextA(page, IDC_JPG_QUALITY, "150");
    EXPECT_TRUE(ShowMainDialog(0));
    EXPECT_EQ(gOpt.JPGQuality, 100);
    EXPECT_STREQ(gOpt.EdtSavePath, "E:\\caps\\cap");
}

TEST_F(MainDialogTest, NewButtonFollowsTheTab) {
    HWND actions = ActionsPage();
    ASSERT_EQ(actions, Page(0));
    gPageProc = (WNDPROC)SetWindowLongPtrA(actions, GWLP_WNDPROC, (LONG_PTR)RecordingPageProc);
    const int expected[] = {0, 0, 0, IDC_SAVE_AS, IDC_PRINT, IDC_SEND_TO};
    for (int tab = 0; tab < 6; tab++) {
        ASSERT_TRUE(ShowMainDialog(tab));
        gPageCommands.clear();
        MSG m;
        while (PeekMessageA(&m, dlg_, WM_HOTKEY, WM_HOTKEY, PM_REMOVE))
            ;
        SendDlgItemMessageA(dlg_, IDC_NEW, BM_CLICK, 0, 0);
        bool capture = PeekMessageA(&m, dlg_, WM_HOTKEY, WM_HOTKEY, PM_REMOVE) && m.wParam == kHotKeyCapture;
        if (expected[tab]) {
            ASSERT_EQ(gPageCommands.size(), 1u) << "tab " << tab;
            EXPECT_EQ(gPageCommands[0], expected[tab]);
            EXPECT_FALSE(capture) << "tab " << tab;
        } else {
            EXPECT_TRUE(gPageCommands.empty()) << "tab " << tab;
            EXPECT_TRUE(capture) << "a new capture from tab " << tab;
        }
    }
    SetWindowLongPtrA(actions, GWLP_WNDPROC, (LONG_PTR)gPageProc);
}

TEST(Preview, FitsKeepingTheAspectRatio) {
    RECT r = FitPreview(200, 100, 100, 100);  // wide: full width
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.top, 25);
    EXPECT_EQ(r.bottom, 75);
    r = FitPreview(10, 100, 200, 100);  // tall: full height, centred
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.bottom, 100);
    EXPECT_EQ(r.right - r.left, 10);
    EXPECT_EQ(r.left, 95);
    r = FitPreview(300, 200, 60, 140);  // an area taller than wide
    EXPECT_EQ(r.right - r.left, 60);
    EXPECT_EQ(r.bottom - r.top, 40);
    EXPECT_EQ(r.top, 50);
    r = FitPreview(50, 50, 0, 80);
    EXPECT_TRUE(IsRectEmpty(&r));
    r = FitPreview(50, 50, 80, 0);
    EXPECT_TRUE(IsRectEmpty(&r));
    r = FitPreview(0, 50, 80, 80);
    EXPECT_TRUE(IsRectEmpty(&r));
}

TEST_F(MainDialogTest, ActionsPageShowsTheImageAndRunsEachClickOnce) {
    HWND page = ActionsPage();
    EXPECT_EQ(Text(page, IDC_DIMENSIONS), "-");
    EXPECT_EQ(Text(page, IDC_COLOR_MODE_TEXT), "-");
    // A tall red image: the preview centres it with button-face bands beside.
    BYTE* bits = gImage.Create(12, 120, 24, 0);
    ASSERT_NE(bits, nullptr);
    for (int y = 0; y < 120; y++)
        for (int x = 0; x < 12; x++) {
            BYTE* p = gImage.GetPixels() + y * gImage.GetRowStride() + x * 3;
            p[0] = 0, p[1] = 0, p[2] = 255;
        }
    RefreshImageViews();
    EXPECT_EQ(Text(page, IDC_DIMENSIONS), "12 x 120");
    EXPECT_EQ(Text(page, IDC_COLOR_MODE_TEXT), ColorModeText(gColorMode));
    SetWindowPos(dlg_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    HWND preview = GetDlgItem(page, IDC_PREVIEW);
    UpdateWindow(preview);
    Pump(100);
    RECT rc;
    GetClientRect(preview, &rc);
    HDC dc = GetDC(preview);
    COLORREF centre = GetPixel(dc, rc.right / 2, rc.bottom / 2);
    COLORREF side = GetPixel(dc, 2, rc.bottom / 2);
    ReleaseDC(preview, dc);
    EXPECT_EQ(centre, RGB(255, 0, 0));
    EXPECT_EQ(side, GetSysColor(COLOR_BTNFACE));

    // A double click on the preview asks for the editor; a mouse click on
    // an icon button gives exactly one command.
    gPageProc = (WNDPROC)SetWindowLongPtrA(page, GWLP_WNDPROC, (LONG_PTR)RecordingPageProc);
    gPageCommands.clear();
    SendMessageA(preview, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
    ASSERT_EQ(gPageCommands.size(), 1u);
    EXPECT_EQ(gPageCommands[0], IDC_EDIT);
    gPageCommands.clear();
    SetForegroundWindow(dlg_);
    RECT b;
    GetWindowRect(GetDlgItem(page, IDC_SAVE_AS), &b);
    SetCursorPos((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Pump(100);
    SendInput(1, &in[1], sizeof(INPUT));
    Pump(200);
    ASSERT_EQ(gPageCommands.size(), 1u);
    EXPECT_EQ(gPageCommands[0], IDC_SAVE_AS);
    // Pressed, then released outside the button: nothing. (Copy: leaving a
    // pressed Save or Save As drags the image out instead.)
    gPageCommands.clear();
    GetWindowRect(GetDlgItem(page, IDC_COPY), &b);
    SetCursorPos((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    Pump(50);
    SendInput(1, &in[0], sizeof(INPUT));
    Pump(100);
    SetCursorPos(b.right + 40, b.bottom + 40);
    Pump(50);
    SendInput(1, &in[1], sizeof(INPUT));
    Pump(200);
    EXPECT_TRUE(gPageCommands.empty());
    SetWindowLongPtrA(page, GWLP_WNDPROC, (LONG_PTR)gPageProc);
    gImage.Destroy();
}

TEST_F(MainDialogTest, DroppedFilesShowTheActionsTab) {
    ASSERT_TRUE(ShowMainDialog(2));
    // Three files dropped: the drop block is built as the shell builds it.
    const char names[] = "C:\\a.png\0C:\\b.png\0C:\\c.png\0";
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof names + 1);
    DROPFILES* df = (DROPFILES*)GlobalLock(h);
    df->pFiles = sizeof(DROPFILES);
    memcpy((BYTE*)df + sizeof(DROPFILES), names, sizeof names);
    GlobalUnlock(h);
    char first[MAX_PATH];
    ASSERT_EQ(DragQueryFileA((HDROP)h, 0xFFFFFFFF, nullptr, 0), 3u);
    DragQueryFileA((HDROP)h, 0, first, sizeof first);
    EXPECT_STREQ(first, "C:\\a.png");
    SendMessageA(dlg_, WM_DROPFILES, (WPARAM)h, 0);
    EXPECT_EQ(CurrentTab(), 0);
    EXPECT_TRUE(IsWindowVisible(Page(0)));
}

TEST_F(MainDialogTest, CloseHidesAVisibleDialogAndQuitsAHiddenOne) {
    SendMessageA(dlg_, WM_CLOSE, 0, 0);
    Pump(20);
    EXPECT_FALSE(IsWindowVisible(dlg_)) << "the close box hides";
    EXPECT_EQ(gMainDialog, dlg_);
    SendMessageA(dlg_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(dlg_));
    EXPECT_EQ(gMainDialog, nullptr);
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop is told to end";
    EXPECT_FALSE(ShowMainDialog(kShowCurrentTab)) << "no main dialog: nothing to show";
    EXPECT_FALSE(ShowMainDialog(0));
    EXPECT_EQ(ActionsPage(), nullptr);
    // The frame's WM_QUIT road.
    dlg_ = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ASSERT_NE(dlg_, nullptr);
    SendMessageA(dlg_, WM_QUIT, 0, 0);
    EXPECT_FALSE(IsWindow(dlg_));
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
