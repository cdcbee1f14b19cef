// The main dialog (resource 104): the tab control with its six pages, the
// button whose label and command follow the page, About and Hide; it also
// receives the hot keys, the minute timer, dropped files, help and quit.
// GUI thread only.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Messages and timers of the main dialog and its pages.
constexpr UINT kMsgShowTab = 1026;     // to the main dialog: ShowMainDialog(lParam)
constexpr UINT kMsgPageStore = 32790;  // to a page: store the controls in gOpt; lParam a PageInput*
constexpr UINT kMsgPageLoad = 32791;   // to a page: fill the controls from gOpt
constexpr UINT kMinuteTimer = 4096;    // the main dialog's timer of timed captures

// ShowMainDialog's argument: a tab 0..5 (the first two named), or one of the
// two after them.
enum : int { kTabActions = 0, kTabOptions = 1, kShowCurrentTab = -1, kHideMainDialog = -2 };

extern HWND gMainDialog;  // 0 before it exists and after the loop ended
extern HDC gScreenDC;     // memory DC compatible with the screen, for the program's run
INT_PTR CALLBACK MainDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
// Shows tab n, the current tab or hides the dialog (above). False when the
// current page refused to be left (an invalid number), and when there is
// no main dialog.
bool ShowMainDialog(int n);
// The Actions page (its buttons run the actions), or 0.
HWND ActionsPage();
// The image list of the tab icons (resources 1, 14, 11, 17, 15, 18, 16,
// 12, 13, 19 at the main dialog's DPI; owned by the main dialog), or 0.
HIMAGELIST TabImageList();
// The main dialog's WM_HOTKEY (the show key shows it; the capture key,
// unless something blocks a capture, hides it and opens the overlay) and
// its minute timer (every gOpt.Minutes minutes a capture while hidden).
void OnHotKey(HWND dlg, int id);
void OnMinuteTimer(HWND dlg);
