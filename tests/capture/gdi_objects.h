// GDI objects of a process counted from its GDI handle table, for the
// leak tests: Wine's GetGuiResources reports 0, the table is real.
#pragma once
#include <windows.h>

// Live GDI objects of the process (this one or another, opened with
// PROCESS_QUERY_INFORMATION | PROCESS_VM_READ); -1 when the table cannot
// be read.
int GdiObjectCount(HANDLE process);
