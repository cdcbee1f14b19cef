// A stand-in image editor for the Send-To tests: writes its command line
// to the file named by VP_RECORD_FILE and ends.
#include <windows.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char file[MAX_PATH];
    if (!GetEnvironmentVariableA("VP_RECORD_FILE", file, sizeof file))
        return 1;
    const char* line = GetCommandLineA();
    HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written;
    WriteFile(h, line, (DWORD)strlen(line), &written, nullptr);
    CloseHandle(h);
    return 0;
}
