// Reading the install settings record and deriving the data folders.
#include "install_settings.h"

#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "shell_util.h"

int ReadInstallSettings(const char* valueName, BYTE* out) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, cb = 0;
    int copied = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &cb) == ERROR_SUCCESS && cb > 0) {
        BYTE* whole = (BYTE*)malloc(cb);
        DWORD got = cb;
        if (whole && RegQueryValueExA(key, valueName, nullptr, &type, whole, &got) == ERROR_SUCCESS && got > 0) {
            copied = got < (DWORD)kCbInstallSettings ? (int)got : kCbInstallSettings;
            memcpy(out, whole, copied);
        }
        free(whole);
    }
    RegCloseKey(key);
    return copied;
}

void InstallSettingsText(const BYTE* settings, int offset, char* out, size_t cch) {
    char field[261];
    memcpy(field, settings + offset, 260);
    field[260] = '\0';  // the record's text may fill its field without a terminator
    StrCopy(out, cch, field);
}

static WORD Word(const BYTE* p) {
    return (WORD)(p[0] | (p[1] << 8));
}

bool DeriveDataFolders(const BYTE* settings, const char* product, char* userFolder, char* commonFolder) {
    userFolder[0] = commonFolder[0] = '\0';
    if (Word(settings + kInstallCustomFolder) != 0) {
        char custom[260];
        InstallSettingsText(settings, kInstallCustomDataFolder, custom, countof(custom));
        if (!StrCopy(commonFolder, kCchPath, custom) || !StrCopy(userFolder, kCchPath, custom))
            return false;
        if (Word(settings + kInstallPerUser) != 0) {
            char user[257] = "";
            DWORD cch = countof(user);
            if (!GetUserNameA(user, &cch))
                user[0] = '\0';
            if (!StrCat(userFolder, kCchPath, "\\") || !StrCat(userFolder, kCchPath, user))
                return false;
        }
        return true;
    }
    char appData[kCchPath], common[kCchPath];
    if (!GetSpecialFolderPath(CSIDL_APPDATA, appData, countof(appData)) ||
        !GetSpecialFolderPath(CSIDL_COMMON_APPDATA, common, countof(common)))
        return false;
    return StrFmt(userFolder, kCchPath, "%s\\Tarnwick\\%s", appData, product) &&
           StrFmt(commonFolder, kCchPath, "%s\\Tarnwick\\%s", common, product);
}
