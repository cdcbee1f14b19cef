// File and hexadecimal helpers.
#include "file_util.h"

#include <string.h>

#include <chrono>
#include <thread>

#include "os_file.h"
#include "str_util.h"

static bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

int TryCreateFolder(const char* path, bool wait) {
    if (path && *path && OsCreateFolder(path))
        return 0;
    if (wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 1;
}

int CreateFolderPath(const char* path, bool wait) {
    if (!path || !*path)
        return 2;
    char buf[kCchPath2];
    if (!StrCopy(buf, countof(buf), path))
        return 1;  // a cut path would create the wrong folder
    size_t n = strlen(buf);
    while (n > 0 && IsSeparator(buf[n - 1]))
        buf[--n] = '\0';
    if (n == 0)
        return 2;
    if (OsIsFolder(buf))
        return 0;
    // The deepest existing level: searched from the end, so that the
    // server part of a network path is never created.
    size_t start = 0;
    for (size_t i = n - 1; i > 0; i--) {
        if (!IsSeparator(buf[i]) || IsSeparator(buf[i - 1]))
            continue;
        char keep = buf[i];
        buf[i] = '\0';
        bool exists = OsIsFolder(buf);
        buf[i] = keep;
        if (exists) {
            start = i;
            break;
        }
    }
    for (size_t j = start + 1; j <= n; j++) {
        if (j < n && (!IsSeparator(buf[j]) || IsSeparator(buf[j - 1])))
            continue;
        char keep = buf[j];
        buf[j] = '\0';
        int rc = TryCreateFolder(buf, wait);
        buf[j] = keep;
        if (rc != 0)
            return 1;
    }
    return 0;
}

// The folder part of a file path (empty when it has none).
static bool FolderOf(const char* path, char* folder, size_t cch) {
    if (!StrCopy(folder, cch, path))
        return false;
    char* cut = nullptr;
    for (char* p = folder; *p; p++)
        if (IsSeparator(*p))
            cut = p;
    if (!cut)
        return false;
    *cut = '\0';
    return *folder != '\0';
}

DWORD WriteFileRaw(const char* path, const void* data, DWORD cb, bool append) {
    if (!path || (!data && cb))
        return 0;
    OsFile* f = OsFileOpenWrite(path, append);
    if (!f) {
        char folder[kCchPath2];
        if (!FolderOf(path, folder, countof(folder)) || CreateFolderPath(folder, true) != 0)
            return 0;
        f = OsFileOpenWrite(path, append);
        if (!f)
            return 0;
    }
    DWORD done = 0;
    if (cb)
        OsFileWrite(f, data, cb, &done);
    OsFileClose(f);
    return done;
}

DWORD ReadFileRaw(const char* path, void* buf, DWORD cb) {
    OsFile* f = path ? OsFileOpenRead(path, true) : nullptr;
    if (!f)
        return 0;
    OsFileInfo info;
    if (!OsFileGetInfo(f, &info) || (info.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        OsFileClose(f);  // a folder is no file: the caller's buffer stays as it was
        return 0;
    }
    DWORD total = 0;
    if (!buf) {
        total = info.size > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)info.size;
    } else {
        while (total < cb) {
            DWORD got = 0;
            if (!OsFileRead(f, (BYTE*)buf + total, cb - total, &got) || got == 0)
                break;
            total += got;
        }
        memset((BYTE*)buf + total, 0, cb - total);
    }
    OsFileClose(f);
    return total;
}

static const char kHexDigits[] = "0123456789ABCDEF";

void ByteToHex(BYTE value, char* out) {
    out[0] = kHexDigits[value >> 4];
    out[1] = kHexDigits[value & 15];
}

static int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int HexPairToByte(const char* two) {
    int hi = HexDigit(two[0]);
    if (hi < 0)
        return -1;
    int lo = HexDigit(two[1]);
    return lo < 0 ? -1 : hi * 16 + lo;
}
