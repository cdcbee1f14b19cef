// The image editor's entry: the dialog that edits the current image.
#pragma once
#include <windows.h>

// The image editor (dialog 102): IDOK, IDCANCEL, or -1 not available.
INT_PTR RunImageEditor(HWND owner, int autoCrop);
extern HWND gEditorDialog;  // the open editor, or 0
