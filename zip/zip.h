// The zip archive interface: handle-based writing and reading of zip
// archives with traditional encryption. Writers: ZipCreate, one ZipAdd* per
// entry, ZipClose. Readers: UnzipOpen, UnzipGetItem / UnzipFindItem,
// UnzipItemToMemory / UnzipItemToFile, UnzipClose. Handles are not shared
// between threads; different handles may be used on different threads.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "base/win_types.h"

// Result codes: exactly one per condition, 0 = success.
enum : uint32_t {
    kZipOk = 0,
    kZipErrOpenFile = 0x200,          // a file could not be opened or created
    kZipErrWrite = 0x400,             // writing failed, or the data could not be stored in full
    kZipErrNotFound = 0x500,          // no entry has the given name
    kZipMoreData = 0x600,             // buffer full, more data follows
    kZipErrLocalHeader = 0x700,       // local header missing, or disagrees with the directory
    kZipErrLocalExtra = 0x800,        // local extra field unreadable or malformed
    kZipErrPassword = 0x1000,         // wrong password (check byte)
    kZipErrArgument = 0x10000,        // null handle, bad name, bad block, index out of range
    kZipErrHandleKind = 0x80000,      // handle of the other kind
    kZipErrStoredLength = 0x4000000,  // encrypted stored entry: source length differs
    kZipErrData = 0x5000000,          // data could not be delivered (damaged, truncated, empty)
};

enum : uint32_t {
    kZipKindReader = 1,
    kZipKindWriter = 2,
};

struct ZipHandle {
    uint32_t kind;  // kZipKindReader or kZipKindWriter
    void* object;   // the CZipReader or CZipWriter
};

// One entry as the reader reports it.
struct ZipItem {
    int32_t index;            // position in the directory; the entry count for index -1
    char name[260];           // sanitised name, '/' or '\' as stored
    uint32_t attributes;      // FILE_ATTRIBUTE_ READONLY/HIDDEN/SYSTEM/DIRECTORY/ARCHIVE
    FILETIME lastAccess;      // UTC
    FILETIME creation;        // UTC
    FILETIME lastWrite;       // UTC
    uint32_t compressedSize;  // stored bytes, including a 12-byte encryption header
    uint32_t uncompressedSize;
};

// Writer. ZipCreate: null when the file can't be created; a null or empty
// password means no encryption. The password is copied.
ZipHandle* ZipCreate(const char* archive, const char* password);
// 0, 0x200 (source), 0x400, 0x10000, 0x80000, 0x4000000. A failed add
// leaves no entry in the directory.
uint32_t ZipAddFile(ZipHandle* zip, const char* name, const char* sourceFile);
// The block must stay valid during the call only; it may be null when cb
// is 0 (an empty entry, stored). Codes as ZipAddFile.
uint32_t ZipAddMemory(ZipHandle* zip, const char* name, const void* data, uint32_t cb);
// Writes the directory; 0 or 0x400. Frees the handle except on 0x80000.
uint32_t ZipClose(ZipHandle* zip);

// Reader. Null when the file can't be opened or holds no valid directory.
ZipHandle* UnzipOpen(const char* archive, const char* password);
bool IsUnzipHandle(const ZipHandle* zip);
// Index -1 fills only item->index with the entry count. 0, 0x700, 0x800, 0x10000, 0x80000.
uint32_t UnzipGetItem(ZipHandle* zip, int index, ZipItem* item);
// First entry whose stored name equals name (caseFlag 0: exact bytes; else
// a-z equal A-Z). index and item may be null. Not found: 0x500, index -1.
uint32_t UnzipFindItem(ZipHandle* zip, const char* name, int caseFlag, int* index, ZipItem* item);
// The entry's name exactly as the directory stores it, before the
// sanitising that UnzipGetItem applies (a caller that must refuse absolute
// or climbing names sees them). 0, 0x10000 (index, or cch too small),
// 0x700 (the name is 260 characters or more), 0x80000.
uint32_t UnzipGetStoredName(ZipHandle* zip, int index, char* name, size_t cch);
// The folder below which UnzipItemToFile writes; default: the current
// folder at UnzipOpen. 0 or 0x10000 (too long).
uint32_t UnzipSetBaseDir(ZipHandle* zip, const char* folder);
// 0 when the data ended within this call (the rest of the entry was
// delivered); 0x600 when cb bytes were delivered and more follow: call again
// with the same index. 0x1000, 0x5000000, 0x10000, 0x80000.
uint32_t UnzipItemToMemory(ZipHandle* zip, int index, void* buf, uint32_t cb);
// Extracts below the base folder. Names that could leave it (a ".."
// component, a drive letter, a leading separator) or that name a device
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9 as a component) give 0x10000. The
// data goes to a new file in the target's folder that replaces the target
// only when the whole entry arrived with a matching CRC; on any failure an
// existing target is untouched and no file is left.
// 0, 0x200, 0x400, 0x1000, 0x5000000, 0x700, 0x800.
uint32_t UnzipItemToFile(ZipHandle* zip, int index, const char* outName);
// 0; frees the handle except on 0x80000.
uint32_t UnzipClose(ZipHandle* zip);
