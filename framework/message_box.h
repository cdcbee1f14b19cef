// AppMessageBox: the framework's message box (dialog 50100), used for every
// user-visible message, with the style word below.
#pragma once
#include <windows.h>

#include "base/str_util.h"

// Style word: one icon (with its sound), one button set, the options.
enum : UINT {
    kBoxError = 0x1,
    kBoxWarning = 0x2,
    kBoxInformation = 0x4,
    kBoxQuestion = 0x8,
    kBoxOk = 0x10,
    kBoxOkCancel = 0x20,
    kBoxYesNo = 0x40,
    kBoxYesNoCancel = 0x80,
    kBoxBoldFirstLine = 0x100,
    kBoxDefaultOk = 0x200,  // default button; without one Yes when there is one, else OK
    kBoxDefaultCancel = 0x400,
    kBoxDefaultYes = 0x800,
    kBoxDefaultNo = 0x1000,
    kBoxOwnIcon = 0x2000,  // the class icon is icon resource 2
};
// The words of the program's errors and warnings.
constexpr UINT kBoxErrorOk = kBoxError | kBoxOk | kBoxBoldFirstLine;
constexpr UINT kBoxWarningOk = kBoxWarning | kBoxOk | kBoxBoldFirstLine;

// Dialog and control ids (the resource lives in framework.rc).
#define IDD_MOX_MESSAGEBOX 50100
#define IDC_MOX_MSGICON 50106
#define IDC_MOX_MSGFIRST 50108
#define IDC_MOX_MSGREST 50109

// The text is format applied to the arguments (at most 1023 characters);
// caption null: the product name; owner null: the foreground window of this
// process, if any. focusItem: the owner's dialog item that gets the focus
// afterwards (0: the window that had it before). Returns 1 OK, 2 Cancel,
// 6 Yes, 7 No.
int AppMessageBox(HWND owner, const char* caption, const char* format, UINT style, int focusItem, ...)
    __attribute__((format(STR_PRINTF_FORMAT, 3, 6)));
