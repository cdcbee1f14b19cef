// Fetching what setup carries: records of the archive appended to the
// program file, or loose files of the current folder that take their place.
// The program file is mapped once and kept mapped for the run.
#pragma once
#include <windows.h>

#include "archive_core.h"

// Maps gSetup.modulePath (first call only) and checks the archive as a
// whole. kArchiveOk, kArchiveAbsent (nothing appended: only loose files can
// serve), kArchiveUnreadable or the damage found (ArchiveState).
int OpenSetupArchive();
// Unmaps the program file; the next fetch maps gSetup.modulePath again.
void CloseSetupArchive();

// The name of the archive's first record (kCchRecordName characters);
// false without an intact archive or without records.
bool FirstArchiveRecordName(char* name);

enum : int { kRecordToMemory = 0, kRecordToFile = 1, kRecordProgramPrefix = 2 };
// Fetches a record of the archive (never a loose file).
//  kRecordToMemory: *buffer = length + extra bytes, zero-filled, the data at
//    the front (the caller frees it with free()); *length the data's length.
//  kRecordToFile: creates or overwrites target with the data.
//  kRecordProgramPrefix: creates or overwrites target with the program file
//    from its first byte to the end of the record's data.
// 0; 17 the program file is unreadable, the archive damaged or the record
// missing; 8 the target cannot be created or written; 31 instead of 8 on a
// sharing violation.
int ReadArchiveRecord(const char* name, const char* target, int mode, char** buffer, DWORD* length, DWORD extra);

// The loose file that serves a name instead of a record: a full path as it
// is; any other name in the current folder, but only when gSetup.looseFiles
// allows it. True when that file exists (path: kCchPath2 characters).
bool FindLooseFile(const char* name, char* path, size_t cch);
// Copies the loose file or the record over target, through "<target>.tmp"
// moved into place when whole (a failure leaves target as it was): 0, 31
// when target is in use, 8 other write failures, 17 no file and no record.
int CopyFileOrRecord(const char* name, const char* target);
// The loose file or the record in a zero-filled buffer of its size + extra
// bytes (free() it); null when neither exists or it cannot be read whole.
char* LoadFileOrRecord(const char* name, DWORD* length, DWORD extra);
// Puts source (file or record) at target, then writes the records of the
// patch (file or record) into it. 0; 24 the target cannot be opened or
// written, the patch is missing or damaged; the copy's own code otherwise.
int ApplyPatch(const char* source, const char* patch, const char* target);
