// The configuration archive job, its schedule and its dialog.
#include "archive_schedule.h"

#include <limits.h>
#include <string.h>

#include "base/dyn_array.h"
#include "base/path_util.h"
#include "base/str_util.h"
#include "file_enum.h"
#include "framework/app.h"
#include "framework/config_backup.h"
#include "framework/dialog_util.h"
#include "framework/message_box.h"
#include "framework/product_info.h"
#include "framework/shell_util.h"
#include "framework/string_table.h"
#include "schedule_records.h"
#include "settings/config_archive.h"

namespace {

// Slots of IDS_MOX_ARCHIVE.
enum { kSlotBrowseTitle = 0, kSlotDone = 1, kSlotNoPath = 2, kSlotNotWritten = 3 };
constexpr UINT kBoxDone = kBoxInformation | kBoxOk | kBoxBoldFirstLine;
constexpr int kKeepMax = 999;
constexpr int kArchiveIntervalMax = 9999;
// After the date in the name of an archive that lacks some files.
const char kPartialMark[] = "-partial";

// One job at a time: taken by exchange, so "Archive now!" and the
// scheduled thread never write the same archive at once.
volatile LONG gRunning;
volatile HWND gDialog;
bool gWaiting;    // the dialog waits for a scheduled job; its commands but Cancel wait too
bool gWaitEnded;  // Cancel was chosen during that wait
// The record's read, change and write: a job and the dialog's OK each
// change only their own fields of the record as it is then.
SRWLOCK gRecordLock = SRWLOCK_INIT;

// Groups of fields of the record that WriteFields changes.
constexpr unsigned kFieldsSchedule = 1, kFieldsTarget = 2, kFieldsLast = 4, kFieldsFailed = 8;

// Writes the record as it is now with the given fields taken from s:
// schedule (automatic, interval), target (folder, keep count), last time,
// the scheduled run's failure.
void WriteFields(const ArchiveSettings& s, unsigned fields) {
    AcquireSRWLockExclusive(&gRecordLock);
    ArchiveSettings now;
    ReadArchiveSettings(&now);
    if (fields & kFieldsSchedule) {
        now.automatic = s.automatic;
        now.interval = s.interval;
    }
    if (fields & kFieldsTarget) {
        StrCopy(now.folder, countof(now.folder), s.folder);
        now.keep = s.keep;
        now.failedDay = 0;  // a target the user confirmed is tried at the next look, not an interval later
    }
    if (fields & kFieldsLast) {
        now.lastArchive = s.lastArchive;
        // The folder archived to is stored with the '\' the job added,
        // unless another was chosen meanwhile.
        size_t n = strlen(now.folder);
        if (n + 1 == strlen(s.folder) && _strnicmp(now.folder, s.folder, n) == 0)
            StrCopy(now.folder, countof(now.folder), s.folder);
    }
    if (fields & kFieldsFailed) {
        now.failed = s.failed;
        now.failedDay = s.failedDay;
    }
    WriteArchiveSettings(&now);
    ReleaseSRWLockExclusive(&gRecordLock);
}

struct ArchiveFile {
    char path[260];
    FILETIME creation;
};

// Newest first.
int CompareCreationTimeDesc(const ArchiveFile* a, const ArchiveFile* b) {
    return -CompareFileTime(&a->creation, &b->creation);
}

// A name of a partial archive: the mark follows the product's name and the date.
bool IsPartialArchiveName(const char* fileName) {
    size_t n = strlen(gApp.productName);
    return strlen(fileName) > n && FindTextNoCase(fileName + n, kPartialMark) != nullptr;
}

// Deletes all but the keep newest archives of the product in the folder
// among the whole ones, or among the partial ones: a partial archive
// never pushes out a whole one. The archive just written counts as the
// newest whatever its creation time says (a clock set back, or a file
// system that kept an older time).
void PruneArchives(const char* folder, const char* written, int keep, bool partial) {
    CDynArray<ArchiveFile> list;
    CFileEnum files;
    if (!files.Open("%s%s-*.%s", folder, gApp.productName, kConfigArchiveExt))
        return;
    while (files.Next()) {
        ArchiveFile f;
        if (files.Data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ||
            IsPartialArchiveName(files.Data().cFileName) != partial ||
            !StrCopy(f.path, countof(f.path), files.Path()) || !f.path[0] || _stricmp(f.path, written) == 0)
            continue;
        f.creation = files.Data().ftCreationTime;
        list.InsertSorted(&f, CompareCreationTimeDesc);
    }
    for (int i = keep - 1; i < list.count; i++)
        DeleteFileA(list.At(i)->path);
}

// The dated name with a mark ("" or kPartialMark) and, from the second
// of a day on, "-n".
bool DatedName(const char* folder, const SYSTEMTIME& local, const char* mark, int n, char* path, size_t cch) {
    char number[16] = "";
    if (n > 1)
        StrFmt(number, countof(number), "-%d", n);
    return StrFmt(path, cch, "%s%s-%04d.%02d.%02d%s%s.%s", folder, gApp.productName, local.wYear, local.wMonth,
                  local.wDay, mark, number, kConfigArchiveExt);
}

// A name for today's archive that no file has yet: the dated name, then
// "-2", "-3", ... after the date (and the mark), so that a second run of
// a day, or a run after the clock went back, never replaces an older archive.
bool FreeArchiveName(const char* folder, const SYSTEMTIME& local, const char* mark, char* path, size_t cch) {
    for (int n = 1; n <= kKeepMax + 1; n++) {
        if (!DatedName(folder, local, mark, n, path, cch))
            return false;
        if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return false;
}

// A partial archive gets the mark in its name and is pruned among the
// partial ones only. When it cannot be renamed it stays as written.
void KeepPartialArchive(const char* folder, const SYSTEMTIME& local, const char* written, int keep) {
    char partial[kCchPath];
    if (FreeArchiveName(folder, local, kPartialMark, partial, countof(partial)) && MoveFileA(written, partial))
        PruneArchives(folder, partial, keep, true);
}

// The job with the running flag already taken, for the settings given
// (as read from the record, or as the dialog holds them); it gives the
// flag back. Only a whole archive updates the record and prunes the whole
// ones: its last time, and for "Archive now!" (fromDialog) the folder and
// count. A scheduled run that failed is recorded with its day, for
// ArchiveIfDue to report once and to try again an interval later.
int RunJob(ArchiveSettings s, bool fromDialog) {
    int result = kArchiveDone;
    char folder[kCchPath], path[kCchPath];
    StrCopy(folder, countof(folder), s.folder);
    SYSTEMTIME local;
    GetLocalTime(&local);
    if (!folder[0]) {
        result = kArchiveNoFolder;
    } else if (!AddTrailingBackslash(folder, countof(folder)) ||
               !FreeArchiveName(folder, local, "", path, countof(path))) {
        result = kArchiveNotWritten;  // a cut path would write somewhere else
    } else {
        int r = ConfigBackupRestore(gDialog, kConfigArchiveTo, path);
        if (r == kConfigDone) {
            StrCopy(s.folder, countof(s.folder), folder);
            s.lastArchive = UtcDayStart(UnixNow());
            s.failed = kArchiveRunOk;
            s.failedDay = 0;
            WriteFields(s, kFieldsLast | kFieldsFailed | (fromDialog ? kFieldsTarget : 0u));
            PruneArchives(folder, path, s.keep, false);
        } else if (r == kConfigSomeSkipped) {
            // A partial archive (a file could not be read) stays, but counts
            // for nothing: no whole one is pruned for it, and the period's
            // archive is still to be made.
            result = kArchivePartial;
            KeepPartialArchive(folder, local, path, s.keep);
        } else {
            result = kArchiveNotWritten;
        }
    }
    if (result != kArchiveDone && !fromDialog) {
        s.failed = result == kArchivePartial ? kArchiveRunPartial : kArchiveRunNotWritten;
        s.failedDay = (int32_t)(UnixNow() / kSecondsPerDay);
        WriteFields(s, kFieldsFailed);
    }
    InterlockedExchange(&gRunning, 0);
    return result;
}

DWORD WINAPI ScheduledJob(void*) {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    RunJob(s, false);
    return 0;
}

// A number field whose text is empty, not a number or out of its range:
// the user corrects it there, as on the main dialog's pages (focused, its
// text selected).
void ShowFieldError(HWND dlg, int item) {
    HWND field = GetDlgItem(dlg, item);
    if (field && !IsWindowEnabled(field))
        EnableWindow(field, TRUE);
    FocusDlgItemSelectAll(dlg, item);
    MessageBeep(MB_ICONWARNING);
}

// The number of a field when it lies in lo..hi; never clamped, since a
// keep count of 0 made 1 would delete every older archive.
bool ReadNumber(HWND dlg, int item, int lo, int hi, int* value) {
    return GetDlgItemNumber(dlg, item, INT_MIN, INT_MAX, true, value) == 0 && *value >= lo && *value <= hi;
}

// Keep count and folder from the dialog; false after a field error.
bool ReadDialog(HWND dlg, ArchiveSettings* s) {
    int keep;
    if (!ReadNumber(dlg, IDC_ARCHIVE_KEEP, 1, kKeepMax, &keep)) {
        ShowFieldError(dlg, IDC_ARCHIVE_KEEP);
        return false;
    }
    s->keep = keep;
    GetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, s->folder, (int)sizeof s->folder);
    return true;
}

void OnInit(HWND dlg) {
    gApp.PrepareDialog(dlg);
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    SetDlgItemCheck(dlg, IDC_ARCHIVE_AUTOMATIC, s.automatic ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItems(s.automatic != 0, dlg, IDC_ARCHIVE_INTERVAL, IDC_ARCHIVE_DAYS_LABEL, 0);
    SetDlgItemNumber(dlg, IDC_ARCHIVE_INTERVAL, s.interval);
    SetDlgItemNumber(dlg, IDC_ARCHIVE_KEEP, s.keep);
    SendDlgItemMessageA(dlg, IDC_ARCHIVE_FOLDER, EM_LIMITTEXT, sizeof s.folder - 1, 0);
    SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, s.folder);
    gDialog = dlg;
}

void OnOk(HWND dlg) {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    s.automatic = GetDlgItemCheck(dlg, IDC_ARCHIVE_AUTOMATIC) == BST_CHECKED ? 1 : 0;
    int interval;
    if (ReadNumber(dlg, IDC_ARCHIVE_INTERVAL, 1, kArchiveIntervalMax, &interval)) {
        s.interval = interval;
    } else if (s.automatic) {
        ShowFieldError(dlg, IDC_ARCHIVE_INTERVAL);
        return;
    }  // off: a field the user cannot edit keeps the stored interval
    if (!ReadDialog(dlg, &s))
        return;
    if (s.automatic && !s.folder[0]) {
        AppMessageBox(dlg, gApp.productName, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MOX_ARCHIVE, kSlotNoPath));
        return;
    }
    WriteFields(s, kFieldsSchedule | kFieldsTarget);  // a running job may write its last time meanwhile
    ArchiveIfDue();
    gDialog = nullptr;
    EndDialog(dlg, IDOK);
}

// What a job did, said as "Archive now!" says it.
void ShowJobResult(HWND owner, int result) {
    if (result == kArchiveDone)
        AppMessageBox(owner, gApp.productName, "%s", kBoxDone, 0, gApp.Text(IDS_MOX_ARCHIVE, kSlotDone));
    else if (result == kArchivePartial)
        AppMessageBox(owner, gApp.productName, "%s", kBoxWarningOk, 0, gApp.Text(IDS_MOX_CONFIG, kConfigSlotSkipped));
    else
        AppMessageBox(owner, gApp.productName, "%s", kBoxErrorOk, 0,
                      gApp.Text(IDS_MOX_ARCHIVE, result == kArchiveNoFolder ? kSlotNoPath : kSlotNotWritten));
}

// Waits for a scheduled job to end, answering messages meanwhile; Cancel
// ends the wait (a job on a slow drive may take long, and giving up after
// a while said nothing true). False when the user cancelled or the program
// is quitting (the quit message is posted again).
bool WaitForScheduledJob(HWND dlg) {
    gWaiting = true;
    gWaitEnded = false;
    bool quit = false;
    while (gRunning && !quit && !gWaitEnded) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG m;
        while (!quit && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage((int)m.wParam);
                quit = true;
            } else if (!IsDialogMessageA(dlg, &m)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
    }
    gWaiting = false;
    return !quit && !gWaitEnded;
}

// "Archive now!" with the dialog's keep count and folder; the record takes
// them only when the archive was written.
void OnArchiveNow(HWND dlg) {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    if (!ReadDialog(dlg, &s))
        return;
    // A scheduled job writes an archive too: wait for it, then write this
    // one. Cancelled meanwhile, the dialog ends as Cancel does.
    while (InterlockedCompareExchange(&gRunning, 1, 0) != 0) {
        if (!WaitForScheduledJob(dlg)) {
            if (gWaitEnded) {
                gDialog = nullptr;
                EndDialog(dlg, IDCANCEL);
            }
            return;
        }
    }
    ShowJobResult(dlg, RunJob(s, true));
}

void OnCommand(HWND dlg, WORD id) {
    if (gWaiting) {  // "Archive now!" is waiting for a scheduled job
        gWaitEnded = gWaitEnded || id == IDCANCEL;
        return;
    }
    switch (id) {
        case IDOK:
            OnOk(dlg);
            break;
        case IDCANCEL:
            gDialog = nullptr;
            EndDialog(dlg, IDCANCEL);
            break;
        case IDC_ARCHIVE_NOW:
            OnArchiveNow(dlg);
            break;
        case IDC_ARCHIVE_AUTOMATIC:
            EnableDlgItems(GetDlgItemCheck(dlg, IDC_ARCHIVE_AUTOMATIC) == BST_CHECKED, dlg, IDC_ARCHIVE_INTERVAL,
                           IDC_ARCHIVE_DAYS_LABEL, 0);
            break;
        case IDC_ARCHIVE_BROWSE: {
            const char* chosen = BrowseForFolder(gApp.Text(IDS_MOX_ARCHIVE, kSlotBrowseTitle), 0);
            if (chosen)
                SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, chosen);
            break;
        }
        case IDC_ARCHIVE_HELP:
            ShowAboutHelp();
            break;
    }
}

}  // namespace

bool ArchiveFileName(const char* folder, const SYSTEMTIME& local, char* path, size_t cch) {
    return DatedName(folder, local, "", 1, path, cch);
}

bool ArchiveRunning() {
    return gRunning != 0;
}

int ArchiveThread(void*) {
    if (InterlockedCompareExchange(&gRunning, 1, 0) != 0)
        return kArchiveJobRunning;
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    return RunJob(s, false);
}

int ArchiveIfDue() {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    if (s.failed == kArchiveRunNotWritten || s.failed == kArchiveRunPartial) {
        // Said once for each failed run: marked first, so that a tick
        // while the box is open does not say it again.
        int result = s.failed == kArchiveRunPartial ? kArchivePartial : kArchiveNotWritten;
        s.failed |= kArchiveRunReported;
        WriteFields(s, kFieldsFailed);
        ShowJobResult(nullptr, result);
    }
    // A failed run is tried again an interval after it, not at each start
    // and tick: it would say the same again and pile up partial archives.
    int64_t now = UnixNow();
    if (!IsScheduleDue(s.automatic != 0, s.lastArchive, s.interval, now) ||
        (s.failed != kArchiveRunOk && s.failedDay > 0 &&
         !IsScheduleDue(true, (int64_t)s.failedDay * kSecondsPerDay, s.interval, now)))
        return kArchiveNotDue;
    if (InterlockedCompareExchange(&gRunning, 1, 0) != 0)
        return kArchiveBusy;
    HANDLE thread = CreateThread(nullptr, 0, ScheduledJob, nullptr, 0, nullptr);
    if (!thread) {
        InterlockedExchange(&gRunning, 0);
        return kArchiveNoThread;
    }
    CloseHandle(thread);
    return kArchiveStarted;
}

INT_PTR CALLBACK ArchiveDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(dlg);
            return FALSE;
        case WM_COMMAND:
            OnCommand(dlg, LOWORD(wp));
            return TRUE;
        case WM_HELP:
            OnCommand(dlg, IDC_ARCHIVE_HELP);
            return TRUE;
        case WM_DPICHANGED:
            gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            return TRUE;
    }
    return FALSE;
}

INT_PTR ShowArchiveDialog(HWND owner) {
    return gApp.RunModalDialog(owner, IDD_ARCHIVE, ArchiveDlgProc, 1);
}
