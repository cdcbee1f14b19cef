// The Product Information dialog and its configuration commands.
#include "product_info.h"

#include "app.h"
#include "app_window.h"
#include "base/str_util.h"
#include "config_backup.h"
#include "dialog_util.h"
#include "framework_messages.h"
#include "install_settings.h"
#include "link_control.h"
#include "message_box.h"
#include "schedules.h"
#include "settings/data_folders.h"
#include "string_table.h"

namespace {

constexpr UINT kBoxDone = kBoxInformation | kBoxOk | kBoxBoldFirstLine;
constexpr UINT kBoxRestartQuestion = kBoxQuestion | kBoxOkCancel | kBoxBoldFirstLine;
// Slots of IDS_MOX_PRODUCT_INFO and IDS_MOX_CONFIG_DONE.
enum { kSlotTitle = 0, kSlotLegal = 1, kSlotWeb = 2 };
enum { kSlotRestored = 0, kSlotBackedUp = 1, kSlotReset = 2 };

// What one open dialog owns; freed when it is destroyed.
struct ProductInfoState {
    CLinkControl web, install, data;
    char installFolder[kCchPath];
};

ProductInfoState* StateOf(HWND dlg) {
    return (ProductInfoState*)GetWindowLongPtrA(dlg, DWLP_USER);
}

void ApplyTitleFont(HWND dlg) {
    SendDlgItemMessageA(dlg, IDC_MOX_INFO_TITLE, WM_SETFONT, (WPARAM)gApp.UiFont(gApp.DialogDpi(dlg), true), TRUE);
}

void OnInit(HWND dlg) {
    ProductInfoState* s = new ProductInfoState;
    SetWindowLongPtrA(dlg, DWLP_USER, (LONG_PTR)s);
    gApp.PrepareDialog(dlg);
    SetWindowTextA(dlg, gApp.productName);
    SetDlgItemTextF(dlg, IDC_MOX_INFO_TITLE, gApp.Text(IDS_MOX_PRODUCT_INFO, kSlotTitle), gApp.productName,
                    gApp.versionMajor, gApp.versionMinor, gApp.versionBuild);
    ApplyTitleFont(dlg);
    SetDlgItemTextA(dlg, IDC_MOX_INFO_LEGAL, gApp.Text(IDS_MOX_PRODUCT_INFO, kSlotLegal));
    InstallSettingsText(gApp.installSettings, kInstallFolder, s->installFolder, countof(s->installFolder));
    s->web.Attach(dlg, IDC_MOX_INFO_WEB, gApp.Text(IDS_MOX_PRODUCT_INFO, kSlotWeb));
    SetDlgItemTextA(dlg, IDC_MOX_INFO_INSTALL, s->installFolder);
    s->install.Attach(dlg, IDC_MOX_INFO_INSTALL, s->installFolder);
    SetDlgItemTextA(dlg, IDC_MOX_INFO_DATA, gUserDataFolder);
    s->data.Attach(dlg, IDC_MOX_INFO_DATA, gUserDataFolder);
    EnableWindow(GetDlgItem(dlg, IDC_MOX_HELP), gApp.frames.count > 0);
    const ScheduleServices& services = CurrentScheduleServices();
    EnableWindow(GetDlgItem(dlg, IDC_MOX_INFO_ARCHIVE), services.showArchive != nullptr);
    EnableWindow(GetDlgItem(dlg, IDC_MOX_INFO_UPDATE), services.showUpdateCheck != nullptr);
}

// The program icon at the area's height, rounded down to an even number of pixels.
void OnDrawIcon(const DRAWITEMSTRUCT* di) {
    int size = (di->rcItem.bottom - di->rcItem.top) & ~1;
    HICON icon = (HICON)LoadImageA(gApp.instance, MAKEINTRESOURCEA(kIdiProgram), IMAGE_ICON, size, size, 0);
    if (!icon)
        return;
    DrawIconEx(di->hDC, di->rcItem.left, di->rcItem.top, icon, size, size, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
}

// Restore or reset: on success the program restarts (all instances) when
// the user agrees. Declined, the restore or reset is cancelled: left
// pending, any later start would replace the settings changed meanwhile.
void OnReplaceConfig(HWND dlg, int operation) {
    if (ConfigBackupRestore(dlg, operation, nullptr) != kConfigDone)
        return;
    int slot = operation == kConfigRestore ? kSlotRestored : kSlotReset;
    if (AppMessageBox(dlg, gApp.productName, "%s\n%s", kBoxRestartQuestion, 0, gApp.Text(IDS_MOX_CONFIG_DONE, slot),
                      gApp.Text(IDS_MOX_RESTART, 0)) != IDOK) {
        DiscardPendingRestore();
        return;
    }
    gApp.RequestRestart(-1, nullptr, true);
    EndDialog(dlg, IDOK);
}

void OnBackup(HWND dlg) {
    gApp.SaveAppRecord();
    gApp.SendToMainFrame(MoxMSG_SAVESTATE, 0, 0);  // the application's own settings, now
    if (ConfigBackupRestore(dlg, kConfigBackup, nullptr) == kConfigDone)
        AppMessageBox(dlg, gApp.productName, "%s", kBoxDone, 0, gApp.Text(IDS_MOX_CONFIG_DONE, kSlotBackedUp));
}

void OnCommand(HWND dlg, WORD id) {
    const ScheduleServices& services = CurrentScheduleServices();
    switch (id) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dlg, id);
            break;
        case IDC_MOX_HELP:
            ShowAboutHelp();
            break;
        case IDC_MOX_INFO_BACKUP:
            OnBackup(dlg);
            break;
        case IDC_MOX_INFO_RESTORE:
            OnReplaceConfig(dlg, kConfigRestore);
            break;
        case IDC_MOX_INFO_RESET:
            OnReplaceConfig(dlg, kConfigReset);
            break;
        case IDC_MOX_INFO_ARCHIVE:
            if (services.showArchive)
                services.showArchive(dlg);
            break;
        case IDC_MOX_INFO_UPDATE:
            if (services.showUpdateCheck)
                services.showUpdateCheck(dlg);
            break;
    }
}

void OnDestroy(HWND dlg) {
    delete StateOf(dlg);  // the links detach with it
    SetWindowLongPtrA(dlg, DWLP_USER, 0);
}

}  // namespace

INT_PTR CALLBACK ProductInfoDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(dlg);
            return FALSE;  // PrepareDialog set the focus
        case WM_DRAWITEM:
            if (wp == IDC_MOX_INFO_ICON) {
                OnDrawIcon((const DRAWITEMSTRUCT*)lp);
                return TRUE;
            }
            break;
        case WM_HELP:
            OnCommand(dlg, IDC_MOX_HELP);
            return TRUE;
        case WM_COMMAND:
            OnCommand(dlg, LOWORD(wp));
            return TRUE;
        case WM_DPICHANGED:
            gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            ApplyTitleFont(dlg);
            return TRUE;
        case WM_DESTROY:
            OnDestroy(dlg);
            break;
    }
    return FALSE;
}

void ShowAboutHelp() {
    if (gApp.frames.count > 0)
        SendMessageA((*gApp.frames.At(0))->window, MoxMSG_HELP, (WPARAM) "About", 0);
}

void ShowProductInfo(HWND owner, LPARAM param) {
    if (!owner)
        owner = gApp.ForegroundWindowOfProcess();
    if (owner) {
        CAppWindow* frame = gApp.FrameByWindow(owner);
        if (frame && !(frame->flags & kFrameHidden))
            frame->Show(SW_SHOW, false);
        else if (!frame)
            ShowWindow(owner, SW_SHOW);
        SetForegroundWindow(owner);
    }
    gApp.DisableFrames(true);
    DialogBoxParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MOX_PRODUCT_INFO), owner, ProductInfoDlgProc, param);
    gApp.DisableFrames(false);
}
