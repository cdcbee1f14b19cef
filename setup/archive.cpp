// The program file's archive, mapped read-only, and the loose files that
// may replace its records.
#include "archive.h"

#include <stdlib.h>
#include <string.h>

#include "file_ops.h"
#include "script.h"
#include "setup_base.h"
#include "setup_state.h"

static struct {
    bool opened;
    int state;
    HANDLE file;
    HANDLE mapping;
    const uint8_t* base;
    size_t size;
    size_t start;  // behind the header
} gArchive;

int OpenSetupArchive() {
    if (gArchive.opened)
        return gArchive.state;
    gArchive.opened = true;
    gArchive.state = kArchiveUnreadable;
    gArchive.file = CreateFileA(gSetup.modulePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (gArchive.file == INVALID_HANDLE_VALUE)
        return gArchive.state;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(gArchive.file, &size) || size.QuadPart <= 0 || (unsigned long long)size.QuadPart > SIZE_MAX)
        return gArchive.state;
    gArchive.mapping = CreateFileMappingA(gArchive.file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!gArchive.mapping)
        return gArchive.state;
    gArchive.base = (const uint8_t*)MapViewOfFile(gArchive.mapping, FILE_MAP_READ, 0, 0, 0);
    if (!gArchive.base)
        return gArchive.state;
    gArchive.size = (size_t)size.QuadPart;
    if (!ArchiveFindHeader(gArchive.base, gArchive.size, &gArchive.start))
        gArchive.state = kArchiveAbsent;
    else
        gArchive.state = ArchiveCheck(gArchive.base, gArchive.size, gArchive.start, nullptr);
    return gArchive.state;
}

void CloseSetupArchive() {
    if (gArchive.base)
        UnmapViewOfFile(gArchive.base);
    if (gArchive.mapping)
        CloseHandle(gArchive.mapping);
    if (gArchive.file && gArchive.file != INVALID_HANDLE_VALUE)
        CloseHandle(gArchive.file);
    memset(&gArchive, 0, sizeof gArchive);
}

bool FirstArchiveRecordName(char* name) {
    return OpenSetupArchive() == kArchiveOk &&
           ArchiveFirstRecordName(gArchive.base, gArchive.size, gArchive.start, name);
}

// A failed CreateFile or WriteFile: 31 for a sharing violation, else 8.
static int WriteFailure(DWORD error) {
    return error == ERROR_SHARING_VIOLATION ? kCodeSharing : kCodeWriteFile;
}

static int WriteBytesTo(const char* target, const void* bytes, size_t cb) {
    if (cb > 0xFFFFFFFFu)
        return kCodeWriteFile;
    HANDLE h = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return WriteFailure(GetLastError());
    bool ok = WriteAll(h, bytes, (DWORD)cb);
    DWORD error = GetLastError();
    CloseHandle(h);
    return ok ? 0 : WriteFailure(error);
}

int ReadArchiveRecord(const char* name, const char* target, int mode, char** buffer, DWORD* length, DWORD extra) {
    if (buffer)
        *buffer = nullptr;
    size_t at;
    uint32_t cb;
    if (OpenSetupArchive() != kArchiveOk ||
        !ArchiveFindRecord(gArchive.base, gArchive.size, gArchive.start, name, &at, &cb))
        return kCodeRecord;
    switch (mode) {
        case kRecordToMemory: {
            if (!buffer || (size_t)cb + extra < cb)
                return kCodeRecord;
            char* copy = (char*)calloc((size_t)cb + extra ? (size_t)cb + extra : 1, 1);
            if (!copy)
                return kCodeRecord;
            memcpy(copy, gArchive.base + at, cb);
            *buffer = copy;
            if (length)
                *length = cb;
            return 0;
        }
        case kRecordToFile:
            return WriteBytesTo(target, gArchive.base + at, cb);
        case kRecordProgramPrefix:
            return WriteBytesTo(target, gArchive.base, at + cb);
    }
    return kCodeRecord;
}

bool FindLooseFile(const char* name, char* path, size_t cch) {
    if (!name || !*name)
        return false;
    bool absolute = IsAbsolutePath(name);
    // A planted file must not take the place of a record for an elevated
    // setup: other names count only where the user pointed setup to them.
    if (!absolute && !gSetup.looseFiles)
        return false;
    if (!StrCopy(path, cch, name))
        return false;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

int CopyFileOrRecord(const char* name, const char* target) {
    // Written beside the target and moved into place when whole: a failed
    // copy (a full disk) leaves the file that was there untouched.
    char building[kCchPath2 + 4];
    if (!StrFmt(building, countof(building), "%s.tmp", target))
        return kCodeWriteFile;
    char loose[kCchPath2];
    int code;
    if (!FindLooseFile(name, loose, countof(loose)))
        code = ReadArchiveRecord(name, building, kRecordToFile, nullptr, nullptr, 0);
    else
        code = CopyFileA(loose, building, FALSE) ? 0 : WriteFailure(GetLastError());
    if (code == 0 && !MoveFileExA(building, target, MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = GetLastError();
        // A program file in use cannot be replaced: the same as a file open elsewhere.
        code = error == ERROR_ACCESS_DENIED && FileExists(target) ? kCodeSharing : WriteFailure(error);
    }
    if (code != 0)
        DeleteFileA(building);
    return code;
}

char* LoadFileOrRecord(const char* name, DWORD* length, DWORD extra) {
    char loose[kCchPath2];
    if (!FindLooseFile(name, loose, countof(loose))) {
        char* buffer = nullptr;
        ReadArchiveRecord(name, nullptr, kRecordToMemory, &buffer, length, extra);
        return buffer;
    }
    HANDLE h =
        CreateFileA(loose, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    char* buffer = nullptr;
    LARGE_INTEGER size;
    if (GetFileSizeEx(h, &size) && size.QuadPart >= 0 && size.QuadPart + extra < 0x7FFFFFFF) {
        DWORD cb = (DWORD)size.QuadPart;
        buffer = (char*)calloc((size_t)cb + extra ? (size_t)cb + extra : 1, 1);
        DWORD done = 0;
        if (buffer && (!ReadFile(h, buffer, cb, &done, nullptr) || done != cb)) {
            free(buffer);
            buffer = nullptr;
        }
        if (buffer && length)
            *length = cb;
    }
    CloseHandle(h);
    return buffer;
}

int ApplyPatch(const char* source, const char* patch, const char* target) {
    int code = CopyFileOrRecord(source, target);
    if (code)
        return code;
    HANDLE h = CreateFileA(target, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return kCodePatch;
    DWORD cb = 0;
    char* data = LoadFileOrRecord(patch, &cb, 0);
    code = data ? 0 : kCodePatch;
    size_t pos = 0;
    PatchRecord r;
    int got;
    while (!code && (got = NextPatchRecord((const uint8_t*)data, cb, &pos, &r)) != 0) {
        LARGE_INTEGER to;
        to.QuadPart = r.offset;
        if (got < 0 || !SetFilePointerEx(h, to, nullptr, FILE_BEGIN) || !WriteAll(h, r.bytes, r.length))
            code = kCodePatch;
    }
    free(data);
    CloseHandle(h);
    return code;
}
