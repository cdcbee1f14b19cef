// A small program the setup tests run as the "other program":
//   lock FILE share     opens FILE for writing; share "none" shares nothing,
//                       "delete" shares reading and deleting (as a running
//                       program's file is held); signals the event
//                       "VpSetupHelperReady" and waits for "VpSetupHelperRelease"
//   exit N              ends with exit code N
//   sleep MS            sleeps, then ends with 0
//   marker FILE [TEXT]  writes TEXT (or "run") into FILE, ends with 0
//   mox TITLE           a main-program stand-in: a "MoxWindow" window titled
//                       TITLE that ends the program when it receives WM_QUIT;
//                       signals "VpSetupHelperReady"
//   hung TITLE          a main-program stand-in that never answers: a
//                       "MoxWindow" window titled TITLE whose thread pumps
//                       no messages; ends after two minutes
//   progman             the shell's desktop window, absent under Wine: a
//                       "Progman" window, so that setup finds the desktop
//                       user's process (this one); runs until ended
#include <windows.h>
#include <stdlib.h>
#include <string.h>

static void SignalReady() {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "VpSetupHelperReady");
    SetEvent(ready);
}

static int Lock(const char* file, const char* share) {
    DWORD mode = strcmp(share, "delete") == 0 ? FILE_SHARE_READ | FILE_SHARE_DELETE : 0;
    HANDLE h = CreateFileA(file, GENERIC_READ | GENERIC_WRITE, mode, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "VpSetupHelperRelease");
    SignalReady();
    WaitForSingleObject(release, 120000);
    CloseHandle(h);
    return 0;
}

static LRESULT CALLBACK MoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_QUIT) {  // sent, as setup sends it
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

static int Progman() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Progman";
    RegisterClassA(&wc);
    CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    SignalReady();
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0)
        DispatchMessageA(&m);
    return 0;
}

static int Mox(const char* title) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MoxProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MoxWindow";
    RegisterClassA(&wc);
    CreateWindowExA(0, "MoxWindow", title, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SignalReady();
    MSG m;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 120000) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT)
                return 0;
            DispatchMessageA(&m);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return 3;
}

static int Hung(const char* title) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MoxWindow";
    RegisterClassA(&wc);
    CreateWindowExA(0, "MoxWindow", title, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SignalReady();
    Sleep(120000);
    return 4;
}

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "lock") == 0)
        return Lock(argv[2], argv[3]);
    if (argc >= 3 && strcmp(argv[1], "exit") == 0)
        return atoi(argv[2]);
    if (argc >= 3 && strcmp(argv[1], "sleep") == 0) {
        Sleep(atoi(argv[2]));
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "marker") == 0) {
        HANDLE h = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const char* text = argc >= 4 ? argv[3] : "run";
        DWORD done;
        WriteFile(h, text, (DWORD)strlen(text), &done, nullptr);
        CloseHandle(h);
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "progman") == 0)
        return Progman();
    if (argc >= 3 && strcmp(argv[1], "mox") == 0)
        return Mox(argv[2]);
    if (argc >= 3 && strcmp(argv[1], "hung") == 0)
        return Hung(argv[2]);
    return 1;
}
