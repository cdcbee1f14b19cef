// The editor's colour swatches (foreground and background, with a screen
// colour picker) and the modeless "Enter Text" dialog of the text tool.
#include <windows.h>
// The headers below need windows.h first.
#include <commdlg.h>
#include <string.h>

#include "capture/editor/editor_state.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/item_resources.h"

namespace {

const char kSwatchColorProp[] = "VpSwatchColor";
const char kSwatchProcProp[] = "VpSwatchProc";
const int kCchEditorText = 2048;

char gText[kCchEditorText + 1];  // kept for the program's run
RECT gTextRect;                  // the dialog's place in this run, empty at first
HFONT gTextFont;
bool gFontColorSet;

COLORREF* SwatchColor(HWND hwnd) {
    return (COLORREF*)GetPropA(hwnd, kSwatchColorProp);
}

void PaintSwatch(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    COLORREF* color = SwatchColor(hwnd);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, RGB(0, 0, 0));
    SetDCBrushColor(dc, color ? *color : RGB(0, 0, 0));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
    if (GetDlgCtrlID(hwnd) == IDC_ED_BACK && !gOpt.BackFill) {
        HPEN cross = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
        SelectObject(dc, cross);
        MoveToEx(dc, rc.left, rc.top, nullptr);
        LineTo(dc, rc.right, rc.bottom);
        MoveToEx(dc, rc.right, rc.top, nullptr);
        LineTo(dc, rc.left, rc.bottom);
        SelectObject(dc, GetStockObject(DC_PEN));
        DeleteObject(cross);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    EndPaint(hwnd, &ps);
}

// While the button is held outside the swatch, the screen pixel under the
// pointer becomes its colour.
void PickScreenColor(HWND hwnd, int x, int y) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    POINT pt = {x, y};
    if (PtInRect(&rc, pt))
        return;
    ClientToScreen(hwnd, &pt);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, pt.x, pt.y);
    ReleaseDC(nullptr, screen);
    if (c == CLR_INVALID)
        return;
    *SwatchColor(hwnd) = c;
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SetEditorPen();
}

void OnSwatchUp(HWND hwnd, int x, int y) {
    if (GetCapture() != hwnd)
        return;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ReleaseCapture();
    RECT rc;
    GetClientRect(hwnd, &rc);
    POINT pt = {x, y};
    if (PtInRect(&rc, pt))
        SendMessageA(GetParent(hwnd), WM_COMMAND, (WPARAM)GetDlgCtrlID(hwnd), (LPARAM)hwnd);
}

LRESULT CALLBACK ColorSwatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC original = (WNDPROC)GetPropA(hwnd, kSwatchProcProp);
    int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
    switch (msg) {
        case WM_PAINT:
            PaintSwatch(hwnd);
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            SetCursor(LoadCursorA(gApp.instance, MAKEINTRESOURCEA(IDC_MOX_EYEDROPPER)));
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == hwnd)
                PickScreenColor(hwnd, x, y);
            return 0;
        case WM_LBUTTONUP:
            OnSwatchUp(hwnd, x, y);
            return 0;
        case WM_RBUTTONDOWN:
            if (GetDlgCtrlID(hwnd) == IDC_ED_BACK) {
                gOpt.BackFill = gOpt.BackFill ? 0 : 1;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)original);
            RemovePropA(hwnd, kSwatchProcProp);
            RemovePropA(hwnd, kSwatchColorProp);
            return CallWindowProcA(original, hwnd, msg, wp, lp);
    }
    return CallWindowProcA(original, hwnd, msg, wp, lp);
}

void MakeTextFont(HWND dlg) {
    HFONT font = CreateFontIndirectA(&gOpt.Font);
    SendDlgItemMessageA(dlg, IDC_TEXT_EDIT, WM_SETFONT, (WPARAM)font, TRUE);
    if (gTextFont)
        DeleteObject(gTextFont);
    gTextFont = font;
}

void ChooseTextFont(HWND dlg) {
    LOGFONTA lf = gOpt.Font;
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.lpLogFont = &lf;
    cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST | CF_SCREENFONTS;
    if (!gFontColorSet) {
        cf.rgbColors = gOpt.CRFore;
        gFontColorSet = true;
    }
    if (!ChooseFontA(&cf))
        return;
    gOpt.Font = lf;
    MakeTextFont(dlg);
    RenderEditorText();
}

// The preview follows a change at once: a mouse move at the pointer.
void RefreshPreview() {
    if (!gEd.draw)
        return;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(gEd.draw, &pt);
    SendMessageA(gEd.draw, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
}

void OnTextInit(HWND dlg) {
    gApp.PrepareDialog(dlg);
    if (IsRectEmpty(&gTextRect))
        GetWindowRect(dlg, &gTextRect);
    else
        MoveWindow(dlg, gTextRect.left, gTextRect.top, gTextRect.right - gTextRect.left,
                   gTextRect.bottom - gTextRect.top, FALSE);
    MakeTextFont(dlg);
    SendDlgItemMessageA(dlg, IDC_TEXT_EDIT, EM_LIMITTEXT, kCchEditorText, 0);
    SetDlgItemTextA(dlg, IDC_TEXT_EDIT, gText);
    CheckDlgButton(dlg, IDC_TEXT_FRAME, gOpt.TextFrame ? BST_CHECKED : BST_UNCHECKED);
    RenderEditorText();
}

void OnTextCommand(HWND dlg, int id, int code) {
    switch (id) {
        case IDC_TEXT_EDIT:
            if (code == EN_CHANGE) {
                GetDlgItemTextA(dlg, IDC_TEXT_EDIT, gText, (int)sizeof gText);
                RenderEditorText();
                RefreshPreview();
            }
            break;
        case IDC_TEXT_FONT:
            ChooseTextFont(dlg);
            RefreshPreview();
            break;
        case IDC_TEXT_FRAME:
            gOpt.TextFrame = IsDlgButtonChecked(dlg, IDC_TEXT_FRAME) == BST_CHECKED;
            RenderEditorText();
            RefreshPreview();
            break;
        case IDCANCEL:
            DestroyWindow(dlg);
            break;
    }
}

INT_PTR CALLBACK EnterTextDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnTextInit(dlg);
            return TRUE;
        case WM_COMMAND:
            OnTextCommand(dlg, LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_CLOSE:
            // Closing the text window means leaving the text tool.
            if (gEd.dialog) {
                SendDlgItemMessageA(gEd.dialog, IDC_ED_TOOL, CB_SETCURSEL, kToolSelect, 0);
                SendMessageA(gEd.dialog, WM_COMMAND, MAKEWPARAM(IDC_ED_TOOL, CBN_SELCHANGE),
                             (LPARAM)GetDlgItem(gEd.dialog, IDC_ED_TOOL));
            } else {
                DestroyWindow(dlg);
            }
            return TRUE;
        case WM_DPICHANGED:
            // The text field keeps the user's font; the rest follows the DPI.
            gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
        case WM_DESTROY:
            GetWindowRect(dlg, &gTextRect);
            if (gTextFont)
                DeleteObject(gTextFont);
            gTextFont = nullptr;
            if (gEd.text == dlg)
                gEd.text = nullptr;
            return FALSE;
    }
    return FALSE;
}

}  // namespace

void AttachColorSwatch(HWND swatch, COLORREF* color) {
    if (!swatch)
        return;
    SetPropA(swatch, kSwatchColorProp, (HANDLE)color);
    SetPropA(swatch, kSwatchProcProp, (HANDLE)SetWindowLongPtrA(swatch, GWLP_WNDPROC, (LONG_PTR)ColorSwatchProc));
}

void RenderEditorText() {
    if (!gTextFont)
        return;
    gImage.RenderTextMask(gText, gTextFont, gOpt.TextFrame ? gOpt.BrushSize : 0);
}

void OpenEnterText() {
    if (gEd.text)
        return;
    gEd.text = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_ENTER_TEXT), gEd.dialog, EnterTextDlgProc, 0);
    if (gEd.text)
        ShowWindow(gEd.text, SW_SHOWNOACTIVATE);
}

void CloseEnterText() {
    if (gEd.text)
        DestroyWindow(gEd.text);
    gEd.text = nullptr;
}
