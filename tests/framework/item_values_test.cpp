// The value items driven by real mouse input: slider steps and drags,
// brush size dragged up and down, colour and palette picked from the
// screen; their measurements at 96 and 144 DPI and what they paint.
#include "framework/item_values.h"

#include <gtest/gtest.h>
#include <math.h>

#include "base/color_util.h"
#include "framework/framework_messages.h"
#include "framework/item_resources.h"
#include "item_test_util.h"

namespace {

const WORD kSliderId = 0x7A20, kWideSliderId = 0x7A21, kBrushId = 0x7A30, kColorId = 0x7A40, kPaletteId = 0x7A50,
           kBareSliderId = 0x7A60;
ValueRange gSlider, gWide, gBrush;
ColorValue gColor;
PaletteValue gPalette;
const COLORREF kSwatch = RGB(200, 30, 90);

uint32_t CellColor(int k) {
    return 0xFF000000u | ((uint32_t)(k * 15) << 16) | ((uint32_t)(255 - k * 15) << 8) | (uint32_t)((k * 37) & 255);
}

int CountCommands(WORD id, LPARAM lp) {
    int n = 0;
    for (const SentCommand& c : gItemCommands)
        if (LOWORD(c.wp) == id && c.lp == lp)
            n++;
    return n;
}

class ItemValues : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (gApp.FindCommandIndex(kSliderId) >= 0)
            return;
        gApp.AddCommand(kSliderId, kKindSlider, 0, 0, -1, &gSlider);
        gApp.AddCommand(kWideSliderId, kKindSlider, 0, 0, -1, &gWide);
        gApp.AddCommand(kBrushId, kKindBrushSize, 0, 0, -1, &gBrush);
        gApp.AddCommand(kColorId, kKindColor, 0, 0, -1, &gColor);
        gApp.AddCommand(kPaletteId, kKindPalette, 0, 0, -1, &gPalette);
        gApp.AddCommand(kBareSliderId, kKindSlider, 0, 0, -1, nullptr);
    }
    void SetUp() override {
        frame_ = MakeItemFrame();
        ASSERT_NE(frame_, nullptr);
        gSlider = {12, 10, 20};
        gWide = {500000, 0, 1000000};
        gBrush = {10, 1, 30};
        gColor = {0xFF000000u, 0};
        for (int k = 0; k < 16; k++)
            gPalette.colors[k] = CellColor(k);
        gPalette.selected = 0;
        gPalette.underCursor = 0;
        for (WORD id : {kSliderId, kWideSliderId, kBrushId, kColorId, kPaletteId})
            gApp.EnableCommand(id, true);
    }
    void TearDown() override {
        ItemMouse({5, 5});
        for (CUIItem* item : made_)
            delete item;
        if (swatch_)
            DestroyWindow(swatch_);
        DeleteItemFrame(frame_);
    }
    CUIItem* Make(WORD id, int x, int y) {
        CUIItem* item = MakeItem(id, frame_, x, y);
        if (item)
            made_.push_back(item);
        return item;
    }
    POINT At(CUIItem* item, int x, int y) { return ClientToScreenPoint(item->window, x, y); }
    void Swatch() { swatch_ = MakeSwatchWindow(kSwatch, 760, 300, 80, 80); }

    CAppWindow* frame_ = nullptr;
    HWND swatch_ = nullptr;
    std::vector<CUIItem*> made_;
};

}  // namespace

TEST_F(ItemValues, ValueKindsNeedAValueRecord) {
    CUIItem* item = gApp.CreateUIItem(kKindSlider, nullptr);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Create(kBareSliderId, frame_->window, frame_->window, nullptr), kMoxErrWindowCreate);
    delete item;
    // Brush size, colour and palette mark their command as a value item; the slider does not.
    ASSERT_NE(Make(kBrushId, 10, 10), nullptr);
    ASSERT_NE(Make(kColorId, 50, 10), nullptr);
    ASSERT_NE(Make(kPaletteId, 90, 10), nullptr);
    ASSERT_NE(Make(kSliderId, 200, 10), nullptr);
    EXPECT_TRUE(gApp.CommandFlags(kBrushId) & kCmdValue);
    EXPECT_TRUE(gApp.CommandFlags(kColorId) & kCmdValue);
    EXPECT_TRUE(gApp.CommandFlags(kPaletteId) & kCmdValue);
    EXPECT_FALSE(gApp.CommandFlags(kSliderId) & kCmdValue);
    // The framework's images exist.
    for (int id : {IDI_MOX_VALUE_RING, IDI_MOX_VALUE_PICK}) {
        HICON ic = (HICON)LoadImageA(gApp.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, 22, 22, 0);
        EXPECT_NE(ic, nullptr) << id;
        if (ic)
            DestroyIcon(ic);
    }
    EXPECT_NE(LoadCursorA(gApp.instance, MAKEINTRESOURCEA(IDC_MOX_EYEDROPPER)), nullptr);
}

TEST_F(ItemValues, MeasuredAt96And144Dpi) {
    CUIItem* slider = Make(kSliderId, 10, 10);
    CUIItem* brush = Make(kBrushId, 10, 60);
    CUIItem* palette = Make(kPaletteId, 10, 110);
    ASSERT_TRUE(slider && brush && palette);
    struct Case {
        UINT dpi;
        UINT(WINAPI* seam)(HWND);
    } cases[] = {{96, nullptr}, {144, ItemDpi144}};
    UINT(WINAPI * saved)(HWND) = gApp.getDpiForWindow;
    for (const Case& c : cases) {
        gApp.getDpiForWindow = c.seam;  // none: the screen's 96
        ASSERT_EQ(gApp.GetWindowDpi(slider->window), c.dpi);
        int m = c.dpi * 2 / 96;
        slider->Measure(gApp.Command(kSliderId), 0);
        EXPECT_EQ(slider->extraHeight, c.dpi * 14 / 96);
        EXPECT_EQ(slider->extraWidth, 7 * slider->extraHeight);
        EXPECT_EQ(slider->totalWidth, m + slider->extraWidth + m) << "no icon, no caption";
        brush->Measure(gApp.Command(kBrushId), 0);
        EXPECT_EQ(brush->iconWidth, 22 * (int)c.dpi / 96);
        EXPECT_EQ(brush->iconHeight, 22 * (int)c.dpi / 96);
        EXPECT_EQ(brush->totalHeight, brush->iconHeight + 2 * m);
        palette->Measure(gApp.Command(kPaletteId), 0);
        EXPECT_EQ(palette->extraWidth, 32 * m);
        EXPECT_EQ(palette->extraHeight, 6 * m);
        palette->Measure(gApp.Command(kPaletteId), 1);
        EXPECT_EQ(palette->extraWidth, 6 * m) << "swapped in a vertical bar";
        EXPECT_EQ(palette->extraHeight, 32 * m);
    }
    gApp.getDpiForWindow = saved;
}

TEST_F(ItemValues, SliderStepsAndDragsFromItsMinimum) {
    CUIItem* item = Make(kSliderId, 20, 20);
    ASSERT_NE(item, nullptr);
    CSlider* s = (CSlider*)item;
    const RECT& e = s->extraRect;
    double unit = (s->extraWidth - s->extraHeight) / 10.0;
    // The thumb stands at (value - minimum) units from the track's left.
    EXPECT_EQ(s->ThumbRect().left, e.left + (int)(2 * unit));
    EXPECT_EQ(s->ThumbRect().right - s->ThumbRect().left, s->extraHeight);
    int y = (e.top + e.bottom) / 2;

    // A press right of the thumb steps up by one, left of it down by one.
    ItemMouse(At(item, e.right - 2, y));
    ItemMouse(At(item, e.right - 2, y), MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(gSlider.value, 13);
    ItemMouse(At(item, e.right - 2, y), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(CountCommands(kSliderId, 1), 1);
    ItemMouse(At(item, e.left + 1, y), MOUSEEVENTF_LEFTDOWN);
    ItemMouse(At(item, e.left + 1, y), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gSlider.value, 12);
    EXPECT_EQ(CountCommands(kSliderId, 1), 2);
    // Stepping stops at the bounds.
    gSlider.value = 20;
    Sleep(GetDoubleClickTime());
    ItemMouse(At(item, e.left + 1, y), MOUSEEVENTF_LEFTDOWN);
    ItemMouse(At(item, e.left + 1, y), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gSlider.value, 19);

    // Dragging the thumb: its centre over value v's position gives v.
    gSlider.value = 12;
    gItemCommands.clear();
    Sleep(GetDoubleClickTime());
    RECT t = s->ThumbRect();
    POINT grip = At(item, (t.left + t.right) / 2, y);
    ItemMouse(grip);
    ItemMouse(grip, MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(CountCommands(kSliderId, 1), 0) << "a press on the thumb sends nothing";
    EXPECT_EQ(gSlider.value, 12);
    ItemMouse(At(item, e.left + (int)(8 * unit) + s->extraHeight / 2, y));
    EXPECT_EQ(gSlider.value, 18);
    EXPECT_EQ(CountCommands(kSliderId, 1), 1);
    ItemMouse(At(item, e.left + (int)(3 * unit) + s->extraHeight / 2, y));
    EXPECT_EQ(gSlider.value, 13);
    ItemMouse(At(item, e.right + 200, y));
    EXPECT_EQ(gSlider.value, 20) << "clamped to the maximum";
    ItemMouse(At(item, e.left - 200, y));
    EXPECT_EQ(gSlider.value, 10) << "clamped to the minimum, not to 0";
    ItemMouse(At(item, e.left - 200, y), MOUSEEVENTF_LEFTUP);
    ItemMouse(At(item, e.left + (int)(6 * unit) + s->extraHeight / 2, y));
    EXPECT_EQ(gSlider.value, 10) << "the release ended the drag";

    // A disabled slider ignores the mouse.
    gApp.EnableCommand(kSliderId, false);
    Sleep(GetDoubleClickTime());
    ItemMouse(At(item, e.right - 2, y), MOUSEEVENTF_LEFTDOWN);
    ItemMouse(At(item, e.right - 2, y), MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gSlider.value, 10);
}

TEST_F(ItemValues, SliderOverAWideRangeDragsWithoutAZeroUnit) {
    CUIItem* item = Make(kWideSliderId, 20, 20);
    ASSERT_NE(item, nullptr);
    CSlider* s = (CSlider*)item;
    EXPECT_GT(s->Unit(), 0.0);
    EXPECT_LT(s->Unit(), 1.0);
    const RECT& e = s->extraRect;
    int y = (e.top + e.bottom) / 2;
    RECT t = s->ThumbRect();
    EXPECT_EQ(t.left, e.left + (e.right - e.left - s->extraHeight) / 2) << "half way";
    POINT grip = At(item, (t.left + t.right) / 2, y);
    ItemMouse(grip);
    ItemMouse(grip, MOUSEEVENTF_LEFTDOWN);
    ItemMouse(At(item, e.right + 50, y));
    EXPECT_EQ(gWide.value, 1000000);
    ItemMouse(At(item, e.left + s->extraHeight / 2 + (e.right - e.left - s->extraHeight) / 4, y));
    EXPECT_NEAR(gWide.value, 250000, 1000000.0 / (e.right - e.left - s->extraHeight) + 1);
    ItemMouse(At(item, e.left - 50, y));
    EXPECT_EQ(gWide.value, 0);
    ItemMouse(At(item, e.left - 50, y), MOUSEEVENTF_LEFTUP);
}

TEST_F(ItemValues, BrushSizeDragsFivePixelsPerStep) {
    CUIItem* item = Make(kBrushId, 300, 200);
    ASSERT_NE(item, nullptr);
    POINT c = WindowCentre(item->window);
    ItemMouse(c);
    ItemMouse(c, MOUSEEVENTF_LEFTDOWN);
    ASSERT_EQ(ItemMouse({c.x, c.y - 12}).y, c.y - 12);
    EXPECT_EQ(gBrush.value, 12) << "12 pixels up: two steps";
    ASSERT_EQ(ItemMouse({c.x, c.y - 4}).y, c.y - 4);
    EXPECT_EQ(gBrush.value, 10) << "4 pixels: no step";
    ASSERT_EQ(ItemMouse({c.x, c.y + 7}).y, c.y + 7);
    EXPECT_EQ(gBrush.value, 9) << "downwards truncates toward zero";
    ItemMouse({c.x, c.y + 120});
    EXPECT_EQ(gBrush.value, 1) << "not below the minimum";
    ItemMouse({c.x, c.y - 190});
    EXPECT_EQ(gBrush.value, 30) << "not above the maximum";
    EXPECT_TRUE(gItemCommands.empty()) << "nothing until the release";
    // Released away from the item: the item tells the value once.
    ItemMouse({c.x, c.y - 190}, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gItemCommands.size(), 1u);
    EXPECT_EQ(CountCommands(kBrushId, 0), 1);
    // Released over the item: the click is the one command.
    gItemCommands.clear();
    Sleep(GetDoubleClickTime());
    gBrush.value = 10;
    ItemMouse(c);
    ItemMouse(c, MOUSEEVENTF_LEFTDOWN);
    ItemMouse({c.x, c.y - 5});
    EXPECT_EQ(gBrush.value, 11);
    ItemMouse(c);
    EXPECT_EQ(gBrush.value, 10);
    ItemMouse(c, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gItemCommands.size(), 1u) << "one command, not two";
    // The value is drawn on the ring, as text that fits the item.
    CBrushSize* b = (CBrushSize*)item;
    Painted p = PaintItem(item);
    EXPECT_STREQ(b->text, "10");
    EXPECT_NE(b->font, nullptr);
    FreePainted(&p);
    // A disabled command does not record a drag.
    gApp.EnableCommand(kBrushId, false);
    Sleep(GetDoubleClickTime());
    ItemMouse(c, MOUSEEVENTF_LEFTDOWN);
    ItemMouse({c.x, c.y - 20});
    ItemMouse({c.x, c.y - 20}, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gBrush.value, 10);
}

TEST_F(ItemValues, ColorIsPickedFromTheScreenOutsideTheItem) {
    Swatch();
    CUIItem* item = Make(kColorId, 300, 200);
    ASSERT_NE(item, nullptr);
    POINT c = WindowCentre(item->window);
    POINT away = WindowCentre(swatch_);
    ItemMouse(c);
    ItemMouse(c, MOUSEEVENTF_LEFTDOWN);
    ItemMouse({away.x - 5, away.y});
    ItemMouse(away);
    EXPECT_EQ(gColor.color, 0xFFC81E5Au) << "the swatch's colour, opaque";
    EXPECT_EQ(GetCursor(), LoadCursorA(gApp.instance, MAKEINTRESOURCEA(IDC_MOX_EYEDROPPER)));
    ItemMouse(away, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(CountCommands(kColorId, 0), 1);
    EXPECT_EQ(gItemCommands.size(), 1u);
    // Painted: a disc of the colour in the icon part.
    CColor* item2 = (CColor*)item;
    Painted p = PaintItem(item);
    int cx = (item2->iconRect.left + item2->iconRect.right) / 2,
        cy = (item2->iconRect.top + item2->iconRect.bottom) / 2;
    EXPECT_EQ(Pixel(p, cx, cy), kSwatch);
    FreePainted(&p);
    // Pressed and released over the item: its normal click, the colour kept.
    gItemCommands.clear();
    Sleep(GetDoubleClickTime());
    ItemMouse(c);
    ItemMouse(c, MOUSEEVENTF_LEFTDOWN);
    ItemMouse(c, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gItemCommands.size(), 1u);
    EXPECT_EQ(gColor.color, 0xFFC81E5Au);
    // Disabled: the disc is grey, not the colour.
    gApp.EnableCommand(kColorId, false);
    p = PaintItem(item);
    EXPECT_NE(Pixel(p, cx, cy), kSwatch);
    FreePainted(&p);
}

TEST_F(ItemValues, PaletteGridCellsAndPicking) {
    CUIItem* item = Make(kPaletteId, 300, 200);
    ASSERT_NE(item, nullptr);
    CPalette* pal = (CPalette*)item;
    Painted p = PaintItem(item);
    EXPECT_EQ(pal->columns, 8);
    EXPECT_EQ(pal->rows, 2);
    for (int k = 0; k < 16; k++) {
        const RECT& r = pal->cells[k];
        EXPECT_EQ(Pixel(p, (r.left + r.right) / 2, (r.top + r.bottom) / 2), ArgbToColorRef(CellColor(k))) << k;
    }
    EXPECT_LT(pal->cells[7].top, pal->cells[8].top) << "row-major";
    FreePainted(&p);

    // A press selects the cell under the cursor; dragged out, that cell takes the screen's colour.
    Swatch();
    const RECT& r5 = pal->cells[5];
    POINT on5 = At(item, (r5.left + r5.right) / 2, (r5.top + r5.bottom) / 2);
    ItemMouse(on5);
    ItemMouse(on5, MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(pal->palette->selected, 5);
    POINT away = WindowCentre(swatch_);
    ItemMouse({away.x + 3, away.y});
    ItemMouse(away);
    EXPECT_EQ(gPalette.colors[5], 0xFFC81E5Au);
    EXPECT_EQ(gPalette.underCursor, 0xFFC81E5Au);
    EXPECT_EQ(gPalette.colors[4], CellColor(4));
    ItemMouse(away, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(CountCommands(kPaletteId, 0), 1);
    EXPECT_EQ(gItemCommands.size(), 1u);

    // Disabled: a checkerboard of two scheme colours.
    gApp.EnableCommand(kPaletteId, false);
    p = PaintItem(item);
    auto at = [&](int k) {
        const RECT& r = pal->cells[k];
        return Pixel(p, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    EXPECT_NE(at(0), at(1));
    EXPECT_EQ(at(0), at(9));
    EXPECT_EQ(at(1), at(8));
    FreePainted(&p);
}

TEST_F(ItemValues, PaletteInAVerticalBarIsTwoColumnsByEight) {
    CUIItem* item = Make(kPaletteId, 300, 100);
    ASSERT_NE(item, nullptr);
    item->Measure(gApp.Command(kPaletteId), 1);
    RECT r = {300, 100, 300 + item->totalWidth, 100 + item->totalHeight};
    item->Place(&r);
    CPalette* pal = (CPalette*)item;
    Painted p = PaintItem(item);
    EXPECT_EQ(pal->columns, 2);
    EXPECT_EQ(pal->rows, 8);
    EXPECT_EQ(pal->cells[1].top, pal->cells[0].top);
    EXPECT_GT(pal->cells[1].left, pal->cells[0].left);
    EXPECT_GT(pal->cells[2].top, pal->cells[0].top);
    EXPECT_EQ(pal->cells[2].left, pal->cells[0].left);
    const RECT& last = pal->cells[15];
    EXPECT_EQ(Pixel(p, (last.left + last.right) / 2, (last.top + last.bottom) / 2), ArgbToColorRef(CellColor(15)));
    FreePainted(&p);
}
