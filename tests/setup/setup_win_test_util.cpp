// Helpers of the setup tests under Wine.
#include "setup_win_test_util.h"

#include "framework/startup_test_util.h"
#include "setup/archive.h"
#include "setup/commands.h"
#include "setup/script.h"
#include "setup/setup_run.h"
#include "setup/setup_state.h"
#include "setup_test_util.h"
#include "support/test_support.h"

std::string WinPath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

std::string TestFolder(const char* name) {
    return WinPath(MakeTestDir(name));
}

void LoadCommands(const std::string& lines) {
    CloseSetupArchive();
    LoadScript(CrLf("PhaseBegin 1\n" + lines));
    InstallCommandHandlers();
    gSetupInstance = GetModuleHandleA(nullptr);
    gSetup.osCode = DetectOsCode();
}

int RunCommands(const std::string& lines) {
    LoadCommands(lines);
    RunPhase(1, false);
    return gSetup.result;
}

bool RegKeyExists(HKEY root, const char* key) {
    HKEY h;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

static bool RegRead(HKEY root, const char* key, const char* name, DWORD* type, std::string* data) {
    HKEY h;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    DWORD cb = 0;
    bool ok = RegQueryValueExA(h, name, nullptr, type, nullptr, &cb) == ERROR_SUCCESS;
    if (ok && data) {
        data->assign(cb, '\0');
        ok = RegQueryValueExA(h, name, nullptr, type, (BYTE*)&(*data)[0], &cb) == ERROR_SUCCESS;
        data->resize(cb);
    }
    RegCloseKey(h);
    return ok;
}

bool RegValueExists(HKEY root, const char* key, const char* name) {
    DWORD type;
    return RegRead(root, key, name, &type, nullptr);
}

std::string RegString(HKEY root, const char* key, const char* name) {
    DWORD type = 0;
    std::string data;
    if (!RegRead(root, key, name, &type, &data) || type != REG_SZ)
        return "<missing>";
    return data.c_str();
}

DWORD RegDword(HKEY root, const char* key, const char* name) {
    DWORD type = 0;
    std::string data;
    if (!RegRead(root, key, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return 0xDEADBEEF;
    return *(const DWORD*)data.data();
}

RunResult RunAndAnswer(const std::string& exe, const std::string& args, const std::string& cwd, DWORD timeoutMs) {
    RunResult r = {false, 0, {}};
    std::string line = "\"" + exe + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(),
                        &si, &pi))
        return r;
    DWORD start = GetTickCount();
    HWND answered = nullptr;
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        HWND box = WaitForDialog(pi.dwProcessId, 0);
        if (box && box != answered) {
            Sleep(100);  // let the box finish its set-up
            r.boxes.push_back(ControlText(box, 0xFFFF));
            PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            answered = box;
        }
    }
    r.ended = WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0 && GetTickCount() - start <= timeoutMs;
    GetExitCodeProcess(pi.hProcess, &r.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return r;
}

std::string HelperExe() {
    return WinPath(PathOfUnix(VP_HELPER_EXE));
}

HANDLE StartHelper(const std::string& args, bool waitReady) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VpSetupHelperReady");
    ResetEvent(ready);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "VpSetupHelperRelease");
    ResetEvent(release);
    CloseHandle(release);
    std::string line = "\"" + HelperExe() + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (ok) {
        CloseHandle(pi.hThread);
        if (waitReady) {
            HANDLE both[2] = {ready, pi.hProcess};
            WaitForMultipleObjects(2, both, FALSE, 30000);
        }
    }
    CloseHandle(ready);
    return ok ? pi.hProcess : nullptr;
}

void ReleaseHelper(HANDLE process) {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "VpSetupHelperRelease");
    SetEvent(release);
    WaitForSingleObject(process, 30000);
    CloseHandle(release);
    CloseHandle(process);
}
