// Configuration backup, restore, reset and archive, and the pending restore
// at start-up.
#include "config_backup.h"

#include <shellapi.h>
#include <string.h>

#include "app.h"
#include "base/dyn_array.h"
#include "base/path_util.h"
#include "base/str_util.h"
#include "file_finder.h"
#include "message_box.h"
#include "settings/config_archive.h"
#include "settings/data_folders.h"
#include "shell_util.h"
#include "string_table.h"

namespace {

constexpr UINT kBoxOverwriteQuestion = kBoxQuestion | kBoxYesNoCancel | kBoxBoldFirstLine | kBoxDefaultCancel;
// Text slots of IDS_MOX_CONFIG.
enum { kSlotOverwrite = 0, kSlotFileError = 1, kSlotRestoreError = 2, kSlotWrongProduct = 3, kSlotSkipped = 4 };
// SHFileOperation flags of the pending restore: silent, no confirmation, no
// error interface, no folder confirmation, to the recycle bin.
constexpr FILEOP_FLAGS kRecycleSilently =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR | FOF_ALLOWUNDO;

// The framework's own files: the settings records and the option set, each
// "<name>.qcg" directly in the user data folder. Only these are backed up
// and replaced: a custom data folder may be shared with the user's files.
// (FindFirstFile also matches short names, so "x.qcg_tmp" is filtered out.)
void ListOwnFiles(CDynArray<FinderPath>* files) {
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

// True when the file's name matches one pattern of the ';'-separated keep list.
bool KeepListMatches(const char* keepList, const char* name) {
    char pattern[kCchPath];
    for (const char* p = keepList; *p;) {
        size_t n = strcspn(p, ";");
        if (n > 0 && n < countof(pattern)) {
            memcpy(pattern, p, n);
            pattern[n] = '\0';
            if (CFileFinder::NameMatches(name, pattern))
                return true;
        }
        p += n;
        if (*p == ';')
            p++;
    }
    return false;
}

// Writes the archive: the product entry and, unless empty, every own file.
int WriteArchive(const char* target, bool withFiles) {
    ZipHandle* zip = ZipCreate(target, nullptr);
    if (!zip)
        return kConfigFileError;
    if (AddConfigProductEntry(zip, gApp.productName, gApp.restoreKeepList, gApp.versionMajor, gApp.versionMinor,
                              gApp.versionBuild) != kZipOk) {
        ZipClose(zip);
        DeleteFileA(target);
        return kConfigFileError;
    }
    int failed = 0;
    if (withFiles) {
        CDynArray<FinderPath> files;
        ListOwnFiles(&files);
        for (int i = 0; i < files.count; i++)
            if (ZipAddFile(zip, FileNamePart(*files.At(i)), *files.At(i)) != kZipOk)
                failed++;
    }
    if (ZipClose(zip) != kZipOk) {
        DeleteFileA(target);
        return kConfigFileError;
    }
    return failed ? kConfigSomeSkipped : kConfigDone;
}

bool AskOverwrite(HWND owner) {
    return AppMessageBox(owner, gApp.productName, "%s", kBoxOverwriteQuestion, 0,
                         gApp.Text(IDS_MOX_CONFIG, kSlotOverwrite)) == IDYES;
}

int Restore(HWND owner, const char* chosen) {
    int check = CheckConfigArchive(chosen, gApp.productName);
    if (check == kConfigArchiveWrongProduct)
        return kConfigWrongProduct;
    if (check != kConfigArchiveOk)
        return kConfigFileError;
    if (!AskOverwrite(owner))
        return kConfigCancelled;
    char pending[kCchPath];
    if (!PendingRestorePath(pending, countof(pending)) || !CopyFileA(chosen, pending, FALSE))
        return kConfigRestoreError;
    return kConfigDone;
}

void ShowResult(HWND owner, int operation, int result) {
    int slot = -1;
    if (operation == kConfigRestore) {
        // An archive that cannot be read is said so too: silence looked like success.
        slot = result == kConfigFileError      ? kSlotFileError
               : result == kConfigRestoreError ? kSlotRestoreError
               : result == kConfigWrongProduct ? kSlotWrongProduct
                                               : -1;
    } else if (operation == kConfigBackup || operation == kConfigReset) {
        slot = result == kConfigFileError ? kSlotFileError : result == kConfigSomeSkipped ? kSlotSkipped : -1;
    }
    if (slot >= 0)
        AppMessageBox(owner, gApp.productName, "%s", kBoxErrorOk, 0, gApp.Text(IDS_MOX_CONFIG, slot));
}

}  // namespace

bool PendingRestorePath(char* path, size_t cch) {
    return gUserDataFolder[0] && StrFmt(path, cch, "%s\\%s.%s", gUserDataFolder, gApp.productName, kConfigArchiveExt);
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
            ShowResult(owner, operation, kConfigFileError);
            return kConfigFileError;
        }
    } else if (!path || !StrCopy(target, countof(target), path)) {
        return kConfigFileError;
    }
    int result = operation == kConfigRestore ? Restore(owner, target) : WriteArchive(target, operation != kConfigReset);
    ShowResult(owner, operation, result);
    return result;
}

void UnpackPendingRestore() {
    char pending[kCchPath];
    if (!PendingRestorePath(pending, countof(pending)) || GetFileAttributesA(pending) == INVALID_FILE_ATTRIBUTES)
        return;
    ZipHandle* zip = UnzipOpen(pending, nullptr);
    ConfigArchiveHeader* header = new ConfigArchiveHeader;
    // Nothing is deleted unless every entry reads back whole: a damaged
    // archive must not cost the settings it was to replace.
    if (zip && ReadConfigProductEntry(zip, gApp.productName, header) == kConfigArchiveOk &&
        VerifyConfigArchive(zip, header->index) == kConfigArchiveOk) {
        CDynArray<FinderPath> files;
        ListOwnFiles(&files);
        CDynArray<char> list;  // double-NUL-terminated paths for the shell
        for (int i = 0; i < files.count; i++) {
            const char* file = *files.At(i);
            if (KeepListMatches(header->keepList, FileNamePart(file)) || _stricmp(file, pending) == 0)
                continue;
            list.Add(file, (int)strlen(file) + 1);
        }
        if (list.count) {
            char end = '\0';
            list.Add(&end);
            SHFILEOPSTRUCTA op;
            memset(&op, 0, sizeof op);
            op.wFunc = FO_DELETE;
            op.pFrom = list.Data();
            op.fFlags = kRecycleSilently;
            SHFileOperationA(&op);
        }
        UnzipSetBaseDir(zip, gUserDataFolder);
        ZipItem item;
        int count = UnzipGetItem(zip, -1, &item) == kZipOk ? item.index : 0;
        for (int i = 0; i < count; i++) {
            if (i == header->index || UnzipGetItem(zip, i, &item) != kZipOk)
                continue;
            size_t n = strlen(item.name);
            if (n == 0 || item.name[n - 1] == '/' || item.name[n - 1] == '\\')
                continue;  // folders come with their files
            UnzipItemToFile(zip, i, item.name);
        }
    }
    delete header;
    if (zip)
        UnzipClose(zip);
    DeleteFileA(pending);
}
