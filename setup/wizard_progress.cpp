// The progress pages (110, 115), which run phase 1 on the worker thread,
// and the finish pages (111, 117), which store the choices and run phase 2.
#include <windows.h>
#include <commctrl.h>
#include <stdint.h>

#include <initializer_list>

#include "file_ops.h"
#include "install_record.h"
#include "messages.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "wizard_pages.h"

// The phase runner's messages reach the page as sent messages.
static intptr_t SendToPageWindow(void* page, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    return SendMessageA((HWND)page, msg, (WPARAM)wParam, (LPARAM)lParam);
}

static void OnProgressCreated(HWND page) {
    EnableWindow(GetDlgItem(page, IDOK), FALSE);
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    gSetup.sendToPage = SendToPageWindow;
    gSetup.progressPage = page;
    StartPhase(1, true);
}

static void OnPhaseDone(HWND page) {
    // An uninstall goes on past its failures; the first one is its outcome.
    gSetup.outcome = gSetup.result;
    if (gSetup.mode == kModeUninstall)
        RemoveMadeFolders();
    else if (gSetup.result == 0)
        NoteMadeFolders();
    if (PageOf(page))
        PageOf(page)->finished = true;
    SetDlgItemTextA(page, IDC_STATUS_LINE, "Finished");
    EnableWindow(GetDlgItem(page, IDOK), TRUE);
    // Posted: the worker is still inside its sent message.
    PostMessageA(page, WM_COMMAND, IDOK, 0);
}

// An error of phase 1: the answer tells the worker how to go on.
static LRESULT OnPhaseError(HWND page, int code) {
    if (gSetup.cancelled)
        return IDCANCEL;  // a wizard being quit asks nothing more
    int answer = ErrorMessage(page, code);
    if (gSetup.mode == kModeUninstall) {
        // Only a program that cannot be closed stops an uninstall: before
        // anything is deleted, so it can be run again.
        if (answer == IDRETRY)
            return answer;
        gSetup.outcome = code;
        gSetup.progressPage = nullptr;
        EndWizard(true);
        return IDCANCEL;
    }
    if (code == kCodeLogonTask) {
        gSetup.result = 0;
        return IDOK;  // the installation goes on without the task
    }
    if (answer == IDOK || answer == IDCANCEL || answer == IDNO) {
        // Phase 3 cleans up on this thread while the worker waits; it runs
        // without the page, so nothing is sent to it.
        gSetup.outcome = code;
        gSetup.progressPage = nullptr;
        int made = gSetup.madeCount;
        StartPhase(3, false);
        RemoveNotedFolders(made);
        EndWizard(true);
    }
    return answer;
}

// Quitting while phase 1 runs: the worker stops before its next statement
// (a running Call ends its program), and the messages it sends meanwhile
// are answered here; then phase 3 cleans up as after an error.
static void QuitDuringPhase(HWND page) {
    gSetup.cancelled = true;
    EnableWindow(GetDlgItem(page, IDCANCEL), FALSE);
    while (gWorkerThread &&
           MsgWaitForMultipleObjects(1, &gWorkerThread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    gSetup.progressPage = nullptr;
    int made = gSetup.madeCount;
    StartPhase(3, false);
    RemoveNotedFolders(made);
    EndWizard(true);
}

static void OnProgressCommand(HWND page, int id) {
    PageRecord* rec = PageOf(page);
    switch (id) {
        case IDOK:
            if (!rec || !rec->finished)
                return;
            gSetup.progressPage = nullptr;
            OpenPage(page, gSetup.mode == kModeUninstall ? IDD_UNINSTALL_FINISH : IDD_FINISH);
            break;
        case IDCANCEL:
            if (rec && rec->finished)
                return;
            if (WizardMessage(page, IDS_QUIT_QUESTION, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
                QuitDuringPhase(page);
            break;
    }
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result;
    if (HandlePageMessage(page, msg, wp, lp, &result))
        return result;
    switch (msg) {
        case WM_INITDIALOG:
            OnProgressCreated(page);
            return FALSE;
        case kMsgStatusText:
            SetDlgItemTextA(page, wp == 0 ? IDC_STATUS_LINE : IDC_SECOND_TEXT, (const char*)lp);
            return DialogAnswer(page, 0);
        case kMsgProgress:
            SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETPOS, wp, 0);
            return DialogAnswer(page, 0);
        case kMsgPhaseDone:
            OnPhaseDone(page);
            return DialogAnswer(page, 0);
        case kMsgError:
            return DialogAnswer(page, OnPhaseError(page, (int)wp));
        case WM_COMMAND:
            OnProgressCommand(page, LOWORD(wp));
            return TRUE;
        case WM_DESTROY:
            if (gSetup.progressPage == page)
                gSetup.progressPage = nullptr;
            return FALSE;
    }
    return FALSE;
}

// Shows a choice box when its variable is defined, checked by the record's
// choice; hidden otherwise.
static void ShowChoice(HWND page, int id, const char* offer, const char* selected, bool hide) {
    if (hide || GetVar(offer, nullptr, 0) < 0) {
        ShowWindow(GetDlgItem(page, id), SW_HIDE);
        return;
    }
    CheckDlgButton(page, id, GetVarInt(selected) == 1 ? BST_CHECKED : BST_UNCHECKED);
}

static void OnFinishedCreated(HWND page) {
    EnableWindow(GetDlgItem(page, IDCANCEL), FALSE);
    if (gSetup.mode != kModeUninstall) {
        ShowChoice(page, IDC_START_PROGRAM, "#EXECUTE#", "#SELEXECUTE#", gSetup.rebootNeeded);
        ShowChoice(page, IDC_DESKTOP_LINK, "#DESKTOP#", "#SELDESKTOP#", false);
        ShowChoice(page, IDC_STARTMENU_LINKS, "#STARTMENU#", "#SELSTARTMENU#", false);
        ShowChoice(page, IDC_SHOW_MANUAL, "#README#", "#SELREADME#", false);
        return;
    }
    char folder[kCchPath];
    GetDlgItemTextA(page, IDC_LEFT_FOLDER, folder, countof(folder));
    PageRecord* rec = PageOf(page);
    // A failed uninstall says so, also when the install folder is gone (a
    // program that could not be closed, a data folder left); the folder is
    // offered as a link while it exists.
    if (gSetup.outcome != 0) {
        SendDlgItemMessageA(page, IDC_NOT_REMOVED, WM_SETFONT, (WPARAM)gWizard.boldFont, TRUE);
        if (FolderExists(folder) && rec) {
            AttachHyperlink(&rec->folderLink, page, IDC_LEFT_FOLDER, folder, 0);
            return;
        }
    }
    for (int id : {IDC_NOT_REMOVED, IDC_LEFT_FOLDER, IDC_CHECK_FOLDER, IDC_CHECK_ADVICE})
        if (gSetup.outcome == 0 || id != IDC_NOT_REMOVED)
            ShowWindow(GetDlgItem(page, id), SW_HIDE);
}

// A visible, checked box.
static bool Chosen(HWND page, int id) {
    HWND box = GetDlgItem(page, id);
    return box && IsWindowVisible(box) && IsDlgButtonChecked(page, id) == BST_CHECKED;
}

static void OnFinish(HWND page) {
    static const struct {
        int id;
        const char* var;
        int offset;
    } kChoices[] = {{IDC_START_PROGRAM, "#EXECUTE#", kRecChoiceExecute},
                    {IDC_SHOW_MANUAL, "#README#", kRecChoiceReadme},
                    {IDC_DESKTOP_LINK, "#DESKTOP#", kRecChoiceDesktop},
                    {IDC_STARTMENU_LINKS, "#STARTMENU#", kRecChoiceStartMenu}};
    char product[kCchPath];
    StrCopy(product, countof(product), GetVarText("#PROGRAM#"));
    uint8_t record[kCbInstallRecord];
    bool valid = ReadInstallSettings(product, record);
    for (const auto& c : kChoices) {
        bool chosen = Chosen(page, c.id);
        SetVar(c.var, chosen ? "1" : "0");
        SetRecordWord(record, c.offset, chosen ? 1 : 0);
    }
    if (valid)
        WriteInstallSettings(product, record);
    SetInstallSizeVar();
    StartPhase(2, false);
    if (gSetup.outcome == 0)
        gSetup.outcome = gSetup.result;
    if (GetVar("#REBOOT#", nullptr, 0) >= 0)
        gSetup.rebootNeeded = true;
    EndWizard(false);
}

INT_PTR CALLBACK FinishedPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result;
    if (HandlePageMessage(page, msg, wp, lp, &result))
        return result;
    switch (msg) {
        case WM_INITDIALOG:
            OnFinishedCreated(page);
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK)
                OnFinish(page);
            return TRUE;
    }
    return FALSE;
}
