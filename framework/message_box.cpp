// The framework's message box: text split into a first line (optionally
// bold) and the rest, laid out beside a system icon drawn at the dialog's
// scale, with the buttons the style asks for, captions from the string table.
#include "message_box.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "app.h"
#include "app_window.h"
#include "base/str_util.h"
#include "monitors.h"

namespace {

struct BoxData {
    const char* caption;
    const char* text;
    UINT style;
    HWND owner;
    int defaultId;
};

const int kButtonIds[4] = {IDOK, IDCANCEL, IDYES, IDNO};

// The buttons the style shows, in order; returns their count.
int ButtonsOf(UINT style, int* ids) {
    if (style & kBoxYesNoCancel) {
        ids[0] = IDYES, ids[1] = IDNO, ids[2] = IDCANCEL;
        return 3;
    }
    if (style & kBoxYesNo) {
        ids[0] = IDYES, ids[1] = IDNO;
        return 2;
    }
    if (style & kBoxOkCancel) {
        ids[0] = IDOK, ids[1] = IDCANCEL;
        return 2;
    }
    ids[0] = IDOK;
    return 1;
}

int DefaultButtonOf(UINT style) {
    if (style & kBoxDefaultOk)
        return IDOK;
    if (style & kBoxDefaultCancel)
        return IDCANCEL;
    if (style & kBoxDefaultYes)
        return IDYES;
    if (style & kBoxDefaultNo)
        return IDNO;
    return (style & (kBoxYesNo | kBoxYesNoCancel)) ? IDYES : IDOK;
}

LPCSTR SystemIconOf(UINT style) {
    if (style & kBoxError)
        return IDI_HAND;
    if (style & kBoxWarning)
        return IDI_EXCLAMATION;
    if (style & kBoxInformation)
        return IDI_ASTERISK;
    if (style & kBoxQuestion)
        return IDI_QUESTION;
    return nullptr;
}

UINT SoundOf(UINT style) {
    if (style & kBoxError)
        return MB_ICONHAND;
    if (style & kBoxWarning)
        return MB_ICONEXCLAMATION;
    if (style & kBoxInformation)
        return MB_ICONASTERISK;
    if (style & kBoxQuestion)
        return MB_ICONQUESTION;
    return MB_OK;
}

RECT ChildRect(HWND dialog, int id) {
    RECT r = {0, 0, 0, 0};
    HWND child = GetDlgItem(dialog, id);
    if (child) {
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    }
    return r;
}

SIZE MeasureLine(HDC dc, HFONT font, const char* line, int len) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE s = {0, 0};
    if (len == 0)
        GetTextExtentPoint32A(dc, " ", 1, &s);
    else
        GetTextExtentPoint32A(dc, line, len, &s);
    SelectObject(dc, old);
    s.cx += 8;
    s.cy += 1;
    return s;
}

void ApplyButtonStyles(HWND dialog, const BoxData* box) {
    UINT dpi = gApp.GetWindowDpi(dialog);
    for (int id : kButtonIds) {
        HWND b = GetDlgItem(dialog, id);
        if (!b)
            continue;
        bool isDefault = id == box->defaultId;
        SendMessageA(b, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        SendMessageA(b, WM_SETFONT, (WPARAM)gApp.UiFont(dpi, isDefault), TRUE);
    }
    SendMessageA(dialog, DM_SETDEFID, (WPARAM)box->defaultId, 0);
}

void ApplyTextFonts(HWND dialog, const BoxData* box) {
    UINT dpi = gApp.GetWindowDpi(dialog);
    HWND first = GetDlgItem(dialog, IDC_MOX_MSGFIRST), rest = GetDlgItem(dialog, IDC_MOX_MSGREST);
    if (first)
        SendMessageA(first, WM_SETFONT, (WPARAM)gApp.UiFont(dpi, (box->style & kBoxBoldFirstLine) != 0), TRUE);
    if (rest)
        SendMessageA(rest, WM_SETFONT, (WPARAM)gApp.UiFont(dpi, false), TRUE);
}

// The box's text, measured: the first line, and the rest joined for the
// second control.
struct BoxText {
    char first[kCchText2];
    char rest[kCchText2];
    SIZE firstSize;
    int widest, restHeight, lines;
    int left, top;  // where the first line was placed
};

void SetCaptionAndIcon(HWND dialog, const BoxData* box) {
    SetWindowTextA(dialog, box->caption);
    if (box->style & kBoxOwnIcon) {
        HICON own = LoadIconA(gApp.instance, MAKEINTRESOURCEA(2));
        if (own)
            SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)own);
    }
}

void MeasureBoxText(HWND dialog, const BoxData* box, BoxText* t) {
    UINT dpi = gApp.GetWindowDpi(dialog);
    HFONT normal = gApp.UiFont(dpi, false);
    HFONT firstFont = (box->style & kBoxBoldFirstLine) ? gApp.UiFont(dpi, true) : normal;
    const char* text = box->text;
    const char* nl = strchr(text, '\n');
    int firstLen = nl ? (int)(nl - text) : (int)strlen(text);
    HDC dc = GetDC(dialog);
    t->firstSize = MeasureLine(dc, firstFont, text, firstLen);
    t->widest = t->firstSize.cx;
    t->restHeight = 0;
    t->lines = 1;
    t->rest[0] = '\0';
    for (const char* p = nl; p; t->lines++) {
        const char* line = p + 1;
        const char* next = strchr(line, '\n');
        int len = next ? (int)(next - line) : (int)strlen(line);
        SIZE s = MeasureLine(dc, normal, line, len);
        t->widest = s.cx > t->widest ? s.cx : t->widest;
        t->restHeight += s.cy;
        if (t->rest[0])
            StrCat(t->rest, countof(t->rest), "\r\n");
        char piece[kCchText2];
        StrCopy(piece, (size_t)len + 1 < countof(piece) ? (size_t)len + 1 : countof(piece), line);
        StrCat(t->rest, countof(t->rest), piece);
        p = next;
    }
    ReleaseDC(dialog, dc);
    StrCopy(t->first, (size_t)firstLen + 1 < countof(t->first) ? (size_t)firstLen + 1 : countof(t->first), text);
}

// The two text controls beside the icon: one line centred on it, two lines
// centred as a block, more from its top. The second control goes when
// there is one line.
void PlaceBoxText(HWND dialog, BoxText* t) {
    RECT iconArea = ChildRect(dialog, IDC_MOX_MSGICON);
    RECT firstRect = ChildRect(dialog, IDC_MOX_MSGFIRST);
    int iconHeight = iconArea.bottom - iconArea.top;
    t->left = firstRect.left;
    HWND firstCtl = GetDlgItem(dialog, IDC_MOX_MSGFIRST), restCtl = GetDlgItem(dialog, IDC_MOX_MSGREST);
    SetWindowTextA(firstCtl, t->first);
    if (t->lines == 1) {
        t->top = iconArea.top + (iconHeight - t->firstSize.cy) / 2;
        DestroyWindow(restCtl);
        restCtl = nullptr;
    } else if (t->lines == 2) {
        t->top = iconArea.top + (iconHeight - t->firstSize.cy - t->restHeight) / 2;
    } else {
        t->top = iconArea.top;
    }
    if (t->top < iconArea.top && t->lines > 1)
        t->top = iconArea.top;
    MoveWindow(firstCtl, t->left, t->top, t->widest, t->firstSize.cy, FALSE);
    if (restCtl) {
        SetWindowTextA(restCtl, t->rest);
        MoveWindow(restCtl, t->left, t->top + t->firstSize.cy, t->widest, t->restHeight, FALSE);
    }
}

// The dialog sized to the text and the buttons; the buttons of the style
// below the text, centred as a group, the others hidden.
void PlaceBoxButtons(HWND dialog, const BoxData* box, const BoxText& t) {
    int ids[3];
    int n = ButtonsOf(box->style, ids);
    RECT okRect = ChildRect(dialog, IDOK);
    int bw = okRect.right - okRect.left, bh = okRect.bottom - okRect.top, gap = bh / 3;
    int textWidth = t.left + 2 * t.firstSize.cy + t.widest;
    int buttonsWidth = bh + n * (bw + gap);
    RECT client, win;
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &win);
    int clientWidth = textWidth > buttonsWidth ? textWidth : buttonsWidth;
    int buttonTop = okRect.top;
    int needed = t.top + t.firstSize.cy * 3 / 2 + t.restHeight;
    int grow = needed > buttonTop ? needed - buttonTop : 0;
    buttonTop += grow;
    int frameW = (win.right - win.left) - (client.right - client.left);
    int frameH = (win.bottom - win.top) - (client.bottom - client.top);
    SetWindowPos(dialog, nullptr, 0, 0, clientWidth + frameW, (client.bottom - client.top) + grow + frameH,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    int groupWidth = n * bw + (n - 1) * gap;
    int x = (clientWidth - groupWidth) / 2;
    for (int id : kButtonIds) {
        bool used = false;
        for (int i = 0; i < n; i++)
            used = used || ids[i] == id;
        HWND b = GetDlgItem(dialog, id);
        if (!used) {
            ShowWindow(b, SW_HIDE);
            continue;
        }
    }
    for (int i = 0; i < n; i++) {
        MoveWindow(GetDlgItem(dialog, ids[i]), x, buttonTop, bw, bh, FALSE);
        x += bw + gap;
    }
}

void SetButtonTexts(HWND dialog) {
    SetDlgItemTextA(dialog, IDOK, gApp.Text(IDS_MOX_BUTTONS, 0));
    SetDlgItemTextA(dialog, IDCANCEL, gApp.Text(IDS_MOX_BUTTONS, 1));
    SetDlgItemTextA(dialog, IDYES, gApp.Text(IDS_MOX_BUTTONS, 4));
    SetDlgItemTextA(dialog, IDNO, gApp.Text(IDS_MOX_BUTTONS, 5));
}

void OnInit(HWND dialog, BoxData* box) {
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)box);
    gApp.PrepareDialog(dialog);
    SetCaptionAndIcon(dialog, box);
    BoxText text;
    MeasureBoxText(dialog, box, &text);
    PlaceBoxText(dialog, &text);
    PlaceBoxButtons(dialog, box, text);
    ApplyTextFonts(dialog, box);
    MessageBeep(SoundOf(box->style));
    SetButtonTexts(dialog);
    ApplyButtonStyles(dialog, box);
    SetFocus(GetDlgItem(dialog, box->defaultId));
    CenterWindow(dialog, nullptr);  // again, now that the size is known
}

void OnDrawIcon(const BoxData* box, const DRAWITEMSTRUCT* di) {
    LPCSTR which = SystemIconOf(box->style);
    if (!which)
        return;
    HICON ic = LoadIconA(nullptr, which);
    int size = (di->rcItem.bottom - di->rcItem.top) & ~1;
    DrawIconEx(di->hDC, di->rcItem.left, di->rcItem.top, ic, size, size, 0, nullptr, DI_NORMAL);
}

INT_PTR CALLBACK MessageBoxProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    BoxData* box = (BoxData*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(dialog, (BoxData*)lp);
            return FALSE;  // the focus was set
        case WM_SHOWWINDOW:
            if (box && wp)
                ApplyButtonStyles(dialog, box);
            break;
        case WM_DRAWITEM:
            if (box && wp == IDC_MOX_MSGICON) {
                OnDrawIcon(box, (const DRAWITEMSTRUCT*)lp);
                return TRUE;
            }
            break;
        case WM_DPICHANGED:
            if (box) {
                ApplyTextFonts(dialog, box);
                ApplyButtonStyles(dialog, box);
            }
            break;
        case WM_COMMAND: {
            int id = LOWORD(wp);
            if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO) {
                EndDialog(dialog, id);
                if (box && box->owner)
                    SetWindowPos(box->owner, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
                return TRUE;
            }
            break;
        }
    }
    return FALSE;
}

}  // namespace

int AppMessageBox(HWND owner, const char* caption, const char* format, UINT style, int focusItem, ...) {
    char text[kCchText];
    va_list args;
    va_start(args, focusItem);
    vsnprintf(text, countof(text), format ? format : "", args);
    va_end(args);
    text[countof(text) - 1] = '\0';
    HWND focus = GetFocus();
    if (!owner)
        owner = gApp.ForegroundWindowOfProcess();
    if (owner) {
        CAppWindow* frame = gApp.FrameOfWindow(owner);
        if (frame && !(frame->flags & kFrameHidden))
            ShowWindow(frame->window, SW_SHOW);
        else if (!frame)
            ShowWindow(owner, SW_SHOW);
        SetForegroundWindow(owner);
    }
    BoxData box = {caption ? caption : gApp.productName, text, style, owner, DefaultButtonOf(style)};
    gApp.DisableFrames(true);
    INT_PTR r =
        DialogBoxParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MOX_MESSAGEBOX), owner, MessageBoxProc, (LPARAM)&box);
    gApp.DisableFrames(false);
    HWND target = (owner && focusItem) ? GetDlgItem(owner, focusItem) : focus;
    if (target)
        SetFocus(target);
    return r > 0 ? (int)r : IDCANCEL;
}
