// The link control: paints blue text in the bold font on the button face,
// shows the hand cursor and opens its target on a click or the space key.
#include "hyperlink.h"

#include <shellapi.h>

#include "setup_base.h"
#include "wizard_pages.h"

static const char kLinkProp[] = "VpHyperlink";

static void PaintLink(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, gWizard.boldFont ? gWizard.boldFont : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 255));
    char text[kCchPath];
    GetWindowTextA(hwnd, text, countof(text));
    RECT textRect = rc;
    DrawTextA(dc, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CALCRECT);
    textRect.bottom = rc.bottom;
    textRect.top = rc.top;
    DrawTextA(dc, text, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (GetFocus() == hwnd)
        DrawFocusRect(dc, &textRect);
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

static void OpenTarget(Hyperlink* link, HWND hwnd) {
    ShellExecuteA(GetParent(hwnd), nullptr, link->target, nullptr, nullptr, SW_SHOWNORMAL);
}

static LRESULT CALLBACK HyperlinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Hyperlink* link = (Hyperlink*)GetPropA(hwnd, kLinkProp);
    if (!link)
        return DefWindowProcA(hwnd, msg, wp, lp);
    WNDPROC previous = link->previous;
    switch (msg) {
        case WM_PAINT:
            PaintLink(hwnd);
            return 0;
        case WM_SETCURSOR:
            SetCursor(LoadCursorA(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            break;
        case WM_LBUTTONUP:
            if (GetFocus() == hwnd)
                OpenTarget(link, hwnd);
            break;
        case WM_KEYUP:
            if (wp == VK_SPACE && GetFocus() == hwnd)
                OpenTarget(link, hwnd);
            break;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        case WM_NCDESTROY:
            RemovePropA(hwnd, kLinkProp);
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)previous);
            break;
    }
    return CallWindowProcA(previous, hwnd, msg, wp, lp);
}

void AttachHyperlink(Hyperlink* link, HWND dialog, int id, const char* target, unsigned flags) {
    link->control = GetDlgItem(dialog, id);
    if (!link->control)
        return;
    GetWindowTextA(link->control, link->text, countof(link->text));
    StrCopy(link->target, countof(link->target), target && *target ? target : link->text);
    link->flags = flags;
    if (link->previous)
        return;  // already attached: only the target changed
    SetPropA(link->control, kLinkProp, link);
    link->previous = (WNDPROC)SetWindowLongPtrA(link->control, GWLP_WNDPROC, (LONG_PTR)HyperlinkProc);
}
