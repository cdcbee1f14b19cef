// File and folder helpers of setup's commands and archive: folders created
// with retries, whole writes, existence and size tests, paths.
#pragma once
#include <windows.h>

// Creates the folder with its missing parents; each attempt that fails is
// retried 100 ms later, up to 11 attempts. False for an empty path or when
// the folder does not exist after the last attempt.
bool CreateFolderWithRetries(const char* path);
// CreateFolderWithRetries, noting in gSetup the levels it made (up to 16).
bool CreateFolderNoted(const char* path);
// Removes the first count noted folders that are empty, deepest first, and
// forgets all: what a failed install made and left empty (not what its
// clean-up phase made after them).
void RemoveNotedFolders(int count);
// Creates or overwrites the file; when it cannot be created, creates the
// missing parent folders (with retries) and tries once more.
// 0 written, 1 cannot create, 2 short write.
int WriteFileCreatingFolders(const char* path, const void* bytes, DWORD count);
// Writes all cb bytes to an open file; false on an error or a short write.
bool WriteAll(HANDLE file, const void* bytes, DWORD cb);

bool FileExists(const char* path);                // an existing file or folder
bool FolderExists(const char* path);              // an existing folder
unsigned long long FileSizeOf(const char* path);  // bytes; 0 for a folder or a missing file
// An absolute path: a drive letter with ":\" or a network path
// "\\server\share" (not "\\" alone, nor the device forms "\\?\" and "\\.\").
bool IsAbsolutePath(const char* path);
// The one spelling of an absolute folder: the full path ("." and ".."
// resolved, trailing dots and blanks trimmed as Windows trims them), long
// names for the part that exists, no trailing backslash but a drive root's.
// False (out unchanged) for a folder that is not absolute (IsAbsolutePath),
// or when it cannot be made or does not fit cch.
bool NormalFolder(const char* folder, char* out, size_t cch);
// The same folder: the normal forms of both, without case.
bool SameFolder(const char* a, const char* b);
// The folder of a file's path ("X:\" for a file in a drive's root); false
// without a backslash or when it does not fit cch.
bool FolderOfFile(const char* path, char* folder, size_t cch);
// The temporary folder without trailing backslashes; false when it does not fit.
bool GetTempFolder(char* path, size_t cch);
