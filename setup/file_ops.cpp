// File and folder helpers.
#include "file_ops.h"

#include <string.h>

#include "base/file_util.h"
#include "setup_base.h"

bool CreateFolderWithRetries(const char* path) {
    if (!path || !*path || strlen(path) >= kCchPath2)
        return false;
    for (int attempt = 0; attempt < 11; attempt++) {
        if (CreateFolderPath(path, attempt < 10) == 0)  // pauses 100 ms after a failure
            return true;
    }
    return false;
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

bool FolderExists(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsAbsolutePath(const char* path) {
    if (path[0] == '\\' && path[1] == '\\')
        return true;
    char c = path[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':' && path[2] == '\\';
}

unsigned long long FolderSize(const char* folder) {
    char pattern[kCchPath2];
    if (!StrFmt(pattern, countof(pattern), "%s\\*", folder))
        return 0;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long long total = 0;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            char sub[kCchPath2];
            // Reparse points (junctions) are not followed: they may lead back up.
            if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0 &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                StrFmt(sub, countof(sub), "%s\\%s", folder, fd.cFileName))
                total += FolderSize(sub);
        } else {
            total += ((unsigned long long)fd.nFileSizeHigh << 32) | fd.nFileSizeLow;
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return total;
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
