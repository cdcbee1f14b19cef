// The configuration archive's product entry and the checks before a restore.
#include "config_archive.h"

#include <stdio.h>
#include <string.h>

#include "base/str_util.h"

const char kConfigArchiveExt[] = "TarnwickConfig";

uint32_t AddConfigProductEntry(ZipHandle* zip, const char* product, const char* keepList, int major, int minor,
                               int build) {
    char data[kCbMaxProductEntry + 1];
    size_t keep = strlen(keepList ? keepList : "");
    char version[48];
    snprintf(version, sizeof version, "%d.%d.%d", major, minor, build);
    if (keep + 1 + strlen(version) > kCbMaxProductEntry)
        return kZipErrArgument;
    memcpy(data, keepList ? keepList : "", keep);
    data[keep] = '\0';
    memcpy(data + keep + 1, version, strlen(version));
    return ZipAddMemory(zip, product, data, (uint32_t)(keep + 1 + strlen(version)));
}

int ReadConfigProductEntry(ZipHandle* zip, const char* product, ConfigArchiveHeader* out) {
    memset(out, 0, sizeof *out);
    ZipItem item;
    int index = -1;
    if (UnzipFindItem(zip, product, 0, &index, &item) != kZipOk || index < 0)
        return kConfigArchiveWrongProduct;
    out->index = index;
    if (item.uncompressedSize > kCbMaxProductEntry)
        return kConfigArchiveUnreadable;
    char data[kCbMaxProductEntry + 1] = {};
    if (item.uncompressedSize > 0 && UnzipItemToMemory(zip, index, data, kCbMaxProductEntry) != kZipOk)
        return kConfigArchiveUnreadable;
    size_t cb = item.uncompressedSize;
    data[cb] = '\0';
    StrCopy(out->keepList, countof(out->keepList), data);
    size_t keep = strlen(data);
    if (keep < cb) {
        // The version runs to the entry's end (its last zero is not stored).
        memcpy(out->version, data + keep + 1, cb - keep - 1);
        out->version[cb - keep - 1] = '\0';
    }
    return kConfigArchiveOk;
}

bool IsCleanConfigEntryName(const char* name) {
    if (!name || !*name || name[0] == '/' || name[0] == '\\')
        return false;
    const char* part = name;
    for (const char* p = name;; p++) {
        unsigned char c = (unsigned char)*p;
        if (c == '/' || c == '\\' || c == '\0') {
            size_t n = (size_t)(p - part);
            bool last = c == '\0';
            // An empty component is allowed only as a folder entry's end.
            if ((n == 0 && !(last && p > name)) || (n == 1 && part[0] == '.') ||
                (n == 2 && part[0] == '.' && part[1] == '.'))
                return false;
            if (last)
                return true;
            part = p + 1;
        } else if (c < 32 || c == ':') {
            return false;
        }
    }
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, as the part before the first '.'
// (trailing blanks ignored, as Windows does).
static bool IsDeviceBaseName(const char* name) {
    size_t n = strcspn(name, ".");
    while (n > 0 && name[n - 1] == ' ')
        n--;
    if (n < 3 || n > 4)
        return false;
    char base[5] = {};
    for (size_t i = 0; i < n; i++)
        base[i] = (name[i] >= 'a' && name[i] <= 'z') ? (char)(name[i] - 'a' + 'A') : name[i];
    if (n == 3)
        return !strcmp(base, "CON") || !strcmp(base, "PRN") || !strcmp(base, "AUX") || !strcmp(base, "NUL");
    return (!strncmp(base, "COM", 3) || !strncmp(base, "LPT", 3)) && base[3] >= '1' && base[3] <= '9';
}

bool IsOwnConfigEntryName(const char* name) {
    static const char kExt[] = ".qcg";
    if (!name)
        return false;
    size_t n = strlen(name);
    if (n <= 4 || n >= 256 || StrCmpAsciiNoCase(name + n - 4, kExt) != 0)
        return false;
    bool onlyDots = true;
    for (size_t i = 0; i < n - 4; i++) {
        unsigned char c = (unsigned char)name[i];
        if (c < 32 || strchr("\\/:*?\"<>|", c))
            return false;
        if (c != '.' && c != ' ')
            onlyDots = false;
    }
    return !onlyDots && name[0] != ' ' && !IsDeviceBaseName(name);
}

static void SetBadEntry(char* badEntry, size_t cch, const char* name) {
    if (badEntry && cch)
        StrCopy(badEntry, cch, name);
}

int VerifyConfigArchive(ZipHandle* zip, int productIndex, char* badEntry, size_t cchBadEntry) {
    SetBadEntry(badEntry, cchBadEntry, "");
    ZipItem item;
    if (UnzipGetItem(zip, -1, &item) != kZipOk || item.index > kMaxConfigEntries)
        return kConfigArchiveUnreadable;
    int count = item.index;
    typedef char Name[260];
    Name* names = new Name[count > 0 ? count : 1];
    int result = kConfigArchiveOk;
    uint64_t total = 0;
    // Every name and size first, so that a hostile entry is named even
    // when another one is damaged.
    for (int i = 0; i < count && result == kConfigArchiveOk; i++) {
        names[i][0] = '\0';
        if (i == productIndex)
            continue;
        if (UnzipGetItem(zip, i, &item) != kZipOk || UnzipGetStoredName(zip, i, names[i], sizeof names[i]) != kZipOk) {
            result = kConfigArchiveUnreadable;
            break;
        }
        total += item.uncompressedSize;
        bool foreign = !IsOwnConfigEntryName(names[i]) || (item.attributes & 0x10) ||
                       item.uncompressedSize > kCbMaxConfigEntry || total > kCbMaxConfigTotal;
        for (int j = 0; j < i && !foreign; j++)
            foreign = StrCmpAsciiNoCase(names[j], names[i]) == 0;
        if (foreign) {
            SetBadEntry(badEntry, cchBadEntry, names[i]);
            result = kConfigArchiveForeignEntry;
        }
    }
    delete[] names;
    static const uint32_t kCbBlock = 16384;
    char* block = new char[kCbBlock];
    for (int i = 0; i < count && result == kConfigArchiveOk; i++) {
        if (i == productIndex || UnzipGetItem(zip, i, &item) != kZipOk) {
            if (i != productIndex)
                result = kConfigArchiveUnreadable;
            continue;
        }
        if (item.uncompressedSize == 0)
            continue;
        uint32_t r;
        while ((r = UnzipItemToMemory(zip, i, block, kCbBlock)) == kZipMoreData) {
        }
        if (r != kZipOk)
            result = kConfigArchiveUnreadable;
    }
    delete[] block;
    return result;
}

int CheckConfigArchive(const char* path, const char* product, char* badEntry, size_t cchBadEntry) {
    SetBadEntry(badEntry, cchBadEntry, "");
    ZipHandle* zip = UnzipOpen(path, nullptr);
    if (!zip)
        return kConfigArchiveUnreadable;
    ConfigArchiveHeader* header = new ConfigArchiveHeader;
    int r = ReadConfigProductEntry(zip, product, header);
    if (r == kConfigArchiveOk)
        r = VerifyConfigArchive(zip, header->index, badEntry, cchBadEntry);
    delete header;
    UnzipClose(zip);
    return r;
}
