// The wizard's frame dialog, its fonts and what every page does alike:
// texts with variables, the header band, the program icon and the web link.
#include "wizard.h"

#include <objbase.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "file_ops.h"
#include "messages.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "wizard_pages.h"

WizardState gWizard;

static const char kDefaultLinkText[] = "www.tarnwick.example";
static const char kDefaultLinkTarget[] = "http://www.tarnwick.example/";

void DeleteUiFonts() {
    HFONT* fonts[] = {&gWizard.titleFont, &gWizard.boldFont, &gWizard.linkFont};
    for (HFONT* f : fonts) {
        if (*f)
            DeleteObject(*f);
        *f = nullptr;
    }
}

void CreateUiFonts(int dpi) {
    DeleteUiFonts();
    double scale = gWizard.startDpi > 0 ? (double)dpi / gWizard.startDpi : 1.0;
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
        metrics.lfMessageFont.lfFaceName[0]) {
        LOGFONTA bold = metrics.lfMessageFont;
        bold.lfWeight = FW_BOLD;
        bold.lfHeight = (LONG)(bold.lfHeight * scale);
        LOGFONTA link = bold;
        link.lfWeight = FW_NORMAL;
        link.lfUnderline = TRUE;
        LOGFONTA title = bold;
        memcpy(title.lfFaceName, metrics.lfCaptionFont.lfFaceName, sizeof title.lfFaceName);
        title.lfHeight = (LONG)(bold.lfHeight * 1.3);
        gWizard.boldFont = CreateFontIndirectA(&bold);
        gWizard.linkFont = CreateFontIndirectA(&link);
        gWizard.titleFont = CreateFontIndirectA(&title);
        return;
    }
    gWizard.titleFont =
        CreateFontA((int)(-16 * scale), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    gWizard.boldFont =
        CreateFontA((int)(-14 * scale), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
    gWizard.linkFont =
        CreateFontA((int)(-14 * scale), 0, 0, 0, FW_NORMAL, 0, TRUE, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
}

static void SubstituteText(HWND window) {
    char text[kCchPath];
    if (GetWindowTextA(window, text, countof(text)) <= 0 || !strchr(text, '#'))
        return;
    SubstituteVars(text, countof(text));
    SetWindowTextA(window, text);
}

static BOOL CALLBACK SubstituteChild(HWND child, LPARAM) {
    SubstituteText(child);
    char cls[16];
    if (GetClassNameA(child, cls, countof(cls)) && _stricmp(cls, "Button") == 0 &&
        (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
        SendMessageA(child, WM_SETFONT, (WPARAM)gWizard.boldFont, TRUE);
    return TRUE;
}

void SubstituteDialogTexts(HWND window) {
    SubstituteText(window);
    EnumChildWindows(window, SubstituteChild, 0);
}

static DLGPROC PageProcOf(int id) {
    switch (id) {
        case IDD_WELCOME:
        case IDD_UNINSTALL_WELCOME:
            return WelcomePageProc;
        case IDD_AGREEMENT:
            return AgreementPageProc;
        case IDD_FOLDERS:
            return FolderPageProc;
        case IDD_PROGRESS:
        case IDD_UNINSTALL_PROGRESS:
            return ProgressPageProc;
        default:
            return FinishedPageProc;
    }
}

void OpenPage(HWND from, int id) {
    DLGPROC proc = PageProcOf(id);
    HWND page = CreateDialogParamA(gSetupInstance, MAKEINTRESOURCEA(id), gWizard.frame, proc, (LPARAM)id);
    if (from)
        DestroyWindow(from);
    if (!page) {
        EndWizard(true);
        return;
    }
    SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    HWND next = GetDlgItem(page, IDOK);
    SetFocus(next && IsWindowEnabled(next) ? next : page);
}

void EndWizard(bool cancelled) {
    if (cancelled) {
        gSetup.cancelled = true;
        if (gSetup.outcome == 0)
            gSetup.outcome = kCodeCancelled;
    }
    EndDialog(gWizard.frame, cancelled ? IDCANCEL : IDOK);
}

int WizardMessage(HWND owner, int id, UINT style) {
    if (owner)
        SetForegroundWindow(GetAncestor(owner, GA_ROOT));
    return SetupMessageBox(owner, id, style);
}

PageRecord* PageOf(HWND page) {
    return (PageRecord*)GetWindowLongPtrA(page, DWLP_USER);
}

INT_PTR DialogAnswer(HWND dialog, LRESULT answer) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, answer);
    return TRUE;
}

bool GetAbsolutePathFromEdit(HWND dialog, int edit, char* path, size_t cch) {
    GetDlgItemTextA(dialog, edit, path, (int)cch);
    // In its normal form (a drive's root keeps its backslash: "C:" alone is
    // the current folder of drive C).
    if (NormalFolder(path, path, cch))
        return true;
    WizardMessage(dialog, IDS_ABSOLUTE_PATH, MB_OK | MB_ICONSTOP);
    SendDlgItemMessageA(dialog, edit, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(dialog, edit));
    return false;
}

static void OnPageCreated(HWND page, int id) {
    PageRecord* rec = (PageRecord*)calloc(1, sizeof(PageRecord));
    SetWindowLongPtrA(page, DWLP_USER, (LONG_PTR)rec);
    if (rec)
        rec->id = id;
    gWizard.page = page;
    SubstituteDialogTexts(page);
    char text[kCchPath], target[kCchPath];
    bool custom = GetVar("#URLTEXT#", nullptr, 0) >= 0 && GetVar("#URLLINK#", nullptr, 0) >= 0;
    StrCopy(text, countof(text), custom ? GetVarText("#URLTEXT#") : kDefaultLinkText);
    StrCopy(target, countof(target), custom ? GetVarText("#URLLINK#") : kDefaultLinkTarget);
    SetDlgItemTextA(page, IDC_WEB_LINK, text);
    if (rec)
        AttachHyperlink(&rec->webLink, page, IDC_WEB_LINK, target, 0);
    SendDlgItemMessageA(page, IDC_TITLE, WM_SETFONT, (WPARAM)gWizard.titleFont, TRUE);
}

static void DrawPageIcon(const DRAWITEMSTRUCT* item) {
    FillRect(item->hDC, &item->rcItem, (HBRUSH)GetStockObject(WHITE_BRUSH));
    int side = item->rcItem.right - item->rcItem.left;
    int id = gSetup.mode == kModeUninstall ? IDI_UNINSTALL : IDI_SETUP;
    HICON icon = (HICON)LoadImageA(gSetupInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, side, side, 0);
    if (!icon)
        return;
    DrawIconEx(item->hDC, item->rcItem.left, item->rcItem.top, icon, side, side, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
}

static bool OnHeaderColor(HWND control, HDC dc, INT_PTR* result) {
    int id = GetDlgCtrlID(control);
    if (id != IDC_TITLE && id != IDC_SUBTITLE && id != IDC_HEADER && id != IDC_PAGE_ICON)
        return false;
    SetBkColor(dc, RGB(255, 255, 255));
    *result = (INT_PTR)GetStockObject(WHITE_BRUSH);
    return true;
}

bool HandlePageMessage(HWND page, UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
    *result = 0;
    switch (msg) {
        case WM_INITDIALOG:
            OnPageCreated(page, (int)lp);
            *result = FALSE;
            return false;  // the page goes on
        case WM_CTLCOLORSTATIC:
            return OnHeaderColor((HWND)lp, (HDC)wp, result);
        case WM_DRAWITEM:
            if (wp != IDC_PAGE_ICON)
                return false;
            DrawPageIcon((const DRAWITEMSTRUCT*)lp);
            *result = TRUE;
            return true;
        case kMsgFontsChanged:
            SendDlgItemMessageA(page, IDC_TITLE, WM_SETFONT, (WPARAM)gWizard.titleFont, TRUE);
            SendDlgItemMessageA(page, IDOK, WM_SETFONT, (WPARAM)gWizard.boldFont, TRUE);
            InvalidateRect(page, nullptr, TRUE);
            return true;
        case WM_NCDESTROY:
            if (gWizard.page == page)
                gWizard.page = nullptr;
            free(PageOf(page));
            SetWindowLongPtrA(page, DWLP_USER, 0);
            return false;
    }
    return false;
}

static int WindowDpi(HWND hwnd) {
    typedef UINT(WINAPI * DpiForWindowFn)(HWND);
    DpiForWindowFn dpiFor = (DpiForWindowFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    UINT dpi = dpiFor ? dpiFor(hwnd) : 0;
    return dpi ? (int)dpi : 96;
}

static void OnFrameInit(HWND frame) {
    gWizard.frame = frame;
    gWizard.startDpi = WindowDpi(frame);
    CreateUiFonts(gWizard.startDpi);
    SubstituteText(frame);
    HICON icon = LoadIconA(gSetupInstance, MAKEINTRESOURCEA(IDI_SETUP));
    SetClassLongPtrA(frame, GCLP_HICON, (LONG_PTR)icon);
    OpenPage(nullptr, gSetup.mode == kModeUninstall ? IDD_UNINSTALL_WELCOME : IDD_WELCOME);
}

static void OnFrameDpiChanged(HWND frame, int dpi, const RECT* suggested) {
    CreateUiFonts(dpi);
    if (suggested)
        SetWindowPos(frame, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (gWizard.page)
        SendMessageA(gWizard.page, kMsgFontsChanged, 0, 0);
}

static INT_PTR CALLBACK FrameDialogProc(HWND frame, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnFrameInit(frame);
            return FALSE;  // the page has the focus
        case WM_COMMAND:   // such as Cancel from the system menu: the page decides
            if (gWizard.page)
                PostMessageA(gWizard.page, WM_COMMAND, wp, lp);
            return TRUE;
        case WM_DPICHANGED:
            OnFrameDpiChanged(frame, HIWORD(wp), (const RECT*)lp);
            return TRUE;
    }
    return FALSE;
}

void RunWizard() {
    HRESULT com = CoInitialize(nullptr);  // the folder browser
    memset(&gWizard, 0, sizeof gWizard);
    DialogBoxParamA(gSetupInstance, MAKEINTRESOURCEA(IDD_FRAME), nullptr, FrameDialogProc, 0);
    gSetup.progressPage = nullptr;
    // A worker told to stop ends before its next statement; a running Call
    // terminates its program first.
    if (gWorkerThread)
        WaitForSingleObject(gWorkerThread, 15000);
    DeleteUiFonts();
    if (SUCCEEDED(com))
        CoUninitialize();
}
