// A stand-in for a planted OpenSSL provider module or engine: loading it
// leaves the file "<this DLL>.ran" beside it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    char path[MAX_PATH + 4];
    DWORD n = reason == DLL_PROCESS_ATTACH ? GetModuleFileNameA(inst, path, MAX_PATH) : 0;
    if (n > 0 && n < MAX_PATH)
        CloseHandle(CreateFileA(lstrcatA(path, ".ran"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
