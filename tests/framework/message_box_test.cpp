// The framework's message box, opened in this process and driven from a
// second thread as a user would: what it shows, which button has the
// focus, and what each way of closing it returns.
#include "framework/message_box.h"

#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>

#include "framework/app.h"
#include "startup_test_util.h"

namespace {

struct Seen {
    std::string caption, first, rest;
    bool firstBold = false, restExists = false;
    bool visible[4] = {};  // OK, Cancel, Yes, No
    std::string captions[4];
    int focusId = 0;
    RECT icon = {}, firstRect = {};
};

const int kIds[4] = {IDOK, IDCANCEL, IDYES, IDNO};

// Opens a box on this thread; the helper thread records it and then acts.
int Show(const char* format, UINT style, Seen* seen, void (*act)(HWND), const char* arg = nullptr) {
    std::atomic<bool> done(false);
    std::thread driver([&] {
        HWND box = nullptr;
        for (int i = 0; i < 200 && !box; i++) {
            Sleep(25);
            box = WaitForDialog(GetCurrentProcessId(), 0);
        }
        if (!box)
            return;
        Sleep(100);
        char text[256];
        GetWindowTextA(box, text, sizeof text);
        seen->caption = text;
        seen->first = ControlText(box, IDC_MOX_MSGFIRST);
        seen->restExists = GetDlgItem(box, IDC_MOX_MSGREST) != nullptr;
        seen->rest = ControlText(box, IDC_MOX_MSGREST);
        LOGFONTA lf;
        HFONT f = (HFONT)SendDlgItemMessageA(box, IDC_MOX_MSGFIRST, WM_GETFONT, 0, 0);
        seen->firstBold = f && GetObjectA(f, sizeof lf, &lf) && lf.lfWeight >= FW_BOLD;
        for (int i = 0; i < 4; i++) {
            HWND b = GetDlgItem(box, kIds[i]);
            seen->visible[i] = b && IsWindowVisible(b);
            GetWindowTextA(b, text, sizeof text);
            seen->captions[i] = text;
        }
        GUITHREADINFO gti;
        memset(&gti, 0, sizeof gti);
        gti.cbSize = sizeof gti;
        DWORD tid = GetWindowThreadProcessId(box, nullptr);
        if (GetGUIThreadInfo(tid, &gti) && gti.hwndFocus)
            seen->focusId = GetDlgCtrlID(gti.hwndFocus);
        GetWindowRect(GetDlgItem(box, IDC_MOX_MSGICON), &seen->icon);
        GetWindowRect(GetDlgItem(box, IDC_MOX_MSGFIRST), &seen->firstRect);
        act(box);
        done = true;
    });
    int r = AppMessageBox(nullptr, nullptr, format, style, 0, arg);
    driver.join();
    return done ? r : -1;
}

void PressOk(HWND box) {
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}
void PressNo(HWND box) {
    PostMessageA(box, WM_COMMAND, IDNO, 0);
}
// Escape, as the keyboard sends it to the focused button.
void PressEscape(HWND box) {
    GUITHREADINFO gti;
    memset(&gti, 0, sizeof gti);
    gti.cbSize = sizeof gti;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gti);
    HWND target = gti.hwndFocus ? gti.hwndFocus : box;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}
void PressEnter(HWND box) {
    GUITHREADINFO gti;
    memset(&gti, 0, sizeof gti);
    gti.cbSize = sizeof gti;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &gti);
    HWND target = gti.hwndFocus ? gti.hwndFocus : box;
    PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

class MessageBoxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gApp.instance = GetModuleHandleA(nullptr);
        strcpy(gApp.productName, "Box Test");
    }
};

}  // namespace

TEST_F(MessageBoxTest, ErrorStyleShowsBoldFirstLineAndOk) {
    Seen seen;
    EXPECT_EQ(Show("First line\nSecond line\nThird line", kBoxErrorOk, &seen, PressOk), IDOK);
    EXPECT_EQ(seen.caption, "Box Test");
    EXPECT_EQ(seen.first, "First line");
    EXPECT_EQ(seen.rest, "Second line\r\nThird line");
    EXPECT_TRUE(seen.firstBold);
    EXPECT_TRUE(seen.visible[0]);
    EXPECT_FALSE(seen.visible[1] || seen.visible[2] || seen.visible[3]);
    EXPECT_EQ(seen.captions[0], "OK");
    EXPECT_EQ(seen.focusId, IDOK);
    EXPECT_EQ(seen.firstRect.top, seen.icon.top) << "three lines start at the top";
}

TEST_F(MessageBoxTest, ButtonsDefaultsAndResults) {
    Seen seen;
    EXPECT_EQ(Show("Continue?", kBoxQuestion | kBoxYesNo, &seen, PressNo), IDNO);
    EXPECT_TRUE(seen.visible[2] && seen.visible[3]);
    EXPECT_FALSE(seen.visible[0] || seen.visible[1]);
    EXPECT_EQ(seen.focusId, IDYES);
    EXPECT_EQ(seen.captions[2], "Yes");
    EXPECT_EQ(seen.captions[3], "No");
    EXPECT_FALSE(seen.firstBold);

    Seen cancelFirst;
    EXPECT_EQ(
        Show("Save?", kBoxQuestion | kBoxYesNoCancel | kBoxBoldFirstLine | kBoxDefaultCancel, &cancelFirst, PressEnter),
        IDCANCEL);
    EXPECT_EQ(cancelFirst.focusId, IDCANCEL);
    EXPECT_TRUE(cancelFirst.visible[1] && cancelFirst.visible[2] && cancelFirst.visible[3]);

    Seen okDefault;
    EXPECT_EQ(Show("Go?", kBoxQuestion | kBoxOkCancel | kBoxBoldFirstLine | kBoxDefaultOk, &okDefault, PressEnter),
              IDOK);
    EXPECT_EQ(okDefault.focusId, IDOK);
    EXPECT_EQ(okDefault.captions[1], "Cancel");

    // Escape ends any box with Cancel, also one without a Cancel button.
    Seen esc;
    EXPECT_EQ(Show("Note", kBoxInformation | kBoxOk | kBoxBoldFirstLine, &esc, PressEscape), IDCANCEL);
    Seen escYesNo;
    EXPECT_EQ(Show("Sure?", kBoxQuestion | kBoxYesNo, &escYesNo, PressEscape), IDCANCEL);
}

TEST_F(MessageBoxTest, TextLayoutAndFormatting) {
    Seen one;
    EXPECT_EQ(Show("100%% done with %s", kBoxInformation | kBoxOk, &one, PressOk, "it"), IDOK);
    EXPECT_EQ(one.first, "100% done with it");
    EXPECT_FALSE(one.restExists) << "a single line needs one control";
    int lineMid = (one.firstRect.top + one.firstRect.bottom) / 2, iconMid = (one.icon.top + one.icon.bottom) / 2;
    EXPECT_LE(abs(lineMid - iconMid), 2) << "a single line stands centred beside the icon";

    Seen two;
    EXPECT_EQ(Show("Top\nBottom", kBoxWarning | kBoxOk, &two, PressOk), IDOK);
    EXPECT_EQ(two.first, "Top");
    EXPECT_EQ(two.rest, "Bottom");
    EXPECT_GT(two.firstRect.top, two.icon.top - 1);
}
