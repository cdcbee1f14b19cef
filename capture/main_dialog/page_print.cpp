// The Print page (109): the printer and its properties, size, position,
// clipping and orientation, and the margins and header dialogs.
#include <windows.h>
// The headers below need windows.h first.
#include <stdio.h>
#include <stdlib.h>
#include <winspool.h>

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/print/print.h"
#include "capture/print/print_dialogs.h"
#include "capture/print/print_layout.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/dialog_util.h"
#include "framework/message_box.h"

namespace {

const int kSizeRadios[3] = {IDC_SIZE_SCREEN, IDC_SIZE_FIT, IDC_SIZE_ZOOM};  // by gOpt.PrtSize
const int kMaxZoom = 1000;

// The row of the combo's selected item, or -1.
int ComboRow(HWND page) {
    HWND combo = GetDlgItem(page, IDC_PRINTER);
    LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return -1;
    return (int)SendMessageA(combo, CB_GETITEMDATA, (WPARAM)item, 0);
}

// Only a change of selection is the user's choice: focus and other
// notifications leave the stored printer alone.
void OnPrinterChosen(HWND page) {
    int row = ComboRow(page);
    if (row < 0)
        return;
    SelectPrinter(row);
    StrCopy(gOpt.PrtPrinterName, countof(gOpt.PrtPrinterName), PrinterName(row));
}

void OnProperties(HWND page) {
    int row = ComboRow(page);
    SelectPrinter(row);
    if (row < 0)
        return;
    DEVMODEA* settings = PrinterSettings(gMainDialog, row);
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ACCESS_USE};
    if (!settings || !OpenPrinterA((char*)PrinterName(row), &printer, &access) || !printer) {
        AppMessageBox(gMainDialog, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_NO_PRINTER_ACCESS, 0));
        return;
    }
    DocumentPropertiesA(page, printer, (char*)PrinterName(row), settings, settings,
                        DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER);
    ClosePrinter(printer);
}

// The zoom field: 0 or less becomes 1, above 1000 becomes 1000, and the
// field shows the value kept. An emptied field (the user is typing) keeps
// the option.
void OnZoomChanged(HWND page) {
    char text[11] = "";
    GetDlgItemTextA(page, IDC_ZOOM, text, (int)countof(text));
    char* end;
    long zoom = strtol(text, &end, 10);  // saturates: ten digits never overflow
    if (end == text)
        return;
    if (zoom <= 0) {
        gOpt.PrtZoom = 1;
        SetDlgItemTextA(page, IDC_ZOOM, "1");
    } else if (zoom > kMaxZoom) {
        gOpt.PrtZoom = kMaxZoom;
        SetDlgItemNumber(page, IDC_ZOOM, kMaxZoom);
    } else {
        gOpt.PrtZoom = (int)zoom;
    }
}

void OnSizeRadio(HWND page, int mode) {
    gOpt.PrtSize = mode;
    EnableWindow(GetDlgItem(page, IDC_ZOOM), mode == kPrintZoom);
}

void OnLoad(HWND page) {
    SetNewButtonLabel("&Print");
    CheckRadioButton(page, IDC_SIZE_SCREEN, IDC_SIZE_ZOOM,
                     kSizeRadios[gOpt.PrtSize >= 0 && gOpt.PrtSize <= 2 ? gOpt.PrtSize : 0]);
    SetDlgItemNumber(page, IDC_ZOOM, gOpt.PrtZoom);
    EnableWindow(GetDlgItem(page, IDC_ZOOM), gOpt.PrtSize == kPrintZoom);
    SetDlgItemCheck(page, IDC_NO_CLIP, gOpt.PrtNoClip ? BST_CHECKED : BST_UNCHECKED);
    int pos = gOpt.PrtPos >= 0 && gOpt.PrtPos <= 8 ? gOpt.PrtPos : 0;
    CheckRadioButton(page, IDC_POS_FIRST, IDC_POS_LAST, IDC_POS_FIRST + pos);
    int orient = gOpt.PrtOrientation == DMORIENT_PORTRAIT    ? IDC_PORTRAIT
                 : gOpt.PrtOrientation == DMORIENT_LANDSCAPE ? IDC_LANDSCAPE
                                                             : IDC_ORIENT_AUTO;
    CheckDlgButton(page, IDC_PORTRAIT, orient == IDC_PORTRAIT);
    CheckDlgButton(page, IDC_LANDSCAPE, orient == IDC_LANDSCAPE);
    CheckDlgButton(page, IDC_ORIENT_AUTO, orient == IDC_ORIENT_AUTO);
}

void OnStore(HWND page) {
    gOpt.PrtNoClip = GetDlgItemCheck(page, IDC_NO_CLIP) == BST_CHECKED;
    gOpt.PrtPos = 0;
    for (int id = IDC_POS_FIRST; id <= IDC_POS_LAST; id++)
        if (GetDlgItemCheck(page, id) == BST_CHECKED)
            gOpt.PrtPos = id - IDC_POS_FIRST;
}

bool Checked(HWND page, int id) {
    return GetDlgItemCheck(page, id) == BST_CHECKED;
}

// True when the command was the page's.
bool OnCommand(HWND page, int id, int code) {
    switch (id) {
        case IDC_PRINTER:
            if (code == CBN_SELCHANGE)
                OnPrinterChosen(page);
            return true;
        case IDC_PRINTER_PROPS:
            OnProperties(page);
            return true;
        case IDC_ZOOM:
            if (code == EN_CHANGE)
                OnZoomChanged(page);
            return true;
        case IDC_SIZE_SCREEN:
        case IDC_SIZE_FIT:
        case IDC_SIZE_ZOOM:
            if (Checked(page, id))
                OnSizeRadio(page, id == IDC_SIZE_SCREEN ? kPrintScreenSize
                                  : id == IDC_SIZE_FIT  ? kPrintFitPage
                                                        : kPrintZoom);
            return true;
        case IDC_PORTRAIT:
        case IDC_LANDSCAPE:
        case IDC_ORIENT_AUTO:
            if (Checked(page, id))
                gOpt.PrtOrientation = id == IDC_PORTRAIT    ? DMORIENT_PORTRAIT
                                      : id == IDC_LANDSCAPE ? DMORIENT_LANDSCAPE
                                                            : 0;
            return true;
        case IDC_MARGINS:
            gApp.RunModalDialog(page, IDD_MARGINS, MarginsDlgProc, 0);
            return true;
        case IDC_HEADER_FOOTER:
            gApp.RunModalDialog(page, IDD_HEADER_FOOTER, HeaderFooterDlgProc, 0);
            return true;
    }
    return false;
}

}  // namespace

INT_PTR CALLBACK PrintPageProc(HWND page, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            InitPage(page);
            StartPrinterList(page);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(page, LOWORD(wp), HIWORD(wp)) ? TRUE : FALSE;
        case kMsgPrintersListed:
            AdoptPrinterList(GetDlgItem(page, IDC_PRINTER));
            return TRUE;
        case kMsgPageLoad:
            OnLoad(page);
            return TRUE;
        case kMsgPageStore:
            OnStore(page);
            return TRUE;
    }
    return FALSE;
}
