// The running program end to end, driven as a user drives it: installed
// with its install settings record into the test prefix, options written
// beforehand, keys and mouse through SendInput, and the results read back
// from the files it writes (pixels through PIL, the option set through
// Python's zipfile).
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "base/str_util.h"
#include "capture/state/options.h"
#include "framework/message_box.h"
#include "settings/data_folders.h"
#include "tests/framework/startup_test_util.h"
#include "tests/support/test_support.h"

namespace {

const char kProduct[] = "Vellumor Pro";
const char kPassword[] = "KorTamVu82e41q";
const int kPatternX = 300, kPatternY = 200, kPatternW = 64, kPatternH = 48;
const int kTabControl = 1110;

std::string Win(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// The test pattern: no two neighbours alike, no symmetry, so a shift, flip
// or channel swap shows.
COLORREF PatternColor(int x, int y) {
    return RGB((x * 4 + y) & 0xFF, (y * 5 + 17) & 0xFF, ((x ^ y) * 3 + 90) & 0xFF);
}

LRESULT CALLBACK PatternProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        static DWORD pixels[kPatternW * kPatternH];
        for (int y = 0; y < kPatternH; y++)
            for (int x = 0; x < kPatternW; x++) {
                COLORREF c = PatternColor(x, y);
                pixels[y * kPatternW + x] = (DWORD)GetRValue(c) << 16 | (DWORD)GetGValue(c) << 8 | GetBValue(c);
            }
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = kPatternW;
        bi.bmiHeader.biHeight = -kPatternH;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        SetDIBitsToDevice(dc, 0, 0, kPatternW, kPatternH, 0, 0, 0, kPatternH, pixels, &bi, DIB_RGB_COLORS);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Keeps this process's windows painted while waiting.
void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

void Key(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = (WORD)MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (vk == VK_SNAPSHOT ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof in);
    Pump(50);
}

void Mouse(int x, int y, DWORD buttons) {
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x * 65536 + w / 2) / w;
    in.mi.dy = (y * 65536 + h / 2) / h;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &in, sizeof in);
    Pump(40);
}

struct FindWin {
    DWORD pid;
    const char* cls;
    bool visibleOnly;
    bool needBox;  // a framework message box (has the first-line static)
    HWND found;
};

BOOL CALLBACK FindWinProc(HWND hwnd, LPARAM lp) {
    FindWin* f = (FindWin*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64];
    if (pid != f->pid || !GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, f->cls) != 0)
        return TRUE;
    if (f->visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    if (f->needBox != (GetDlgItem(hwnd, IDC_MOX_MSGFIRST) != nullptr))
        return TRUE;
    f->found = hwnd;
    return FALSE;
}

// A top-level window of the process, or null after ms.
HWND WaitForWindow(DWORD pid, const char* cls, bool visibleOnly, bool box, DWORD ms) {
    DWORD start = GetTickCount();
    do {
        FindWin f = {pid, cls, visibleOnly, box, nullptr};
        EnumWindows(FindWinProc, (LPARAM)&f);
        if (f.found)
            return f.found;
        Pump(50);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

bool WaitHidden(HWND hwnd, DWORD ms) {
    DWORD start = GetTickCount();
    while (IsWindowVisible(hwnd)) {
        if (GetTickCount() - start > ms)
            return false;
        Pump(50);
    }
    return true;
}

// One installed copy of the program with its own data folder.
class E2ETest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTestDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        data = Win(PathJoin(dir, "data"));
        std::string install = Win(PathJoin(dir, "install"));
        ASSERT_EQ(RunPeer(dir, "mkdir -p data install"), 0);
        exe = install + "\\Vellumor Pro.exe";
        ASSERT_TRUE(CopyFileA(Win(ProgramExe()).c_str(), exe.c_str(), FALSE)) << GetLastError();
        InstallRecordFields fields;
        fields.installFolder = install;
        fields.customDataFolder = data;
        SetInstallRecord(kProduct, fields);
        // Records of the current format, so that nothing is reset as outdated.
        std::string app(297, '\0');
        app[4] = 1;
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "data/(Mox)App.qcg"), app));
        options = COptions();
        options.PlaySound = 0;
        options.HotKeyCapture = VK_SNAPSHOT;
        options.HotKeyVellumor = (MOD_CONTROL | MOD_ALT) << 8 | VK_F6;
        options.DefAct = kDefaultActionOn | kActSave;  // the default action on: sequential save
        options.DefColMode = 6;
        options.CapMode = kCapRectangle;
        StrFmt(options.EdtSavePath, countof(options.EdtSavePath), "%s\\shot.bmp", Win(dir).c_str());
    }
    void TearDown() override {
        Quit();
        InstallRecordFields none;
        none.size = 0;
        SetInstallRecord(kProduct, none);
    }
    void WriteOptions() {
        gOpt = options;
        StrCopy(gUserDataFolder, countof(gUserDataFolder), data.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), data.c_str());
        ExchangeOptions(kWriteOptions);
    }
    COptions ReadOptions() {
        gOpt = COptions();
        StrCopy(gUserDataFolder, countof(gUserDataFolder), data.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), data.c_str());
        ExchangeOptions(kReadOptions);
        return gOpt;
    }
    void Start(const char* args = "") {
        program = StartProgram(exe, args, "");
        ASSERT_TRUE(program.ok);
        frame = nullptr;
        for (int i = 0; i < 300 && !frame; i++)
            frame = WaitForWindow(program.pi.dwProcessId, "MoxWindow", false, false, 50);
        ASSERT_NE(frame, nullptr) << "the program's hidden frame";
    }
    // As setup stops it: WM_QUIT sent to the frame.
    void Quit() {
        if (!program.ok)
            return;
        if (frame && IsWindow(frame))
            SendMessageTimeoutA(frame, WM_QUIT, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        if (!WaitEnded(&program, 15000)) {
            ADD_FAILURE() << "the program did not end";
            Kill(&program);
        }
    }
    HWND MainDialog(DWORD ms) { return WaitForWindow(program.pi.dwProcessId, "#32770", true, false, ms); }

    std::string dir, data, exe;
    COptions options;
    Started program;
    HWND frame = nullptr;
};

}  // namespace

TEST_F(E2ETest, OptionsSurviveARestartAndOpenInZipfile) {
    options.Minutes = 17;
    options.Timer = 1;
    options.Delay = 1;
    options.DelayTime = 1500;
    options.CRFore = 0x00123456;
    StrCopy(options.LHead, countof(options.LHead), "%F left");
    WriteOptions();
    for (int run = 0; run < 2; run++) {
        Start();
        Pump(2000);
        // Read at the start, written at the end: the set is gone meanwhile.
        ASSERT_TRUE(DeleteFileA((data + "\\Options.qcg").c_str()));
        Quit();
        ASSERT_TRUE(FileExists(PathJoin(dir, "data/Options.qcg"))) << "written at the end, run " << run;
        COptions back = ReadOptions();
        EXPECT_EQ(back.Minutes, 17);
        EXPECT_EQ(back.Timer, 1);
        EXPECT_EQ(back.Delay, 1);
        EXPECT_EQ(back.DelayTime, 1500);
        EXPECT_EQ(back.CRFore, 0x00123456u);
        EXPECT_STREQ(back.LHead, "%F left");
        EXPECT_STREQ(back.EdtSavePath, options.EdtSavePath);
        EXPECT_EQ(back.HotKeyCapture, options.HotKeyCapture);
        EXPECT_EQ(back.HotKeyVellumor, options.HotKeyVellumor);
    }
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      std::string("/usr/bin/python3 -c \"import zipfile;z=zipfile.ZipFile('data/Options.qcg');"
                                  "z.setpassword(b'") +
                          kPassword + "');print(z.read(z.infolist()[0]).decode('latin-1'))\"",
                      &out),
              0)
        << out;
    EXPECT_NE(out.find("Minutes=17"), std::string::npos) << out;
    EXPECT_NE(out.find("DelayTime=1500"), std::string::npos) << out;
}

TEST_F(E2ETest, CaptureHotKeyDragAndSequentialSave) {
    WriteOptions();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PatternProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "E2EPattern";
    RegisterClassA(&wc);
    HWND pattern = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "E2EPattern", "", WS_POPUP | WS_VISIBLE, kPatternX,
                                   kPatternY, kPatternW, kPatternH, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(pattern, nullptr);
    Pump(300);

    Start();
    HWND dialog = MainDialog(15000);
    ASSERT_NE(dialog, nullptr) << "the main dialog shows at start";
    Pump(500);

    // The capture key hides the visible dialog first, then opens the overlay.
    Key(VK_SNAPSHOT, false);
    Key(VK_SNAPSHOT, true);
    HWND overlay = WaitForWindow(program.pi.dwProcessId, "VellumorProCaptureWnd", true, false, 10000);
    ASSERT_NE(overlay, nullptr) << "the overlay opens";
    EXPECT_FALSE(IsWindowVisible(dialog));
    Pump(500);

    // Drag the pattern's rectangle: the pick is inclusive of the end point.
    Mouse(kPatternX, kPatternY, 0);
    Mouse(kPatternX, kPatternY, MOUSEEVENTF_LEFTDOWN);
    for (int i = 1; i <= 4; i++)
        Mouse(kPatternX + (kPatternW - 1) * i / 4, kPatternY + (kPatternH - 1) * i / 4, 0);
    Mouse(kPatternX + kPatternW - 1, kPatternY + kPatternH - 1, MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(WaitHidden(overlay, 10000) || !IsWindow(overlay));

    std::string shot = PathJoin(dir, "shot0001.bmp");
    for (int i = 0; i < 100 && !FileExists(shot); i++)
        Pump(100);
    ASSERT_TRUE(FileExists(shot)) << "the sequential save wrote the first number";
    Pump(500);
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "/usr/bin/python3 -c \"from PIL import Image;im=Image.open('shot0001.bmp').convert('RGB');"
                      "print(im.size[0],im.size[1]);open('pixels.raw','wb').write(im.tobytes())\"",
                      &out),
              0)
        << out;
    EXPECT_EQ(out.substr(0, out.find('\n')), std::to_string(kPatternW) + " " + std::to_string(kPatternH));
    std::string px;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "pixels.raw"), &px));
    ASSERT_EQ(px.size(), (size_t)kPatternW * kPatternH * 3);
    int wrong = 0;
    for (int y = 0; y < kPatternH; y++)
        for (int x = 0; x < kPatternW; x++) {
            const unsigned char* p = (const unsigned char*)px.data() + (y * kPatternW + x) * 3;
            COLORREF c = PatternColor(x, y);
            if (p[0] != GetRValue(c) || p[1] != GetGValue(c) || p[2] != GetBValue(c)) {
                if (wrong++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << (int)p[0] << " " << (int)p[1] << " "
                                  << (int)p[2];
            }
        }
    EXPECT_EQ(wrong, 0);

    // The show key brings the dialog back.
    Key(VK_CONTROL, false);
    Key(VK_MENU, false);
    Key(VK_F6, false);
    Key(VK_F6, true);
    Key(VK_MENU, true);
    Key(VK_CONTROL, true);
    EXPECT_NE(MainDialog(5000), nullptr) << "the show hot key";
    DestroyWindow(pattern);
}

TEST_F(E2ETest, TakenHotKeyIsReportedAndOpensTheOptionsTab) {
    WriteOptions();
    // Another program holds Print Screen.
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, 0, VK_SNAPSHOT));
    Start();
    HWND box = WaitForWindow(program.pi.dwProcessId, "#32770", true, true, 15000);
    ASSERT_NE(box, nullptr) << "message 5070";
    std::string text = ControlText(box, IDC_MOX_MSGFIRST) + " " + ControlText(box, IDC_MOX_MSGREST);
    EXPECT_NE(text.find("The specified Capture Hot-Key could not be set!"), std::string::npos) << text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 100; i++) {
        dialog = MainDialog(100);
        if (dialog && SendDlgItemMessageA(dialog, kTabControl, TCM_GETCURSEL, 0, 0) == 1)
            break;
    }
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendDlgItemMessageA(dialog, kTabControl, TCM_GETCURSEL, 0, 0), 1) << "the Options tab";
    UnregisterHotKey(nullptr, 1);
    Quit();
    EXPECT_EQ(ReadOptions().HotKeyCapture, VK_SNAPSHOT) << "a key held by another program for now is kept";
}
