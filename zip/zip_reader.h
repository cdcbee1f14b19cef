// CZipReader: the object behind a reader handle. Finds the end record and
// central directory, walks the directory, describes entries with sanitised
// names, and extracts one entry at a time to memory or to a file.
// Nothing read from the archive is trusted: every length and offset is
// checked against the directory and the file before it is used.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <zlib.h>

#include "base/os_file.h"
#include "zip.h"
#include "zip_crypt.h"

class CZipReader {
  public:
    CZipReader() = default;
    CZipReader(const CZipReader&) = delete;
    CZipReader& operator=(const CZipReader&) = delete;
    ~CZipReader();

    // False when the file can't be opened or holds no valid directory.
    bool Open(const char* archive, const char* password);
    // Codes as the Unzip* calls of zip.h.
    uint32_t GetItem(int index, ZipItem* item);
    uint32_t FindItem(const char* name, int caseFlag, int* index, ZipItem* item);
    uint32_t StoredName(int index, char* name, size_t cch);
    uint32_t SetBaseDir(const char* folder);
    uint32_t ItemToMemory(int index, void* buf, uint32_t cb);
    uint32_t ItemToFile(int index, const char* outName);

  private:
    // The current entry's central directory record.
    struct Central {
        uint16_t versionMadeBy, versionNeeded, flags, method, dosTime, dosDate;
        uint32_t crc, compressedSize, uncompressedSize;
        uint16_t nameLen, extraLen, commentLen, diskStart, internalAttr;
        uint32_t externalAttr, localHeaderOffset;
        bool nameFits;  // the name is at most 259 characters
        char name[260];
    };
    enum ReadOutcome { kReadMore, kReadEnd, kReadError, kReadBadPassword };

    bool ReadAt(uint64_t pos, void* buf, uint32_t cb);
    // A candidate end record: position, entries, directory and comment.
    struct EndRecord {
        uint64_t pos;
        uint16_t count;
        uint32_t size, offset;
        uint16_t commentLen;
    };
    // False when the bytes at pos cannot be the archive's end record.
    bool ReadEndRecord(uint64_t pos, EndRecord* e);
    // Takes the record's directory; false when its first entry can't be read.
    bool UseEndRecord(const EndRecord& e);
    bool ReadCentral(uint64_t dirPos);
    bool GotoFirst();
    bool GotoNext();
    bool Goto(int index);
    bool CheckLocal(uint32_t* extraOffset, uint16_t* extraLen, uint32_t* dataOffset);
    uint32_t Describe(ZipItem* item);
    bool OpenEntry(int index);
    void CloseEntry();
    ReadOutcome ReadEntry(uint8_t* buf, uint32_t cb, uint32_t* got);
    ReadOutcome FinishEntry();
    uint32_t CopyEntryTo(OsFile* out);

    OsFile* file_ = nullptr;
    uint64_t fileSize_ = 0;
    char* password_ = nullptr;
    char baseDir_[260] = {};

    int count_ = 0;
    uint64_t prefix_ = 0;  // bytes before the archive proper
    uint32_t dirOffset_ = 0, dirSize_ = 0;
    int curIndex_ = -1;       // -1: no current entry
    uint64_t curDirPos_ = 0;  // relative to the prefix
    Central cur_ = {};

    ZipItem lastItem_ = {};
    int lastItemIndex_ = -1;

    // The entry open for reading.
    int openIndex_ = -1;
    uint8_t* input_ = nullptr;  // 16 KB
    uint32_t inputPos_ = 0, inputAvail_ = 0;
    uint64_t dataPos_ = 0;  // absolute file position of the next compressed byte
    uint32_t compLeft_ = 0, outLeft_ = 0;
    uint32_t expectedCrc_ = 0, runningCrc_ = 0;
    uint16_t openMethod_ = 0;
    bool encrypted_ = false;
    ZipKeys keys_ = {};
    int headerSkip_ = 0;
    uint8_t checkByte_ = 0;
    bool inflateReady_ = false, streamEnded_ = false;
    z_stream inflate_ = {};
    uint8_t* extractBuf_ = nullptr;  // 16 KB, for ItemToFile
};
