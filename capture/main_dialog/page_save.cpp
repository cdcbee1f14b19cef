// The Save page (110): folder and base name of the sequential save, and
// the JPEG quality as a field and a trackbar that follow each other.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>

#include "base/str_util.h"
#include "capture/actions/actions.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/dialog_util.h"
#include "framework/shell_util.h"

namespace {

const int kDefaultQuality = 75;

void OnInit(HWND page) {
    InitPage(page);
    HWND slider = GetDlgItem(page, IDC_JPG_SLIDER);
    SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(1, 100));
    SendMessageA(slider, TBM_SETTICFREQ, 10, 0);
    SendDlgItemMessageA(page, IDC_SEQ_PATH, EM_LIMITTEXT, kCchPath - 1, 0);
    SendDlgItemMessageA(page, IDC_JPG_QUALITY, EM_LIMITTEXT, 3, 0);
}

void OnBrowse(HWND page) {
    char folder[kCchPath];
    StrCopy(folder, countof(folder), gOpt.EdtSavePath);
    // The Save As dialog's filters, opened on "Optimized" as that dialog is by default.
    const char* chosen = FileDialog(true, kSaveFilter, kFilterOptimal - 1, nullptr, folder, nullptr);
    if (!chosen)
        return;
    StrCopy(gOpt.EdtSavePath, countof(gOpt.EdtSavePath), chosen);
    SetDlgItemTextA(page, IDC_SEQ_PATH, gOpt.EdtSavePath);
}

// The field changed (typed, or set by the trackbar): the quality and the
// trackbar follow it; text that is not a number counts as the default.
// An emptied field changes nothing yet (the user is typing a new value).
void OnQualityChanged(HWND page) {
    int quality;
    int status = GetDlgItemNumber(page, IDC_JPG_QUALITY, 1, 100, true, &quality);
    if (status == kStatusFieldEmpty)
        return;
    if (status == kStatusNotNumber)
        quality = kDefaultQuality;
    gOpt.JPGQuality = quality;
    SendDlgItemMessageA(page, IDC_JPG_SLIDER, TBM_SETPOS, TRUE, quality);
}

void OnSlider(HWND page) {
    gOpt.JPGQuality = (int)SendDlgItemMessageA(page, IDC_JPG_SLIDER, TBM_GETPOS, 0, 0);
    SetDlgItemNumber(page, IDC_JPG_QUALITY, gOpt.JPGQuality);
}

PageInput Store(HWND page) {
    GetDlgItemTextA(page, IDC_SEQ_PATH, gOpt.EdtSavePath, countof(gOpt.EdtSavePath));
    int quality;
    int status = GetDlgItemNumber(page, IDC_JPG_QUALITY, 1, 100, true, &quality);
    if (status != 0)
        return PageInput{status, IDC_JPG_QUALITY};  // the stored quality stays what it was
    gOpt.JPGQuality = quality;
    return kPageStored;
}

void Load(HWND page) {
    SetNewButtonLabel("&Save");
    SetDlgItemTextA(page, IDC_SEQ_PATH, gOpt.EdtSavePath);
    SendDlgItemMessageA(page, IDC_JPG_SLIDER, TBM_SETPOS, TRUE, gOpt.JPGQuality);
    SetDlgItemNumber(page, IDC_JPG_QUALITY, gOpt.JPGQuality);
}

}  // namespace

INT_PTR CALLBACK SavePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDC_SEQ_BROWSE)
                OnBrowse(page);
            else if (LOWORD(wp) == IDC_JPG_QUALITY && HIWORD(wp) == EN_CHANGE)
                OnQualityChanged(page);
            return TRUE;
        case WM_HSCROLL:
            if ((HWND)lp == GetDlgItem(page, IDC_JPG_SLIDER))
                OnSlider(page);
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
