#include "startup_test_util.h"

#include <string.h>

#include <sstream>
#include <vector>

#include "support/test_support.h"

void SetInstallRecord(const char* product, const InstallRecordFields& fields) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (fields.size == 0) {
        RegDeleteValueA(key, product);
    } else {
        std::vector<BYTE> rec(1328, 0);
        rec[0] = 1;
        rec[10] = 4;
        rec[12] = 13;
        rec[16] = fields.customFolder ? 1 : 0;
        rec[18] = fields.perUser ? 1 : 0;
        memcpy(&rec[20], fields.installFolder.c_str(),
               fields.installFolder.size() < 259 ? fields.installFolder.size() : 259);
        memcpy(&rec[280], fields.customDataFolder.c_str(),
               fields.customDataFolder.size() < 259 ? fields.customDataFolder.size() : 259);
        rec.resize(fields.size, 0);
        RegSetValueExA(key, product, 0, REG_BINARY, rec.data(), (DWORD)rec.size());
    }
    RegCloseKey(key);
}

Started StartProgram(const std::string& exe, const std::string& args, const std::string& log, int showCmd) {
    Started s;
    SetEnvironmentVariableA("VP_PROBE_LOG", log.empty() ? nullptr : log.c_str());
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)showCmd;
    s.ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &s.pi) != FALSE;
    SetEnvironmentVariableA("VP_PROBE_LOG", nullptr);
    return s;
}

bool WaitEnded(Started* p, DWORD ms) {
    if (!p->ok)
        return true;
    if (WaitForSingleObject(p->pi.hProcess, ms) != WAIT_OBJECT_0)
        return false;
    CloseHandle(p->pi.hProcess);
    CloseHandle(p->pi.hThread);
    p->ok = false;
    return true;
}

void Kill(Started* p) {
    if (!p->ok)
        return;
    TerminateProcess(p->pi.hProcess, 1);
    WaitEnded(p, 5000);
}

std::string ProbeExe() {
    return PathOfUnix(VP_PROBE_EXE);
}

std::string ProgramExe() {
    return PathOfUnix(VP_PROGRAM_EXE);
}

std::string ReadLog(const std::string& log) {
    std::string s;
    ReadFileBytes(log, &s);
    return s;
}

bool WaitForLogLine(const std::string& log, const std::string& line, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        std::istringstream in(ReadLog(log));
        std::string l;
        while (std::getline(in, l))
            if (l.compare(0, line.size(), line) == 0)
                return true;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return false;
}

struct FindWindowOf {
    DWORD pid;
    const char* cls;
    bool visibleOnly;
    HWND found;
};

static BOOL CALLBACK FindWindowOfProc(HWND hwnd, LPARAM lp) {
    FindWindowOf* f = (FindWindowOf*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64];
    if (pid == f->pid && (!f->visibleOnly || IsWindowVisible(hwnd)) && GetClassNameA(hwnd, cls, sizeof cls) &&
        strcmp(cls, f->cls) == 0) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindowOf(DWORD pid, const char* cls, bool visibleOnly, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        FindWindowOf f = {pid, cls, visibleOnly, nullptr};
        EnumWindows(FindWindowOfProc, (LPARAM)&f);
        if (f.found)
            return f.found;
        Sleep(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

HWND WaitForDialog(DWORD pid, DWORD ms) {
    return WaitForWindowOf(pid, "#32770", true, ms);
}

void MovePointerTo(POINT pt) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in.mi.dx = (LONG)((pt.x * 65535LL + (w - 1) / 2) / (w - 1));
    in.mi.dy = (LONG)((pt.y * 65535LL + (h - 1) / 2) / (h - 1));
    SendInput(1, &in, sizeof in);
    DWORD start = GetTickCount();
    POINT now;
    do {
        Sleep(30);
        GetCursorPos(&now);
    } while ((now.x != pt.x || now.y != pt.y) && GetTickCount() - start < 2000);
    Sleep(150);
}

std::string ControlText(HWND dialog, int id) {
    char buf[1100] = "";
    GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}
