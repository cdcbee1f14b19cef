// The capture application's hot keys under Wine: registration and its
// failure messages (read and closed from a helper thread as a user would),
// the minute timer's counting, and the cases in which no capture starts.
#include "capture/grab/hotkeys.h"

#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>

#include "capture/app_texts.h"
#include "capture/editor/editor_dialog.h"
#include "capture/grab/overlay.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/hotkey_edit.h"
#include "framework/message_box.h"

namespace {

const int kCtrlAlt = (MOD_CONTROL | MOD_ALT) << 8;

int gCaptureKeys = 0;  // WM_HOTKEY 111 that reached the test's dialog

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_HOTKEY && wp == (WPARAM)kHotKeyCapture) {
        gCaptureKeys++;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Whether the system gives the combination to nobody else now.
bool KeyIsFree(int word) {
    if (!RegisterHotKey(nullptr, 0x7000, word >> 8, word & 0xFF))
        return false;
    UnregisterHotKey(nullptr, 0x7000);
    return true;
}

// Closes every framework message box of this process that shows up within
// ms and keeps the texts of the boxes it closed.
class BoxCloser {
  public:
    explicit BoxCloser(DWORD ms) {
        thread_ = std::thread([this, ms] {
            DWORD start = GetTickCount();
            while (GetTickCount() - start < ms && !stop_) {
                HWND box = FindBox();
                if (box) {
                    Sleep(50);
                    char a[300] = "", b[300] = "";
                    GetDlgItemTextA(box, IDC_MOX_MSGFIRST, a, sizeof a);
                    GetDlgItemTextA(box, IDC_MOX_MSGREST, b, sizeof b);
                    texts_ += std::string(a) + " " + b + "|";
                    count_++;
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    while (IsWindow(box) && GetTickCount() - start < ms)
                        Sleep(20);
                }
                Sleep(20);
            }
        });
    }
    // Stops watching; the texts of the boxes seen.
    std::string Finish(int* count) {
        stop_ = true;
        thread_.join();
        *count = count_;
        return texts_;
    }

  private:
    static BOOL CALLBACK Find(HWND hwnd, LPARAM lp) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        char cls[16];
        if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
            strcmp(cls, "#32770") == 0 && GetDlgItem(hwnd, IDC_MOX_MSGFIRST)) {
            *(HWND*)lp = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static HWND FindBox() {
        HWND box = nullptr;
        EnumWindows(Find, (LPARAM)&box);
        return box;
    }
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::string texts_;
    int count_ = 0;
};

class HotKeysTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { gApp.strings.SetAppTable(0, gAppTexts); }
    void SetUp() override {
        gOpt = COptions();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DialogProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HotKeysTestDialog";
        RegisterClassA(&wc);
        dlg = CreateWindowExA(0, "HotKeysTestDialog", "Vellumor Pro", WS_POPUP, 100, 100, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
        ASSERT_NE(dlg, nullptr);
        gMainDialog = dlg;
        gCaptureKeys = 0;
    }
    void TearDown() override {
        UnregisterHotKeys();
        gMainDialog = nullptr;
        gEditorDialog = nullptr;
        if (gOverlay)
            StartCapture();  // closes an overlay a test opened
        DestroyWindow(dlg);
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    }
    // RegisterHotKeys(dlg, 1) with the message boxes it shows closed as
    // they come: their number and texts.
    bool RegisterClosingBoxes(int* boxes, std::string* texts) {
        BoxCloser closer(5000);
        bool ok = RegisterHotKeys(dlg, 1);
        *texts = closer.Finish(boxes);
        return ok;
    }
    // Takes the first kMsgHotKeyFailed waiting for the dialog (which then
    // opens the Options tab); false when none was posted.
    bool FailurePosted() {
        MSG m;
        return PeekMessageA(&m, dlg, kMsgHotKeyFailed, kMsgHotKeyFailed, PM_REMOVE) != FALSE;
    }
    HWND dlg = nullptr;
};

}  // namespace

TEST_F(HotKeysTest, BothKeysRegisterAndModeZeroOnlyShowsThem) {
    gOpt.HotKeyCapture = kCtrlAlt | VK_F5;
    gOpt.HotKeyVellumor = kCtrlAlt | VK_F6;
    HWND page = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND e1 = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, page, nullptr, nullptr, nullptr);
    HWND e2 = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 30, 100, 20, page, nullptr, nullptr, nullptr);
    AttachHotKeyFields(dlg, e1, e2);
    EXPECT_TRUE(RegisterHotKeys(dlg, 0));
    EXPECT_TRUE(KeyIsFree(gOpt.HotKeyCapture)) << "mode 0 registers nothing";
    EXPECT_TRUE(KeyIsFree(gOpt.HotKeyVellumor));
    char text[200];
    GetWindowTextA(e1, text, sizeof text);
    EXPECT_STREQ(text, CHotKeyEdit::KeyName((WORD)gOpt.HotKeyCapture));
    GetWindowTextA(e2, text, sizeof text);
    EXPECT_STREQ(text, CHotKeyEdit::KeyName((WORD)gOpt.HotKeyVellumor));

    BoxCloser closer(300);
    EXPECT_TRUE(RegisterHotKeys(dlg, 1));
    int boxes = 0;
    closer.Finish(&boxes);
    EXPECT_EQ(boxes, 0);
    EXPECT_FALSE(KeyIsFree(gOpt.HotKeyCapture));
    EXPECT_FALSE(KeyIsFree(gOpt.HotKeyVellumor));
    EXPECT_FALSE(FailurePosted());

    // A key typed into a field reaches gOpt through StoreHotKeys, and the
    // registration moves to it when the page applies it.
    int old = gOpt.HotKeyCapture;
    SetWindowPos(page, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ShowWindow(e1, SW_SHOW);
    SetForegroundWindow(page);
    SetFocus(e1);
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = VK_F3;
        i.ki.wScan = (WORD)MapVirtualKeyA(VK_F3, MAPVK_VK_TO_VSC);
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    MSG m;
    for (int i = 0; i < 20; i++, Sleep(10))
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
    EXPECT_FALSE(KeyIsFree(old)) << "typing does not move the registration";
    StoreHotKeys();
    EXPECT_EQ(gOpt.HotKeyCapture, VK_F3);
    EXPECT_EQ(gOpt.HotKeyVellumor, kCtrlAlt | VK_F6);
    EXPECT_TRUE(RegisterHotKeys(dlg, 1));
    EXPECT_TRUE(KeyIsFree(old));
    EXPECT_FALSE(KeyIsFree(VK_F3));
    UnregisterHotKeys();
    EXPECT_TRUE(KeyIsFree(gOpt.HotKeyCapture));
    EXPECT_TRUE(KeyIsFree(gOpt.HotKeyVellumor));
    DestroyWindow(page);
}

TEST_F(HotKeysTest, KeyHeldElsewhereIsReportedOncePerChangeAndKept) {
    gOpt.HotKeyCapture = kCtrlAlt | VK_F9;
    gOpt.HotKeyVellumor = kCtrlAlt | VK_F10;
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, VK_F9));  // another program has it

    // The first attempt says so and opens the Options tab; the next ones
    // with the same key (leaving the page, hiding) pass without a word.
    for (int attempt = 0; attempt < 3; attempt++) {
        SCOPED_TRACE(attempt);
        if (attempt > 0)
            StoreHotKeys();  // what leaving the Options page does first
        int boxes = 0;
        std::string texts;
        EXPECT_EQ(RegisterClosingBoxes(&boxes, &texts), attempt > 0);
        EXPECT_EQ(boxes, attempt == 0 ? 1 : 0) << texts;
        if (attempt == 0) {
            EXPECT_NE(texts.find("The specified Capture Hot-Key could not be set!"), std::string::npos) << texts;
            EXPECT_NE(texts.find("Please select a different key combination."), std::string::npos) << texts;
        }
        EXPECT_EQ(FailurePosted(), attempt == 0) << "the Options tab opens once";
        EXPECT_FALSE(KeyIsFree(gOpt.HotKeyVellumor)) << "the show key is registered all the same";
        EXPECT_EQ(gOpt.HotKeyCapture, kCtrlAlt | VK_F9) << "the stored key is kept for the next start";
    }

    // Once the other program lets go, the key is ours.
    UnregisterHotKey(other, 1);
    EXPECT_TRUE(RegisterHotKeys(dlg, 1));
    EXPECT_FALSE(KeyIsFree(gOpt.HotKeyCapture));

    // Taken again while ours: reported again.
    UnregisterHotKeys();
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, VK_F9));
    int boxes = 0;
    std::string texts;
    EXPECT_FALSE(RegisterClosingBoxes(&boxes, &texts));
    EXPECT_EQ(boxes, 1) << "a key that worked in between is reported when it fails again";
    UnregisterHotKey(other, 1);
    DestroyWindow(other);
}

TEST_F(HotKeysTest, BothKeysAlikeClearTheShowKey) {
    gOpt.HotKeyCapture = kCtrlAlt | VK_F11;
    gOpt.HotKeyVellumor = kCtrlAlt | VK_F11;
    int boxes = 0;
    std::string texts;
    EXPECT_FALSE(RegisterClosingBoxes(&boxes, &texts));
    EXPECT_EQ(boxes, 1);
    EXPECT_NE(texts.find("The specified Vellumor Hot-Key could not be set!"), std::string::npos) << texts;
    EXPECT_EQ(gOpt.HotKeyVellumor, 0);
    EXPECT_EQ(gOpt.HotKeyCapture, kCtrlAlt | VK_F11);
    EXPECT_TRUE(FailurePosted());
    StoreHotKeys();
    EXPECT_EQ(gOpt.HotKeyVellumor, 0) << "the field was cleared too";
    EXPECT_TRUE(RegisterHotKeys(dlg, 1)) << "no key, nothing to fail";
}

TEST_F(HotKeysTest, MinuteCounter) {
    gOpt.Timer = 1;
    gOpt.Minutes = 1;
    OnMinuteTimer(dlg);  // whatever an earlier test counted, this tick fires and starts over
    ASSERT_EQ(gCaptureKeys, 1);
    gCaptureKeys = 0;

    gOpt.Minutes = 5;
    for (int i = 0; i < 4; i++)
        OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 0);
    OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 1) << "the fifth minute";
    for (int i = 0; i < 4; i++)
        OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 1);

    // Paused while the dialog is visible, and not reset: 3 + 2 = 5 more minutes.
    OnMinuteTimer(dlg);
    ASSERT_EQ(gCaptureKeys, 2);
    for (int i = 0; i < 3; i++)
        OnMinuteTimer(dlg);
    ShowWindow(dlg, SW_SHOWNA);
    OnMinuteTimer(dlg);
    OnMinuteTimer(dlg);
    ShowWindow(dlg, SW_HIDE);
    EXPECT_EQ(gCaptureKeys, 2);
    OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 2);
    OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 3);

    // Paused while the editor is open, too.
    HWND editor = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    gEditorDialog = editor;
    for (int i = 0; i < 10; i++)
        OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 3);
    gEditorDialog = nullptr;
    DestroyWindow(editor);
    for (int i = 0; i < 5; i++)
        OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 4);

    gOpt.Timer = 0;
    for (int i = 0; i < 20; i++)
        OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 4);
}

namespace {
int Priority() {
    return GetThreadPriority(GetCurrentThread());
}
// The capture road on a hidden dialog: did it start (priority back to
// normal on the way to the overlay)?
bool CaptureStarted(HWND dlg) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    OnHotKey(dlg, kHotKeyCapture);
    bool started = Priority() == THREAD_PRIORITY_NORMAL;
    if (gOverlay)
        StartCapture();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    return started;
}
bool gStartedInMenu = true;
void CALLBACK WhileMenuIsOpen(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    gStartedInMenu = CaptureStarted(gMainDialog);
    EndMenu();
}
}  // namespace

TEST_F(HotKeysTest, NoCaptureWhileTheEditorOrAModalWindowIsUp) {
    EXPECT_TRUE(CaptureStarted(dlg));

    HWND editor = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    gEditorDialog = editor;
    EXPECT_FALSE(CaptureStarted(dlg));
    gEditorDialog = nullptr;
    DestroyWindow(editor);

    gApp.modalDepth = 1;  // a framework dialog or message box
    EXPECT_FALSE(CaptureStarted(dlg));
    gApp.modalDepth = 0;

    // A common dialog such as Save As, up while an action runs.
    HWND saveAs = CreateWindowExA(0, "#32770", "Save As", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(saveAs, nullptr);
    EXPECT_FALSE(CaptureStarted(dlg));
    DestroyWindow(saveAs);
    EXPECT_TRUE(CaptureStarted(dlg));

    // A popup menu such as the Send-To targets.
    HWND owner = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    SetForegroundWindow(owner);
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "Target");
    SetTimer(owner, 1, 200, WhileMenuIsOpen);
    gStartedInMenu = true;
    TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner, nullptr);
    EXPECT_FALSE(gStartedInMenu);
    DestroyMenu(menu);
    DestroyWindow(owner);

    // The minute timer does not count while a modal window is up.
    gOpt.Timer = 1;
    gOpt.Minutes = 1;
    gApp.modalDepth = 1;
    OnMinuteTimer(dlg);
    gApp.modalDepth = 0;
    EXPECT_EQ(gCaptureKeys, 0);
    OnMinuteTimer(dlg);
    EXPECT_EQ(gCaptureKeys, 1);
}
