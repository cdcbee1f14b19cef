// Shared set-up of the item-kind tests.
#include "item_test_util.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "base/str_util.h"
#include "framework/framework_messages.h"
#include "framework/monitors.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

std::vector<SentCommand> gItemCommands;
std::vector<WPARAM> gItemDrags;
std::vector<WPARAM> gItemDoubleClicks;
int gItemDrawCalls = 0;
int gItemCompareCalls = 0;

namespace {

TextRecord gItemTexts[] = {
    {0, {"Item Kinds Test"}}, {0x7A01, {"Size"}}, {0x7A10, {"#0abc"}}, {0x7A11, {"@150 x"}},
    {0x7A12, {"@50 x"}},      {0x7A13, {"abc"}},  {0xFFFF, {}},
};

// Rows of the list tests compare by their data (small integers).
LRESULT CALLBACK ItemFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case MoxMSG_COMMAND:
            gItemCommands.push_back({wp, lp});
            return 0;
        case MoxMSG_DRAGITEM:
            gItemDrags.push_back(wp);
            return 0;
        case MoxMSG_DBLCLK:
            gItemDoubleClicks.push_back(wp);
            return 0;
        case WM_DRAWITEM: {
            gItemDrawCalls++;
            DRAWITEMSTRUCT* d = (DRAWITEMSTRUCT*)lp;
            FillRect(d->hDC, &d->rcItem,
                     GetSysColorBrush((d->itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            return TRUE;
        }
        case WM_COMPAREITEM: {
            gItemCompareCalls++;
            COMPAREITEMSTRUCT* c = (COMPAREITEMSTRUCT*)lp;
            return c->itemData1 < c->itemData2 ? -1 : c->itemData1 > c->itemData2 ? 1 : 0;
        }
    }
    return CallWindowProcA(gApp.frameworkWndProc, hwnd, msg, wp, lp);
}

}  // namespace

void ItemPump(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            gApp.PreDispatch(&m);
        Sleep(5);
    } while (GetTickCount() - start < (DWORD)ms);
}

POINT ItemMouse(POINT p, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    // Rounded up, so that the normalised point maps back onto the pixel.
    in.mi.dx = (LONG)(((long long)p.x * 65535 + cx - 2) / (cx - 1));
    in.mi.dy = (LONG)(((long long)p.y * 65535 + cy - 2) / (cy - 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof in);
    ItemPump(60);
    POINT now;
    GetCursorPos(&now);
    return now;
}

POINT WindowCentre(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT ClientToScreenPoint(HWND w, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(w, &p);
    return p;
}

void PrepareVisuals() {
    if (gApp.visualsReady)
        return;
    gApp.instance = GetModuleHandleA(nullptr);
    gApp.visuals.Init(gApp.instance);
    BYTE mode = 0;
    gApp.record.colorMode = 0;
    gApp.visuals.UpdateColorScheme(&mode, gApp.record.colors);
    gApp.visualsReady = true;
}

CAppWindow* MakeItemFrame() {
    static bool once = false;
    PrepareVisuals();
    if (!once) {
        once = true;
        gApp.instance = GetModuleHandleA(nullptr);
        StrCopy(gApp.productName, countof(gApp.productName), "Item Kinds Test");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), MakeTestDir("item_kinds").c_str());
        RefreshMonitors();
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
    }
    gApp.strings.SetAppTable(0, gItemTexts);
    RECT r = {40, 40, 640, 480};
    int pos = gApp.CreateFrame(31, ItemFrameProc, "Item Kinds Test", 0, 0, &r);
    if (pos < 0)
        return nullptr;
    CAppWindow* frame = *gApp.frames.At(pos);
    ShowWindow(frame->window, SW_SHOWNORMAL);
    SetForegroundWindow(frame->window);
    gApp.activeFrame = frame->index;
    gItemCommands.clear();
    gItemDrags.clear();
    gItemDoubleClicks.clear();
    gItemDrawCalls = gItemCompareCalls = 0;
    ItemPump(50);
    return frame;
}

void DeleteItemFrame(CAppWindow* frame) {
    for (int i = 0; i < gApp.frames.count; i++)
        if (*gApp.frames.At(i) == frame)
            gApp.frames.RemoveAt(i);
    delete frame;
}

CUIItem* MakeItem(WORD id, CAppWindow* frame, int x, int y) {
    CUIItem* item = gApp.CreateUIItem(gApp.CommandType(id), nullptr);
    if (!item)
        return nullptr;
    if (item->Create(id, frame->window, frame->window, nullptr) != 0) {
        delete item;
        return nullptr;
    }
    RECT r = {x, y, x + item->totalWidth, y + item->totalHeight};
    item->Place(&r);
    UpdateWindow(item->window);
    ItemPump(30);
    return item;
}

Painted PaintItem(CUIItem* item) {
    Painted p;
    GetClientRect(item->window, &p.rc);
    HDC screen = GetDC(nullptr);
    p.dc = CreateCompatibleDC(screen);
    p.bmp = CreateCompatibleBitmap(screen, p.rc.right + 1, p.rc.bottom + 1);
    ReleaseDC(nullptr, screen);
    p.old = SelectObject(p.dc, p.bmp);
    item->Paint(p.dc, p.rc);
    return p;
}

COLORREF Pixel(const Painted& p, int x, int y) {
    return GetPixel(p.dc, x, y);
}

void FreePainted(Painted* p) {
    SelectObject(p->dc, p->old);
    DeleteObject(p->bmp);
    DeleteDC(p->dc);
}

static LRESULT CALLBACK SwatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HBRUSH b = CreateSolidBrush((COLORREF)GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_ERASEBKGND)
        return 1;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakeSwatchWindow(COLORREF color, int x, int y, int w, int h) {
    EnsureWindowClass("ItemTestSwatch", SwatchProc, IDC_ARROW, nullptr, nullptr);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "ItemTestSwatch", "",
                                WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr, gApp.instance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)color);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    ItemPump(50);
    return hwnd;
}

UINT WINAPI ItemDpi144(HWND) {
    return 144;
}
