// The list item: sort arrows, header clicks with direction and lock,
// percentage columns when the program or the user resizes them, the
// sideways scroll layout, and the list box's notifications, driven by real
// mouse and keyboard input.
#include "framework/item_list.h"

#include <gtest/gtest.h>

#include "framework/framework_messages.h"
#include "item_test_util.h"

namespace {

const WORD kListId = 0x7A90;

class ItemList : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (gApp.FindCommandIndex(kListId) < 0)
            gApp.AddCommand(kListId, kKindList, kCmdSplit, 0, -1, nullptr);
    }
    void SetUp() override {
        frame_ = MakeItemFrame();
        ASSERT_NE(frame_, nullptr);
        list_ = (CList*)gApp.CreateUIItem(kKindList, nullptr);
        ASSERT_NE(list_, nullptr);
        ASSERT_EQ(list_->Create(kListId, frame_->window, frame_->window, nullptr), 0);
        list_->AddColumn("Name", -50);
        list_->AddColumn("Size", 100);
        Size(402, 200);
        ItemPump(50);
        gItemCommands.clear();
    }
    void TearDown() override {
        ItemMouse({5, 5});
        delete list_;
        frame_->flags &= ~kFrameLockBarSizes;
        DeleteItemFrame(frame_);
    }
    void Size(int w, int h) {
        RECT r = {10, 10, 10 + w, 10 + h};
        list_->Place(&r);
    }
    RECT HeaderItem(int i) {
        RECT r = {};
        SendMessageA(list_->header, HDM_GETITEMRECT, i, (LPARAM)&r);
        MapWindowPoints(list_->header, nullptr, (POINT*)&r, 2);
        return r;
    }
    void Click(POINT p, DWORD down, DWORD up) {
        Sleep(GetDoubleClickTime() + 20);  // never a double click
        ItemMouse(p);
        ItemMouse(p, down);
        ItemMouse(p, up);
    }
    void ClickHeader(int i, bool right = false) {
        RECT r = HeaderItem(i);
        Click({(r.left + r.right) / 2, (r.top + r.bottom) / 2}, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN,
              right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    int Image(int i, bool* shown) {
        HDITEMA hi = {};
        hi.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageA(list_->header, HDM_GETITEMA, i, (LPARAM)&hi);
        *shown = (hi.fmt & HDF_IMAGE) != 0;
        return hi.iImage;
    }
    int HeaderWidth(int i) {
        HDITEMA hi = {};
        hi.mask = HDI_WIDTH;
        SendMessageA(list_->header, HDM_GETITEMA, i, (LPARAM)&hi);
        return hi.cxy;
    }
    std::vector<SentCommand> Notes(WORD code) {
        std::vector<SentCommand> out;
        for (const SentCommand& c : gItemCommands)
            if (LOWORD(c.wp) == kListId && HIWORD(c.wp) == code)
                out.push_back(c);
        return out;
    }
    // Drags the divider right of column i by dx pixels.
    void DragDivider(int i, int dx) {
        RECT r = HeaderItem(i);
        POINT p = {r.right - 1, (r.top + r.bottom) / 2};
        Sleep(GetDoubleClickTime() + 20);
        ItemMouse(p);
        ItemMouse(p, MOUSEEVENTF_LEFTDOWN);
        for (int step = 1; step <= 4; step++)
            ItemMouse({p.x + dx * step / 4, p.y});
        ItemMouse({p.x + dx, p.y}, MOUSEEVENTF_LEFTUP);
    }
    int ClientWidth() {
        RECT r;
        GetClientRect(list_->window, &r);
        return r.right;
    }

    CAppWindow* frame_ = nullptr;
    CList* list_ = nullptr;
};

// Dark pixels per row of an image of the list, drawn on white.
std::vector<int> RowWidths(HIMAGELIST il, int image, COLORREF* ink) {
    int w, h;
    ImageList_GetIconSize(il, &w, &h);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    ImageList_Draw(il, image, dc, 0, 0, ILD_NORMAL);
    std::vector<int> rows;
    for (int y = 0; y < h; y++) {
        int n = 0;
        for (int x = 0; x < w; x++) {
            COLORREF c = GetPixel(dc, x, y);
            if (c != RGB(255, 255, 255)) {
                n++;
                *ink = c;
            }
        }
        rows.push_back(n);
    }
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return rows;
}

}  // namespace

TEST(ListArrows, UpForAscendingDownForDescendingAndTwoLockedShades) {
    HIMAGELIST il = MakeSortArrows(18);  // h = 6, lowered to the odd 5
    ASSERT_NE(il, nullptr);
    int w, h;
    ImageList_GetIconSize(il, &w, &h);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(w, 10);
    ASSERT_EQ(ImageList_GetImageCount(il), 4) << "locked arrows exist too";
    COLORREF ink[4];
    for (int i = 0; i < 4; i++) {
        std::vector<int> rows = RowWidths(il, i, &ink[i]);
        bool up = i % 2 == 0;
        for (int y = 0; y < h; y++) {
            int k = up ? y : h - 1 - y;
            EXPECT_EQ(rows[y], 2 * k + 1) << "image " << i << " row " << y;
        }
    }
    EXPECT_EQ(ink[0], GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(ink[1], GetSysColor(COLOR_3DDKSHADOW));
    EXPECT_EQ(ink[2], GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(ink[3], GetSysColor(COLOR_BTNSHADOW));
    ImageList_Destroy(il);
    // A tiny row height still gives one-pixel arrows.
    il = MakeSortArrows(2);
    ASSERT_NE(il, nullptr);
    ImageList_GetIconSize(il, &w, &h);
    EXPECT_EQ(h, 1);
    ImageList_Destroy(il);
}

TEST_F(ItemList, HeaderClicksSortAndTheLockHoldsIt) {
    bool shown;
    // No sort column: a click changes nothing.
    ClickHeader(0);
    EXPECT_EQ(list_->sortColumn, -1);
    EXPECT_EQ(list_->sortDirection, 0);
    EXPECT_TRUE(Notes(kListSortChanged).empty());
    Image(0, &shown);
    EXPECT_FALSE(shown);

    list_->SetSort(0, 1);
    EXPECT_EQ(Image(0, &shown), 0);
    EXPECT_TRUE(shown) << "ascending";
    ClickHeader(0);
    EXPECT_EQ(list_->sortDirection, -1);
    EXPECT_EQ(Image(0, &shown), 1);
    ASSERT_EQ(Notes(kListSortChanged).size(), 1u);
    EXPECT_EQ(Notes(kListSortChanged)[0].lp, 0);
    // Another column takes the sort and keeps the direction.
    ClickHeader(1);
    EXPECT_EQ(list_->sortColumn, 1);
    EXPECT_EQ(list_->sortDirection, -1);
    Image(0, &shown);
    EXPECT_FALSE(shown) << "the previous column loses its arrow";
    EXPECT_EQ(Image(1, &shown), 1);
    ASSERT_EQ(Notes(kListSortChanged).size(), 2u);
    EXPECT_EQ(Notes(kListSortChanged)[1].lp, 1);

    // A right click on the sorted column locks; its arrow stays, greyed.
    ClickHeader(1, true);
    EXPECT_TRUE(list_->sortLocked);
    EXPECT_EQ(Image(1, &shown), 3);
    EXPECT_TRUE(shown);
    ClickHeader(0);
    ClickHeader(1);
    EXPECT_EQ(list_->sortColumn, 1);
    EXPECT_EQ(list_->sortDirection, -1);
    EXPECT_EQ(Notes(kListSortChanged).size(), 2u);
    ClickHeader(0, true);  // not the sorted column
    EXPECT_TRUE(list_->sortLocked);
    ClickHeader(1, true);
    EXPECT_FALSE(list_->sortLocked);
    EXPECT_EQ(Image(1, &shown), 1);

    // An unset direction toggles to ascending on any column.
    list_->SetSort(1, 0);
    ClickHeader(0);
    EXPECT_EQ(list_->sortColumn, 0);
    EXPECT_EQ(list_->sortDirection, 1);
    EXPECT_EQ(Image(0, &shown), 0);
}

TEST_F(ItemList, PercentageColumnsFollowTheProgramAndTheUser) {
    int cw = ClientWidth();
    EXPECT_EQ(HeaderWidth(0), cw / 2);
    EXPECT_EQ(HeaderWidth(1), 100);
    Size(302, 200);
    ItemPump(30);
    cw = ClientWidth();
    EXPECT_EQ(HeaderWidth(0), cw / 2) << "the program's resize keeps the percentage";
    EXPECT_EQ(list_->columns.At(0)->width, -50);
    EXPECT_EQ(list_->columns.At(1)->x, cw / 2);
    EXPECT_TRUE(Notes(kListColumnResized).empty());

    // The user drags the divider: a new percentage.
    DragDivider(0, 60);
    int now = HeaderWidth(0);
    EXPECT_GT(now, cw / 2 + 30);
    EXPECT_EQ(list_->columns.At(0)->width, -(now * 100 / cw));
    ASSERT_FALSE(Notes(kListColumnResized).empty());
    EXPECT_EQ(Notes(kListColumnResized).back().lp, 0);
    int pct = list_->columns.At(0)->width;
    Size(402, 200);
    ItemPump(30);
    EXPECT_EQ(HeaderWidth(0), -pct * ClientWidth() / 100);
    EXPECT_EQ(list_->columns.At(0)->width, pct);

    // A pixel column stores pixels.
    DragDivider(1, -30);
    EXPECT_EQ(list_->columns.At(1)->width, HeaderWidth(1));
    EXPECT_LT(HeaderWidth(1), 100);

    // Locked bar sizes or fixed columns refuse the drag.
    int before = HeaderWidth(0);
    frame_->flags |= kFrameLockBarSizes;
    DragDivider(0, 40);
    EXPECT_EQ(HeaderWidth(0), before);
    frame_->flags &= ~kFrameLockBarSizes;
    list_->columnsFixed = true;
    DragDivider(0, 40);
    EXPECT_EQ(HeaderWidth(0), before);
    EXPECT_EQ(list_->columns.At(0)->width, pct);
}

TEST_F(ItemList, ListOfNoWidthKeepsItsPercentage) {
    Size(0, 100);
    ItemPump(30);
    EXPECT_EQ(list_->width, 0);
    EXPECT_EQ(list_->PixelWidth(0), 0);
    // A width change reported while the list has no width.
    HDITEMA hi = {};
    hi.mask = HDI_WIDTH;
    hi.cxy = 40;
    NMHEADERA nm = {};
    nm.hdr.hwndFrom = list_->header;
    nm.hdr.idFrom = 1;
    nm.hdr.code = HDN_ITEMCHANGEDA;
    nm.iItem = 0;
    nm.pitem = &hi;
    SendMessageA(list_->window, WM_NOTIFY, 1, (LPARAM)&nm);
    EXPECT_EQ(list_->columns.At(0)->width, -50);
    nm.iItem = 1;
    SendMessageA(list_->window, WM_NOTIFY, 1, (LPARAM)&nm);
    EXPECT_EQ(list_->columns.At(1)->width, 40);
    EXPECT_EQ(list_->columnsWidth, 40);
}

TEST_F(ItemList, ScrollsSideways) {
    list_->AddColumn("Wide", 600);
    int cw = ClientWidth();
    int total = cw / 2 + 100 + 600;
    EXPECT_EQ(list_->columnsWidth, total);
    SCROLLINFO si;
    memset(&si, 0, sizeof si);
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(list_->window, SB_HORZ, &si);
    EXPECT_EQ(si.nMax, total - 1);
    EXPECT_EQ((int)si.nPage, cw);
    SendMessageA(list_->window, WM_HSCROLL, SB_LINERIGHT, 0);
    EXPECT_EQ(list_->scrollPos, 16);
    RECT h;
    GetWindowRect(list_->header, &h);
    MapWindowPoints(nullptr, list_->window, (POINT*)&h, 2);
    EXPECT_EQ(h.left, -16);
    EXPECT_EQ(h.right, cw);
    EXPECT_EQ(h.bottom - h.top, (int)(1.1 * list_->rowHeight));
    SendMessageA(list_->window, WM_HSCROLL, SB_PAGERIGHT, 0);
    SendMessageA(list_->window, WM_HSCROLL, SB_PAGERIGHT, 0);
    SendMessageA(list_->window, WM_HSCROLL, SB_PAGERIGHT, 0);
    EXPECT_EQ(list_->scrollPos, total - cw) << "clamped";
    SendMessageA(list_->window, WM_HSCROLL, SB_LEFT, 0);
    EXPECT_EQ(list_->scrollPos, 0);
}

TEST_F(ItemList, RowsSortDrawAndNotify) {
    list_->SetSort(0, 1);
    for (LPARAM d : {3, 1, 2})
        SendMessageA(list_->listBox, LB_ADDSTRING, 0, d);
    EXPECT_GT(gItemCompareCalls, 0);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(SendMessageA(list_->listBox, LB_GETITEMDATA, i, 0), i + 1);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETITEMHEIGHT, 0, 0), list_->rowHeight);
    UpdateWindow(list_->listBox);
    ItemPump(30);
    EXPECT_GT(gItemDrawCalls, 0) << "rows are drawn by the notify window";

    RECT row;
    SendMessageA(list_->listBox, LB_GETITEMRECT, 1, (LPARAM)&row);
    MapWindowPoints(list_->listBox, nullptr, (POINT*)&row, 2);
    POINT second = {row.left + 30, (row.top + row.bottom) / 2};
    Click(second, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Notes(kListLeftDown).size(), 1u);
    EXPECT_FALSE(Notes(kListSelChanged).empty());
    EXPECT_EQ(GetFocus(), list_->listBox);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETSEL, 1, 0), 1);

    // Ctrl+A selects every row and reports it.
    gItemCommands.clear();
    INPUT keys[4] = {};
    for (INPUT& k : keys)
        k.type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_CONTROL;
    keys[1].ki.wVk = 'A';
    keys[2].ki.wVk = 'A';
    keys[2].ki.dwFlags = KEYEVENTF_KEYUP;
    keys[3].ki.wVk = VK_CONTROL;
    keys[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, keys, sizeof(INPUT));
    ItemPump(100);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETSELCOUNT, 0, 0), 3);
    EXPECT_EQ(Notes(kListSelChanged).size(), 1u);
    // Another key is posted to the notify window.
    keys[0].ki.wVk = 'B';
    keys[1].ki.wVk = 'B';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    ItemPump(100);
    std::vector<SentCommand> keyNotes = Notes(kListKey);
    ASSERT_EQ(keyNotes.size(), 2u) << "Control (of Ctrl+A) and B";
    EXPECT_EQ(keyNotes[0].lp, VK_CONTROL);
    EXPECT_EQ(keyNotes[1].lp, 'B');

    // A right press on an unselected row selects only that row; the release is reported.
    SendMessageA(list_->listBox, LB_SETSEL, FALSE, -1);
    SendMessageA(list_->listBox, LB_SETSEL, TRUE, 0);
    SendMessageA(list_->listBox, LB_GETITEMRECT, 2, (LPARAM)&row);
    MapWindowPoints(list_->listBox, nullptr, (POINT*)&row, 2);
    POINT third = {row.left + 30, (row.top + row.bottom) / 2};
    gItemCommands.clear();
    Click(third, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETSELCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETSEL, 2, 0), 1);
    ASSERT_EQ(Notes(kListRightUp).size(), 1u);
    // Below the last row, a right press clears the selection.
    SendMessageA(list_->listBox, LB_GETITEMRECT, 2, (LPARAM)&row);
    MapWindowPoints(list_->listBox, nullptr, (POINT*)&row, 2);
    Click({row.left + 30, row.bottom + 3 * list_->rowHeight}, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    EXPECT_EQ(SendMessageA(list_->listBox, LB_GETSELCOUNT, 0, 0), 0);

    // A double click.
    gItemCommands.clear();
    Click(second, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    ItemMouse(second, MOUSEEVENTF_LEFTDOWN);
    ItemMouse(second, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(Notes(kListDoubleClick).size(), 1u);
}
