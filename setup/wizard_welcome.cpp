// The welcome pages (setup 104, uninstall 114) with the test for a
// previous version, and the agreement page (105).
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "install_record.h"
#include "previous_version.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "uninstaller.h"
#include "wizard_pages.h"

static void RemoveOldVersion(HWND page) {
    ShowWindow(gWizard.frame, SW_HIDE);
    RunOldUninstaller(GetVarText("#REMAPP#"), false, false);
    ShowWindow(gWizard.frame, SW_SHOW);
    SetForegroundWindow(gWizard.frame);
    SetFocus(GetDlgItem(page, IDOK));
}

static void OnWelcomeNext(HWND page) {
    bool uninstall = gSetup.mode == kModeUninstall;
    PreviousVersion previous = CheckPreviousVersion();
    if (!uninstall && previous.upgradeDue) {
        char text[kCchText], caption[kCchPath];
        StrCopy(text, countof(text), GetVarText("#UPGMSG1#"));
        SubstituteVars(text, countof(text));
        StrCopy(caption, countof(caption), "#SETUPMODE#");
        SubstituteVars(caption, countof(caption));
        SetForegroundWindow(gWizard.frame);
        if (MessageBoxA(page, text, caption, MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
            EndWizard(true);
            return;
        }
    }
    if (previous.mustRemove) {
        int answer = uninstall ? IDYES : WizardMessage(page, IDS_OLD_VERSION, MB_YESNOCANCEL | MB_ICONSTOP);
        if (answer == IDYES) {
            RemoveOldVersion(page);
            return;
        }
        if (answer == IDCANCEL)
            return;
    }
    if (!IsUserAnAdmin()) {
        WizardMessage(page, IDS_NOT_ADMIN, MB_OK | MB_ICONSTOP);
        gSetup.outcome = kCodeNotAdmin;
        EndWizard(true);
        return;
    }
    if (uninstall)
        SetVar("#KEEPCFG#", IsDlgButtonChecked(page, IDC_KEEP_SETTINGS) == BST_CHECKED ? "1" : "0");
    OpenPage(page, uninstall ? IDD_UNINSTALL_PROGRESS : IDD_AGREEMENT);
}

static void OnWelcomeCreated(HWND page) {
    if (gSetup.mode != kModeUninstall) {
        // The description with each "\n" as a line break.
        char text[kCchText];
        ExpandLineBreaks(GetVarText("#DESCR#"), text, countof(text));
        SetDlgItemTextA(page, IDC_DESCRIPTION, text);
        return;
    }
    char folder[kCchPath];
    if (GetConfigPath(GetVarText("#PROGRAM#"), folder))
        SetDlgItemTextA(page, IDC_KEPT_FOLDER, folder);
    // "-KEEPCFG" (setup moving the installation) checks the box.
    if (GetVarInt("#KEEPCFG#") == 1)
        CheckDlgButton(page, IDC_KEEP_SETTINGS, BST_CHECKED);
}

static void OnWelcomeCommand(HWND page, int id, int code) {
    switch (id) {
        case IDOK:
            OnWelcomeNext(page);
            break;
        case IDCANCEL:
            EndWizard(true);
            break;
        case IDC_KEEP_SETTINGS:
            if (code == BN_CLICKED && IsDlgButtonChecked(page, IDC_KEEP_SETTINGS) == BST_CHECKED)
                WizardMessage(page, IDS_KEEP_WARNING, MB_OK | MB_ICONEXCLAMATION);
            break;
    }
}

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result;
    if (HandlePageMessage(page, msg, wp, lp, &result))
        return result;
    switch (msg) {
        case WM_INITDIALOG:
            OnWelcomeCreated(page);
            return FALSE;
        case WM_COMMAND:
            OnWelcomeCommand(page, LOWORD(wp), HIWORD(wp));
            return TRUE;
    }
    return FALSE;
}

// The agreement text in an edit control's line ends: a lone LF becomes CR LF.
// Returns a malloc'd text or null.
static char* WithCrLf(const char* text, size_t cb) {
    char* out = (char*)malloc(cb * 2 + 1);
    if (!out)
        return nullptr;
    size_t n = 0;
    for (size_t i = 0; i < cb && text[i]; i++) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out[n++] = '\r';
        out[n++] = text[i];
    }
    out[n] = '\0';
    return out;
}

// The agreement: the file or record named by #EULA#, or the built-in text.
static char* LoadAgreement() {
    const char* name = GetVarText("#EULA#");
    if (*name) {
        DWORD cb = 0;
        char* raw = LoadFileOrRecord(name, &cb, 1);
        char* text = raw ? WithCrLf(raw, cb) : nullptr;
        free(raw);
        return text;
    }
    HRSRC res = FindResourceA(gSetupInstance, MAKEINTRESOURCEA(IDR_AGREEMENT), "TEXT");
    HGLOBAL data = res ? LoadResource(gSetupInstance, res) : nullptr;
    const char* bytes = data ? (const char*)LockResource(data) : nullptr;
    return bytes ? WithCrLf(bytes, SizeofResource(gSetupInstance, res)) : nullptr;
}

static void OnAgreementCreated(HWND page) {
    char* text = GetVar("#EULA#", nullptr, 0) >= 0 ? LoadAgreement() : nullptr;
    if (!text) {
        WizardMessage(page, IDS_CRITICAL, MB_OK | MB_ICONSTOP);
        EndWizard(true);
        return;
    }
    SetDlgItemTextA(page, IDC_AGREEMENT_TEXT, text);
    free(text);
}

static void OnAgreementCommand(HWND page, int id) {
    switch (id) {
        case IDOK:
            OpenPage(page, GetVar("#ASKPATH#", nullptr, 0) >= 0 ? IDD_FOLDERS : IDD_PROGRESS);
            break;
        case IDCANCEL:
            if (WizardMessage(page, IDS_QUIT_QUESTION, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES)
                EndWizard(true);
            break;
        case IDC_BACK:
            OpenPage(page, IDD_WELCOME);
            break;
    }
}

INT_PTR CALLBACK AgreementPageProc(HWND page, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result;
    if (HandlePageMessage(page, msg, wp, lp, &result))
        return result;
    switch (msg) {
        case WM_INITDIALOG:
            OnAgreementCreated(page);
            return FALSE;
        case WM_COMMAND:
            OnAgreementCommand(page, LOWORD(wp));
            return TRUE;
    }
    return FALSE;
}
