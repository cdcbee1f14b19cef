// POSIX implementation of the thin file layer, for the native sanitizer
// build only: '\' in paths is taken as '/', attributes map to mode bits.
#include "os_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <string>

struct OsFile {
    int fd;
};

static const uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

static std::string UnixPath(const char* path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

static FILETIME FromTimespec(const struct timespec& ts) {
    uint64_t v = (uint64_t)ts.tv_sec * 10000000ull + (uint64_t)ts.tv_nsec / 100 + kUnixEpochAsFileTime;
    FILETIME ft = {(DWORD)v, (DWORD)(v >> 32)};
    return ft;
}

static struct timespec ToTimespec(const FILETIME* ft) {
    uint64_t v = ((uint64_t)ft->dwHighDateTime << 32) | ft->dwLowDateTime;
    int64_t rel = (int64_t)(v - kUnixEpochAsFileTime);
    struct timespec ts;
    ts.tv_sec = (time_t)(rel / 10000000);
    ts.tv_nsec = (long)(rel % 10000000) * 100;
    if (ts.tv_nsec < 0) {
        ts.tv_sec -= 1;
        ts.tv_nsec += 1000000000;
    }
    return ts;
}

static OsFile* Wrap(int fd) {
    if (fd < 0)
        return nullptr;
    OsFile* f = new OsFile;
    f->fd = fd;
    return f;
}

OsFile* OsFileOpenRead(const char* path, bool) {
    return path ? Wrap(open(UnixPath(path).c_str(), O_RDONLY)) : nullptr;
}

OsFile* OsFileCreate(const char* path, DWORD attributes) {
    if (!path)
        return nullptr;
    mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    return Wrap(open(UnixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode));
}

OsFile* OsFileOpenWrite(const char* path, bool append) {
    if (!path)
        return nullptr;
    int fd = open(UnixPath(path).c_str(), O_RDWR | O_CREAT | (append ? 0 : O_TRUNC), 0644);
    if (fd >= 0 && append && lseek(fd, 0, SEEK_END) < 0) {
        close(fd);
        fd = -1;
    }
    return Wrap(fd);
}

OsFile* OsFileCreateTemp(const char* beside, char* tmp, DWORD cchTmp) {
    if (!beside || !tmp)
        return nullptr;
    std::string folder = UnixPath(beside);
    size_t slash = folder.rfind('/');
    std::string path = (slash == std::string::npos ? std::string(".") : folder.substr(0, slash)) + "/vpzXXXXXX";
    if (path.size() >= cchTmp)
        return nullptr;
    int fd = mkstemp(&path[0]);
    if (fd < 0)
        return nullptr;
    memcpy(tmp, path.c_str(), path.size() + 1);
    return Wrap(fd);
}

void OsFileClose(OsFile* f) {
    if (!f)
        return;
    close(f->fd);
    delete f;
}

bool OsFileRead(OsFile* f, void* buf, DWORD cb, DWORD* done) {
    ssize_t n = f ? read(f->fd, buf, cb) : -1;
    if (done)
        *done = n > 0 ? (DWORD)n : 0;
    return n >= 0;
}

bool OsFileWrite(OsFile* f, const void* buf, DWORD cb, DWORD* done) {
    DWORD total = 0;
    bool ok = f != nullptr;
    while (ok && total < cb) {
        ssize_t n = write(f->fd, (const char*)buf + total, cb - total);
        if (n <= 0)
            ok = false;
        else
            total += (DWORD)n;
    }
    if (done)
        *done = total;
    return ok;
}

bool OsFileSeek(OsFile* f, uint64_t pos) {
    return f && lseek(f->fd, (off_t)pos, SEEK_SET) == (off_t)pos;
}

bool OsFileTruncateHere(OsFile* f) {
    if (!f)
        return false;
    off_t pos = lseek(f->fd, 0, SEEK_CUR);
    return pos >= 0 && ftruncate(f->fd, pos) == 0;
}

bool OsFileGetInfo(OsFile* f, OsFileInfo* info) {
    struct stat st;
    if (!f || !info || fstat(f->fd, &st) != 0)
        return false;
    info->attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        info->attributes |= FILE_ATTRIBUTE_READONLY;
    info->creation = FromTimespec(st.st_ctim);
    info->lastAccess = FromTimespec(st.st_atim);
    info->lastWrite = FromTimespec(st.st_mtim);
    info->size = S_ISDIR(st.st_mode) ? 0 : (uint64_t)st.st_size;
    return true;
}

bool OsFileSetTimes(OsFile* f, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite) {
    if (!f)
        return false;
    struct timespec ts[2];
    ts[0].tv_nsec = ts[1].tv_nsec = UTIME_OMIT;
    if (lastAccess)
        ts[0] = ToTimespec(lastAccess);
    if (lastWrite)
        ts[1] = ToTimespec(lastWrite);
    return futimens(f->fd, ts) == 0;
}

bool OsCreateFolder(const char* path) {
    if (mkdir(UnixPath(path).c_str(), 0755) == 0)
        return true;
    return errno == EEXIST && OsIsFolder(path);
}

bool OsMoveReplace(const char* from, const char* to) {
    return from && to && rename(UnixPath(from).c_str(), UnixPath(to).c_str()) == 0;
}

bool OsDeleteFile(const char* path) {
    return path && unlink(UnixPath(path).c_str()) == 0;
}

bool OsSetAttributes(const char* path, DWORD attributes) {
    return path && chmod(UnixPath(path).c_str(), (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644) == 0;
}

bool OsIsFolder(const char* path) {
    struct stat st;
    return stat(UnixPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool OsGetCurrentFolder(char* buf, DWORD cch) {
    if (!getcwd(buf, cch))
        return false;
    size_t n = strlen(buf);
    if (n > 1 && buf[n - 1] == '/')
        buf[n - 1] = '\0';
    return true;
}

char OsPathSeparator() {
    return '/';
}

FILETIME OsUtcNow() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return FromTimespec(ts);
}

bool OsUtcToLocal(const FILETIME* utc, SYSTEMTIME* local) {
    struct timespec ts = ToTimespec(utc);
    struct tm tm;
    if (!localtime_r(&ts.tv_sec, &tm))
        return false;
    local->wYear = (WORD)(tm.tm_year + 1900);
    local->wMonth = (WORD)(tm.tm_mon + 1);
    local->wDayOfWeek = (WORD)tm.tm_wday;
    local->wDay = (WORD)tm.tm_mday;
    local->wHour = (WORD)tm.tm_hour;
    local->wMinute = (WORD)tm.tm_min;
    local->wSecond = (WORD)tm.tm_sec;
    local->wMilliseconds = (WORD)(ts.tv_nsec / 1000000);
    return true;
}

bool OsLocalToUtc(const SYSTEMTIME* local, FILETIME* utc) {
    struct tm tm;
    memset(&tm, 0, sizeof tm);
    tm.tm_year = local->wYear - 1900;
    tm.tm_mon = local->wMonth - 1;
    tm.tm_mday = local->wDay;
    tm.tm_hour = local->wHour;
    tm.tm_min = local->wMinute;
    tm.tm_sec = local->wSecond;
    tm.tm_isdst = -1;
    struct timespec ts;
    ts.tv_sec = mktime(&tm);
    ts.tv_nsec = (long)local->wMilliseconds * 1000000;
    if (ts.tv_sec == (time_t)-1 && tm.tm_year != 69)
        return false;
    *utc = FromTimespec(ts);
    return true;
}

DWORD OsRandomSeed() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (DWORD)getpid() ^ (DWORD)ts.tv_nsec ^ (DWORD)ts.tv_sec;
}
