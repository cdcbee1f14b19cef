// CUIItem: a clickable element the framework draws itself, owning one child
// window of class "MoxAppUIItem" and showing one command. The command's
// record carries the state, so every item of a command looks the same. The
// item window procedure turns mouse input into hover, press, click, double
// click, drag and leave; the kinds (item_kinds.h, menu.h) paint.
#pragma once
#include <windows.h>

#include "commands.h"
#include "dock_bay.h"

class CMenu;

typedef void (*ItemMouseHook)(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, class CUIItem* item);

class CUIItem : public CBarItem {
  public:
    CUIItem();
    CUIItem(const CUIItem&) = delete;
    CUIItem& operator=(const CUIItem&) = delete;
    // Clears the command's hot and pressed bits, leaves the application's
    // list and destroys the window.
    virtual ~CUIItem();

    // 0 or kMoxErrWindowCreate.
    virtual int Create(WORD commandId, HWND parent, HWND notify, CMenu* ownerMenu);
    virtual int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu);
    virtual void Measure(const CommandInfo* cmd, int orientation);
    virtual void MeasureExtra(const CommandInfo* cmd, int orientation);
    void Destroy();
    virtual void OnDestroy();
    virtual void Paint(HDC dc, const RECT& rc) = 0;
    virtual void OnSize();
    // Redraws (unless arg is nonzero) and returns OnUpdate(arg).
    bool Update(int arg);
    virtual bool OnUpdate(int arg);

    // Texts: slot 0 menu, 1 shortcut, 2 status help, 3 tooltip; null when none.
    const char* GetText(int slot) const;
    // Places the icon, extra, caption and shortcut rectangles.
    void LayoutParts(const RECT& rc, int shift, bool centre, bool inPopup);
    // Frame style, text style, centre and bold for the flags; returns the press shift.
    int GetDrawState(DWORD cmdFlags, int* frameStyle, int* textStyle, bool* centre, bool* bold) const;
    void SetMouseHook(ItemMouseHook hook) { mouseHook = hook; }
    // The command's current flags (0 when the command is gone).
    DWORD CurrentFlags() const;
    // Runs the item as a click with the button mask.
    void Click(int mask);
    // The margin around parts at a DPI.
    static int Margin(UINT dpi);

    // CBarItem, so that bars can hold items.
    DWORD ItemFlags() const override { return flags; }
    SIZE Measure(int orientation) override;
    void Place(const RECT* rect) override;
    WORD CommandId() const override { return commandId; }
    bool IsSeparator() const override { return kind == kKindSeparator; }

    HWND window = nullptr;
    HWND notifyWindow = nullptr;
    WORD commandId = kNoCommand;
    DWORD flags = 0;
    int kind = 0;
    int totalWidth = 0, totalHeight = 0;
    int iconWidth = -1, iconHeight = -1;
    int extraWidth = 0, extraHeight = 0;
    int captionWidth = -1, captionHeight = -1;
    int shortcutWidth = 0, shortcutHeight = 0;
    int rightMargin = 0;
    int minHeight = 0;
    CMenu* owner = nullptr;
    CBar* bar = nullptr;
    int iconColumn = 0;
    LPARAM lastMouse = 0;
    bool dragging = false;
    RECT iconRect = {}, captionRect = {}, extraRect = {}, shortcutRect = {};
    ItemMouseHook mouseHook = nullptr;
    bool overArrow = false;  // split items: the cursor is over the arrow part

  protected:
    void AddTooltip();
    void PaintCommon(HDC dc, const RECT& rc, bool withCheckGlyph);
};

LRESULT CALLBACK UIItemWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The process-wide interaction state of items.
struct ItemInteraction {
    CUIItem* hovered;
    CUIItem* pressed;
    CUIItem* statusShown;  // the item whose status help is shown
    DWORD lastDown[3];     // tick counts of the last left, right, middle button-down
};
extern ItemInteraction gItemState;

// Drawing helpers of the kinds, all through the visuals (scheme colours,
// fonts and icons). Frame styles: 0 none (the container's background
// shows), 1 hot, 2 pressed, 3 and 4 framed, 6 checked, 7 checked and
// disabled. Text styles: 0 greyed, 1 normal, 2 highlighted.
void DrawItemFrame(HDC dc, const RECT& r, int style);
// The item's container paints its background under rc (item coordinates).
void PaintContainerBackground(HWND item, HDC dc, const RECT& rc);
// The visuals' text colour selector of a text style.
DWORD ItemTextSelector(int textStyle);
// format: DT_LEFT or DT_RIGHT.
void DrawItemText(HDC dc, const char* text, const RECT& r, int textStyle, bool centre, bool bold, UINT dpi,
                  UINT format);
// A command's icon (its id with the visuals) stretched to rc: its own
// colours while the command is enabled, the scheme's tint otherwise.
void DrawCommandIcon(HDC dc, WORD iconId, bool enabled, const RECT& rc);
// The check mark in the left square of a checked entry.
void DrawCheckGlyph(HDC dc, const RECT& square, int textStyle);
// The arrow of a menu's arrow column: right, or down for a top-level item.
void DrawArrowGlyph(HDC dc, const RECT& column, bool down, int textStyle, UINT dpi);
