// CMenu: a menu item whose command lists command ids. Opening it fills a
// borderless topmost popup ("MoxAppMenuPopup") with one item per listed
// command, stacked, placed beside or below the item inside the monitor.
// At most one chain of menus is open in the application.
#pragma once
#include "ui_item.h"

class CMenu : public CUIItem {
  public:
    CMenu() { kind = kKindMenu; }
    ~CMenu() override;
    int OnCreate(CommandInfo* cmd, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void MeasureExtra(const CommandInfo* cmd, int orientation) override;
    void OnDestroy() override;
    void Paint(HDC dc, const RECT& rc) override;

    // 0, kMoxErrUnknownCommand (a listed command is missing), kMoxErrItemCreate (an item could not be
    // made), kMoxErrNoIdList (no id list).
    int OpenPopup(const RECT& anchor);
    void ClosePopup();
    // Mouse rules that concern menus (from the item window procedure).
    void OnHover(LPARAM lp);
    void OnClickOpen();
    // The first enabled item that is not a separator, after `from` in the
    // direction (wrapping, one pass); -1 when none.
    int NextEnabled(int from, int direction) const;
    int HotIndex() const;

    CMenu* openChild = nullptr;
    bool popupOpen = false;
    const WORD* idList = nullptr;
    HWND popup = nullptr;
    CDynArray<CUIItem*> popupItems;
};

LRESULT CALLBACK MenuPopupWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
