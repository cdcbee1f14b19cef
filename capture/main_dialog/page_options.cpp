// The Options page (108): start-up, hiding, tray icon and sound, the two
// hot-key fields, the units and the monitor size used for printing.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include "capture/grab/hotkeys.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/dialog_util.h"

namespace {

const double kCmPerInch = 2.54;

const char* UnitText() {
    return gOpt.Units == 1 ? "inch" : "cm";
}

// A length of the options (centimetres) shown in the units of gOpt.Units.
void SetDlgItemLength(HWND page, int id, float cm) {
    SetDlgItemDouble(page, id, gOpt.Units == 1 ? cm / kCmPerInch : cm);
}

// Width and height of the selected row, the unit labels, and which fields
// may be edited: the size only for "Custom", the dpi only for "Ignore".
void ShowMonitorRow(HWND page) {
    int row = gOpt.Monitor;
    if (row < 0 || row >= kMonitorRows)
        row = kMonitorIgnore;
    MonitorSize size = MonitorSizeOfRow(row);
    SetDlgItemTextA(page, IDC_MON_WIDTH_UNIT, UnitText());
    SetDlgItemTextA(page, IDC_MON_HEIGHT_UNIT, UnitText());
    SetDlgItemLength(page, IDC_MON_WIDTH, size.width);
    SetDlgItemLength(page, IDC_MON_HEIGHT, size.height);
    EnableDlgItems(row == kMonitorCustom, page, IDC_MON_WIDTH_LABEL, IDC_MON_WIDTH, IDC_MON_HEIGHT_LABEL,
                   IDC_MON_HEIGHT, IDC_MON_WIDTH_UNIT, IDC_MON_HEIGHT_UNIT, 0);
    EnableDlgItems(row == kMonitorIgnore, page, IDC_MON_DPI, IDC_MON_DPI_LABEL, 0);
}

void OnInit(HWND page) {
    InitPage(page);
    HWND combo = GetDlgItem(page, IDC_MONITOR);
    for (int i = 0; i < kMonitorRows; i++)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)MonitorSizeOfRow(i).name);
    AttachHotKeyFields(gMainDialog, GetDlgItem(page, IDC_HOTKEY_CAPTURE), GetDlgItem(page, IDC_HOTKEY_SHOW));
}

void OnCommand(HWND page, int id, int code) {
    switch (id) {
        case IDC_TRAY_ICON:
            gOpt.TrayIcon = GetDlgItemCheck(page, IDC_TRAY_ICON) == BST_CHECKED;
            gApp.SetTrayIcon(0, gOpt.TrayIcon ? IDI_PROGRAM : -1, nullptr);
            break;
        case IDC_MONITOR:
            if (code == CBN_SELCHANGE) {
                int row = (int)SendDlgItemMessageA(page, IDC_MONITOR, CB_GETCURSEL, 0, 0);
                if (row >= 0 && row < kMonitorRows) {
                    gOpt.Monitor = row;
                    ShowMonitorRow(page);
                }
            }
            break;
        case IDC_UNITS_CM:
        case IDC_UNITS_INCH:
            if (GetDlgItemCheck(page, id) == BST_CHECKED) {
                gOpt.Units = id == IDC_UNITS_INCH ? 1 : 0;
                ShowMonitorRow(page);
            }
            break;
    }
}

// One side of the "Custom" size into *cm; the status, kStatusNotNumber when
// it is not above 0, since a monitor without size cannot scale a print.
int ReadCustomSide(HWND page, int id, float* cm) {
    double value;
    int status = GetDlgItemDouble(page, id, 0, 1000, false, &value);
    if (status == 0 && value <= 0)
        status = kStatusNotNumber;
    if (status == 0)
        *cm = (float)(gOpt.Units == 1 ? value * kCmPerInch : value);
    return status;
}

PageInput Store(HWND page) {
    gOpt.AutoStart = GetDlgItemCheck(page, IDC_AUTO_START) == BST_CHECKED;
    gOpt.AutoHide = GetDlgItemCheck(page, IDC_HIDE_ON_ACTION) == BST_CHECKED;
    gOpt.PlaySound = GetDlgItemCheck(page, IDC_PLAY_SOUND) == BST_CHECKED;
    if (gOpt.Monitor == kMonitorCustom) {
        float width, height;
        int status = ReadCustomSide(page, IDC_MON_WIDTH, &width);
        if (status != 0)
            return PageInput{status, IDC_MON_WIDTH};
        status = ReadCustomSide(page, IDC_MON_HEIGHT, &height);
        if (status != 0)
            return PageInput{status, IDC_MON_HEIGHT};
        gOpt.MonWidth = width;
        gOpt.MonHeight = height;
    }
    int dpi;
    int status = GetDlgItemNumber(page, IDC_MON_DPI, 1, 10000, false, &dpi);
    if (status != 0)
        return PageInput{status, IDC_MON_DPI};
    gOpt.MonDPI = dpi;
    StoreHotKeys();
    if (!RegisterHotKeys(gMainDialog, 1))
        return PageInput{kStatusNotNumber, 0};
    return kPageStored;
}

void Load(HWND page) {
    SetNewButtonLabel("&New");
    RegisterHotKeys(gMainDialog, 0);
    SetDlgItemCheck(page, IDC_AUTO_START, gOpt.AutoStart ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemCheck(page, IDC_HIDE_ON_ACTION, gOpt.AutoHide ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemCheck(page, IDC_TRAY_ICON, gOpt.TrayIcon ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemCheck(page, IDC_PLAY_SOUND, gOpt.PlaySound ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(page, IDC_UNITS_CM, IDC_UNITS_INCH, gOpt.Units == 1 ? IDC_UNITS_INCH : IDC_UNITS_CM);
    SendDlgItemMessageA(page, IDC_MONITOR, CB_SETCURSEL, gOpt.Monitor, 0);
    ShowMonitorRow(page);
    SetDlgItemNumber(page, IDC_MON_DPI, gOpt.MonDPI);
}

}  // namespace

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            OnCommand(page, LOWORD(wp), HIWORD(wp));
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
