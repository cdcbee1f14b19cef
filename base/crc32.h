// The standard CRC-32 of the zip and PNG formats (reflected polynomial
// 0xEDB88320, initial value 0xFFFFFFFF, final complement).
#pragma once
#include <stdint.h>

// Builds the 256-entry table; Crc32 calls it on first use, so calling it at
// start-up only moves the cost. Safe to call more than once.
void BuildCrcTable();

// CRC-32 of cb bytes, or of the text up to its NUL when cb is -1.
uint32_t Crc32(const void* bytes, int cb);
