// The desktop user's token, programs started with it, and quitting running
// instances of the main program.
#include "desktop_user.h"

#include <string.h>
#include <wchar.h>

#include "setup_base.h"
#include "setup_state.h"

// The process that owns the shell's desktop window, opened for queries.
static HANDLE OpenDesktopProcess() {
    HWND shell = FindWindowA("Progman", nullptr);
    DWORD pid = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &pid) || !pid)
        return nullptr;
    return OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
}

bool ImpersonateDesktopUser(bool on) {
    if (gSetup.osCode < 600)
        return true;
    if (!on)
        return RevertToSelf() != 0;
    HANDLE process = OpenDesktopProcess();
    if (!process)
        return false;
    HANDLE token = nullptr;
    bool ok = OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, &token) && ImpersonateLoggedOnUser(token);
    if (token)
        CloseHandle(token);
    CloseHandle(process);
    return ok;
}

void PumpMessages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

typedef BOOL(WINAPI* CreateWithTokenFn)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                        LPPROCESS_INFORMATION);

int RunAsDesktopUser(const char* program, const char* parameters, DWORD* exitCode) {
    CreateWithTokenFn createWithToken =
        (CreateWithTokenFn)(void*)GetProcAddress(GetModuleHandleA("advapi32.dll"), "CreateProcessWithTokenW");
    if (!createWithToken)
        return (INT_PTR)ShellExecuteA(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL) <= 32 ? 1 : 0;
    HANDLE process = OpenDesktopProcess();
    if (!process)
        return 1;
    HANDLE token = nullptr, primary = nullptr;
    char line[kCchPath2];
    WCHAR wide[kCchPath];
    bool ok = OpenProcessToken(process, TOKEN_DUPLICATE, &token) &&
              DuplicateTokenEx(token, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &primary) &&
              StrFmt(line, countof(line), parameters && *parameters ? "\"%s\" %s" : "\"%s\"", program,
                     parameters ? parameters : "") &&
              MultiByteToWideChar(CP_ACP, 0, line, -1, wide, countof(wide)) > 0;
    PROCESS_INFORMATION pi = {};
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ok = ok && createWithToken(primary, 0, nullptr, wide, 0, nullptr, nullptr, &si, &pi);
    if (ok && exitCode) {
        while (GetExitCodeProcess(pi.hProcess, exitCode) && *exitCode == STILL_ACTIVE) {
            PumpMessages();
            Sleep(100);
        }
    }
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (primary)
        CloseHandle(primary);
    if (token)
        CloseHandle(token);
    CloseHandle(process);
    return ok ? 0 : 1;
}

struct WindowSearch {
    const char* title;  // the text the title must contain (without case)
    HWND found;
};

static bool ContainsNoCase(const char* text, const char* part) {
    size_t n = strlen(part);
    for (; *text; text++)
        if (_strnicmp(text, part, n) == 0)
            return true;
    return n == 0;
}

static BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM lp) {
    WindowSearch* s = (WindowSearch*)lp;
    char cls[64], title[kCchPath];
    if (GetClassNameA(hwnd, cls, countof(cls)) && _stricmp(cls, "MoxWindow") == 0 &&
        GetWindowTextA(hwnd, title, countof(title)) && ContainsNoCase(title, s->title)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Quits the instances whose window titles hold product, for up to 60
// seconds. 1 when one did not end within 10 seconds of its WM_QUIT.
static int QuitInstances(const char* product) {
    int result = 0;
    DWORD firstFound = 0;
    for (;;) {
        WindowSearch s = {product, nullptr};
        EnumWindows(FindMainWindow, (LPARAM)&s);
        if (!s.found)
            return result;
        if (!firstFound)
            firstFound = GetTickCount() | 1;
        DWORD pid = 0;
        GetWindowThreadProcessId(s.found, &pid);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, pid);
        // A hung program must not hang setup: the send gives up after 5 s.
        DWORD_PTR answer;
        SendMessageTimeoutA(s.found, WM_QUIT, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        bool ended = false;
        for (int i = 0; i < 100 && !ended; i++) {
            DWORD code = 0;
            ended = process ? !GetExitCodeProcess(process, &code) || code != STILL_ACTIVE : !IsWindow(s.found);
            if (!ended)
                Sleep(100);
        }
        if (process)
            CloseHandle(process);
        if (!ended)
            result = 1;
        if (GetTickCount() - firstFound >= 60000)
            return result;
    }
}

int CloseRunningProgram(const char* name) {
    int result = 0;
    for (DWORD index = 0;; index++) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_READ, &key) != ERROR_SUCCESS)
            return result;
        char value[kCchPath];
        DWORD cch = countof(value);
        LONG status = RegEnumValueA(key, index, value, &cch, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            return result;
        if (strstr(value, name) && QuitInstances(value))
            result = 1;
    }
}
