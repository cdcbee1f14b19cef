// The two global hot keys (capture 111, show the main dialog 112), their
// registration and its failure, the road from the capture hot key to the
// overlay, and the minute timer of timed captures. GUI thread only.
#include "capture/grab/hotkeys.h"

#include <string.h>
#include <windows.h>

#include "capture/app_texts.h"
#include "capture/editor/editor_dialog.h"
#include "capture/grab/overlay.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/hotkey_edit.h"
#include "framework/message_box.h"

namespace {

const UINT_PTR kWaitTimerId = 3;

struct HotKeySlot {
    CHotKeyEdit field;
    int* word;      // its option word
    int id;         // kHotKeyCapture or kHotKeyShow
    UINT failText;  // message when the key cannot be registered
};

HotKeySlot gKeys[2] = {
    {{}, &gOpt.HotKeyCapture, kHotKeyCapture, IDS_CAPTURE_KEY_FAILED},
    {{}, &gOpt.HotKeyVellumor, kHotKeyShow, IDS_SHOW_KEY_FAILED},
};

int gMinuteCount = 0;   // minutes the timer counted towards the next capture
bool gHiding = false;   // the capture road is hiding the main dialog

// Registers one key. A key that our other key holds is a lasting clash and
// is cleared. A key that another program holds may be free again at the
// next start, so it is kept; but every attempt with it says so and fails,
// so that the Options page is not left with a key that does nothing.
// Returns false after a message.
bool RegisterSlot(HotKeySlot* k, int otherWord) {
    if (*k->word == 0 || k->field.Register())
        return true;
    if (*k->word == otherWord) {
        *k->word = 0;
        k->field.SetHotKey(0, gMainDialog, k->id);
    }
    AppMessageBox(gMainDialog, nullptr, gApp.Text((WORD)k->failText, 0), kBoxWarningOk, 0);
    return false;
}

// A visible dialog (#32770), system menu (#32768) or framework popup menu
// (MoxAppMenuPopup, modeless: the modal depth does not count it) of this
// thread other than found[1]; the first one goes to found[0].
BOOL CALLBACK FindModalWindow(HWND hwnd, LPARAM lp) {
    HWND* found = (HWND*)lp;
    char cls[32];
    if (hwnd != found[1] && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, (int)sizeof cls) &&
        (strcmp(cls, "#32770") == 0 || strcmp(cls, "#32768") == 0 || strcmp(cls, "MoxAppMenuPopup") == 0)) {
        found[0] = hwnd;
        return FALSE;
    }
    return TRUE;
}

// True when a capture must not start now: the editor is open, the capture
// road is hiding the dialog, or a capture's action or another modal window
// is up (a framework dialog or message box, a common dialog such as Save As
// or Print, a popup menu such as the Send-To targets), or one of the
// program's own menus is open (the tray menu), which the capture would
// freeze into the picture. An open overlay does not block: the capture hot
// key closes it.
bool CaptureBlocked(HWND dlg) {
    if (gOverlay)
        return false;
    if (gEditorDialog || gHiding || gApp.modalDepth > 0)
        return true;
    HWND found[2] = {nullptr, dlg};
    EnumThreadWindows(GetCurrentThreadId(), FindModalWindow, (LPARAM)found);
    return found[0] != nullptr;
}

// Hides the visible main dialog with the window animation off, waits the
// optional delay and posts the capture hot key again.
void HideThenCapture(HWND dlg) {
    ANIMATIONINFO anim = {sizeof anim, 0};
    bool gotAnim = SystemParametersInfoA(SPI_GETANIMATION, sizeof anim, &anim, 0) != FALSE;
    if (gotAnim && anim.iMinAnimate) {
        ANIMATIONINFO off = {sizeof off, 0};
        SystemParametersInfoA(SPI_SETANIMATION, sizeof off, &off, 0);
    }
    gHiding = true;
    bool hidden = ShowMainDialog(kHideMainDialog);
    if (gotAnim && anim.iMinAnimate)
        SystemParametersInfoA(SPI_SETANIMATION, sizeof anim, &anim, 0);
    if (!hidden) {
        gHiding = false;
        return;
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    bool running = gApp.Wait(1, kWaitTimerId);
    if (running && gOpt.Delay)
        Sleep((DWORD)gOpt.DelayTime);
    gHiding = false;
    if (running)
        PostMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
    else
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

}  // namespace

void AttachHotKeyFields(HWND captureEdit, HWND showEdit) {
    // Attach clears the word; the Options page's load hands the words back.
    WORD words[2] = {gKeys[0].field.GetHotKey(), gKeys[1].field.GetHotKey()};
    HWND edits[2] = {captureEdit, showEdit};
    for (int i = 0; i < 2; i++)
        if (gKeys[i].field.Attach(edits[i]))
            gKeys[i].field.SetHotKey(words[i], gMainDialog, gKeys[i].id);
}

bool RegisterHotKeys(int mode) {
    for (HotKeySlot& k : gKeys)
        k.field.SetHotKey((WORD)*k.word, gMainDialog, k.id);
    if (mode != 1)
        return true;
    // Both keys are tried: a capture key that fails leaves the show key working.
    bool ok = RegisterSlot(&gKeys[0], gOpt.HotKeyVellumor);
    if (!RegisterSlot(&gKeys[1], gOpt.HotKeyCapture))
        ok = false;
    if (!ok && gMainDialog)
        PostMessageA(gMainDialog, kMsgShowTab, 0, kTabOptions);
    return ok;
}

void UnregisterHotKeys() {
    for (HotKeySlot& k : gKeys)
        k.field.Unregister();
}

void StoreHotKeys() {
    for (HotKeySlot& k : gKeys)
        *k.word = k.field.GetHotKey();
}

void OnHotKey(HWND dlg, int id) {
    if (id == kHotKeyShow) {
        ShowMainDialog(kShowCurrentTab);
        return;
    }
    if (id != kHotKeyCapture || CaptureBlocked(dlg))
        return;
    if (!ConfirmDiscard())
        return;
    if (IsWindowVisible(dlg)) {
        HideThenCapture(dlg);
        return;
    }
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    StartCapture();
}

void OnMinuteTimer(HWND dlg) {
    // Paused, not reset, while the dialog, an overlay or a modal window is up.
    if (!gOpt.Timer || IsWindowVisible(dlg) || (gOverlay && IsWindowVisible(gOverlay)) || CaptureBlocked(dlg))
        return;
    if (++gMinuteCount >= gOpt.Minutes) {
        gMinuteCount = 0;
        SendMessageA(dlg, WM_HOTKEY, kHotKeyCapture, 0);
    }
}
