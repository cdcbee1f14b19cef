// Hot-key field: a subclassed edit that swallows typed keys, and one
// keyboard hook for the attaching thread that turns the key events of a
// focused field into a hot-key word. The hook recognises fields only by the
// list of attached ones: another window's user data means nothing to it.
#include "hotkey_edit.h"

#include <string.h>

#include "base/dyn_array.h"
#include "base/str_util.h"

namespace {

CDynArray<CHotKeyEdit*> gFields;  // every attached field
HHOOK gHook = nullptr;            // installed while gFields is not empty
CHotKeyEdit::KeyNameFunc gKeyNameSource = GetKeyNameTextA;
char gKeyName[kCchPath];

const WORD kModAlt = 0x01, kModCtrl = 0x02, kModShift = 0x04, kModWin = 0x08;
const LONG kExtendedKey = 1L << 24;

bool NeedsExtendedBit(UINT vk) {
    return vk == VK_CANCEL || (vk >= VK_PRIOR && vk <= VK_DOWN) || (vk >= VK_SNAPSHOT && vk <= VK_DELETE) ||
           vk == VK_DIVIDE || vk == VK_NUMLOCK;
}

// Appends the system's name of a scan code (lParam form of WM_KEYDOWN).
void AppendName(LONG keyData, char* out, size_t cch) {
    char name[64] = "";
    if (gKeyNameSource(keyData, name, (int)countof(name)) <= 0)
        name[0] = '\0';
    StrCat(out, cch, name);
}

}  // namespace

void CHotKeyEdit::SetKeyNameSource(KeyNameFunc source) {
    gKeyNameSource = source ? source : GetKeyNameTextA;
}

const char* CHotKeyEdit::KeyName(WORD word) {
    gKeyName[0] = '\0';
    if (word == 0)
        return gKeyName;  // no hot key: an empty field
    struct Mod {
        WORD bit;
        UINT vk;
    };
    static const Mod kMods[] = {{kModCtrl, VK_CONTROL}, {kModShift, VK_SHIFT}, {kModAlt, VK_MENU}, {kModWin, VK_LWIN}};
    bool any = false;
    for (const Mod& m : kMods) {
        if (!((word >> 8) & m.bit))
            continue;
        if (any)
            StrCat(gKeyName, countof(gKeyName), " + ");
        LONG data = (LONG)(MapVirtualKeyA(m.vk, MAPVK_VK_TO_VSC) << 16);
        if (m.vk == VK_LWIN)
            data |= kExtendedKey;
        AppendName(data, gKeyName, countof(gKeyName));
        any = true;
    }
    if (any)
        StrCat(gKeyName, countof(gKeyName), " + ");
    UINT vk = word & 0xFF;
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    if (vk == VK_PAUSE && scan == 0)
        scan = 0x45;
    LONG data = (LONG)(scan << 16);
    if (NeedsExtendedBit(vk))
        data |= kExtendedKey;
    size_t start = strlen(gKeyName);
    AppendName(data, gKeyName, countof(gKeyName));
    if (vk == VK_SNAPSHOT && StrCmpAsciiNoCase(gKeyName + start, "<00>") == 0) {
        gKeyName[start] = '\0';
        StrCat(gKeyName, countof(gKeyName), "Print Screen");
    }
    return gKeyName;
}

CHotKeyEdit* CHotKeyEdit::FieldOf(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    for (int i = 0; i < gFields.count; i++)
        if ((*gFields.At(i))->edit_ == hwnd)
            return *gFields.At(i);
    return nullptr;
}

bool CHotKeyEdit::Attach(HWND edit) {
    if (!edit)
        return false;
    if (edit_ == edit) {  // subclassing twice would make the old procedure our own
        word_ = 0;
        return true;
    }
    Detach();
    CHotKeyEdit* self = this;
    if (FieldOf(edit) || gFields.Add(&self) < 0)
        return false;  // another field owns the window, or no memory
    if (!gHook) {
        gHook = SetWindowsHookExA(WH_KEYBOARD, HookProc, nullptr, GetCurrentThreadId());
        if (!gHook) {
            gFields.RemoveAt(gFields.count - 1);
            return false;
        }
    }
    edit_ = edit;
    word_ = 0;
    ctrlDown_ = shiftDown_ = altDown_ = winDown_ = false;
    SetWindowLongPtrA(edit, GWLP_USERDATA, (LONG_PTR)this);
    oldProc_ = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)EditProc);
    return true;
}

void CHotKeyEdit::Detach() {
    Unregister();
    if (!edit_)
        return;
    for (int i = 0; i < gFields.count; i++)
        if (*gFields.At(i) == this) {
            gFields.RemoveAt(i);
            break;
        }
    if (gFields.count == 0 && gHook) {
        UnhookWindowsHookEx(gHook);
        gHook = nullptr;
    }
    if (IsWindow(edit_)) {
        SetWindowLongPtrA(edit_, GWLP_WNDPROC, (LONG_PTR)oldProc_);
        SetWindowLongPtrA(edit_, GWLP_USERDATA, 0);
    }
    edit_ = nullptr;
    oldProc_ = nullptr;
}

bool CHotKeyEdit::Register() {
    if (registered_)
        return true;
    if (word_ == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    registered_ = RegisterHotKey(target_, id_, word_ >> 8, word_ & 0xFF) != FALSE;
    if (registered_)
        registeredWord_ = word_;
    return registered_;
}

bool CHotKeyEdit::Unregister() {
    if (registered_ && UnregisterHotKey(target_, id_))
        registered_ = false;
    return !registered_;
}

void CHotKeyEdit::SetHotKey(WORD word, HWND target, int id) {
    bool move = registered_ && (word != registeredWord_ || target != target_ || id != id_);
    if (move)
        Unregister();
    word_ = word;
    target_ = target;
    id_ = id;
    if (move && !registered_)
        Register();
    ShowName();
}

void CHotKeyEdit::ShowName() {
    if (!edit_)
        return;
    SetWindowTextA(edit_, KeyName(word_));
    SendMessageA(edit_, EM_SETSEL, 128, 128);
}

// A typed key changes the word and the text only: the registration stays
// with the owner's key until the owner applies the new one with SetHotKey.
void CHotKeyEdit::OnKey(WPARAM vk, LPARAM data) {
    bool down = (data & 0x80000000) == 0;
    switch (vk) {
        case VK_CONTROL:
            ctrlDown_ = down;
            return;
        case VK_SHIFT:
            shiftDown_ = down;
            return;
        case VK_MENU:
            altDown_ = down;
            return;
        case VK_LWIN:
            winDown_ = down;
            return;
    }
    WORD mods = (WORD)((winDown_ ? kModWin : 0) | (shiftDown_ ? kModShift : 0) | (ctrlDown_ ? kModCtrl : 0) |
                       (altDown_ ? kModAlt : 0));
    word_ = (WORD)(mods << 8 | (vk & 0xFF));
    ShowName();
}

LRESULT CALLBACK CHotKeyEdit::HookProc(int code, WPARAM wp, LPARAM lp) {
    // HC_ACTION only: HC_NOREMOVE is a peek at an event that comes again.
    if (code == HC_ACTION) {
        CHotKeyEdit* field = FieldOf(GetFocus());
        if (field)
            field->OnKey(wp, lp);
    }
    return CallNextHookEx(gHook, code, wp, lp);
}

LRESULT CALLBACK CHotKeyEdit::EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CHotKeyEdit* field = FieldOf(hwnd);
    if (!field)  // detached while a message was under way: the class's own procedure
        return CallWindowProcA((WNDPROC)GetClassLongPtrA(hwnd, GCLP_WNDPROC), hwnd, msg, wp, lp);
    WNDPROC old = field->oldProc_;
    switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            return 0;
        case WM_SHOWWINDOW:
            field->ShowName();
            break;
        case WM_DESTROY:
            field->Detach();
            break;
    }
    return CallWindowProcA(old, hwnd, msg, wp, lp);
}
