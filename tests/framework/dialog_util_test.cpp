#include "framework/dialog_util.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "framework/monitors.h"
#include "framework/shell_util.h"
#include "support/test_support.h"

namespace {

constexpr int kEditA = 101, kEditB = 102, kCheck = 103, kButton = 104;

// The value a number field reads as; *status gets the read's status.
int NumberOf(HWND dlg, int item, int minimum, int maximum, bool strict, int* status) {
    int value = -12345;
    *status = GetDlgItemNumber(dlg, item, minimum, maximum, strict, &value);
    return value;
}

double DoubleOf(HWND dlg, int item, double minimum, double maximum, bool strict, int* status) {
    double value = -12345;
    *status = GetDlgItemDouble(dlg, item, minimum, maximum, strict, &value);
    return value;
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

const char* PlainClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = "VpDialogUtilTest";
        RegisterClassA(&wc);
        registered = true;
    }
    return "VpDialogUtilTest";
}

// A top-level window with two edits, a check box and a button.
struct TestDialog {
    HWND hwnd;
    TestDialog() {
        HINSTANCE inst = GetModuleHandleA(nullptr);
        hwnd = CreateWindowExA(0, PlainClass(), "dialog", WS_POPUP | WS_VISIBLE, 50, 50, 400, 300, nullptr, nullptr,
                               inst, nullptr);
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 200, 20, hwnd,
                        (HMENU)(INT_PTR)kEditA, inst, nullptr);
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 40, 200, 20, hwnd,
                        (HMENU)(INT_PTR)kEditB, inst, nullptr);
        CreateWindowExA(0, "BUTTON", "check", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 70, 200, 20, hwnd,
                        (HMENU)(INT_PTR)kCheck, inst, nullptr);
        CreateWindowExA(0, "BUTTON", "push", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 100, 100, 24, hwnd,
                        (HMENU)(INT_PTR)kButton, inst, nullptr);
    }
    ~TestDialog() { DestroyWindow(hwnd); }
    void Set(int id, const char* text) { SetDlgItemTextA(hwnd, id, text); }
    std::string Text(int id) {
        char buf[2048] = "";
        GetDlgItemTextA(hwnd, id, buf, sizeof buf);
        return buf;
    }
};

// Sets the user's decimal separator for a test and restores it after.
struct DecimalSeparator {
    char saved[8] = "";
    explicit DecimalSeparator(const char* sep) {
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, sizeof saved);
        EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep));
        char now[8] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, now, sizeof now);
        EXPECT_STREQ(now, sep);
    }
    ~DecimalSeparator() { SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved); }
};

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

TEST(DialogUtil, ReadsIntegers) {
    TestDialog d;
    d.Set(kEditA, "42");
    int status = -1;
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 100, true, &status), 42);
    EXPECT_EQ(status, 0);
    d.Set(kEditA, "");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 5, 100, false, &status), 5);
    EXPECT_EQ(status, kStatusFieldEmpty);
    d.Set(kEditA, "12abc");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 3, 100, true, &status), 3);
    EXPECT_EQ(status, kStatusNotNumber);
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 3, 100, false, &status), 12);
    EXPECT_EQ(status, 0);
    d.Set(kEditA, "abc");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, -7, 100, true, &status), -7);
    EXPECT_EQ(status, kStatusNotNumber);
    d.Set(kEditA, "500");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 100, true, &status), 100);
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 100, 0, true, &status), 100);  // bounds in either order
    d.Set(kEditA, "-5");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 100, true, &status), 0);
    d.Set(kEditA, "99999999999999");
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 1000, true, &status), 1000);
    // Only the first 31 characters are read.
    d.Set(kEditA, (std::string(31, '0') + "77").c_str());
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 1000, true, &status), 0);
    EXPECT_EQ(status, 0);
    d.Set(kEditA, (std::string(29, '0') + "77").c_str());
    EXPECT_EQ(NumberOf(d.hwnd, kEditA, 0, 1000, true, &status), 77);
    SetDlgItemNumber(d.hwnd, kEditB, -17);
    EXPECT_EQ(d.Text(kEditB), "-17");
    SetDlgItemNumber(d.hwnd, kEditB, INT_MIN);
    EXPECT_EQ(d.Text(kEditB), "-2147483648");
}

TEST(DialogUtil, DecimalsFollowTheUserSeparator) {
    TestDialog d;
    int status = -1;
    struct Case {
        const char* sep;
    } cases[] = {{","}, {"."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sep);
        DecimalSeparator locale(c.sep);
        std::string s = c.sep;
        SetDlgItemDouble(d.hwnd, kEditA, 2.5);
        EXPECT_EQ(d.Text(kEditA), "2" + s + "5");
        SetDlgItemDouble(d.hwnd, kEditA, 3.0);
        EXPECT_EQ(d.Text(kEditA), "3");
        SetDlgItemDouble(d.hwnd, kEditA, 100.0);
        EXPECT_EQ(d.Text(kEditA), "100");
        SetDlgItemDouble(d.hwnd, kEditA, -0.125);
        EXPECT_EQ(d.Text(kEditA), "-0" + s + "125");
        SetDlgItemDouble(d.hwnd, kEditA, 1.23456);
        EXPECT_EQ(d.Text(kEditA), "1" + s + "235");
        SetDlgItemDouble(d.hwnd, kEditA, 0.0001);
        EXPECT_EQ(d.Text(kEditA), "0");
        SetDlgItemDouble(d.hwnd, kEditA, 10.5);
        EXPECT_EQ(d.Text(kEditA), "10" + s + "5");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, true, &status), 10.5);  // round trip

        // Either separator reads as the decimal separator.
        d.Set(kEditA, "2,5");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, true, &status), 2.5);
        EXPECT_EQ(status, 0);
        d.Set(kEditA, "2.5");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, true, &status), 2.5);
        d.Set(kEditA, "abc");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 1.5, 100, true, &status), 1.5);
        EXPECT_EQ(status, kStatusNotNumber);
        d.Set(kEditA, "");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 1.5, 100, false, &status), 1.5);
        EXPECT_EQ(status, kStatusFieldEmpty);
        d.Set(kEditA, "7,5cm");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, true, &status), 0);
        EXPECT_EQ(status, kStatusNotNumber);
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, false, &status), 7.5);
        EXPECT_EQ(status, 0);
        d.Set(kEditA, "1e3");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 0, 100, true, &status), 100);  // clamped
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, 100, -100, true, &status), 100);
        d.Set(kEditA, "nan");
        EXPECT_DOUBLE_EQ(DoubleOf(d.hwnd, kEditA, -1, 100, false, &status), -1);
        EXPECT_EQ(status, kStatusNotNumber);
    }
}

TEST(DialogUtil, DecimalsUnderAGermanRuntimeLocale) {
    TestDialog d;
    if (!setlocale(LC_NUMERIC, "German_Germany.1252"))
        GTEST_SKIP() << "no German runtime locale";
    d.Set(kEditA, "2.5");
    int status = -1;
    double a = DoubleOf(d.hwnd, kEditA, 0, 100, true, &status);
    d.Set(kEditA, "2,5");
    double b = DoubleOf(d.hwnd, kEditA, 0, 100, true, &status);
    setlocale(LC_NUMERIC, "C");
    EXPECT_DOUBLE_EQ(a, 2.5);
    EXPECT_DOUBLE_EQ(b, 2.5);
}

TEST(DialogUtil, TextChecksEnablingAndFocus) {
    TestDialog d;
    EXPECT_TRUE(SetDlgItemTextF(d.hwnd, kEditA, "%s=%d", "width", 640));
    EXPECT_EQ(d.Text(kEditA), "width=640");
    // Arguments are text, never a format.
    EXPECT_TRUE(SetDlgItemTextF(d.hwnd, kEditA, "%s", "100% %n %s"));
    EXPECT_EQ(d.Text(kEditA), "100% %n %s");
    std::string big(2000, 'x');
    EXPECT_FALSE(SetDlgItemTextF(d.hwnd, kEditA, "%s", big.c_str()));
    EXPECT_EQ(d.Text(kEditA), std::string(1023, 'x'));
    EXPECT_FALSE(SetDlgItemTextF(d.hwnd, 999, "%d", 1));  // no such item

    EXPECT_EQ(GetDlgItemCheck(d.hwnd, kCheck), BST_UNCHECKED);
    SendDlgItemMessageA(d.hwnd, kCheck, BM_CLICK, 0, 0);
    EXPECT_EQ(GetDlgItemCheck(d.hwnd, kCheck), BST_CHECKED);
    SetDlgItemCheck(d.hwnd, kCheck, BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d.hwnd, kCheck), BST_UNCHECKED);
    SetDlgItemCheck(d.hwnd, kCheck, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(d.hwnd, kCheck), BST_CHECKED);

    EnableDlgItems(false, d.hwnd, kEditA, kCheck, 0, kButton);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d.hwnd, kEditA)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d.hwnd, kEditB)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d.hwnd, kCheck)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d.hwnd, kButton)));  // after the end of the list
    EnableDlgItems(true, d.hwnd, kEditA, kCheck, -1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d.hwnd, kEditA)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d.hwnd, kCheck)));

    SetForegroundWindow(d.hwnd);
    d.Set(kEditB, "select me");
    FocusDlgItemSelectAll(d.hwnd, kEditB);
    EXPECT_EQ(GetFocus(), GetDlgItem(d.hwnd, kEditB));
    DWORD start = 0, end = 0;
    SendDlgItemMessageA(d.hwnd, kEditB, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 9u);
}

TEST(DialogUtil, WindowHelpers) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    HWND top = CreateWindowExA(WS_EX_TOPMOST, PlainClass(), "top", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr,
                               nullptr, inst, nullptr);
    HWND plain = CreateWindowExA(0, PlainClass(), "plain", WS_POPUP | WS_VISIBLE, 300, 0, 200, 200, nullptr, nullptr,
                                 inst, nullptr);
    HWND ownedByTop =
        CreateWindowExA(0, PlainClass(), "o1", WS_POPUP | WS_VISIBLE, 600, 0, 100, 100, top, nullptr, inst, nullptr);
    HWND ownedByPlain = CreateWindowExA(0, PlainClass(), "o2", WS_POPUP | WS_VISIBLE, 600, 300, 100, 100, plain,
                                        nullptr, inst, nullptr);
    EXPECT_TRUE(FollowParentTopmost(ownedByTop));
    EXPECT_TRUE(GetWindowLongA(ownedByTop, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(FollowParentTopmost(ownedByPlain));
    EXPECT_FALSE(GetWindowLongA(ownedByPlain, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(FollowParentTopmost(plain));  // no parent
    RECT r;
    GetWindowRect(ownedByTop, &r);
    EXPECT_EQ(r.left, 600);  // not moved

    ASSERT_TRUE(SetCursorPos(400, 100));
    EXPECT_TRUE(IsCursorOverWindow(plain));
    EXPECT_FALSE(IsCursorOverWindow(top));
    ASSERT_TRUE(SetCursorPos(650, 350));
    EXPECT_TRUE(IsCursorOverWindow(ownedByPlain));
    EXPECT_FALSE(IsCursorOverWindow(plain));

    uint32_t flags = 0x10;
    SetFlagBits(&flags, 0x3, true);
    EXPECT_EQ(flags, 0x13u);
    SetFlagBits(&flags, 0x11, false);
    EXPECT_EQ(flags, 0x2u);

    DestroyWindow(ownedByPlain);
    DestroyWindow(ownedByTop);
    DestroyWindow(plain);
    DestroyWindow(top);
}

TEST(DialogUtil, InvalidateGrownArea) {
    HWND hwnd = CreateWindowExA(0, PlainClass(), "grow", WS_POPUP | WS_VISIBLE, 0, 0, 300, 150, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    PumpMessages();
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    auto updated = [&](int x, int y) {
        GetUpdateRgn(hwnd, rgn, FALSE);
        return PtInRegion(rgn, x, y) != 0;
    };
    // Grown from 200 x 100 to 300 x 150: the right and bottom strips.
    ValidateRect(hwnd, nullptr);
    int w = 200, h = 100;
    InvalidateGrownArea(hwnd, 300, 150, &w, &h);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 150);
    EXPECT_TRUE(updated(250, 10));
    EXPECT_TRUE(updated(50, 120));
    EXPECT_TRUE(updated(299, 149));
    EXPECT_FALSE(updated(199, 99));
    EXPECT_FALSE(updated(10, 10));
    // Only wider: the right strip only.
    ValidateRect(hwnd, nullptr);
    w = 250;
    InvalidateGrownArea(hwnd, 300, 150, &w, &h);
    EXPECT_TRUE(updated(260, 140));
    EXPECT_FALSE(updated(240, 140));
    // Same width: the whole client area.
    ValidateRect(hwnd, nullptr);
    h = 120;
    InvalidateGrownArea(hwnd, 300, 150, &w, &h);
    EXPECT_TRUE(updated(1, 1));
    EXPECT_TRUE(updated(299, 149));
    EXPECT_EQ(h, 150);
    DeleteObject(rgn);
    DestroyWindow(hwnd);
}

namespace {

struct FindArgs {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindDialogWindow(HWND hwnd, LPARAM param) {
    FindArgs* a = (FindArgs*)param;
    char cls[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == a->pid && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "#32770") == 0) {
        a->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits on a helper thread for this process's common dialog, then runs the
// action on it (from the helper thread, as a user would act from outside).
class DialogDriver {
  public:
    template <class F>
    explicit DialogDriver(F action) {
        thread_ = std::thread([this, action]() {
            for (int i = 0; i < 400 && !stop_; i++) {
                FindArgs a = {GetCurrentProcessId(), nullptr};
                EnumWindows(FindDialogWindow, (LPARAM)&a);
                if (a.found) {
                    Sleep(300);  // let the dialog finish its set-up
                    action(a.found);
                    seen_ = true;
                    return;
                }
                Sleep(50);
            }
        });
    }
    ~DialogDriver() { Join(); }
    void Join() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    bool Seen() const { return seen_; }

  private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
};

void TypeNameAndPress(HWND dlg, const char* name, int button) {
    // The explorer-style dialog's name field is a combo box (cmb13), the
    // old one an edit (edt1).
    SetDlgItemTextA(dlg, cmb13, name);
    SetDlgItemTextA(dlg, edt1, name);
    PostMessageA(dlg, WM_COMMAND, button, 0);
}

std::string Backslashed(std::string p) {
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

const char kFilter[] = "PNG image\0*.png\0JPEG image\0*.jpg;*.jpeg\0All files\0*.*\0";

}  // namespace

TEST(FileDialog, DefaultExtensionComesFromTheChosenFilter) {
    char ext[16];
    FilterDefaultExtension(kFilter, 0, ext, sizeof ext);
    EXPECT_STREQ(ext, "png");
    FilterDefaultExtension(kFilter, 1, ext, sizeof ext);
    EXPECT_STREQ(ext, "jpg");
    FilterDefaultExtension(kFilter, 2, ext, sizeof ext);
    EXPECT_STREQ(ext, "");  // "*.*" gives none
    FilterDefaultExtension(kFilter, 3, ext, sizeof ext);
    EXPECT_STREQ(ext, "");
    FilterDefaultExtension(kFilter, -1, ext, sizeof ext);
    EXPECT_STREQ(ext, "png");
    FilterDefaultExtension("Long\0*.abcdefghijklmnopq\0", 0, ext, sizeof ext);
    EXPECT_STREQ(ext, "");  // too long to hold: none rather than a cut one
    FilterDefaultExtension(nullptr, 0, ext, sizeof ext);
    EXPECT_STREQ(ext, "");
}

TEST(FileDialog, SaveWithTheChosenFiltersExtension) {
    std::string dir = Backslashed(MakeTestDir("file_dialog_save"));
    char folder[kCchPath];
    // Wine's dialog itself prefers the shown filter's extension and takes the
    // default extension only for a wildcard filter ("All files"): there a
    // default taken from the wrong part of the filter text would show.
    const char* const expectedEnds[] = {"\\shot.png", "\\shot.jpg", "\\shot"};
    for (int index = 0; index < 3; index++) {
        SCOPED_TRACE(index);
        StrCopy(folder, sizeof folder, dir.c_str());
        int chosen = -5;
        DialogDriver driver([](HWND dlg) { TypeNameAndPress(dlg, "shot", IDOK); });
        const char* path = FileDialog(true, kFilter, (signed char)index, &chosen, folder, "initial");
        driver.Join();
        EXPECT_TRUE(driver.Seen());
        ASSERT_NE(path, nullptr);
        std::string expected = dir + expectedEnds[index];
        EXPECT_STREQ(path, expected.c_str());
        EXPECT_EQ(chosen, index);
        EXPECT_STREQ(folder, (dir + "\\").c_str());
    }
}

TEST(FileDialog, OpenAnExistingFile) {
    std::string dir = Backslashed(MakeTestDir("file_dialog_open"));
    ASSERT_TRUE(WriteFileBytes(dir + "\\pick.bmp", "BM"));
    char folder[kCchPath];
    StrCopy(folder, sizeof folder, dir.c_str());
    DialogDriver driver([](HWND dlg) { TypeNameAndPress(dlg, "pick.bmp", IDOK); });
    const char* path = FileDialog(false, "Bitmaps\0*.bmp\0All\0*.*\0", 0, nullptr, folder, nullptr);
    driver.Join();
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, (dir + "\\pick.bmp").c_str());
    EXPECT_STREQ(folder, (dir + "\\").c_str());
}

TEST(FileDialog, CancelReturnsNullAndKeepsTheFolder) {
    std::string dir = Backslashed(MakeTestDir("file_dialog_cancel"));
    char folder[kCchPath];
    StrCopy(folder, sizeof folder, dir.c_str());
    int chosen = 77;
    DialogDriver driver([](HWND dlg) { TypeNameAndPress(dlg, "ignored", IDCANCEL); });
    const char* path = FileDialog(true, kFilter, 1, &chosen, folder, "name.jpg");
    driver.Join();
    EXPECT_TRUE(driver.Seen());
    EXPECT_EQ(path, nullptr);
    EXPECT_STREQ(folder, dir.c_str());
    EXPECT_EQ(chosen, 77);
    // An initial name that doesn't fit the 260-character buffer: no dialog.
    std::string longName(300, 'n');
    EXPECT_EQ(FileDialog(true, kFilter, 0, &chosen, folder, longName.c_str()), nullptr);
    EXPECT_STREQ(folder, dir.c_str());
}

namespace {

BOOL CALLBACK FindTreeChild(HWND hwnd, LPARAM param) {
    char cls[32];
    if (GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, WC_TREEVIEWA) == 0) {
        *(HWND*)param = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTree(HWND dlg) {
    HWND tree = nullptr;
    EnumChildWindows(dlg, FindTreeChild, (LPARAM)&tree);
    return tree;
}

// The text of a tree's selected item (the tree lives in this process).
std::string CaretText(HWND tree) {
    if (!tree)
        return "";
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    char text[kCchPath] = "";
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    if (!item || !SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv))
        return "";
    return text;
}

struct BrowseResult {
    std::string path;
    bool returned = false;
    bool centred = false;
    HRESULT afterwards = S_OK;
};

// Runs BrowseForFolder on a new thread (optionally set up by OleInitialize)
// while a helper selects `select` and presses `button`.
enum ThreadSetUp { kNoCom, kOle, kMultiThreaded };

BrowseResult BrowseOnThread(ThreadSetUp setUp, const std::string& select, int button) {
    BrowseResult res;
    std::thread worker([&]() {
        if (setUp == kOle)
            OleInitialize(nullptr);
        if (setUp == kMultiThreaded)
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        DialogDriver driver([&](HWND dlg) {
            RECT r, desk;
            GetWindowRect(dlg, &r);
            GetWindowRect(GetDesktopWindow(), &desk);
            int dx = (r.left + r.right) / 2 - (desk.left + desk.right) / 2;
            int dy = (r.top + r.bottom) / 2 - (desk.top + desk.bottom) / 2;
            res.centred = std::abs(dx) <= 1 && std::abs(dy) <= 1;
            // The tree fills after the dialog shows: select until the tree's
            // current item is the folder asked for.
            HWND tree = FindTree(dlg);
            std::string leaf = select.substr(select.find_last_of('\\') + 1);
            for (int i = 0; i < 100 && !select.empty(); i++) {
                SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, (LPARAM)select.c_str());
                if (CaretText(tree) == leaf)
                    break;
                Sleep(100);
            }
            Sleep(200);
            PostMessageA(dlg, WM_COMMAND, button, 0);
        });
        const char* p = BrowseForFolder("Pick a folder", BIF_RETURNONLYFSDIRS);
        driver.Join();
        res.returned = p != nullptr;
        if (p)
            res.path = p;
        // Still initialised as before the call?
        res.afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (res.afterwards == S_OK || res.afterwards == S_FALSE)
            CoUninitialize();
        if (setUp == kOle)
            OleUninitialize();
        if (setUp == kMultiThreaded)
            CoUninitialize();
    });
    worker.join();
    return res;
}

}  // namespace

TEST(BrowseForFolder, ChoosesCancelsAndLeavesOleAlone) {
    // A folder on C: (the tree of the Z: drive can't be read under Wine).
    char appData[kCchPath];
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_APPDATA, appData, sizeof appData));
    std::string dir = std::string(appData) + "\\vp_browse_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    BrowseResult chosen = BrowseOnThread(kNoCom, dir, IDOK);
    EXPECT_TRUE(chosen.returned);
    EXPECT_EQ(chosen.path, dir);
    EXPECT_TRUE(chosen.centred);
    EXPECT_EQ(chosen.afterwards, S_OK);  // uninitialised what it initialised

    BrowseResult cancelled = BrowseOnThread(kNoCom, dir, IDCANCEL);
    EXPECT_FALSE(cancelled.returned);

    // On a thread set up for OLE, CoInitializeEx fails (RPC_E_CHANGED_MODE):
    // the thread must stay set up after the call.
    BrowseResult underOle = BrowseOnThread(kOle, dir, IDOK);
    EXPECT_TRUE(underOle.returned);
    EXPECT_EQ(underOle.path, dir);
    EXPECT_EQ(underOle.afterwards, RPC_E_CHANGED_MODE);
    // On a multithreaded thread the same failure must leave its set-up.
    BrowseResult underMta = BrowseOnThread(kMultiThreaded, dir, IDOK);
    EXPECT_TRUE(underMta.returned);
    EXPECT_EQ(underMta.path, dir);
    EXPECT_EQ(underMta.afterwards, S_FALSE);
}

TEST(ShellUtil, SpecialFoldersPhantomWindowsAndVersions) {
    EXPECT_TRUE(CommonControlsAbove470());  // Wine's comctl32 is 5.8 or later

    char path[kCchPath];
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_APPDATA, path, sizeof path));
    DWORD attr = GetFileAttributesA(path);
    EXPECT_NE(attr, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attr & FILE_ATTRIBUTE_DIRECTORY);
    char tiny[4] = "abc";
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_APPDATA, tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "");
    EXPECT_FALSE(GetSpecialFolderPath(0x7F, path, sizeof path));
    EXPECT_STREQ(path, "");

    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MoxPhantom";
    RegisterClassA(&wc);
    HWND other = CreateWindowExA(0, PlainClass(), "Vellumor Test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    EXPECT_EQ(FindPhantomWindow("Vellumor Test"), nullptr);  // the class must match
    HWND phantom = CreateWindowExA(0, "MoxPhantom", "Vellumor Test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
    ASSERT_NE(phantom, nullptr);
    EXPECT_EQ(FindPhantomWindow("Vellumor Test"), phantom);
    EXPECT_EQ(FindPhantomWindow("Vellumor"), nullptr);
    EXPECT_EQ(FindPhantomWindow("vellumor test"), nullptr);
    DestroyWindow(phantom);
    EXPECT_EQ(FindPhantomWindow("Vellumor Test"), nullptr);
    DestroyWindow(other);
}

TEST(ShellUtil, ItemIdListsAndStrRet) {
    std::string dir = Backslashed(MakeTestDir("shell_items"));
    CoInitialize(nullptr);
    LPITEMIDLIST pidl = ILCreateFromPathA(dir.c_str());
    ASSERT_NE(pidl, nullptr);
    // Stepping through the entries adds up to the list's size.
    UINT total = 2;  // the terminator
    int entries = 0;
    for (LPCITEMIDLIST p = pidl; p && p->mkid.cb; p = NextItemId(p)) {
        total += p->mkid.cb;
        entries++;
    }
    EXPECT_EQ(total, ILGetSize(pidl));
    EXPECT_GE(entries, 3);  // drive, tmp and more
    EXPECT_EQ(NextItemId(nullptr), nullptr);

    IShellFolder* desktop = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    STRRET sr;
    ASSERT_EQ(desktop->GetDisplayNameOf(pidl, SHGDN_FORPARSING, &sr), S_OK);
    char name[kCchPath];
    EXPECT_TRUE(StrRetToAnsi(&sr, pidl, name, sizeof name));
    EXPECT_STREQ(name, dir.c_str());
    desktop->Release();
    ILFree(pidl);

    STRRET c;
    c.uType = STRRET_CSTR;
    strcpy(c.cStr, "plain");
    EXPECT_TRUE(StrRetToAnsi(&c, nullptr, name, sizeof name));
    EXPECT_STREQ(name, "plain");
    char small[4];
    EXPECT_FALSE(StrRetToAnsi(&c, nullptr, small, sizeof small));
    EXPECT_STREQ(small, "");

    BYTE item[16] = {12, 0, 'x', 'x', 'o', 'f', 'f', 's', 'e', 't', 0, 0, 0, 0};
    STRRET o;
    o.uType = STRRET_OFFSET;
    o.uOffset = 4;
    EXPECT_TRUE(StrRetToAnsi(&o, (LPCITEMIDLIST)item, name, sizeof name));
    EXPECT_STREQ(name, "offset");
    EXPECT_EQ(NextItemId((LPCITEMIDLIST)item), (LPCITEMIDLIST)(item + 12));

    STRRET w;
    w.uType = STRRET_WSTR;
    w.pOleStr = (LPWSTR)CoTaskMemAlloc(64);
    wcscpy(w.pOleStr, L"wide text");
    EXPECT_TRUE(StrRetToAnsi(&w, nullptr, name, sizeof name));
    EXPECT_STREQ(name, "wide text");
    EXPECT_EQ(w.pOleStr, nullptr);  // freed
    w.uType = STRRET_WSTR;
    w.pOleStr = (LPWSTR)CoTaskMemAlloc(64);
    wcscpy(w.pOleStr, L"too long");
    EXPECT_FALSE(StrRetToAnsi(&w, nullptr, small, sizeof small));
    EXPECT_STREQ(small, "");
    CoUninitialize();
}
