// A thin file layer for the platform-neutral libraries. The Win32 build is
// the real one (CreateFileA and friends); the POSIX build serves only the
// native sanitizer build of the tests. Paths may use '\' or '/'.
#pragma once
#include <stdint.h>

#include "win_types.h"

struct OsFile;  // opaque; one open file

struct OsFileInfo {
    DWORD attributes;  // FILE_ATTRIBUTE_* bits
    FILETIME creation;
    FILETIME lastAccess;
    FILETIME lastWrite;
    uint64_t size;
};

// Opens an existing file for reading. shareWrite: others may keep writing it.
// Folders open too (for their times and attributes). Null on failure.
OsFile* OsFileOpenRead(const char* path, bool shareWrite);
// Creates or truncates a file for writing without sharing; attributes are
// FILE_ATTRIBUTE_* bits (0 = normal). Null on failure.
OsFile* OsFileCreate(const char* path, DWORD attributes);
// Opens a file for reading and writing, sharing reads and writes with
// others; normal attributes. append: opens or creates it and moves to its
// end; else creates or truncates it. Null on failure.
OsFile* OsFileOpenWrite(const char* path, bool append);
// Creates a new file with a unique name in the folder of `beside` (the
// path up to its last separator; the current folder when it has none) and
// opens it for writing without sharing. *tmp (cchTmp characters) receives
// its path. Null on failure, with no file left. On Windows the folder (with
// its trailing separator) may have at most MAX_PATH - 14 = 246 characters.
OsFile* OsFileCreateTemp(const char* beside, char* tmp, DWORD cchTmp);
void OsFileClose(OsFile* f);

// False on an error; *done (may be null) receives the bytes moved.
bool OsFileRead(OsFile* f, void* buf, DWORD cb, DWORD* done);
bool OsFileWrite(OsFile* f, const void* buf, DWORD cb, DWORD* done);
bool OsFileSeek(OsFile* f, uint64_t pos);
bool OsFileTruncateHere(OsFile* f);  // the file ends at the current position
bool OsFileGetInfo(OsFile* f, OsFileInfo* info);
bool OsFileSetTimes(OsFile* f, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);

// Creates one folder; true when it exists afterwards.
bool OsCreateFolder(const char* path);
// Moves a file onto a path, replacing a file there, and flushes the move.
// False when it could not be moved; the target is then as it was.
bool OsMoveReplace(const char* from, const char* to);
bool OsDeleteFile(const char* path);
// Sets a file's FILE_ATTRIBUTE_ READONLY/HIDDEN/SYSTEM/ARCHIVE bits (0 = normal).
bool OsSetAttributes(const char* path, DWORD attributes);
// True when the path names an existing folder.
bool OsIsFolder(const char* path);
// The current folder, without a trailing separator. False when it does not fit.
bool OsGetCurrentFolder(char* buf, DWORD cch);
// The separator the platform's paths use ('\' on Windows).
char OsPathSeparator();

// The current time as UTC FILETIME.
FILETIME OsUtcNow();
// UTC FILETIME to local calendar time, and back.
bool OsUtcToLocal(const FILETIME* utc, SYSTEMTIME* local);
bool OsLocalToUtc(const SYSTEMTIME* local, FILETIME* utc);
// A value that differs between runs and calls (seeds pseudo-random numbers).
DWORD OsRandomSeed();
