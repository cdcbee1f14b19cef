// The pending restore: a configuration archive that a restore or reset
// leaves in the user data folder under a name of the program's own, which
// no file dialog proposes, and that the next start applies before it reads
// any setting. A backup that the user saves anywhere, under any name, is
// never taken for it.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "base/str_util.h"

// "<user data folder>\(Mox)Restore.qcg_tmp"; false when it does not fit.
bool PendingRestorePath(char* path, size_t cch);

// Removes the pending-restore file: a restore or reset whose restart the
// user declined. False when it is still there.
bool DiscardPendingRestore();

// Results of UnpackPendingRestore.
enum : int {
    kPendingNone = 0,     // there was no pending restore
    kPendingApplied = 1,  // the settings were replaced
    kPendingRefused = 2,  // not a configuration archive of ours: nothing changed
    kPendingFailed = 3,   // it could not be applied: nothing changed (PendingFailure says why)
};

// Why a pending restore failed: the file it failed on (empty when none)
// and the system's error code.
struct PendingFailure {
    char file[kCchPath];
    DWORD error;
};

// Start-up: applies the pending-restore file when there is one. An archive
// that is refused (not a zip, another product's, a damaged entry, an entry
// that is not a settings file of ours) changes nothing. Otherwise every
// entry is extracted to a temporary file first; only when all arrived
// whole are the current own files (top-level "*.qcg" not matched by the
// keep list, and those the archive replaces) moved aside and the new ones
// moved into place; a failed move puts everything back. The pending file
// is deleted in every case, so that a restore that failed once (and was
// reported) never applies at a later start over newer settings; the files
// moved aside go to the recycle bin. why (may be null) is filled for
// kPendingFailed.
int UnpackPendingRestore(PendingFailure* why = nullptr);
// Start-up's report of a restore that was refused or failed: "Error
// restoring data!" with the file and the system's text for the error.
void ShowPendingFailure(int result, const PendingFailure& why);
