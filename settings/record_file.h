// Settings record files: one fixed-size binary record per file in a data
// folder, "<folder>\<name>[<index>].qcg", holding the record's bytes and
// nothing else. Writes go through "<file>_tmp" and a replacing move, so a
// reader never sees half a record.
#pragma once
#include <stddef.h>

#include "base/win_types.h"

// Folder flag: the common data folder; 0 picks the user data folder.
constexpr int kRecordCommonFolder = 1;

// folder (or, when null, the data folder the flag picks) + "\" + baseName
// (when given) + "." + ext (when given). False, with path empty, when the
// folder is empty or the path does not fit cch characters.
bool BuildDataPath(const char* folder, const char* baseName, const char* ext, char* path, size_t cch, int flag);
// The record file's path: name, then the index in decimal unless it is -1,
// then ".qcg", in the data folder the flag picks. False as BuildDataPath.
bool RecordFilePath(const char* name, int index, char* path, size_t cch, int flag);

// Copies the file into buf, zero-filling the part of buf beyond the file's
// end; returns the bytes read. With a null buf returns the file's size.
// 0, with buf untouched (the caller's defaults stay), when there is no file.
DWORD ReadRecordFile(const char* name, int index, void* buf, DWORD cb, int flag);
// Writes the record through "<path>_tmp"; returns cb, or 0 when the
// temporary file could not be written in full or could not replace the
// record (the old record file then stays as it was).
DWORD WriteRecordFile(const char* name, int index, const void* data, DWORD cb, int flag);
