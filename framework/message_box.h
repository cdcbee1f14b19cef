// AppMessageBox: the framework's message box (dialog 50100), used for every
// user-visible message. Style word: 0x1 error, 0x2 warning, 0x4 information,
// 0x8 question; 0x10 OK, 0x20 OK/Cancel, 0x40 Yes/No, 0x80 Yes/No/Cancel;
// 0x100 bold first line; 0x200/0x400/0x800/0x1000 default OK/Cancel/Yes/No;
// 0x2000 the class icon is icon resource 2.
#pragma once
#include <windows.h>

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
int AppMessageBox(HWND owner, const char* caption, const char* format, UINT style, int focusItem, ...);
