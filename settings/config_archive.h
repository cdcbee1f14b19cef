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

// A restore writes only settings files: an entry larger than this, or
// entries larger than the total together, are not a configuration.
constexpr uint32_t kCbMaxConfigEntry = 16u << 20;
constexpr uint32_t kCbMaxConfigTotal = 64u << 20;
constexpr int kMaxConfigEntries = 1024;

// Results of reading an archive (the numbers of ConfigBackupRestore's codes).
enum : int {
    kConfigArchiveOk = 0,
    kConfigArchiveUnreadable = 2,    // not a zip, a damaged entry, too many entries, an oversized product entry
    kConfigArchiveWrongProduct = 4,  // no entry named like the product
    kConfigArchiveForeignEntry = 6,  // an entry a backup of ours never holds (see IsOwnConfigEntryName)
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
// A name a backup of ours gives a file: a settings record or the option
// set at the archive's top level, "<name>.qcg" (any case of the extension),
// with no separator, drive, wildcard or control character, and no device
// name (CON.qcg) that Windows would open instead of a file.
bool IsOwnConfigEntryName(const char* storedName);
// Checks every entry but the product entry: its stored name is an own name
// (IsOwnConfigEntryName), it is a file, no other entry has that name in
// any case, and the sizes stay within kCbMaxConfigEntry and
// kCbMaxConfigTotal; then reads each through to its end, so each CRC is
// checked. kConfigArchiveOk, kConfigArchiveForeignEntry (the first such
// entry's stored name goes to badEntry, when given) or kConfigArchiveUnreadable.
int VerifyConfigArchive(ZipHandle* zip, int productIndex, char* badEntry = nullptr, size_t cchBadEntry = 0);
// Open, read the product entry, verify: what a restore needs before it
// changes anything. The reader's handle is closed again.
int CheckConfigArchive(const char* path, const char* product, char* badEntry = nullptr, size_t cchBadEntry = 0);
