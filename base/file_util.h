// File and hexadecimal helpers shared by the framework: whole-file reads and
// writes, folder creation, and byte <-> two hexadecimal digits.
#pragma once
#include "win_types.h"

// Creates one folder. 0 when it exists afterwards, else 1 (after a 100 ms
// pause when wait is set, so that a caller's retry loop does not spin).
int TryCreateFolder(const char* path, bool wait);
// Creates every missing folder of the path, from the deepest existing one
// down; '\' and '/' both separate. 0 the path exists or was created, 1 a
// level failed or the path is longer than 519 characters, 2 empty path.
int CreateFolderPath(const char* path, bool wait);

// Writes cb bytes to the file, opened for reading and writing with read and
// write sharing (append: opened or created and written at its end; else
// created or truncated). When it cannot be opened, the missing folders of
// its path are created and the open is tried once more. Returns the bytes
// written; 0 when the file could not be opened.
DWORD WriteFileRaw(const char* path, const void* data, DWORD cb, bool append);
// Reads up to cb bytes into buf and zero-fills the rest of buf; returns the
// bytes read. With a null buf returns the file's size (capped at 0xFFFFFFFF).
// 0, with buf untouched, when the file cannot be opened.
DWORD ReadFileRaw(const char* path, void* buf, DWORD cb);

// Two upper-case hexadecimal digits into out[0..1] (not terminated).
void ByteToHex(BYTE value, char* out);
// The byte of two hexadecimal digits of either case; -1 when two[0] or
// two[1] is not a hexadecimal digit.
int HexPairToByte(const char* two);
