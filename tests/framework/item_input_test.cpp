// Mouse input on UI items, driven with SendInput: one drag notification per
// drag, no command for a release over another item, disabled commands that
// ignore the mouse but still paint, and the shared state of the items of
// one command.
#include <gtest/gtest.h>

#include "framework/framework_messages.h"
#include "framework/item_kinds.h"
#include "item_test_util.h"

namespace {

const WORD kDragId = 0x7C01, kLeftId = 0x7C02, kRightId = 0x7C03, kOffId = 0x7C04, kTwinId = 0x7C05;

class ItemInput : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (gApp.FindCommandIndex(kDragId) >= 0)
            return;
        // Framework texts: the application's text table is the first test's.
        gApp.AddCommand(kDragId, kKindButton, kCmdCaption | kCmdDraggable, 0, IDM_MOX_CAPTION_NORMAL, nullptr);
        WORD text = IDM_MOX_CAPTION_SMALL;
        for (WORD id : {kLeftId, kRightId, kOffId, kTwinId})
            gApp.AddCommand(id, kKindButton, kCmdCaption, 0, text++, nullptr);
    }
    void SetUp() override {
        frame_ = MakeItemFrame();
        ASSERT_NE(frame_, nullptr);
        Sleep(GetDoubleClickTime() + 50);  // no press of an earlier test counts as the first of a double click
    }
    void TearDown() override {
        ItemMouse({700, 700});
        for (CUIItem* item : made_)
            delete item;
        DeleteItemFrame(frame_);
    }
    CUIItem* Make(WORD id, int x, int y) {
        CUIItem* item = MakeItem(id, frame_, x, y);
        if (item) {
            RECT r = {x, y, x + 120, y + item->totalHeight};
            item->Place(&r);
            made_.push_back(item);
        }
        return item;
    }
    CAppWindow* frame_ = nullptr;
    std::vector<CUIItem*> made_;
};

// The colour of every pixel of a window's client area, as the screen shows it.
std::vector<COLORREF> ScreenPixels(HWND hwnd) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    HDC dc = GetDC(hwnd);
    std::vector<COLORREF> px;
    for (int y = 0; y < rc.bottom; y++)
        for (int x = 0; x < rc.right; x++)
            px.push_back(GetPixel(dc, x, y));
    ReleaseDC(hwnd, dc);
    return px;
}

}  // namespace

// Leaving a pressed draggable item sends exactly one MoxMSG_DRAGITEM and
// ends the press: moving back and releasing over it is no click.
TEST_F(ItemInput, OneDragNotificationPerDrag) {
    CUIItem* item = Make(kDragId, 20, 20);
    ASSERT_NE(item, nullptr);
    POINT inside = WindowCentre(item->window);
    ItemMouse(inside);
    ItemMouse(inside, MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(gApp.CommandFlags(kDragId) & kCmdPressed);
    for (int dy = 20; dy <= 200; dy += 30)
        ItemMouse({inside.x, inside.y + dy});
    ItemMouse(inside);
    ItemMouse({inside.x + 300, inside.y});
    ItemMouse(inside);
    ItemMouse(inside, MOUSEEVENTF_LEFTUP);
    ItemPump(100);
    ASSERT_EQ(gItemDrags.size(), 1u);
    EXPECT_EQ(LOWORD(gItemDrags[0]), kDragId);
    EXPECT_TRUE(gItemCommands.empty()) << "the release after a drag clicked the item";
    EXPECT_EQ(gItemState.pressed, nullptr);
    ItemMouse({inside.x + 2, inside.y});
    EXPECT_EQ(gApp.CommandFlags(kDragId) & (kCmdHot | kCmdPressed), kCmdHot);
    // The next press and release is a click again, without a drag.
    ItemMouse(inside, MOUSEEVENTF_LEFTDOWN);
    ItemMouse(inside, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gItemDrags.size(), 1u);
    ASSERT_EQ(gItemCommands.size(), 1u);
    EXPECT_EQ(LOWORD(gItemCommands[0].wp), kDragId);
}

// A press on one item and a release over another sends no command at all.
TEST_F(ItemInput, ReleaseOverAnotherItemIsNoCommand) {
    CUIItem* left = Make(kLeftId, 20, 60);
    CUIItem* right = Make(kRightId, 200, 60);
    ASSERT_TRUE(left && right);
    POINT a = WindowCentre(left->window), b = WindowCentre(right->window);
    ItemMouse(a);
    ItemMouse(a, MOUSEEVENTF_LEFTDOWN);
    ItemMouse({(a.x + b.x) / 2, a.y});
    ItemMouse(b);
    ItemMouse(b, MOUSEEVENTF_LEFTUP);
    ItemPump(100);
    EXPECT_TRUE(gItemCommands.empty());
    EXPECT_FALSE(gApp.CommandFlags(kLeftId) & kCmdPressed);
    EXPECT_FALSE(gApp.CommandFlags(kRightId) & kCmdPressed);
    // A press and release on the same item is the command.
    ItemMouse(b, MOUSEEVENTF_LEFTDOWN);
    ItemMouse(b, MOUSEEVENTF_LEFTUP);
    ASSERT_EQ(gItemCommands.size(), 1u);
    EXPECT_EQ(LOWORD(gItemCommands[0].wp), kRightId);
}

// A disabled command's item is never hot or pressed, sends nothing, not
// even a double click, and still paints (with greyed text).
TEST_F(ItemInput, DisabledCommandsIgnoreTheMouseButStillPaint) {
    CUIItem* item = Make(kOffId, 20, 100);
    ASSERT_NE(item, nullptr);
    Painted enabled = PaintItem(item);
    gApp.EnableCommand(kOffId, false);
    POINT p = WindowCentre(item->window);
    ItemMouse({p.x - 10, p.y});
    ItemMouse(p);
    EXPECT_FALSE(gApp.CommandFlags(kOffId) & kCmdHot);
    for (int i = 0; i < 2; i++) {
        ItemMouse(p, MOUSEEVENTF_LEFTDOWN);
        EXPECT_FALSE(gApp.CommandFlags(kOffId) & kCmdPressed);
        EXPECT_EQ(gItemState.pressed, nullptr);
        ItemMouse(p, MOUSEEVENTF_LEFTUP);
    }
    ItemMouse(p, MOUSEEVENTF_RIGHTDOWN);
    ItemMouse(p, MOUSEEVENTF_RIGHTUP);
    EXPECT_TRUE(gItemCommands.empty());
    EXPECT_TRUE(gItemDoubleClicks.empty());
    EXPECT_EQ(GetCapture(), nullptr);
    Painted disabled = PaintItem(item);
    int differ = 0;
    for (int y = 0; y < enabled.rc.bottom; y++)
        for (int x = 0; x < enabled.rc.right; x++)
            differ += Pixel(enabled, x, y) != Pixel(disabled, x, y);
    EXPECT_GT(differ, 10) << "the disabled item paints as the enabled one";
    FreePainted(&enabled);
    FreePainted(&disabled);
    gApp.EnableCommand(kOffId, true);
    ItemMouse({p.x - 10, p.y});
    ItemMouse(p);
    EXPECT_TRUE(gApp.CommandFlags(kOffId) & kCmdHot) << "enabled again, it takes the mouse";
}

// The state lives in the command: after UpdateItems every item of it shows
// the same look on the screen, whichever item the mouse is over.
TEST_F(ItemInput, ItemsOfOneCommandShowTheSameState) {
    CUIItem* first = Make(kTwinId, 20, 140);
    CUIItem* second = Make(kTwinId, 20, 220);
    ASSERT_TRUE(first && second);
    ItemPump(50);
    std::vector<COLORREF> plain = ScreenPixels(first->window);
    ASSERT_EQ(ScreenPixels(second->window), plain);
    CommandInfo* cmd = gApp.Command(kTwinId);
    cmd->flags |= kCmdChecked;
    gApp.UpdateItems(kTwinId, false, -1);
    std::vector<COLORREF> checked = ScreenPixels(first->window);
    EXPECT_NE(checked, plain) << "checked looks as unchecked";
    EXPECT_EQ(ScreenPixels(second->window), checked);
    cmd->flags &= ~kCmdChecked;
    gApp.UpdateItems(kTwinId, false, -1);
    EXPECT_EQ(ScreenPixels(first->window), plain);
    EXPECT_EQ(ScreenPixels(second->window), plain);
    // Hovering the first makes both hot.
    POINT p = WindowCentre(first->window);
    ItemMouse({p.x, p.y - 30});
    ItemMouse(p);
    ItemPump(50);
    std::vector<COLORREF> hot = ScreenPixels(second->window);
    EXPECT_TRUE(gApp.CommandFlags(kTwinId) & kCmdHot);
    EXPECT_NE(hot, plain);
    EXPECT_EQ(ScreenPixels(first->window), hot);
}
