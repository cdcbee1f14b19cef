// The page margins dialog and the header and footer dialog of the Print
// page.
#include "capture/print/print_dialogs.h"

#include <commdlg.h>
#include <limits.h>
#include <string.h>

#include "base/str_util.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/dialog_util.h"

namespace {

const double kCmPerInch = 2.54;
// Margin fields in the order they are read: top, left, bottom, right.
const int kMarginFields[4] = {IDC_MARGIN_TOP, IDC_MARGIN_LEFT, IDC_MARGIN_BOTTOM, IDC_MARGIN_RIGHT};
const int kUnitLabels[4] = {IDC_MARGIN_TOP_UNIT, IDC_MARGIN_LEFT_UNIT, IDC_MARGIN_RIGHT_UNIT, IDC_MARGIN_BOTTOM_UNIT};
const int kHeadFields[3] = {IDC_HEAD_LEFT, IDC_HEAD_CENTER, IDC_HEAD_RIGHT};
const int kFootFields[3] = {IDC_FOOT_LEFT, IDC_FOOT_CENTER, IDC_FOOT_RIGHT};

float* MarginOption(int field) {
    switch (field) {
        case IDC_MARGIN_TOP:
            return &gOpt.PrtMrgTop;
        case IDC_MARGIN_LEFT:
            return &gOpt.PrtMrgLft;
        case IDC_MARGIN_BOTTOM:
            return &gOpt.PrtMrgBtm;
    }
    return &gOpt.PrtMrgRgt;
}

double UnitFactor() {
    return gOpt.Units == 1 ? kCmPerInch : 1.0;
}

void OnMarginsInit(HWND dlg) {
    gApp.PrepareDialog(dlg);
    for (int id : kUnitLabels)
        SetDlgItemTextA(dlg, id, gOpt.Units == 1 ? "inch" : "cm");
    for (int id : kMarginFields)
        SetDlgItemDouble(dlg, id, *MarginOption(id) / UnitFactor());
}

// True when all four fields held a number; then the margins are stored.
bool OnMarginsOk(HWND dlg) {
    double values[4];
    for (int i = 0; i < 4; i++) {
        if (GetDlgItemDouble(dlg, kMarginFields[i], 0, 1000, false, &values[i]) != 0) {
            FocusDlgItemSelectAll(dlg, kMarginFields[i]);
            return false;
        }
    }
    for (int i = 0; i < 4; i++)
        *MarginOption(kMarginFields[i]) = (float)(values[i] * UnitFactor());
    return true;
}

// The font choice lives as long as the program: its colour is taken from
// the options only when the dialog first opens.
CHOOSEFONTA gFontChoice;

void EnableGroup(HWND dlg, const int ids[3], bool on) {
    for (int i = 0; i < 3; i++)
        EnableWindow(GetDlgItem(dlg, ids[i]), on);
}

void SetGroupTexts(HWND dlg, const int ids[3], const char* a, const char* b, const char* c) {
    SetDlgItemTextA(dlg, ids[0], a);
    SetDlgItemTextA(dlg, ids[1], b);
    SetDlgItemTextA(dlg, ids[2], c);
}

void OnHeaderFooterInit(HWND dlg) {
    gApp.PrepareDialog(dlg);
    SetDlgItemCheck(dlg, IDC_HEADER_ON, gOpt.Header ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemCheck(dlg, IDC_FOOTER_ON, gOpt.Footer ? BST_CHECKED : BST_UNCHECKED);
    SetGroupTexts(dlg, kHeadFields, gOpt.LHead, gOpt.CHead, gOpt.RHead);
    SetGroupTexts(dlg, kFootFields, gOpt.LFoot, gOpt.CFoot, gOpt.RFoot);
    for (int id : kHeadFields)
        SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, countof(gOpt.LHead) - 1, 0);
    for (int id : kFootFields)
        SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, countof(gOpt.LFoot) - 1, 0);
    SendDlgItemMessageA(dlg, IDC_INIT_N, EM_LIMITTEXT, countof(gOpt.InitN) - 1, 0);
    SetDlgItemNumber(dlg, IDC_NEXT_N, gOpt.NextN);
    SetDlgItemTextA(dlg, IDC_INIT_N, gOpt.InitN);
    EnableGroup(dlg, kHeadFields, gOpt.Header != 0);
    EnableGroup(dlg, kFootFields, gOpt.Footer != 0);
}

void OnChooseFont(HWND dlg) {
    if (gFontChoice.lStructSize == 0) {
        gFontChoice.lStructSize = sizeof gFontChoice;
        gFontChoice.lpLogFont = &gOpt.HeadFont;
        gFontChoice.iPointSize = 120;
        gFontChoice.Flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST;
        gFontChoice.rgbColors = gOpt.HeadFontColor;
    }
    gFontChoice.hwndOwner = dlg;
    if (ChooseFontA(&gFontChoice))
        gOpt.HeadFontColor = gFontChoice.rgbColors;
}

void ReadGroup(HWND dlg, const int ids[3], char* a, char* b, char* c, size_t cch) {
    GetDlgItemTextA(dlg, ids[0], a, (int)cch);
    GetDlgItemTextA(dlg, ids[1], b, (int)cch);
    GetDlgItemTextA(dlg, ids[2], c, (int)cch);
}

// True when the next number is a number; then everything is stored.
bool OnHeaderFooterOk(HWND dlg) {
    int next = 0;
    if (GetDlgItemNumber(dlg, IDC_NEXT_N, INT_MIN, INT_MAX, true, &next) != 0) {
        FocusDlgItemSelectAll(dlg, IDC_NEXT_N);
        return false;
    }
    gOpt.NextN = next;
    gOpt.Header = GetDlgItemCheck(dlg, IDC_HEADER_ON) == BST_CHECKED;
    gOpt.Footer = GetDlgItemCheck(dlg, IDC_FOOTER_ON) == BST_CHECKED;
    ReadGroup(dlg, kHeadFields, gOpt.LHead, gOpt.CHead, gOpt.RHead, countof(gOpt.LHead));
    ReadGroup(dlg, kFootFields, gOpt.LFoot, gOpt.CFoot, gOpt.RFoot, countof(gOpt.LFoot));
    GetDlgItemTextA(dlg, IDC_INIT_N, gOpt.InitN, (int)countof(gOpt.InitN));
    return true;
}

}  // namespace

INT_PTR CALLBACK MarginsDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnMarginsInit(dlg);
            return TRUE;
        case WM_DPICHANGED:
            gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK && OnMarginsOk(dlg))
                EndDialog(dlg, IDOK);
            else if (LOWORD(wp) == IDCANCEL)
                EndDialog(dlg, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK HeaderFooterDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnHeaderFooterInit(dlg);
            return TRUE;
        case WM_DPICHANGED:
            gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDC_HEADER_ON:
                    EnableGroup(dlg, kHeadFields, GetDlgItemCheck(dlg, IDC_HEADER_ON) == BST_CHECKED);
                    return TRUE;
                case IDC_FOOTER_ON:
                    EnableGroup(dlg, kFootFields, GetDlgItemCheck(dlg, IDC_FOOTER_ON) == BST_CHECKED);
                    return TRUE;
                case IDC_HEAD_FONT:
                    OnChooseFont(dlg);
                    return TRUE;
                case IDC_HELP_CMD:
                    gApp.ShowManual("Vellumor Pro.chm", "The_Print_Tab.htm");
                    return TRUE;
                case IDOK:
                    if (OnHeaderFooterOk(dlg))
                        EndDialog(dlg, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dlg, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}
