// The zip reader: archives on one disk, stored or deflated entries, with
// traditional encryption; leading bytes before the first entry and a
// trailing comment are allowed. No Zip64.
#include "zip_reader.h"

#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "zip_bytes.h"

CZipReader::~CZipReader() {
    CloseEntry();
    if (inflateReady_)
        inflateEnd(&inflate_);
    if (file_)
        OsFileClose(file_);
    free(input_);
    free(extractBuf_);
    free(password_);
}

static bool EndsWithSeparator(const char* s) {
    size_t n = strlen(s);
    return n > 0 && (s[n - 1] == '\\' || s[n - 1] == '/');
}

// Copies a folder and appends a separator unless it ends in one.
static bool SetFolder(char* dst, size_t cch, const char* folder) {
    char sep[2] = {OsPathSeparator(), 0};
    return StrCopy(dst, cch, folder) && (EndsWithSeparator(dst) || StrCat(dst, cch, sep));
}

bool CZipReader::ReadAt(uint64_t pos, void* buf, uint32_t cb) {
    if (pos > fileSize_ || cb > fileSize_ - pos)
        return false;
    DWORD got = 0;
    return OsFileSeek(file_, pos) && OsFileRead(file_, buf, cb, &got) && got == cb;
}

bool CZipReader::Open(const char* archive, const char* password) {
    char cwd[260];
    if (!OsGetCurrentFolder(cwd, countof(cwd)) || !SetFolder(baseDir_, countof(baseDir_), cwd))
        baseDir_[0] = '\0';
    if (password && *password && !(password_ = strdup(password)))
        return false;
    if (!archive || !(file_ = OsFileOpenRead(archive, false)))
        return false;
    OsFileInfo info;
    if (!OsFileGetInfo(file_, &info) || (info.attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    fileSize_ = info.size;

    // The end record lies within the last 64 KB (its comment is at most
    // 65,535 bytes). Blocks overlap by 4 bytes so that a signature across a
    // border is found. A record counts only when it is consistent with the
    // file: its comment reaches the end of the file, or it has entries whose
    // directory reads before it. A record that lies in the comment of an
    // earlier consistent one is comment text, so the earlier one wins.
    uint64_t window = fileSize_ < 65535 + kZipEndRecordLen ? fileSize_ : 65535 + kZipEndRecordLen;
    uint8_t block[1028];
    EndRecord best = {};
    bool found = false;
    for (uint64_t c = 4; c < window;) {
        c = c + 1024 < window ? c + 1024 : window;
        uint64_t start = fileSize_ - c;
        uint32_t len = c < sizeof block ? (uint32_t)c : (uint32_t)sizeof block;
        if (!ReadAt(start, block, len))
            return false;
        for (int j = (int)len - 4; j >= 0; j--) {
            EndRecord e;
            if (ZipGet32(block + j) != kZipSigEnd || !ReadEndRecord(start + (uint64_t)j, &e))
                continue;
            bool reachesEnd = e.pos + kZipEndRecordLen + e.commentLen == fileSize_;
            if ((!reachesEnd && e.count == 0) || (found && !(reachesEnd && e.pos + kZipEndRecordLen <= best.pos)))
                continue;
            if (UseEndRecord(e)) {
                best = e;
                found = true;
            }
        }
    }
    return found && UseEndRecord(best);
}

bool CZipReader::ReadEndRecord(uint64_t pos, EndRecord* e) {
    uint8_t r[kZipEndRecordLen];
    if (!ReadAt(pos, r, sizeof r))
        return false;
    uint16_t thisDisk = ZipGet16(r + 4), dirDisk = ZipGet16(r + 6);
    uint16_t onDisk = ZipGet16(r + 8);
    e->pos = pos;
    e->count = ZipGet16(r + 10);
    e->size = ZipGet32(r + 12);
    e->offset = ZipGet32(r + 16);
    e->commentLen = ZipGet16(r + 20);
    return thisDisk == 0 && dirDisk == 0 && onDisk == e->count && pos >= (uint64_t)e->offset + e->size;
}

bool CZipReader::UseEndRecord(const EndRecord& e) {
    count_ = e.count;
    dirOffset_ = e.offset;
    dirSize_ = e.size;
    prefix_ = e.pos - e.offset - e.size;
    curIndex_ = -1;
    return count_ == 0 || GotoFirst();
}

bool CZipReader::ReadCentral(uint64_t dirPos) {
    uint64_t dirEnd = (uint64_t)dirOffset_ + dirSize_;
    uint8_t h[kZipCentralHeaderLen];
    if (dirPos + kZipCentralHeaderLen > dirEnd || !ReadAt(prefix_ + dirPos, h, sizeof h))
        return false;
    if (ZipGet32(h) != kZipSigCentral)
        return false;
    Central c;
    c.versionMadeBy = ZipGet16(h + 4);
    c.versionNeeded = ZipGet16(h + 6);
    c.flags = ZipGet16(h + 8);
    c.method = ZipGet16(h + 10);
    c.dosTime = ZipGet16(h + 12);
    c.dosDate = ZipGet16(h + 14);
    c.crc = ZipGet32(h + 16);
    c.compressedSize = ZipGet32(h + 20);
    c.uncompressedSize = ZipGet32(h + 24);
    c.nameLen = ZipGet16(h + 28);
    c.extraLen = ZipGet16(h + 30);
    c.commentLen = ZipGet16(h + 32);
    c.diskStart = ZipGet16(h + 34);
    c.internalAttr = ZipGet16(h + 36);
    c.externalAttr = ZipGet32(h + 38);
    c.localHeaderOffset = ZipGet32(h + 42);
    if (dirPos + kZipCentralHeaderLen + c.nameLen + c.extraLen + c.commentLen > dirEnd)
        return false;
    c.nameFits = c.nameLen < sizeof c.name;
    c.name[0] = '\0';
    if (c.nameFits) {
        if (!ReadAt(prefix_ + dirPos + kZipCentralHeaderLen, c.name, c.nameLen))
            return false;
        c.name[c.nameLen] = '\0';
        if (strlen(c.name) != c.nameLen)  // a NUL inside the name
            c.nameFits = false;
    }
    cur_ = c;
    return true;
}

bool CZipReader::GotoFirst() {
    curIndex_ = -1;
    if (count_ == 0 || !ReadCentral(dirOffset_))
        return false;
    curIndex_ = 0;
    curDirPos_ = dirOffset_;
    return true;
}

bool CZipReader::GotoNext() {
    if (curIndex_ < 0 || curIndex_ + 1 >= count_)
        return false;
    uint64_t next = curDirPos_ + kZipCentralHeaderLen + cur_.nameLen + cur_.extraLen + cur_.commentLen;
    if (!ReadCentral(next)) {
        curIndex_ = -1;  // the walk starts again from the first entry
        return false;
    }
    curIndex_++;
    curDirPos_ = next;
    return true;
}

bool CZipReader::Goto(int index) {
    if (index < 0 || index >= count_)
        return false;
    if (curIndex_ < 0 || index < curIndex_) {
        if (!GotoFirst())
            return false;
    }
    while (curIndex_ < index)
        if (!GotoNext())
            return false;
    return true;
}

bool CZipReader::CheckLocal(uint32_t* extraOffset, uint16_t* extraLen, uint32_t* dataOffset) {
    uint8_t h[kZipLocalHeaderLen];
    if (!ReadAt(prefix_ + cur_.localHeaderOffset, h, sizeof h) || ZipGet32(h) != kZipSigLocal)
        return false;
    uint16_t flags = ZipGet16(h + 6);
    uint16_t method = ZipGet16(h + 8);
    if (method != cur_.method || (method != 0 && method != 8))
        return false;
    if (!(flags & 8) && (ZipGet32(h + 14) != cur_.crc || ZipGet32(h + 18) != cur_.compressedSize ||
                         ZipGet32(h + 22) != cur_.uncompressedSize))
        return false;
    if (ZipGet16(h + 26) != cur_.nameLen)
        return false;
    *extraLen = ZipGet16(h + 28);
    *extraOffset = cur_.localHeaderOffset + kZipLocalHeaderLen + cur_.nameLen;
    uint64_t data = (uint64_t)*extraOffset + *extraLen;
    // The data must lie within the file.
    if (prefix_ + data + cur_.compressedSize > fileSize_)
        return false;
    *dataOffset = (uint32_t)data;
    return true;
}

// Drops drive letters, leading separators and everything up to a
// separator-dot-dot-separator, until no rule applies.
static void SanitiseName(char* name) {
    static const char* const kUp[] = {"\\..\\", "\\../", "/../", "/..\\"};
    for (;;) {
        size_t len = strlen(name);
        if (name[0] && name[1] == ':') {
            memmove(name, name + 2, len - 1);
            continue;
        }
        if (name[0] == '\\' || name[0] == '/') {
            memmove(name, name + 1, len);
            continue;
        }
        bool applied = false;
        for (const char* up : kUp) {
            const char* hit = strstr(name, up);
            if (hit) {
                size_t skip = (size_t)(hit - name) + 4;
                memmove(name, name + skip, len - skip + 1);
                applied = true;
                break;
            }
        }
        if (!applied)
            return;
    }
}

static FILETIME FileTimeOfUnix(uint32_t t) {
    uint64_t v = (uint64_t)t * 10000000ull + kUnixEpochAsFileTime;
    FILETIME ft = {(DWORD)v, (DWORD)(v >> 32)};
    return ft;
}

// The DOS date and time, taken as local time, in UTC; zero when invalid.
static FILETIME FileTimeOfDos(uint16_t dosDate, uint16_t dosTime) {
    SYSTEMTIME st;
    memset(&st, 0, sizeof st);
    st.wYear = (WORD)(1980 + (dosDate >> 9));
    st.wMonth = (WORD)((dosDate >> 5) & 15);
    st.wDay = (WORD)(dosDate & 31);
    st.wHour = (WORD)(dosTime >> 11);
    st.wMinute = (WORD)((dosTime >> 5) & 63);
    st.wSecond = (WORD)((dosTime & 31) * 2);
    FILETIME ft = {0, 0};
    if (st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        !OsLocalToUtc(&st, &ft))
        ft.dwLowDateTime = ft.dwHighDateTime = 0;
    return ft;
}

// Applies the times of the first "UT" block of a local extra field.
// False when a UT block is shorter than its flags claim.
static bool ApplyTimestampExtra(const uint8_t* extra, uint32_t len, ZipItem* item) {
    uint32_t pos = 0;
    while (len - pos >= 5) {
        uint16_t id = ZipGet16(extra + pos);
        uint16_t size = ZipGet16(extra + pos + 2);
        const uint8_t* data = extra + pos + 4;
        if (size > len - pos - 4)
            return id != kZipExtraTimestampId;  // other blocks that overrun end the walk
        if (id == kZipExtraTimestampId) {
            uint8_t flags = data[0];
            uint32_t need = 1 + 4 * ((flags & 1) + ((flags >> 1) & 1) + ((flags >> 2) & 1));
            if (size < need)
                return false;
            const uint8_t* t = data + 1;
            if (flags & 1) {
                item->lastWrite = FileTimeOfUnix(ZipGet32(t));
                t += 4;
            }
            if (flags & 2) {
                item->lastAccess = FileTimeOfUnix(ZipGet32(t));
                t += 4;
            }
            if (flags & 4)
                item->creation = FileTimeOfUnix(ZipGet32(t));
            return true;
        }
        pos += 4 + size;
    }
    return true;
}

uint32_t CZipReader::Describe(ZipItem* item) {
    uint32_t extraOffset, dataOffset;
    uint16_t extraLen;
    if (!cur_.nameFits || !CheckLocal(&extraOffset, &extraLen, &dataOffset))
        return kZipErrLocalHeader;
    uint8_t* extra = nullptr;
    if (extraLen > 0) {
        extra = (uint8_t*)malloc(extraLen);
        if (!extra || !ReadAt(prefix_ + extraOffset, extra, extraLen)) {
            free(extra);
            return kZipErrLocalExtra;
        }
    }
    ZipItem it;
    memset(&it, 0, sizeof it);
    it.index = curIndex_;
    StrCopy(it.name, countof(it.name), cur_.name);
    SanitiseName(it.name);

    uint32_t e = cur_.externalAttr;
    uint8_t host = (uint8_t)(cur_.versionMadeBy >> 8);
    bool folder = (e & 0x40000000u) != 0;
    uint32_t attr = 0;
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        attr = e & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        folder = (e & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } else {
        attr = FILE_ATTRIBUTE_ARCHIVE | ((e & (1u << 23)) ? 0 : FILE_ATTRIBUTE_READONLY);
    }
    if (folder || EndsWithSeparator(cur_.name))  // a name ending in a separator is a folder whatever its bits
        attr |= FILE_ATTRIBUTE_DIRECTORY;
    it.attributes = attr;
    it.compressedSize = cur_.compressedSize;
    it.uncompressedSize = cur_.uncompressedSize;
    it.lastWrite = it.lastAccess = it.creation = FileTimeOfDos(cur_.dosDate, cur_.dosTime);
    bool timesOk = ApplyTimestampExtra(extra, extraLen, &it);
    free(extra);
    if (!timesOk)
        return kZipErrLocalExtra;
    *item = it;
    lastItem_ = it;
    lastItemIndex_ = curIndex_;
    return kZipOk;
}

uint32_t CZipReader::GetItem(int index, ZipItem* item) {
    if (!item || index < -1 || index >= count_)
        return kZipErrArgument;
    CloseEntry();
    if (index == lastItemIndex_ && index >= 0) {
        *item = lastItem_;
        return kZipOk;
    }
    if (index == -1) {
        memset(item, 0, sizeof *item);
        item->index = count_;
        return kZipOk;
    }
    if (!Goto(index))
        return kZipErrLocalHeader;
    return Describe(item);
}

uint32_t CZipReader::FindItem(const char* name, int caseFlag, int* index, ZipItem* item) {
    if (index)
        *index = -1;
    if (item) {
        memset(item, 0, sizeof *item);
        item->index = -1;
    }
    if (!name || !*name)
        return kZipErrArgument;
    if (strlen(name) < 256) {
        int saved = curIndex_;
        for (int i = 0; i < count_; i++) {
            if (!Goto(i))
                break;
            if (!cur_.nameFits)
                continue;
            bool same = caseFlag == 0 ? strcmp(cur_.name, name) == 0 : StrCmpAsciiNoCase(cur_.name, name) == 0;
            if (same) {
                CloseEntry();
                if (index)
                    *index = i;
                return item ? GetItem(i, item) : kZipOk;
            }
        }
        if (saved >= 0)
            Goto(saved);
    }
    return kZipErrNotFound;
}

uint32_t CZipReader::StoredName(int index, char* name, size_t cch) {
    if (!name || cch == 0 || index < 0 || index >= count_)
        return kZipErrArgument;
    CloseEntry();
    if (!Goto(index) || !cur_.nameFits)
        return kZipErrLocalHeader;
    return StrCopy(name, cch, cur_.name) ? kZipOk : kZipErrArgument;
}

uint32_t CZipReader::SetBaseDir(const char* folder) {
    if (!folder || !*folder)
        return kZipErrArgument;
    char base[260];
    if (!SetFolder(base, countof(base), folder))
        return kZipErrArgument;
    StrCopy(baseDir_, countof(baseDir_), base);
    return kZipOk;
}

void CZipReader::CloseEntry() {
    openIndex_ = -1;
    inputAvail_ = 0;
}

bool CZipReader::OpenEntry(int index) {
    CloseEntry();
    uint32_t extraOffset, dataOffset;
    uint16_t extraLen;
    if (!Goto(index) || !CheckLocal(&extraOffset, &extraLen, &dataOffset))
        return false;
    encrypted_ = (cur_.flags & 1) != 0;
    uint32_t header = encrypted_ ? kZipCryptHeaderLen : 0;
    if (cur_.compressedSize < header)
        return false;
    // A stored entry's two sizes must agree, or the data would be cut or overrun.
    if (cur_.method == 0 && cur_.compressedSize - header != cur_.uncompressedSize)
        return false;
    if (!input_ && !(input_ = (uint8_t*)malloc(kZipIoBlock)))
        return false;
    if (cur_.method == 8) {
        int r = inflateReady_ ? inflateReset(&inflate_) : inflateInit2(&inflate_, -15);
        if (r != Z_OK)
            return false;
        inflateReady_ = true;
    }
    openMethod_ = cur_.method;
    streamEnded_ = false;
    inputPos_ = inputAvail_ = 0;
    dataPos_ = prefix_ + dataOffset;
    compLeft_ = cur_.compressedSize;
    outLeft_ = cur_.uncompressedSize;
    expectedCrc_ = cur_.crc;
    runningCrc_ = 0;
    headerSkip_ = (int)header;
    if (encrypted_) {
        ZipKeysInit(&keys_, password_);
        checkByte_ = (cur_.flags & 8) ? (uint8_t)(cur_.dosTime >> 8) : (uint8_t)(cur_.crc >> 24);
    }
    openIndex_ = index;
    return true;
}

CZipReader::ReadOutcome CZipReader::FinishEntry() {
    // A damaged entry must not pass for a good one.
    return runningCrc_ == expectedCrc_ ? kReadEnd : kReadError;
}

CZipReader::ReadOutcome CZipReader::ReadEntry(uint8_t* buf, uint32_t cb, uint32_t* got) {
    *got = 0;
    if (cb > outLeft_)
        cb = outLeft_;
    for (;;) {
        if (inputAvail_ == 0 && compLeft_ > 0) {
            uint32_t n = compLeft_ < kZipIoBlock ? compLeft_ : kZipIoBlock;
            if (!ReadAt(dataPos_, input_, n))
                return kReadError;
            if (encrypted_)
                ZipKeysDecrypt(&keys_, input_, n);
            dataPos_ += n;
            compLeft_ -= n;
            inputPos_ = 0;
            inputAvail_ = n;
        }
        while (headerSkip_ > 0 && inputAvail_ > 0) {
            uint8_t b = input_[inputPos_++];
            inputAvail_--;
            if (--headerSkip_ == 0 && b != checkByte_)
                return kReadBadPassword;
        }
        if (headerSkip_ > 0) {
            if (compLeft_ == 0)
                return kReadError;
            continue;
        }
        if (outLeft_ == 0)
            return FinishEntry();
        if (*got == cb)
            return kReadMore;
        if (openMethod_ == 0) {
            uint32_t n = cb - *got < inputAvail_ ? cb - *got : inputAvail_;
            if (n == 0)
                return kReadError;  // the data ends before its size
            memcpy(buf + *got, input_ + inputPos_, n);
            runningCrc_ = (uint32_t)crc32(runningCrc_, buf + *got, n);
            inputPos_ += n;
            inputAvail_ -= n;
            outLeft_ -= n;
            *got += n;
            continue;
        }
        if (streamEnded_)
            return kReadError;  // the stream ended before its size
        inflate_.next_in = input_ + inputPos_;
        inflate_.avail_in = inputAvail_;
        inflate_.next_out = buf + *got;
        inflate_.avail_out = cb - *got;
        int r = inflate(&inflate_, Z_SYNC_FLUSH);
        uint32_t consumed = inputAvail_ - inflate_.avail_in;
        uint32_t produced = (cb - *got) - inflate_.avail_out;
        runningCrc_ = (uint32_t)crc32(runningCrc_, buf + *got, produced);
        inputPos_ += consumed;
        inputAvail_ -= consumed;
        outLeft_ -= produced;
        *got += produced;
        if (r == Z_STREAM_END) {
            streamEnded_ = true;
            continue;
        }
        if (r != Z_OK && r != Z_BUF_ERROR)
            return kReadError;
        if (consumed == 0 && produced == 0 && (inputAvail_ > 0 || compLeft_ == 0))
            return kReadError;  // no progress: truncated or damaged stream
    }
}

uint32_t CZipReader::ItemToMemory(int index, void* buf, uint32_t cb) {
    if (index < 0 || index >= count_ || !buf || cb == 0)
        return kZipErrArgument;
    if (index != openIndex_ && !OpenEntry(index))
        return kZipErrData;
    uint32_t got;
    ReadOutcome r = ReadEntry((uint8_t*)buf, cb, &got);
    if (r == kReadMore)
        return kZipMoreData;
    CloseEntry();
    return r == kReadEnd ? kZipOk : r == kReadBadPassword ? kZipErrPassword : kZipErrData;
}

// A Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9) as a name
// component, with or without an extension: the system opens the device
// instead of a file. Trailing blanks and dots are ignored, as Windows does.
static bool IsDeviceName(const char* p, const char* end) {
    const char* dot = p;
    while (dot < end && *dot != '.')
        dot++;
    while (dot > p && (dot[-1] == ' ' || dot[-1] == '.'))
        dot--;
    size_t n = (size_t)(dot - p);
    char base[5] = {};
    if (n < 3 || n > 4)
        return false;
    for (size_t i = 0; i < n; i++)
        base[i] = (p[i] >= 'a' && p[i] <= 'z') ? (char)(p[i] - 'a' + 'A') : p[i];
    if (n == 3)
        return !strcmp(base, "CON") || !strcmp(base, "PRN") || !strcmp(base, "AUX") || !strcmp(base, "NUL");
    return (!strncmp(base, "COM", 3) || !strncmp(base, "LPT", 3)) && base[3] >= '1' && base[3] <= '9';
}

// A name that could leave the base folder or open something other than a
// file: a leading separator, a drive letter or any ':', a component of
// dots that Windows could read as "..", or a device name.
static bool IsUnsafeName(const char* name) {
    if (name[0] == '\\' || name[0] == '/' || strchr(name, ':'))
        return true;
    const char* p = name;
    while (*p) {
        const char* end = p;
        while (*end && *end != '\\' && *end != '/')
            end++;
        int dots = 0;
        bool onlyDotsAndSpaces = end > p;
        for (const char* c = p; c < end; c++) {
            if (*c == '.')
                dots++;
            else if (*c != ' ')
                onlyDotsAndSpaces = false;
        }
        if ((onlyDotsAndSpaces && dots >= 2) || IsDeviceName(p, end))
            return true;
        p = *end ? end + 1 : end;
    }
    return false;
}

// Creates every missing folder of path up to its last separator, from the top.
static bool CreateFoldersOf(char* path) {
    for (char* p = path; *p; p++) {
        if ((*p == '\\' || *p == '/') && p > path && p[-1] != ':' && p[-1] != '\\' && p[-1] != '/') {
            char keep = *p;
            *p = '\0';
            OsCreateFolder(path);
            *p = keep;
        }
    }
    char* last = nullptr;
    for (char* p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            last = p;
    if (!last)
        return true;
    char keep = last[1];
    last[1] = '\0';
    bool ok = OsIsFolder(path);
    last[1] = keep;
    return ok;
}

// A time the entry did not give (an invalid DOS date) is left as the system sets it.
static const FILETIME* SetTime(const FILETIME* ft) {
    return ft->dwLowDateTime || ft->dwHighDateTime ? ft : nullptr;
}

// Reads the open entry to its end into out. 0, 0x400, 0x1000 or 0x5000000.
uint32_t CZipReader::CopyEntryTo(OsFile* out) {
    for (;;) {
        uint32_t got;
        ReadOutcome r = ReadEntry(extractBuf_, kZipIoBlock, &got);
        if (r == kReadBadPassword)
            return kZipErrPassword;
        if (r == kReadError)
            return kZipErrData;
        DWORD written = 0;
        if (got > 0 && (!OsFileWrite(out, extractBuf_, got, &written) || written != got))
            return kZipErrWrite;
        if (r == kReadEnd)
            return kZipOk;
    }
}

uint32_t CZipReader::ItemToFile(int index, const char* outName) {
    CloseEntry();
    if (index < 0 || index >= count_ || !outName || !*outName || IsUnsafeName(outName))
        return kZipErrArgument;
    ZipItem item;
    uint32_t rc = GetItem(index, &item);
    if (rc != kZipOk)
        return rc;
    char path[260];
    if (!StrCopy(path, countof(path), baseDir_) || !StrCat(path, countof(path), outName))
        return kZipErrOpenFile;
    if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (!EndsWithSeparator(path) && !StrCat(path, countof(path), "\\"))
            return kZipErrOpenFile;
        return CreateFoldersOf(path) ? kZipOk : kZipErrOpenFile;
    }
    if (EndsWithSeparator(path))
        return kZipErrArgument;
    if (!extractBuf_ && !(extractBuf_ = (uint8_t*)malloc(kZipIoBlock)))
        return kZipErrData;
    if (!OpenEntry(index))
        return kZipErrData;
    // The entry goes to a new file beside the target, which replaces the
    // target only when the whole entry arrived with its CRC matching: a
    // damaged entry or a wrong password that passes the check byte leaves
    // an existing file as it was.
    char tmp[260];
    OsFile* out = CreateFoldersOf(path) ? OsFileCreateTemp(path, tmp, countof(tmp)) : nullptr;
    if (!out) {
        CloseEntry();
        return kZipErrOpenFile;
    }
    rc = CopyEntryTo(out);
    CloseEntry();
    if (rc == kZipOk)
        OsFileSetTimes(out, SetTime(&item.creation), SetTime(&item.lastAccess), SetTime(&item.lastWrite));
    OsFileClose(out);
    if (rc == kZipOk && !OsMoveReplace(tmp, path))
        rc = kZipErrOpenFile;
    if (rc != kZipOk) {
        OsDeleteFile(tmp);
        return rc;
    }
    OsSetAttributes(path, item.attributes);
    return kZipOk;
}
