// The Print page (109) and the Send page (111): their controls live in the
// resources; what they do comes with the printing and Send-To units. Here
// they take their place among the tabs and label the main button.
#include <windows.h>

#include "main_dialog.h"
#include "main_dialog_pages.h"

INT_PTR CALLBACK PrintPageProc(HWND page, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            InitPage(page);
            return TRUE;
        case kMsgPageLoad:
            SetNewButtonLabel("&Print");
            return TRUE;
        case kMsgPageStore:
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK SendPageProc(HWND page, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            InitPage(page);
            return TRUE;
        case kMsgPageLoad:
            SetNewButtonLabel("Send &To");
            return TRUE;
        case kMsgPageStore:
            return TRUE;
    }
    return FALSE;
}
