// The logon task: a Task Scheduler 2.0 task in the root folder that starts
// a program with the highest run level when a user logs on.
#pragma once
#include <stddef.h>

// Deletes the task of that name, then (with a non-empty program) registers
// it anew, first for the Administrators group, then, replacing it, for the
// Users group. 0, or the stage code (1-23) of the step that failed.
int SetLogonTask(const char* taskName, const char* program, const char* arguments);
// The local name of the built-in group with that relative id (544
// Administrators, 545 Users). *cch: the buffer's size in, the name's length out.
bool GetWellKnownGroupName(unsigned long relativeId, char* name, unsigned long* cch);
