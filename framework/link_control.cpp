// Link control: a subclassed static that paints itself as a link, answers
// hit tests (a plain static is transparent to the mouse) and opens its
// address through a replaceable opener.
#include "link_control.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string.h>

#include "app.h"

// Our subclass id. The control is subclassed through the common controls'
// subclass chain, which the tooltip's TTF_SUBCLASS uses too: a plain
// GWLP_WNDPROC swap could not be undone under the tooltip's subclass.
static const UINT_PTR kLinkSubclassId = 0x4C4E4B31;

static void ShellOpen(HWND owner, const char* address) {
    ShellExecuteA(owner, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}

static LinkOpenFunc gLinkOpener = ShellOpen;

LinkOpenFunc CLinkControl::SetOpener(LinkOpenFunc opener) {
    LinkOpenFunc previous = gLinkOpener;
    gLinkOpener = opener ? opener : ShellOpen;
    return previous;
}

bool CLinkControl::Attach(HWND dialog, int itemId, const char* address) {
    Detach();
    HWND control = dialog ? GetDlgItem(dialog, itemId) : nullptr;
    if (!control)
        return false;
    char text[kCchPath] = "";
    GetWindowTextA(control, text, (int)countof(text));
    bool textCut = GetWindowTextLengthA(control) >= (int)countof(text);
    if (address ? strlen(address) >= countof(address_) : textCut)
        return false;
    StrCopy(address_, countof(address_), address ? address : text);
    StrCopy(text_, countof(text_), text[0] ? text : address_);
    itemId_ = itemId;
    control_ = control;
    dialog_ = dialog;
    LONG style = GetWindowLongA(control, GWL_STYLE);
    drawFlags_ = 0;
    if ((style & SS_TYPEMASK) == SS_CENTER)
        drawFlags_ |= DT_CENTER;
    else if ((style & SS_TYPEMASK) == SS_RIGHT)
        drawFlags_ |= DT_RIGHT;
    if ((style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS)
        drawFlags_ |= DT_PATH_ELLIPSIS;
    SetWindowLongPtrA(control, GWLP_USERDATA, (LONG_PTR)this);
    subclassed_ = SetWindowSubclass(control, LinkProc, kLinkSubclassId, (DWORD_PTR)this) != FALSE;

    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr,
                               (HINSTANCE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE), nullptr);
    if (tooltip_) {
        // The version 2 size: older common controls refuse the larger record.
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = dialog;
        ti.uId = (UINT_PTR)control;
        ti.lpszText = address_;
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, (LPARAM)&ti);
    }
    InvalidateRect(control, nullptr, TRUE);
    return true;
}

// Undoes the subclass and forgets the control; the control stays.
void CLinkControl::Release() {
    if (control_ && IsWindow(control_)) {
        if (subclassed_)
            RemoveWindowSubclass(control_, LinkProc, kLinkSubclassId);
        if (GetWindowLongPtrA(control_, GWLP_USERDATA) == (LONG_PTR)this)
            SetWindowLongPtrA(control_, GWLP_USERDATA, 0);
    }
    subclassed_ = false;
    control_ = nullptr;
    dialog_ = nullptr;
    itemId_ = 0;
}

void CLinkControl::Detach() {
    HWND control = control_;
    // The tool first: its subclass of the control sits on top of ours and
    // goes with the tool.
    if (tooltip_ && IsWindow(tooltip_)) {
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = dialog_;
        ti.uId = (UINT_PTR)control_;
        SendMessageA(tooltip_, TTM_DELTOOLA, 0, (LPARAM)&ti);
        DestroyWindow(tooltip_);
    }
    tooltip_ = nullptr;
    Release();
    if (control && IsWindow(control))
        InvalidateRect(control, nullptr, TRUE);  // paint as a plain static again
}

void CLinkControl::Open() {
    InvalidateRect(control_, nullptr, TRUE);
    gLinkOpener(dialog_, address_);
}

void CLinkControl::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(control_, &ps);
    LOGFONTA lf = {};
    // The dialog's DPI, which follows a DPI change (ApplyDialogFont).
    lf.lfHeight = -MulDiv(12, (int)gApp.DialogDpi(dialog_), 96);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    // The dialog's font face, else "MS Shell Dlg".
    LOGFONTA dialogFont = {};
    HFONT hf = (HFONT)SendMessageA(dialog_, WM_GETFONT, 0, 0);
    if (hf && GetObjectA(hf, sizeof dialogFont, &dialogFont) && dialogFont.lfFaceName[0])
        StrCopy(lf.lfFaceName, countof(lf.lfFaceName), dialogFont.lfFaceName);
    else
        StrCopy(lf.lfFaceName, countof(lf.lfFaceName), "MS Shell Dlg");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    RECT rc;
    GetClientRect(control_, &rc);
    FillRect(hdc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0, 0, 255));
    DrawTextA(hdc, text_, -1, &rc, drawFlags_ | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (GetFocus() == control_) {
        SetTextColor(hdc, RGB(0, 0, 0));
        DrawFocusRect(hdc, &rc);
    }
    if (oldFont)
        SelectObject(hdc, oldFont);
    if (font)
        DeleteObject(font);
    EndPaint(control_, &ps);
}

LRESULT CALLBACK CLinkControl::LinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    CLinkControl* link = (CLinkControl*)ref;
    switch (msg) {
        case WM_PAINT:
            link->OnPaint();
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;  // a static answers HTTRANSPARENT and never sees the mouse
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_SETCURSOR:
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            break;
        case WM_LBUTTONUP:
            if (GetFocus() == hwnd)
                link->Open();
            break;
        case WM_KEYDOWN:
            if (wp == VK_SPACE && GetFocus() == hwnd)
                link->Open();
            break;
        case WM_NCDESTROY:
            // Destroyed while attached (its dialog closed): forget it so that a
            // later Detach never touches a reused handle.
            link->Release();
            return DefSubclassProc(hwnd, msg, wp, lp);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}
