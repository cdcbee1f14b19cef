// Reading and writing the install settings record and the data-folder rule.
#include "install_record.h"

#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include "desktop_user.h"
#include "setup_base.h"

static const char kRecordKey[] = "Software\\Tarnwick";

int RecordWord(const uint8_t* record, int offset) {
    return (int16_t)(record[offset] | (record[offset + 1] << 8));
}

void SetRecordWord(uint8_t* record, int offset, int value) {
    record[offset] = (uint8_t)(value & 0xFF);
    record[offset + 1] = (uint8_t)((value >> 8) & 0xFF);
}

void RecordText(const uint8_t* record, int offset, char* out) {
    memcpy(out, record + offset, kCchRecordText);
    out[kCchRecordText - 1] = '\0';
}

bool SetRecordText(uint8_t* record, int offset, const char* text) {
    char field[kCchRecordText] = {};
    bool whole = StrCopy(field, countof(field), text);
    memset(field + strlen(field), 0, countof(field) - strlen(field));
    memcpy(record + offset, field, kCchRecordText);
    return whole;
}

bool ReadInstallSettings(const char* product, uint8_t* record) {
    memset(record, 0, kCbInstallRecord);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD cb = 0, type = 0;
    bool valid = false;
    if (RegQueryValueExA(key, product, nullptr, &type, nullptr, &cb) == ERROR_SUCCESS && cb > 0) {
        BYTE* whole = (BYTE*)malloc(cb);
        if (whole && RegQueryValueExA(key, product, nullptr, &type, whole, &cb) == ERROR_SUCCESS) {
            memcpy(record, whole, cb < (DWORD)kCbInstallRecord ? cb : kCbInstallRecord);
            valid = cb >= 2 && RecordWord(record, kRecValidity) == 1;
        }
        free(whole);
    }
    RegCloseKey(key);
    return valid;
}

bool WriteInstallSettings(const char* product, uint8_t* record) {
    SetRecordWord(record, kRecValidity, 1);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, product, 0, REG_BINARY, record, kCbInstallRecord) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool DataFolderByRule(const char* product, int custom, int perUser, const char* customPath, bool common, char* path) {
    if (custom != 0 && custom != 1)
        return false;
    char result[kCchPath];
    bool ok;
    ImpersonateDesktopUser(true);
    if (custom == 1) {
        ok = StrCopy(result, countof(result), customPath);
        if (ok && !common && perUser != 0) {
            char user[257] = "";
            DWORD cch = countof(user);
            ok = GetUserNameA(user, &cch) && StrCat(result, countof(result), "\\") &&
                 StrCat(result, countof(result), user);
        }
    } else {
        char appData[MAX_PATH];
        ok = SHGetFolderPathA(nullptr, common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              appData) == S_OK &&
             StrFmt(result, countof(result), "%s\\Tarnwick\\%s", appData, product);
    }
    ImpersonateDesktopUser(false);
    return ok && StrCopy(path, kCchPath, result);
}

// The data folder (common: the shared one) of a valid record.
static bool DataPath(const char* product, bool common, char* path) {
    uint8_t record[kCbInstallRecord];
    if (!ReadInstallSettings(product, record))
        return false;
    char custom[kCchRecordText];
    RecordText(record, kRecCustomPath, custom);
    return DataFolderByRule(product, RecordWord(record, kRecCustomFolder), RecordWord(record, kRecPerUser), custom,
                            common, path);
}

bool GetConfigPath(const char* product, char* path) {
    return DataPath(product, false, path);
}

bool GetCommonDataPath(const char* product, char* path) {
    return DataPath(product, true, path);
}
