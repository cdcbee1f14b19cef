// Helpers of the setup tests under Wine: Windows paths of test folders, a
// fresh interpreter with the real commands, registry reads, and running a
// program while answering the message boxes it shows.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A new empty test folder as a Windows path with backslashes.
std::string TestFolder(const char* name);
std::string WinPath(const std::string& path);

// A fresh interpreter: state, variables and the real command handlers,
// the test program's string table, the OS code; then the script (written
// with LF) "PhaseBegin 1" + lines. Run it with RunPhase(1, false).
void LoadCommands(const std::string& lines);
// LoadCommands, RunPhase(1) and the result code.
int RunCommands(const std::string& lines);

bool RegValueExists(HKEY root, const char* key, const char* name);
bool RegKeyExists(HKEY root, const char* key);
std::string RegString(HKEY root, const char* key, const char* name);
DWORD RegDword(HKEY root, const char* key, const char* name);

struct RunResult {
    bool ended;  // false: killed after the time-out
    DWORD exitCode;
    std::vector<std::string> boxes;  // texts of the message boxes it showed (each answered Cancel)
};
// Runs "exe" args in folder cwd (empty: the test's own) and waits for it,
// answering every message box of the process with Cancel (never a restart).
RunResult RunAndAnswer(const std::string& exe, const std::string& args, const std::string& cwd = "",
                       DWORD timeoutMs = 60000);

// Starts the helper program (setup_test_helper.exe) with args; with
// waitReady it waits until the helper signalled "VpSetupHelperReady".
// Returns the process handle (close it), null on failure.
HANDLE StartHelper(const std::string& args, bool waitReady);
// Lets a helper in "lock" mode go and waits for it.
void ReleaseHelper(HANDLE process);
std::string HelperExe();
