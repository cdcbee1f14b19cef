// Shared set-up of the item-kind tests: a framework frame that records the
// commands its items send, real mouse input, pumping, and painting an item
// into a memory bitmap to read its pixels.
#pragma once
#include <windows.h>

#include <vector>

#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/ui_item.h"

struct SentCommand {
    WPARAM wp;
    LPARAM lp;
};

// Everything the test frame received as MoxMSG_COMMAND, in order.
extern std::vector<SentCommand> gItemCommands;
// MoxMSG_DRAGITEM and MoxMSG_DBLCLK that reached the frame (their wParam).
extern std::vector<WPARAM> gItemDrags;
extern std::vector<WPARAM> gItemDoubleClicks;
// WM_DRAWITEM and WM_COMPAREITEM calls that reached the frame.
extern int gItemDrawCalls;
extern int gItemCompareCalls;

// Pumps this thread's messages through the pre-dispatch for ms milliseconds.
void ItemPump(int ms);
// Moves the mouse to the screen point with real input (plus button flags);
// returns where the cursor ended up.
POINT ItemMouse(POINT p, DWORD buttonFlags = 0);
POINT WindowCentre(HWND w);
POINT ClientToScreenPoint(HWND w, int x, int y);

// Sets the application's visuals up as start-up does, with the colour
// scheme "none" (system colours); once per process.
void PrepareVisuals();

// A visible frame (window index 31) whose procedure records the commands;
// also sets the texts and data folder of the item tests once.
CAppWindow* MakeItemFrame();
void DeleteItemFrame(CAppWindow* frame);

// Creates an item of the command's kind in the frame, measured and placed
// at (x, y) with its measured size, shown and painted. Null on failure.
CUIItem* MakeItem(WORD id, CAppWindow* frame, int x, int y);

// The item painted by its Paint into a bitmap of its client size; the
// caller reads pixels with Pixel and frees with FreePainted.
struct Painted {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    RECT rc;
};
Painted PaintItem(CUIItem* item);
COLORREF Pixel(const Painted& p, int x, int y);
void FreePainted(Painted* p);

// A topmost window filled with one colour, for picking from the screen.
HWND MakeSwatchWindow(COLORREF color, int x, int y, int w, int h);

// The per-window DPI that the application reads, for measuring at 144.
UINT WINAPI ItemDpi144(HWND);
