// CRasterDiskFile and CRasterMemFile.
#include "image/raster_file.h"

#include <stdlib.h>
#include <string.h>

namespace {
constexpr uint64_t kMemFileMax = 0x7FFFFFFF;  // positions fit a long
}

// --- disk -----------------------------------------------------------------

bool CRasterDiskFile::Open(const char* name, const char* mode) {
    Close();
    file_ = fopen(name, mode);
    owns_ = file_ != nullptr;
    return file_ != nullptr;
}

bool CRasterDiskFile::Close() {
    if (!file_ || !owns_)
        return true;
    int r = fclose(file_);
    file_ = nullptr;
    return r == 0;
}

size_t CRasterDiskFile::Read(void* buffer, size_t size, size_t count) {
    return file_ && buffer ? fread(buffer, size, count, file_) : 0;
}

size_t CRasterDiskFile::Write(const void* buffer, size_t size, size_t count) {
    return file_ && buffer ? fwrite(buffer, size, count, file_) : 0;
}

bool CRasterDiskFile::Seek(long offset, int origin) {
    return file_ && fseek(file_, offset, origin) == 0;
}

long CRasterDiskFile::Tell() {
    return file_ ? ftell(file_) : 0;
}

long CRasterDiskFile::Size() {
    if (!file_)
        return -1;
    long pos = ftell(file_);
    fseek(file_, 0, SEEK_END);
    long size = ftell(file_);
    fseek(file_, pos, SEEK_SET);
    return size;
}

bool CRasterDiskFile::Flush() {
    return file_ && fflush(file_) == 0;
}

bool CRasterDiskFile::Eof() {
    return !file_ || feof(file_);
}

long CRasterDiskFile::Error() {
    return file_ ? ferror(file_) : -1;
}

bool CRasterDiskFile::PutC(unsigned char c) {
    return file_ && fputc(c, file_) == c;
}

long CRasterDiskFile::GetC() {
    return file_ ? getc(file_) : -1;
}

char* CRasterDiskFile::GetS(char* buffer, int size) {
    return file_ ? fgets(buffer, size, file_) : nullptr;
}

long CRasterDiskFile::Scanf(const char* format, void* output) {
    return file_ ? fscanf(file_, format, output) : -1;
}

// --- memory ---------------------------------------------------------------

CRasterMemFile::CRasterMemFile(unsigned char* buffer, size_t size)
    : buffer_(buffer),
      size_(buffer ? size : 0),
      owns_(buffer == nullptr),
      position_(0),
      capacity_(buffer ? size : 0),
      eof_(false) {}

bool CRasterMemFile::Open() {
    if (buffer_)
        return false;
    capacity_ = size_ = position_ = 0;
    eof_ = false;
    buffer_ = (unsigned char*)malloc(1);
    owns_ = true;
    return buffer_ != nullptr;
}

bool CRasterMemFile::Close() {
    if (buffer_ && owns_) {
        free(buffer_);
        buffer_ = nullptr;
        size_ = capacity_ = position_ = 0;
    }
    return true;
}

bool CRasterMemFile::Grow(uint64_t n) {
    if (n <= capacity_)
        return buffer_ != nullptr;
    if (n > kMemFileMax)
        return false;
    // Geometric growth keeps a long run of small writes linear; at least
    // the next 64 KiB step, which is tried alone when the doubled size
    // cannot be had (a 32-bit address space).
    uint64_t step = (n & ~(uint64_t)0xFFFF) + 0x10000;
    if (step > kMemFileMax + 1)
        step = kMemFileMax + 1;
    uint64_t cap = (uint64_t)capacity_ * 2;
    if (cap < step || cap > kMemFileMax + 1)
        cap = step;
    unsigned char* grown = nullptr;
    for (;;) {
        if (owns_) {
            grown = (unsigned char*)realloc(buffer_, (size_t)cap);
        } else {  // a caller's buffer is never reallocated: copy it
            grown = (unsigned char*)malloc((size_t)cap);
            if (grown && buffer_)
                memcpy(grown, buffer_, size_);
        }
        if (grown || cap == step)
            break;
        cap = step;
    }
    if (!grown)
        return false;
    buffer_ = grown;
    owns_ = true;
    capacity_ = (size_t)cap;
    return true;
}

size_t CRasterMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!buffer || !buffer_)
        return 0;
    if (position_ >= size_) {
        eof_ = true;
        return 0;
    }
    uint64_t n = (uint64_t)size * count;
    if (n == 0)
        return 0;
    uint64_t left = size_ - position_;
    if (n > left) {
        eof_ = true;
        n = left;
    }
    memcpy(buffer, buffer_ + position_, (size_t)n);
    position_ += (size_t)n;
    return (size_t)(n / size);
}

size_t CRasterMemFile::Write(const void* buffer, size_t size, size_t count) {
    eof_ = false;
    if (!buffer_ || !buffer)
        return 0;
    uint64_t n = (uint64_t)size * count;
    if (n == 0)
        return 0;
    if (!Grow((uint64_t)position_ + n))
        return 0;
    if (position_ > size_)  // a seek past the end leaves zeros, not old bytes
        memset(buffer_ + size_, 0, position_ - size_);
    memcpy(buffer_ + position_, buffer, (size_t)n);
    position_ += (size_t)n;
    if (position_ > size_)
        size_ = position_;
    return count;
}

bool CRasterMemFile::Seek(long offset, int origin) {
    eof_ = false;
    if (!buffer_)
        return false;
    int64_t base;
    if (origin == 0)
        base = 0;
    else if (origin == 1)
        base = (int64_t)position_;
    else if (origin == 2)
        base = (int64_t)size_;
    else
        return false;
    int64_t pos = base + offset;
    if (pos < 0 || pos > (int64_t)kMemFileMax)
        return false;
    position_ = (size_t)pos;
    return true;
}

long CRasterMemFile::Tell() {
    return buffer_ ? (long)position_ : -1;
}

long CRasterMemFile::Size() {
    return buffer_ ? (long)size_ : -1;
}

bool CRasterMemFile::Flush() {
    return buffer_ != nullptr;
}

bool CRasterMemFile::Eof() {
    return buffer_ ? eof_ : true;
}

long CRasterMemFile::Error() {
    return buffer_ ? (position_ > size_ ? 1 : 0) : -1;
}

bool CRasterMemFile::PutC(unsigned char c) {
    return Write(&c, 1, 1) == 1;
}

long CRasterMemFile::GetC() {
    if (buffer_ && position_ < size_)
        return buffer_[position_++];
    eof_ = true;
    return -1;
}

char* CRasterMemFile::GetS(char* buffer, int size) {
    if (!buffer || size <= 0)
        return nullptr;
    int n = 0;
    while (n < size - 1) {
        long c = GetC();
        if (c < 0)
            return nullptr;
        buffer[n++] = (char)c;
        if (c == '\n')
            break;
    }
    buffer[n] = 0;
    return buffer;
}

unsigned char* CRasterMemFile::GetBuffer(bool detach) {
    if (detach)
        owns_ = false;
    return buffer_;
}
