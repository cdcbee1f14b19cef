// The Capture page (107): selection mode, mouse cursor, default action,
// timed capture, colour mode and the delay before a capture.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/dialog_util.h"

namespace {

struct IdValue {
    int id;
    int value;
};
// Selection-mode radios and gOpt.CapMode.
const IdValue kModes[] = {{IDC_MODE_RECT, kCapRectangle},
                          {IDC_MODE_WINDOW, kCapWindow},
                          {IDC_MODE_SCREEN, kCapScreen},
                          {IDC_MODE_ACTIVE, kCapActiveWindow}};
// Action radios and the low byte of gOpt.DefAct.
const IdValue kActions[] = {{IDC_ACT_SAVE_AS, kActSaveAs}, {IDC_ACT_COPY, kActCopy}, {IDC_ACT_PRINT, kActPrint},
                            {IDC_ACT_SEND, kActSendTo},    {IDC_ACT_SAVE, kActSave}, {IDC_ACT_ADJUST, kActEdit}};

void EnableActions(HWND page, bool on) {
    for (const IdValue& a : kActions)
        EnableWindow(GetDlgItem(page, a.id), on);
}

void EnableDelay(HWND page, bool on) {
    EnableDlgItems(on, page, IDC_DELAY_TIME, IDC_DELAY_UNIT, 0);
}

void EnableTimer(HWND page, bool on) {
    EnableDlgItems(on, page, IDC_EVERY_LABEL, IDC_MINUTES, IDC_MINUTES_SPIN, IDC_MINUTES_LABEL, 0);
}

bool Checked(HWND page, int id) {
    return GetDlgItemCheck(page, id) == BST_CHECKED;
}

void OnInit(HWND page) {
    InitPage(page);
    for (int mode = kColorBlackWhite; mode <= kColorOriginal; mode++)
        SendDlgItemMessageA(page, IDC_COLOR_MODE, CB_ADDSTRING, 0, (LPARAM)ColorModeText(mode));
    SendDlgItemMessageA(page, IDC_MINUTES_SPIN, UDM_SETRANGE32, 1, 32767);
}

void OnCommand(HWND page, int id) {
    for (const IdValue& m : kModes)
        if (id == m.id && Checked(page, id))
            gOpt.CapMode = m.value;
    switch (id) {
        case IDC_DEFAULT_ACTION: {
            bool on = Checked(page, id);
            gOpt.DefAct = on ? (gOpt.DefAct | kDefaultActionOn) : (gOpt.DefAct & ~kDefaultActionOn);
            EnableActions(page, on);
            break;
        }
        case IDC_DELAY:
            gOpt.Delay = Checked(page, id);
            EnableDelay(page, gOpt.Delay != 0);
            break;
        case IDC_TIMER:
            gOpt.Timer = Checked(page, id);
            EnableTimer(page, gOpt.Timer != 0);
            break;
    }
}

PageInput Store(HWND page) {
    int colorMode = (int)SendDlgItemMessageA(page, IDC_COLOR_MODE, CB_GETCURSEL, 0, 0);
    if (colorMode >= 0)
        gOpt.DefColMode = colorMode;
    int action = 0;
    for (const IdValue& a : kActions)
        if (Checked(page, a.id))
            action = a.value;
    gOpt.DefAct = action | (Checked(page, IDC_DEFAULT_ACTION) ? kDefaultActionOn : 0);
    gOpt.MouseCursor = Checked(page, IDC_MOUSE_CURSOR);
    gOpt.Timer = Checked(page, IDC_TIMER);
    int minutes;
    int status = GetDlgItemNumber(page, IDC_MINUTES, 1, 100000, true, &minutes);
    if (status == kStatusNotNumber)
        return PageInput{status, IDC_MINUTES};
    gOpt.Minutes = minutes;  // 1 when empty
    gOpt.Delay = Checked(page, IDC_DELAY);
    status = GetDlgItemNumber(page, IDC_DELAY_TIME, 0, 10000, true, &gOpt.DelayTime);
    if (status == kStatusNotNumber)
        gOpt.DelayTime = 0;
    else if (status != 0)
        return PageInput{status, IDC_DELAY_TIME};  // empty: 0 is stored, the page keeps the user
    return kPageStored;
}

void Load(HWND page) {
    SetNewButtonLabel("&New");
    for (const IdValue& m : kModes)
        SetDlgItemCheck(page, m.id, gOpt.CapMode == m.value ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemCheck(page, IDC_MOUSE_CURSOR, gOpt.MouseCursor ? BST_CHECKED : BST_UNCHECKED);
    bool actionOn = (gOpt.DefAct & kDefaultActionOn) != 0;
    SetDlgItemCheck(page, IDC_DEFAULT_ACTION, actionOn ? BST_CHECKED : BST_UNCHECKED);
    for (const IdValue& a : kActions)
        SetDlgItemCheck(page, a.id, (gOpt.DefAct & kDefaultActionMask) == a.value ? BST_CHECKED : BST_UNCHECKED);
    EnableActions(page, actionOn);
    SetDlgItemCheck(page, IDC_TIMER, gOpt.Timer ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageA(page, IDC_MINUTES_SPIN, UDM_SETPOS32, 0, gOpt.Minutes);
    SetDlgItemNumber(page, IDC_MINUTES, gOpt.Minutes);
    EnableTimer(page, gOpt.Timer != 0);
    SendDlgItemMessageA(page, IDC_COLOR_MODE, CB_SETCURSEL, gOpt.DefColMode, 0);
    SetDlgItemCheck(page, IDC_DELAY, gOpt.Delay ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemNumber(page, IDC_DELAY_TIME, gOpt.DelayTime);
    EnableDelay(page, gOpt.Delay != 0);
}

}  // namespace

INT_PTR CALLBACK CapturePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wp));
            return TRUE;
        case kMsgPageStore:
            *(PageInput*)lp = Store(page);
            return TRUE;
        case kMsgPageLoad:
            Load(page);
            return TRUE;
    }
    return FALSE;
}
