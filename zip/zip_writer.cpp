// The zip writer: deflate (raw, level 8) or store by extension, an "UT"
// extended-timestamp field on every entry, traditional encryption with a
// data descriptor when the handle has a password. No Zip64, no comments:
// at most 65,535 entries and 4 GB.
#include "zip_writer.h"

#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "zip.h"
#include "zip_bytes.h"

static const uint16_t kVersionMadeBy = 0x0B17;
static const uint16_t kVersionNeeded = 20;
static const int kLocalExtraLen = 17;
static const int kCentralExtraLen = 9;

struct CZipWriter::Source {
    OsFile* file = nullptr;
    const uint8_t* mem = nullptr;
    uint32_t memLen = 0, memPos = 0;
    bool isFolder = false;
    uint32_t declaredSize = 0;
    uint32_t bytesRead = 0;
    uint32_t crc = 0;
    uint32_t externalAttr = 0;
    uint32_t unixTimes[3] = {};  // last write, last access, creation
    uint16_t dosTime = 0, dosDate = 0;
};

CZipWriter::~CZipWriter() {
    if (file_)
        OsFileClose(file_);
    if (deflateReady_)
        deflateEnd(&deflate_);
    free(transfer_);
    free(password_);
}

bool CZipWriter::Create(const char* archive, const char* password) {
    if (password && *password) {
        password_ = strdup(password);
        if (!password_)
            return false;
    }
    transfer_ = (uint8_t*)malloc(2 * kZipIoBlock);
    if (!transfer_)
        return false;
    file_ = OsFileCreate(archive, 0);
    if (!file_)
        return false;
    ZipKeysSeed();
    return true;
}

// Unix time from a FILETIME; the low 32 bits are what the field keeps.
static uint32_t UnixTimeOf(const FILETIME& ft) {
    int64_t v = (int64_t)(((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime);
    return (uint32_t)((v - (int64_t)kUnixEpochAsFileTime) / 10000000);
}

// DOS date and time of a UTC time taken as local time, clamped to the DOS range.
static void DosTimeOf(const FILETIME& utc, uint16_t* dosTime, uint16_t* dosDate) {
    SYSTEMTIME st;
    if (!OsUtcToLocal(&utc, &st) || st.wYear < 1980) {
        *dosDate = (0 << 9) | (1 << 5) | 1;
        *dosTime = 0;
        return;
    }
    if (st.wYear > 2107) {
        *dosDate = (uint16_t)((127 << 9) | (12 << 5) | 31);
        *dosTime = (uint16_t)((23 << 11) | (59 << 5) | 29);
        return;
    }
    *dosDate = (uint16_t)(((st.wYear - 1980) << 9) | (st.wMonth << 5) | st.wDay);
    *dosTime = (uint16_t)((st.wHour << 11) | (st.wMinute << 5) | (st.wSecond / 2));
}

// Names with these extensions are stored: they are compressed already.
static bool IsStoredExtension(const char* name) {
    static const char* const kStored[] = {".Z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz"};
    const char* dot = strrchr(name, '.');
    if (!dot)
        return false;
    for (const char* ext : kStored)
        if (StrCmpAsciiNoCase(dot, ext) == 0)
            return true;
    return false;
}

// An executable has an MZ header whose new-header offset names a PE, NE, LE or MZ signature.
static bool IsExecutable(OsFile* f, uint64_t size) {
    uint8_t head[64];
    DWORD got = 0;
    if (size <= 40 || !OsFileSeek(f, 0) || !OsFileRead(f, head, sizeof head, &got) || got < 64)
        return false;
    if (head[0] != 'M' || head[1] != 'Z')
        return false;
    uint32_t off = ZipGet32(head + 60);
    uint8_t sig[4];
    if ((uint64_t)off + 52 >= size || !OsFileSeek(f, off) || !OsFileRead(f, sig, 4, &got) || got < 4)
        return false;
    uint32_t v = ZipGet32(sig);
    return v == 0x00004550 || v == 0x0000454E || v == 0x0000454C || v == 0x00005A4D;
}

uint32_t CZipWriter::AddFile(const char* name, const char* sourceFile) {
    if (!name || !*name || !sourceFile || !*sourceFile)
        return kZipErrArgument;
    Source src;
    src.file = OsFileOpenRead(sourceFile, true);
    if (!src.file)
        return kZipErrOpenFile;
    OsFileInfo info;
    if (!OsFileGetInfo(src.file, &info)) {
        OsFileClose(src.file);
        return kZipErrOpenFile;
    }
    if (info.size > 0xFFFFFFFFu) {  // no Zip64
        OsFileClose(src.file);
        return kZipErrWrite;
    }
    src.isFolder = (info.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    src.declaredSize = src.isFolder ? 0 : (uint32_t)info.size;
    bool readOnly = (info.attributes & FILE_ATTRIBUTE_READONLY) != 0;
    uint32_t mode = (src.isFolder ? 0x4000 : 0x8000) | 0x0100 | (readOnly ? 0 : 0x0080);
    if (!src.isFolder && IsExecutable(src.file, info.size))
        mode |= 0x0040;
    src.externalAttr = (mode << 16) | (info.attributes & 0x37);
    src.unixTimes[0] = UnixTimeOf(info.lastWrite);
    src.unixTimes[1] = UnixTimeOf(info.lastAccess);
    src.unixTimes[2] = UnixTimeOf(info.creation);
    DosTimeOf(info.lastWrite, &src.dosTime, &src.dosDate);
    if (!src.isFolder && !OsFileSeek(src.file, 0)) {
        OsFileClose(src.file);
        return kZipErrOpenFile;
    }
    uint32_t rc = AddEntry(name, &src);
    OsFileClose(src.file);
    return rc;
}

uint32_t CZipWriter::AddMemory(const char* name, const void* data, uint32_t cb) {
    if (!name || !*name || (!data && cb > 0))
        return kZipErrArgument;
    static const uint8_t kNothing = 0;
    Source src;
    src.mem = data ? (const uint8_t*)data : &kNothing;
    src.memLen = cb;
    src.declaredSize = cb;
    src.externalAttr = 0x80000000u;
    FILETIME now = OsUtcNow();
    src.unixTimes[0] = src.unixTimes[1] = src.unixTimes[2] = UnixTimeOf(now);
    DosTimeOf(now, &src.dosTime, &src.dosDate);
    return AddEntry(name, &src);
}

bool CZipWriter::WriteRaw(const void* buf, uint32_t cb) {
    if (cb > 0xFFFFFFFFu - pos_)  // past 4 GB the offsets no longer fit
        return false;
    DWORD done = 0;
    bool ok = OsFileWrite(file_, buf, cb, &done) && done == cb;
    pos_ += done;
    return ok;
}

bool CZipWriter::WriteData(const uint8_t* buf, uint32_t cb) {
    if (password_) {
        if ((uint32_t)scratch_.count < cb && !scratch_.SetSize((int)cb))
            return false;
        memcpy(scratch_.Data(), buf, cb);
        ZipKeysEncrypt(&keys_, scratch_.Data(), cb);
        buf = scratch_.Data();
    }
    if (!WriteRaw(buf, cb))
        return false;
    dataWritten_ += cb;
    return true;
}

bool CZipWriter::ReadSource(Source* src, uint8_t* buf, uint32_t cb, uint32_t* got) {
    *got = 0;
    if (src->mem) {
        uint32_t left = src->memLen - src->memPos;
        *got = cb < left ? cb : left;
        memcpy(buf, src->mem + src->memPos, *got);
        src->memPos += *got;
    } else if (!src->isFolder) {
        DWORD n = 0;
        if (!OsFileRead(src->file, buf, cb, &n))
            return false;  // a read error fails the entry; it is never recorded cut short
        *got = n;
    }
    if (*got > 0xFFFFFFFFu - src->bytesRead)
        return false;
    src->bytesRead += *got;
    src->crc = (uint32_t)crc32(src->crc, buf, *got);
    return true;
}

// Text when the bytes 0-6 and 128-255 are at most a quarter of the others.
static bool LooksLikeText(const uint8_t* buf, uint32_t cb) {
    uint32_t binary = 0, text = 0;
    for (uint32_t i = 0; i < cb; i++) {
        if (buf[i] <= 6 || buf[i] >= 128)
            binary++;
        else
            text++;
    }
    return binary <= text / 4;
}

uint32_t CZipWriter::WriteDeflated(Source* src, Entry* e) {
    if (!deflateReady_) {
        if (deflateInit2(&deflate_, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return kZipErrWrite;
        deflateReady_ = true;
    } else if (deflateReset(&deflate_) != Z_OK) {
        return kZipErrWrite;
    }
    uint8_t* in = transfer_;
    uint8_t* out = transfer_ + kZipIoBlock;
    bool sourceEnded = false, first = true;
    deflate_.avail_in = 0;
    for (;;) {
        if (deflate_.avail_in == 0 && !sourceEnded) {
            uint32_t got;
            if (!ReadSource(src, in, kZipIoBlock, &got))
                return kZipErrWrite;
            if (first && got > 0 && LooksLikeText(in, got))
                e->internalAttr |= 1;
            first = false;
            sourceEnded = got == 0;
            deflate_.next_in = in;
            deflate_.avail_in = got;
        }
        deflate_.next_out = out;
        deflate_.avail_out = kZipIoBlock;
        int r = deflate(&deflate_, sourceEnded ? Z_FINISH : Z_NO_FLUSH);
        if (r == Z_STREAM_ERROR)
            return kZipErrWrite;
        uint32_t have = kZipIoBlock - deflate_.avail_out;
        if (have > 0 && !WriteData(out, have))
            return kZipErrWrite;
        if (r == Z_STREAM_END)
            return kZipOk;
    }
}

uint32_t CZipWriter::WriteStored(Source* src) {
    for (;;) {
        uint32_t got;
        if (!ReadSource(src, transfer_, kZipIoBlock, &got))
            return kZipErrWrite;
        if (got == 0)
            return kZipOk;
        if (!WriteData(transfer_, got))
            return kZipErrWrite;
    }
}

static void PutTimestampExtra(uint8_t* p, bool local, const uint32_t times[3]) {
    p = ZipPut16(p, kZipExtraTimestampId);
    p = ZipPut16(p, local ? 13 : 5);
    *p++ = 7;  // last write, last access and creation are set
    p = ZipPut32(p, times[0]);
    if (local) {
        p = ZipPut32(p, times[1]);
        ZipPut32(p, times[2]);
    }
}

// The fields that the local header and the central record share, from
// "version needed" to the uncompressed size.
static uint8_t* PutSharedFields(uint8_t* p, const ZipEntryRecord* e, uint16_t flags) {
    p = ZipPut16(p, e->versionNeeded);
    p = ZipPut16(p, flags);
    p = ZipPut16(p, e->method);
    p = ZipPut16(p, e->dosTime);
    p = ZipPut16(p, e->dosDate);
    p = ZipPut32(p, e->crc);
    p = ZipPut32(p, e->compressedSize);
    return ZipPut32(p, e->uncompressedSize);
}

bool CZipWriter::WriteLocalHeader(const Entry* e, const uint8_t* localExtra) {
    uint8_t h[kZipLocalHeaderLen];
    uint8_t* p = PutSharedFields(ZipPut32(h, kZipSigLocal), e, e->localFlags);
    p = ZipPut16(p, e->nameLen);
    ZipPut16(p, e->localExtraLen);
    if (!WriteRaw(h, sizeof h))
        return false;
    return !localExtra || (WriteRaw(e->name, e->nameLen) && WriteRaw(localExtra, e->localExtraLen));
}

// Drops what a failed entry left, so that later entries stand where the directory says.
void CZipWriter::Rewind(uint32_t pos) {
    if (OsFileSeek(file_, pos) && OsFileTruncateHere(file_))
        pos_ = pos;
}

// The entry's name with '/' separators, a folder's ending in '/'. Names
// are at most 259 characters; a cut name could collide with another.
// False when it does not fit.
static bool SetEntryName(ZipEntryRecord* e, const char* name, bool folder) {
    if (!StrCopy(e->name, countof(e->name), name))
        return false;
    for (char* c = e->name; *c; c++)
        if (*c == '\\')
            *c = '/';
    size_t nameLen = strlen(e->name);
    if (folder && e->name[nameLen - 1] != '/') {
        if (!StrCat(e->name, countof(e->name), "/"))
            return false;
        nameLen++;
    }
    e->nameLen = (uint16_t)nameLen;
    return true;
}

// The record of a new entry at pos_, before its data: method, times,
// announced sizes and both timestamp extras. kZipOk, kZipErrArgument (the
// name) or kZipErrWrite (no room for another entry).
uint32_t CZipWriter::PrepareEntry(const char* name, Source* src, Entry* e, uint8_t* localExtra) {
    memset(e, 0, sizeof *e);
    if (!SetEntryName(e, name, src->isFolder))
        return kZipErrArgument;
    if (entries_.count >= 0xFFFF)  // the entry counts are 16-bit
        return kZipErrWrite;
    // Folders carry no data: stored, and not encrypted, as other tools write them.
    bool encrypt = password_ && !src->isFolder;
    uint32_t headerLen = encrypt ? kZipCryptHeaderLen : 0;
    e->versionMadeBy = kVersionMadeBy;
    e->versionNeeded = kVersionNeeded;
    e->flags = e->localFlags = encrypt ? 9 : 8;
    // Empty entries are stored, as other tools write them.
    e->method = (src->isFolder || src->declaredSize == 0 || IsStoredExtension(e->name)) ? 0 : 8;
    e->dosTime = src->dosTime;
    e->dosDate = src->dosDate;
    e->compressedSize = e->method == 0 ? src->declaredSize + headerLen : 0;
    e->uncompressedSize = src->declaredSize;
    e->localExtraLen = kLocalExtraLen;
    e->centralExtraLen = kCentralExtraLen;
    e->externalAttr = src->externalAttr;
    e->localHeaderOffset = pos_;
    PutTimestampExtra(e->centralExtra, false, src->unixTimes);
    PutTimestampExtra(localExtra, true, src->unixTimes);
    return kZipOk;
}

// The local header and, for an encrypted entry, the encryption header; the
// keys start from the password. kZipOk or kZipErrWrite.
uint32_t CZipWriter::WriteEntryStart(const Entry* e, const uint8_t* localExtra, bool encrypt) {
    if (!WriteLocalHeader(e, localExtra))
        return kZipErrWrite;
    ZipKeysInit(&keys_, password_);
    if (encrypt) {
        uint8_t header[kZipCryptHeaderLen];
        ZipKeysMakeHeader(&keys_, header, (uint8_t)(e->dosTime >> 8));
        if (!WriteRaw(header, sizeof header))
            return kZipErrWrite;
    }
    return kZipOk;
}

// An encrypted entry's data descriptor. Its local header can't be
// corrected afterwards: a stored entry must have the announced size.
// kZipOk, kZipErrStoredLength or kZipErrWrite.
uint32_t CZipWriter::WriteDescriptor(const Entry& e, uint32_t announcedSize) {
    if (e.method == 0 && e.compressedSize != announcedSize)
        return kZipErrStoredLength;
    uint8_t d[16];
    uint8_t* p = ZipPut32(d, kZipSigDescriptor);
    p = ZipPut32(p, e.crc);
    p = ZipPut32(p, e.compressedSize);
    ZipPut32(p, e.uncompressedSize);
    return WriteRaw(d, sizeof d) ? kZipOk : kZipErrWrite;
}

// A plain entry's local header written again at start with the final
// sizes and CRC, without a descriptor flag. kZipOk or kZipErrWrite.
uint32_t CZipWriter::PatchLocalHeader(Entry* e, uint32_t start) {
    e->flags = e->localFlags = e->method == 8 ? 2 : 0;  // bit 1: level 8
    uint32_t end = pos_;
    bool ok = OsFileSeek(file_, start);
    if (ok) {
        pos_ = start;
        ok = WriteLocalHeader(e, nullptr) && OsFileSeek(file_, end);
        pos_ = end;
    }
    return ok ? kZipOk : kZipErrWrite;
}

uint32_t CZipWriter::AddEntry(const char* name, Source* src) {
    Entry e;
    uint8_t localExtra[kLocalExtraLen];
    uint32_t rc = PrepareEntry(name, src, &e, localExtra);
    if (rc != kZipOk)
        return rc;
    const bool encrypt = password_ && !src->isFolder;
    const uint32_t headerLen = encrypt ? kZipCryptHeaderLen : 0;
    const uint32_t announcedSize = e.compressedSize;
    const uint32_t start = pos_;
    rc = WriteEntryStart(&e, localExtra, encrypt);
    if (rc == kZipOk) {
        dataWritten_ = 0;
        rc = e.method == 8 ? WriteDeflated(src, &e) : WriteStored(src);
    }
    if (rc == kZipOk) {
        e.uncompressedSize = src->bytesRead;
        e.compressedSize = dataWritten_ + headerLen;
        e.crc = src->crc;
        rc = encrypt ? WriteDescriptor(e, announcedSize) : PatchLocalHeader(&e, start);
    }
    if (rc == kZipOk && entries_.Add(&e) < 0)
        rc = kZipErrWrite;
    if (rc != kZipOk)
        Rewind(start);  // later entries stand where the directory says
    return rc;
}

uint32_t CZipWriter::Close() {
    bool ok = true;
    uint32_t directoryStart = pos_;
    for (int i = 0; i < entries_.count && ok; i++) {
        const Entry* e = entries_.At(i);
        uint8_t h[kZipCentralHeaderLen];
        uint8_t* p = ZipPut16(ZipPut32(h, kZipSigCentral), e->versionMadeBy);
        p = PutSharedFields(p, e, e->flags);
        p = ZipPut16(p, e->nameLen);
        p = ZipPut16(p, e->centralExtraLen);
        p = ZipPut16(p, e->commentLen);
        p = ZipPut16(p, e->diskStart);
        p = ZipPut16(p, e->internalAttr);
        p = ZipPut32(p, e->externalAttr);
        ZipPut32(p, e->localHeaderOffset);
        ok = WriteRaw(h, sizeof h) && WriteRaw(e->name, e->nameLen) && WriteRaw(e->centralExtra, e->centralExtraLen);
    }
    if (ok) {
        uint8_t end[kZipEndRecordLen];
        uint8_t* p = ZipPut32(end, kZipSigEnd);
        p = ZipPut16(p, 0);
        p = ZipPut16(p, 0);
        p = ZipPut16(p, (uint32_t)entries_.count);
        p = ZipPut16(p, (uint32_t)entries_.count);
        p = ZipPut32(p, pos_ - directoryStart);
        p = ZipPut32(p, directoryStart);
        ZipPut16(p, 0);
        ok = WriteRaw(end, sizeof end);
    }
    OsFileClose(file_);
    file_ = nullptr;
    entries_.RemoveAll();
    return ok ? kZipOk : kZipErrWrite;
}
