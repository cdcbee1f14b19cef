// A small program on the framework for the start-up tests: it starts as
// the main program does and writes what happens to the file named by the
// environment variable VP_PROBE_LOG, one line per event.
#include <windows.h>
#include <stdio.h>

#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/framework_messages.h"
#include "settings/data_folders.h"

static TextRecord gProbeTexts[] = {
    {0, {"Vellumor Probe"}},
    {0xFFFF, {}},
};

static void Log(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));
static void Log(const char* fmt, ...) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("VP_PROBE_LOG", path, MAX_PATH))
        return;
    FILE* f = fopen(path, "a");
    if (!f)
        return;
    va_list args;
    va_start(args, fmt);
    vfprintf(f, fmt, args);
    va_end(args);
    fputc('\n', f);
    fclose(f);
}

static LRESULT CALLBACK ProbeFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case MoxMSG_SECONDSTART:
        case MoxMSG_TASKBARCREATED:
            Log("msg %04X", msg);
            return 0;
        case MoxMSG_QUIT:
            Log("msg %04X", msg);
            PostMessageA(hwnd, WM_QUIT, 0, 0);
            return 0;
        case WM_QUIT:
            PostQuitMessage((int)wp);
            return 0;
    }
    if (msg >= 0x8000 && msg < 0xC000 && msg != MoxMSG_LAYOUT)
        Log("msg %04X", msg);  // anything else forwarded by the instance window
    return CallWindowProcA(gApp.frameworkWndProc, hwnd, msg, wp, lp);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int showCmd) {
    Log("start");
    int code = gApp.Init(instance, 0, gProbeTexts, false, 1, cmdLine, showCmd);
    Log("init %04X", code);
    if (code != 0)
        return 0;
    Log("user %s", gUserDataFolder);
    Log("common %s", gCommonDataFolder);
    Log("minimised %d autostart %d versionchanged %d", gApp.startMinimised, gApp.autostart, gApp.recordVersionChanged);
    if (gApp.CreateFrame(0, ProbeFrameProc, gApp.productName, 0, kFrameHidden | kFrameMainFrame, nullptr) < 0) {
        Log("frame failed");
        return 0;
    }
    gApp.SetTrayIcon(0, kIdiProgram, nullptr);
    Log("ready");
    gApp.Run();
    gApp.SetTrayIcon(0, -1, nullptr);
    Log("exit");
    return 0;
}
