// The factory, tree creation, static captions with icon and progress
// prefixes, and separators.
#include "framework/item_kinds.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "framework/item_list.h"
#include "framework/item_tree.h"
#include "framework/item_values.h"
#include "item_test_util.h"

namespace {

const WORD kTreeId = 0x7A80, kPlainTreeId = 0x7A81, kOwnedListId = 0x7A82, kNoIconId = 0x7A10, kFullId = 0x7A11,
           kHalfId = 0x7A12, kAbcId = 0x7A13, kSepId = 0x7A70, kThinSepId = 0x7A71, kOrId = 0x7A72;

int gTreeCreates = 0;
HWND gTreeCreateParent = nullptr;

LRESULT CALLBACK BoundTreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE) {
        gTreeCreates++;
        gTreeCreateParent = lp ? ((CREATESTRUCTA*)lp)->hwndParent : nullptr;
    }
    CTree* tree = CTree::FromWindow(hwnd);
    return tree ? tree->CallPrevious(hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

class ItemKinds : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (gApp.FindCommandIndex(kTreeId) >= 0)
            return;
        gApp.AddCommand(kTreeId, kKindTree, kCmdArrowPressed, 0, -1, (void*)BoundTreeProc);
        gApp.AddCommand(kPlainTreeId, kKindTree, 0, 0, -1, nullptr);
        gApp.AddCommand(kOwnedListId, kKindList, 0, 0, -1, nullptr);
        for (WORD id : {kNoIconId, kFullId, kHalfId, kAbcId})
            gApp.AddCommand(id, kKindStatic, kCmdCaption, 0, -1, nullptr);
        gApp.AddCommand(kSepId, kKindSeparator, 0, 0, 0, nullptr);
        gApp.AddCommand(kThinSepId, kKindSeparator, kCmdSplit, 0, 0, nullptr);
    }
    void SetUp() override {
        frame_ = MakeItemFrame();
        ASSERT_NE(frame_, nullptr);
    }
    void TearDown() override { DeleteItemFrame(frame_); }
    CAppWindow* frame_ = nullptr;
};

// Pixels of the given colour on one row of a painted item.
int CountOnRow(const Painted& p, int y, COLORREF c) {
    int n = 0;
    for (int x = 0; x < p.rc.right; x++)
        n += Pixel(p, x, y) == c;
    return n;
}

}  // namespace

TEST(ItemFactory, MakesEveryKindAndNothingElse) {
    struct {
        WORD kind;
    } kinds[] = {{kKindButton}, {kKindStatic}, {kKindMenu},      {kKindSeparator}, {kKindTree},
                 {kKindList},   {kKindSlider}, {kKindBrushSize}, {kKindColor},     {kKindPalette}};
    for (auto k : kinds) {
        CUIItem* item = gApp.CreateUIItem(k.kind, nullptr);
        ASSERT_NE(item, nullptr) << k.kind;
        EXPECT_EQ(item->kind, k.kind);
        EXPECT_EQ(item->window, nullptr);
        delete item;
    }
    for (WORD none : {0, 7, 8, 13, 98, 100})
        EXPECT_EQ(gApp.CreateUIItem(none, nullptr), nullptr) << none;
    CButton own;
    EXPECT_EQ(gApp.CreateUIItem(kKindObject, &own), &own);
}

TEST(ItemFactory, AddedFlagsAreOredAndUnknownIdsHaveNone) {
    gApp.AddCommand(kOrId, kKindButton, kCmdEnabled | kCmdBold, 0, -1, nullptr);
    EXPECT_EQ(gApp.CommandFlags(kOrId), (long)(kCmdEnabled | kCmdDroppable | kCmdBold));
    gApp.DeleteCommand(kOrId);
    EXPECT_EQ(gApp.CommandFlags(kOrId), 0);
}

TEST_F(ItemKinds, TreeIsCreatedWithItsProcedure) {
    gTreeCreates = 0;
    CUIItem* item = gApp.CreateUIItem(kKindTree, nullptr);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(item->Create(kTreeId, frame_->window, frame_->window, nullptr), 0);
    // The bound procedure saw one WM_CREATE with a real creation record.
    EXPECT_EQ(gTreeCreates, 1);
    EXPECT_EQ(gTreeCreateParent, frame_->window);
    char cls[32] = "";
    GetClassNameA(item->window, cls, sizeof cls);
    EXPECT_STREQ(cls, WC_TREEVIEWA);
    EXPECT_EQ(GetParent(item->window), frame_->window);
    LONG style = GetWindowLongA(item->window, GWL_STYLE);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_TRUE(style & TVS_HASBUTTONS);
    EXPECT_TRUE(GetWindowLongA(item->window, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_FALSE(gApp.CommandFlags(kTreeId) & kCmdDroppable);
    EXPECT_TRUE(item->flags & kCmdFill);
    EXPECT_EQ(item->totalWidth, 64);
    EXPECT_EQ(item->totalHeight, 64);
    RECT r;
    GetWindowRect(item->window, &r);
    EXPECT_EQ(r.right - r.left, 64);
    // The control works through the bound procedure.
    TVINSERTSTRUCTA ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    char text[] = "Root";
    ins.item.pszText = text;
    EXPECT_NE(SendMessageA(item->window, TVM_INSERTITEMA, 0, (LPARAM)&ins), 0);
    EXPECT_EQ(SendMessageA(item->window, TVM_GETCOUNT, 0, 0), 1);
    HWND w = item->window;
    delete item;
    EXPECT_FALSE(IsWindow(w));
    // Without a bound procedure: no tab stop, nothing sent.
    item = gApp.CreateUIItem(kKindTree, nullptr);
    ASSERT_EQ(item->Create(kPlainTreeId, frame_->window, frame_->window, nullptr), 0);
    EXPECT_FALSE(GetWindowLongA(item->window, GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(gTreeCreates, 1);
    delete item;
}

TEST_F(ItemKinds, StaticPrefixesForIconAndProgress) {
    int icon, progress;
    EXPECT_STREQ(ParseStaticText("#0abc", &icon, &progress), "abc");
    EXPECT_EQ(icon, 0);
    EXPECT_EQ(progress, -1);
    EXPECT_STREQ(ParseStaticText("@150 x", &icon, &progress), " x");
    EXPECT_EQ(progress, 100);
    EXPECT_STREQ(ParseStaticText("#7@-5y", &icon, &progress), "y");
    EXPECT_EQ(icon, 7);
    EXPECT_EQ(progress, 0);
    // "#0abc" paints exactly as "abc": no icon, no shift.
    CUIItem* a = MakeItem(kNoIconId, frame_, 10, 10);
    CUIItem* b = MakeItem(kAbcId, frame_, 10, 60);
    ASSERT_TRUE(a && b);
    RECT ra = {10, 10, 210, 10 + a->totalHeight}, rb = {10, 60, 210, 60 + a->totalHeight};
    a->Place(&ra);
    b->Place(&rb);
    b->captionWidth = a->captionWidth;  // the raw texts differ in width
    Painted pa = PaintItem(a), pb = PaintItem(b);
    int differ = 0;
    for (int y = 0; y < pa.rc.bottom; y++)
        for (int x = 0; x < pa.rc.right; x++)
            differ += Pixel(pa, x, y) != Pixel(pb, x, y);
    EXPECT_EQ(differ, 0);
    FreePainted(&pa);
    FreePainted(&pb);
    delete a;
    delete b;
    // "@150 x": the bar is full; "@50 x" half of it.
    CUIItem* full = MakeItem(kFullId, frame_, 10, 110);
    CUIItem* half = MakeItem(kHalfId, frame_, 10, 160);
    ASSERT_TRUE(full && half);
    RECT rf = {10, 110, 410, 110 + full->totalHeight}, rh = {10, 160, 410, 160 + half->totalHeight};
    full->Place(&rf);
    half->Place(&rh);
    Painted pf = PaintItem(full), ph = PaintItem(half);
    int y = (full->captionRect.top + full->captionRect.bottom) / 2;
    COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
    int nFull = CountOnRow(pf, y, fill), nHalf = CountOnRow(ph, y, fill);
    EXPECT_GT(nFull, 20);
    EXPECT_NEAR(nHalf * 2, nFull, 1);
    // The full bar reaches its frame on the right.
    int last = -1;
    for (int x = 0; x < pf.rc.right; x++)
        if (Pixel(pf, x, y) == fill)
            last = x;
    ASSERT_GE(last, 0);
    EXPECT_EQ(Pixel(pf, last + 1, y), GetSysColor(COLOR_MENUTEXT));
    FreePainted(&pf);
    FreePainted(&ph);
    delete full;
    delete half;
}

TEST_F(ItemKinds, ThinSeparatorDrawsNoLine) {
    CUIItem* thin = MakeItem(kThinSepId, frame_, 10, 10);
    CUIItem* wide = MakeItem(kSepId, frame_, 10, 30);
    ASSERT_TRUE(thin && wide);
    EXPECT_EQ(thin->totalHeight, 3);
    EXPECT_EQ(wide->totalHeight, 6);
    RECT rt = {10, 10, 110, 13}, rw = {10, 30, 110, 36};
    thin->Place(&rt);
    wide->Place(&rw);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    Painted pt = PaintItem(thin), pw = PaintItem(wide);
    int thinOther = 0, wideOther = 0;
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 100; x++)
            thinOther += Pixel(pt, x, y) != face;
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 100; x++)
            wideOther += Pixel(pw, x, y) != face;
    EXPECT_EQ(thinOther, 0);
    EXPECT_GT(wideOther, 90) << "an etched line across";
    FreePainted(&pt);
    FreePainted(&pw);
    delete thin;
    delete wide;
}

// The first image's bitmap of an image list (null when it has none).
static HBITMAP ImageBitmap(HIMAGELIST list) {
    IMAGEINFO info = {};
    return list && ImageList_GetImageInfo(list, 0, &info) ? info.hbmImage : nullptr;
}

// Deleting a tree or a list runs the kind's own clean-up: the image lists
// are destroyed (their bitmaps are gone) and rows the list owns are freed.
TEST_F(ItemKinds, DeletingATreeOrAListFreesItsImagesAndRows) {
    CTree* tree = (CTree*)gApp.CreateUIItem(kKindTree, nullptr);
    ASSERT_EQ(tree->Create(kPlainTreeId, frame_->window, frame_->window, nullptr), 0);
    tree->imageList = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(ImageList_Add(tree->imageList, picture, nullptr), 0);
    DeleteObject(picture);
    HBITMAP treeImages = ImageBitmap(tree->imageList);
    ASSERT_NE(treeImages, nullptr);
    EXPECT_EQ(GetObjectType(treeImages), (DWORD)OBJ_BITMAP);
    delete tree;
    EXPECT_EQ(GetObjectType(treeImages), 0u) << "the tree's image list outlived it";

    CList* list = (CList*)gApp.CreateUIItem(kKindList, nullptr);
    ASSERT_EQ(list->Create(kOwnedListId, frame_->window, frame_->window, nullptr), 0);
    HBITMAP arrowImages = ImageBitmap(list->arrows);
    ASSERT_NE(arrowImages, nullptr);
    list->ownsItemData = 1;
    // A row big enough to live in pages of its own: freed, they leave the address space.
    const size_t kRow = 4 << 20;
    void* row = malloc(kRow);
    ASSERT_NE(row, nullptr);
    memset(row, 1, kRow);
    ASSERT_GE(SendMessageA(list->listBox, LB_ADDSTRING, 0, (LPARAM)row), 0);
    MEMORY_BASIC_INFORMATION mem;
    ASSERT_EQ(VirtualQuery(row, &mem, sizeof mem), sizeof mem);
    ASSERT_EQ(mem.State, (DWORD)MEM_COMMIT);
    delete list;
    EXPECT_EQ(GetObjectType(arrowImages), 0u) << "the list's sort arrows outlived it";
    ASSERT_EQ(VirtualQuery(row, &mem, sizeof mem), sizeof mem);
    EXPECT_NE(mem.State, (DWORD)MEM_COMMIT) << "the row the list owned was not freed";
}
