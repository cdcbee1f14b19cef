// Settings record files.
#include "record_file.h"

#include "base/file_util.h"
#include "base/os_file.h"
#include "base/str_util.h"
#include "data_folders.h"

bool BuildDataPath(const char* folder, const char* baseName, const char* ext, char* path, size_t cch, int flag) {
    if (!path || cch == 0)
        return false;
    if (!folder)
        folder = (flag & kRecordCommonFolder) ? gCommonDataFolder : gUserDataFolder;
    // An unset folder would put the file in the root of the current drive.
    bool ok = *folder && StrCopy(path, cch, folder);
    if (ok && baseName && *baseName)
        ok = StrCat(path, cch, "\\") && StrCat(path, cch, baseName);
    if (ok && ext && *ext)
        ok = StrCat(path, cch, ".") && StrCat(path, cch, ext);
    if (!ok)
        path[0] = '\0';
    return ok;
}

bool RecordFilePath(const char* name, int index, char* path, size_t cch, int flag) {
    char file[kCchPath];
    bool ok =
        name && (index == -1 ? StrCopy(file, countof(file), name) : StrFmt(file, countof(file), "%s%d", name, index));
    if (!ok) {
        if (path && cch)
            path[0] = '\0';
        return false;
    }
    return BuildDataPath(nullptr, file, "qcg", path, cch, flag);
}

DWORD ReadRecordFile(const char* name, int index, void* buf, DWORD cb, int flag) {
    char path[kCchPath];
    if (!RecordFilePath(name, index, path, countof(path), flag))
        return 0;
    return ReadFileRaw(path, buf, cb);
}

DWORD WriteRecordFile(const char* name, int index, const void* data, DWORD cb, int flag) {
    char path[kCchPath];
    char tmp[kCchPath];
    if (!RecordFilePath(name, index, path, countof(path), flag) || !StrFmt(tmp, countof(tmp), "%s_tmp", path))
        return 0;
    if (WriteFileRaw(tmp, data, cb, false) != cb)
        return 0;
    return OsMoveReplace(tmp, path) ? cb : 0;
}
