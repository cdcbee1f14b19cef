// The streams every codec reads and writes through: CRasterFile (abstract),
// CRasterDiskFile over a C FILE and CRasterMemFile, a growable memory
// buffer. Results follow stdio: item counts, bools, -1 for "no byte".
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

class CRasterFile {
  public:
    virtual ~CRasterFile() {}
    virtual bool Close() = 0;
    // Whole items read / written, as fread and fwrite.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin 0 start, 1 current, 2 end.
    virtual bool Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }
    virtual long GetC() = 0;
    virtual char* GetS(char* buffer, int size) = 0;
    virtual long Scanf(const char* format, void* output) = 0;
};

// A FILE, closed by Close and the destructor only when owned.
class CRasterDiskFile : public CRasterFile {
  public:
    explicit CRasterDiskFile(FILE* f = nullptr, bool owns = false) : file_(f), owns_(owns) {}
    ~CRasterDiskFile() override { Close(); }
    // Opens a file (fopen modes); false when it cannot be opened.
    bool Open(const char* name, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;
    char* GetS(char* buffer, int size) override;
    long Scanf(const char* format, void* output) override;

  private:
    FILE* file_;
    bool owns_;
};

// Memory stream. A caller's buffer is read in place and not freed; once a
// write grows it the stream allocates its own copy (so any buffer works).
// Sizes and positions stay below 2 GiB; bytes between the data's end and a
// write past it are zero.
class CRasterMemFile : public CRasterFile {
  public:
    explicit CRasterMemFile(unsigned char* buffer = nullptr, size_t size = 0);
    ~CRasterMemFile() override { Close(); }
    // Only when no buffer is bound: an empty owned buffer.
    bool Open();
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    // A resulting position below 0 fails and leaves the position.
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;
    char* GetS(char* buffer, int size) override;
    long Scanf(const char*, void*) override { return 0; }
    // The buffer; with detach the caller owns (and frees) it from then on.
    unsigned char* GetBuffer(bool detach = false);
    size_t Capacity() const { return capacity_; }

  private:
    bool Grow(uint64_t n);
    unsigned char* buffer_;
    size_t size_;
    bool owns_;
    size_t position_;
    size_t capacity_;
    bool eof_;
};
