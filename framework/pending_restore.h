// The pending restore: a configuration archive that a restore or reset
// leaves in the user data folder under a name of the program's own, which
// no file dialog proposes, and that the next start applies before it reads
// any setting. A backup that the user saves anywhere, under any name, is
// never taken for it.
#pragma once
#include <stddef.h>

// "<user data folder>\(Mox)Restore.qcg_tmp"; false when it does not fit.
bool PendingRestorePath(char* path, size_t cch);

// Start-up: applies the pending-restore file when there is one. An archive
// that is refused (not a zip, another product's, a damaged entry, an entry
// that is not a settings file of ours) changes nothing and is deleted.
// Otherwise every entry is extracted to a temporary file first; only when
// all arrived whole are the current own files (top-level "*.qcg" not
// matched by the keep list, and those the archive replaces) moved aside and
// the new ones moved into place; a failed move puts everything back. The
// pending file is deleted only after success (a failure leaves it for the
// next start); the files moved aside then go to the recycle bin.
// Returns true when the restore was applied.
bool UnpackPendingRestore();
