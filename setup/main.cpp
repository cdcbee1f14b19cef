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

// The operating-system checks of the script: 0, or 1 when the run is refused.
static int CheckPlatform() {
    int id = 0;
    if (gSetup.on64 && GetVarInt("#NOX64#") == 1)
        id = IDS_NO_64_BIT;
    else if (GetVarInt("#MINOS#") >= 0 && gSetup.osCode < GetVarInt("#MINOS#"))
        id = IDS_OS_TOO_OLD;
    if (!id)
        return 0;
    if (!gSetup.silent)
        SetupMessageBox(nullptr, id, MB_OK | MB_ICONSTOP);
    return 1;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    BecomeDpiAware();
    ParseSetupCommandLine(commandLine ? commandLine : "");
    int result = InitSetup(instance) ? kCodeStartup : 0;
    if (!result) {
        if (CheckPlatform())
            return 1;
        if (gSetup.silent)
            RunSilentSetup();
        else
            RunWizard();
    }
    FreeSetupScript();
    if (result)
        ErrorMessage(nullptr, result);
    // Only the temporary copy deletes itself: an uninstaller in the install
    // folder that could not hand over must stay, or nothing could remove
    // the installation any more.
    if (gSetup.mode == kModeUninstall && IsTemporaryUninstaller())
        SelfDelete();
    if (gSetup.rebootNeeded)
        AskRestart();
    return result;
}
