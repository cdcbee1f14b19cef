// Start-up and the silent run of setup.
#include "setup_run.h"

#include <shellapi.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "commands.h"
#include "desktop_user.h"
#include "file_ops.h"
#include "messages.h"
#include "previous_version.h"
#include "registration.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_state.h"
#include "uninstaller.h"

HINSTANCE gSetupInstance;
HANDLE gWorkerThread;

static const char kTempUninstaller[] = "_QvUItmp.exe";
const char kUninstallFolderPrefix[] = "_QvU";

static bool StartsWithNoCase(const char* text, const char* prefix) {
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

// A switch opened by a double quote ("-INSTALL=C:\Program Files\VP", as
// PowerShell and .NET quote a whole argument): its value runs to the
// closing quote. False when the switch did not start so.
static bool ReadQuotedArgument(const char* commandLine, const char* p, const char** cursor, char* value) {
    if (p == commandLine || p[-1] != '"' || **cursor == '"')
        return false;
    const char* close = strchr(*cursor, '"');
    if (!close)
        return false;
    size_t n = (size_t)(close - *cursor);
    while (n > 0 && (*cursor)[n - 1] == ' ')
        n--;
    StrCopy(value, n + 1 < kCchArg ? n + 1 : kCchArg, *cursor);
    *cursor = close + 1;
    return true;
}

// A folder of the command line in its normal form, so that it is checked
// and recorded in one spelling; one that is not absolute stays as given
// (and is refused).
static void SetCommandLineFolder(const char* name, const char* folder) {
    char normal[kCchArg];
    SetVar(name, NormalFolder(folder, normal, countof(normal)) ? normal : folder);
}

void ParseSetupCommandLine(const char* commandLine) {
    const char* end = commandLine + strlen(commandLine);
    bool installGiven = false;
    for (const char* p = commandLine; *p;) {
        static const char* const kValueSwitches[] = {"-WORKDIR=", "-INSTALL=", "-DATA=", "-USE=", "-UNINSTALLER="};
        if (StartsWithNoCase(p, "-SILENT")) {
            gSetup.silent = true;
            p += 7;
            continue;
        }
        if (StartsWithNoCase(p, "-KEEPCFG")) {  // the uninstall keeps the settings and data
            SetVar("#KEEPCFG#", "1");
            p += 8;
            continue;
        }
        int which = -1;
        for (int i = 0; i < (int)countof(kValueSwitches) && which < 0; i++)
            if (StartsWithNoCase(p, kValueSwitches[i]))
                which = i;
        if (which < 0) {
            p++;
            continue;
        }
        const char* cursor = p + strlen(kValueSwitches[which]);
        char value[kCchArg];
        if (!ReadQuotedArgument(commandLine, p, &cursor, value))
            NextArg(&cursor, end, value);
        p = cursor;
        switch (which) {
            case 0:
                gSetup.workDirGiven = SetCurrentDirectoryA(value) != 0;
                break;
            case 1:
                SetCommandLineFolder("#INSTALLPATH#", value);
                installGiven = gSetup.silent = true;
                break;
            case 2:
                SetCommandLineFolder("#CUSTOMPATH#", value);
                gSetup.dataGiven = true;
                break;
            case 3:
                AddUseFile(value);
                break;
            case 4:
                StrCopy(gSetup.originalPath, countof(gSetup.originalPath), value);
                break;
        }
    }
    gSetup.installGiven = installGiven;
    gSetup.allUsersDefault = installGiven && !gSetup.dataGiven;
}

static bool IsOsVersionAtLeast(WORD major, WORD minor, WORD servicePack) {
    OSVERSIONINFOEXA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.wServicePackMajor = servicePack;
    DWORDLONG mask = 0;
    VER_SET_CONDITION(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    VER_SET_CONDITION(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    VER_SET_CONDITION(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoA(&v, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

int DetectOsCode() {
    if (IsOsVersionAtLeast(10, 0, 0))
        return 630;
    if (IsOsVersionAtLeast(6, 2, 0))
        return 620;
    if (IsOsVersionAtLeast(6, 1, 0))
        return 610;
    if (IsOsVersionAtLeast(6, 0, 0))
        return 600;
    return 510;
}

static bool RunsOn64BitWindows() {
    typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
    IsWow64Fn isWow64 = (IsWow64Fn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

static bool Impersonate(bool on) {
    return ImpersonateDesktopUser(on);
}

// The name behind the last backslash or slash ("-USE=C:/seed/a.ini" too).
static const char* FileNameOf(const char* path) {
    const char* slash = strrchr(path, '\\');
    const char* forward = strrchr(path, '/');
    if (forward && (!slash || forward > slash))
        slash = forward;
    return slash ? slash + 1 : path;
}

bool IsTemporaryUninstaller() {
    return _stricmp(FileNameOf(gSetup.modulePath), kTempUninstaller) == 0;
}

// A folder of its own in the temporary folder for the uninstaller's copy
// and its batch: made new, so nothing planted there can be loaded, and two
// uninstalls never share a file. False when none could be made.
static bool MakeUninstallFolder(char* folder, size_t cch) {
    char temp[kCchPath];
    if (!GetTempFolder(temp, countof(temp)))
        return false;
    DWORD seed = GetCurrentProcessId() ^ GetTickCount();
    for (int attempt = 0; attempt < 100; attempt++) {
        if (!StrFmt(folder, cch, "%s\\%s%08lX", temp, kUninstallFolderPrefix, (unsigned long)(seed + attempt)))
            return false;
        if (CreateDirectoryA(folder, nullptr))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

// The uninstaller in the install folder hands over to a copy of itself in
// the temporary folder, so that the script can delete the original and the
// folder, and passes on its outcome as the exit code: a caller that waits
// for Uninstall.exe waits for the whole uninstall. The copy starts in the
// temporary folder (a working folder inside the installation would keep
// the folder from being removed) and is told which uninstaller it stands
// for, and whether to keep the settings. Ends the process; 23 when the copy
// cannot be started.
static int HandOverToTemporaryCopy() {
    char temp[kCchPath], folder[kCchPath], copy[kCchPath2], parameters[kCchPath2];
    if (!GetTempFolder(temp, countof(temp)) || !MakeUninstallFolder(folder, countof(folder)))
        return kCodeUninstallCopy;
    if (!StrFmt(copy, countof(copy), "%s\\%s", folder, kTempUninstaller) ||
        !StrFmt(parameters, countof(parameters), "%s%s-UNINSTALLER=\"%s\"", gSetup.silent ? "-SILENT " : "",
                GetVarInt("#KEEPCFG#") == 1 ? "-KEEPCFG " : "", gSetup.modulePath) ||
        !CopyFileA(gSetup.modulePath, copy, TRUE)) {
        RemoveDirectoryA(folder);
        return kCodeUninstallCopy;
    }
    // Nor does the waiting uninstaller's working folder keep the install
    // folder from being removed.
    SetCurrentDirectoryA(temp);
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | (gSetup.silent ? SEE_MASK_FLAG_NO_UI : 0);
    run.lpFile = copy;
    run.lpParameters = parameters;
    run.lpDirectory = temp;
    run.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&run) || !run.hProcess) {
        DeleteFileA(copy);
        RemoveDirectoryA(folder);
        return kCodeUninstallCopy;
    }
    // No limit: the copy is ours and ends with the uninstall (its wizard
    // may wait on the user as long as the user likes).
    WaitForSingleObject(run.hProcess, INFINITE);
    DWORD code = kCodeUninstallCopy;
    GetExitCodeProcess(run.hProcess, &code);
    CloseHandle(run.hProcess);
    ExitProcess(code);
}

// Notes what failed start-up, for the log or the message; returns code.
static int StartupFailed(int code, const char* cause) {
    StrCopy(gSetup.startupCause, countof(gSetup.startupCause), cause);
    return code;
}

int InitSetup(HINSTANCE instance) {
    gSetupInstance = instance;
    if (!gSetup.modulePath[0] && !GetModuleFileNameA(nullptr, gSetup.modulePath, countof(gSetup.modulePath)))
        return StartupFailed(kCodeRecord, ArchiveStateText(kArchiveUnreadable));
    gSetup.mode = ModeFromTag();
    gSetup.osCode = DetectOsCode();
    gSetup.on64 = RunsOn64BitWindows();
    gSetup.impersonate = Impersonate;
    InstallCommandHandlers();
    InitVariables0();
    // A copy started by an uninstaller never hands over again.
    if (gSetup.mode == kModeUninstall && !IsTemporaryUninstaller() && !gSetup.originalPath[0]) {
        int code = HandOverToTemporaryCopy();
        return StartupFailed(code, "the uninstaller's temporary copy cannot be started");
    }
    // The copy removes the installation its uninstaller stands in, not the
    // one the record names.
    char own[kCchPath], full[kCchPath];
    if (gSetup.mode == kModeUninstall && gSetup.originalPath[0]) {
        // Started by a short (8.3) path, it still names the folder as the record does.
        DWORD cch = GetLongPathNameA(gSetup.originalPath, full, countof(full));
        if (cch > 0 && cch < countof(full))
            StrCopy(gSetup.originalPath, countof(gSetup.originalPath), full);
        if (FolderOfFile(gSetup.originalPath, own, countof(own)))
            SetVar("#INSTALLPATH#", own);
    }
    // An elevated setup takes loose files of the current folder only where
    // "-WORKDIR=" pointed it: anyone may write to a download folder.
    gSetup.looseFiles = gSetup.workDirGiven || !IsUserAnAdmin();
    int archive = OpenSetupArchive();
    if (archive != kArchiveOk && archive != kArchiveAbsent)
        return StartupFailed(kCodeRecord, ArchiveStateText(archive));
    DWORD length = 0;
    const char* scriptName = gSetup.mode == kModeUninstall ? "Uninstall.qsc" : "Setup.qsc";
    gSetup.script = LoadFileOrRecord(scriptName, &length, 1);
    if (!gSetup.script) {
        char cause[kCchPath];
        StrFmt(cause, countof(cause), "the script %s is missing (%s)", scriptName,
               archive == kArchiveAbsent ? ArchiveStateText(archive) : "not in the archive");
        return StartupFailed(1, cause);
    }
    gSetup.scriptLength = length;
    int code = InitVariables1();
    if (code == kCodeNoPhase)
        return StartupFailed(code, "the script has no phase 0");
    if (code != 0) {
        char cause[kCchPath];
        StrFmt(cause, countof(cause), "phase 0 of the script failed on line %d (code %d)", gSetup.errorLine, code);
        return StartupFailed(code, cause);
    }
    return 0;
}

static DWORD WINAPI PhaseThread(void* phase) {
    RunPhase((int)(INT_PTR)phase, true);
    return 0;
}

int StartPhase(int n, bool threaded) {
    gSetup.result = 0;
    if (!threaded) {
        RunPhase(n, false);
        return 0;
    }
    if (gWorkerThread)
        CloseHandle(gWorkerThread);
    gWorkerThread = CreateThread(nullptr, 0, PhaseThread, (void*)(INT_PTR)n, 0, nullptr);
    return gWorkerThread ? 0 : kCodeThread;
}

// Copies the "-USE=" files into "#INSTALLPATH#\Init". False when one failed,
// or, with nothing copied, when one would replace a file there that no
// earlier "-USE=" put there (the user's, which the uninstall would delete).
static bool CopyUseFiles() {
    char init[kCchPath2] = "#INSTALLPATH#\\Init", ours[kCchText];
    SubstituteVars(init, countof(init));
    ReadRegistrationText(GetVarText("#PROGRAM#"), kInitFilesValue, ours, countof(ours));
    bool ok = true;
    for (int i = 0; i < gSetup.useCount; i++) {
        char target[kCchPath2 * 2];
        const char* name = FileNameOf(gSetup.useList[i]);
        if (StrFmt(target, countof(target), "%s\\%s", init, name) && FileExists(target) && !ListHasName(ours, name)) {
            char note[kCchText];
            StrFmt(note, countof(note), "%s is not one of this installation's files and was not replaced", target);
            AddLogNote(note);
            ok = false;
        }
    }
    if (!ok)
        return false;
    CreateDirectoryA(init, nullptr);
    for (int i = 0; i < gSetup.useCount; i++) {
        char from[kCchPath + 2] = {}, to[kCchPath2 + 2] = {};  // double-zero-terminated lists
        StrCopy(from, kCchPath, gSetup.useList[i]);
        StrCopy(to, kCchPath2, init);
        SHFILEOPSTRUCTA op = {};
        op.wFunc = FO_COPY;
        op.pFrom = from;
        op.pTo = to;
        op.fFlags =
            FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_FILESONLY | FOF_NORECURSEREPARSE;
        // Named before the copy: a run stopped while it copies leaves a file
        // the uninstall removes. A failed copy that left none takes it back.
        char before[kCchText], target[kCchPath2 * 2];
        ReadRegistrationText(GetVarText("#PROGRAM#"), kInitFilesValue, before, countof(before));
        AddToRegistrationList(GetVarText("#PROGRAM#"), kInitFilesValue, FileNameOf(gSetup.useList[i]));
        if (SHFileOperationA(&op) != 0 || op.fAnyOperationsAborted) {
            ok = false;
            if (StrFmt(target, countof(target), "%s\\%s", init, FileNameOf(gSetup.useList[i])) && !FileExists(target))
                WriteRegistrationText(GetVarText("#PROGRAM#"), kInitFilesValue, before);
        }
    }
    return ok;
}

// Phase 3 cleans up after a failure, then the folders the run made go when
// empty; the failure stays the outcome.
static void CleanUpAfterFailure() {
    int code = gSetup.result, line = gSetup.errorLine, made = gSetup.madeCount;
    RunPhase(3, false);
    RemoveNotedFolders(made);
    gSetup.result = code;
    gSetup.errorLine = line;
}

// A previous version that must go first, or an installation in another
// folder (two would share one record), is uninstalled silently; one that
// stays fails the run (15) before anything is installed. A move keeps the
// user's settings (this install goes on using them); a version the script
// removes on purpose takes its settings with it.
static void RemovePreviousVersion() {
    bool mustRemove = CheckPreviousVersion().mustRemove;
    if (!mustRemove && !InstalledElsewhere())
        return;
    RunOldUninstaller(GetVarText("#REMAPP#"), true, !mustRemove);
    if (CheckPreviousVersion().mustRemove || InstalledElsewhere()) {
        gSetup.result = kCodeOldVersion;
        gSetup.errorLine = 0;
    }
}

void SetInstallSizeVar() {
    char size[32];
    StrFmt(size, countof(size), "%llu", gSetup.bytesWritten / 1024);
    SetVar("#INSTALLSIZE#", size);
}

void NoteMadeFolders() {
    const char* product = GetVarText("#PROGRAM#");
    char list[kCchText];
    if (ReadRegistrationText(product, kMadeFoldersValue, list, countof(list)))
        return;  // an upgrade: the first install knew what it made
    const char* install = GetVarText("#INSTALLPATH#");
    for (int i = 0; i < gSetup.madeCount; i++) {
        const char* folder = gSetup.madeFolders[i];
        size_t n = strlen(folder);
        if (_strnicmp(install, folder, n) == 0 && (!install[n] || install[n] == '\\') &&
            (!list[0] || StrCat(list, countof(list), "|")))
            StrCat(list, countof(list), folder);
    }
    WriteRegistrationText(product, kMadeFoldersValue, list);
}

void RemoveMadeFolders() {
    char list[kCchText];
    StrCopy(list, countof(list), GetVarText("#MADEFOLDERS#"));
    // Parents first in the list: removed from its end, each only when empty.
    for (char* bar = strrchr(list, '|');; bar = strrchr(list, '|')) {
        RemoveDirectoryA(bar ? bar + 1 : list);
        if (!bar)
            break;
        *bar = '\0';
    }
}

void RunSilentSetup() {
    RunPhase(0, false);
    if (gSetup.result == 0 && gSetup.mode == kModeSetup)
        RemovePreviousVersion();
    if (gSetup.result == 0) {
        RunPhase(1, false);
        if (gSetup.mode == kModeUninstall)
            RemoveMadeFolders();
        else if (gSetup.result == 0)
            NoteMadeFolders();
    }
    SetVar("#EXECUTE#", "0");
    SetVar("#README#", "0");
    if (gSetup.result != 0) {
        CleanUpAfterFailure();
    } else {
        // The uninstall registration's size, as the wizard's finish page sets
        // it, with the "-USE=" files that go into "Init" afterwards.
        for (int i = 0; i < gSetup.useCount; i++)
            gSetup.bytesWritten += FileSizeOf(gSetup.useList[i]);
        SetInstallSizeVar();
        RunPhase(2, false);
        if (gSetup.result != 0)
            CleanUpAfterFailure();
    }
    // A folder left in place is no failure of an install; an uninstall that
    // leaves a folder has left files.
    if (gSetup.result == kCodeRemoveDir && gSetup.mode == kModeSetup)
        gSetup.result = gSetup.errorLine = 0;
    if (gSetup.result == 0 && gSetup.useCount > 0 && !CopyUseFiles()) {
        gSetup.result = kCodeUseFiles;
        gSetup.errorLine = 0;
    }
    WriteSetupLog(0);
}

bool UninstallerOfOtherInstall() {
    // #INSTALLPATH# is the folder of the uninstaller that started this copy.
    return gSetup.mode == kModeUninstall && gSetup.originalPath[0] && InstalledElsewhere();
}

bool CommandLineFoldersAbsolute() {
    if (gSetup.installGiven && !IsAbsolutePath(GetVarText("#INSTALLPATH#")))
        return false;
    return !gSetup.dataGiven || IsAbsolutePath(GetVarText("#CUSTOMPATH#"));
}

// Appends text with every line ending in CR LF.
static void AppendLine(char* log, size_t cch, const char* text) {
    for (const char* p = text; *p; p++) {
        char pair[3] = {*p, 0, 0};
        if (*p == '\n' && (p == text || p[-1] != '\r'))
            StrCopy(pair, countof(pair), "\r\n");
        StrCat(log, cch, pair);
    }
    StrCat(log, cch, "\r\n");
}

bool WriteSetupLog(int messageId) {
    char name[kCchPath];
    StrCopy(name, countof(name), FileNameOf(gSetup.modulePath));
    size_t n = strlen(name);
    if (n < 4 || !StrCopy(name + n - 4, countof(name) - (n - 4), ".log"))
        return false;
    char log[kCchText2 * 2] = "", text[kCchText];
    int code = gSetup.result;
    if (code != 0) {
        LoadSetupText(messageId ? messageId : ErrorMessage(kNoMessageBox, code), text, countof(text));
        AppendLine(log, countof(log), text);
        if (gSetup.startupCause[0]) {
            StrFmt(text, countof(text), "Cause: %s", gSetup.startupCause);
            AppendLine(log, countof(log), text);
        } else if (gSetup.errorLine > 0 && gSetup.script) {
            // Where the script failed: its line number and statement.
            const char* line = gSetup.script;
            for (int i = 1; i < gSetup.errorLine && *line; i++) {
                const char* cr = strchr(line, '\r');
                line = cr ? cr + 1 : line + strlen(line);
            }
            while (*line == '\n' || *line == ' ' || *line == '\t')
                line++;
            char statement[kCchPath];
            size_t cch = strcspn(line, "\r\n");
            StrCopy(statement, countof(statement) < cch + 1 ? countof(statement) : cch + 1, line);
            StrFmt(text, countof(text), "Script line %d: %s", gSetup.errorLine, statement);
            AppendLine(log, countof(log), text);
        }
    }
    if (gSetup.logNotes[0]) {
        char notes[countof(gSetup.logNotes)];
        StrCopy(notes, countof(notes), gSetup.logNotes);
        notes[strlen(notes) - 1] = '\0';  // the last line's LF: AppendLine ends it
        AppendLine(log, countof(log), notes);
    }
    if (gSetup.rebootNeeded) {
        // A silent run asks nothing: the restart is the caller's.
        LoadSetupText(IDS_RESTART_NEEDED, text, countof(text));
        AppendLine(log, countof(log), text);
    }
    LoadSetupText(code ? IDS_FAILED : IDS_FINISHED, text, countof(text));
    AppendLine(log, countof(log), text);
    HANDLE h = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = WriteAll(h, log, (DWORD)strlen(log));
    CloseHandle(h);
    return ok;
}

bool FreeSetupScript() {
    // A worker that has not stopped yet may still read the script; the
    // process's end frees it then.
    if (gWorkerThread && WaitForSingleObject(gWorkerThread, 0) == WAIT_TIMEOUT)
        return false;
    free(gSetup.script);
    gSetup.script = nullptr;
    gSetup.scriptLength = 0;
    return true;
}

void AskRestart() {
    if (SetupMessageBox(nullptr, IDS_RESTART, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
        return;
    if (gSetup.mode == kModeUninstall)
        Sleep(5);
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    if (ok)
        ExitWindowsEx(EWX_REBOOT, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED);
}
