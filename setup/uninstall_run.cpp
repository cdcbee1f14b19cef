// The uninstaller at run time: its self-deletion through a batch file, and
// running the uninstaller of a previous installation.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

#include "desktop_user.h"
#include "file_ops.h"
#include "resource.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "uninstaller.h"

static const char kBatchName[] = "QvAutoDel.bat";
static const char kModulePlaceholder[] = "#MODULEFN#";

// The batch text with every "#MODULEFN#" replaced by the module path
// (malloc'd; null when the resource is missing).
static char* BatchText() {
    HRSRC res = FindResourceA(gSetupInstance, MAKEINTRESOURCEA(IDR_SELF_DELETE_BATCH), "TEXT");
    HGLOBAL data = res ? LoadResource(gSetupInstance, res) : nullptr;
    const char* bytes = data ? (const char*)LockResource(data) : nullptr;
    if (!bytes)
        return nullptr;
    size_t cb = SizeofResource(gSetupInstance, res), pathLength = strlen(gSetup.modulePath);
    size_t places = 0;
    for (size_t i = 0; i + sizeof kModulePlaceholder - 1 <= cb; i++)
        if (memcmp(bytes + i, kModulePlaceholder, sizeof kModulePlaceholder - 1) == 0)
            places++;
    char* text = (char*)malloc(cb + places * pathLength + 1);
    if (!text)
        return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < cb && bytes[i];) {
        if (i + sizeof kModulePlaceholder - 1 <= cb &&
            memcmp(bytes + i, kModulePlaceholder, sizeof kModulePlaceholder - 1) == 0) {
            memcpy(text + n, gSetup.modulePath, pathLength);
            n += pathLength;
            i += sizeof kModulePlaceholder - 1;
        } else {
            text[n++] = bytes[i++];
        }
    }
    text[n] = '\0';
    return text;
}

void SelfDelete() {
    char temp[kCchPath], batch[kCchPath2];
    if (!GetTempFolder(temp, countof(temp)) || !StrFmt(batch, countof(batch), "%s\\%s", temp, kBatchName))
        return;
    char* text = BatchText();
    if (!text)
        return;
    int written = WriteFileCreatingFolders(batch, text, (DWORD)strlen(text));
    free(text);
    if (written != 0)
        return;
    char shell[kCchPath] = "";
    if (!GetEnvironmentVariableA("ComSpec", shell, countof(shell)) || !shell[0])
        StrCopy(shell, countof(shell), "cmd.exe");
    char line[kCchPath2];
    if (!StrFmt(line, countof(line), "\"%s\" /c %s", shell, kBatchName))
        return;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED | IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW, nullptr, temp, &si, &pi))
        return;
    // The program ends before the batch gets the processor; the batch's
    // retries cover the rest of the time until the file is free.
    SetThreadPriority(pi.hThread, THREAD_PRIORITY_IDLE);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    CloseHandle(pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
}

// True while another process named "_QvUItmp.exe" runs (or the snapshot fails: false).
static bool TemporaryUninstallerRuns() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    // Not this process: an uninstaller that removes an older version would
    // otherwise wait for itself.
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        found = _stricmp(entry.szExeFile, "_QvUItmp.exe") == 0 && entry.th32ProcessID != GetCurrentProcessId();
    CloseHandle(snapshot);
    return found;
}

long RunOldUninstaller(const char* product, bool silent) {
    char key[kCchPath2], line[kCchPath2] = "";
    if (!StrFmt(key, countof(key), "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", product))
        return -1;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return -1;
    DWORD cb = kCchPath, type = 0;
    LONG status = RegQueryValueExA(h, "UninstallString", nullptr, &type, (BYTE*)line, &cb);
    RegCloseKey(h);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return -1;
    line[cb < kCchPath ? cb : kCchPath] = '\0';
    if (silent && !StrCat(line, countof(line), " -SILENT"))
        return -1;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
        return -2;
    CloseHandle(pi.hThread);
    DWORD code = 0;
    while (GetExitCodeProcess(pi.hProcess, &code) && code == STILL_ACTIVE) {
        PumpMessages();
        Sleep(200);
    }
    CloseHandle(pi.hProcess);
    while (TemporaryUninstallerRuns()) {
        PumpMessages();
        Sleep(200);
    }
    return (long)code;
}
