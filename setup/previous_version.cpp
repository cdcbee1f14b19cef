// The test for a previous version: its version from the install record,
// or only its uninstall registration when the record is gone.
#include "previous_version.h"

#include <windows.h>
#include <shlwapi.h>
#include <stdlib.h>
#include <string.h>

#include "file_ops.h"
#include "install_record.h"
#include "registration.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_state.h"

struct Version {
    int major, minor;
};

static bool AtMost(Version installed, Version limit) {
    return installed.major < limit.major || (installed.major == limit.major && installed.minor <= limit.minor);
}

// "major.minor" at the start of a variable's value; false when undefined or
// not a version.
static bool ReadVersionVar(const char* name, Version* v) {
    if (GetVar(name, nullptr, 0) < 0)
        return false;
    const char* text = GetVarText(name);
    char* end;
    long major = strtol(text, &end, 10);
    if (end == text || *end != '.')
        return false;
    const char* minorText = end + 1;
    long minor = strtol(minorText, &end, 10);
    if (end == minorText)
        return false;
    v->major = (int)major;
    v->minor = (int)minor;
    return true;
}

PreviousVersion CheckPreviousVersion() {
    PreviousVersion result = {false, false};
    Version upgrade = {}, remove = {};
    bool hasUpgrade = ReadVersionVar("#UPGMSG1#", &upgrade);
    if (GetVar("#UPGMSG1#", nullptr, 0) >= 0) {
        const char* space = strchr(GetVarText("#UPGMSG1#"), ' ');
        if (space) {
            char text[kCchArg];
            StrCopy(text, countof(text), space + 1);
            SetVar("#UPGMSG1#", text);
        }
    }
    bool hasRemove = ReadVersionVar("#REMOVE#", &remove);
    if (!hasUpgrade && !hasRemove)
        return result;
    if (GetVar("#REMAPP#", nullptr, 0) < 0)
        SetVar("#REMAPP#", GetVarText("#PROGRAM#"));
    char product[kCchPath], key[kCchPath2];
    StrCopy(product, countof(product), GetVarText("#REMAPP#"));
    UninstallKeyOf(product, key, countof(key));
    HKEY h;
    bool registered = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) == ERROR_SUCCESS;
    if (registered)
        RegCloseKey(h);
    uint8_t record[kCbInstallRecord];
    if (!ReadInstallSettings(product, record)) {
        // A registration without a record is what an uninstall cut short
        // leaves: the program cannot start without it, and its uninstaller
        // may be gone. It no longer stands in the way.
        if (registered && SHDeleteKeyA(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS) {
            char note[kCchText];
            StrFmt(note, countof(note), "Removed the uninstall registration of %s, which has no install record",
                   product);
            AddLogNote(note);
        }
        return result;
    }
    Version installed = {RecordWord(record, kRecMajor), RecordWord(record, kRecMinor)};
    result.upgradeDue = hasUpgrade && AtMost(installed, upgrade);
    result.mustRemove = hasRemove && AtMost(installed, remove);
    return result;
}

bool InstalledElsewhere() {
    const char* product = GetVar("#REMAPP#", nullptr, 0) >= 0 ? GetVarText("#REMAPP#") : GetVarText("#PROGRAM#");
    uint8_t record[kCbInstallRecord];
    if (!ReadInstallSettings(product, record))
        return false;
    char recorded[kCchRecordText];
    RecordText(record, kRecInstallPath, recorded);
    return !SameFolder(recorded, GetVarText("#INSTALLPATH#"));
}
