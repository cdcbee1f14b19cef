// The scheduled update check: a worker thread fetches the version text from
// the install settings' version address, compares it with the program's own
// version and, when a newer one appears that was not announced before,
// opens the "Update Check" dialog (50101) by itself. The dialog also opens
// from the product information dialog.
#pragma once
#include <windows.h>

#define IDD_UPDATE_CHECK 50101
#define IDC_UPDATE_INSTALLED 50135
#define IDC_UPDATE_AVAILABLE 50137
#define IDC_UPDATE_STATUS 50138
#define IDC_UPDATE_DAYS_LABEL 50139
#define IDC_UPDATE_CHECK_NOW 50141
#define IDC_UPDATE_AUTOMATIC 50142
#define IDC_UPDATE_INTERVAL 50143
#define IDC_UPDATE_DOWNLOAD 50147
#define IDC_UPDATE_HELP 9

// Results of StartUpdateCheck.
enum : int { kUpdateStarted = 0, kUpdateStillRunning = 1, kUpdateThreadFailed = 3 };

// Starts a check when the automatic check is on and its interval passed.
void UpdateCheckIfDue();
// Stops a running check (waiting up to 5 s) and starts a new one.
int StartUpdateCheck();
// True while a check runs.
bool UpdateCheckRunning();
// At exit, on the GUI thread: cancels a running check, closes a dialog a
// worker opened, and waits up to ms for each worker to end, so that none
// uses the application object while the program shuts down. No worker
// opens a dialog afterwards. False when one still runs.
bool StopUpdateCheck(DWORD ms);
// The dialog, modal (the product information dialog's way in).
INT_PTR ShowUpdateCheckDialog(HWND owner);
INT_PTR CALLBACK UpdateCheckDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
