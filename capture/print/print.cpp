// Printing the current image on one page: the printer list and settings,
// the margins against the printer's border, header and footer lines, the
// picture's size and position, and the GDI calls.
#include "capture/print/print.h"

#include <stdlib.h>
#include <string.h>
#include <winspool.h>

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/print/header_tokens.h"
#include "capture/print/print_layout.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/message_box.h"

namespace {

typedef char PrinterRow[kCchPath];

// A finished enumeration: names in enumeration order and the default row.
struct PrinterList {
    PrinterRow* names;
    int count;
    int defaultRow;  // -1 when the default printer is not among them
};

struct PrinterState {
    PrinterRow* names;  // heap block of count rows
    int count;
    DEVMODEA* settings[kMaxPrinters];
    int selected;
    HANDLE thread;  // the running enumeration, or 0
    HWND page;      // where the worker posts kMsgPrintersListed
};
PrinterState gPrinters = {nullptr, 0, {}, -1, nullptr, nullptr};
// Handed from the worker to the GUI thread; the only exchange between them.
PrinterList* volatile gReadyList = nullptr;

// One line each, clipped to it: a field with line breaks (a %B of several
// lines) would otherwise run over the picture.
const UINT kDrawFlags = DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE | DT_END_ELLIPSIS;

// With the error code when there is one, else in general words.
void ShowPrintError(HWND owner, UINT textId, DWORD error) {
    if (error)
        AppMessageBox(owner, nullptr, gApp.Text((WORD)textId, 0), kBoxErrorOk, 0, (int)error);
    else
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text((WORD)textId, 1));
}

void FreeList(PrinterList* list) {
    if (!list)
        return;
    free(list->names);
    free(list);
}

// The enumeration itself; null when out of memory.
PrinterList* ListPrinters() {
    PrinterList* list = (PrinterList*)calloc(1, sizeof(PrinterList));
    if (!list)
        return nullptr;
    list->defaultRow = -1;
    char defaultName[kCchPath];
    GetProfileStringA("windows", "device", ",,,", defaultName, (DWORD)countof(defaultName));
    char* comma = strchr(defaultName, ',');
    if (comma)
        *comma = 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count);
    BYTE* info = needed ? (BYTE*)malloc(needed) : nullptr;
    if (info && EnumPrintersA(flags, nullptr, 4, info, needed, &needed, &count) && count > 0) {
        int n = count > (DWORD)kMaxPrinters ? kMaxPrinters : (int)count;
        list->names = (PrinterRow*)calloc((size_t)n, sizeof(PrinterRow));
        if (list->names) {
            const PRINTER_INFO_4A* printers = (const PRINTER_INFO_4A*)info;
            for (int i = 0; i < n; i++) {
                StrCopy(list->names[i], countof(list->names[i]),
                        printers[i].pPrinterName ? printers[i].pPrinterName : "");
                if (list->defaultRow < 0 && defaultName[0] && _stricmp(list->names[i], defaultName) == 0)
                    list->defaultRow = i;
            }
            list->count = n;
        }
    }
    free(info);
    return list;
}

void FreeSettings() {
    for (DEVMODEA*& s : gPrinters.settings) {
        free(s);
        s = nullptr;
    }
}

// A rectangle of the printable area as GDI integers.
RECT ToRect(double left, double top, double width, double height) {
    RECT r = {(LONG)left, (LONG)top, (LONG)(left + width), (LONG)(top + height)};
    return r;
}

// Draws the three fields (left, centre, right) in the line rectangle.
void DrawLine(HDC dc, HWND owner, const RECT& line, const char* const fields[3]) {
    static const UINT kAlign[3] = {DT_LEFT, DT_CENTER, DT_RIGHT};
    for (int i = 0; i < 3; i++) {
        char text[kCchText2];
        ExpandTokens(owner, fields[i], text, countof(text));
        for (char* c = text; *c; c++)
            if (*c == '\r' || *c == '\n')
                *c = ' ';
        RECT r = line;
        DrawTextA(dc, text, -1, &r, kDrawFlags | kAlign[i]);
    }
}

bool AnyText(const char* const fields[3]) {
    return fields[0][0] || fields[1][0] || fields[2][0];
}

// The header and footer lines; the area loses their room.
void DrawHeaderFooter(HDC dc, HWND owner, PrintRect* area) {
    if (!gOpt.Header && !gOpt.Footer)
        return;
    LOGFONTA font = gOpt.HeadFont;
    HDC screen = GetDC(nullptr);
    int screenDpiY = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    font.lfHeight = (LONG)(font.lfHeight * HeaderFontScale(GetDeviceCaps(dc, LOGPIXELSY), screenDpiY));
    HFONT handle = CreateFontIndirectA(&font);
    HGDIOBJ old = handle ? SelectObject(dc, handle) : nullptr;
    SetTextColor(dc, gOpt.HeadFontColor);
    SetBkMode(dc, TRANSPARENT);
    SIZE ag = {0, 0};
    GetTextExtentPoint32A(dc, "Ag", 2, &ag);
    double lineH = ag.cy;
    const char* const head[3] = {gOpt.LHead, gOpt.CHead, gOpt.RHead};
    const char* const foot[3] = {gOpt.LFoot, gOpt.CFoot, gOpt.RFoot};
    if (gOpt.Header && AnyText(head)) {
        DrawLine(dc, owner, ToRect(area->left, area->top, area->width, lineH), head);
        area->top += 2 * lineH;
        area->height -= 2 * lineH;
    }
    if (gOpt.Footer && AnyText(foot)) {
        DrawLine(dc, owner, ToRect(area->left, area->top + area->height - lineH, area->width, lineH), foot);
        area->height -= 2 * lineH;
    }
    if (old)
        SelectObject(dc, old);
    if (handle)
        DeleteObject(handle);
}

PrintDevice DeviceOf(HDC dc) {
    PrintDevice d;
    d.dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    d.dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    d.offX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    d.offY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    d.physW = GetDeviceCaps(dc, PHYSICALWIDTH);
    d.physH = GetDeviceCaps(dc, PHYSICALHEIGHT);
    d.horzRes = GetDeviceCaps(dc, HORZRES);
    d.vertRes = GetDeviceCaps(dc, VERTRES);
    return d;
}

// The picture at screen size in printer pixels. A monitor row's size is
// one monitor's, so it is shared by the primary monitor's pixels (not by
// the virtual screen's, which spans every monitor).
void ScreenSizePixels(const PrintDevice& dev, double* pw, double* ph) {
    float rowW = 0, rowH = 0;
    if (gOpt.Monitor != kMonitorIgnore) {
        MonitorSize row = MonitorSizeOfRow(gOpt.Monitor);
        rowW = row.width;
        rowH = row.height;
    }
    double wCm, hCm;
    ScreenSizeCm(gImage.Width(), gImage.Height(), rowW, rowH, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), gOpt.MonDPI, &wCm, &hCm);
    *pw = wCm / 2.54 * dev.dpiX;
    *ph = hCm / 2.54 * dev.dpiY;
}

// DrawPage's outcome.
enum DrawResult { kPageDrawn, kPageNoRoom, kPageNotDrawn };

// Lays out and draws the page; other than kPageDrawn after a message.
DrawResult DrawPage(HDC dc, HWND owner) {
    PrintDevice dev = DeviceOf(dc);
    PrintMargins m = {gOpt.PrtMrgLft, gOpt.PrtMrgTop, gOpt.PrtMrgRgt, gOpt.PrtMrgBtm};
    PrintRect area;
    bool roomy = LayoutPrintArea(dev, &m, &area);
    gOpt.PrtMrgLft = m.left;
    gOpt.PrtMrgTop = m.top;
    gOpt.PrtMrgRgt = m.right;
    gOpt.PrtMrgBtm = m.bottom;
    // A refused page is never printed: the numbers its lines took are
    // given back, so %N counts printed pages only.
    int nextN = gOpt.NextN;
    if (roomy)
        DrawHeaderFooter(dc, owner, &area);
    if (!roomy || area.height < 1) {
        gOpt.NextN = nextN;
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MARGINS_TOO_LARGE, 0));
        return kPageNoRoom;
    }
    double pw, ph, x, y;
    ScreenSizePixels(dev, &pw, &ph);
    FitPicture(area, gOpt.PrtSize, gOpt.PrtZoom, gOpt.PrtNoClip != 0, &pw, &ph);
    PlacePicture(area, gOpt.PrtPos, pw, ph, &x, &y);

    RECT clip = ToRect(area.left, area.top, area.width, area.height);
    HRGN region = CreateRectRgnIndirect(&clip);
    if (region)
        SelectClipRgn(dc, region);
    HPALETTE palette = gImage.GetPaletteCount() > 0 ? gImage.CreatePaletteHandle() : nullptr;
    HPALETTE oldPalette = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    if (palette)
        RealizePalette(dc);
    SetStretchBltMode(dc, COLORONCOLOR);
    int lines = StretchDIBits(dc, (int)x, (int)y, (int)pw, (int)ph, 0, 0, gImage.Width(), gImage.Height(),
                              gImage.GetPixels(), (const BITMAPINFO*)gImage.GetDibBlock(), DIB_RGB_COLORS, SRCCOPY);
    DWORD error = GetLastError();
    if (oldPalette)
        SelectPalette(dc, oldPalette, FALSE);
    if (palette)
        DeleteObject(palette);
    SelectClipRgn(dc, nullptr);
    if (region)
        DeleteObject(region);
    if (lines == 0) {
        ShowPrintError(owner, IDS_PRINTER_ERROR, error);
        return kPageNotDrawn;
    }
    return kPageDrawn;
}

// Runs one step of the job (StartDoc, StartPage, EndPage, EndDoc), judged
// by its result: 0 or less failed, *error then being the step's own code
// (the last error is cleared first: GDI does not always set one, and an
// older code, say a cancel, is not this step's), ERROR_CANCELLED for the
// user's abort.
template <typename Step>
bool JobStep(Step step, DWORD* error) {
    SetLastError(0);
    int result = step();
    if (result > 0)
        return true;
    *error = result == SP_USERABORT ? ERROR_CANCELLED : GetLastError();
    return false;
}

// A job that the spooler refused or the user cancelled (e.g. a print-to-file
// prompt): the cancel is silent, any other error is shown. Either way the
// image was not printed.
int EndFailedPrint(HWND owner, DWORD error, HWND foreground) {
    if (error == ERROR_CANCELLED)
        return kPrintCancelled;
    ShowPrintError(owner, IDS_PRINTER_ERROR, error);
    if (foreground)
        SetForegroundWindow(foreground);
    return kPrintFailed;
}

}  // namespace

int SelectedPrinter() {
    return gPrinters.selected;
}

void SelectPrinter(int row) {
    gPrinters.selected = row >= 0 && row < gPrinters.count ? row : -1;
}

const char* PrinterName(int row) {
    return row >= 0 && row < gPrinters.count ? gPrinters.names[row] : "";
}

DEVMODEA* PrinterSettings(HWND owner, int row) {
    if (row < 0 || row >= gPrinters.count)
        return nullptr;
    DEVMODEA*& settings = gPrinters.settings[row];
    if (!settings) {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ACCESS_USE};
        if (OpenPrinterA(gPrinters.names[row], &printer, &access) && printer) {
            LONG size = DocumentPropertiesA(owner, printer, gPrinters.names[row], nullptr, nullptr, 0);
            if (size > 0) {
                // Never smaller than the public part, whose fields are set below.
                settings = (DEVMODEA*)calloc(1, (size_t)size > sizeof(DEVMODEA) ? (size_t)size : sizeof(DEVMODEA));
                if (settings &&
                    DocumentPropertiesA(owner, printer, gPrinters.names[row], settings, nullptr, DM_OUT_BUFFER) < 0) {
                    free(settings);
                    settings = nullptr;
                }
            }
            ClosePrinter(printer);
        }
    }
    if (settings) {
        short orientation = (short)gOpt.PrtOrientation;
        if (orientation != DMORIENT_PORTRAIT && orientation != DMORIENT_LANDSCAPE)
            orientation = gImage.Width() > gImage.Height() ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        settings->dmOrientation = orientation;
        settings->dmFields |= DM_ORIENTATION;
    }
    return settings;
}

DWORD WINAPI PrinterListThread(LPVOID inlineFlag) {
    PrinterList* list = ListPrinters();
    PrinterList* stale = (PrinterList*)InterlockedExchangePointer((PVOID volatile*)&gReadyList, list);
    FreeList(stale);
    if (inlineFlag)
        return 0;
    if (gPrinters.page)
        PostMessageA(gPrinters.page, kMsgPrintersListed, 0, 0);
    return 0;
}

void StartPrinterList(HWND page) {
    gPrinters.page = page;
    if (gPrinters.thread) {
        if (WaitForSingleObject(gPrinters.thread, 0) == WAIT_TIMEOUT)
            return;                     // the running enumeration posts to this page
        CloseHandle(gPrinters.thread);  // a new page gets a new list
        gPrinters.thread = nullptr;
    }
    DWORD id;
    gPrinters.thread = CreateThread(nullptr, 0, PrinterListThread, nullptr, 0, &id);
    if (!gPrinters.thread) {
        PrinterListThread((LPVOID)1);
        AdoptPrinterList(GetDlgItem(page, IDC_PRINTER));
    }
}

void AdoptPrinterList(HWND combo) {
    PrinterList* list = (PrinterList*)InterlockedExchangePointer((PVOID volatile*)&gReadyList, nullptr);
    if (!list)
        return;
    FreeSettings();
    free(gPrinters.names);
    gPrinters.names = list->names;
    gPrinters.count = list->count;
    gPrinters.selected = list->defaultRow;
    free(list);
    if (combo)
        SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < gPrinters.count; i++) {
        if (_stricmp(gPrinters.names[i], gOpt.PrtPrinterName) == 0)
            gPrinters.selected = i;  // the stored choice wins over the default
        if (!combo)
            continue;
        LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)gPrinters.names[i]);
        if (item >= 0)
            SendMessageA(combo, CB_SETITEMDATA, (WPARAM)item, i);
    }
    if (!combo || gPrinters.selected < 0)
        return;
    int items = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (int item = 0; item < items; item++)
        if ((int)SendMessageA(combo, CB_GETITEMDATA, item, 0) == gPrinters.selected)
            SendMessageA(combo, CB_SETCURSEL, item, 0);
}

void FreePrinterList() {
    if (gPrinters.thread) {
        WaitForSingleObject(gPrinters.thread, INFINITE);
        CloseHandle(gPrinters.thread);
        gPrinters.thread = nullptr;
    }
    FreeList((PrinterList*)InterlockedExchangePointer((PVOID volatile*)&gReadyList, nullptr));
    FreeSettings();
    free(gPrinters.names);
    gPrinters.names = nullptr;
    gPrinters.count = 0;
    gPrinters.selected = -1;
    gPrinters.page = nullptr;
}

int PrintImage(HWND owner) {
    if (!gImage.IsValid())
        return kPrintNoImage;
    int row = gPrinters.selected;
    if (row < 0 || !PrinterName(row)[0]) {
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_NO_PRINTER, 0));
        return kPrintFailed;
    }
    DEVMODEA* settings = PrinterSettings(owner, row);
    HDC dc = CreateDCA("WINSPOOL", gPrinters.names[row], nullptr, settings);
    if (!dc) {
        ShowPrintError(owner, IDS_PRINTER_ERROR, GetLastError());
        return kPrintFailed;
    }
    if (!(GetDeviceCaps(dc, RASTERCAPS) & RC_STRETCHDIB)) {
        ShowPrintError(owner, IDS_PRINTER_ERROR, GetLastError());
        DeleteDC(dc);
        return kPrintFailed;
    }
    HWND foreground = GetForegroundWindow();
    DOCINFOA doc;
    memset(&doc, 0, sizeof doc);
    doc.cbSize = sizeof doc;
    doc.lpszDocName = gApp.Text(IDS_PRODUCT, 0);
    DWORD error = 0;
    bool started = JobStep([&] { return StartDocA(dc, &doc); }, &error);
    if (!started || !JobStep([&] { return StartPage(dc); }, &error)) {
        if (started)
            AbortDoc(dc);
        DeleteDC(dc);
        return EndFailedPrint(owner, error, foreground);
    }
    DrawResult drawn = DrawPage(dc, owner);
    bool ended = false;
    if (drawn == kPageNoRoom) {  // nothing to print: no empty sheet either
        AbortDoc(dc);
    } else if (!JobStep([&] { return EndPage(dc); }, &error)) {
        AbortDoc(dc);
    } else {
        ended = JobStep([&] { return EndDoc(dc); }, &error);
    }
    DeleteDC(dc);
    // A page that did not reach the printer was not printed, even when the
    // picture was drawn.
    if (drawn == kPageDrawn && !ended)
        return EndFailedPrint(owner, error, foreground);
    if (foreground)
        SetForegroundWindow(foreground);
    return drawn == kPageDrawn ? kPrintDone : kPrintFailed;
}
