// The configuration archive: a zip without password whose first entry is
// named exactly like the product and holds the keep list and the version
// of the program that wrote it ("<keep list>\0<major>.<minor>.<build>"),
// followed by the files of the user data folder under their names relative
// to it. Backups, the pending restore and scheduled archives share it.
// Platform-neutral, so the reading can be fuzzed natively.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "zip/zip.h"

// The product entry is read whole; a larger one is not this format.
constexpr uint32_t kCbMaxProductEntry = 2599;
// The extension of configuration archives and of the pending-restore file.
extern const char kConfigArchiveExt[];  // "TarnwickConfig"

// Results of reading an archive (the numbers of ConfigBackupRestore's codes).
enum : int {
    kConfigArchiveOk = 0,
    kConfigArchiveUnreadable = 2,    // not a zip, a damaged entry, an unsafe name, an oversized product entry
    kConfigArchiveWrongProduct = 4,  // no entry named like the product
};

struct ConfigArchiveHeader {
    int index;                              // the product entry's position
    char keepList[kCbMaxProductEntry + 1];  // ';'-separated patterns of files a restore keeps
    char version[kCbMaxProductEntry + 1];   // "major.minor.build" of the writer
};

// Adds the product entry; a zip result code.
uint32_t AddConfigProductEntry(ZipHandle* zip, const char* product, const char* keepList, int major, int minor,
                               int build);
// Finds and reads the product entry (exact name). kConfigArchiveOk,
// kConfigArchiveWrongProduct or kConfigArchiveUnreadable.
int ReadConfigProductEntry(ZipHandle* zip, const char* product, ConfigArchiveHeader* out);
// A stored name a restore may write below the data folder: relative, no
// drive, no "." or ".." component, no empty component, no control characters.
bool IsCleanConfigEntryName(const char* name);
// Reads every entry but the product entry through to its end (so each CRC
// is checked) and checks each name. kConfigArchiveOk or kConfigArchiveUnreadable.
int VerifyConfigArchive(ZipHandle* zip, int productIndex);
// Open, read the product entry, verify: what a restore needs before it
// changes anything. The reader's handle is closed again.
int CheckConfigArchive(const char* path, const char* product);
