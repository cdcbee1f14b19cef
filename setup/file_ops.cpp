// File and folder helpers.
#include "file_ops.h"

#include <string.h>

#include "base/file_util.h"
#include "setup_base.h"
#include "setup_state.h"

bool CreateFolderWithRetries(const char* path) {
    if (!path || !*path || strlen(path) >= kCchPath2)
        return false;
    for (int attempt = 0; attempt < 11; attempt++) {
        if (CreateFolderPath(path, attempt < 10) == 0)  // pauses 100 ms after a failure
            return true;
    }
    return false;
}

bool CreateFolderNoted(const char* path) {
    // The levels that are missing now, deepest first.
    char missing[16][kCchPath];
    int count = 0;
    char level[kCchPath];
    if (path && StrCopy(level, countof(level), path)) {
        for (size_t n = strlen(level); n > 0 && level[n - 1] == '\\'; n--)
            level[n - 1] = '\0';
        while (count < 16 && level[0] && !FolderExists(level) && StrCopy(missing[count], kCchPath, level)) {
            count++;
            char* slash = strrchr(level, '\\');
            if (!slash)
                break;
            *slash = '\0';
        }
    }
    if (!CreateFolderWithRetries(path))
        return false;
    while (count > 0 && gSetup.madeCount < (int)countof(gSetup.madeFolders))
        StrCopy(gSetup.madeFolders[gSetup.madeCount++], countof(gSetup.madeFolders[0]), missing[--count]);
    return true;
}

void RemoveNotedFolders(int count) {
    while (count > 0)
        RemoveDirectoryA(gSetup.madeFolders[--count]);  // only when empty
    gSetup.madeCount = 0;
}

bool WriteAll(HANDLE file, const void* bytes, DWORD cb) {
    const BYTE* p = (const BYTE*)bytes;
    while (cb > 0) {
        DWORD done = 0;
        if (!WriteFile(file, p, cb, &done, nullptr) || done == 0)
            return false;
        p += done;
        cb -= done;
    }
    return true;
}

static HANDLE CreateForWriting(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int WriteFileCreatingFolders(const char* path, const void* bytes, DWORD count) {
    HANDLE h = CreateForWriting(path);
    if (h == INVALID_HANDLE_VALUE) {
        char parent[kCchPath2];
        const char* slash = strrchr(path, '\\');
        if (slash && (size_t)(slash - path) < countof(parent)) {
            memcpy(parent, path, slash - path);
            parent[slash - path] = '\0';
            CreateFolderWithRetries(parent);
        }
        h = CreateForWriting(path);
        if (h == INVALID_HANDLE_VALUE)
            return 1;
    }
    bool ok = WriteAll(h, bytes, count);
    CloseHandle(h);
    return ok ? 0 : 2;
}

bool FileExists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

unsigned long long FileSizeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

bool FolderExists(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolutePath(const char* path) {
    if (path[0] == '\\' && path[1] == '\\') {
        // "\\server\share": not "\\" alone, nor the device forms "\\?\" and "\\.\".
        const char* server = path + 2;
        size_t cchServer = strcspn(server, "\\");
        if (cchServer == 0 || server[cchServer] != '\\' || !server[cchServer + 1] || server[cchServer + 1] == '\\')
            return false;
        return !(cchServer == 1 && (server[0] == '?' || server[0] == '.'));
    }
    char c = path[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':' && path[2] == '\\';
}

// Cuts trailing backslashes, keeping a drive root's "X:\\".
static size_t FolderLength(const char* folder) {
    size_t n = strlen(folder);
    while (n > 0 && folder[n - 1] == '\\' && !(n == 3 && folder[1] == ':'))
        n--;
    return n;
}

// The length of an absolute path's root: "X:\" or "\\server\share".
static size_t RootLength(const char* path) {
    if (path[0] != '\\')
        return 3;
    const char* share = strchr(path + 2, '\\');
    return share ? (size_t)(share + 1 - path) + strcspn(share + 1, "\\") : strlen(path);
}

// Long names for the deepest part of path that exists; the rest as it is.
static bool LongNames(char* path, size_t cch) {
    char head[kCchPath2];
    if (!StrCopy(head, countof(head), path))
        return false;
    size_t root = RootLength(path);
    for (;;) {
        char whole[kCchPath2];
        DWORD n = GetLongPathNameA(head, whole, countof(whole));
        if (n > 0 && n < countof(whole))
            return StrCat(whole, countof(whole), path + strlen(head)) && StrCopy(path, cch, whole);
        char* slash = strrchr(head, '\\');
        if (!slash || (size_t)(slash - head) < root)
            return true;  // nothing below the root exists: it stays as it is
        *slash = '\0';
    }
}

bool NormalFolder(const char* folder, char* out, size_t cch) {
    char path[kCchPath2];
    if (!folder || !IsAbsolutePath(folder) || !StrCopy(path, countof(path), folder))
        return false;
    // Once more after a trim: "C:\VPX.\" is "C:\VPX." without its backslash,
    // which Windows trims to "C:\VPX".
    for (int round = 0; round < 4; round++) {
        path[FolderLength(path)] = '\0';
        char full[kCchPath2];
        DWORD n = GetFullPathNameA(path, countof(full), full, nullptr);
        if (n == 0 || n >= countof(full))
            return false;
        full[FolderLength(full)] = '\0';
        bool same = strcmp(full, path) == 0;
        StrCopy(path, countof(path), full);
        if (same)
            break;
    }
    return LongNames(path, countof(path)) && StrCopy(out, cch, path);
}

bool SameFolder(const char* a, const char* b) {
    char normalA[kCchPath2], normalB[kCchPath2];
    if (!NormalFolder(a, normalA, countof(normalA)))
        StrCopy(normalA, countof(normalA), a);
    if (!NormalFolder(b, normalB, countof(normalB)))
        StrCopy(normalB, countof(normalB), b);
    size_t n = FolderLength(normalA);
    return n == FolderLength(normalB) && _strnicmp(normalA, normalB, n) == 0;
}

bool FolderOfFile(const char* path, char* folder, size_t cch) {
    const char* slash = strrchr(path, '\\');
    if (!slash)
        return false;
    size_t n = (size_t)(slash - path) + (slash == path + 2 && path[1] == ':' ? 1 : 0);
    if (n + 1 > cch)
        return false;
    memcpy(folder, path, n);
    folder[n] = '\0';
    return true;
}

bool GetTempFolder(char* path, size_t cch) {
    char temp[MAX_PATH + 1];
    DWORD n = GetTempPathA(countof(temp), temp);
    if (n == 0 || n >= countof(temp))
        return false;
    while (n > 0 && temp[n - 1] == '\\')
        temp[--n] = '\0';
    return StrCopy(path, cch, temp);
}
