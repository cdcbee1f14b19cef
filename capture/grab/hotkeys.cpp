// The two global hot keys (capture 111, show the main dialog 112), their
// fields on the Options page, and their registration and its failure.
// GUI thread only.
#include "capture/grab/hotkeys.h"

#include <windows.h>

#include "capture/app_texts.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/hotkey_edit.h"
#include "framework/message_box.h"

namespace {

struct HotKeySlot {
    CHotKeyEdit field;
    int* word;      // its option word
    int id;         // kHotKeyCapture or kHotKeyShow
    UINT failText;  // message when the key cannot be registered
    int reported;   // the word whose failure was last reported, 0 for none
};

HotKeySlot gKeys[2] = {
    {{}, &gOpt.HotKeyCapture, kHotKeyCapture, IDS_CAPTURE_KEY_FAILED, 0},
    {{}, &gOpt.HotKeyVellumor, kHotKeyShow, IDS_SHOW_KEY_FAILED, 0},
};

// Registers one key. A key that our other key holds is a lasting clash and
// is cleared. A key that another program holds may be free again at the
// next start, so it is kept; its failure is reported once, and the next
// attempt with the same key is accepted quietly (still tried, so it works
// once the other program lets go): reporting it at every attempt would
// keep the user from ever leaving the Options page or hiding the dialog.
// Returns false after a message.
bool RegisterSlot(HotKeySlot* k, int otherWord, HWND window) {
    if (*k->word == 0 || k->field.Register()) {
        k->reported = 0;
        return true;
    }
    if (*k->word == otherWord) {
        *k->word = 0;
        k->field.SetHotKey(0, window, k->id);
        k->reported = 0;
    } else if (*k->word == k->reported) {
        return true;
    } else {
        k->reported = *k->word;
    }
    AppMessageBox(window, nullptr, "%s", kBoxWarningOk, 0, gApp.Text((WORD)k->failText, 0));
    return false;
}

}  // namespace

void AttachHotKeyFields(HWND window, HWND captureEdit, HWND showEdit) {
    // Attach clears the word; the Options page's load hands the words back.
    WORD words[2] = {gKeys[0].field.GetHotKey(), gKeys[1].field.GetHotKey()};
    HWND edits[2] = {captureEdit, showEdit};
    for (int i = 0; i < 2; i++)
        if (gKeys[i].field.Attach(edits[i]))
            gKeys[i].field.SetHotKey(words[i], window, gKeys[i].id);
}

bool RegisterHotKeys(HWND window, int mode) {
    for (HotKeySlot& k : gKeys)
        k.field.SetHotKey((WORD)*k.word, window, k.id);
    if (mode != 1)
        return true;
    // Both keys are tried: a capture key that fails leaves the show key working.
    bool ok = RegisterSlot(&gKeys[0], gOpt.HotKeyVellumor, window);
    if (!RegisterSlot(&gKeys[1], gOpt.HotKeyCapture, window))
        ok = false;
    if (!ok && window)
        PostMessageA(window, kMsgHotKeyFailed, 0, 0);
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
