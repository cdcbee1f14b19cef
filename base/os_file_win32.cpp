// Win32 implementation of the thin file layer.
#include "os_file.h"

#include <string.h>

#include "str_util.h"

struct OsFile {
    HANDLE h;
};

static OsFile* Wrap(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    OsFile* f = new OsFile;
    f->h = h;
    return f;
}

OsFile* OsFileOpenRead(const char* path, bool shareWrite) {
    if (!path)
        return nullptr;
    DWORD share = FILE_SHARE_READ | (shareWrite ? FILE_SHARE_WRITE : 0);
    // BACKUP_SEMANTICS lets folders open, for their attributes and times.
    return Wrap(CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

OsFile* OsFileCreate(const char* path, DWORD attributes) {
    if (!path)
        return nullptr;
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    if (attributes == 0)
        attributes = FILE_ATTRIBUTE_NORMAL;
    return Wrap(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
}

OsFile* OsFileOpenWrite(const char* path, bool append) {
    if (!path)
        return nullptr;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE && append) {
        LARGE_INTEGER zero;
        zero.QuadPart = 0;
        if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) {
            CloseHandle(h);
            return nullptr;
        }
    }
    return Wrap(h);
}

OsFile* OsFileCreateTemp(const char* beside, char* tmp, DWORD cchTmp) {
    char folder[MAX_PATH];
    if (!beside || !tmp || !StrCopy(folder, countof(folder), beside))
        return nullptr;
    char* cut = nullptr;
    for (char* p = folder; *p; p++)
        if (*p == '\\' || *p == '/')
            cut = p + 1;
    if (cut)
        *cut = '\0';
    else
        StrCopy(folder, countof(folder), ".");
    // GetTempFileNameA takes at most MAX_PATH - 14 characters of folder, so
    // that its name fits MAX_PATH. Wine does not check: for a longer folder
    // it creates a file under a mangled name that nothing would delete.
    if (strlen(folder) > MAX_PATH - 14)
        return nullptr;
    char path[MAX_PATH];
    if (!GetTempFileNameA(folder, "vpz", 0, path))
        return nullptr;
    OsFile* f = nullptr;
    if (StrCopy(tmp, cchTmp, path))
        f = Wrap(CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f)
        DeleteFileA(path);
    return f;
}

void OsFileClose(OsFile* f) {
    if (!f)
        return;
    CloseHandle(f->h);
    delete f;
}

bool OsFileRead(OsFile* f, void* buf, DWORD cb, DWORD* done) {
    DWORD n = 0;
    BOOL ok = f && ReadFile(f->h, buf, cb, &n, nullptr);
    if (done)
        *done = n;
    return ok != FALSE;
}

bool OsFileWrite(OsFile* f, const void* buf, DWORD cb, DWORD* done) {
    DWORD n = 0;
    BOOL ok = f && WriteFile(f->h, buf, cb, &n, nullptr);
    if (done)
        *done = n;
    return ok != FALSE;
}

bool OsFileSeek(OsFile* f, uint64_t pos) {
    if (!f)
        return false;
    LARGE_INTEGER li;
    li.QuadPart = (LONGLONG)pos;
    return SetFilePointerEx(f->h, li, nullptr, FILE_BEGIN) != FALSE;
}

bool OsFileTruncateHere(OsFile* f) {
    return f && SetEndOfFile(f->h) != FALSE;
}

bool OsFileGetInfo(OsFile* f, OsFileInfo* info) {
    BY_HANDLE_FILE_INFORMATION bhi;
    if (!f || !info || !GetFileInformationByHandle(f->h, &bhi))
        return false;
    info->attributes = bhi.dwFileAttributes;
    info->creation = bhi.ftCreationTime;
    info->lastAccess = bhi.ftLastAccessTime;
    info->lastWrite = bhi.ftLastWriteTime;
    info->size = ((uint64_t)bhi.nFileSizeHigh << 32) | bhi.nFileSizeLow;
    return true;
}

bool OsFileSetTimes(OsFile* f, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
    return f && SetFileTime(f->h, creation, lastAccess, lastWrite) != FALSE;
}

bool OsCreateFolder(const char* path) {
    if (CreateDirectoryA(path, nullptr))
        return true;
    return OsIsFolder(path);
}

bool OsMoveReplace(const char* from, const char* to) {
    return from && to && MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool OsDeleteFile(const char* path) {
    return path && DeleteFileA(path) != FALSE;
}

bool OsSetAttributes(const char* path, DWORD attributes) {
    attributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    return path && SetFileAttributesA(path, attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool OsIsFolder(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool OsGetCurrentFolder(char* buf, DWORD cch) {
    DWORD n = GetCurrentDirectoryA(cch, buf);
    if (n == 0 || n >= cch)
        return false;
    if (n > 3 && (buf[n - 1] == '\\' || buf[n - 1] == '/'))
        buf[n - 1] = '\0';
    return true;
}

char OsPathSeparator() {
    return '\\';
}

FILETIME OsUtcNow() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ft;
}

bool OsUtcToLocal(const FILETIME* utc, SYSTEMTIME* local) {
    FILETIME lft;
    return FileTimeToLocalFileTime(utc, &lft) && FileTimeToSystemTime(&lft, local);
}

bool OsLocalToUtc(const SYSTEMTIME* local, FILETIME* utc) {
    FILETIME lft;
    return SystemTimeToFileTime(local, &lft) && LocalFileTimeToFileTime(&lft, utc);
}

DWORD OsRandomSeed() {
    return (DWORD)(uintptr_t)GetDesktopWindow() ^ GetTickCount();
}
