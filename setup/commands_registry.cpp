// Registry commands: CreateRegValSz, CreateRegValDW, CreateSetupInfo,
// DeleteRegKey and DeleteRegVal.
#include <windows.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>

#include "commands.h"
#include "install_record.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_state.h"

// "CU", "LM", "CR" and their long names, without case; null when unknown.
static HKEY ParseRootKey(const char* name) {
    static const struct {
        const char* shortName;
        const char* longName;
        HKEY key;
    } kRoots[] = {{"CU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                  {"LM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                  {"CR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
    for (const auto& r : kRoots)
        if (_stricmp(name, r.shortName) == 0 || _stricmp(name, r.longName) == 0)
            return r.key;
    return nullptr;
}

// KEY_WOW64_64KEY for the view argument "x64" on 64-bit Windows, else 0.
static REGSAM View(int argc, int viewArg) {
    return gSetup.on64 && argc > viewArg && _stricmp(gArgs[viewArg], "x64") == 0 ? KEY_WOW64_64KEY : 0;
}

// Creates or opens the key and writes one value. False when either fails.
static bool WriteValue(HKEY root, REGSAM view, DWORD type, const void* data, DWORD cb) {
    HKEY key;
    if (RegCreateKeyExA(root, gArgs[1], 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, gArgs[2], 0, type, (const BYTE*)data, cb) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

static int CmdCreateRegValSz(int argc) {
    SendStatusFmt("Creating Registry value: %s=%s", gArgs[2], gArgs[3]);
    HKEY root = ParseRootKey(gArgs[0]);
    if (!root)
        return kCodeRegSz;
    return WriteValue(root, View(argc, 4), REG_SZ, gArgs[3], (DWORD)strlen(gArgs[3]) + 1) ? 0 : kCodeRegSz;
}

static int CmdCreateRegValDW(int argc) {
    SendStatusFmt("Creating Registry value: %s=%s", gArgs[2], gArgs[3]);
    HKEY root = ParseRootKey(gArgs[0]);
    if (!root)
        return kCodeRegDw;
    DWORD number = (DWORD)strtoul(gArgs[3], nullptr, 10);
    return WriteValue(root, View(argc, 4), REG_DWORD, &number, sizeof number) ? 0 : kCodeRegDw;
}

// The leading signed 16-bit number of text at *p, moving *p behind it.
static int ReadShort(const char** p) {
    char* end;
    long n = strtol(*p, &end, 10);
    *p = end;
    return (int)(int16_t)n;
}

static int CmdCreateSetupInfo(int) {
    uint8_t record[kCbInstallRecord] = {};
    const char* version = gArgs[1];
    SetRecordWord(record, kRecMajor, ReadShort(&version));
    if (*version == '.') {
        version++;
        SetRecordWord(record, kRecMinor, ReadShort(&version));
    }
    SetRecordWord(record, kRecForAllUsers, GetVarInt("#FORWHO#"));
    SetRecordWord(record, kRecCustomFolder, GetVarInt("#CUSTOMLOC#"));
    SetRecordWord(record, kRecPerUser, GetVarInt("#INDIVIDUAL#"));
    // Fields are cut to their 259 characters, never overrun into the next.
    SetRecordText(record, kRecInstallPath, GetVarText("#INSTALLPATH#"));
    SetRecordText(record, kRecCustomPath, GetVarText("#CUSTOMPATH#"));
    SetRecordText(record, kRecVersionUrl, GetVarText("#VERURL#"));
    SetRecordText(record, kRecDownloadUrl, GetVarText("#DLDURL#"));
    if (!WriteInstallSettings(gArgs[0], record))
        return kCodeRegSz;
    char path[kCchPath];
    const char* product = GetVarText("#PROGRAM#");
    if (GetConfigPath(product, path))
        SetVar("#CONFIGPATH#", path);
    if (GetCommonDataPath(product, path))
        SetVar("#COMMONPATH#", path);
    return 0;
}

// True when the key exists and holds neither values nor subkeys.
static bool KeyIsEmpty(HKEY root, const char* name, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, name, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1, values = 1;
    bool empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_SUCCESS &&
                 subkeys == 0 && values == 0;
    RegCloseKey(key);
    return empty;
}

// DeleteRegKey root, key [, view [, IFEMPTY]]: with "IFEMPTY" the key goes
// only when nothing is left in it (the maker's key that other products share).
static int CmdDeleteRegKey(int argc) {
    SendStatusFmt("Deleting Registry key: %s", gArgs[1]);
    HKEY root = ParseRootKey(gArgs[0]);
    if (!root)
        return kCodeDeleteRegKey;
    REGSAM view = View(argc, 2);
    if (argc > 3 && _stricmp(gArgs[3], "IFEMPTY") == 0 && !KeyIsEmpty(root, gArgs[1], view))
        return 0;
    if (!view) {
        SHDeleteKeyA(root, gArgs[1]);
        return 0;
    }
    HKEY key;
    if (RegOpenKeyExA(root, gArgs[1], 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(root, gArgs[1], view, 0);
    }
    return 0;
}

static int CmdDeleteRegVal(int argc) {
    SendStatusFmt("Deleting Registry value: %s", gArgs[2]);
    HKEY root = ParseRootKey(gArgs[0]);
    if (!root)
        return kCodeDeleteRegVal;
    HKEY key;
    if (RegOpenKeyExA(root, gArgs[1], 0, KEY_ALL_ACCESS | View(argc, 3), &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, gArgs[2]);
        RegCloseKey(key);
    }
    return 0;
}

void InstallRegistryCommands() {
    SetCommandHandler(kKwCreateRegValSz, CmdCreateRegValSz);
    SetCommandHandler(kKwCreateRegValDW, CmdCreateRegValDW);
    SetCommandHandler(kKwCreateSetupInfo, CmdCreateSetupInfo);
    SetCommandHandler(kKwDeleteRegKey, CmdDeleteRegKey);
    SetCommandHandler(kKwDeleteRegVal, CmdDeleteRegVal);
}
