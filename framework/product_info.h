// The Product Information dialog (50102): product name and version, the
// legal notice, links to the maker's site, the install folder and the data
// folder, and the configuration tools: back up, restore, reset, and the
// settings of the update check and the configuration archive.
#pragma once
#include <windows.h>

#define IDD_MOX_PRODUCT_INFO 50102
#define IDC_MOX_INFO_ICON 50107
#define IDC_MOX_INFO_TITLE 50108
#define IDC_MOX_INFO_RESTORE 50111
#define IDC_MOX_INFO_BACKUP 50112
#define IDC_MOX_INFO_RESET 50113
#define IDC_MOX_INFO_WEB 50116
#define IDC_MOX_INFO_LEGAL 50120
#define IDC_MOX_INFO_INSTALL 50132
#define IDC_MOX_INFO_DATA 50133
#define IDC_MOX_INFO_ARCHIVE 50140
#define IDC_MOX_INFO_UPDATE 50147
#define IDC_MOX_HELP 9

// Shows owner (or the foreground window of this process) and runs the
// dialog modally with the frames disabled. GUI thread only.
void ShowProductInfo(HWND owner, LPARAM param);
INT_PTR CALLBACK ProductInfoDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
// The Help button of the configuration dialogs: the first frame is asked
// for the manual's "About" topic (nothing without a frame).
void ShowAboutHelp();
