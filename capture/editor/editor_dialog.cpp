// The "Edit Image" dialog (102): crop, auto crop, highlight, colour mode,
// undo, zoom and the tool settings over gImage, edited in place. The view
// and the tools are in editor_view.cpp, editor_draw.cpp and editor_text.cpp.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/color_util.h"
#include "base/num_util.h"
#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/editor/auto_crop.h"
#include "capture/editor/editor_dialog.h"
#include "capture/editor/editor_state.h"
#include "capture/resource.h"
#include "capture/state/color_mode.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "framework/dialog_layout.h"
#include "framework/dialog_util.h"
#include "framework/message_box.h"

HWND gEditorDialog = nullptr;
EditorState gEd;
CImage gImageBackup;
CImage gEditorScreen;
TextMask gTextMask = {nullptr, 0, 0};

namespace {

const int kZoomSteps = 7;
const double kZoomStep[kZoomSteps] = {0.25, 0.5, 1, 2, 4, 8, 16};
const char kDialogProcProp[] = "VpEditorProc";
const int kGripSize = 15;   // at 96 DPI
const int kViewMargin = 2;  // client position of the first shown pixel of an image larger than the view
const float kHighlightFactor = 0.8f;
const char* const kToolNames[kToolCount] = {"Select", "Draw", "Line", "Arrow", "Box", "Invert", "Fill", "Text"};
const char* const kBrushSizes[] = {"1", "2", "4", "8", "16", "32", "64", "128"};
const int kMaxBrushSize = 128;

COLORREF gCustomColors[16];
CDialogLayout gLayout;
bool gPlacementDue;  // the stored place is applied at the first showing
HHOOK gKeyHook;

int ZoomIndex() {
    return (int)SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_GETPOS, 0, 0);
}

int GripSize(HWND dlg) {
    return MulDiv(kGripSize, (int)gApp.DialogDpi(dlg), 96);
}

void Invalidate() {
    if (gEd.view)
        InvalidateRect(gEd.view, nullptr, FALSE);
}

// The zoom of the trackbar's step; the scroll follows the selection's
// centre or, from the wheel, the pixel under the pointer.
void OnZoom(LPARAM how) {
    int step = ClampInt(ZoomIndex(), 0, kZoomSteps - 1);
    gEd.zoom = kZoomStep[step];
    char caption[40];
    StrFmt(caption, countof(caption), "Zoom: %.0f %%", gEd.zoom * 100);
    SetDlgItemTextA(gEd.dialog, IDC_ED_ZOOM_GROUP, caption);
    int w = gImage.Width(), h = gImage.Height();
    SetViewScrollRange(SB_HORZ, w, (int)(gEd.viewW / gEd.zoom) + 1);
    SetViewScrollRange(SB_VERT, h, (int)(gEd.viewH / gEd.zoom) + 1);
    if (how == kZoomAtPointer) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(gEd.view, &pt);
        // Measured from the image's first shown pixel (2 pixels in when the
        // zoomed image fills the view; a smaller one is centred and does not
        // scroll), so that the pixel under the pointer stays put exactly.
        gEd.scrollX = gEd.pointerX - (int)((pt.x - kViewMargin) / gEd.zoom);
        gEd.scrollY = gEd.pointerY - (int)((pt.y - kViewMargin) / gEd.zoom);
    } else {
        gEd.scrollX = (gEd.right - gEd.left) / 2 + gEd.left - (int)(gEd.viewW / gEd.zoom * 0.5);
        gEd.scrollY = (gEd.bottom - gEd.top) / 2 + gEd.top - (int)(gEd.viewH / gEd.zoom * 0.5);
    }
    gEd.scrollX = ClampInt(gEd.scrollX, 0, MaxScrollX());
    gEd.scrollY = ClampInt(gEd.scrollY, 0, MaxScrollY());
    SetViewScrollPos(SB_HORZ, gEd.scrollX);
    SetViewScrollPos(SB_VERT, gEd.scrollY);
    UpdateViewOffsets();
    Invalidate();
}

void SelectWholeImage() {
    gEd.left = gEd.top = 0;
    gEd.right = gImage.Width();
    gEd.bottom = gImage.Height();
}

bool WholeImageSelected() {
    return gEd.left == 0 && gEd.top == 0 && gEd.right == gImage.Width() && gEd.bottom == gImage.Height();
}

void OnCrop() {
    if (WholeImageSelected())
        return;
    SetEditorCursor(IDC_WAIT);
    // The frame shows columns left..right-1 and rows top..bottom-1: that is
    // what is kept. Cropped aside first: a crop that cannot be made (no
    // pixel left, no memory) leaves the image, the undo stack and the
    // image's listeners untouched.
    CRaster cropped;
    if (!gImage.Crop(gEd.left, gEd.top, gEd.right, gEd.bottom, &cropped)) {
        SetEditorCursor(IDC_ARROW);
        return;
    }
    PushUndoEvicting();
    gImage.TakeOver(cropped);
    SelectWholeImage();
    SnapshotImage();
    SetPaintClip();
    AnnounceImageChange();
    FitZoomToSelection();
    SetEditorCursor(IDC_ARROW);
}

void OnAutoCrop() {
    if (!AutoCropBounds(gImage, &gEd.left, &gEd.top, &gEd.right, &gEd.bottom))
        return;
    SendMessageA(gEd.dialog, WM_COMMAND, IDC_ED_CROP, 0);
    FitZoomToSelection();
}

void OnHighlight() {
    if (WholeImageSelected()) {
        AppMessageBox(gEd.dialog, nullptr, "%s", kBoxError | kBoxOk | kBoxBoldFirstLine, 0,
                      gApp.Text(IDS_SELECT_AREA_FIRST, 0));
        return;
    }
    SetEditorCursor(IDC_WAIT);
    PushUndoEvicting();
    gImage.Highlight(gEd.left, gEd.top, gEd.right - 1, gEd.bottom - 1, kHighlightFactor);
    SetEditorCursor(IDC_ARROW);
    SnapshotImage();
    Invalidate();
}

// The undo stack's state reaches the Undo button.
void OnUndoChanged(int count) {
    EnableWindow(GetDlgItem(gEd.dialog, IDC_ED_UNDO), count > 0);
}

// A changed image (an undo step, a colour mode): the box shows its mode.
void OnImageChanged() {
    SendDlgItemMessageA(gEd.dialog, IDC_ED_COLOR_MODE, CB_SETCURSEL, (WPARAM)gColorMode, 0);
}

void OnUndo() {
    int w = gImage.Width(), h = gImage.Height();
    UndoTo(-1);
    if (gImage.Width() != w || gImage.Height() != h) {
        SelectWholeImage();
        FitZoomToSelection();
    }
    SnapshotImage();
    SetPaintClip();
    Invalidate();
}

void OnChooseColor(int id) {
    COLORREF* target = id == IDC_ED_BACK ? &gOpt.CRBack : &gOpt.CRFore;
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = gEd.dialog;
    cc.rgbResult = *target;
    cc.lpCustColors = gCustomColors;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorA(&cc))
        return;
    *target = cc.rgbResult;
    InvalidateRect(GetDlgItem(gEd.dialog, id), nullptr, TRUE);
    SetEditorPen();
}

void OnBrushSize(HWND dlg, int code) {
    HWND box = GetDlgItem(dlg, IDC_ED_BRUSH);
    if (code == CBN_SELCHANGE) {
        int row = (int)SendMessageA(box, CB_GETCURSEL, 0, 0);
        char text[16] = "";
        if (row >= 0 && SendMessageA(box, CB_GETLBTEXTLEN, row, 0) < (LRESULT)sizeof text)
            SendMessageA(box, CB_GETLBTEXT, row, (LPARAM)text);
        SetWindowTextA(box, text);
    } else if (code != CBN_EDITCHANGE) {
        return;
    }
    int size = 1;
    GetDlgItemNumber(dlg, IDC_ED_BRUSH, 1, kMaxBrushSize, true, &size);
    gOpt.BrushSize = size < 1 ? 1 : size;
    SetEditorPen();
    if (gOpt.Tool == kToolText)
        RenderEditorText();
}

void OnColorMode(HWND dlg, int code) {
    if (code != CBN_SELCHANGE)
        return;
    int row = (int)SendDlgItemMessageA(dlg, IDC_ED_COLOR_MODE, CB_GETCURSEL, 0, 0);
    if (row < 0 || row == gColorMode)
        return;
    SetEditorCursor(IDC_WAIT);
    if (SetColorMode(row) == kColorModeDone)
        SnapshotImage();
    SetPaintClip();
    Invalidate();
    SetEditorCursor(IDC_ARROW);
}

void OnTool(HWND dlg, int code) {
    if (code != CBN_SELCHANGE)
        return;
    int row = (int)SendDlgItemMessageA(dlg, IDC_ED_TOOL, CB_GETCURSEL, 0, 0);
    gOpt.Tool = ClampInt(row, kToolSelect, kToolCount - 1);
    WipePreview();
    ShowWindow(gEd.draw, gOpt.Tool != kToolSelect ? SW_SHOW : SW_HIDE);
    SetEditorPen();
    if (gOpt.Tool == kToolText)
        OpenEnterText();
    else
        CloseEnterText();
}

void OnCancel() {
    if (gEd.drag != kDragIdle) {
        // A selection being drawn: a right-button press cancels it.
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        SendInput(1, &in, sizeof in);
        in.mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        SendInput(1, &in, sizeof in);
        return;
    }
    WipePreview();
    UndoTo(0);
    EndDialog(gEd.dialog, IDCANCEL);
}

void OnCommand(HWND dlg, int id, int code) {
    switch (id) {
        case IDOK:
            WipePreview();
            EndDialog(dlg, IDOK);
            break;
        case IDCANCEL:
            OnCancel();
            break;
        case IDC_ED_AUTOCROP:
            OnAutoCrop();
            break;
        case IDC_ED_CROP:
            OnCrop();
            break;
        case IDC_ED_HIGHLIGHT:
            OnHighlight();
            break;
        case IDC_ED_UNDO:
            OnUndo();
            break;
        case IDC_ED_BACK:
        case IDC_ED_FORE:
            OnChooseColor(id);
            break;
        case IDC_ED_BRUSH:
            OnBrushSize(dlg, code);
            break;
        case IDC_ED_COLOR_MODE:
            OnColorMode(dlg, code);
            break;
        case IDC_ED_TOOL:
            OnTool(dlg, code);
            break;
        case IDC_ED_ZOOM:
            OnZoom(0);
            break;
    }
}

void OnWheel(int delta) {
    int step = kZoomSteps;
    for (int i = 0; i < kZoomSteps; i++)
        if (kZoomStep[i] == gEd.zoom)
            step = i;
    step += delta < 0 ? 1 : -1;
    step = ClampInt(step, 0, kZoomSteps - 1);
    SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_SETPOS, TRUE, step);
    OnZoom(kZoomAtPointer);
}

void OnSelectAll() {
    SelectWholeImage();
    SetPaintClip();
    FitZoomToSelection();
}

// Keys meant for the whole dialog ("A": select all) and the wheel over the
// view reach the dialog whichever control has the focus; a text field keeps
// its letters.
LRESULT CALLBACK DialogKeyHook(int code, WPARAM wp, LPARAM lp) {
    MSG* m = (MSG*)lp;
    if (code == MSGF_DIALOGBOX && m && gEd.text && IsChild(gEd.text, m->hwnd) && IsDialogMessageA(gEd.text, m))
        return 1;  // the modeless text window's keys
    if (code == MSGF_DIALOGBOX && gEd.dialog && m && (m->hwnd == gEd.dialog || IsChild(gEd.dialog, m->hwnd))) {
        if (m->message == WM_KEYDOWN && m->wParam == 'A') {
            char cls[16] = "";
            GetClassNameA(m->hwnd, cls, (int)sizeof cls);
            if (_stricmp(cls, "Edit") != 0) {
                OnSelectAll();
                return 1;
            }
        }
        if (m->message == WM_MOUSEWHEEL) {
            POINT pt = {(short)LOWORD(m->lParam), (short)HIWORD(m->lParam)};
            RECT rc;
            GetWindowRect(gEd.view, &rc);
            if (PtInRect(&rc, pt)) {
                OnWheel((short)HIWORD(m->wParam));
                return 1;
            }
        }
    }
    return CallNextHookEx(gKeyHook, code, wp, lp);
}

void RegisterLayout(HWND dlg) {
    gLayout.Clear();
    gLayout.Attach(dlg, IDOK);
    static const int kColumn[] = {IDOK,
                                  IDCANCEL,
                                  IDC_ED_ACTIONS_LINE,
                                  IDC_ED_ACTIONS_LABEL,
                                  IDC_ED_AUTOCROP,
                                  IDC_ED_CROP,
                                  IDC_ED_HIGHLIGHT,
                                  IDC_ED_UNDO,
                                  IDC_ED_TOOL_LINE,
                                  IDC_ED_TOOL_LABEL,
                                  IDC_ED_TOOL,
                                  IDC_ED_COLORS_LINE,
                                  IDC_ED_COLORS_LABEL,
                                  IDC_ED_FORE,
                                  IDC_ED_BACK,
                                  IDC_ED_BRUSH_LINE,
                                  IDC_ED_BRUSH_LABEL,
                                  IDC_ED_BRUSH,
                                  IDC_ED_SIZE_GROUP,
                                  IDC_ED_SIZE,
                                  IDC_ED_ZOOM_GROUP,
                                  IDC_ED_ZOOM,
                                  IDC_ED_MODE_GROUP,
                                  IDC_ED_COLOR_MODE};
    for (int id : kColumn)
        gLayout.AddControl(id, kLayoutRight);
    gLayout.AddControl(IDC_ED_VIEW, kLayoutSize);
}

void FillBoxes(HWND dlg) {
    for (int mode = kColorBlackWhite; mode < kColorOriginal; mode++)
        SendDlgItemMessageA(dlg, IDC_ED_COLOR_MODE, CB_ADDSTRING, 0, (LPARAM)ColorModeText(mode));
    SendDlgItemMessageA(dlg, IDC_ED_COLOR_MODE, CB_SETCURSEL, (WPARAM)gColorMode, 0);
    for (const char* name : kToolNames)
        SendDlgItemMessageA(dlg, IDC_ED_TOOL, CB_ADDSTRING, 0, (LPARAM)name);
    gOpt.Tool = ClampInt(gOpt.Tool, kToolSelect, kToolCount - 1);
    SendDlgItemMessageA(dlg, IDC_ED_TOOL, CB_SETCURSEL, (WPARAM)gOpt.Tool, 0);
    SendDlgItemMessageA(dlg, IDC_ED_COLOR_MODE, CB_SETDROPPEDWIDTH, (WPARAM)MulDiv(180, (int)gApp.DialogDpi(dlg), 96),
                        0);
    for (const char* size : kBrushSizes)
        SendDlgItemMessageA(dlg, IDC_ED_BRUSH, CB_ADDSTRING, 0, (LPARAM)size);
    gOpt.BrushSize = ClampInt(gOpt.BrushSize, 1, kMaxBrushSize);
    SetDlgItemNumber(dlg, IDC_ED_BRUSH, gOpt.BrushSize);
}

LRESULT CALLBACK EditorDialogSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC original = (WNDPROC)GetPropA(hwnd, kDialogProcProp);
    switch (msg) {
        case WM_NCHITTEST: {
            RECT rc;
            GetWindowRect(hwnd, &rc);
            int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
            if (!IsZoomed(hwnd) && x >= rc.right - kGripSize && x < rc.right && y >= rc.bottom - kGripSize &&
                y < rc.bottom)
                return HTBOTTOMRIGHT;
            break;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)original);
            RemovePropA(hwnd, kDialogProcProp);
            return CallWindowProcA(original, hwnd, msg, wp, lp);
    }
    return CallWindowProcA(original, hwnd, msg, wp, lp);
}

// The stored place and show state, when the stored place is on a screen.
void ApplyPlacement(HWND dlg) {
    RECT stored = gOpt.AdjWndRect;
    RECT screen = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT common;
    if (stored.right <= stored.left || stored.bottom <= stored.top || !IntersectRect(&common, &stored, &screen))
        return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    GetWindowPlacement(dlg, &wp);
    wp.rcNormalPosition = stored;
    wp.showCmd = gOpt.AdjWndMax == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    SetWindowPlacement(dlg, &wp);
    InvalidateRect(dlg, nullptr, TRUE);
}

BOOL OnInitDialog(HWND dlg, LPARAM param) {
    gEd.dialog = dlg;
    gEditorDialog = dlg;
    SetUndoListener(OnUndoChanged);
    AddImageListener(OnImageChanged);
    gApp.PrepareDialog(dlg);
    SetPropA(dlg, kDialogProcProp, (HANDLE)SetWindowLongPtrA(dlg, GWLP_WNDPROC, (LONG_PTR)EditorDialogSubclassProc));
    AttachColorSwatch(GetDlgItem(dlg, IDC_ED_FORE), &gOpt.CRFore);
    AttachColorSwatch(GetDlgItem(dlg, IDC_ED_BACK), &gOpt.CRBack);
    SetWindowPos(GetDlgItem(dlg, IDC_ED_BACK), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SelectWholeImage();
    gEd.zoom = 1;
    if (!CreateEditorView(GetDlgItem(dlg, IDC_ED_VIEW))) {
        EndDialog(dlg, -1);
        return TRUE;
    }
    RegisterLayout(dlg);
    if (param == 1)
        AutoCropBounds(gImage, &gEd.left, &gEd.top, &gEd.right, &gEd.bottom);
    ClearUndo();
    SnapshotImage();
    SetPaintClip();
    FillBoxes(dlg);
    if (gOpt.Tool != kToolSelect)
        ShowWindow(gEd.draw, SW_SHOW);
    if (gOpt.Tool == kToolText)
        OpenEnterText();
    SendDlgItemMessageA(dlg, IDC_ED_ZOOM, TBM_SETRANGE, TRUE, MAKELPARAM(0, kZoomSteps - 1));
    FitZoomToSelection();
    int grip = GripSize(dlg);
    RECT rc;
    GetClientRect(dlg, &rc);
    gEd.grip = RECT{rc.right - grip, rc.bottom - grip, rc.right, rc.bottom};
    gKeyHook = SetWindowsHookExA(WH_MSGFILTER, DialogKeyHook, nullptr, GetCurrentThreadId());
    gPlacementDue = true;
    return TRUE;
}

void OnEraseBackground(HWND dlg, HDC dc) {
    RECT rc;
    GetClientRect(dlg, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    if (IsZoomed(dlg))
        return;
    int grip = GripSize(dlg);
    RECT box = {rc.right - grip, rc.bottom - grip, rc.right, rc.bottom};
    DrawFrameControl(dc, &box, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

void OnSize(HWND dlg) {
    gLayout.Apply();
    SendMessageA(dlg, WM_COMMAND, IDC_ED_ZOOM, 0);
    RECT rc;
    GetClientRect(dlg, &rc);
    int grip = GripSize(dlg);
    RECT dirty = {gEd.grip.left < rc.right - grip ? gEd.grip.left : rc.right - grip,
                  gEd.grip.top < rc.bottom - grip ? gEd.grip.top : rc.bottom - grip, rc.right, rc.bottom};
    InvalidateRect(dlg, &dirty, TRUE);
    gEd.grip = RECT{rc.right - grip, rc.bottom - grip, rc.right, rc.bottom};
}

// Fonts and controls for the new DPI; the layout keeps its proportions (its
// reference button grows with the rest), the grip and the zoom follow.
void OnDpiChanged(HWND dlg, UINT dpi, const RECT* suggested) {
    gApp.ApplyDialogFont(dlg, dpi, suggested);
    SendDlgItemMessageA(dlg, IDC_ED_COLOR_MODE, CB_SETDROPPEDWIDTH, (WPARAM)MulDiv(180, (int)dpi, 96), 0);
    OnSize(dlg);
    InvalidateRect(dlg, nullptr, TRUE);
}

void OnMinMaxInfo(HWND dlg, MINMAXINFO* info) {
    RECT ok;
    GetClientRect(GetDlgItem(dlg, IDOK), &ok);
    info->ptMinTrackSize.x = 7 * ok.right;
    info->ptMinTrackSize.y = 21 * ok.bottom;
}

void OnDestroy(HWND dlg) {
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (GetWindowPlacement(dlg, &wp)) {
        gOpt.AdjWndRect = wp.rcNormalPosition;
        gOpt.AdjWndMax = wp.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    }
    if (gKeyHook)
        UnhookWindowsHookEx(gKeyHook);
    gKeyHook = nullptr;
    CloseEnterText();
    if (gEd.view)
        DestroyWindow(gEd.view);
    gEd.view = gEd.draw = nullptr;
    ClearUndo();
    gImageBackup.Destroy();
    gEditorScreen.Destroy();
    free(gTextMask.mask);
    gTextMask = TextMask{nullptr, 0, 0};
    SetUndoListener(nullptr);
    RemoveImageListener(OnImageChanged);
    gEd.dialog = nullptr;
    gEditorDialog = nullptr;
}

INT_PTR CALLBACK EditImageDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog(dlg, lp);
        case WM_SHOWWINDOW:
            if (wp && gPlacementDue) {
                gPlacementDue = false;
                ApplyPlacement(dlg);
            }
            return FALSE;
        case WM_GETMINMAXINFO:
            OnMinMaxInfo(dlg, (MINMAXINFO*)lp);
            return TRUE;
        case WM_ERASEBKGND:
            OnEraseBackground(dlg, (HDC)wp);
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        case WM_SIZE:
            if (gEd.view)
                OnSize(dlg);
            return TRUE;
        case WM_COMMAND:
            OnCommand(dlg, LOWORD(wp), HIWORD(wp));
            return TRUE;
        case WM_HSCROLL:
            if ((HWND)lp == GetDlgItem(dlg, IDC_ED_ZOOM))
                OnZoom(0);
            return TRUE;
        case WM_MOUSEWHEEL:
            OnWheel((short)HIWORD(wp));
            return TRUE;
        case WM_KEYDOWN:
            if (wp == 'A')
                OnSelectAll();
            return TRUE;
        case WM_DPICHANGED:
            OnDpiChanged(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
        case WM_DESTROY:
            OnDestroy(dlg);
            return FALSE;
    }
    return FALSE;
}

}  // namespace

void SetEditorPen() {
    DWORD color = ColorRefToArgb(gOpt.CRFore, 255);
    gImage.SetPenColor(0, gOpt.BrushSize, color);
    gEditorScreen.SetPenColor(0, gOpt.BrushSize, color);
}

void SetPaintClip() {
    gImage.BeginPaint(&gTextMask, gEd.left, gEd.top, gEd.right - 1, gEd.bottom - 1);
    gEditorScreen.BeginPaint(&gTextMask, gEd.left, gEd.top, gEd.right - 1, gEd.bottom - 1);
    SetEditorPen();
}

void FitZoomToSelection() {
    int w = gEd.right - gEd.left, h = gEd.bottom - gEd.top;
    int i = 0;
    while (i < kZoomSteps && !(w * kZoomStep[i] > gEd.viewW || h * kZoomStep[i] > gEd.viewH))
        i++;
    SendDlgItemMessageA(gEd.dialog, IDC_ED_ZOOM, TBM_SETPOS, TRUE, i > 0 ? i - 1 : 0);
    OnZoom(0);
}

void ShowSelectionSize(int w, int h) {
    SetDlgItemTextF(gEd.dialog, IDC_ED_SIZE, "%d x %d", w, h);
}

void SetEditorCursor(LPCSTR cursor) {
    HCURSOR c = LoadCursorA(nullptr, cursor);
    if (gEd.dialog)
        SetClassLongPtrA(gEd.dialog, GCLP_HCURSOR, (LONG_PTR)c);
    SetCursor(c);
}

INT_PTR RunImageEditor(HWND owner, int autoCrop) {
    if (!gImage.IsValid() || gEditorDialog)
        return -1;
    gEd = EditorState{};
    INT_PTR r = gApp.RunModalDialog(owner, IDD_EDIT_IMAGE, EditImageDlgProc, autoCrop);
    AnnounceImageChange();  // the strokes changed gImage without a word
    return r;
}
