// The entry point of setup: the command line, start-up, the wizard or the
// silent run, and the end steps.
#include <windows.h>

#include "messages.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"
#include "setup_state.h"
#include "uninstaller.h"
#include "wizard.h"

// Per-monitor awareness (version 2) where user32 offers it.
static void BecomeDpiAware() {
    typedef BOOL(WINAPI * SetContextFn)(HANDLE);
    SetContextFn set =
        (SetContextFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext");
    if (set)
        set((HANDLE)(INT_PTR)-4);
}

// System libraries only: a DLL that a system library loads on demand is not
// looked for in the program's folder (a download folder, or the temporary
// folder of the uninstaller's copy) first. Looked up by name: Windows
// before 8 has it only with an update.
static void LimitDllSearch() {
    typedef BOOL(WINAPI * SetDirectoriesFn)(DWORD);
    SetDirectoriesFn set =
        (SetDirectoriesFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (set)
        set(0x800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
}

// The operating-system checks of the script: 0, or the message of the
// refusal.
static int CheckPlatform() {
    if (gSetup.on64 && GetVarInt("#NOX64#") == 1)
        return IDS_NO_64_BIT;
    if (GetVarInt("#MINOS#") >= 0 && gSetup.osCode < GetVarInt("#MINOS#"))
        return IDS_OS_TOO_OLD;
    return 0;
}

// A refusal or a failed start-up: in the log of a silent run (which never
// waits on a message box), else in a message box with the stop icon.
static void Report(int code, int messageId) {
    gSetup.result = code;
    if (gSetup.silent) {
        WriteSetupLog(messageId);
        return;
    }
    char text[kCchText];
    LoadSetupText(messageId, text, countof(text));
    if (gSetup.startupCause[0]) {
        StrCat(text, countof(text), "\n\nCause: ");
        StrCat(text, countof(text), gSetup.startupCause);
    }
    char caption[kCchPath] = "#SETUPMODE#";
    SubstituteVars(caption, countof(caption));
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONSTOP);
}

// Exit codes: 0 success; 1 refused by the operating-system checks; 13
// start-up failed (damaged setup file, missing script); otherwise the
// result code that failed the run (the README lists them), 2 when the
// wizard was quit before it finished.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    LimitDllSearch();
    BecomeDpiAware();
    ParseSetupCommandLine(commandLine ? commandLine : "");
    int result = 0;
    if (InitSetup(instance) != 0) {
        result = kCodeStartup;
        FreeSetupScript();
        Report(result, ErrorMessage(kNoMessageBox, result));
    } else if (int refusal = CheckPlatform()) {
        Report(1, refusal);
        FreeSetupScript();
        return 1;
    } else if (UninstallerOfOtherInstall()) {
        result = kCodeOtherInstall;
        Report(result, IDS_OTHER_INSTALL);
        FreeSetupScript();
    } else if (gSetup.mode == kModeSetup && !CommandLineFoldersAbsolute()) {
        // Refused before anything is written: a relative folder would be
        // taken from the current folder and stored as it is.
        result = kCodeRelativePath;
        Report(result, IDS_ABSOLUTE_PATH);
        FreeSetupScript();
    } else {
        if (gSetup.silent) {
            RunSilentSetup();
            result = gSetup.result;
        } else {
            RunWizard();
            result = gSetup.outcome;
        }
        FreeSetupScript();
    }
    // Only the temporary copy deletes itself: an uninstaller in the install
    // folder that could not hand over must stay, or nothing could remove
    // the installation any more.
    if (gSetup.mode == kModeUninstall && IsTemporaryUninstaller())
        SelfDelete();
    // A silent run noted the restart in its log.
    if (gSetup.rebootNeeded && !gSetup.silent)
        AskRestart();
    return result;
}
