// The uninstaller at run time: its self-deletion through a batch file, and
// running the uninstaller of a previous installation.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include <tlhelp32.h>

#include "desktop_user.h"
#include "file_ops.h"
#include "registration.h"
#include "resource.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "uninstaller.h"

struct Placeholder {
    const char* name;
    const char* value;
};

// The batch text with every placeholder replaced by its value (malloc'd;
// null when the resource is missing).
static char* BatchText(const Placeholder* places, size_t count) {
    HRSRC res = FindResourceA(gSetupInstance, MAKEINTRESOURCEA(IDR_SELF_DELETE_BATCH), "TEXT");
    HGLOBAL data = res ? LoadResource(gSetupInstance, res) : nullptr;
    const char* bytes = data ? (const char*)LockResource(data) : nullptr;
    if (!bytes)
        return nullptr;
    size_t cb = SizeofResource(gSetupInstance, res), longest = 0;
    for (size_t k = 0; k < count; k++)
        if (strlen(places[k].value) > longest)
            longest = strlen(places[k].value);
    char* text = (char*)malloc(cb * (longest + 1) + 1);  // every byte could start a placeholder
    if (!text)
        return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < cb && bytes[i];) {
        size_t k = 0;
        while (k < count &&
               (i + strlen(places[k].name) > cb || memcmp(bytes + i, places[k].name, strlen(places[k].name)) != 0))
            k++;
        if (k == count) {
            text[n++] = bytes[i++];
            continue;
        }
        memcpy(text + n, places[k].value, strlen(places[k].value));
        n += strlen(places[k].value);
        i += strlen(places[k].name);
    }
    text[n] = '\0';
    return text;
}

// The folder of the running file when setup made it for the uninstaller's
// copy ("_QvU" and eight hex digits in the temporary folder), else "".
static void OwnUninstallFolder(const char* temp, char* folder, size_t cch) {
    folder[0] = '\0';
    const char* slash = strrchr(gSetup.modulePath, '\\');
    size_t cchTemp = strlen(temp), cchPrefix = strlen(kUninstallFolderPrefix);
    if (!slash || _strnicmp(gSetup.modulePath, temp, cchTemp) != 0 || gSetup.modulePath[cchTemp] != '\\')
        return;
    const char* name = gSetup.modulePath + cchTemp + 1;
    if (slash - name == (ptrdiff_t)(cchPrefix + 8) && _strnicmp(name, kUninstallFolderPrefix, cchPrefix) == 0)
        StrCopy(folder, (size_t)(slash - gSetup.modulePath) + 1 < cch ? (size_t)(slash - gSetup.modulePath) + 1 : cch,
                gSetup.modulePath);
}

void SelfDelete() {
    char temp[kCchPath], batch[kCchPath2], folder[kCchPath];
    // Named for this process: two uninstalls never share a batch.
    if (!GetTempFolder(temp, countof(temp)) ||
        !StrFmt(batch, countof(batch), "%s\\QvAutoDel%08lX.bat", temp, (unsigned long)GetCurrentProcessId()))
        return;
    OwnUninstallFolder(temp, folder, countof(folder));
    char aside[kCchPath2];
    if (gSetup.asidePath[0])
        StrCopy(aside, countof(aside), gSetup.asidePath);
    else if (!StrFmt(aside, countof(aside), "%s.old", gSetup.modulePath))
        return;
    const Placeholder places[] = {
        {"#MODULEFN#", gSetup.modulePath}, {"#ASIDEFN#", aside}, {"#OWNFOLDER#", folder}, {"#BATCHFN#", batch}};
    char* text = BatchText(places, countof(places));
    if (!text)
        return;
    int written = WriteFileCreatingFolders(batch, text, (DWORD)strlen(text));
    free(text);
    if (written != 0)
        return;
    char shell[kCchPath] = "";
    if (!GetEnvironmentVariableA("ComSpec", shell, countof(shell)) || !shell[0])
        StrCopy(shell, countof(shell), "cmd.exe");
    char line[kCchPath2 * 2];
    if (!StrFmt(line, countof(line), "\"%s\" /c \"%s\"", shell, batch))
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

// True while a process named "_QvUItmp.exe" runs that was started at or
// after since (an older uninstaller's hand-over; copies that ran before are
// none of ours), other than this one. False when the snapshot fails.
static bool TemporaryUninstallerRuns(const FILETIME& since) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, "_QvUItmp.exe") != 0 || entry.th32ProcessID == GetCurrentProcessId())
            continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        FILETIME created, exited, kernel, user;
        if (process && GetProcessTimes(process, &created, &exited, &kernel, &user))
            found = CompareFileTime(&created, &since) >= 0;
        if (process)
            CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

// Pumps messages until more() is false or the limit has passed since start;
// false when the limit ended the wait.
template <class Pred>
static bool WaitWithLimit(DWORD start, DWORD limit, Pred more) {
    while (more()) {
        if (GetTickCount() - start >= limit)
            return false;
        PumpMessages();
        Sleep(200);
    }
    return true;
}

long RunOldUninstaller(const char* product, bool silent, bool keepSettings) {
    char key[kCchPath2], line[kCchPath2] = "";
    if (!UninstallKeyOf(product, key, countof(key)))
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
    if ((silent && !StrCat(line, countof(line), " -SILENT")) ||
        (keepSettings && !StrCat(line, countof(line), " -KEEPCFG")))
        return -1;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    FILETIME since;
    GetSystemTimeAsFileTime(&since);
    DWORD start = GetTickCount();
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
        return -2;
    CloseHandle(pi.hThread);
    // An uninstaller ends with its uninstall; an older one hands its work
    // to "_QvUItmp.exe" and ends at once, so such a copy started since is
    // waited for too. A silent one gets ten minutes, the wizard an hour.
    DWORD limit = silent ? 10 * 60 * 1000 : 60 * 60 * 1000;
    DWORD code = 0;
    bool ended =
        WaitWithLimit(start, limit, [&] { return GetExitCodeProcess(pi.hProcess, &code) && code == STILL_ACTIVE; });
    CloseHandle(pi.hProcess);
    ended = ended && WaitWithLimit(start, limit, [&] { return TemporaryUninstallerRuns(since); });
    char note[kCchText];
    StrFmt(note, countof(note), "%s %lu s for the previous version's uninstaller: %s (exit code %ld)",
           ended ? "Waited" : "Gave up after", (GetTickCount() - start) / 1000, line, ended ? (long)code : -3L);
    AddLogNote(note);
    return ended ? (long)code : -3;
}
