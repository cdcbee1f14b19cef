// The lists setup keeps in the product's uninstall registration.
#include "registration.h"

#include <windows.h>
#include <string.h>

#include "setup_base.h"

const char kInitFilesValue[] = "InitFiles";
const char kMadeFoldersValue[] = "MadeFolders";

bool UninstallKeyOf(const char* product, char* key, size_t cch) {
    return StrFmt(key, cch, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", product);
}

bool ReadRegistrationText(const char* product, const char* value, char* out, size_t cch) {
    out[0] = '\0';
    char key[kCchPath2];
    HKEY h;
    if (cch < 2 || cch > 0xFFFF || !UninstallKeyOf(product, key, countof(key)) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    DWORD cb = (DWORD)cch - 1, type = 0;
    bool ok = RegQueryValueExA(h, value, nullptr, &type, (BYTE*)out, &cb) == ERROR_SUCCESS && type == REG_SZ;
    RegCloseKey(h);
    out[ok && cb < cch ? cb : 0] = '\0';
    return ok;
}

bool WriteRegistrationText(const char* product, const char* value, const char* text) {
    char key[kCchPath2];
    HKEY h;
    if (!UninstallKeyOf(product, key, countof(key)) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(h, value, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

bool ListHasName(const char* list, const char* name) {
    size_t cch = strlen(name);
    for (const char* p = list; *p;) {
        size_t n = strcspn(p, "|");
        if (n == cch && _strnicmp(p, name, n) == 0)
            return true;
        p += n + (p[n] == '|');
    }
    return false;
}

bool AddToRegistrationList(const char* product, const char* value, const char* name) {
    char list[kCchText];
    ReadRegistrationText(product, value, list, countof(list));
    if (ListHasName(list, name))
        return true;
    return (!list[0] || StrCat(list, countof(list), "|")) && StrCat(list, countof(list), name) &&
           WriteRegistrationText(product, value, list);
}
