// The script commands that reach the system, installed into the
// interpreter by InstallCommandHandlers. Each handler reads its substituted
// arguments from gArgs and returns a result code (script.h).
#pragma once

void InstallFileCommands();      // CreateDir, CopyFile, CreateLink, ChangeNotify, CopyUninstall,
                                 // DeleteFile, RemoveDir, PatchFile
void InstallRegistryCommands();  // CreateRegValSz, CreateRegValDW, CreateSetupInfo, DeleteRegKey, DeleteRegVal
void InstallProcessCommands();   // CloseProgram, StopService, Run, Call, LogonTrigger

inline void InstallCommandHandlers() {
    InstallFileCommands();
    InstallRegistryCommands();
    InstallProcessCommands();
}

// Calls attempt until it returns 0 or the time is used up, 100 ms apart.
// At least one attempt; a negative time means one attempt only.
int RetryFor(int milliseconds, int (*attempt)(void* context), void* context);
