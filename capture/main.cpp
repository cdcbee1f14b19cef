// The entry of the main program: framework start-up, the hidden framework
// window 0 with the application's frame procedure, the tray icon, the
// message loop, and the shutdown.
#include <ole2.h>
#include <windows.h>

#include "app_texts.h"
#include "framework/app.h"
#include "framework/framework_messages.h"
#include "framework/message_box.h"
#include "options.h"
#include "resource.h"

namespace {

const DWORD kMainFrameFlags = 0x10000400;  // hidden frame, main frame
const int kRecordFormatVersion = 1;
HDC gScreenDC;

// Whether the tray icon is shown; the option set keeps it once it exists.
bool TrayIconWanted() {
    return gOpt.TrayIcon != 0;
}

void UpdateTrayIcon() {
    gApp.SetTrayIcon(0, TrayIconWanted() ? IDI_PROGRAM : -1, nullptr);
}

void OnFrameCommand(HWND frame, WORD id) {
    switch (id) {
        case IDS_CMD_QUIT:
            PostMessageA(frame, WM_QUIT, 0, 0);
            break;
    }
}

LRESULT CALLBACK MainFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_QUIT:  // sent by setup to stop the program
            PostQuitMessage((int)wp);
            return 0;
        case MoxMSG_COMMAND:
            OnFrameCommand(hwnd, LOWORD(wp));
            return 0;
        case MoxMSG_TRAYNOTIFY:
            return 0;  // the tray menu and the main dialog answer here once they exist
        case MoxMSG_SECONDSTART:
            return 0;
        case MoxMSG_SAVESTATE:
            ExchangeOptions(1);
            return 0;
        case WM_ENDSESSION:
            if (wp)
                ExchangeOptions(1);
            return 0;
        case MoxMSG_TASKBARCREATED:
            UpdateTrayIcon();
            return 0;
        case MoxMSG_QUIT:
            PostMessageA(hwnd, WM_QUIT, 0, 0);
            return 0;
    }
    return CallWindowProcA(gApp.frameworkWndProc, hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int showCmd) {
    if (gApp.Init(instance, IDS_PRODUCT, gAppTexts, false, kRecordFormatVersion, cmdLine, showCmd) != 0)
        return 0;
    if (gApp.autostart)
        gApp.startMinimised = true;
    gScreenDC = CreateCompatibleDC(nullptr);
    InitDefaultFonts();
    ExchangeOptions(0);
    OleInitialize(nullptr);

    int error = 0;
    if (gApp.CreateFrame(0, MainFrameProc, gApp.Text(IDS_PRODUCT, 0), 0, kMainFrameFlags, nullptr) < 0) {
        error = 1;
    } else {
        UpdateTrayIcon();
        gApp.Run();
        ExchangeOptions(1);
        gApp.SetTrayIcon(0, -1, nullptr);
    }

    OleUninitialize();
    if (gScreenDC)
        DeleteDC(gScreenDC);
    if (error)
        AppMessageBox(nullptr, gApp.Text(IDS_PRODUCT, 0), gApp.Text(0xF003, 0), 0x111, 0, error);
    return 0;
}
