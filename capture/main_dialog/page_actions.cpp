// The Actions page (106): the action buttons with their icons, the preview
// of the current image and its size and colour mode.
#include "capture/main_dialog/page_actions.h"

#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <string.h>

#include "capture/actions/action_dispatch.h"
#include "capture/actions/drag_out.h"
#include "capture/actions/send_to.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/dialog_util.h"

namespace {

const char kPreviewProcProp[] = "VpPreviewProc";
const char kButtonProcProp[] = "VpButtonProc";

// Icons of the buttons: indices of the tab image list.
const int kIconSaveAs = 3, kIconPrint = 4, kIconAsk = 5, kIconSaveSeq = 6, kIconCopy = 7, kIconEditor = 8,
          kIconWord = 9;

WNDPROC OriginalProc(HWND hwnd, const char* prop) {
    return (WNDPROC)GetPropA(hwnd, prop);
}

void Subclass(HWND hwnd, WNDPROC proc, const char* prop) {
    if (!hwnd)
        return;
    SetPropA(hwnd, prop, (HANDLE)SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)proc));
}

// Puts the original procedure back before the window is gone.
LRESULT Unsubclass(HWND hwnd, const char* prop, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC original = OriginalProc(hwnd, prop);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)original);
    RemovePropA(hwnd, prop);
    return CallWindowProcA(original, hwnd, msg, wp, lp);
}

void PaintPreview(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (gImage.IsValid()) {
        RECT pic = FitPreview(gImage.Width(), gImage.Height(), rc.right, rc.bottom);
        int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, pic.left, pic.top, pic.right - pic.left, pic.bottom - pic.top, 0, 0, gImage.Width(),
                      gImage.Height(), gImage.GetPixels(), (const BITMAPINFO*)gImage.GetDibBlock(), DIB_RGB_COLORS,
                      SRCCOPY);
        SetStretchBltMode(dc, oldMode);
    } else {
        HGDIOBJ oldFont = SelectObject(dc, gApp.UiFont(DialogDpi(hwnd), false));
        int oldBk = SetBkMode(dc, TRANSPARENT);
        COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, "No image", -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SetTextColor(dc, oldColor);
        SetBkMode(dc, oldBk);
        SelectObject(dc, oldFont);
    }
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK PreviewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            PaintPreview(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills it all
        case WM_LBUTTONDBLCLK:
            SendMessageA(GetParent(hwnd), WM_COMMAND, IDC_EDIT, 0);
            return 0;
        case WM_NCDESTROY:
            return Unsubclass(hwnd, kPreviewProcProp, msg, wp, lp);
    }
    return CallWindowProcA(OriginalProc(hwnd, kPreviewProcProp), hwnd, msg, wp, lp);
}

// The button's icon in the tab image list, or -1 for none.
int ButtonIcon(int id) {
    switch (id) {
        case IDC_COPY:
            return kIconCopy;
        case IDC_PRINT:
            return kIconPrint;
        case IDC_SAVE:
            return kIconSaveSeq;
        case IDC_SAVE_AS:
            return kIconSaveAs;
        case IDC_SEND_TO:
            if (!gOpt.SndTarget[0] || strcmp(gOpt.SndTarget, "<Ask for destination>") == 0)
                return kIconAsk;
            if (strcmp(gOpt.SndTarget, "Image Editor") == 0)
                return kIconEditor;
            if (strcmp(gOpt.SndTarget, "MS Word") == 0)
                return kIconWord;
            return -1;  // a shell target: its icon is in the system list
    }
    return -1;
}

void DrawButtonIcon(HWND button) {
    HIMAGELIST list = TabImageList();
    int icon = ButtonIcon(GetDlgCtrlID(button));
    const SendToTarget* target = GetDlgCtrlID(button) == IDC_SEND_TO ? FindSendTarget(gOpt.SndTarget) : nullptr;
    if (icon < 0 && target && target->kind == kSendShellItem) {  // a shell target's own icon
        list = gSendToIcons;
        icon = target->icon;
    }
    if (!list || icon < 0)
        return;
    UINT dpi = DialogDpi(button);
    int size = (int)dpi / 6;
    RECT rc;
    GetClientRect(button, &rc);
    int pushed = (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) ? 1 : 0;
    int x = rc.left + (int)dpi * 5 / 96 + pushed;
    int y = rc.top + (rc.bottom - rc.top - size) / 2 + pushed;
    HDC dc = GetDC(button);
    ImageList_DrawEx(list, icon, dc, x, y, size, size, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    ReleaseDC(button, dc);
}

// Save and Save As drag the image out when the pressed button is left.
bool LeftTheDragButton(HWND button, WPARAM keys, LPARAM lp) {
    int id = GetDlgCtrlID(button);
    if ((id != IDC_SAVE && id != IDC_SAVE_AS) || !(keys & MK_LBUTTON) || GetCapture() != button)
        return false;
    POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
    RECT rc;
    GetClientRect(button, &rc);
    return !PtInRect(&rc, pt);
}

LRESULT CALLBACK ActionButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC original = OriginalProc(hwnd, kButtonProcProp);
    switch (msg) {
        case WM_PAINT:
        case BM_SETSTATE:
        case WM_UPDATEUISTATE: {
            LRESULT r = CallWindowProcA(original, hwnd, msg, wp, lp);
            DrawButtonIcon(hwnd);
            return r;
        }
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            break;
        case WM_LBUTTONUP: {
            // Releasing first ends the button's own pressed state, so that
            // it does not send a click of its own: one command per click.
            ReleaseCapture();
            POINT pt = {(short)LOWORD(lp), (short)HIWORD(lp)};
            RECT rc;
            GetClientRect(hwnd, &rc);
            if (PtInRect(&rc, pt))
                SendMessageA(GetParent(hwnd), WM_COMMAND, GetDlgCtrlID(hwnd), (LPARAM)hwnd);
            break;
        }
        case WM_MOUSEMOVE:
            if (LeftTheDragButton(hwnd, wp, lp)) {
                ReleaseCapture();
                DragImageOut(gMainDialog);
            }
            break;
        case WM_NCDESTROY:
            return Unsubclass(hwnd, kButtonProcProp, msg, wp, lp);
    }
    return CallWindowProcA(original, hwnd, msg, wp, lp);
}

void ShowImageTexts(HWND page) {
    if (gImage.IsValid()) {
        SetDlgItemTextF(page, IDC_DIMENSIONS, "%d x %d", gImage.Width(), gImage.Height());
        SetDlgItemTextA(page, IDC_COLOR_MODE_TEXT, ColorModeText(gColorMode));
    } else {
        SetDlgItemTextA(page, IDC_DIMENSIONS, "-");
        SetDlgItemTextA(page, IDC_COLOR_MODE_TEXT, "-");
    }
    InvalidateRect(GetDlgItem(page, IDC_PREVIEW), nullptr, FALSE);
}

void OnInit(HWND page) {
    InitPage(page);
    Subclass(GetDlgItem(page, IDC_PREVIEW), PreviewProc, kPreviewProcProp);
    static const int kIconButtons[] = {IDC_SAVE_AS, IDC_SAVE, IDC_COPY, IDC_SEND_TO, IDC_PRINT};
    for (int id : kIconButtons)
        Subclass(GetDlgItem(page, id), ActionButtonProc, kButtonProcProp);
    ShowImageTexts(page);
    AddImageListener(RefreshImageViews);
}

}  // namespace

RECT FitPreview(int w, int h, int areaW, int areaH) {
    RECT r = {0, 0, 0, 0};
    if (w <= 0 || h <= 0 || areaW <= 0 || areaH <= 0)
        return r;
    // In floating point: an area taller than wide has an aspect below 1.
    double imageAspect = (double)w / h;
    double areaAspect = (double)areaW / areaH;
    double pw, ph;
    if (w / areaAspect > h) {
        pw = areaW;
        ph = areaW / imageAspect;
    } else {
        pw = imageAspect * areaH;
        ph = areaH;
    }
    r.left = (int)((areaW - pw) / 2);
    r.top = (int)((areaH - ph) / 2);
    r.right = r.left + (int)pw;
    r.bottom = r.top + (int)ph;
    return r;
}

void RefreshImageViews() {
    HWND page = ActionsPage();
    if (page)
        ShowImageTexts(page);
}

INT_PTR CALLBACK ActionsPageProc(HWND page, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(page);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wp)) {
                case IDC_SAVE_AS:
                case IDC_SAVE:
                case IDC_COPY:
                case IDC_SEND_TO:
                case IDC_PRINT:
                case IDC_EDIT:
                case IDC_AUTOCROP:
                    OnActionButton(LOWORD(wp));
                    return TRUE;
            }
            return FALSE;
        case kMsgPageLoad:
            SetNewButtonLabel("&New");
            ShowImageTexts(page);
            return TRUE;
        case kMsgPageStore:
            return TRUE;
        case WM_DESTROY:
            RemoveImageListener(RefreshImageViews);
            return FALSE;
    }
    return FALSE;
}
