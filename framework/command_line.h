// The program's command line split into switches, each with the arguments
// that follow it, and the four switches the framework itself acts on.
#pragma once
#include "base/dyn_array.h"
#include "base/str_util.h"

typedef char CmdArg[kCchPath];

// One switch and its arguments. Elements of a CDynArray are copied as raw
// bytes, so the argument list is held through a pointer that the switch
// list owns: free a list with FreeSwitches, never with RemoveAll alone.
struct CmdSwitch {
    char name[kCchPath];      // with its leading '-', as typed; "" before the first switch
    CDynArray<CmdArg>* args;  // owned; never null in a parsed list
};

// The framework's start-up flags set by the command line.
struct CmdLineFlags {
    bool autostart;       // "-AUTOSTART": started by the Startup-folder link
    bool startMinimized;  // "-MINIMIZE"
};

// Frees every switch's argument list and empties the list.
void FreeSwitches(CDynArray<CmdSwitch>* switches);

// Empties *switches (FreeSwitches) and fills it from cmdLine; the caller
// frees the result with FreeSwitches. Sets flags->autostart and
// flags->startMinimized when their switches appear (leaves them otherwise;
// flags may be null). Returns the wait mode: -1 when "-QUIT" was seen,
// else 1 for "-WAITFORDATAPATH", else 0. Names and arguments longer than
// 259 characters are cut. A list that can't grow (out of memory) keeps
// what was parsed before.
int ParseCommandLine(CDynArray<CmdSwitch>* switches, const char* cmdLine, CmdLineFlags* flags);
