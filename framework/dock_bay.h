// Dock bays ("MoxAppDockBay"): one child window per side of a frame that
// holds bars in up to 16 rows, with splitters for rows of resizable bars and
// a size grip in the bottom or right bay of a resizable frame; and CBar, a
// strip of items docked in a bay or floating as a tool window.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "bar_layout.h"
#include "base/dyn_array.h"
#include "commands.h"

class CAppWindow;

// The scheme colour of bays and bars, and of what their items show as background.
constexpr int kBayColor = 0;
// The bay id of a floating bar.
constexpr WORD kBayFloating = 0xFFFF;

// What a bar needs of the items it lays out (the UI items provide it).
class CBarItem {
  public:
    virtual ~CBarItem() {}
    virtual DWORD ItemFlags() const = 0;
    // Size for orientation 0 horizontal, 1 vertical, 2 floating.
    virtual SIZE Measure(int orientation) = 0;
    // Null hides the item.
    virtual void Place(const RECT* rect) = 0;
    virtual WORD CommandId() const = 0;
    virtual bool IsSeparator() const = 0;
};

#pragma pack(push, 1)
// The "(Mox)Bar<command>" record, 16 bytes.
struct BarRecord {
    int16_t x, y;
    uint16_t length, thickness, frameIndex, side, row, flags;
};
#pragma pack(pop)

class CBar {
  public:
    CBar() = default;
    CBar(const CBar&) = delete;
    CBar& operator=(const CBar&) = delete;
    ~CBar();

    // Creates the bar's window, docked in the frame's bay (side 0-3) or
    // floating (side -1). The bar owns its items (the last is the overflow item).
    int Create(CAppWindow* frame, WORD command, int side, int row, int x, DWORD barFlags);
    void Layout(int length, int thickness, bool force);
    int Thickness();
    // Bay id (side + 256 x frame index) or kBayFloating.
    void Dock(WORD bayId, int x, int y, int length, int thickness, bool apply);
    void SavePosition();

    HWND window = nullptr;
    WORD command = 0;
    WORD frameIndex = 0;
    WORD bayId = kBayFloating;
    WORD row = 0;
    int x = 0, y = 0, length = 0, thickness = 0;
    int minLength = 0, naturalThickness = 20, naturalLength = 20;
    DWORD flags = 0;
    int side = -1;
    RECT clientRect = {}, previousClient = {};
    int spacing = 2;
    CDynArray<CBarItem*> items;
    CAppWindow* owner = nullptr;
    WORD overflow[65] = {kIdListEnd};
    HWND busyOverlay = nullptr;
};

class CDockBay {
  public:
    CDockBay() = default;
    CDockBay(const CDockBay&) = delete;
    CDockBay& operator=(const CDockBay&) = delete;
    ~CDockBay();

    // 0 or kMoxErrWindowCreate.
    int Create(int side, CAppWindow* frame);
    // Places the bay on the frame's layout; returns its thickness.
    int Place(int x, int y, int width, int height);
    // Lays the rows out for the bay's length; returns the thickness.
    int Layout(int length);

    // The bars of this frame: floating ones follow the frame.
    void ShowFloatingBars(CAppWindow* frame, bool show);
    void ApplyToFloatingBars(CAppWindow* frame);
    void SetBusyOnFloatingBars(CAppWindow* frame, bool on);
    // Appends the show/hide commands of the bars of this bay; returns how many.
    int AppendBarCommands(WORD* ids, int* n, int cap) const;
    // Toggles the bar with this show/hide command; false when none is ours.
    bool ToggleBar(WORD command);
    // The splitter row at a point across the bay, or -1.
    int SplitterAt(int across) const;

    HWND window = nullptr;
    WORD bayId = 0;
    WORD frameIndex = 0;
    int side = 0;
    bool vertical = false;
    int rows[kBayRows] = {};
    int grip = -1;  // -1 never, 0 not shown, 1 shown
    int dragRow = -1, dragStartThickness = 0;
    POINT dragStart = {};
    int lastWidth = 0, lastHeight = 0;
    CAppWindow* frame = nullptr;

    void OnPaint();
    void OnMouseDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnMouseUp();
};

LRESULT CALLBACK DockBayWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
