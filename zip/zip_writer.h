// CZipWriter: the object behind a writer handle. Appends one entry per add
// (local header, optional encryption header, data, optional data
// descriptor) and writes the central directory and end record at Close.
#pragma once
#include <stdint.h>
#include <zlib.h>

#include "base/dyn_array.h"
#include "base/os_file.h"
#include "zip_crypt.h"

// One finished entry: the fields of its central directory record.
struct ZipEntryRecord {
    uint16_t versionMadeBy, versionNeeded, flags, localFlags, method, dosTime, dosDate;
    uint32_t crc, compressedSize, uncompressedSize;
    uint16_t nameLen, localExtraLen, centralExtraLen, commentLen, diskStart, internalAttr;
    uint32_t externalAttr, localHeaderOffset;
    char name[260];
    uint8_t centralExtra[9];
};

class CZipWriter {
  public:
    CZipWriter() = default;
    CZipWriter(const CZipWriter&) = delete;
    CZipWriter& operator=(const CZipWriter&) = delete;
    ~CZipWriter();

    // Creates or truncates the archive; false when it can't be created.
    bool Create(const char* archive, const char* password);
    // Codes of ZipAddFile / ZipAddMemory.
    uint32_t AddFile(const char* name, const char* sourceFile);
    uint32_t AddMemory(const char* name, const void* data, uint32_t cb);
    // Writes the directory and closes the file: 0 or 0x400.
    uint32_t Close();

  private:
    struct Source;
    typedef ZipEntryRecord Entry;

    uint32_t AddEntry(const char* name, Source* src);
    uint32_t PrepareEntry(const char* name, Source* src, Entry* e, uint8_t* localExtra);
    uint32_t WriteEntryStart(const Entry* e, const uint8_t* localExtra, bool encrypt);
    uint32_t WriteDescriptor(const Entry& e, uint32_t announcedSize);
    uint32_t PatchLocalHeader(Entry* e, uint32_t start);
    uint32_t WriteDeflated(Source* src, Entry* e);
    uint32_t WriteStored(Source* src);
    bool ReadSource(Source* src, uint8_t* buf, uint32_t cb, uint32_t* got);
    bool WriteRaw(const void* buf, uint32_t cb);
    bool WriteData(const uint8_t* buf, uint32_t cb);
    bool WriteLocalHeader(const Entry* e, const uint8_t* localExtra);
    void Rewind(uint32_t pos);

    char* password_ = nullptr;
    OsFile* file_ = nullptr;
    uint32_t pos_ = 0;  // where the next byte goes
    CDynArray<ZipEntryRecord> entries_;
    bool deflateReady_ = false;
    z_stream deflate_ = {};
    ZipKeys keys_ = {};
    CDynArray<uint8_t> scratch_;   // data copied here to be encrypted
    uint8_t* transfer_ = nullptr;  // 2 x 16 KB: source block and compressed block
    uint32_t dataWritten_ = 0;     // data bytes of the current entry
};
