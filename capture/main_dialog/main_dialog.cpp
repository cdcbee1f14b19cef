// The main dialog (resource 104): the tab control with its six pages, the
// button whose label and command follow the page, About and Hide; it also
// receives the hot keys (the road from the capture key to the overlay),
// the minute timer, dropped files, help and quit, and hosts the actions.
#include "capture/main_dialog/main_dialog.h"

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include "base/str_util.h"
#include "capture/actions/action_dispatch.h"
#include "capture/actions/send_to.h"
#include "capture/editor/editor_dialog.h"
#include "capture/grab/hotkeys.h"
#include "capture/grab/overlay.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "framework/dialog_util.h"
#include "framework/product_info.h"

HWND gMainDialog;
HDC gScreenDC;

namespace {

const int kTabCount = 6;
const UINT_PTR kHideWaitTimer = 2;
const UINT_PTR kCaptureWaitTimer = 3;

struct TabInfo {
    const char* text;  // ends in one blank
    int pageId;
    DLGPROC proc;
    const char* helpPage;
};

const TabInfo kTabs[kTabCount] = {
    {"Actions ", IDD_PAGE_ACTIONS, ActionsPageProc, "The_Actions_Tab.htm"},
    {"Options ", IDD_PAGE_OPTIONS, OptionsPageProc, "The_Options_Tab.htm"},
    {"Capture ", IDD_PAGE_CAPTURE, CapturePageProc, "The_Capture_Tab.htm"},
    {"Save ", IDD_PAGE_SAVE, SavePageProc, "The_Save_Tab.htm"},
    {"Print ", IDD_PAGE_PRINT, PrintPageProc, "The_Print_Tab.htm"},
    {"Send ", IDD_PAGE_SEND, SendPageProc, "The_Send_Tab.htm"},
};

// Image list order; indices 3..9 also serve the action buttons and Send-To.
const int kTabIcons[] = {IDI_PROGRAM, IDI_OPTIONS_TAB,     IDI_CAPTURE_TAB, IDI_SAVE_AS,      IDI_PRINT,
                         IDI_SEND_TO, IDI_SAVE_SEQUENTIAL, IDI_COPY,        IDI_IMAGE_EDITOR, IDI_WORD};

// Commands that button 1018 sends to the Actions page on tabs 3, 4, 5.
const int kPageCommands[kTabCount] = {0, 0, 0, IDC_SAVE_AS, IDC_PRINT, IDC_SEND_TO};

struct MainDialogState {
    HWND pages[kTabCount];
    int tab;  // 0..5
    HIMAGELIST images;
    RECT pageRect;    // dialog client coordinates
    int inputStatus;  // the last store's status: 0, kStatusFieldEmpty or kStatusNotNumber
    int badField;     // the field of the last refused store, or 0
    WNDPROC tabProc;
};
MainDialogState gMain;

int gMinuteCount = 0;  // minutes the timer counted towards the next capture
bool gHiding = false;  // the capture road is hiding the main dialog

HWND Tabs() {
    return GetDlgItem(gMainDialog, IDC_TABS);
}

HWND CurrentPage() {
    return gMain.pages[gMain.tab];
}

// Asks the current page to store its controls; false when it refused (the
// input status says why), with the offending field focused.
bool StoreCurrentPage() {
    HWND page = CurrentPage();
    PageInput input = kPageStored;
    if (page)
        SendMessageA(page, kMsgPageStore, 0, (LPARAM)&input);
    gMain.inputStatus = input.status;
    gMain.badField = input.badField;
    if (gMain.inputStatus == 0)
        return true;
    HWND field = gMain.badField ? GetDlgItem(page, gMain.badField) : nullptr;
    if (field) {
        // The user must be able to correct what blocks the page, even in a
        // field its check box has greyed.
        if (!IsWindowEnabled(field))
            EnableWindow(field, TRUE);
        FocusDlgItemSelectAll(page, gMain.badField);
    }
    MessageBeep(MB_ICONWARNING);
    return false;
}

// The tab control answers the arrow keys itself instead of letting the
// dialog move the focus with them.
LRESULT CALLBACK TabSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_GETDLGCODE)
        return DLGC_WANTARROWS;
    return CallWindowProcA(gMain.tabProc, hwnd, msg, wp, lp);
}

// A visible dialog (#32770), system menu (#32768) or framework popup menu
// (MoxAppMenuPopup, modeless: the modal depth does not count it) of this
// thread other than found[1]; the first one goes to found[0].
BOOL CALLBACK FindModalWindow(HWND hwnd, LPARAM lp) {
    HWND* found = (HWND*)lp;
    char cls[32];
    if (hwnd != found[1] && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, (int)sizeof cls) &&
        (strcmp(cls, "#32770") == 0 || strcmp(cls, "#32768") == 0 || strcmp(cls, "MoxAppMenuPopup") == 0)) {
        found[0] = hwnd;
        return FALSE;
    }
    return TRUE;
}

// True when a capture must not start now: the editor is open, the capture
// road is hiding the dialog, or a capture's action or another modal window
// is up (a framework dialog or message box, a common dialog such as Save As
// or Print, a popup menu such as the Send-To targets), or one of the
// program's own menus is open (the tray menu), which the capture would
// freeze into the picture. An open overlay does not block: the capture hot
// key closes it.
bool CaptureBlocked(HWND dlg) {
    if (gOverlay)
        return false;
    if (gEditorDialog || gHiding || gApp.modalDepth > 0)
        return true;
    HWND found[2] = {nullptr, dlg};
    EnumThreadWindows(GetCurrentThreadId(), FindModalWindow, (LPARAM)found);
    return found[0] != nullptr;
}

// Hides the visible main dialog with the window animation off, waits the
// optional delay and posts the capture hot key again.
void HideThenCapture(HWND dlg) {
    ANIMATIONINFO anim = {sizeof anim, 0};
    bool gotAnim = SystemParametersInfoA(SPI_GETANIMATION, sizeof anim, &anim, 0) != FALSE;
    if (gotAnim && anim.iMinAnimate) {
        ANIMATIONINFO off = {sizeof off, 0};
        SystemParametersInfoA(SPI_SETANIMATION, sizeof off, &off, 0);
    }
    gHiding = true;
    bool hidden = ShowMainDialog(kHideMainDialog);
    if (gotAnim && anim.iMinAnimate)
        SystemParametersInfoA(SPI_SETANIMATION, sizeof anim, &anim, 0);
    if (!hidden) {
        gHiding = false;
        return;
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    bool running = gApp.Wait(1, kCaptureWaitTimer);
    if (running && gOpt.Delay)
        Sleep((DWORD)gOpt.DelayTime);
    gHiding = false;
    if (running)
        PostMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
    else
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

// The action dispatch's requests (SetActionHost).
void OnActionRequest(int what) {
    switch (what) {
        case kHostShowActions:
            ShowMainDialog(kTabActions);
            break;
        case kHostHide:
            ShowMainDialog(kHideMainDialog);
            break;
        case kHostEditorOpens:
            UnregisterHotKeys();
            break;
        case kHostEditorClosed:
            RegisterHotKeys(gMainDialog, 1);
            break;
    }
}

// Rebuilds the tab icons (resources 1, 14, 11, 17, 15, 18, 16, 12, 13, 19,
// list indices 0..9) at the main dialog's DPI and gives them to the tabs.
void LoadTabIcons() {
    if (!gMainDialog)
        return;
    if (gMain.images) {
        SendMessageA(Tabs(), TCM_SETIMAGELIST, 0, 0);
        ImageList_Destroy(gMain.images);
        gMain.images = nullptr;
    }
    int size = (int)DialogDpi(gMainDialog) / 6;
    gMain.images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, countof(kTabIcons), 0);
    if (!gMain.images)
        return;
    for (int id : kTabIcons) {
        HICON icon = (HICON)LoadImageA(gApp.instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_SHARED);
        if (!icon || ImageList_AddIcon(gMain.images, icon) < 0)
            break;
    }
    SendMessageA(Tabs(), TCM_SETIMAGELIST, 0, (LPARAM)gMain.images);
}

void OnInitMainDialog(HWND dlg) {
    gApp.PrepareDialog(dlg);
    gMainDialog = dlg;
    memset(gMain.pages, 0, sizeof gMain.pages);
    gMain.tab = kTabActions;
    gMain.inputStatus = 0;
    gMain.badField = 0;
    SetTimer(dlg, kMinuteTimer, 60000, nullptr);

    HWND tabs = GetDlgItem(dlg, IDC_TABS);
    gMain.tabProc = (WNDPROC)SetWindowLongPtrA(tabs, GWLP_WNDPROC, (LONG_PTR)TabSubclassProc);
    LoadTabIcons();
    SendMessageA(tabs, TCM_SETPADDING, 0, MAKELPARAM(4, 3));
    for (int i = 0; i < kTabCount; i++) {
        TCITEMA item;
        memset(&item, 0, sizeof item);
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = (char*)kTabs[i].text;
        item.iImage = i;
        SendMessageA(tabs, TCM_INSERTITEMA, i, (LPARAM)&item);
    }

    HWND slot = GetDlgItem(dlg, IDC_PAGE_SLOT);
    SetRectEmpty(&gMain.pageRect);
    if (slot) {
        GetWindowRect(slot, &gMain.pageRect);
        MapWindowPoints(nullptr, dlg, (POINT*)&gMain.pageRect, 2);
        DestroyWindow(slot);
    }
    for (int i = 0; i < kTabCount; i++)
        gMain.pages[i] = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(kTabs[i].pageId), dlg, kTabs[i].proc, 0);
    if (gMain.pages[kTabActions])
        ShowWindow(gMain.pages[kTabActions], SW_SHOWNA);

    PostMessageA(dlg, kMsgShowTab, 0, gApp.startMinimised ? kHideMainDialog : kTabActions);
    SetActionHost(dlg, OnActionRequest);
    RegisterHotKeys(dlg, 1);
}

// After a hot key could not be registered: the Options tab, where the keys
// are chosen. When it is current already it is only shown, not stored: a
// store tries the keys again.
void ShowKeyFields(HWND dlg) {
    if (gMain.tab != kTabOptions) {
        ShowMainDialog(kTabOptions);
        return;
    }
    ShowWindow(dlg, SW_SHOWNORMAL);
    SetForegroundWindow(dlg);
}

void ShowHelp() {
    const char* topic = gEditorDialog ? "The_Edit_Dialog.htm" : kTabs[gMain.tab].helpPage;
    gApp.ShowManual("Vellumor Pro.chm", topic);
}

// Ends the program from the main dialog: options written, dialog gone, the
// loop told to end.
void QuitFromDialog(HWND dlg) {
    ExchangeOptions(kWriteOptions);
    DestroyWindow(dlg);
    PostQuitMessage(0);
}

void OnQuitCommand(HWND dlg) {
    StoreCurrentPage();
    if (!ConfirmDiscard(dlg))
        return;
    StoreHotKeys();
    ClearImage();
    DestroyWindow(dlg);
    PostQuitMessage(0);
}

void OnNewButton(HWND dlg) {
    StoreCurrentPage();
    int command = kPageCommands[gMain.tab];
    if (command)
        SendMessageA(ActionsPage(), WM_COMMAND, command, 0);
    else
        PostMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
}

// True when the command was the dialog's.
bool OnMainCommand(HWND dlg, int id) {
    switch (id) {
        case IDCANCEL:
        case IDC_HIDE_CMD:
            ExchangeOptions(kWriteOptions);
            ShowMainDialog(kHideMainDialog);
            return true;
        case IDC_HELP_CMD:
            ShowHelp();
            return true;
        case IDC_ABOUT:
            ShowProductInfo(dlg, 0);
            return true;
        case IDC_NEW:
            OnNewButton(dlg);
            return true;
        case IDC_CAPTURE_CMD:
            PostMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
            return true;
        case IDC_SHOW_CMD:
            ShowMainDialog(kShowCurrentTab);
            return true;
        case IDC_QUIT:
            OnQuitCommand(dlg);
            return true;
    }
    return false;
}

INT_PTR OnNotify(HWND dlg, const NMHDR* nm) {
    if (nm->idFrom != IDC_TABS)
        return FALSE;
    if (nm->code == TCN_SELCHANGING) {
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, StoreCurrentPage() ? 0 : 1);
        return TRUE;
    }
    if (nm->code == TCN_SELCHANGE) {
        ShowMainDialog((int)SendMessageA(Tabs(), TCM_GETCURSEL, 0, 0));
        return TRUE;
    }
    return FALSE;
}

void OnDropFiles(HDROP drop) {
    char path[kCchPath] = "";
    UINT needed = DragQueryFileA(drop, 0, nullptr, 0);
    bool fits = needed > 0 && needed < countof(path) && DragQueryFileA(drop, 0, path, countof(path)) == needed;
    DragFinish(drop);
    if (!fits)  // a cut path would name another file
        return;
    if (!ConfirmDiscard(gMainDialog))
        return;
    OpenImageFile(path);  // which refreshes the Actions page when it read the file
    ShowMainDialog(kTabActions);
}

// The dialog, its tab control and every page get fonts and sizes for the
// new DPI; the pages' place follows.
void OnDpiChanged(HWND dlg, UINT dpi, const RECT* suggested) {
    UINT old = gApp.DialogDpi(dlg);
    gApp.ApplyDialogFont(dlg, dpi, suggested);
    for (HWND page : gMain.pages)
        if (page)
            gApp.ApplyDialogFont(page, dpi);
    if (old && old != dpi) {
        RECT& r = gMain.pageRect;
        r = RECT{MulDiv(r.left, (int)dpi, (int)old), MulDiv(r.top, (int)dpi, (int)old),
                 MulDiv(r.right, (int)dpi, (int)old), MulDiv(r.bottom, (int)dpi, (int)old)};
    }
    LoadTabIcons();
    InvalidateRect(dlg, nullptr, TRUE);
}

}  // namespace

void InitPage(HWND page) {
    gApp.PrepareDialog(page);
    SetWindowPos(page, HWND_TOP, gMain.pageRect.left, gMain.pageRect.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetNewButtonLabel(const char* label) {
    if (gMainDialog)
        SetDlgItemTextA(gMainDialog, IDC_NEW, label);
}

UINT DialogDpi(HWND hwnd) {
    // The main dialog and everything in it follow the DPI it was last laid
    // out for.
    if (gMainDialog && (hwnd == gMainDialog || IsChild(gMainDialog, hwnd)))
        hwnd = gMainDialog;
    UINT dpi = gApp.DialogDpi(hwnd);
    return dpi ? dpi : 96;
}

HWND ActionsPage() {
    return gMainDialog ? gMain.pages[kTabActions] : nullptr;
}

HIMAGELIST TabImageList() {
    return gMain.images;
}

bool ShowMainDialog(int n) {
    if (!gMainDialog || n < kHideMainDialog || n >= kTabCount)
        return false;
    bool stored = StoreCurrentPage();
    SendMessageA(Tabs(), TCM_SETCURSEL, gMain.tab, 0);
    if (!stored)
        return false;
    if (n == kHideMainDialog) {
        ExchangeOptions(kWriteOptions);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
        while (gMainDialog && IsWindowVisible(gMainDialog)) {
            ShowWindow(gMainDialog, SW_HIDE);
            if (!gApp.Wait(50, kHideWaitTimer))
                break;
        }
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
        return true;
    }
    ShowWindow(gMainDialog, SW_SHOWNORMAL);
    SetForegroundWindow(gMainDialog);
    if (n == kShowCurrentTab)
        return true;
    SendMessageA(Tabs(), TCM_SETCURSEL, n, 0);
    SetFocus(Tabs());
    ShowWindow(CurrentPage(), SW_HIDE);
    SendMessageA(gMain.pages[n], kMsgPageLoad, 0, 0);
    ShowWindow(gMain.pages[n], SW_SHOW);
    gMain.tab = n;
    return true;
}

void OnHotKey(HWND dlg, int id) {
    if (id == kHotKeyShow) {
        ShowMainDialog(kShowCurrentTab);
        return;
    }
    if (id != kHotKeyCapture || CaptureBlocked(dlg))
        return;
    if (!ConfirmDiscard(dlg))
        return;
    if (IsWindowVisible(dlg)) {
        HideThenCapture(dlg);
        return;
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    StartCapture();
}

void OnMinuteTimer(HWND dlg) {
    // Paused, not reset, while the dialog, an overlay or a modal window is up.
    if (!gOpt.Timer || IsWindowVisible(dlg) || (gOverlay && IsWindowVisible(gOverlay)) || CaptureBlocked(dlg))
        return;
    if (++gMinuteCount >= gOpt.Minutes) {
        gMinuteCount = 0;
        SendMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
    }
}

INT_PTR CALLBACK MainDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitMainDialog(dlg);
            return FALSE;  // the focus was set
        case WM_COMMAND:
            return OnMainCommand(dlg, LOWORD(wp)) ? TRUE : FALSE;
        case WM_SYSCOMMAND:
            if (wp == IDC_QUIT || wp == IDC_HELP_CMD) {
                OnMainCommand(dlg, (int)wp);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY:
            return OnNotify(dlg, (const NMHDR*)lp);
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_HOTKEY:
            OnHotKey(dlg, (int)wp);
            return TRUE;
        case WM_TIMER:
            if (wp == kMinuteTimer)
                OnMinuteTimer(dlg);
            return TRUE;
        case WM_DROPFILES:
            OnDropFiles((HDROP)wp);
            return TRUE;
        case WM_DPICHANGED:
            OnDpiChanged(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
        case WM_CLOSE:
            if (IsWindowVisible(dlg))
                return FALSE;  // the close box hides (IDCANCEL)
            QuitFromDialog(dlg);
            return TRUE;
        case WM_QUIT:  // sent by the frame window when setup stops the program
            QuitFromDialog(dlg);
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_ENDSESSION:
            ExchangeOptions(kWriteOptions);
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_DESTROY:
            if (gOverlay)
                DestroyWindow(gOverlay);
            KillTimer(dlg, kMinuteTimer);
            return FALSE;
        case WM_NCDESTROY:
            // Nothing may reach the pages or the image list once they are gone.
            if (gMain.images)
                ImageList_Destroy(gMain.images);
            memset(&gMain, 0, sizeof gMain);
            SetActionHost(nullptr, nullptr);
            if (gMainDialog == dlg)
                gMainDialog = nullptr;
            return FALSE;
        case kMsgShowTab:
            ShowMainDialog((int)lp);
            return TRUE;
        case kMsgHotKeyFailed:
            ShowKeyFields(dlg);
            return TRUE;
        case WM_MEASUREITEM:  // the Send-To target menu
            return MeasureSendMenuItem(dlg, DialogDpi(dlg), (MEASUREITEMSTRUCT*)lp) ? TRUE : FALSE;
        case WM_DRAWITEM:
            return DrawSendMenuItem(DialogDpi(dlg), TabImageList(), (const DRAWITEMSTRUCT*)lp) ? TRUE : FALSE;
    }
    return FALSE;
}
