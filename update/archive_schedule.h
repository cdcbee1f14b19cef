// The configuration archive schedule: every few days a dated configuration
// archive goes into a folder the user chose, and the oldest ones beyond a
// kept number are deleted. The "Archive Configuration" dialog (50103) sets
// the schedule and archives at once on request.
#pragma once
#include <windows.h>

#define IDD_ARCHIVE 50103
#define IDC_ARCHIVE_DAYS_LABEL 50139
#define IDC_ARCHIVE_NOW 50141
#define IDC_ARCHIVE_AUTOMATIC 50142
#define IDC_ARCHIVE_INTERVAL 50143
#define IDC_ARCHIVE_FOLDER 50144
#define IDC_ARCHIVE_BROWSE 50145
#define IDC_ARCHIVE_KEEP 50146
#define IDC_ARCHIVE_HELP 9

// Results of ArchiveIfDue.
enum : int { kArchiveStarted = 0, kArchiveBusy = 1, kArchiveNoThread = 3, kArchiveNotDue = 4 };
// Results of ArchiveThread.
enum : int {
    kArchiveDone = 0,
    kArchiveNoFolder = 1,
    kArchiveNotWritten = 2,  // the record and the old archives stay as they were
    kArchivePartial = 3,     // written without some files that could not be read: kept, marked, not recorded
    kArchiveJobRunning = 4,  // another job is writing now
};

// Starts the job in a new thread when automatic archiving is on and its
// interval passed; a failed scheduled run is tried again only an interval
// after it. First says once why the last scheduled run failed, if it did
// (a message box: GUI thread).
int ArchiveIfDue();
// The job with the settings of the record; the parameter is ignored. Runs
// in the caller's thread or as the scheduled thread; never two at once.
// The record is written, and older archives pruned, only after the archive
// was written; the archive just written is never pruned.
int ArchiveThread(void* unused);
// The archive's file name for a folder (ending in '\') and a local date;
// false when it does not fit cch. A run whose name is taken already (a
// second run that day, or a clock set back) adds "-2", "-3", ... after the
// date, so that no archive is ever replaced. A partial archive is named
// with "-partial" after the date (and then "-2", ...): it is pruned only
// among the partial ones.
bool ArchiveFileName(const char* folder, const SYSTEMTIME& local, char* path, size_t cch);
bool ArchiveRunning();
// The dialog, modal (the product information dialog's way in).
INT_PTR ShowArchiveDialog(HWND owner);
INT_PTR CALLBACK ArchiveDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
