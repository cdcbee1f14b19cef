// Bay rows, row layout and item layout as pure functions, and a real bar
// docked, floated and resized by dragging its row's splitter.
#include "framework/bar_layout.h"

#include <gtest/gtest.h>

#include "base/str_util.h"
#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/dock_bay.h"
#include "framework/monitors.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

namespace {

BayBar Bar(int row, int x, int length, int thickness, DWORD flags, int minLength = 10, int natural = 0) {
    BayBar b = {};
    b.row = row;
    b.x = x;
    b.length = length;
    b.minLength = minLength;
    b.naturalLength = natural ? natural : length;
    b.thickness = thickness;
    b.flags = flags | kBarOn;
    return b;
}

BarItemBox Item(int w, int h, DWORD flags = 0, WORD cmd = 0, bool sep = false) {
    BarItemBox b = {};
    b.size = {w, h};
    b.flags = flags;
    b.command = cmd;
    b.separator = sep;
    return b;
}

}  // namespace

TEST(BarLayout, RowsDropEveryEmptyRowAndKeepIndexesInRange) {
    BayBar bars[3] = {Bar(2, 0, 50, 24, 0), Bar(5, 0, 50, 30, kBarResizable), Bar(40, 0, 50, 22, 0)};
    int rows[kBayRows];
    ComputeBayRows(bars, 3, rows);
    // Rows 0, 1, 3, 4 were empty: both of two empty rows in a row go.
    EXPECT_EQ(rows[0], 24);
    EXPECT_EQ(rows[1], -(30 + kSplitter));
    EXPECT_EQ(rows[2], 22);
    EXPECT_EQ(rows[3], 0);
    EXPECT_EQ(bars[0].row, 0);
    EXPECT_EQ(bars[1].row, 1);
    EXPECT_EQ(bars[2].row, 2) << "a row past 15 is kept in range";
    BayBar off = Bar(0, 0, 50, 24, 0);
    off.flags &= ~kBarOn;
    ComputeBayRows(&off, 1, rows);
    EXPECT_EQ(rows[0], 0) << "a bay without switched-on bars has no thickness";
}

TEST(BarLayout, RowLayoutPushesGrowsMovesAndShrinks) {
    BayBar a = Bar(0, 0, 100, 20, 0, 40), b = Bar(0, 20, 100, 20, 0, 40);
    BayBar* row[2] = {&a, &b};
    LayoutBayRow(row, 2, 500);
    EXPECT_EQ(b.placedX, 40) << "at least the previous bar's minimum on";
    EXPECT_EQ(a.placedLength, 40) << "the previous bar is cut where the next starts";

    BayBar g = Bar(0, 0, 100, 20, kBarGrow, 40), e = Bar(0, 200, 80, 20, kBarToEnd, 40);
    BayBar* row2[2] = {&g, &e};
    LayoutBayRow(row2, 2, 500);
    EXPECT_EQ(e.placedX, 420) << "moves to the end";
    EXPECT_EQ(g.placedLength, 420) << "grows up to the next bar";

    BayBar p = Bar(0, 0, 200, 20, 0, 50), q = Bar(0, 250, 200, 20, kBarGrow, 60), r = Bar(0, 500, 200, 20, 0, 70);
    BayBar* row3[3] = {&p, &q, &r};
    LayoutBayRow(row3, 3, 400);
    // 700 wanted in 400: gaps first, then the grower, then the others from the end.
    EXPECT_EQ(q.placedLength, 60);
    EXPECT_EQ(p.placedX + p.placedLength, q.placedX);
    EXPECT_EQ(q.placedX + q.placedLength, r.placedX);
    EXPECT_LE(r.placedX + r.placedLength, 400);
    EXPECT_GE(r.placedLength, 70);

    BayBar h = Bar(0, 300, 60, 20, kBarFollows, 10, 60), k = Bar(0, 0, 80, 20, 0, 10, 80);
    BayBar* row4[2] = {&k, &h};
    LayoutBayRow(row4, 2, 500);
    EXPECT_EQ(h.placedX, 80) << "follows the previous bar directly";
    EXPECT_EQ(h.x, 80);
}

TEST(BarLayout, DockedItemsOverflowAndStretch) {
    BarItemBox items[5] = {Item(30, 16, 0, 1), Item(30, 16, kItemStretch, 2), Item(20, 16, kItemDroppable, 3, true),
                           Item(40, 16, kItemDroppable, 4), Item(12, 16, 0, IDM_MOX_MORE_ITEMS)};
    WORD overflow[8];
    DockedLayout d = LayoutDockedItems(items, 5, false, 0, 300, 20, 2, overflow, 8);
    EXPECT_EQ(d.naturalLength, 2 + 32 + 32 + 22 + 42);
    EXPECT_FALSE(items[4].visible) << "everything fits: no overflow item";
    EXPECT_GT(items[1].placed.right - items[1].placed.left, 30) << "the stretch item takes the free length";
    EXPECT_EQ(overflow[0], 0xFFFF);

    d = LayoutDockedItems(items, 5, false, 0, 90, 20, 2, overflow, 8);
    EXPECT_TRUE(items[4].visible);
    EXPECT_FALSE(items[3].visible);
    EXPECT_FALSE(items[2].visible);
    EXPECT_EQ(overflow[0], 4) << "a separator at the head of the list is left out";
    EXPECT_EQ(overflow[1], 0xFFFF);
    EXPECT_EQ(d.minimumLength, 2 + 30 + 30 + 12);

    BarItemBox plain[2] = {Item(30, 10), Item(12, 16, 0, IDM_MOX_MORE_ITEMS)};
    LayoutDockedItems(plain, 2, true, 0, 100, 20, 2, overflow, 8);
    EXPECT_EQ(plain[0].placed.left, (20 - 30) / 2) << "centred across without a stretch item to share";
}

TEST(BarLayout, FloatingItemsInRows) {
    BarItemBox items[5] = {Item(40, 20), Item(40, 20), Item(40, 20), Item(100, 30, kItemFullRow), Item(40, 24)};
    SIZE s = LayoutFloatingItems(items, 5, 100, 200, 2);
    EXPECT_EQ(items[2].placed.top, items[0].placed.bottom + 2) << "the third no longer fits the row";
    EXPECT_EQ(items[3].placed.left, 0);
    EXPECT_GE(items[3].placed.bottom - items[3].placed.top, 30);
    EXPECT_EQ(items[4].placed.top, items[3].placed.bottom + 2) << "a full-row item stands alone";
    EXPECT_GT(s.cx, 0);
    BarItemBox none[2] = {Item(40, 20), Item(40, 20)};
    LayoutFloatingItems(none, 2, 200, 100, 2);  // no full-row and no stretch rows: nothing divides by zero
    EXPECT_EQ(none[1].placed.left, 42);
}

namespace {

// A plain item of a fixed size for the bars under test.
class TestItem : public CBarItem {
  public:
    TestItem(int w, int h, DWORD f) : w_(w), h_(h), f_(f) {}
    DWORD ItemFlags() const override { return f_; }
    SIZE Measure(int orientation) override { return orientation == 1 ? SIZE{h_, w_} : SIZE{w_, h_}; }
    void Place(const RECT* r) override {
        placed = r != nullptr;
        if (r)
            rect = *r;
    }
    WORD CommandId() const override { return 1; }
    bool IsSeparator() const override { return false; }
    bool placed = false;
    RECT rect = {};

  private:
    int w_, h_;
    DWORD f_;
};

void Pump(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(10);
    } while (GetTickCount() - start < (DWORD)ms);
}

void MouseTo(int x, int y, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof in);
    Pump(60);
}

}  // namespace

TEST(BarDocking, BarsDockFloatAndResizeByTheirSplitter) {
    gApp.instance = GetModuleHandleA(nullptr);
    StrCopy(gUserDataFolder, countof(gUserDataFolder), MakeTestDir("bars").c_str());
    RefreshMonitors();
    RECT rect = {100, 100, 600, 500};
    int pos = gApp.CreateFrame(9, nullptr, "Bar Test", 0, kFrameResizable, &rect);
    ASSERT_GE(pos, 0);
    CAppWindow* frame = *gApp.frames.At(pos);
    CBar* bar = new CBar;
    TestItem* item = new TestItem(60, 18, 0);
    CBarItem* more = new TestItem(12, 18, 0);
    bar->items.Add((CBarItem**)&item);
    bar->items.Add(&more);
    ASSERT_EQ(bar->Create(frame, 0x7000, 0, 0, 0, kBarOn | kBarResizable), 0);
    gApp.bars.Add(&bar);
    frame->Relayout(nullptr);
    CDockBay* top = *frame->bays.At(0);
    RECT bayRect;
    GetWindowRect(top->window, &bayRect);
    EXPECT_EQ(bayRect.bottom - bayRect.top, 18 + 1 + 4 + kSplitter) << "a resizable row gets its splitter";
    EXPECT_EQ(frame->clientRect.top, bayRect.bottom - bayRect.top);
    EXPECT_TRUE(item->placed);
    WORD ids[64];
    frame->BuildWindowMenu(ids, 64);
    EXPECT_EQ(ids[0], 0x7000);
    EXPECT_EQ(ids[1], kCmdSeparatorId);

    // Drag the splitter down by 15 pixels with the mouse.
    ShowWindow(frame->window, SW_SHOWNORMAL);
    SetForegroundWindow(frame->window);
    Pump(200);
    GetWindowRect(top->window, &bayRect);
    int sy = bayRect.bottom - 2, sx = bayRect.left + 100;
    MouseTo(sx, sy, 0);
    MouseTo(sx, sy, MOUSEEVENTF_LEFTDOWN);
    MouseTo(sx, sy + 8, 0);
    MouseTo(sx, sy + 15, 0);
    MouseTo(sx, sy + 15, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(bar->thickness, 23 + 15);
    // Never thinner than the bar needs.
    MouseTo(sx, sy + 13, MOUSEEVENTF_LEFTDOWN);
    MouseTo(sx, sy - 60, 0);
    MouseTo(sx, sy - 60, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(bar->thickness, bar->naturalThickness);
    // With bar sizes locked the splitter can't be grabbed.
    frame->OnFrameCommand(IDM_MOX_LOCK_BAR_SIZES);
    int before = bar->thickness;
    GetWindowRect(top->window, &bayRect);
    MouseTo(sx, bayRect.bottom - 2, MOUSEEVENTF_LEFTDOWN);
    MouseTo(sx, bayRect.bottom + 20, 0);
    MouseTo(sx, bayRect.bottom + 20, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(bar->thickness, before);

    // Floating: a tool window of its own; the bay is empty again.
    bar->Dock(0xFFFF, 200, 200, 120, 40, true);
    frame->Relayout(nullptr);
    EXPECT_TRUE(GetWindowLongA(bar->window, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(GetWindowLongA(bar->window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetParent(bar->window), nullptr);
    GetWindowRect(top->window, &bayRect);
    EXPECT_EQ(bayRect.bottom - bayRect.top, 0);
    // Switched off by its command, and the record is written.
    frame->OnFrameCommand(0x7000);
    EXPECT_FALSE(bar->flags & kBarOn);
    bar->SavePosition();
    std::string rec;
    EXPECT_TRUE(ReadFileBytes(PathJoin(gUserDataFolder, "(Mox)Bar28672.qcg"), &rec));
    EXPECT_EQ(rec.size(), 16u);
    gApp.bars.RemoveAll();
    delete bar;
    gApp.frames.RemoveAt(pos);
    delete frame;
}
