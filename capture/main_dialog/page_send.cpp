// The Send page (111): the target (or the menu that asks each time), the
// file name of the image sent and the image editor program.
#include <windows.h>
// The headers below need windows.h first.
#include <string.h>

#include "base/path_util.h"
#include "base/str_util.h"
#include "capture/actions/send_to.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/shell_util.h"

namespace {

const char kDefaultSendName[] = "Vellumor.png";

void OnInit(HWND page) {
    InitPage(page);
    HWND combo = GetDlgItem(page, IDC_SEND_TARGET);
    SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)kAskForDestination);
    for (int i = 0; i < gSendToCount; i++)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)gSendTo[i].name);
    if (!gOpt.SndTarget[0])
        StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), kAskForDestination);
    if (!gOpt.SndFilename[0])
        StrCopy(gOpt.SndFilename, countof(gOpt.SndFilename), kDefaultSendName);
    SendDlgItemMessageA(page, IDC_SEND_FILENAME, EM_LIMITTEXT, countof(gOpt.SndFilename) - 1, 0);
    SendDlgItemMessageA(page, IDC_EDITOR_PATH, EM_LIMITTEXT, countof(gOpt.EdtProgPath) - 1, 0);
}

void OnBrowse(HWND page) {
    char folder[kCchPath] = "";
    const char* start = gOpt.EdtProgPath;
    const char* name = FileNamePart(start);
    size_t n = (size_t)(name - start);
    if (n > 0 && n < countof(folder)) {
        memcpy(folder, start, n);
        folder[n] = 0;
    }
    const char* chosen = FileDialog(false, "Executable Files (.EXE)\0*.exe\0", 0, nullptr, folder, name);
    if (!chosen)
        return;
    StrCopy(gOpt.EdtProgPath, countof(gOpt.EdtProgPath), chosen);
    SetDlgItemTextA(page, IDC_EDITOR_PATH, gOpt.EdtProgPath);
}

void OnLoad(HWND page) {
    SetNewButtonLabel("Send &To");
    HWND combo = GetDlgItem(page, IDC_SEND_TARGET);
    LRESULT item = SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)gOpt.SndTarget);
    SendMessageA(combo, CB_SETCURSEL, item == CB_ERR ? (WPARAM)-1 : (WPARAM)item, 0);
    SetDlgItemTextA(page, IDC_SEND_FILENAME, gOpt.SndFilename);
    SetDlgItemTextA(page, IDC_EDITOR_PATH, gOpt.EdtProgPath);
}

void OnStore(HWND page) {
    HWND combo = GetDlgItem(page, IDC_SEND_TARGET);
    LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (item != CB_ERR && SendMessageA(combo, CB_GETLBTEXTLEN, (WPARAM)item, 0) < (LRESULT)countof(gOpt.SndTarget))
        SendMessageA(combo, CB_GETLBTEXT, (WPARAM)item, (LPARAM)gOpt.SndTarget);
    GetDlgItemTextA(page, IDC_SEND_FILENAME, gOpt.SndFilename, (int)countof(gOpt.SndFilename));
    GetDlgItemTextA(page, IDC_EDITOR_PATH, gOpt.EdtProgPath, (int)countof(gOpt.EdtProgPath));
}

}  // namespace

INT_PTR CALLBACK SendPageProc(HWND page, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDC_EDITOR_BROWSE) {
                OnBrowse(page);
                return TRUE;
            }
            return FALSE;
        case kMsgPageLoad:
            OnLoad(page);
            return TRUE;
        case kMsgPageStore:
            OnStore(page);
            return TRUE;
    }
    return FALSE;
}
