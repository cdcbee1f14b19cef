// The Print page's two dialogs: page margins (105) and header and footer
// lines (113). GUI thread only.
#pragma once
#include <windows.h>

// IDOK after storing the four margins (cm) in gOpt, IDCANCEL.
INT_PTR CALLBACK MarginsDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
// IDOK after storing the switches, the six templates, gOpt.NextN and
// gOpt.InitN, IDCANCEL.
INT_PTR CALLBACK HeaderFooterDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
