// The action whose unit comes with the image editor, and the product
// information dialog (pending_actions.cpp until they land).
#pragma once
#include <windows.h>

// The image editor (dialog 102): IDOK, IDCANCEL, or -1 not available.
INT_PTR RunImageEditor(HWND owner, int autoCrop);
extern HWND gEditorDialog;  // the open editor, or 0
// The framework's product information dialog over the owner.
void ShowProductInfo(HWND owner);
