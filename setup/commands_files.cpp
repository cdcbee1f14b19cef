// File and folder commands: CreateDir, CopyFile, CreateLink, ChangeNotify,
// CopyUninstall, DeleteFile, RemoveDir and PatchFile.
#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "archive.h"
#include "commands.h"
#include "file_ops.h"
#include "registration.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_state.h"
#include "shortcut.h"
#include "uninstaller.h"

int RetryFor(int milliseconds, int (*attempt)(void* context), void* context) {
    DWORD start = GetTickCount();
    for (;;) {
        int code = attempt(context);
        if (code == 0 || milliseconds < 0 || GetTickCount() - start >= (DWORD)milliseconds)
            return code;
        Sleep(100);
    }
}

static int CmdCreateDir(int) {
    SendStatusFmt("Creating folder: %s", gArgs[0]);
    return CreateFolderNoted(gArgs[0]) ? 0 : kCodeCreateDir;
}

struct CopyJob {
    const char* source;
    const char* target;
};

static int CopyAttempt(void* context) {
    CopyJob* job = (CopyJob*)context;
    return CopyFileOrRecord(job->source, job->target);
}

static int CmdCopyFile(int argc) {
    const char* source = gArgs[0];
    const char* option = argc > 2 ? gArgs[2] : "";
    char target[kCchArg];
    StrCopy(target, countof(target), gArgs[1]);
    if (FolderExists(target)) {
        // Into the folder, under the source's own name.
        const char* name = strrchr(source, '\\');
        if (!StrCat(target, countof(target), "\\") || !StrCat(target, countof(target), name ? name + 1 : source))
            return kCodeWriteFile;
    }
    SendStatusFmt("Copying file: %s", target);
    CopyJob job = {source, target};
    int tryTime = GetVarInt("#TRYTIME#");
    int code = RetryFor(tryTime, CopyAttempt, &job);
    if (code == kCodeSharing && _stricmp(option, "REBOOTIFLOCKED") == 0) {
        // A program holds the file: move it aside, delete it at the next
        // restart, and put the new file in its place.
        char aside[kCchArg + 8];
        if (StrFmt(aside, countof(aside), "%s.bak", target) &&
            MoveFileExA(target, aside, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
            MoveFileExA(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            gSetup.rebootNeeded = true;
            code = RetryFor(tryTime < 0 ? 0 : tryTime, CopyAttempt, &job);
        }
    }
    if (code == kCodeSharing)
        code = kCodeWriteFile;
    if (code && _stricmp(option, "SILENT") == 0)
        code = FileExists(target) ? 0 : kCodeWriteFile;
    if (code == 0)
        gSetup.bytesWritten += FileSizeOf(target);
    return code;
}

static int CmdCreateLink(int argc) {
    SendStatusFmt("Creating link: %s", gArgs[1]);
    const char* arguments = argc > 2 ? gArgs[2] : "";
    const char* icon = argc > 3 && *gArgs[3] ? gArgs[3] : gArgs[0];
    return CreateShortcut(gArgs[0], gArgs[1], arguments, icon) == 0 ? 0 : kCodeCreateLink;
}

static int CmdChangeNotify(int) {
    SendStatusFmt("Applying changes: %s", gArgs[0]);
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHA, gArgs[0], nullptr);
    return 0;
}

static int CmdCopyUninstall(int) {
    SendStatusFmt("Copying file: %s", gArgs[0]);
    if (FileExists(gArgs[0]) && !IsOwnUninstaller(gArgs[0])) {
        // Another program's uninstaller in the chosen folder: never overwritten.
        char note[kCchText];
        StrFmt(note, countof(note), "%s belongs to another program and was not replaced", gArgs[0]);
        AddLogNote(note);
        return kCodeWriteFile;
    }
    int code = BuildUninstaller(gArgs[0]);
    if (code == 0)
        gSetup.bytesWritten += FileSizeOf(gArgs[0]);
    return code;
}

// The uninstaller that started this temporary copy waits for it, and
// Windows deletes no running program file; it can be moved, though, within
// its drive: beside the copy, or else into the parent of its folder (the
// temporary folder may lie on another drive). The copy's self-deletion
// removes it once both have ended.
static bool MoveOriginalAside(const char* path) {
    if (!gSetup.originalPath[0] || _stricmp(path, gSetup.originalPath) != 0)
        return false;
    char aside[kCchPath2], folder[kCchPath], parent[kCchPath];
    if (StrFmt(aside, countof(aside), "%s.old", gSetup.modulePath) &&
        MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING)) {
        StrCopy(gSetup.asidePath, countof(gSetup.asidePath), aside);
        return true;
    }
    // The parent of a drive's root is the root itself.
    if (!FolderOfFile(path, folder, countof(folder)) || !FolderOfFile(folder, parent, countof(parent)))
        StrCopy(parent, countof(parent), folder);
    size_t n = strlen(parent);
    if (!StrFmt(aside, countof(aside), "%s%s_QvU%08lX.old", parent, n && parent[n - 1] == '\\' ? "" : "\\",
                (unsigned long)GetCurrentProcessId()) ||
        strlen(aside) >= countof(gSetup.asidePath) || !MoveFileExA(path, aside, MOVEFILE_REPLACE_EXISTING))
        return false;
    StrCopy(gSetup.asidePath, countof(gSetup.asidePath), aside);
    return true;
}

static int DeleteAttempt(void* context) {
    const char* path = (const char*)context;
    return DeleteFileA(path) || !FileExists(path) || MoveOriginalAside(path) ? 0 : 1;
}

// DeleteFile pattern [, names]: with names (separated by "|"), only the
// matches named there: the files an install put into a folder it shares.
static int CmdDeleteFile(int argc) {
    const char* pattern = gArgs[0];
    const char* only = argc > 1 ? gArgs[1] : nullptr;
    const char* slash = strrchr(pattern, '\\');
    size_t folderLength = slash ? (size_t)(slash - pattern) + 1 : 0;
    int tryTime = GetVarInt("#TRYTIME#");
    if (tryTime < 1000)
        tryTime = 1000;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        char path[kCchPath2];
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || folderLength >= countof(path) ||
            (only && !ListHasName(only, fd.cFileName)))
            continue;
        memcpy(path, pattern, folderLength);
        path[folderLength] = '\0';
        if (!StrCat(path, countof(path), fd.cFileName))
            continue;
        SendStatusFmt("Deleting file: %s", path);
        RetryFor(tryTime, DeleteAttempt, path);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return 0;
}

// A drive's root ("C:\\", "C:"), which no one removes.
static bool IsDriveRoot(const char* folder) {
    return folder[0] && folder[1] == ':' && (!folder[2] || (folder[2] == '\\' && !folder[3]));
}

// RemoveDir folder [, SILENT]: with "SILENT" a folder that still holds
// files (one that other programs share) is no failure.
static int CmdRemoveDir(int argc) {
    SendStatusFmt("Removing directory: %s", gArgs[0]);
    if (!FolderExists(gArgs[0]) || IsDriveRoot(gArgs[0]))
        return 0;
    if (RemoveDirectoryA(gArgs[0]))
        return 0;
    return argc > 1 && _stricmp(gArgs[1], "SILENT") == 0 ? 0 : kCodeRemoveDir;
}

static int CmdPatchFile(int) {
    SendStatusFmt("Patching file: %s", gArgs[0]);
    // The target: the folder and the patch's name with the source's last
    // three characters in place of its own (x.pat for x.exe gives x.exe).
    const char* patchName = strrchr(gArgs[1], '\\');
    patchName = patchName ? patchName + 1 : gArgs[1];
    char target[kCchArg];
    size_t sourceLength = strlen(gArgs[0]);
    if (!StrFmt(target, countof(target), "%s\\%s", gArgs[2], patchName) || strlen(target) < 3 || sourceLength < 3)
        return kCodePatch;
    memcpy(target + strlen(target) - 3, gArgs[0] + sourceLength - 3, 3);
    return ApplyPatch(gArgs[0], gArgs[1], target);
}

void InstallFileCommands() {
    SetCommandHandler(kKwCreateDir, CmdCreateDir);
    SetCommandHandler(kKwCopyFile, CmdCopyFile);
    SetCommandHandler(kKwCreateLink, CmdCreateLink);
    SetCommandHandler(kKwChangeNotify, CmdChangeNotify);
    SetCommandHandler(kKwCopyUninstall, CmdCopyUninstall);
    SetCommandHandler(kKwDeleteFile, CmdDeleteFile);
    SetCommandHandler(kKwRemoveDir, CmdRemoveDir);
    SetCommandHandler(kKwPatchFile, CmdPatchFile);
}
