// The value items: a slider, a brush size dragged up and down, a colour
// picked from the screen and a sixteen-colour palette. Each edits the value
// record bound to its command (CommandInfo::data, owned by the
// application) and tells the notify window with MoxMSG_COMMAND.
#pragma once
#include <stdint.h>

#include "ui_item.h"

// Slider and brush size: value within minimum..maximum.
struct ValueRange {
    int value;
    int minimum;
    int maximum;
};

// Colour item: 0xAARRGGBB; picked nonzero once a colour was taken.
struct ColorValue {
    uint32_t color;
    uint8_t picked;
};

// Palette: sixteen 0xAARRGGBB colours, the screen colour last under the
// cursor and the selected cell (0..15; other values select nothing).
struct PaletteValue {
    uint32_t colors[16];
    uint32_t underCursor;
    int selected;
};

// Side of a slider's thumb (and height of its track part) at a DPI.
int SliderSize(UINT dpi);

class CSlider : public CUIItem {
  public:
    CSlider() { kind = kKindSlider; }
    // kMoxErrUnknownCommand when the command has no value record.
    int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void MeasureExtra(const CommandInfo* cmd, int orientation) override;
    void Paint(HDC dc, const RECT& rc) override;

    // Pixels per value step over the extra part (never 0 for a non-empty track).
    double Unit() const;
    // The thumb for the current value, from the extra part laid out last.
    RECT ThumbRect() const;
    // The value whose thumb centre lies nearest client x.
    int ValueAt(int x) const;
    void OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    ValueRange* range = nullptr;
    RECT thumb = {};
    bool dragging = false;
};

class CBrushSize : public CUIItem {
  public:
    CBrushSize() { kind = kKindBrushSize; }
    ~CBrushSize() override;
    int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void MeasureExtra(const CommandInfo* cmd, int orientation) override;
    void Paint(HDC dc, const RECT& rc) override;
    void OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Fits the value font to the text and the item size (only when they changed).
    void FitFont(HDC dc, UINT dpi, int width, int height);

    static constexpr int kNotRecording = -66666;
    ValueRange* range = nullptr;
    int shownValue = -1;
    int shownLength = -1;
    int fittedWidth = 0;
    int fittedHeight = 0;
    HFONT font = nullptr;
    char text[16] = "";
    int startY = kNotRecording;  // screen y of the press; kNotRecording when not dragging
    int startValue = 0;
};

class CColor : public CUIItem {
  public:
    CColor() { kind = kKindColor; }
    int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void MeasureExtra(const CommandInfo* cmd, int orientation) override;
    void Paint(HDC dc, const RECT& rc) override;
    void OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    ColorValue* color = nullptr;
};

class CPalette : public CUIItem {
  public:
    CPalette() { kind = kKindPalette; }
    int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void MeasureExtra(const CommandInfo* cmd, int orientation) override;
    void Paint(HDC dc, const RECT& rc) override;
    void OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // The last cell containing the client point, or -1.
    int CellAt(POINT pt) const;

    PaletteValue* palette = nullptr;
    RECT cells[16] = {};
    int columns = 0, rows = 0;  // of the grid painted last
};
