// The pending restore at start-up: check, extract to temporary files,
// swap them in with the way back kept, and only then forget the archive.
#include "pending_restore.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "app.h"
#include "base/dyn_array.h"
#include "base/os_file.h"
#include "base/path_util.h"
#include "base/str_util.h"
#include "config_backup.h"
#include "file_finder.h"
#include "message_box.h"
#include "settings/config_archive.h"
#include "settings/data_folders.h"

namespace {

// SHFileOperation flags for the replaced files: silent, no confirmation, no
// error interface, no folder confirmation, to the recycle bin.
constexpr FILEOP_FLAGS kRecycleSilently =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR | FOF_ALLOWUNDO;

// One file of the swap: where it is now and where it belongs.
struct FileMove {
    char from[kCchPath];
    char to[kCchPath];
};

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

// Keeps the first failure: the file and the error of the failing call.
void Note(PendingFailure* why, const char* file, DWORD error) {
    if (why->error)
        return;
    StrCopy(why->file, countof(why->file), file);
    why->error = error ? error : ERROR_GEN_FAILURE;
}

// A new empty file with a unique name in the data folder; false when none
// could be made.
bool MakeTempName(char* tmp, size_t cch, PendingFailure* why) {
    char beside[kCchPath];
    SetLastError(0);
    OsFile* f =
        StrFmt(beside, countof(beside), "%s\\x", gUserDataFolder) ? OsFileCreateTemp(beside, tmp, (DWORD)cch) : nullptr;
    if (!f) {
        // No error code: the folder's path is too long for a file name in it.
        DWORD error = GetLastError();
        Note(why, gUserDataFolder, error ? error : ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    OsFileClose(f);
    return true;
}

// Extracts one entry, the file `to` of the data folder, into a new
// temporary file (its CRC checked by the reader, its size bounded by the
// check before). False, with no file left, when it did not arrive whole.
bool ExtractToTemp(ZipHandle* zip, int index, const char* to, char* tmp, size_t cch, PendingFailure* why) {
    if (!MakeTempName(tmp, cch, why))
        return false;
    OsFile* out = OsFileOpenWrite(tmp, false);
    DWORD error = out ? ERROR_INVALID_DATA : GetLastError();  // a damaged entry unless a write says otherwise
    ZipItem item;
    bool ok = out && UnzipGetItem(zip, index, &item) == kZipOk && item.uncompressedSize <= kCbMaxConfigEntry;
    uint32_t left = ok ? item.uncompressedSize : 0;  // the reader delivers exactly this much
    static const uint32_t kCbBlock = 16384;
    char* block = new char[kCbBlock];
    for (uint32_t r = kZipMoreData; ok && r == kZipMoreData;) {
        r = UnzipItemToMemory(zip, index, block, kCbBlock);
        // A call that ends the entry delivered what was left of it.
        uint32_t got = r == kZipMoreData ? kCbBlock : left;
        DWORD done = 0;
        ok = (r == kZipOk || r == kZipMoreData) && got <= left;
        if (ok && got > 0 && (!OsFileWrite(out, block, got, &done) || done != got)) {
            error = done != got && GetLastError() == 0 ? ERROR_DISK_FULL : GetLastError();
            ok = false;
        }
        left -= ok ? got : 0;
    }
    ok = ok && left == 0;
    delete[] block;
    if (out)
        OsFileClose(out);
    if (!ok) {
        Note(why, to, error);
        DeleteFileA(tmp);
    }
    return ok;
}

// Moves each listed file back from `to` to `from`, the last first.
void MoveBack(const CDynArray<FileMove>& moves, int count) {
    for (int i = count - 1; i >= 0; i--)
        OsMoveReplace(moves.At(i)->to, moves.At(i)->from);
}

void DeleteFroms(const CDynArray<FileMove>& moves) {
    for (int i = 0; i < moves.count; i++)
        DeleteFileA(moves.At(i)->from);
}

// Every entry but the product entry into a temporary file (`from`) with its
// place in the data folder (`to`). False, with no file left, on any failure.
bool ExtractAll(ZipHandle* zip, int productIndex, CDynArray<FileMove>* extracted, PendingFailure* why) {
    ZipItem item;
    int count = UnzipGetItem(zip, -1, &item) == kZipOk ? item.index : 0;
    for (int i = 0; i < count; i++) {
        if (i == productIndex)
            continue;
        FileMove m;
        m.to[0] = '\0';
        char name[kCchPath];
        bool ok = UnzipGetStoredName(zip, i, name, countof(name)) == kZipOk && IsOwnConfigEntryName(name) &&
                  StrFmt(m.to, countof(m.to), "%s\\%s", gUserDataFolder, name) &&
                  ExtractToTemp(zip, i, m.to, m.from, countof(m.from), why);
        if (!ok || extracted->Add(&m) < 0) {
            Note(why, m.to, ok ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_DATA);  // unless the extraction said why
            if (ok)
                DeleteFileA(m.from);
            DeleteFroms(*extracted);
            return false;
        }
    }
    return true;
}

// True when an extracted file will take the path's place.
bool IsReplaced(const CDynArray<FileMove>& extracted, const char* path) {
    for (int i = 0; i < extracted.count; i++)
        if (_stricmp(extracted.At(i)->to, path) == 0)
            return true;
    return false;
}

// Moves the current own files that the restore replaces or removes to
// temporary names (`from` the file, `to` the temporary name). False, with
// every file back in its place, when one could not be moved.
bool MoveAside(const char* keepList, const CDynArray<FileMove>& extracted, CDynArray<FileMove>* aside,
               PendingFailure* why) {
    CDynArray<FinderPath> files;
    ListOwnConfigFiles(&files);
    for (int i = 0; i < files.count; i++) {
        const char* file = *files.At(i);
        if (KeepListMatches(keepList, FileNamePart(file)) && !IsReplaced(extracted, file))
            continue;
        FileMove m;
        bool ok = StrCopy(m.from, countof(m.from), file) && MakeTempName(m.to, countof(m.to), why);
        if (ok && !OsMoveReplace(m.from, m.to)) {
            Note(why, m.from, GetLastError());  // held open by another program, as a rule
            DeleteFileA(m.to);
            ok = false;
        }
        if (!ok || aside->Add(&m) < 0) {
            if (ok)
                OsMoveReplace(m.to, m.from);
            MoveBack(*aside, aside->count);
            return false;
        }
    }
    return true;
}

// Sends the files moved aside to the recycle bin; what stays is deleted.
void RecycleAside(const CDynArray<FileMove>& aside) {
    CDynArray<char> list;  // double-NUL-terminated paths for the shell
    for (int i = 0; i < aside.count; i++)
        list.Add(aside.At(i)->to, (int)strlen(aside.At(i)->to) + 1);
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
    for (int i = 0; i < aside.count; i++)
        DeleteFileA(aside.At(i)->to);
}

bool DeletePending(const char* pending) {
    SetFileAttributesA(pending, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(pending) != FALSE;
}

// The swap, once every entry was extracted: the pending file is deleted
// only when every new file is in place; otherwise all goes back.
bool Swap(const char* pending, const char* keepList, const CDynArray<FileMove>& extracted, PendingFailure* why) {
    CDynArray<FileMove> aside;
    if (!MoveAside(keepList, extracted, &aside, why)) {
        DeleteFroms(extracted);
        return false;
    }
    int placed = 0;
    while (placed < extracted.count && OsMoveReplace(extracted.At(placed)->from, extracted.At(placed)->to))
        placed++;
    if (placed < extracted.count)
        Note(why, extracted.At(placed)->to, GetLastError());
    // A pending file that stays would apply the same archive at every start.
    if (placed == extracted.count) {
        if (DeletePending(pending)) {
            RecycleAside(aside);
            return true;
        }
        Note(why, pending, GetLastError());
    }
    for (int i = 0; i < placed; i++)
        DeleteFileA(extracted.At(i)->to);
    for (int i = placed; i < extracted.count; i++)
        DeleteFileA(extracted.At(i)->from);
    MoveBack(aside, aside.count);
    return false;
}

}  // namespace

bool PendingRestorePath(char* path, size_t cch) {
    // Not "*.qcg", so never backed up or replaced itself; "*.qcg_tmp", so
    // the uninstaller removes it with the settings.
    return gUserDataFolder[0] && StrFmt(path, cch, "%s\\(Mox)Restore.qcg_tmp", gUserDataFolder);
}

bool DiscardPendingRestore() {
    char pending[kCchPath];
    return !PendingRestorePath(pending, countof(pending)) || GetFileAttributesA(pending) == INVALID_FILE_ATTRIBUTES ||
           DeletePending(pending);
}

int UnpackPendingRestore(PendingFailure* why) {
    PendingFailure own;
    if (!why)
        why = &own;
    why->file[0] = '\0';
    why->error = 0;
    char pending[kCchPath];
    if (!PendingRestorePath(pending, countof(pending)) || GetFileAttributesA(pending) == INVALID_FILE_ATTRIBUTES)
        return kPendingNone;
    ZipHandle* zip = UnzipOpen(pending, nullptr);
    ConfigArchiveHeader* header = new ConfigArchiveHeader;
    bool refused = !zip || ReadConfigProductEntry(zip, gApp.productName, header) != kConfigArchiveOk ||
                   VerifyConfigArchive(zip, header->index) != kConfigArchiveOk;
    CDynArray<FileMove> extracted;
    bool ready = !refused && ExtractAll(zip, header->index, &extracted, why);
    if (zip)
        UnzipClose(zip);
    bool applied = ready && Swap(pending, header->keepList, extracted, why);
    delete header;
    // A refused archive can never apply; a failed one, once reported, must
    // not apply weeks later over settings changed since: both go.
    if (!applied)
        DeletePending(pending);
    return applied ? kPendingApplied : refused ? kPendingRefused : kPendingFailed;
}

void ShowPendingFailure(int result, const PendingFailure& why) {
    const char* title = gApp.Text(IDS_MOX_CONFIG, kConfigSlotRestoreError);
    if (result == kPendingRefused) {
        AppMessageBox(nullptr, gApp.productName, "%s\n%s", kBoxErrorOk, 0, title,
                      gApp.Text(IDS_MOX_CONFIG, kConfigSlotFileError));
        return;
    }
    char cause[kCchText] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, why.error, 0, cause,
                             (DWORD)countof(cause), nullptr);
    while (n > 0 && (cause[n - 1] == '\r' || cause[n - 1] == '\n' || cause[n - 1] == ' '))
        cause[--n] = '\0';
    if (n == 0)
        StrFmt(cause, countof(cause), "Error %lu", why.error);
    AppMessageBox(nullptr, gApp.productName, "%s\n%s\n%s", kBoxErrorOk, 0, title, why.file, cause);
}
