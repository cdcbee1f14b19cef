#include "gdi_objects.h"

#include <winternl.h>

#include <vector>

// The table is the one the process's PEB points to. Each entry is 24 bytes
// in 64-bit processes (16 in 32-bit ones); a non-zero type byte marks an
// object in use.
int GdiObjectCount(HANDLE process) {
    typedef NTSTATUS(WINAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryFn query = (QueryFn)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION info;
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return -1;
    const size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    const size_t entrySize = sizeof(void*) == 8 ? 24 : 16;
    const size_t typeOffset = sizeof(void*) == 8 ? 14 : 10;
    void* table = nullptr;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, (BYTE*)info.PebBaseAddress + tableOffset, &table, sizeof table, &got) || !table)
        return -1;
    std::vector<BYTE> entries(0x10000 * entrySize);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), &got))
        return -1;
    int n = 0;
    for (size_t i = 0; i < 0x10000; i++)
        if (entries[i * entrySize + typeOffset] != 0)
            n++;
    return n;
}
