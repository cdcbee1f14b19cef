// Commands that reach programs and services: CloseProgram, StopService,
// Run, Call and LogonTrigger.
#include <windows.h>
#include <shellapi.h>
#include <string.h>

#include "commands.h"
#include "desktop_user.h"
#include "logon_task.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_state.h"

static int CmdCloseProgram(int) {
    SendStatusLine("Closing program...");
    return CloseRunningProgram(gArgs[0]) == 1 ? kCodeProgramRunning : 0;
}

static int CmdStopService(int) {
    SendStatusFmt("Stopping service: %s", gArgs[0]);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return kCodeServiceManager;
    SC_HANDLE service = OpenServiceA(manager, gArgs[0], SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);  // no wait for the service to stop
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return 0;
}

static int CmdRun(int argc) {
    const char* program = gArgs[0];
    const char* parameters = argc > 1 ? gArgs[1] : "";
    const char* option = argc > 2 ? gArgs[2] : "";
    if (gSetup.osCode >= 600 && strstr(program, ".exe") && _stricmp(option, "Elevated") != 0)
        return RunAsDesktopUser(program, parameters, nullptr) == 0 ? 0 : kCodeRun;
    INT_PTR shell = (INT_PTR)ShellExecuteA(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL);
    return shell <= 32 ? kCodeRun : 0;
}

static int CmdCall(int argc) {
    const char* parameters = argc > 1 ? gArgs[1] : "";
    const char* folder = argc > 2 ? gArgs[2] : "";
    const char* window = argc > 3 ? gArgs[3] : "";
    const char* option = argc > 4 ? gArgs[4] : "";
    char line[kCchText2];
    StrFmt(line, countof(line), "\"%s\" %s", gArgs[0], parameters);
    SendStatusFmt("Executing: %s", line);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (window[0] == 'H' || window[0] == 'h') {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        *folder ? folder : nullptr, &si, &pi))
        return _stricmp(option, "SILENT") == 0 ? 0 : kCodeRun;
    CloseHandle(pi.hThread);
    DWORD code = 0;
    while (GetExitCodeProcess(pi.hProcess, &code) && code == STILL_ACTIVE) {
        if (gSetup.cancelled) {
            TerminateProcess(pi.hProcess, STILL_ACTIVE);
            WaitForSingleObject(pi.hProcess, 5000);
            GetExitCodeProcess(pi.hProcess, &code);
            break;
        }
        PumpMessages();
        Sleep(50);
    }
    CloseHandle(pi.hProcess);
    char text[16] = "0";
    if (code != 0)
        StrFmt(text, countof(text), "%08lx", (unsigned long)code);
    SetVar("#LASTERROR#", text);
    return 0;
}

static int CmdLogonTrigger(int argc) {
    const char* program = argc > 1 ? gArgs[1] : "";
    const char* arguments = argc > 2 ? gArgs[2] : "";
    SendStatusLine(*program ? "Creating startup task" : "Deleting startup task");
    int stage = 0;
    for (int attempt = 0; attempt < 10; attempt++) {
        if (attempt > 0)
            Sleep(1000);
        stage = SetLogonTask(gArgs[0], program, arguments);
        if (stage == 0)
            return 0;
    }
    char text[16];
    StrFmt(text, countof(text), "%08x", (unsigned)stage);
    SetVar("#LASTERROR#", text);
    return kCodeLogonTask;
}

void InstallProcessCommands() {
    SetCommandHandler(kKwCloseProgram, CmdCloseProgram);
    SetCommandHandler(kKwStopService, CmdStopService);
    SetCommandHandler(kKwRun, CmdRun);
    SetCommandHandler(kKwCall, CmdCall);
    SetCommandHandler(kKwLogonTrigger, CmdLogonTrigger);
}
