// A stand-in for a planted OpenSSL provider module or engine: loading it
// leaves the file "<this DLL>.ran" beside it. No function of it is called.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    char path[MAX_PATH + 4];
    DWORD n = reason == DLL_PROCESS_ATTACH ? GetModuleFileNameA(inst, path, MAX_PATH) : 0;
    if (n > 0 && n < MAX_PATH) {
        memcpy(path + n, ".ran", 5);
        HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
    }
    return TRUE;
}
