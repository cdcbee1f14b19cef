// CConfigFile: the option store.
#include "config_file.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/file_util.h"
#include "base/os_file.h"
#include "record_file.h"
#include "zip/zip.h"

static const char kOptionsPassword[] = "KorTamVu82e41q";
static const char kEntryEnd[3] = {0, 0x0D, 0x0A};
static const size_t kMaxValue = kCchText2 - 1;

CConfigFile::CConfigFile(int version, const char* keyPrefix)
    : version_(version), saveMode_(version != 0), prefixLength_(keyPrefix ? (int)strlen(keyPrefix) : 0) {
    value_[0] = '\0';
    key_[0] = '\0';
}

// The record name of a name format and its arguments; false when it does
// not fit (a cut name would name another file).
static bool FormatName(char* name, size_t cch, const char* format, va_list args) {
    if (!format)
        return false;
    int n = vsnprintf(name, cch, format, args);
    name[cch - 1] = '\0';
    return n >= 0 && (size_t)n < cch;
}

int CConfigFile::LoadArchive(const char* nameFormat, int index, int flag, ...) {
    char name[kCchPath];
    va_list args;
    va_start(args, flag);
    bool named = FormatName(name, countof(name), nameFormat, args);
    va_end(args);
    char path[kCchPath];
    if (!named || !RecordFilePath(name, index, path, countof(path), flag))
        return -1;
    ZipHandle* zip = UnzipOpen(path, kOptionsPassword);
    if (!zip)
        return -1;
    ZipItem item;
    if (UnzipGetItem(zip, 0, &item) != kZipOk) {
        UnzipClose(zip);
        return -2;
    }
    // One byte more than the entry: the text stays terminated behind its end.
    text_.Clear();
    if (item.uncompressedSize >= 0x7FFFFFFF || !text_.SetSize((int)item.uncompressedSize + 1)) {
        text_.RemoveAll();
        UnzipClose(zip);
        return -3;
    }
    uint32_t rc = UnzipItemToMemory(zip, 0, text_.Data(), item.uncompressedSize + 1);
    UnzipClose(zip);
    if (rc != kZipOk) {
        text_.RemoveAll();
        return rc == kZipErrPassword ? -1 : -4;  // another password: not our archive
    }
    text_.count = (int)item.uncompressedSize;
    text_.Data()[text_.count] = '\0';
    version_ = (int)strtol(item.name, nullptr, 10);
    lastMatch_ = 0;
    return text_.count;
}

int CConfigFile::SaveArchive(const char* nameFormat, int index, int flag, ...) {
    char name[kCchPath];
    va_list args;
    va_start(args, flag);
    bool named = FormatName(name, countof(name), nameFormat, args);
    va_end(args);
    char path[kCchPath];
    char tmp[kCchPath];
    if (!named || !RecordFilePath(name, index, path, countof(path), flag) || !StrFmt(tmp, countof(tmp), "%s_tmp", path))
        return -1;
    ZipHandle* zip = ZipCreate(tmp, kOptionsPassword);
    if (!zip)
        return -1;
    char entry[16];
    StrFmt(entry, countof(entry), "%d", version_);
    // An option set without entries is an empty entry.
    uint32_t added = ZipAddMemory(zip, entry, text_.count ? text_.Data() : nullptr, (uint32_t)text_.count);
    uint32_t closed = ZipClose(zip);
    if (added != kZipOk || closed != kZipOk)
        return -2;
    return OsMoveReplace(tmp, path) ? text_.count : -1;
}

bool CConfigFile::FormatKey(const char* keyText, int a, int b, int c) {
    key_[0] = '\0';
    if (!keyText)
        return false;
    size_t skip = (size_t)prefixLength_ + (keyText[0] == '&' ? 1 : 0);
    size_t len = strlen(keyText);
    const char* s = keyText + (skip < len ? skip : len);
    // Built here rather than through a format, so a '%' in a key is a
    // plain character.
    const int indices[3] = {a, b, c};
    int used = 0;
    size_t o = 0;
    while (*s) {
        char piece[16];
        const char* add = piece;
        size_t cb;
        bool letter = (s[1] >= 'A' && s[1] <= 'Z') || (s[1] >= 'a' && s[1] <= 'z');
        if (*s == '[' && letter && used < 3) {
            StrFmt(piece, countof(piece), "[%d", indices[used++]);
            cb = strlen(piece);
            s++;
            while (*s && *s != ']')
                s++;
        } else {
            add = s++;
            cb = 1;
        }
        if (o + cb >= countof(key_)) {
            key_[0] = '\0';
            return false;
        }
        memcpy(key_ + o, add, cb);
        o += cb;
    }
    key_[o] = '\0';
    return true;
}

bool CConfigFile::Write(const char* key, const char* value) {
    size_t cchKey = strlen(key);
    size_t cchValue = strnlen(value, kMaxValue);
    int before = text_.count;
    bool ok = (cchKey == 0 || text_.Add(key, (int)cchKey) >= 0) && text_.Add("=", 1) >= 0 &&
              (cchValue == 0 || text_.Add(value, (int)cchValue) >= 0) && text_.Add(kEntryEnd, 3) >= 0;
    if (!ok)
        text_.count = before;  // no half entry
    return ok;
}

// The offset of the terminator 00 0D 0A at or after pos, or -1.
static int FindEntryEnd(const char* t, int count, int pos) {
    while (pos < count) {
        const char* z = (const char*)memchr(t + pos, 0, (size_t)(count - pos));
        if (!z)
            return -1;
        int at = (int)(z - t);
        if (count - at >= 3 && t[at + 1] == 0x0D && t[at + 2] == 0x0A)
            return at;
        pos = at + 1;
    }
    return -1;
}

int CConfigFile::Read(const char* key) {
    const char* t = text_.Data();
    int count = text_.count;
    size_t cchKey = strlen(key);
    int start = (lastMatch_ > 0 && lastMatch_ <= count) ? lastMatch_ : 0;
    // Whole keys only, at the start of an entry: "Font" must not match the
    // tail of "HeadFont".
    for (int pass = 0; pass < 2; pass++) {
        int pos = pass == 0 ? start : 0;
        int stop = pass == 0 ? count : start;
        while (pos < stop) {
            int end = FindEntryEnd(t, count, pos);
            int entryEnd = end < 0 ? count : end;
            if ((size_t)(entryEnd - pos) > cchKey && memcmp(t + pos, key, cchKey) == 0 && t[pos + cchKey] == '=') {
                if (end < 0)
                    return -1;  // no terminator
                int from = pos + (int)cchKey + 1;
                size_t cch = (size_t)(end - from);
                if (cch > kMaxValue)
                    cch = kMaxValue;
                memcpy(value_, t + from, cch);
                value_[cch] = '\0';
                lastMatch_ = end + 3;
                return 0;
            }
            if (end < 0)
                break;
            pos = end + 3;
        }
    }
    return -1;
}

int CConfigFile::Begin(const char* keyText, int a, int b, int c) {
    if (!FormatKey(keyText, a, b, c))
        return -1;
    return saveMode_ ? 0 : Read(key_);
}

int CConfigFile::Store() {
    return Write(key_, value_) ? 0 : -1;
}

// A base-10 integer cut to 32 bits; false when there are no digits.
static bool ParseInt32(const char* s, int32_t* out, const char** end) {
    char* stop;
    errno = 0;
    long long v = strtoll(s, &stop, 10);
    if (stop == s)
        return false;
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    *out = (int32_t)v;
    if (end)
        *end = stop;
    return true;
}

int CConfigFile::Int(int32_t* value, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    if (saveMode_) {
        StrFmt(value_, countof(value_), "%d", (int)*value);
        return Store();
    }
    int32_t v = 0;
    ParseInt32(value_, &v, nullptr);  // as atoi: no digits read as 0
    *value = v;
    return 0;
}

int CConfigFile::Hex(uint32_t* value, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    if (saveMode_) {
        StrFmt(value_, countof(value_), "0x%08X", (unsigned)*value);
        return Store();
    }
    char* stop;
    unsigned long long v = strtoull(value_, &stop, 16);
    if (stop == value_)
        return 1;
    *value = (uint32_t)(v > 0xFFFFFFFFull ? 0xFFFFFFFFull : v);
    return 0;
}

int CConfigFile::Float(float* value, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    if (saveMode_) {
        StrFmt(value_, countof(value_), "%.8g", (double)*value);
        // A whole number keeps a fraction digit, as older versions wrote it: 5 -> "5.0".
        if (!strpbrk(value_, ".eEnNiI"))
            StrCat(value_, countof(value_), ".0");
        return Store();
    }
    *value = strtof(value_, nullptr);
    return 0;
}

int CConfigFile::Rect(int32_t* ltrb, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    if (saveMode_) {
        StrFmt(value_, countof(value_), "%d,%d,%d,%d", (int)ltrb[0], (int)ltrb[1], (int)ltrb[2], (int)ltrb[3]);
        return Store();
    }
    const char* s = value_;
    for (int i = 0; i < 4; i++) {
        if (i > 0) {
            if (*s != ',')
                return 1;
            s++;
        }
        if (!ParseInt32(s, &ltrb[i], &s))
            return 1;
    }
    return 0;
}

int CConfigFile::String(char* buf, size_t cch, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    if (saveMode_) {
        size_t n = strnlen(buf, cch < kMaxValue ? cch : kMaxValue);
        memcpy(value_, buf, n);
        value_[n] = '\0';
        return Store();
    }
    StrCopy(buf, cch, value_);
    return 0;
}

int CConfigFile::Bytes(void* block, size_t cb, const char* key, int a, int b, int c) {
    int rc = Begin(key, a, b, c);
    if (rc != 0)
        return rc;
    uint8_t* bytes = (uint8_t*)block;
    if (saveMode_) {
        size_t n = cb < kMaxValue / 2 ? cb : kMaxValue / 2;
        for (size_t i = 0; i < n; i++)
            ByteToHex(bytes[i], value_ + 2 * i);
        value_[2 * n] = '\0';
        return Store();
    }
    size_t cch = strlen(value_);
    bool digits = true;
    for (size_t i = 0; i < cb; i++) {
        int v = digits && 2 * i + 1 < cch ? HexPairToByte(value_ + 2 * i) : -1;
        digits = v >= 0;
        bytes[i] = digits ? (uint8_t)v : 0;
    }
    return 0;
}
