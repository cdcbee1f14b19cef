// The setup archive appended to the setup program's file: header text,
// records (zero-terminated name, unsigned 32-bit little-endian length, data)
// and trailer text. Platform-neutral: these functions work on the bytes of
// the file (mapped by the caller) and never read outside them.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr size_t kCbArchiveHeader = 19;   // "<Setup Data Header>", no terminator
constexpr size_t kCbArchiveTrailer = 16;  // "<Setup Data End>", no terminator
constexpr size_t kCchRecordName = 260;    // names hold at most 259 characters

// The header text, built at run time: the program's own image must not
// carry it, or the search would take the constant for an archive. out holds
// kCbArchiveHeader + 1 characters.
void ArchiveHeaderText(char* out);
// The trailer text; out holds kCbArchiveTrailer + 1 characters.
void ArchiveTrailerText(char* out);

// What is wrong with an archive (kArchiveOk when nothing is).
enum ArchiveState : int {
    kArchiveOk = 0,
    kArchiveAbsent,         // no header anywhere in the file
    kArchiveTruncated,      // a name or a length runs past the end of the file
    kArchiveRecordPastEnd,  // a record's data runs past the end of the file
    kArchiveNoTrailer,      // the records end without "<Setup Data End>"
    kArchiveBadName,        // an empty name, a name of 260 or more characters or one with a folder
    kArchiveDuplicate,      // two records share a name (compared without case)
    kArchiveUnreadable,     // the program file cannot be opened or mapped
};

// A short English text for a state, for logs and test messages.
const char* ArchiveStateText(int state);

// Searches the header backwards from the end of the file, never before its
// first byte. True when found; *start is the offset just behind the header.
bool ArchiveFindHeader(const uint8_t* data, size_t size, size_t* start);

// Walks every record from start and checks the archive as a whole: each
// record whole within the file, names valid and unique, the trailer behind
// the last record (bytes behind the trailer are allowed). kArchiveOk or the
// first problem found; *problemName (kCchRecordName, may be null) receives
// the name of the record concerned when there is one.
int ArchiveCheck(const uint8_t* data, size_t size, size_t start, char* problemName);

// Finds a record by name (without case) from start. True when found, with
// the offset and length of its data. The walk stops at the trailer, at the
// end of the file, and at a record that does not fit in the file.
bool ArchiveFindRecord(const uint8_t* data, size_t size, size_t start, const char* name, size_t* dataOffset,
                       uint32_t* length);

// The name of the first record behind start; false when there is none.
// name holds kCchRecordName characters.
bool ArchiveFirstRecordName(const uint8_t* data, size_t size, size_t start, char* name);

// One record of a patch: unsigned 32-bit offset and length, then the bytes.
struct PatchRecord {
    uint32_t offset;
    uint32_t length;
    const uint8_t* bytes;
};
// Reads the patch record at *pos and moves *pos behind it. 1 one was read,
// 0 the data is used up, -1 the record runs past the end of the data.
int NextPatchRecord(const uint8_t* data, size_t size, size_t* pos, PatchRecord* out);
