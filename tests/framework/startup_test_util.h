// Helpers of the start-up tests: the install settings record in the
// registry, starting the probe and the main program, reading the probe's
// log, and finding the framework's message box of another process.
#pragma once
#include <windows.h>

#include <string>

struct InstallRecordFields {
    int size = 1328;
    bool customFolder = true;
    bool perUser = false;
    std::string installFolder;  // Windows paths
    std::string customDataFolder;
};

// Writes (or, with size 0, deletes) the record of a product.
void SetInstallRecord(const char* product, const InstallRecordFields& fields);

struct Started {
    PROCESS_INFORMATION pi = {};
    bool ok = false;
};
// Starts exe with args; the probe logs to log (empty: no log).
Started StartProgram(const std::string& exe, const std::string& args, const std::string& log, int showCmd = SW_SHOW);
// True when it ended within ms; closes the handles then.
bool WaitEnded(Started* p, DWORD ms);
void Kill(Started* p);

std::string ProbeExe();
std::string ProgramExe();
std::string ReadLog(const std::string& log);
// Waits until the log holds the line (or a line starting with it).
bool WaitForLogLine(const std::string& log, const std::string& line, DWORD ms);
// The first top-level window of the process with the class (visible ones
// only when asked), or null after ms.
HWND WaitForWindowOf(DWORD pid, const char* cls, bool visibleOnly, DWORD ms);
// The top-level dialog of the process, or null after ms.
HWND WaitForDialog(DWORD pid, DWORD ms);
// Moves the pointer with real input and waits until the system reports it there.
void MovePointerTo(POINT pt);
std::string ControlText(HWND dialog, int id);
