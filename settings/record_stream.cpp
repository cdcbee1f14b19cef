// CRecordStream: the older tagged-record form of option files.
#include "record_stream.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "record_file.h"

CRecordStream::CRecordStream(int initialCapacity) {
    if (initialCapacity > 0)
        data_.SetCapacity(initialCapacity);
}

int CRecordStream::Load(const char* nameFormat, int index, int flag, ...) {
    data_.Clear();
    cursor_ = 0;
    char name[kCchPath];
    va_list args;
    va_start(args, flag);
    int n = nameFormat ? vsnprintf(name, countof(name), nameFormat, args) : -1;
    va_end(args);
    if (n < 0 || (size_t)n >= countof(name))
        return 0;  // a cut name would read another record
    DWORD size = ReadRecordFile(name, index, nullptr, 0, flag);
    if (size == 0 || size > 0x7FFFFFFF || !data_.SetSize((int)size)) {
        data_.RemoveAll();
        return 0;
    }
    DWORD got = ReadRecordFile(name, index, data_.Data(), size, flag);
    data_.count = (int)got;
    return (int)got;
}

// One record's header at pos. False when the header does not fit in the
// stream (a cut record ends the stream).
struct RecordHeader {
    uint32_t group;
    uint32_t id;
    uint64_t length;
    int dataPos;
};

static uint64_t ReadLittle(const uint8_t* p, int cb) {
    uint64_t v = 0;
    for (int i = cb - 1; i >= 0; i--)
        v = (v << 8) | p[i];
    return v;
}

static bool ReadHeader(const uint8_t* data, int count, int pos, RecordHeader* h) {
    if (pos < 0 || pos >= count)
        return false;
    uint8_t tag = data[pos];
    int cbGroup = tag & 3, cbId = (tag >> 2) & 3, cbLength = (tag >> 4) & 7;
    if (count - pos - 1 < cbGroup + cbId + cbLength)
        return false;
    const uint8_t* p = data + pos + 1;
    h->group = (uint32_t)ReadLittle(p, cbGroup);
    h->id = (uint32_t)ReadLittle(p + cbGroup, cbId);
    h->length = ReadLittle(p + cbGroup + cbId, cbLength);
    h->dataPos = pos + 1 + cbGroup + cbId + cbLength;
    return true;
}

int CRecordStream::FindRecord(int group, int id, void* out, int size) {
    int count = data_.count;
    if (count <= 0 || size < 0 || (!out && size > 0))
        return -1;
    // A cursor at the end still finds the records before it.
    if (cursor_ < 0 || cursor_ >= count)
        cursor_ = 0;
    const uint8_t* data = data_.Data();
    int begin = cursor_;
    int pos = begin;
    bool wrapped = false;
    for (;;) {
        RecordHeader h;
        bool inStream = ReadHeader(data, count, pos, &h);
        if (inStream && wrapped && pos >= begin)
            return -1;  // back where the search began
        if (!inStream) {
            if (wrapped || begin == 0)
                return -1;
            wrapped = true;
            pos = 0;
            continue;
        }
        uint64_t left = (uint64_t)(count - h.dataPos);
        bool fits = h.length <= left;
        cursor_ = fits ? h.dataPos + (int)h.length : count;
        if ((uint16_t)h.group == (uint16_t)group && (uint16_t)h.id == (uint16_t)id) {
            if (!fits)
                return -1;
            int n = h.length < (uint64_t)size ? (int)h.length : size;
            if (n > 0)
                memcpy(out, data + h.dataPos, (size_t)n);
            if (size > n)
                memset((uint8_t*)out + n, 0, (size_t)(size - n));
            return n;
        }
        pos = cursor_;
        if (wrapped && pos >= begin)
            return -1;
    }
}
