// Back up, restore, reset and archive the configuration (the settings
// records and the option set, "*.qcg" in the user data folder) as a
// configuration archive, and the start-up step that applies a pending
// restore. A restore or reset never touches files of the running program:
// it leaves "<product>.TarnwickConfig" in the data folder, which the next
// start unpacks before it reads any setting.
#pragma once
#include <windows.h>
#include <stddef.h>

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
    kConfigFileError = 2,     // the archive cannot be opened, read or created
    kConfigRestoreError = 3,  // the pending-restore file cannot be written
    kConfigWrongProduct = 4,
    kConfigSomeSkipped = 5,  // the archive was written without some files
    kConfigBadOperation = -1,
};

// Messages (operations 0-2) go through AppMessageBox with the owner. path:
// the target of kConfigArchiveTo; ignored otherwise. GUI thread for
// operations 0-2; kConfigArchiveTo may run on a worker.
int ConfigBackupRestore(HWND owner, int operation, const char* path);

// "<user data folder>\<product>.TarnwickConfig"; false when it does not fit.
bool PendingRestorePath(char* path, size_t cch);

// Start-up: applies and deletes the pending-restore file when there is one.
// An archive that is not whole (not a zip, another product's, a damaged
// entry, an unsafe name) changes nothing but is deleted as well. Otherwise
// the framework's own files (top-level "*.qcg") not matched by the archive's
// keep list go to the recycle bin and the archive's files are unpacked.
void UnpackPendingRestore();
