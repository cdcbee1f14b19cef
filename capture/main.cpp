// The entry of the main program: framework start-up, the overlay class, the
// options, the hidden framework window 0 with the application's frame
// procedure, the tray icon and menu, the main dialog, the message loop and
// the shutdown.
#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>
#include <stdlib.h>
#include <string.h>

#include "capture/actions/drag_out.h"
#include "capture/actions/send_to.h"
#include "capture/app_texts.h"
#include "capture/grab/hotkeys.h"
#include "capture/grab/overlay.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/print/print.h"
#include "capture/resource.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/commands.h"
#include "framework/framework_messages.h"
#include "framework/message_box.h"
#include "update/update_services.h"

namespace {

const DWORD kMainFrameFlags = kFrameHidden | kFrameMainFrame;
const int kRecordFormatVersion = 1;
const WORD kTrayMenuIds[] = {IDS_CMD_CAPTURE, IDS_CMD_SHOW, kCmdSeparatorId, IDS_CMD_HELP, IDS_CMD_QUIT, kIdListEnd};

void UpdateTrayIcon() {
    gApp.SetTrayIcon(0, gOpt.TrayIcon ? IDI_PROGRAM : -1, nullptr);
}

void OnFrameCommand(HWND frame, WORD id) {
    switch (id) {
        case IDS_CMD_CAPTURE:
            PostMessageA(gMainDialog, WM_HOTKEY, kHotKeyCapture, 0);
            break;
        case IDS_CMD_SHOW:
            PostMessageA(gMainDialog, WM_HOTKEY, kHotKeyShow, 0);
            break;
        case IDS_CMD_HELP:
            PostMessageA(gMainDialog, WM_COMMAND, IDC_HELP_CMD, 0);
            break;
        case IDS_CMD_QUIT:  // no unsaved-image question; the options are written after the loop
            PostMessageA(frame, WM_QUIT, 0, 0);
            break;
    }
}

void OnTrayNotify(UINT mouseMsg) {
    if (gApp.modalDepth != 0)
        return;
    switch (mouseMsg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ShowMainDialog(kShowCurrentTab);
            break;
        case WM_RBUTTONDOWN: {
            POINT at;
            GetCursorPos(&at);
            gApp.ShowPopupMenu(IDS_CMD_TRAY, at, gApp.FrameByIndex(0));
            break;
        }
    }
}

void OnHelpRequest(const char* topic) {
    if (topic && _stricmp(topic, "About") == 0)
        gApp.ShowManual("Vellumor Pro.chm", "ConfigurationInformation.htm");
    else
        SendMessageA(gMainDialog, WM_COMMAND, IDC_HELP_CMD, 0);
}

LRESULT CALLBACK MainFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_QUIT:  // sent by setup to stop the program
            if (gMainDialog)
                SendMessageA(gMainDialog, WM_QUIT, wp, lp);
            else
                PostQuitMessage(0);
            return 0;
        case MoxMSG_SAVESTATE:
            ExchangeOptions(kWriteOptions);
            return 0;
        case MoxMSG_COMMAND:
            OnFrameCommand(hwnd, LOWORD(wp));
            return 0;
        case MoxMSG_TRAYNOTIFY:
            OnTrayNotify((UINT)lp);
            return 0;
        case MoxMSG_HELP:
            OnHelpRequest((const char*)wp);
            return 0;
        case MoxMSG_SECONDSTART:
            ShowMainDialog(kShowCurrentTab);
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

bool RegisterCaptureClass(HINSTANCE instance) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = CaptureWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    wc.lpszClassName = kCaptureClassName;
    return RegisterClassA(&wc) != 0;
}

// "Init at startup": a number at the start of gOpt.InitN restarts the %N
// counter; text without one leaves it.
void ApplyInitN() {
    if (!gOpt.InitN[0])
        return;
    char* end;
    long value = strtol(gOpt.InitN, &end, 10);
    if (end != gOpt.InitN)
        gOpt.NextN = (int)value;
}

// The tray and its menu; false when a command could not be added.
bool AddTrayCommands() {
    const DWORD kIconText = kCmdIcon | kCmdCaption;
    struct {
        WORD id, kind;
        DWORD flags;
        int iconId;
        const void* data;
    } const commands[] = {
        {IDS_CMD_CAPTURE, kKindButton, kIconText, -1, nullptr},
        {IDS_CMD_SHOW, kKindButton, kIconText | kCmdBold, -1, nullptr},  // the default entry
        {IDS_CMD_HELP, kKindButton, kIconText, -1, nullptr},
        {IDS_CMD_QUIT, kKindButton, kIconText, -1, nullptr},
        {IDS_CMD_TRAY, kKindMenu, kCmdCaption, 0, kTrayMenuIds},
    };
    for (const auto& c : commands)
        if (gApp.AddCommand(c.id, c.kind, c.flags, c.iconId, -1, (void*)c.data) == -1)
            return false;
    return true;
}

void AppendSystemMenu(HWND dialog) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    if (!menu)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDC_HELP_CMD, "Display Help\t    F1");
    AppendMenuA(menu, MF_STRING, IDC_QUIT, "Quit Vellumor Pro");
}

// After a failed start: removes what was built (hot keys, main dialog, tray
// icon) and nothing else.
void UndoStart(bool trayAdded) {
    if (gMainDialog) {
        UnregisterHotKeys();
        DestroyWindow(gMainDialog);
        gMainDialog = nullptr;
    }
    if (trayAdded)
        gApp.SetTrayIcon(0, -1, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int showCmd) {
    InstallUpdateServices();
    if (gApp.Init(instance, IDS_PRODUCT, gAppTexts, false, kRecordFormatVersion, cmdLine, showCmd) != 0)
        return 0;
    if (gApp.autostart)
        gApp.startMinimised = true;
    gScreenDC = CreateCompatibleDC(nullptr);
    HRESULT ole = OleInitialize(nullptr);
    if (!RegisterCaptureClass(instance)) {
        if (SUCCEEDED(ole))
            OleUninitialize();
        if (gScreenDC)
            DeleteDC(gScreenDC);
        gScreenDC = nullptr;
        return 0;
    }
    InitDefaultFonts();
    ExchangeOptions(kReadOptions);
    ApplyInitN();
    RemoveOldDragFiles();  // what copy drops of earlier runs left behind

    int error = 0;
    bool trayAdded = false;
    if (gApp.CreateFrame(0, MainFrameProc, gApp.Text(IDS_PRODUCT, 0), 0, kMainFrameFlags, nullptr) < 0) {
        error = 1;
    } else {
        UpdateTrayIcon();
        trayAdded = gOpt.TrayIcon != 0;
        BuildSendToList();
        CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        if (!gMainDialog || !AddTrayCommands()) {
            error = 1;
            UndoStart(trayAdded);
        } else {
            AppendSystemMenu(gMainDialog);
            gApp.Run();
            StopUpdateServices();  // no worker may use what the shutdown frees
            gApp.SetTrayIcon(0, -1, nullptr);
            gMainDialog = nullptr;
            ExchangeOptions(kWriteOptions);
        }
    }

    if (SUCCEEDED(ole))
        OleUninitialize();
    FreeSendToList();
    FreePrinterList();  // waits for the printer enumeration
    if (gScreenDC)
        DeleteDC(gScreenDC);
    gScreenDC = nullptr;
    if (error)
        AppMessageBox(nullptr, gApp.Text(IDS_PRODUCT, 0), gApp.Text(IDS_MOX_INIT_ERROR, 0), kBoxErrorOk, 0, error);
    return 0;
}
