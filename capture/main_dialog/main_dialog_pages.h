// What the main dialog shares with its six pages (main_dialog.cpp and the
// page_*.cpp units). GUI thread only.
#pragma once
#include <windows.h>

INT_PTR CALLBACK ActionsPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK CapturePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK SavePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK PrintPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);
INT_PTR CALLBACK SendPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp);

// Every page's WM_INITDIALOG: the framework's dialog preparation, then the
// page moves onto the main dialog's page rectangle.
void InitPage(HWND page);
// What a page's "store" (kMsgPageStore, lParam a PageInput* to fill) found:
// status 0 when everything was stored, else kStatusFieldEmpty or
// kStatusNotNumber (dialog_util.h), and the field that blocks the page (it
// gets the focus, enabled first if it was greyed), or 0 when no field is to
// blame (the hot keys could not be registered).
struct PageInput {
    int status;
    int badField;
};
constexpr PageInput kPageStored = {0, 0};
// The label of the main dialog's button 1018 on the shown page.
void SetNewButtonLabel(const char* label);
// The dialog's DPI (96 when unknown).
UINT DialogDpi(HWND hwnd);
