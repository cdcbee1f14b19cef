// The running main program: its tray menu opened through the tray
// callback of the hidden frame window, driven with SendInput like a user
// would; and what its start-up shows.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "capture/resource.h"
#include "framework/framework_messages.h"
#include "framework/message_box.h"
#include "gdi_objects.h"
#include "support/test_support.h"
#include "tests/framework/startup_test_util.h"

namespace {

std::string Win(std::string p) {
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

struct Found {
    DWORD pid;
    const char* cls;  // null: any class
    bool visibleOnly;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp) {
    Found* f = (Found*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (pid == f->pid && (!f->cls || strcmp(cls, f->cls) == 0) && (!f->visibleOnly || IsWindowVisible(hwnd)))
        f->windows.push_back(hwnd);
    return TRUE;
}

HWND FindOf(DWORD pid, const char* cls, bool visibleOnly, DWORD waitMs = 0) {
    DWORD start = GetTickCount();
    do {
        Found f = {pid, cls, visibleOnly, {}};
        EnumWindows(CollectTopLevel, (LPARAM)&f);
        if (!f.windows.empty())
            return f.windows[0];
        Sleep(20);
    } while (GetTickCount() - start < waitMs);
    return nullptr;
}

BOOL CALLBACK CountChild(HWND, LPARAM lp) {
    ++*(int*)lp;
    return TRUE;
}

// Every window of the process, top-level and child.
int WindowCount(DWORD pid) {
    Found f = {pid, nullptr, false, {}};
    EnumWindows(CollectTopLevel, (LPARAM)&f);
    int n = (int)f.windows.size();
    for (HWND w : f.windows)
        EnumChildWindows(w, CountChild, (LPARAM)&n);
    return n;
}

void Key(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(80);
}

// Moves the cursor and waits until the system reports it there.
// Moves the pointer by real input first: a bare SetCursorPos is not always
// seen by the program's process before its next message.
void MoveCursor(POINT pt) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in.mi.dx = (LONG)((pt.x * 65535LL + (w - 1) / 2) / (w - 1));
    in.mi.dy = (LONG)((pt.y * 65535LL + (h - 1) / 2) / (h - 1));
    SendInput(1, &in, sizeof in);
    DWORD start = GetTickCount();
    POINT now;
    do {
        SetCursorPos(pt.x, pt.y);
        Sleep(30);
        GetCursorPos(&now);
    } while ((now.x != pt.x || now.y != pt.y) && GetTickCount() - start < 2000);
    Sleep(100);
}

void ClickAt(int x, int y) {
    MoveCursor({x, y});
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    Sleep(60);
    SendInput(1, &in[1], sizeof(INPUT));
    Sleep(150);
}

bool WaitFor(bool (*test)(HWND), HWND hwnd, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        if (test(hwnd))
            return true;
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return test(hwnd);
}
bool Visible(HWND h) {
    return IsWindowVisible(h) != FALSE;
}
bool Hidden(HWND h) {
    return !IsWindowVisible(h);
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
    if (GetParent(hwnd) == ((std::vector<HWND>*)lp)->front())
        ((std::vector<HWND>*)lp)->push_back(hwnd);
    return TRUE;
}

// The popup's entries from the top.
std::vector<HWND> Entries(HWND popup) {
    std::vector<HWND> all = {popup};
    EnumChildWindows(popup, CollectChild, (LPARAM)&all);
    all.erase(all.begin());
    std::sort(all.begin(), all.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    return all;
}

class TrayMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string dir = Win(MakeTestDir("traymenu"));
        InstallRecordFields fields;
        fields.installFolder = dir;
        fields.customDataFolder = Win(PathJoin(dir, "data"));
        SetInstallRecord("Vellumor Pro", fields);
        program_ = StartProgram(ProgramExe(), "", "");
        ASSERT_TRUE(program_.ok);
        pid_ = program_.pi.dwProcessId;
        dialog_ = FindOf(pid_, "#32770", true, 20000);
        ASSERT_NE(dialog_, nullptr) << "the main dialog shows at start";
        frame_ = FindOf(pid_, "MoxWindow", false, 5000);
        ASSERT_NE(frame_, nullptr);
        char title[64] = "";
        GetWindowTextA(frame_, title, sizeof title);
        EXPECT_STREQ(title, "Vellumor Pro");
        EXPECT_FALSE(IsWindowVisible(frame_)) << "the frame window stays hidden";
        // The program's first look at the pointer may come before Wine has
        // told it of any move: move once and give it time to see the move.
        MoveCursor({5, 5});
        Sleep(500);
    }
    void TearDown() override {
        if (program_.ok) {
            PostMessageA(frame_, MoxMSG_QUIT, 0, 0);
            if (!WaitEnded(&program_, 10000))
                Kill(&program_);
        }
    }
    // Opens the tray menu with the cursor at pt; its popup window.
    HWND Open(POINT pt) {
        MoveCursor(pt);
        PostMessageA(frame_, MoxMSG_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
        return FindOf(pid_, "MoxAppMenuPopup", true, 3000);
    }
    void HideDialog() {
        PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(WaitFor(Hidden, dialog_, 3000));
    }
    Started program_;
    DWORD pid_ = 0;
    HWND dialog_ = nullptr, frame_ = nullptr;
};

}  // namespace

TEST_F(TrayMenuTest, OpensAtTheCursorAndFlipsAtTheEdges) {
    HWND popup = Open({200, 150});
    ASSERT_NE(popup, nullptr);
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 150);
    std::vector<HWND> entries = Entries(popup);
    ASSERT_EQ(entries.size(), 5u) << "Capture Now!, Show, separator, Display Help, Quit";
    RECT item, separator;
    GetWindowRect(entries[0], &item);
    GetWindowRect(entries[2], &separator);
    EXPECT_LT(separator.bottom - separator.top, item.bottom - item.top) << "the third entry is the separator";
    Key(VK_ESCAPE);
    EXPECT_TRUE(WaitFor(Hidden, popup, 2000)) << "Escape closes the menu";

    // Near the right and bottom edges it opens to the left and upwards.
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    POINT corner = {w - 3, h - 3};
    popup = Open(corner);
    ASSERT_NE(popup, nullptr);
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.right, corner.x);
    EXPECT_EQ(r.bottom, corner.y);
    EXPECT_GT(r.right - r.left, 20);
    Key(VK_ESCAPE);
    popup = Open({w - 3, 100});
    ASSERT_NE(popup, nullptr);
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.right, w - 3);
    EXPECT_EQ(r.top, 100);
    Key(VK_ESCAPE);
    popup = Open({100, h - 3});
    ASSERT_NE(popup, nullptr);
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.bottom, h - 3);
    Key(VK_ESCAPE);
}

TEST_F(TrayMenuTest, KeysAndClicksRunTheEntries) {
    // Down, Down: "Show".
    HideDialog();
    HWND popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_TRUE(WaitFor(Hidden, popup, 2000));
    EXPECT_TRUE(WaitFor(Visible, dialog_, 3000)) << "Show shows the main dialog";

    // Down three times passes the separator: "Display Help". The manual is
    // missing here, so the program says so; while that box is open, tray
    // clicks do nothing.
    popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
    HWND box = nullptr;
    DWORD start = GetTickCount();
    while (!box && GetTickCount() - start < 5000) {
        Found f = {pid_, "#32770", true, {}};
        EnumWindows(CollectTopLevel, (LPARAM)&f);
        for (HWND c : f.windows)
            if (c != dialog_)
                box = c;
        Sleep(50);
    }
    ASSERT_NE(box, nullptr) << "Display Help opened no manual and no message";
    std::string text = ControlText(box, IDC_MOX_MSGFIRST) + ControlText(box, IDC_MOX_MSGREST);
    EXPECT_NE(text.find("Vellumor Pro.chm"), std::string::npos) << text;
    SetCursorPos(320, 220);
    PostMessageA(frame_, MoxMSG_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    Sleep(400);
    EXPECT_EQ(FindOf(pid_, "MoxAppMenuPopup", true), nullptr) << "no tray menu over a modal box";
    PostMessageA(frame_, MoxMSG_TRAYNOTIFY, 0, WM_LBUTTONDOWN);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor(Hidden, box, 3000));

    // Up moves back over the separator to "Show"; a click runs an entry too.
    HideDialog();
    popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_UP);
    Key(VK_RETURN);
    EXPECT_TRUE(WaitFor(Visible, dialog_, 3000)) << "Up then Enter ran Show";
    HideDialog();
    popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    RECT show;
    GetWindowRect(Entries(popup)[1], &show);
    ClickAt((show.left + show.right) / 2, (show.top + show.bottom) / 2);
    EXPECT_TRUE(WaitFor(Hidden, popup, 2000));
    EXPECT_TRUE(WaitFor(Visible, dialog_, 3000)) << "a click on Show";

    // A click outside the menu closes it and runs nothing.
    RECT d;
    GetWindowRect(dialog_, &d);
    popup = Open({d.right + 20 < GetSystemMetrics(SM_CXSCREEN) - 150 ? d.right + 20 : 5, d.top});
    ASSERT_NE(popup, nullptr);
    RECT about;
    GetWindowRect(GetDlgItem(dialog_, IDC_ABOUT), &about);
    ClickAt(about.right + 20, (about.top + about.bottom) / 2);  // the dialog, beside its buttons
    EXPECT_TRUE(WaitFor(Hidden, popup, 2000)) << "an outside click closes the menu";
    EXPECT_TRUE(IsWindowVisible(dialog_));

    // Quit ends the program without a question.
    popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    Key(VK_UP);  // wraps to the last entry
    Key(VK_RETURN);
    EXPECT_TRUE(WaitEnded(&program_, 10000)) << "Quit Vellumor Pro ends the process";
}

TEST_F(TrayMenuTest, OpeningItAgainAndAgainLeavesNothingBehind) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid_);
    ASSERT_NE(process, nullptr);
    // The first openings make what the program keeps (fonts, brushes).
    HWND popup = Open({250, 180});
    ASSERT_NE(popup, nullptr);
    for (int i = 0; i < 10; i++)
        SendMessageA(frame_, MoxMSG_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    Key(VK_DOWN);
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitFor(Hidden, popup, 2000));
    popup = Open({250, 180});
    ASSERT_NE(popup, nullptr);
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitFor(Hidden, popup, 2000));
    int windows = WindowCount(pid_);
    int gdi = GdiObjectCount(process);
    Sleep(300);
    EXPECT_EQ(GdiObjectCount(process), gdi) << "a steady count while nothing happens";
    // Sent, so that each opening has finished before the next; every
    // opening closes the one before.
    for (int i = 0; i < 200; i++)
        SendMessageA(frame_, MoxMSG_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    popup = FindOf(pid_, "MoxAppMenuPopup", true, 2000);
    ASSERT_NE(popup, nullptr) << "the program still answers";
    SendMessageA(frame_, WM_NULL, 0, 0);
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitFor(Hidden, popup, 2000));
    EXPECT_EQ(WindowCount(pid_), windows);
    if (gdi >= 0) {
        EXPECT_GT(gdi, 0);
        EXPECT_EQ(GdiObjectCount(process), gdi) << "GDI objects before the 200 openings";
    } else {
        ADD_FAILURE() << "the GDI handle table of the program could not be read";
    }
    CloseHandle(process);
}

namespace {
// The Print Screen key as a keyboard sends it (extended, with its scan code).
void PrintScreen() {
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = VK_SNAPSHOT;
        i.ki.wScan = (WORD)MapVirtualKeyA(VK_SNAPSHOT, MAPVK_VK_TO_VSC);
        i.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
    }
    in[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(80);
}
}  // namespace

// While the program's own menu is open, the capture key starts nothing:
// the capture would freeze the open menu into the picture. Once the menu
// is closed the same key opens the capture.
TEST_F(TrayMenuTest, ItsOwnMenuKeepsTheCaptureKeyFromStartingACapture) {
    HideDialog();
    HWND popup = Open({300, 200});
    ASSERT_NE(popup, nullptr);
    PrintScreen();
    SendMessageA(frame_, WM_NULL, 0, 0);  // the key's message has been handled
    Sleep(1000);
    EXPECT_EQ(FindOf(pid_, "VellumorProCaptureWnd", true), nullptr) << "a capture started over the open menu";
    Key(VK_ESCAPE);
    Key(VK_ESCAPE);
    ASSERT_TRUE(WaitFor(Hidden, popup, 2000));

    PrintScreen();
    HWND overlay = FindOf(pid_, "VellumorProCaptureWnd", true, 5000);
    ASSERT_NE(overlay, nullptr) << "the capture key works once the menu is closed";
    Key(VK_ESCAPE);
    EXPECT_TRUE(WaitFor(Hidden, overlay, 3000)) << "Escape ends the capture";
}
