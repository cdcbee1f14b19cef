// Framework windows in this process: placement records and defaults, the
// close box, the busy overlay, status texts under their mutex,
// transparency and click-through, locks, and the window menu's list.
#include <gtest/gtest.h>
#include <string.h>

#include <thread>

#include "base/crc32.h"
#include "base/str_util.h"
#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/dock_bay.h"
#include "framework/framework_messages.h"
#include "framework/instance_window.h"
#include "framework/item_kinds.h"
#include "framework/item_test_util.h"
#include "framework/monitors.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

namespace {

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gApp.instance = GetModuleHandleA(nullptr);
        StrCopy(gApp.productName, countof(gApp.productName), "Frame Test");
        dir_ = MakeTestDir("frames");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir_.c_str());
        RefreshMonitors();
    }
    void TearDown() override {
        for (int i = gApp.frames.count - 1; i >= 0; i--)
            delete *gApp.frames.At(i);
        gApp.frames.RemoveAll();
    }
    CAppWindow* Make(WORD index, DWORD flags = 0, const RECT* rect = nullptr) {
        int pos = gApp.CreateFrame(index, nullptr, "Frame Test", 0, flags, rect);
        return pos < 0 ? nullptr : *gApp.frames.At(pos);
    }
    void Drop(CAppWindow* f) {
        for (int i = 0; i < gApp.frames.count; i++)
            if (*gApp.frames.At(i) == f) {
                gApp.frames.RemoveAt(i);
                break;
            }
        delete f;
    }
    static void Pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    // The application's hidden window, which passes broadcasts to the frames.
    static HWND Phantom() {
        EnsureWindowClass("PhantomUnderTest", PhantomWndProc, IDC_ARROW, nullptr, nullptr);
        return CreateWindowExA(WS_EX_TOOLWINDOW, "PhantomUnderTest", "Frame Test", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, gApp.instance, nullptr);
    }
    std::string dir_;
};

RECT WindowRectOf(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r;
}

}  // namespace

TEST_F(FrameTest, DefaultsCascadeAndRecordsRestoreThePlacement) {
    RECT mon;
    MonitorRectFromPoint(0, 0, &mon, 0);
    int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    CAppWindow* a = Make(0);
    CAppWindow* b = Make(1);
    ASSERT_TRUE(a && b);
    char cls[32];
    GetClassNameA(a->window, cls, sizeof cls);
    EXPECT_STREQ(cls, "MoxWindow");
    RECT ra = WindowRectOf(a->window), rb = WindowRectOf(b->window);
    EXPECT_EQ(ra.right - ra.left, mw * 2 / 3);
    EXPECT_EQ(ra.bottom - ra.top, mh * 2 / 3);
    EXPECT_EQ(ra.left, (mw - mw * 2 / 3) / 2);
    EXPECT_EQ(rb.left, ra.left + 40);
    EXPECT_EQ(rb.top, ra.top + 40);
    CAppWindow* distant = Make(20);  // 40 x 20 pixels on: wraps inside the monitor
    ASSERT_TRUE(distant);
    RECT rf = WindowRectOf(distant->window);
    EXPECT_EQ(rf.left, ((mw - mw * 2 / 3) / 2 + 800) % (mon.right - mw * 2 / 3));
    EXPECT_LT(rf.right, mon.right + 1);

    // Moved, made transparent, then saved by WM_CLOSE (which does not close it).
    SetWindowPos(a->window, nullptr, 33, 44, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    a->SetTransparency(30);
    a->SetClickThrough(true);
    a->flags |= kFrameAlwaysOnTop;
    SendMessageA(a->window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(a->window)) << "WM_CLOSE does not close a frame";
    std::string rec;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir_, "(Mox)Win0.qcg"), &rec));
    ASSERT_EQ(rec.size(), 16u);
    Drop(a);
    CAppWindow* again = Make(0);
    ASSERT_TRUE(again);
    RECT r = WindowRectOf(again->window);
    EXPECT_EQ(r.left, 33);
    EXPECT_EQ(r.top, 44);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(again->transparency, 30);
    EXPECT_TRUE(again->clickThrough);
    EXPECT_TRUE(again->flags & kFrameAlwaysOnTop);
    Drop(again);

    // A record too small or off every monitor falls back to the defaults.
    FrameRecord bad = {-30000, -30000, 3, 2, 0, 0};
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir_, "(Mox)Win0.qcg"), std::string((const char*)&bad, sizeof bad)));
    CAppWindow* sane = Make(0);
    ASSERT_TRUE(sane);
    r = WindowRectOf(sane->window);
    EXPECT_EQ(r.right - r.left, mw * 2 / 3);
    EXPECT_EQ(r.left, (mw - mw * 2 / 3) / 2);
}

// A frame never moved keeps the rectangle it was created with through a
// display change (to the same layout: Xvfb cannot resize), and one created
// maximised keeps it as its restore rectangle.
TEST_F(FrameTest, ANeverMovedFrameKeepsItsRectangleThroughADisplayChange) {
    const RECT want = {100, 120, 500, 420};
    CAppWindow* f = Make(7, kFrameResizable, &want);
    CAppWindow* max = Make(8, kFrameResizable | kFrameMaximised, &want);
    HWND phantom = Phantom();
    ASSERT_TRUE(f && max && phantom);
    SendMessageA(phantom, WM_DISPLAYCHANGE, 32, 0);
    RECT now = WindowRectOf(f->window);
    EXPECT_TRUE(EqualRect(&now, &want)) << now.left << "," << now.top << "," << now.right << "," << now.bottom;
    EXPECT_TRUE(max->flags & kFrameMaximised);
    EXPECT_TRUE(EqualRect(&max->normalRect, &want)) << "the restore rectangle";
    DestroyWindow(phantom);
}

TEST_F(FrameTest, BusyOverlayFollowsTheModalDepth) {
    CAppWindow* f = Make(2);
    ASSERT_TRUE(f);
    SendMessageA(f->window, MoxMSG_BUSY, 1, 0);
    HWND overlay = FindWindowExA(f->window, nullptr, "MoxBusy", nullptr);
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay, f->busyOverlay);
    RECT client, o;
    GetClientRect(f->window, &client);
    GetClientRect(overlay, &o);
    EXPECT_EQ(o.right, client.right);
    SendMessageA(f->window, MoxMSG_BUSY, 2, 0);  // nested: still one overlay
    EXPECT_EQ(FindWindowExA(f->window, overlay, "MoxBusy", nullptr), nullptr);
    SendMessageA(f->window, MoxMSG_BUSY, 0, 0);
    EXPECT_FALSE(IsWindow(overlay));
    EXPECT_EQ(f->busyOverlay, nullptr);
    // DisableFrames tells every frame.
    gApp.DisableFrames(true);
    EXPECT_NE(f->busyOverlay, nullptr);
    gApp.DisableFrames(false);
    EXPECT_EQ(f->busyOverlay, nullptr);
    gApp.DisableFrames(false);
    EXPECT_EQ(gApp.modalDepth, 0) << "never below 0";
}

TEST_F(FrameTest, StatusTextsStackUnderTheirMutex) {
    CAppWindow* f = Make(3);
    ASSERT_TRUE(f);
    EXPECT_STREQ(f->ShownStatusText(), "Ready");
    EXPECT_EQ(f->SetStatusText(7, "Saving"), 0u);
    EXPECT_STREQ(f->ShownStatusText(), "Saving");
    EXPECT_EQ(f->SetStatusText(-1, "Pinned"), 0u);
    EXPECT_EQ(f->SetStatusText(8, "Later"), 0u);
    EXPECT_STREQ(f->ShownStatusText(), "Pinned") << "an entry with id -1 wins";
    f->SetStatusText(8, nullptr);
    f->SetStatusText(7, "");
    // Only negative ids left: the -1 entry goes too.
    EXPECT_STREQ(f->ShownStatusText(), "Ready");
    std::string longText(1500, 'x');
    f->SetStatusText(9, longText.c_str());
    EXPECT_EQ(strlen(f->ShownStatusText()), 1023u) << "cut to its buffer";

    // Another thread holds the mutex: the call gives up after a second and changes nothing.
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr), release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        WaitForSingleObject(f->statusMutex, INFINITE);
        SetEvent(taken);
        WaitForSingleObject(release, 5000);
        ReleaseMutex(f->statusMutex);
    });
    WaitForSingleObject(taken, 5000);
    DWORD start = GetTickCount();
    EXPECT_EQ(f->SetStatusText(9, "blocked"), (DWORD)WAIT_TIMEOUT);
    EXPECT_GE(GetTickCount() - start, 900u);
    SetEvent(release);
    holder.join();
    EXPECT_EQ(strlen(f->ShownStatusText()), 1023u);
    CloseHandle(taken);
    CloseHandle(release);
}

TEST_F(FrameTest, TransparencyAndClickThrough) {
    EXPECT_EQ(FrameAlpha(90), 25);
    EXPECT_EQ(FrameAlpha(10), 229);
    // A window below, and the frame above it, both shown.
    HWND below = CreateWindowExA(0, "Button", "below", WS_POPUP | WS_VISIBLE, 100, 100, 300, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    RECT rect = {100, 100, 400, 400};
    CAppWindow* f = Make(4, kFrameAlwaysOnTop, &rect);
    ASSERT_TRUE(f);
    ShowWindow(f->window, SW_SHOWNA);
    Pump();
    POINT mid = {250, 250};
    EXPECT_EQ(GetAncestor(WindowFromPoint(mid), GA_ROOT), f->window);
    BYTE alpha = 0;
    DWORD lwa = 0;
    f->OnFrameCommand(IDM_MOX_TRANSPARENCY_90);  // 90%
    ASSERT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_TRUE(GetLayeredWindowAttributes(f->window, nullptr, &alpha, &lwa));
    EXPECT_EQ(alpha, 25);
    f->OnFrameCommand(IDM_MOX_GHOST);  // ghost
    EXPECT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(GetAncestor(WindowFromPoint(mid), GA_ROOT), below) << "clicks go through";
    f->OnFrameCommand(IDM_MOX_TRANSPARENCY_OFF);  // off: click-through ends with it
    EXPECT_FALSE(GetWindowLongA(f->window, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT));
    EXPECT_EQ(GetAncestor(WindowFromPoint(mid), GA_ROOT), f->window);
    DestroyWindow(below);
}

TEST_F(FrameTest, LocksRefuseMovesAndSizes) {
    RECT rect = {50, 60, 450, 360};
    CAppWindow* f = Make(5, kFrameResizable, &rect);
    ASSERT_TRUE(f);
    f->OnFrameCommand(IDM_MOX_LOCK_POSITION);  // position lock
    SetWindowPos(f->window, nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r = WindowRectOf(f->window);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(f->normalRect.left, 50);
    f->OnFrameCommand(IDM_MOX_LOCK_SIZE);  // size lock
    SetWindowPos(f->window, nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    r = WindowRectOf(f->window);
    EXPECT_EQ(r.right - r.left, 400);
    // Lock All sets all four when one is clear, and clears them only when all are set.
    f->OnFrameCommand(IDM_MOX_LOCK_ALL);
    EXPECT_EQ(f->flags & kFrameAllLocks, (DWORD)kFrameAllLocks);
    f->OnFrameCommand(IDM_MOX_LOCK_ALL);
    EXPECT_EQ(f->flags & kFrameAllLocks, 0u);
    f->OnFrameCommand(IDM_MOX_LOCK_BAR_POSITIONS);
    f->OnFrameCommand(IDM_MOX_LOCK_ALL);
    EXPECT_EQ(f->flags & kFrameAllLocks, (DWORD)kFrameAllLocks);
    // A relayout with a rectangle lifts the locks for that move only.
    RECT to = {70, 80, 370, 280};
    f->Relayout(&to);
    r = WindowRectOf(f->window);
    EXPECT_EQ(r.left, 70);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(f->flags & kFrameAllLocks, (DWORD)kFrameAllLocks);
}

TEST_F(FrameTest, CaptionCommandsRestyleAndTheWindowMenuLists) {
    CAppWindow* f = Make(6, kFrameResizable);
    ASSERT_TRUE(f);
    f->OnFrameCommand(IDM_MOX_BORDERLESS);
    EXPECT_FALSE(GetWindowLongA(f->window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
    f->OnFrameCommand(IDM_MOX_CAPTION_SMALL);
    EXPECT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(f->flags & (kFrameBorderless | kFrameNoCaption), 0u);
    f->OnFrameCommand(IDM_MOX_CAPTION_NORMAL);
    EXPECT_EQ((DWORD)GetWindowLongA(f->window, GWL_STYLE) & WS_CAPTION, (DWORD)WS_CAPTION);
    f->OnFrameCommand(IDM_MOX_TASKBAR);
    EXPECT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    WORD ids[64];
    int n = f->BuildWindowMenu(ids, 64);
    EXPECT_EQ(n, 7) << "no bars: no bar commands, no separator";
    EXPECT_EQ(ids[0], IDM_MOX_ON_TOP);
    EXPECT_EQ(ids[6], IDM_MOX_TRANSPARENCY);
    EXPECT_EQ(ids[7], 0xFFFF);
    EXPECT_FALSE(f->OnFrameCommand(0x1234)) << "another command is not the frame's";
    // Empty bays have no thickness: the client area is the whole frame.
    RECT client;
    GetClientRect(f->window, &client);
    EXPECT_TRUE(EqualRect(&client, &f->clientRect));
}

// A borderless frame is resized along its edge; when the capture is taken
// away mid-drag (the button-up went elsewhere) the drag ends and later
// mouse moves no longer resize it.
TEST_F(FrameTest, EdgeDragEndsWhenTheCaptureIsLost) {
    RECT r = {200, 200, 500, 400};
    CAppWindow* f = Make(41, kFrameBorderless, &r);
    ASSERT_NE(f, nullptr);
    ShowWindow(f->window, SW_SHOWNORMAL);
    Pump();
    RECT before = WindowRectOf(f->window);
    auto send = [&](UINT msg, int x, int y) {
        MSG m = {};
        m.hwnd = f->window;
        m.message = msg;
        m.pt = {x, y};
        m.lParam = MAKELPARAM(x - before.left, y - before.top);
        gApp.PreDispatch(&m);
    };
    int edgeX = before.right - 2, midY = (before.top + before.bottom) / 2;
    send(WM_MOUSEMOVE, edgeX, midY);
    send(WM_LBUTTONDOWN, edgeX, midY);
    ASSERT_EQ(GetCapture(), f->window) << "a press on the right edge starts the drag";
    send(WM_MOUSEMOVE, edgeX + 40, midY);
    RECT dragged = WindowRectOf(f->window);
    EXPECT_EQ(dragged.right - before.right, 40);

    ReleaseCapture();  // the button-up is lost
    send(WM_MOUSEMOVE, edgeX + 120, midY);
    RECT after = WindowRectOf(f->window);
    EXPECT_EQ(after.right, dragged.right) << "the frame still follows the mouse after the drag lost its capture";
    Drop(f);
}

// The cursor over each edge of a borderless frame, reached with real mouse
// moves: west-east on the left and right, north-south on the top and
// bottom, the diagonals at the corners.
TEST_F(FrameTest, BorderlessEdgesShowTheirSizingCursors) {
    RECT r = {200, 200, 500, 400};
    CAppWindow* f = Make(42, kFrameBorderless, &r);
    ASSERT_NE(f, nullptr);
    ShowWindow(f->window, SW_SHOWNORMAL);
    SetForegroundWindow(f->window);
    ItemPump(100);
    struct {
        POINT at;
        const char* cursor;
        const char* where;
    } edges[] = {
        {{201, 300}, IDC_SIZEWE, "left"},        {{498, 300}, IDC_SIZEWE, "right"},
        {{350, 201}, IDC_SIZENS, "top"},         {{350, 398}, IDC_SIZENS, "bottom"},
        {{201, 201}, IDC_SIZENWSE, "top-left"},  {{498, 398}, IDC_SIZENWSE, "bottom-right"},
        {{498, 201}, IDC_SIZENESW, "top-right"}, {{201, 398}, IDC_SIZENESW, "bottom-left"},
    };
    for (const auto& e : edges) {
        ItemMouse({350, 300});
        ASSERT_EQ(ItemMouse(e.at).x, e.at.x);
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, e.cursor)) << e.where;
    }
    Drop(f);
}

// A bar in the frame's top bay holding one button of the command, in the
// application's list of bars; null when it could not be made.
static CBar* AddBarWithButton(CAppWindow* frame, WORD barCommand, WORD buttonCommand) {
    CBar* bar = new CBar;
    CButton* item = new CButton;
    CBarItem* asBarItem = item;
    if (bar->Create(frame, barCommand, 0, 0, 0, kBarOn) != 0 ||
        item->Create(buttonCommand, bar->window, frame->window, nullptr) != 0 || bar->items.Add(&asBarItem) < 0) {
        delete item;
        delete bar;
        return nullptr;
    }
    gApp.bars.Add(&bar);
    return bar;
}

static UINT WINAPI Dpi96(HWND) {
    return 96;
}

// After a DPI change every bar of the frame measures its items again and
// the bay takes the new thickness, although the frame keeps its size.
TEST_F(FrameTest, DpiChangeLaysTheBarsOutAgain) {
    // A framework text: the application's text table is the first test's.
    if (gApp.FindCommandIndex(0x7B10) < 0)
        gApp.AddCommand(0x7B10, kKindButton, kCmdCaption, 0, IDM_MOX_ON_TOP, nullptr);
    gApp.getDpiForWindow = Dpi96;
    RECT rect = {100, 100, 600, 500};
    CAppWindow* f = Make(43, 0, &rect);
    ASSERT_NE(f, nullptr);
    CBar* bar = AddBarWithButton(f, 0x7B00, 0x7B10);
    ASSERT_NE(bar, nullptr);
    f->Relayout(nullptr);
    CDockBay* top = *f->bays.At(0);
    int before = bar->thickness;
    EXPECT_EQ(WindowRectOf(top->window).bottom - WindowRectOf(top->window).top, before);

    gApp.getDpiForWindow = ItemDpi144;
    RECT now = WindowRectOf(f->window);
    SendMessageA(f->window, WM_DPICHANGED, MAKEWPARAM(144, 144), (LPARAM)&now);
    EXPECT_GT(bar->thickness, before * 5 / 4) << "the bar kept its 96 DPI thickness";
    EXPECT_EQ(WindowRectOf(top->window).bottom - WindowRectOf(top->window).top, bar->thickness);
    EXPECT_EQ(f->clientRect.top, bar->thickness);
    gApp.getDpiForWindow = nullptr;
    ASSERT_TRUE(gApp.DeleteBar(gApp.bars.count - 1));
    Drop(f);
}

// The lookups of the application object, and removing bars and frames.
TEST_F(FrameTest, LookupsAndRemoval) {
    RECT ra = {100, 100, 400, 300}, rb = {600, 100, 900, 300};
    CAppWindow* a = Make(44, 0, &ra);
    CAppWindow* b = Make(45, 0, &rb);
    ASSERT_TRUE(a && b);
    ShowWindow(a->window, SW_SHOWNORMAL);
    ShowWindow(b->window, SW_SHOWNORMAL);
    Pump();
    EXPECT_EQ(gApp.FrameAtPoint({250, 200}), a);
    EXPECT_EQ(gApp.FrameAtPoint({750, 200}), b);
    EXPECT_EQ(gApp.FrameAtPoint({500, 700}), nullptr);

    gApp.AddCommand(0x7B20, kKindButton, 0, 0, -1, nullptr);  // the bar's show and hide command
    gApp.AddCommand(0x7B21, kKindButton, kCmdCaption, 0, IDM_MOX_TASKBAR, nullptr);
    CBar* bar = AddBarWithButton(b, 0x7B20, 0x7B21);
    ASSERT_NE(bar, nullptr);
    CUIItem* item = (CUIItem*)*bar->items.At(0);
    b->Relayout(nullptr);
    Pump();
    EXPECT_EQ(gApp.FrameAtPoint(WindowCentre(item->window)), b) << "an item's window belongs to its frame";
    EXPECT_EQ(gApp.BarById(0x7B20), bar);
    EXPECT_EQ(gApp.BarById(0x7B21), nullptr);
    EXPECT_EQ(gApp.ItemByCommand(0x7B21), item);
    EXPECT_EQ(gApp.ItemByCommand(0x7B20), nullptr);

    int bars = gApp.bars.count;
    EXPECT_FALSE(gApp.DeleteBar(bars));
    ASSERT_TRUE(gApp.DeleteBar(bars - 1));
    EXPECT_EQ(gApp.bars.count, bars - 1);
    EXPECT_EQ(gApp.FindCommandIndex(0x7B20), -1) << "the bar's command goes with it";
    EXPECT_EQ(gApp.ItemByCommand(0x7B21), nullptr);

    // A frame goes with its bars; an index that is not there removes nothing.
    bar = new CBar;
    ASSERT_EQ(bar->Create(a, 0x7B22, 0, 0, 0, kBarOn), 0);
    gApp.bars.Add(&bar);
    int frames = gApp.frames.count;
    HWND aWindow = a->window;
    EXPECT_FALSE(gApp.DeleteFrame(46));
    ASSERT_TRUE(gApp.DeleteFrame(44));
    EXPECT_EQ(gApp.frames.count, frames - 1);
    EXPECT_EQ(gApp.FrameByIndex(44), nullptr);
    EXPECT_FALSE(IsWindow(aWindow));
    EXPECT_EQ(gApp.BarById(0x7B22), nullptr);
    EXPECT_EQ(gApp.bars.count, bars - 1);
    gApp.DeleteCommand(0x7B21);
}

// A second start means the user looks for the program: click-through goes
// off on every frame. A foreign product's request changes nothing.
TEST_F(FrameTest, SecondStartSwitchesClickThroughOff) {
    CAppWindow* f = Make(47);
    ASSERT_NE(f, nullptr);
    f->SetTransparency(50);
    f->SetClickThrough(true);
    ASSERT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    gApp.instanceMessage = RegisterWindowMessageA("MoxMSG_MoxCONTROL");
    gApp.productCrc = Crc32(gApp.productName, -1);
    HWND phantom = Phantom();
    ASSERT_NE(phantom, nullptr);
    SendMessageA(phantom, gApp.instanceMessage, MoxMSG_SECONDSTART, (LPARAM)(gApp.productCrc + 1));
    EXPECT_TRUE(f->clickThrough) << "another product's second start";
    SendMessageA(phantom, gApp.instanceMessage, MoxMSG_SECONDSTART, (LPARAM)gApp.productCrc);
    EXPECT_FALSE(f->clickThrough);
    EXPECT_FALSE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    EXPECT_EQ(f->transparency, 50) << "the transparency itself stays";
    EXPECT_TRUE(GetWindowLongA(f->window, GWL_EXSTYLE) & WS_EX_LAYERED);
    DestroyWindow(phantom);
    Drop(f);
}
