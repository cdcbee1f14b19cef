// The folders page (109): install folder, for whom, the data folder, the
// free-space test and the data folder's access test through "Dirwarden.exe".
#include <windows.h>
#include <shlobj.h>
#include <string.h>

#include <initializer_list>

#include "archive.h"
#include "desktop_user.h"
#include "file_ops.h"
#include "previous_version.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "uninstaller.h"
#include "wizard_pages.h"

static const char kFolderTester[] = "Dirwarden.exe";

static void EnableDataFolder(HWND page) {
    BOOL custom = IsDlgButtonChecked(page, IDC_DATA_CUSTOM) == BST_CHECKED;
    for (int id : {IDC_DATA_FOLDER, IDC_BROWSE_DATA, IDC_DATA_INDIVIDUAL, IDC_DATA_SHARED})
        EnableWindow(GetDlgItem(page, id), custom);
}

// The text of a variable into a control; an undefined one shows message 1001.
static void ShowVar(HWND page, int id, const char* name) {
    char value[kCchArg];
    if (GetVar(name, value, countof(value)) < 0) {
        WizardMessage(page, IDS_CRITICAL, MB_OK | MB_ICONSTOP);
        return;
    }
    SetDlgItemTextA(page, id, value);
}

static void OnFoldersCreated(HWND page) {
    ShowVar(page, IDC_INSTALL_FOLDER, "#INSTALLPATH#");
    ShowVar(page, IDC_DATA_FOLDER, "#CUSTOMPATH#");
    if (GetVar("#MINFREE#", nullptr, 0) < 0)
        WizardMessage(page, IDS_CRITICAL, MB_OK | MB_ICONSTOP);
    CheckRadioButton(page, IDC_FOR_ALL_USERS, IDC_FOR_USER,
                     GetVarInt("#FORWHO#") == 1 ? IDC_FOR_ALL_USERS : IDC_FOR_USER);
    CheckRadioButton(page, IDC_DATA_DEFAULT, IDC_DATA_CUSTOM,
                     GetVarInt("#CUSTOMLOC#") == 1 ? IDC_DATA_CUSTOM : IDC_DATA_DEFAULT);
    int individual = GetVarInt("#INDIVIDUAL#");
    CheckRadioButton(page, IDC_DATA_INDIVIDUAL, IDC_DATA_SHARED,
                     individual == 1 || individual == -1 ? IDC_DATA_INDIVIDUAL : IDC_DATA_SHARED);
    EnableDataFolder(page);
}

static int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start && *(const char*)start)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

// A folder browser starting at the edit's folder; the choice into the edit,
// for the install folder with a backslash and the product name appended.
static void Browse(HWND page, int edit, const char* title, bool appendProduct) {
    char start[kCchPath];
    GetDlgItemTextA(page, edit, start, countof(start));
    for (size_t n = strlen(start); n > 0 && start[n - 1] == '\\'; n--)
        start[n - 1] = '\0';
    BROWSEINFOA info = {};
    info.hwndOwner = page;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)start;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return;
    char folder[MAX_PATH] = "";
    BOOL ok = SHGetPathFromIDListA(chosen, folder);
    CoTaskMemFree(chosen);
    if (!ok || !folder[0])
        return;
    char value[kCchPath2];
    StrCopy(value, countof(value), folder);
    if (appendProduct) {
        for (size_t n = strlen(value); n > 0 && value[n - 1] == '\\'; n--)
            value[n - 1] = '\0';
        StrCat(value, countof(value), "\\#PROGRAM#");
        SubstituteVars(value, countof(value));
    }
    SetDlgItemTextA(page, edit, value);
}

// Free bytes on the drive of path for the user. The query names the
// deepest folder of the path that exists: a folder that is still to be
// created cannot be asked. A failed query counts as unlimited.
static unsigned long long GetFreeDiskSpace(const char* path) {
    char existing[kCchPath2];
    StrCopy(existing, countof(existing), path);
    while (!FolderExists(existing)) {
        char* slash = strrchr(existing, '\\');
        if (!slash)
            break;
        if (slash == existing + 2 && existing[1] == ':') {
            slash[1] = '\0';  // the drive's root "X:\"
            break;
        }
        *slash = '\0';
    }
    typedef BOOL(WINAPI * FreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    FreeSpaceExFn freeSpaceEx =
        (FreeSpaceExFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
    if (freeSpaceEx) {
        ULARGE_INTEGER available, total, totalFree;
        if (!freeSpaceEx(existing, &available, &total, &totalFree))
            return ~0ull;
        return available.QuadPart;
    }
    char root[4] = {path[0], path[1], '\\', '\0'};
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return ~0ull;
    return (unsigned long long)freeClusters * sectorsPerCluster * bytesPerSector;
}

// Runs the folder tester as the desktop user on the data folder. True when
// it could write there.
static bool DataFolderWritable(const char* installFolder, const char* dataFolder, bool* testerMissing) {
    char tester[kCchPath2];
    *testerMissing = !StrFmt(tester, countof(tester), "%s\\%s", installFolder, kFolderTester) ||
                     CopyFileOrRecord(kFolderTester, tester) != 0;
    if (*testerMissing)
        return false;
    DWORD exitCode = 1;
    bool started = RunAsDesktopUser(tester, dataFolder, &exitCode) == 0;
    DeleteFileA(tester);
    return started && exitCode == 0;
}

// The installation in another folder goes first (two would share one
// record and registration): on Yes its uninstaller runs, told to keep the
// settings, which the moved install goes on using. True when it is gone.
static bool RemoveInstallationElsewhere(HWND page) {
    if (WizardMessage(page, IDS_OLD_VERSION, MB_YESNO | MB_ICONSTOP) != IDYES)
        return false;
    ShowWindow(gWizard.frame, SW_HIDE);
    RunOldUninstaller(GetVarText("#REMAPP#"), false, true);
    ShowWindow(gWizard.frame, SW_SHOW);
    SetForegroundWindow(gWizard.frame);
    return !InstalledElsewhere();
}

static void OnInstall(HWND page) {
    char install[kCchPath], data[kCchPath];
    if (!GetAbsolutePathFromEdit(page, IDC_INSTALL_FOLDER, install, countof(install)))
        return;
    unsigned long long needed = (unsigned long long)(GetVarInt("#MINFREE#") > 0 ? GetVarInt("#MINFREE#") : 0) << 20;
    if (GetFreeDiskSpace(install) < needed) {
        WizardMessage(page, IDS_NO_DISK_SPACE, MB_OK | MB_ICONSTOP);
        return;
    }
    if (!CreateFolderNoted(install)) {
        WizardMessage(page, IDS_INSTALL_FOLDER_FAILED, MB_OK | MB_ICONSTOP);
        return;
    }
    bool allUsers = IsDlgButtonChecked(page, IDC_FOR_ALL_USERS) == BST_CHECKED;
    bool custom = IsDlgButtonChecked(page, IDC_DATA_CUSTOM) == BST_CHECKED;
    SetVar("#INSTALLPATH#", install);
    if (InstalledElsewhere() && !RemoveInstallationElsewhere(page)) {
        RemoveNotedFolders(gSetup.madeCount);
        return;
    }
    SetVar("#FORWHO#", allUsers ? "1" : "0");
    SetVar("#CUSTOMLOC#", custom ? "1" : "0");
    if (custom) {
        bool testerMissing = false;
        bool stay = !GetAbsolutePathFromEdit(page, IDC_DATA_FOLDER, data, countof(data));
        if (!stay && !CreateFolderNoted(data)) {
            WizardMessage(page, IDS_DATA_FOLDER_FAILED, MB_OK | MB_ICONSTOP);
            stay = true;
        }
        if (!stay && !DataFolderWritable(install, data, &testerMissing)) {
            if (testerMissing) {
                WizardMessage(page, IDS_CRITICAL, MB_OK | MB_ICONSTOP);
                EndWizard(true);
                return;
            }
            stay = WizardMessage(page, IDS_DATA_FOLDER_ACCESS, MB_YESNOCANCEL | MB_ICONSTOP) != IDYES;
        }
        if (stay) {
            // Folders made for a choice the user takes back are removed (when empty).
            RemoveNotedFolders(gSetup.madeCount);
            return;
        }
        SetVar("#CUSTOMPATH#", data);
        SetVar("#INDIVIDUAL#", IsDlgButtonChecked(page, IDC_DATA_INDIVIDUAL) == BST_CHECKED ? "1" : "0");
    }
    SetVar("#STARTUPDIR#", GetVarText(allUsers ? "#STARTUPDIRALL#" : "#STARTUPDIRUSR#"));
    SetVar("#STARTMENUDIR#", GetVarText(allUsers ? "#STARTMENUALL#" : "#STARTMENUUSR#"));
    SetVar("#DESKTOPDIR#", GetVarText(allUsers ? "#DESKTOPDIRALL#" : "#DESKTOPDIRUSR#"));
    OpenPage(page, IDD_PROGRESS);
}

static void OnFoldersCommand(HWND page, int id) {
    switch (id) {
        case IDOK:
            OnInstall(page);
            break;
        case IDCANCEL:
            if (WizardMessage(page, IDS_QUIT_QUESTION, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
                EndWizard(true);
            break;
        case IDC_BACK:
            OpenPage(page, IDD_AGREEMENT);
            break;
        case IDC_BROWSE_INSTALL:
            Browse(page, IDC_INSTALL_FOLDER, "Select Installation Folder", true);
            break;
        case IDC_BROWSE_DATA:
            Browse(page, IDC_DATA_FOLDER, "Select Configuration Data Folder", false);
            break;
        case IDC_DATA_DEFAULT:
        case IDC_DATA_CUSTOM:
            EnableDataFolder(page);
            break;
    }
}

INT_PTR CALLBACK FolderPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result;
    if (HandlePageMessage(page, msg, wp, lp, &result))
        return result;
    switch (msg) {
        case WM_INITDIALOG:
            OnFoldersCreated(page);
            return FALSE;
        case WM_COMMAND:
            OnFoldersCommand(page, LOWORD(wp));
            return TRUE;
    }
    return FALSE;
}
