// Reading the setup archive from the bytes of the setup file.
#include "archive_core.h"

#include <stdlib.h>
#include <string.h>

#include "setup_base.h"

// Both texts are kept reversed so that the image holds neither one as it is.
static const char kHeaderReversed[] = ">redaeH ataD puteS<";
static const char kTrailerReversed[] = ">dnE ataD puteS<";

static void Reverse(const char* in, size_t n, char* out) {
    for (size_t i = 0; i < n; i++)
        out[i] = in[n - 1 - i];
    out[n] = '\0';
}

void ArchiveHeaderText(char* out) {
    Reverse(kHeaderReversed, kCbArchiveHeader, out);
}

void ArchiveTrailerText(char* out) {
    Reverse(kTrailerReversed, kCbArchiveTrailer, out);
}

const char* ArchiveStateText(int state) {
    switch (state) {
        case kArchiveOk:
            return "the archive is whole";
        case kArchiveAbsent:
            return "no archive is appended";
        case kArchiveTruncated:
            return "the archive is cut short";
        case kArchiveRecordPastEnd:
            return "a record runs past the end of the file";
        case kArchiveNoTrailer:
            return "the archive has no end marker";
        case kArchiveBadName:
            return "a record has an invalid name";
        case kArchiveDuplicate:
            return "two records have the same name";
        case kArchiveUnreadable:
            return "the program file cannot be read";
    }
    return "unknown archive state";
}

bool ArchiveFindHeader(const uint8_t* data, size_t size, size_t* start) {
    if (!data || size < kCbArchiveHeader)
        return false;
    char header[kCbArchiveHeader + 1];
    ArchiveHeaderText(header);
    for (size_t at = size - kCbArchiveHeader + 1; at-- > 0;) {
        if (data[at] == '<' && memcmp(data + at, header, kCbArchiveHeader) == 0) {
            *start = at + kCbArchiveHeader;
            return true;
        }
    }
    return false;
}

static bool AtTrailer(const uint8_t* data, size_t size, size_t pos) {
    char trailer[kCbArchiveTrailer + 1];
    ArchiveTrailerText(trailer);
    return size - pos >= kCbArchiveTrailer && memcmp(data + pos, trailer, kCbArchiveTrailer) == 0;
}

// One record at pos: its name (pointer into the data, zero-terminated there),
// data offset and length. kArchiveOk, kArchiveTruncated or kArchiveRecordPastEnd.
static int ReadRecord(const uint8_t* data, size_t size, size_t pos, const char** name, size_t* dataOffset,
                      uint32_t* length) {
    const void* zero = memchr(data + pos, 0, size - pos);
    if (!zero)
        return kArchiveTruncated;
    size_t nameEnd = (size_t)((const uint8_t*)zero - data);
    if (size - (nameEnd + 1) < 4)
        return kArchiveTruncated;
    const uint8_t* p = data + nameEnd + 1;
    uint32_t cb = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    size_t at = nameEnd + 5;
    if (cb > size - at)
        return kArchiveRecordPastEnd;
    *name = (const char*)(data + pos);
    *dataOffset = at;
    *length = cb;
    return kArchiveOk;
}

static bool ValidName(const char* name) {
    size_t n = strlen(name);
    return n > 0 && n < kCchRecordName && !strpbrk(name, "\\/:");
}

struct NamedRecord {
    const char* name;
    size_t index;  // place in the archive, from 0
};

static int CompareNamedRecords(const void* a, const void* b) {
    const NamedRecord* x = (const NamedRecord*)a;
    const NamedRecord* y = (const NamedRecord*)b;
    int byName = StrCmpAsciiNoCase(x->name, y->name);
    if (byName != 0)
        return byName;
    return x->index < y->index ? -1 : x->index > y->index ? 1 : 0;
}

// The place of the first record whose name an earlier record already has
// (without case), or count when no name repeats. Sorted, so that a large
// archive is checked in n log n steps; false when memory runs out.
static bool FirstDuplicate(const uint8_t* data, size_t size, size_t start, size_t count, size_t* first) {
    *first = count;
    if (count < 2)
        return true;
    NamedRecord* records = (NamedRecord*)malloc(count * sizeof(NamedRecord));
    if (!records)
        return false;
    size_t pos = start;
    for (size_t i = 0; i < count; i++) {
        size_t at;
        uint32_t cb;
        ReadRecord(data, size, pos, &records[i].name, &at, &cb);
        records[i].index = i;
        pos = at + cb;
    }
    qsort(records, count, sizeof(NamedRecord), CompareNamedRecords);
    // In a run of equal names the first is the earliest; the one behind it
    // is that name's first repetition.
    for (size_t i = 1; i < count; i++)
        if (StrCmpAsciiNoCase(records[i - 1].name, records[i].name) == 0 && records[i].index < *first &&
            (i < 2 || StrCmpAsciiNoCase(records[i - 2].name, records[i].name) != 0))
            *first = records[i].index;
    free(records);
    return true;
}

int ArchiveCheck(const uint8_t* data, size_t size, size_t start, char* problemName) {
    if (problemName)
        problemName[0] = '\0';
    if (!data || start > size)
        return kArchiveTruncated;
    // First the records' shape and names, up to the first fault; then the
    // names of the records before it, which the first with a name would
    // shadow: a repeated name is a packing fault.
    int state = kArchiveOk;
    const char* faultName = nullptr;
    size_t count = 0;
    for (size_t pos = start;;) {
        if (AtTrailer(data, size, pos))
            break;
        if (pos == size) {
            state = kArchiveNoTrailer;
            break;
        }
        const char* name;
        size_t at;
        uint32_t cb;
        state = ReadRecord(data, size, pos, &name, &at, &cb);
        if (state != kArchiveOk)
            break;
        if (!ValidName(name)) {
            state = kArchiveBadName;
            faultName = name;
            break;
        }
        count++;
        pos = at + cb;
    }
    size_t duplicate;
    if (!FirstDuplicate(data, size, start, count, &duplicate))
        return kArchiveUnreadable;
    if (duplicate < count) {
        size_t pos = start, at = 0;
        uint32_t cb = 0;
        const char* name = nullptr;
        for (size_t i = 0; i <= duplicate; i++) {
            ReadRecord(data, size, pos, &name, &at, &cb);
            pos = at + cb;
        }
        if (problemName)
            StrCopy(problemName, kCchRecordName, name);
        return kArchiveDuplicate;
    }
    if (problemName && faultName)
        StrCopy(problemName, kCchRecordName, faultName);
    return state;
}

bool ArchiveFindRecord(const uint8_t* data, size_t size, size_t start, const char* name, size_t* dataOffset,
                       uint32_t* length) {
    if (!data || start > size)
        return false;
    for (size_t pos = start; pos < size && !AtTrailer(data, size, pos);) {
        const char* recordName;
        size_t at;
        uint32_t cb;
        if (ReadRecord(data, size, pos, &recordName, &at, &cb) != kArchiveOk)
            return false;
        if (StrCmpAsciiNoCase(recordName, name) == 0) {
            *dataOffset = at;
            *length = cb;
            return true;
        }
        pos = at + cb;
    }
    return false;
}

bool ArchiveFirstRecordName(const uint8_t* data, size_t size, size_t start, char* name) {
    const char* recordName;
    size_t at;
    uint32_t cb;
    if (!data || start >= size || AtTrailer(data, size, start) ||
        ReadRecord(data, size, start, &recordName, &at, &cb) != kArchiveOk)
        return false;
    return StrCopy(name, kCchRecordName, recordName);
}

int NextPatchRecord(const uint8_t* data, size_t size, size_t* pos, PatchRecord* out) {
    if (*pos >= size)
        return 0;
    if (size - *pos < 8)
        return -1;
    const uint8_t* p = data + *pos;
    out->offset = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
    out->length = (uint32_t)p[4] | ((uint32_t)p[5] << 8) | ((uint32_t)p[6] << 16) | ((uint32_t)p[7] << 24);
    if (out->length > size - *pos - 8)
        return -1;
    out->bytes = p + 8;
    *pos += 8 + (size_t)out->length;
    return 1;
}
