// Working with the desktop user's rights while setup itself runs elevated,
// and with running instances of the main program. The desktop user owns the
// shell's "Progman" window.
#pragma once
#include <windows.h>

// on: impersonates the desktop user on the calling thread; off: reverts to
// the process's own token. Below OS code 600 it does nothing and succeeds.
// False, the thread as it was, when a step fails.
bool ImpersonateDesktopUser(bool on);
// Starts "program" parameters with the desktop user's token. With exitCode
// it waits (handling the thread's window messages) and returns the code.
// Without CreateProcessWithTokenW the program is opened through the shell
// instead (no wait). 0 started, 1 failed.
int RunAsDesktopUser(const char* program, const char* parameters, DWORD* exitCode);
// Quits every running instance of the products whose install records
// (value names under HKLM "Software\Tarnwick") contain name: their
// "MoxWindow" windows get WM_QUIT. 0, or 1 when an instance kept running.
int CloseRunningProgram(const char* name);
// Dispatches the calling thread's waiting window messages.
void PumpMessages();
