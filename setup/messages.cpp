// Result codes to messages, and message boxes of string-table texts.
#include "messages.h"

#include "resource.h"
#include "script.h"
#include "script_vars.h"
#include "setup_base.h"
#include "setup_run.h"

bool LoadSetupText(int id, char* out, size_t cch) {
    out[0] = '\0';
    if (cch > 0x7FFFFFFF || LoadStringA(gSetupInstance, id, out, (int)cch) <= 0)
        return false;
    SubstituteVars(out, cch);
    return true;
}

// The string id and buttons of a result code's message.
static void MessageOfCode(int code, int* id, UINT* buttons) {
    *buttons = MB_OK;
    switch (code) {
        case kCodeProgramRunning:
            *id = IDS_PROGRAM_RUNNING;
            *buttons = MB_RETRYCANCEL;
            return;
        case kCodeCreateDir:
            *id = IDS_CREATE_DIR_FAILED;
            *buttons = MB_RETRYCANCEL;
            return;
        case kCodeWriteFile:
        case kCodePatch:
            *id = IDS_COPY_FAILED;
            *buttons = MB_RETRYCANCEL;
            return;
        case kCodeCreateLink:
            *id = IDS_LINK_FAILED;
            return;
        case kCodeRegSz:
            *id = IDS_REGISTRY_FAILED;
            return;
        case kCodeOldVersion:
            *id = IDS_OLD_VERSION;
            *buttons = MB_YESNOCANCEL;
            return;
        case kCodeNotAdmin:
            *id = IDS_NOT_ADMIN;
            return;
        case kCodeError:
            *id = IDS_ERROR_COMMAND;
            return;
        case kCodeUseFiles:
            *id = IDS_USE_FILES;
            return;
        case kCodeLogonTask:
            *id = IDS_TASK_SCHEDULER;
            return;
        case kCodeRemoveDir:
            *id = IDS_FOLDER_LEFT;
            return;
        case kCodeRelativePath:
            *id = IDS_ABSOLUTE_PATH;
            return;
        case kCodeOtherInstall:
            *id = IDS_OTHER_INSTALL;
            return;
        case kCodeDataFolderAccess:
            *id = IDS_DATA_FOLDER_ACCESS;
            *buttons = MB_YESNOCANCEL;
            return;
        default:
            *id = IDS_CRITICAL;
            return;
    }
}

int SetupMessageBox(HWND owner, int id, UINT style) {
    char text[kCchText], caption[kCchPath];
    LoadSetupText(id, text, countof(text));
    StrCopy(caption, countof(caption), "#SETUPMODE#");
    SubstituteVars(caption, countof(caption));
    return MessageBoxA(owner, text, caption, style);
}

int ErrorMessage(HWND owner, int code) {
    int id;
    UINT buttons;
    MessageOfCode(code, &id, &buttons);
    if (owner == kNoMessageBox)
        return id;
    return SetupMessageBox(owner, id, buttons | MB_ICONSTOP);
}
