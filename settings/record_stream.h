// CRecordStream: reads the older binary form of option files, a stream of
// tagged records searched by group and id. Each record is a header byte
// (bits 0-1: bytes of the group field, 0-3; bits 2-3: bytes of the id field,
// 0-3; bits 4-6: bytes of the length field, 0-7), then those fields as
// unsigned little-endian numbers (an absent field is 0), then the data.
#pragma once
#include <stdint.h>

#include "base/dyn_array.h"
#include "base/str_util.h"

class CRecordStream {
  public:
    explicit CRecordStream(int initialCapacity = 0);

    // Reads the record file (settings record path of the name the format
    // gives, the index and the folder flag) into the stream; the cursor
    // goes to its start. Returns the bytes read; 0 (stream empty) when the
    // file is missing or empty, the name does not fit or memory ran out.
    int Load(const char* nameFormat, int index, int flag, ...) __attribute__((format(STR_PRINTF_FORMAT, 2, 5)));

    // Finds the next record of this group and id (compared as 16-bit
    // values) from the cursor on, wrapping once to the start. Copies
    // min(size, its length) bytes to out, zero-fills the rest of out, and
    // returns the bytes copied; -1 when there is none, or when the found
    // record's data runs past the end of the stream. The cursor moves
    // behind each record read.
    int FindRecord(int group, int id, void* out, int size);

    int Size() const { return data_.count; }

  private:
    CDynArray<uint8_t> data_;
    int cursor_ = 0;
};
