// The configuration archive job, its schedule and its dialog.
#include "archive_schedule.h"

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

// One job at a time: taken by exchange, so "Archive now!" and the
// scheduled thread never write the same archive at once.
volatile LONG gRunning;
volatile HWND gDialog;

struct ArchiveFile {
    char path[260];
    FILETIME creation;
};

// Newest first.
int CompareCreationTimeDesc(const ArchiveFile* a, const ArchiveFile* b) {
    return -CompareFileTime(&a->creation, &b->creation);
}

// Deletes all but the keep newest archives of the product in the folder.
void PruneArchives(const char* folder, int keep) {
    CDynArray<ArchiveFile> list;
    CFileEnum files;
    if (!files.Open("%s%s-*.%s", folder, gApp.productName, kConfigArchiveExt))
        return;
    while (files.Next()) {
        ArchiveFile f;
        if (files.Data().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ||
            !StrCopy(f.path, countof(f.path), files.Path()) || !f.path[0])
            continue;
        f.creation = files.Data().ftCreationTime;
        list.InsertSorted(&f, CompareCreationTimeDesc);
    }
    for (int i = keep; i < list.count; i++)
        DeleteFileA(list.At(i)->path);
}

// The job with the running flag already taken; it gives it back.
int RunJob() {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    int result = kArchiveDone;
    char folder[kCchPath], path[kCchPath];
    StrCopy(folder, countof(folder), s.folder);
    SYSTEMTIME local;
    GetLocalTime(&local);
    if (!folder[0]) {
        result = kArchiveNoFolder;
    } else if (!AddTrailingBackslash(folder, countof(folder)) || !ArchiveFileName(folder, local, path, countof(path))) {
        result = kArchiveNotWritten;  // a cut path would write somewhere else
    } else {
        int r = ConfigBackupRestore(gDialog, kConfigArchiveTo, path);
        if (r != kConfigDone && r != kConfigSomeSkipped) {
            result = kArchiveNotWritten;
        } else {
            // Some files skipped: the archive exists and counts as this period's.
            result = r == kConfigSomeSkipped ? kArchivePartial : kArchiveDone;
            StrCopy(s.folder, countof(s.folder), folder);
            s.lastArchive = UtcDayStart(UnixNow());
            WriteArchiveSettings(&s);
            PruneArchives(folder, s.keep);
        }
    }
    InterlockedExchange(&gRunning, 0);
    return result;
}

DWORD WINAPI ScheduledJob(void*) {
    RunJob();
    return 0;
}

void ReadDialog(HWND dlg, ArchiveSettings* s) {
    GetDlgItemNumber(dlg, IDC_ARCHIVE_KEEP, 1, kKeepMax, false, &s->keep);
    GetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, s->folder, (int)sizeof s->folder);
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
    GetDlgItemNumber(dlg, IDC_ARCHIVE_INTERVAL, 1, kArchiveIntervalMax, false, &s.interval);
    ReadDialog(dlg, &s);
    if (s.automatic && !s.folder[0]) {
        AppMessageBox(dlg, gApp.productName, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MOX_ARCHIVE, kSlotNoPath));
        return;
    }
    WriteArchiveSettings(&s);
    ArchiveIfDue();
    gDialog = nullptr;
    EndDialog(dlg, IDOK);
}

void OnArchiveNow(HWND dlg) {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    ReadDialog(dlg, &s);
    WriteArchiveSettings(&s);
    // A scheduled job writes today's archive too: wait for it, then write
    // this one (it replaces that archive with the same content).
    for (int i = 0; i < 600 && gRunning; i++)
        Sleep(50);
    int r = ArchiveThread(nullptr);
    if (r == kArchiveDone || r == kArchivePartial) {
        AppMessageBox(dlg, gApp.productName, "%s", kBoxDone, 0, gApp.Text(IDS_MOX_ARCHIVE, kSlotDone));
        if (r == kArchivePartial)
            AppMessageBox(dlg, gApp.productName, "%s", kBoxWarningOk, 0, gApp.Text(IDS_MOX_CONFIG, 4));
        return;
    }
    int slot = r == kArchiveNoFolder ? kSlotNoPath : kSlotNotWritten;
    AppMessageBox(dlg, gApp.productName, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MOX_ARCHIVE, slot));
}

void OnCommand(HWND dlg, WORD id) {
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
    return StrFmt(path, cch, "%s%s-%04d.%02d.%02d.%s", folder, gApp.productName, local.wYear, local.wMonth, local.wDay,
                  kConfigArchiveExt);
}

bool ArchiveRunning() {
    return gRunning != 0;
}

int ArchiveThread(void*) {
    if (InterlockedCompareExchange(&gRunning, 1, 0) != 0)
        return kArchiveJobRunning;
    return RunJob();
}

int ArchiveIfDue() {
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    if (!IsScheduleDue(s.automatic != 0, s.lastArchive, s.interval, UnixNow()))
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
