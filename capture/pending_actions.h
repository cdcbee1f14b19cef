// The actions whose units come with printing, Send-To and the image editor
// (pending_actions.cpp until they land).
#pragma once
#include <windows.h>

int PrintImage();
int SendImageTo();
// The image editor (dialog 102): IDOK, IDCANCEL, or -1 not available.
INT_PTR RunImageEditor(HWND owner, int autoCrop);
extern HWND gEditorDialog;  // the open editor, or 0
