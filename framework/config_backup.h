// Back up, restore, reset and archive the configuration (the settings
// records and the option set, "*.qcg" in the user data folder) as a
// configuration archive. A restore or reset never touches files of the
// running program: it leaves the pending-restore file in the data folder,
// which the next start applies before it reads any setting
// (pending_restore.h).
#pragma once
#include <windows.h>
#include <stddef.h>

#include "base/dyn_array.h"
#include "file_finder.h"
#include "pending_restore.h"

enum : int {
    kConfigRestore = 0,    // from an archive the user picks
    kConfigBackup = 1,     // into an archive the user picks
    kConfigReset = 2,      // an archive with no files: everything goes
    kConfigArchiveTo = 3,  // into the given path, without any message
};

// Results of ConfigBackupRestore.
enum : int {
    kConfigDone = 0,
    kConfigCancelled = 1,
    kConfigFileError = 2,     // the archive cannot be opened or read, or was not written (an old file stays)
    kConfigRestoreError = 3,  // the pending-restore file cannot be written
    kConfigWrongProduct = 4,
    kConfigSomeSkipped = 5,   // the archive was written without some files that could not be opened
    kConfigForeignEntry = 6,  // restore: the archive holds an entry that is not a settings file of ours
    kConfigBadOperation = -1,
};

// Text slots of IDS_MOX_CONFIG.
enum {
    kConfigSlotOverwrite = 0,
    kConfigSlotFileError = 1,
    kConfigSlotRestoreError = 2,
    kConfigSlotWrongProduct = 3,
    kConfigSlotSkipped = 4,
    kConfigSlotNotWritten = 5,
    kConfigSlotForeignEntry = 6,
};

// Messages (operations 0-2) go through AppMessageBox with the owner. path:
// the target of kConfigArchiveTo; ignored otherwise. An archive is written
// to a temporary file beside the target, which replaces the target only
// when every entry and the directory were written. GUI thread for
// operations 0-2; kConfigArchiveTo may run on a worker.
int ConfigBackupRestore(HWND owner, int operation, const char* path);

// The framework's own files: the settings records and the option set, each
// "<name>.qcg" directly in the user data folder (the long names; "x.qcg_tmp"
// is not one). Only these are backed up and replaced: a custom data folder
// may be shared with the user's files.
void ListOwnConfigFiles(CDynArray<FinderPath>* files);
