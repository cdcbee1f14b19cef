// The hot-key field under Wine: key names built through the system's own
// names, keys typed with SendInput into a real edit, registration with the
// system, and windows that are not fields.
#include "framework/hotkey_edit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const WORD kCtrl = 0x0200, kAlt = 0x0100, kShift = 0x0400, kWin = 0x0800;

std::string SystemName(UINT vk, bool extended) {
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    if (vk == VK_PAUSE && scan == 0)
        scan = 0x45;
    char name[64] = "";
    GetKeyNameTextA((LONG)(scan << 16 | (extended ? 1u << 24 : 0)), name, sizeof name);
    return name;
}

int gHotKeys = 0;  // WM_HOTKEY messages the host received
WPARAM gLastHotKeyId = 0;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_HOTKEY) {
        gHotKeys++;
        gLastHotKeyId = wp;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

bool IsExtended(WORD vk) {
    return (vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE || vk == VK_RWIN || vk == VK_LWIN ||
           vk == VK_SNAPSHOT;
}

// One key event through the system's input queue, as a user types it.
void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof in);
    Pump(40);
}

// A topmost popup with two edits; the popup holds the foreground.
class HotKeyEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HotKeyTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(WS_EX_TOPMOST, "HotKeyTestHost", "host", WS_POPUP | WS_VISIBLE, 50, 50, 300, 120,
                               nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(host, nullptr);
        edit1 = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 200, 24, host, nullptr,
                                wc.hInstance, nullptr);
        edit2 = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 50, 200, 24, host, nullptr,
                                wc.hInstance, nullptr);
        SetForegroundWindow(host);
        Pump(100);
        gHotKeys = 0;
    }
    void TearDown() override {
        if (host)
            DestroyWindow(host);
        Pump(20);
    }
    std::string Text(HWND w) {
        char buf[300] = "";
        GetWindowTextA(w, buf, sizeof buf);
        return buf;
    }
    // Types a sequence: positive = key down, negative = key up.
    void Type(HWND focus, std::vector<int> keys) {
        SetFocus(focus);
        Pump(20);
        for (int k : keys)
            Key((WORD)(k < 0 ? -k : k), k < 0);
    }
    HWND host = nullptr, edit1 = nullptr, edit2 = nullptr;
};

std::vector<LONG> gAsked;  // key data the fake name source was asked for
int WINAPI UnnamedKeys(LONG data, LPSTR name, int cch) {
    gAsked.push_back(data);
    lstrcpynA(name, "<00>", cch);
    return 4;
}

}  // namespace

TEST(HotKeyName, ModifiersInOrderThenTheKey) {
    std::string ctrl = SystemName(VK_CONTROL, false), shift = SystemName(VK_SHIFT, false);
    std::string alt = SystemName(VK_MENU, false), win = SystemName(VK_LWIN, true);
    EXPECT_EQ(CHotKeyEdit::KeyName(kCtrl | VK_F12), ctrl + " + " + SystemName(VK_F12, false));
    EXPECT_EQ(CHotKeyEdit::KeyName(kCtrl | kShift | kAlt | kWin | VK_HOME),
              ctrl + " + " + shift + " + " + alt + " + " + win + " + " + SystemName(VK_HOME, true));
    EXPECT_EQ(CHotKeyEdit::KeyName(kAlt | 'A'), alt + " + " + SystemName('A', false));
    EXPECT_EQ(CHotKeyEdit::KeyName(VK_DELETE), SystemName(VK_DELETE, true));
    EXPECT_EQ(CHotKeyEdit::KeyName(VK_PAUSE), SystemName(VK_PAUSE, false));
    EXPECT_STREQ(CHotKeyEdit::KeyName(0), "") << "no hot key, an empty field";
    EXPECT_FALSE(ctrl.empty());
}

TEST(HotKeyName, PrintScreenWhereTheSystemHasNoName) {
    CHotKeyEdit::SetKeyNameSource(UnnamedKeys);
    gAsked.clear();
    std::string alone = CHotKeyEdit::KeyName(VK_SNAPSHOT);
    std::string withCtrl = CHotKeyEdit::KeyName(kCtrl | VK_SNAPSHOT);
    std::string other = CHotKeyEdit::KeyName(VK_F5);
    // The extended-key bit goes with these keys only.
    struct {
        WORD vk;
        bool extended;
    } cases[] = {{VK_CANCEL, true}, {VK_PRIOR, true},   {VK_DOWN, true},    {VK_SNAPSHOT, true},
                 {VK_DELETE, true}, {VK_DIVIDE, true},  {VK_NUMLOCK, true}, {VK_F12, false},
                 {VK_RWIN, false},  {VK_RETURN, false}, {VK_SELECT, false}, {VK_HELP, false}};
    for (auto& c : cases) {
        gAsked.clear();
        CHotKeyEdit::KeyName(c.vk);
        ASSERT_EQ(gAsked.size(), 1u);
        EXPECT_EQ((gAsked[0] & (1 << 24)) != 0, c.extended) << "vk " << c.vk;
    }
    gAsked.clear();
    CHotKeyEdit::KeyName(VK_PAUSE);
    UINT pauseScan = MapVirtualKeyA(VK_PAUSE, MAPVK_VK_TO_VSC);
    EXPECT_EQ((UINT)(gAsked[0] >> 16) & 0xFF, pauseScan ? pauseScan : 0x45u);
    CHotKeyEdit::SetKeyNameSource(nullptr);
    EXPECT_EQ(alone, "Print Screen");
    EXPECT_EQ(withCtrl, "<00> + Print Screen") << "only the key itself gets the fallback";
    EXPECT_EQ(other, "<00>");
}

TEST_F(HotKeyEditTest, TypedKeysBecomeTheWordAndItsName) {
    CHotKeyEdit field;
    ASSERT_TRUE(field.Attach(edit1));
    EXPECT_EQ(SendMessageA(edit1, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);

    Type(edit1, {VK_CONTROL, VK_F12, -VK_F12, -VK_CONTROL});
    EXPECT_EQ(field.GetHotKey(), kCtrl | VK_F12);
    EXPECT_EQ(Text(edit1), CHotKeyEdit::KeyName(kCtrl | VK_F12));

    // The key-up of F12 comes without Ctrl.
    Type(edit1, {VK_CONTROL, VK_F12, -VK_CONTROL, -VK_F12});
    EXPECT_EQ(field.GetHotKey(), VK_F12);
    EXPECT_EQ(Text(edit1), CHotKeyEdit::KeyName(VK_F12));

    Type(edit1, {VK_SHIFT, VK_MENU, VK_HOME, -VK_HOME, -VK_MENU, -VK_SHIFT});
    EXPECT_EQ(field.GetHotKey(), kShift | kAlt | VK_HOME);

    // The right Win key is a key, not a modifier.
    Type(edit1, {VK_RWIN, -VK_RWIN});
    EXPECT_EQ(field.GetHotKey(), VK_RWIN);

    // Letters are keys too; the edit never shows the typed character.
    Type(edit1, {'Q', -'Q'});
    EXPECT_EQ(field.GetHotKey(), 'Q');
    EXPECT_EQ(Text(edit1), CHotKeyEdit::KeyName('Q'));
    EXPECT_NE(Text(edit1), "q");

    // A plain edit beside it takes no part.
    Type(edit2, {VK_F7, -VK_F7});
    EXPECT_EQ(field.GetHotKey(), 'Q');
    EXPECT_EQ(Text(edit2), "");
}

TEST_F(HotKeyEditTest, AWindowThatIsNotAFieldIsNeverRenamed) {
    CHotKeyEdit field;
    ASSERT_TRUE(field.Attach(edit1));
    // A window whose user data points to a record that starts with its own
    // handle, as a framework frame's does.
    struct Record {
        HWND window;
        char rest[64];
    } rec = {nullptr, {}};
    HWND other = CreateWindowExA(0, "EDIT", "Frame title", WS_CHILD | WS_VISIBLE, 10, 80, 200, 24, host, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    rec.window = other;
    SetWindowLongPtrA(other, GWLP_USERDATA, (LONG_PTR)&rec);
    Type(other, {VK_F9, -VK_F9});
    EXPECT_EQ(Text(other), "Frame title");
    EXPECT_EQ(field.GetHotKey(), 0);
    EXPECT_EQ(rec.window, other);
}

TEST_F(HotKeyEditTest, RegistrationFollowsTheAppliedKeyNotTheTypedOne) {
    const WORD ctrlAltF9 = kCtrl | kAlt | VK_F9;
    CHotKeyEdit field;
    ASSERT_TRUE(field.Attach(edit1));
    field.SetHotKey(ctrlAltF9, host, 77);
    EXPECT_EQ(Text(edit1), CHotKeyEdit::KeyName(ctrlAltF9));
    ASSERT_TRUE(field.Register());

    // Register on a registered field does not ask the system again: after
    // the key was taken away behind its back it is still not registered.
    ASSERT_TRUE(UnregisterHotKey(host, 77));
    EXPECT_TRUE(field.Register());
    ASSERT_TRUE(RegisterHotKey(host, 77, MOD_CONTROL | MOD_ALT, VK_F9));

    // Showing the field again refreshes its text and keeps the owner's registration.
    ShowWindow(edit1, SW_HIDE);
    ShowWindow(edit1, SW_SHOW);
    SetFocus(host);
    Pump(20);
    Key(VK_CONTROL, false);
    Key(VK_MENU, false);
    Key(VK_F9, false);
    Key(VK_F9, true);
    Key(VK_MENU, true);
    Key(VK_CONTROL, true);
    EXPECT_EQ(gHotKeys, 1);
    EXPECT_EQ(gLastHotKeyId, 77u);

    // A typed key changes the word only; Ctrl+Alt+F9 stays with the owner.
    Type(edit1, {VK_F11, -VK_F11});
    EXPECT_EQ(field.GetHotKey(), VK_F11);
    EXPECT_FALSE(RegisterHotKey(nullptr, 5, MOD_CONTROL | MOD_ALT, VK_F9));
    EXPECT_EQ(GetLastError(), 1409u);
    ASSERT_TRUE(RegisterHotKey(nullptr, 5, 0, VK_F11)) << "the typed key is not registered";
    UnregisterHotKey(nullptr, 5);

    // Applying it moves the registration to the new key, same target and id.
    field.SetHotKey(field.GetHotKey(), host, 77);
    EXPECT_TRUE(field.IsRegistered());
    EXPECT_FALSE(RegisterHotKey(nullptr, 5, 0, VK_F11));
    ASSERT_TRUE(RegisterHotKey(nullptr, 5, MOD_CONTROL | MOD_ALT, VK_F9)) << "the old key was given back";
    UnregisterHotKey(nullptr, 5);

    EXPECT_TRUE(field.Unregister());
    EXPECT_FALSE(field.IsRegistered());
    ASSERT_TRUE(RegisterHotKey(nullptr, 5, 0, VK_F11));
    UnregisterHotKey(nullptr, 5);
}

TEST_F(HotKeyEditTest, TheSameKeyTwiceFails) {
    CHotKeyEdit a, b, none;
    a.SetHotKey(kShift | VK_F8, host, 1);
    b.SetHotKey(kShift | VK_F8, host, 2);
    ASSERT_TRUE(a.Register());
    EXPECT_FALSE(b.Register());
    EXPECT_EQ(GetLastError(), 1409u);
    EXPECT_FALSE(b.IsRegistered());
    EXPECT_FALSE(none.Register()) << "no word, nothing to register";
    // The destructor gives the key back.
    {
        CHotKeyEdit c;
        c.SetHotKey(kShift | VK_F7, host, 3);
        ASSERT_TRUE(c.Register());
    }
    ASSERT_TRUE(RegisterHotKey(host, 9, MOD_SHIFT, VK_F7));
    UnregisterHotKey(host, 9);
}

TEST_F(HotKeyEditTest, AttachTwiceDetachAndDestroy) {
    WNDPROC classProc = (WNDPROC)GetWindowLongPtrA(edit1, GWLP_WNDPROC);
    CHotKeyEdit field;
    EXPECT_FALSE(field.Attach(nullptr));
    ASSERT_TRUE(field.Attach(edit1));
    field.SetHotKey(VK_F6, host, 4);
    ASSERT_TRUE(field.Attach(edit1));
    EXPECT_EQ(field.GetHotKey(), 0) << "attaching clears the word";
    // Subclassed once: the edit still answers, and detaching gives back the class procedure.
    EXPECT_EQ(SendMessageA(edit1, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
    std::string shown = Text(edit1);
    EXPECT_EQ(SendMessageA(edit1, WM_CHAR, 'x', 0), 0);
    EXPECT_EQ(Text(edit1), shown) << "typed characters are swallowed";
    field.Detach();
    EXPECT_EQ((WNDPROC)GetWindowLongPtrA(edit1, GWLP_WNDPROC), classProc);
    EXPECT_EQ(field.Window(), nullptr);
    SendMessageA(edit1, EM_SETSEL, 200, 200);
    SendMessageA(edit1, WM_CHAR, 'x', 0);
    EXPECT_EQ(Text(edit1), shown + "x") << "a plain edit again";

    // A second field cannot take a window that a field owns.
    CHotKeyEdit other;
    ASSERT_TRUE(field.Attach(edit2));
    EXPECT_FALSE(other.Attach(edit2));

    // Destroying the edit detaches the field and gives the key back.
    field.SetHotKey(kCtrl | VK_F6, host, 4);
    ASSERT_TRUE(field.Register());
    DestroyWindow(edit2);
    EXPECT_EQ(field.Window(), nullptr);
    EXPECT_FALSE(field.IsRegistered());
    ASSERT_TRUE(RegisterHotKey(host, 9, MOD_CONTROL, VK_F6));
    UnregisterHotKey(host, 9);

    // Moving a field to another window leaves the first one plain.
    ASSERT_TRUE(field.Attach(edit1));
    Type(edit1, {VK_F3, -VK_F3});
    EXPECT_EQ(field.GetHotKey(), VK_F3);
}
