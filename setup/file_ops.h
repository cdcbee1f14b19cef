// File and folder helpers of setup's commands and archive: folders created
// with retries, whole writes, existence tests and folder sizes.
#pragma once
#include <windows.h>

// Creates the folder with its missing parents; each attempt that fails is
// retried 100 ms later, up to 11 attempts. False for an empty path or when
// the folder does not exist after the last attempt.
bool CreateFolderWithRetries(const char* path);
// Creates or overwrites the file; when it cannot be created, creates the
// missing parent folders (with retries) and tries once more.
// 0 written, 1 cannot create, 2 short write.
int WriteFileCreatingFolders(const char* path, const void* bytes, DWORD count);
// Writes all cb bytes to an open file; false on an error or a short write.
bool WriteAll(HANDLE file, const void* bytes, DWORD cb);

bool FileExists(const char* path);    // an existing file or folder
bool FolderExists(const char* path);  // an existing folder
// An absolute path: a drive letter with ":\" or "\\" (network or device).
bool IsAbsolutePath(const char* path);
// The total size in bytes of the files below a folder (recursive).
unsigned long long FolderSize(const char* folder);
// The temporary folder without trailing backslashes; false when it does not fit.
bool GetTempFolder(char* path, size_t cch);
