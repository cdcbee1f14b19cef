// Dirwarden.exe: can the user write to a folder? The folder is the whole
// rest of the command line behind the program's name (it arrives unquoted;
// quotes around it are allowed). Creates "test.tmp" there for writing,
// closes and deletes it: exit code 0; 1 when it cannot be created, 2
// without a folder. A file of that name that already exists is left alone
// (the test then uses another name).
#include <windows.h>
#include <stdio.h>
#include <string.h>

// The command line behind the program's name, blanks and quotes around it removed.
static void FolderFromCommandLine(const char* line, char* folder, size_t cch) {
    const char* p = line;
    if (*p == '"') {
        p = strchr(p + 1, '"');
        p = p ? p + 1 : line + strlen(line);
    } else {
        while (*p && *p != ' ' && *p != '\t')
            p++;
    }
    while (*p == ' ' || *p == '\t')
        p++;
    size_t n = strlen(p);
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t'))
        n--;
    if (n >= 2 && p[0] == '"' && p[n - 1] == '"') {
        p++;
        n -= 2;
    }
    while (n > 1 && p[n - 1] == '\\')
        n--;
    if (n >= cch)
        n = 0;  // too long for a path: no folder
    memcpy(folder, p, n);
    folder[n] = '\0';
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char folder[MAX_PATH];
    FolderFromCommandLine(GetCommandLineA(), folder, sizeof folder);
    if (!folder[0])
        return 2;
    for (int i = 0; i < 100; i++) {
        char path[MAX_PATH + 16];
        if (i == 0)
            snprintf(path, sizeof path, "%s\\test.tmp", folder);
        else
            snprintf(path, sizeof path, "%s\\test%d.tmp", folder, i);
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            DeleteFileA(path);
            return 0;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return 1;
    }
    return 1;
}
