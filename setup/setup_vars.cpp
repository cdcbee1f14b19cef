// The variables setup defines itself: built-in ones at start-up, and the
// defaults taken from the command line and the install settings record.
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

#include "desktop_user.h"
#include "file_ops.h"
#include "install_record.h"
#include "registration.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"

// A folder without its trailing backslashes.
static void SetFolderVar(const char* name, const char* folder) {
    char value[kCchPath];
    StrCopy(value, countof(value), folder);
    for (size_t n = strlen(value); n > 0 && value[n - 1] == '\\'; n--)
        value[n - 1] = '\0';
    SetVar(name, value);
}

static void SetShellFolderVar(const char* name, int csidl) {
    char folder[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
        folder[0] = '\0';
    SetFolderVar(name, folder);
}

// The shortcut folders of an installation for all users or for the user.
static void SetShortcutFolders(bool allUsers) {
    SetVar("#STARTUPDIR#", GetVarText(allUsers ? "#STARTUPDIRALL#" : "#STARTUPDIRUSR#"));
    SetVar("#STARTMENUDIR#", GetVarText(allUsers ? "#STARTMENUALL#" : "#STARTMENUUSR#"));
    SetVar("#DESKTOPDIR#", GetVarText(allUsers ? "#DESKTOPDIRALL#" : "#DESKTOPDIRUSR#"));
}

// True when list ("|" between folders) holds folder.
static bool FolderListed(const char* list, const char* folder) {
    for (const char* p = list; *p;) {
        char entry[kCchPath];
        size_t n = strcspn(p, "|");
        if (n < countof(entry)) {
            memcpy(entry, p, n);
            entry[n] = '\0';
            if (SameFolder(entry, folder))
                return true;
        }
        p += n + (p[n] == '|');
    }
    return false;
}

static void SetIntVar(const char* name, int value) {
    char text[16];
    StrFmt(text, countof(text), "%d", value);
    SetVar(name, text);
}

void InitVariables0() {
    char text[kCchPath];
    if (LoadStringA(gSetupInstance, gSetup.mode == kModeUninstall ? IDS_MODE_UNINSTALL : IDS_MODE_SETUP, text,
                    countof(text)) <= 0)
        StrCopy(text, countof(text), gSetup.mode == kModeUninstall ? "Uninstall" : "Setup");
    SetVar("#SETUPMODE#", text);
    SetVar("#CRLF#", "\r\n");
    SetVar("#EULA#", "");
    SetIntVar("#OS#", gSetup.osCode);
    SetVar("#64#", gSetup.on64 ? "1" : "0");
    if (!GetWindowsDirectoryA(text, countof(text)))
        text[0] = '\0';
    SetFolderVar("#WINDOWSDIR#", text);
    char drivers[kCchPath2];
    if (!GetSystemDirectoryA(text, countof(text)))
        text[0] = '\0';
    StrFmt(drivers, countof(drivers), "%s\\Drivers", text);
    SetVar("#DRIVERSDIR#", drivers);

    ImpersonateDesktopUser(true);
    SetShellFolderVar("#STARTUPDIRUSR#", CSIDL_STARTUP);
    SetShellFolderVar("#STARTUPDIRALL#", CSIDL_COMMON_STARTUP);
    SetShellFolderVar("#STARTMENUUSR#", CSIDL_PROGRAMS);
    SetShellFolderVar("#STARTMENUALL#", CSIDL_COMMON_PROGRAMS);
    SetShellFolderVar("#DESKTOPDIRUSR#", CSIDL_DESKTOPDIRECTORY);
    SetShellFolderVar("#DESKTOPDIRALL#", CSIDL_COMMON_DESKTOPDIRECTORY);
    SetShortcutFolders(gSetup.allUsersDefault);
    ImpersonateDesktopUser(false);
}

// The Program Files folder: from the shell, else from the registry.
static void ProgramFilesFolder(char* folder, size_t cch) {
    char shell[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, shell) == S_OK && *shell) {
        StrCopy(folder, cch, shell);
        return;
    }
    folder[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        DWORD cb = (DWORD)cch - 1, type = 0;
        if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, (BYTE*)folder, &cb) != ERROR_SUCCESS ||
            type != REG_SZ)
            cb = 0;
        folder[cb < cch ? cb : cch - 1] = '\0';
        RegCloseKey(key);
    }
}

int InitVariables1() {
    gSetup.result = 0;
    RunPhase(0, false);
    if (gSetup.result)
        return gSetup.result;
    char product[kCchPath];
    StrCopy(product, countof(product), GetVarText("#PROGRAM#"));
    uint8_t record[kCbInstallRecord];
    bool valid = ReadInstallSettings(product, record);
    char text[kCchPath2];
    StrFmt(text, countof(text), "%d.%d", valid ? RecordWord(record, kRecMajor) : 0,
           valid ? RecordWord(record, kRecMinor) : 0);
    SetVar("#CURVER#", text);
    SetIntVar("#FORWHO#", valid ? RecordWord(record, kRecForAllUsers) : 1);
    SetIntVar("#CUSTOMLOC#", valid ? RecordWord(record, kRecCustomFolder) : 0);
    SetIntVar("#INDIVIDUAL#", valid ? RecordWord(record, kRecPerUser) : 0);
    if (GetVar("#INSTALLPATH#", nullptr, 0) < 0) {
        if (valid) {
            RecordText(record, kRecInstallPath, text);
        } else {
            char folder[kCchPath];
            ProgramFilesFolder(folder, countof(folder));
            StrFmt(text, countof(text), "%s\\%s", folder, product);
        }
        SetVar("#INSTALLPATH#", text);
    }
    if (gSetup.mode == kModeUninstall) {
        // What the install put into a folder that may be the user's, and
        // which folders it made (none listed: the folder held files
        // before; no list at all: an older install, which made its folder).
        char list[kCchText];
        ReadRegistrationText(product, kInitFilesValue, list, countof(list));
        SetVar("#INITFILES#", list);
        bool listed = ReadRegistrationText(product, kMadeFoldersValue, list, countof(list));
        SetVar("#MADEFOLDERS#", list);
        SetVar("#INSTALLDIRMADE#", !listed || FolderListed(list, GetVarText("#INSTALLPATH#")) ? "1" : "0");
    }
    int selection = 1;
    if (GetVar("#CUSTOMPATH#", nullptr, 0) < 0) {
        if (valid) {
            RecordText(record, kRecCustomPath, text);
        } else {
            char appData[MAX_PATH] = "";
            SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
            StrFmt(text, countof(text), "%s\\Tarnwick\\%s", appData, product);
        }
        SetVar("#CUSTOMPATH#", text);
    } else {
        SetVar("#FORWHO#", "0");
        SetVar("#CUSTOMLOC#", "1");
        SetVar("#INDIVIDUAL#", "0");
        if (gSetup.dataGiven)
            selection = 0;
    }
    // "-INSTALL=" without "-DATA=" installs for all users, but an upgrade
    // keeps the installation's choice; the shortcut folders follow the
    // record's choice, so that the two always agree.
    if (gSetup.allUsersDefault && !valid)
        SetVar("#FORWHO#", "1");
    SetShortcutFolders(GetVarInt("#FORWHO#") == 1);

    char folder[kCchPath];
    if (GetConfigPath(product, folder) || DataFolderByRule(product, GetVarInt("#CUSTOMLOC#"), GetVarInt("#INDIVIDUAL#"),
                                                           GetVarText("#CUSTOMPATH#"), false, folder))
        SetVar("#CONFIGPATH#", folder);
    if (GetCommonDataPath(product, folder) ||
        DataFolderByRule(product, GetVarInt("#CUSTOMLOC#"), 0, GetVarText("#CUSTOMPATH#"), true, folder))
        SetVar("#COMMONPATH#", folder);
    static const struct {
        const char* name;
        int offset;
    } kChoices[] = {{"#SELEXECUTE#", kRecChoiceExecute},
                    {"#SELREADME#", kRecChoiceReadme},
                    {"#SELDESKTOP#", kRecChoiceDesktop},
                    {"#SELSTARTMENU#", kRecChoiceStartMenu}};
    for (const auto& c : kChoices)
        SetIntVar(c.name, valid ? RecordWord(record, c.offset) : selection);
    return 0;
}
