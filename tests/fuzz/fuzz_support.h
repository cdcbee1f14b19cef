// Helpers of the fuzz targets: a private scratch folder per process for
// targets that hand their input over as a file (targets may run side by
// side).
#pragma once
#include <stddef.h>
#include <stdint.h>

// The scratch folder, made on first use (aborts when it cannot be made).
const char* FuzzScratchFolder();
// Writes the bytes as the file at path; false when it cannot be written.
bool FuzzWriteFile(const char* path, const uint8_t* data, size_t size);
