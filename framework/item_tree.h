// CTree: an item that hosts a tree control. The item's window is the
// "SysTreeView32" control itself; the command's bound data is a window
// procedure installed on it, which forwards what it does not handle to
// the control's previous procedure (CTree::CallPrevious).
#pragma once
#include <windows.h>
// windows.h first: commctrl.h needs its types
#include <commctrl.h>

#include "ui_item.h"

class CTree : public CUIItem {
  public:
    CTree() { kind = kKindTree; }
    // Runs OnDestroy while this is still a tree (~CUIItem's call would reach the base's).
    ~CTree() override { Destroy(); }
    // 0 or kMoxErrWindowCreate (unknown command or the control could not be made).
    int Create(WORD commandId, HWND parent, HWND notify, CMenu* ownerMenu) override;
    void Measure(const CommandInfo*, int) override {}
    void OnDestroy() override;
    void Paint(HDC, const RECT&) override {}

    // The tree item of a control window, or null.
    static CTree* FromWindow(HWND hwnd);
    // Forwards a message to the control's procedure from before the bound one.
    LRESULT CallPrevious(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    WNDPROC previousProc = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_SHOWSELALWAYS;
    HIMAGELIST imageList = nullptr;  // set by the owner; freed with the item
};
