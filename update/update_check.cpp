// The update check's worker thread and its dialog.
#include "update_check.h"

#include <objbase.h>
#include <process.h>
#include <shellapi.h>
#include <string.h>
#include <time.h>

#include "framework/app.h"
#include "framework/dialog_util.h"
#include "framework/install_settings.h"
#include "framework/product_info.h"
#include "framework/string_table.h"
#include "http_client.h"
#include "schedule_records.h"

namespace {

// Slots of IDS_MOX_UPDATE_CHECK.
enum {
    kSlotLastCheck = 0,
    kSlotChecking = 1,
    kSlotDownloadError = 2,
    kSlotFormatError = 3,
    kSlotNewer = 4,
    kSlotNotNewer = 5,
    kSlotNoThread = 6,
    kSlotUntrusted = 7,
    kSlotCaption = 11
};

// Shared with the worker: plain values read at each wait.
volatile LONG gRunning;
volatile BYTE gCancel;
volatile HWND gDialog;
volatile bool gStopping;  // the program ends: no worker opens a dialog now

// The workers that may still run (one checking, one waiting on its own
// dialog), for the join at exit. GUI thread only.
HANDLE gWorkers[4];

void SetStatus(int slot) {
    HWND dlg = gDialog;
    if (dlg)
        SetDlgItemTextA(dlg, IDC_UPDATE_STATUS, gApp.Text(IDS_MOX_UPDATE_CHECK, slot));
}

void ShowResult(HWND dlg, const char* version, bool newer) {
    SetDlgItemTextA(dlg, IDC_UPDATE_AVAILABLE, version);
    SetDlgItemTextA(dlg, IDC_UPDATE_STATUS, gApp.Text(IDS_MOX_UPDATE_CHECK, newer ? kSlotNewer : kSlotNotNewer));
    EnableWindow(GetDlgItem(dlg, IDC_UPDATE_DOWNLOAD), newer);
}

// Runs a dialog this thread created until it is closed.
void RunOwnDialog(HWND dlg) {
    MSG m;
    while (IsWindow(dlg) && GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

unsigned __stdcall UpdateCheckThread(void*) {
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    SetStatus(kSlotChecking);
    char url[kCchPath];
    InstallSettingsText(gApp.installSettings, kInstallVersionUrl, url, countof(url));
    CHttpClient* client = new CHttpClient;
    client->SetCancelFlag(&gCancel);
    HWND own = nullptr;
    int r = client->Get(url, nullptr, nullptr, nullptr, 0, true);
    int version[3];
    char body[kCchPath] = "";
    if (r != kHttpOk) {
        SetStatus(r == kHttpUntrusted ? kSlotUntrusted : kSlotDownloadError);
    } else {
        const CDynArray<char>& response = client->Response();
        int n = response.count < (int)countof(body) - 1 ? response.count : (int)countof(body) - 1;
        memcpy(body, response.Data(), (size_t)n);
        body[n] = '\0';
        if (!ParseVersionText(body, version)) {
            SetStatus(kSlotFormatError);
        } else {
            bool newer = IsNewerVersion(version, gApp.versionMajor, gApp.versionMinor, gApp.versionBuild);
            HWND dlg = gDialog;
            if (dlg) {
                ShowResult(dlg, body, newer);
            } else if (newer && !SameStoredVersion(s.version, body) && !gStopping) {
                own = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_UPDATE_CHECK), nullptr, UpdateCheckDlgProc,
                                         0);
                if (own) {
                    ShowWindow(own, SW_SHOW);
                    ShowResult(own, body, newer);
                }
            }
            s.newer = newer ? 1 : 0;
            s.lastCheck = UtcDayStart(UnixNow());
            StrCopy(s.version, countof(s.version), body);
            WriteUpdateCheckSettings(&s);
        }
    }
    delete client;
    // The check is over before this thread waits on its own dialog, so that
    // "Check now!" there starts a new one instead of waiting for this one.
    InterlockedExchange(&gRunning, 0);
    if (own)
        RunOwnDialog(own);
    return 0;
}

void OnInit(HWND dlg, LPARAM param) {
    SetWindowLongPtrA(dlg, DWLP_USER, param);  // 1: modal
    HFONT bold = gApp.PrepareDialog(dlg);
    for (int id = IDC_UPDATE_INSTALLED; id <= IDC_UPDATE_STATUS; id++)
        SendDlgItemMessageA(dlg, id, WM_SETFONT, (WPARAM)bold, FALSE);
    char caption[kCchPath];
    StrFmt(caption, countof(caption), "%s %s", gApp.productName, gApp.Text(IDS_MOX_UPDATE_CHECK, kSlotCaption));
    SetWindowTextA(dlg, caption);
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    SetDlgItemTextF(dlg, IDC_UPDATE_INSTALLED, "%d.%d.%d", gApp.versionMajor, gApp.versionMinor, gApp.versionBuild);
    SetDlgItemCheck(dlg, IDC_UPDATE_AUTOMATIC, s.automatic ? BST_CHECKED : BST_UNCHECKED);
    EnableDlgItems(s.automatic != 0, dlg, IDC_UPDATE_INTERVAL, IDC_UPDATE_DAYS_LABEL, 0);
    SetDlgItemNumber(dlg, IDC_UPDATE_INTERVAL, s.interval);
    SetDlgItemTextA(dlg, IDC_UPDATE_AVAILABLE, s.version);
    EnableWindow(GetDlgItem(dlg, IDC_UPDATE_DOWNLOAD), s.newer != 0);
    time_t last = (time_t)s.lastCheck;
    struct tm* local = localtime(&last);
    if (local)
        SetDlgItemTextF(dlg, IDC_UPDATE_STATUS, gApp.Text(IDS_MOX_UPDATE_CHECK, kSlotLastCheck), local->tm_mday,
                        local->tm_mon + 1, local->tm_year + 1900);
}

void Close(HWND dlg, int id) {
    gCancel = 1;  // a running check stops
    gDialog = nullptr;
    if (GetWindowLongPtrA(dlg, DWLP_USER) == 1) {
        EndDialog(dlg, id);
    } else {
        DestroyWindow(dlg);
        // Wakes the worker's loop: closed by a sent message, it would wait on.
        PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    }
}

void OnOk(HWND dlg) {
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    s.automatic = GetDlgItemCheck(dlg, IDC_UPDATE_AUTOMATIC) == BST_CHECKED ? 1 : 0;
    GetDlgItemNumber(dlg, IDC_UPDATE_INTERVAL, kUpdateIntervalDefault, kUpdateIntervalMax, false, &s.interval);
    WriteUpdateCheckSettings(&s);
    // Close first: closing cancels a running check, and must not cancel the one started now.
    Close(dlg, IDOK);
    UpdateCheckIfDue();
}

void OnCommand(HWND dlg, WORD id) {
    switch (id) {
        case IDOK:
            OnOk(dlg);
            break;
        case IDCANCEL:
            Close(dlg, IDCANCEL);
            break;
        case IDC_UPDATE_CHECK_NOW:
            StartUpdateCheck();
            break;
        case IDC_UPDATE_AUTOMATIC:
            EnableDlgItems(GetDlgItemCheck(dlg, IDC_UPDATE_AUTOMATIC) == BST_CHECKED, dlg, IDC_UPDATE_INTERVAL,
                           IDC_UPDATE_DAYS_LABEL, 0);
            break;
        case IDC_UPDATE_DOWNLOAD: {
            char url[kCchPath];
            InstallSettingsText(gApp.installSettings, kInstallDownloadUrl, url, countof(url));
            // The worker's own dialog runs in a thread without COM, which
            // the shell's handlers of an address need.
            HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            if (url[0])
                ShellExecuteA(dlg, nullptr, url, nullptr, nullptr, SW_SHOWNORMAL);
            if (SUCCEEDED(com))
                CoUninitialize();
            break;
        }
        case IDC_UPDATE_HELP:
            ShowAboutHelp();
            break;
    }
}

}  // namespace

bool UpdateCheckRunning() {
    return gRunning != 0;
}

int StartUpdateCheck() {
    for (int i = 0; i < 500 && gRunning; i++) {
        gCancel = 1;
        // The worker may be setting a text of the dialog on this thread: let it through.
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        Sleep(10);
    }
    if (InterlockedCompareExchange(&gRunning, 1, 0) != 0)
        return kUpdateStillRunning;
    gCancel = 0;
    gStopping = false;
    uintptr_t thread = _beginthreadex(nullptr, 0, UpdateCheckThread, nullptr, 0, nullptr);
    if (!thread) {
        InterlockedExchange(&gRunning, 0);
        SetStatus(kSlotNoThread);
        return kUpdateThreadFailed;
    }
    // Kept for the join at exit, in a free or finished slot.
    int slot = -1;
    for (int i = 0; i < (int)countof(gWorkers) && slot < 0; i++) {
        if (gWorkers[i] && WaitForSingleObject(gWorkers[i], 0) == WAIT_OBJECT_0) {
            CloseHandle(gWorkers[i]);
            gWorkers[i] = nullptr;
        }
        if (!gWorkers[i])
            slot = i;
    }
    if (slot >= 0)
        gWorkers[slot] = (HANDLE)thread;
    else
        CloseHandle((HANDLE)thread);
    return kUpdateStarted;
}

bool StopUpdateCheck(DWORD ms) {
    gStopping = true;
    gCancel = 1;
    bool ended = true;
    for (int i = 0; i < (int)countof(gWorkers); i++) {
        if (!gWorkers[i])
            continue;
        // A worker waiting on its own dialog ends when the dialog closes.
        DWORD start = GetTickCount();
        DWORD r;
        while ((r = MsgWaitForMultipleObjects(1, &gWorkers[i], FALSE, 50, QS_SENDMESSAGE)) != WAIT_OBJECT_0 &&
               GetTickCount() - start < ms) {
            MSG m;  // a worker setting a text of a dialog of this thread
            PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            HWND own = gDialog;
            if (own && GetWindowThreadProcessId(own, nullptr) == GetThreadId(gWorkers[i]))
                PostMessageA(own, WM_COMMAND, IDCANCEL, 0);
        }
        if (r != WAIT_OBJECT_0) {
            ended = false;
            continue;  // still running: the handle stays
        }
        CloseHandle(gWorkers[i]);
        gWorkers[i] = nullptr;
    }
    return ended;
}

void UpdateCheckIfDue() {
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    if (IsScheduleDue(s.automatic != 0, s.lastCheck, s.interval, UnixNow()))
        StartUpdateCheck();
}

INT_PTR CALLBACK UpdateCheckDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInit(dlg, lp);
            return FALSE;
        case WM_SHOWWINDOW:
            if (wp)
                gDialog = dlg;
            break;
        case WM_COMMAND:
            OnCommand(dlg, LOWORD(wp));
            return TRUE;
        case WM_HELP:
            OnCommand(dlg, IDC_UPDATE_HELP);
            return TRUE;
        case WM_DPICHANGED: {
            HFONT bold = gApp.ApplyDialogFont(dlg, LOWORD(wp), (const RECT*)lp);
            for (int id = IDC_UPDATE_INSTALLED; id <= IDC_UPDATE_STATUS; id++)
                SendDlgItemMessageA(dlg, id, WM_SETFONT, (WPARAM)bold, TRUE);
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR ShowUpdateCheckDialog(HWND owner) {
    return gApp.RunModalDialog(owner, IDD_UPDATE_CHECK, UpdateCheckDlgProc, 1);
}
