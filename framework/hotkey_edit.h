// CHotKeyEdit: turns an edit control of a dialog into a field in which the
// user presses a key combination; the field shows its name ("Ctrl + F12")
// and the owner registers it as a system-wide hot key for a target window.
// GUI thread only: the keyboard hook is a hook of the attaching thread.
#pragma once
#include <windows.h>

// Hot-key word: low byte the virtual key, high byte the RegisterHotKey
// modifiers 0x01 Alt, 0x02 Ctrl, 0x04 Shift, 0x08 Win; 0 = no hot key.
class CHotKeyEdit {
  public:
    CHotKeyEdit() = default;
    ~CHotKeyEdit() { Detach(); }
    CHotKeyEdit(const CHotKeyEdit&) = delete;
    CHotKeyEdit& operator=(const CHotKeyEdit&) = delete;

    // Makes edit a hot-key field and clears the word; false for a null
    // window. Attaching the same window again only clears the word; another
    // window detaches the old one first.
    bool Attach(HWND edit);
    // Unregisters the hot key; gives the edit back its own procedure.
    // Also done when the edit is destroyed.
    void Detach();

    // Registers the word for the target and id; true when it is (also when
    // it already was, without asking the system). A word of 0 registers
    // nothing and gives false. On failure GetLastError tells why (1409:
    // another window holds the combination).
    bool Register();
    // True when nothing is registered afterwards.
    bool Unregister();
    // Stores word, target and id. A registration made with other values is
    // moved to the new ones (unregister, register; IsRegistered tells
    // whether that worked). Shows the word's name when attached.
    void SetHotKey(WORD word, HWND target, int id);
    WORD GetHotKey() const { return word_; }
    bool IsRegistered() const { return registered_; }
    HWND Window() const { return edit_; }

    // The name of a word, "Ctrl + Shift + F12"; one static buffer shared by
    // every caller (kCchPath characters), valid until the next call.
    static const char* KeyName(WORD word);
    // Replaces the system's GetKeyNameTextA for the names (tests feed names
    // the local keyboard driver does not give); null restores it.
    typedef int(WINAPI* KeyNameFunc)(LONG lParam, LPSTR name, int cch);
    static void SetKeyNameSource(KeyNameFunc source);

  private:
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK HookProc(int code, WPARAM wp, LPARAM lp);
    static CHotKeyEdit* FieldOf(HWND hwnd);
    void OnKey(WPARAM vk, LPARAM data);
    void ShowName();

    HWND edit_ = nullptr;
    WORD word_ = 0;
    HWND target_ = nullptr;
    int id_ = 0;
    bool registered_ = false;
    WORD registeredWord_ = 0;  // the word the system holds for target_/id_
    WNDPROC oldProc_ = nullptr;
    bool ctrlDown_ = false;
    bool shiftDown_ = false;
    bool altDown_ = false;
    bool winDown_ = false;  // the left Win key; the right one is a key of its own
};
