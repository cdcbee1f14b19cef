// Configuration backup, restore, reset and archive.
#include "config_backup.h"

#include <string.h>

#include "app.h"
#include "base/os_file.h"
#include "base/path_util.h"
#include "base/str_util.h"
#include "message_box.h"
#include "settings/config_archive.h"
#include "settings/data_folders.h"
#include "shell_util.h"
#include "string_table.h"

namespace {

constexpr UINT kBoxOverwriteQuestion = kBoxQuestion | kBoxYesNoCancel | kBoxBoldFirstLine | kBoxDefaultCancel;

// True when both name the same file (full paths, case ignored).
bool SameFile(const char* a, const char* b) {
    char fullA[kCchPath], fullB[kCchPath];
    DWORD na = GetFullPathNameA(a, countof(fullA), fullA, nullptr);
    DWORD nb = GetFullPathNameA(b, countof(fullB), fullB, nullptr);
    return na > 0 && na < countof(fullA) && nb > 0 && nb < countof(fullB) && _stricmp(fullA, fullB) == 0;
}

// Adds the product entry and, unless withFiles is false, every own file.
// kConfigDone, kConfigSomeSkipped (a file could not be opened: the archive
// is whole without it) or kConfigFileError (something was not written).
int AddEntries(ZipHandle* zip, bool withFiles) {
    if (AddConfigProductEntry(zip, gApp.productName, gApp.restoreKeepList, gApp.versionMajor, gApp.versionMinor,
                              gApp.versionBuild) != kZipOk)
        return kConfigFileError;
    int skipped = 0;
    if (withFiles) {
        CDynArray<FinderPath> files;
        ListOwnConfigFiles(&files);
        for (int i = 0; i < files.count; i++) {
            uint32_t r = ZipAddFile(zip, FileNamePart(*files.At(i)), *files.At(i));
            if (r == kZipErrOpenFile)
                skipped++;  // locked by another program: the rest still makes a backup
            else if (r != kZipOk)
                return kConfigFileError;  // a failed write: the archive is not whole
        }
    }
    return skipped ? kConfigSomeSkipped : kConfigDone;
}

// Writes the archive into a temporary file beside the target and moves it
// over the target only when everything was written and closed: a full
// disk or a failing drive leaves an older file of that name as it was.
int WriteArchive(const char* target, bool withFiles) {
    char tmp[kCchPath];
    OsFile* reserved = OsFileCreateTemp(target, tmp, countof(tmp));
    if (!reserved)
        return kConfigFileError;
    OsFileClose(reserved);
    ZipHandle* zip = ZipCreate(tmp, nullptr);
    if (!zip) {
        DeleteFileA(tmp);
        return kConfigFileError;
    }
    int result = AddEntries(zip, withFiles);
    if (ZipClose(zip) != kZipOk)
        result = kConfigFileError;
    if (result != kConfigFileError && !OsMoveReplace(tmp, target))
        result = kConfigFileError;
    if (result == kConfigFileError)
        DeleteFileA(tmp);
    return result;
}

bool AskOverwrite(HWND owner) {
    return AppMessageBox(owner, gApp.productName, "%s", kBoxOverwriteQuestion, 0,
                         gApp.Text(IDS_MOX_CONFIG, kConfigSlotOverwrite)) == IDYES;
}

int Restore(HWND owner, const char* chosen, char* badEntry, size_t cchBadEntry) {
    int check = CheckConfigArchive(chosen, gApp.productName, badEntry, cchBadEntry);
    if (check == kConfigArchiveWrongProduct)
        return kConfigWrongProduct;
    if (check == kConfigArchiveForeignEntry)
        return kConfigForeignEntry;
    if (check != kConfigArchiveOk)
        return kConfigFileError;
    if (!AskOverwrite(owner))
        return kConfigCancelled;
    char pending[kCchPath];
    if (!PendingRestorePath(pending, countof(pending)) || SameFile(chosen, pending) ||
        !CopyFileA(chosen, pending, FALSE))
        return kConfigRestoreError;
    // A read-only backup must not give a pending file that start-up cannot delete.
    SetFileAttributesA(pending, FILE_ATTRIBUTE_NORMAL);
    return kConfigDone;
}

void ShowResult(HWND owner, int operation, int result, const char* badEntry) {
    int slot = -1;
    if (operation == kConfigRestore) {
        // An archive that cannot be read is said so too: silence looked like success.
        slot = result == kConfigFileError      ? kConfigSlotFileError
               : result == kConfigRestoreError ? kConfigSlotRestoreError
               : result == kConfigWrongProduct ? kConfigSlotWrongProduct
               : result == kConfigForeignEntry ? kConfigSlotForeignEntry
                                               : -1;
    } else if (operation == kConfigBackup || operation == kConfigReset) {
        slot = result == kConfigFileError     ? kConfigSlotNotWritten
               : result == kConfigSomeSkipped ? kConfigSlotSkipped
                                              : -1;
    }
    if (slot == kConfigSlotForeignEntry)
        AppMessageBox(owner, gApp.productName, gApp.Text(IDS_MOX_CONFIG, slot), kBoxErrorOk, 0, badEntry);
    else if (slot >= 0)
        AppMessageBox(owner, gApp.productName, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MOX_CONFIG, slot));
}

}  // namespace

void ListOwnConfigFiles(CDynArray<FinderPath>* files) {
    files->RemoveAll();
    char pattern[kCchPath];
    if (!gUserDataFolder[0] || !StrFmt(pattern, countof(pattern), "%s\\*.qcg", gUserDataFolder))
        return;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        FinderPath path;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || _stricmp(FileExtension(fd.cFileName), "qcg") != 0 ||
            !StrFmt(path, countof(path), "%s\\%s", gUserDataFolder, fd.cFileName))
            continue;
        files->Add(&path);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

int ConfigBackupRestore(HWND owner, int operation, const char* path) {
    if (operation < kConfigRestore || operation > kConfigArchiveTo)
        return kConfigBadOperation;
    char target[kCchPath];
    if (operation == kConfigRestore || operation == kConfigBackup) {
        static const char kFilter[] = "Tarnwick Configuration Data\0*.TarnwickConfig\0";
        char proposed[kCchPath];
        StrFmt(proposed, countof(proposed), "%s.%s", gApp.productName, kConfigArchiveExt);
        const char* chosen = FileDialog(operation == kConfigBackup, kFilter, 0, nullptr, nullptr, proposed);
        if (!chosen || !StrCopy(target, countof(target), chosen))
            return kConfigCancelled;
    } else if (operation == kConfigReset) {
        if (!AskOverwrite(owner))
            return kConfigCancelled;
        if (!PendingRestorePath(target, countof(target))) {
            ShowResult(owner, operation, kConfigFileError, "");
            return kConfigFileError;
        }
    } else if (!path || !StrCopy(target, countof(target), path)) {
        return kConfigFileError;
    }
    char pending[kCchPath];
    char badEntry[kCchPath] = "";
    int result;
    if (operation == kConfigRestore)
        result = Restore(owner, target, badEntry, countof(badEntry));
    else if (operation != kConfigReset && PendingRestorePath(pending, countof(pending)) && SameFile(target, pending))
        result = kConfigFileError;  // a backup there would be applied at the next start
    else
        result = WriteArchive(target, operation != kConfigReset);
    ShowResult(owner, operation, result, badEntry);
    return result;
}
