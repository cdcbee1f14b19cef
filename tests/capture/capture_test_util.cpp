#include "capture_test_util.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <thread>

#include "capture/app_texts.h"
#include "capture/grab/overlay.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "framework/message_box.h"

namespace {

const char kPatternClass[] = "VpTestPattern";
const char kColorClass[] = "VpTestColor";

LRESULT CALLBACK PatternProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        int w = rc.right, h = rc.bottom;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        std::string px((size_t)w * h * 4, '\0');
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                COLORREF c = PatternColor(x, y);
                BYTE* p = (BYTE*)&px[((size_t)y * w + x) * 4];
                p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 0;
            }
        SetDIBitsToDevice(dc, 0, 0, (DWORD)w, (DWORD)h, 0, 0, 0, (UINT)h, px.data(), &bi, DIB_RGB_COLORS);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ColorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH b = CreateSolidBrush((COLORREF)GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        FillRect((HDC)wp, &rc, b);
        DeleteObject(b);
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void SendMouse(DWORD flags, int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        in.mi.dx = (LONG)(((long long)x * 65536 + w - 1) / w);
        in.mi.dy = (LONG)(((long long)y * 65536 + h - 1) / h);
    }
    SendInput(1, &in, sizeof in);
}

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32];
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
        strcmp(cls, "#32770") == 0) {
        *(HWND*)lp = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::string ItemText(HWND dlg, int id) {
    char t[1024] = "";
    GetDlgItemTextA(dlg, id, t, sizeof t);
    return t;
}

}  // namespace

void InitCaptureApp() {
    static bool once = false;
    if (!once) {
        once = true;
        gApp.instance = GetModuleHandleA(nullptr);
        strcpy(gApp.productName, "Vellumor Pro");
        gApp.strings.SetAppTable(0, gAppTexts);
        EnsureWindowClass(kCaptureClassName, CaptureWndProc, IDC_CROSS, nullptr, nullptr);
        EnsureWindowClass(kPatternClass, PatternProc, IDC_ARROW, nullptr, nullptr);
        EnsureWindowClass(kColorClass, ColorProc, IDC_ARROW, nullptr, nullptr);
    }
    gOpt = COptions();
    gOpt.PlaySound = 0;
    gOpt.DefAct = 0;
}

COLORREF PatternColor(int x, int y) {
    return RGB((x * 7 + y) & 0xFF, (y * 5 + 3 * x + 17) & 0xFF, (x * y + 2 * x + 101) & 0xFF);
}

HWND ShowPatternWindow(int x, int y, int w, int h) {
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPatternClass, "pattern", WS_POPUP, x, y, w, h,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    UpdateWindow(hwnd);
    PumpFor(200);
    return hwnd;
}

HWND ShowColorWindow(int x, int y, int w, int h, COLORREF color, bool topmost) {
    HWND hwnd = CreateWindowExA((topmost ? WS_EX_TOPMOST : 0) | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kColorClass,
                                "color", WS_POPUP, x, y, w, h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)color);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    PumpFor(150);
    return hwnd;
}

HWND AddColorChild(HWND parent, int x, int y, int w, int h, COLORREF color) {
    HWND hwnd =
        CreateWindowExA(0, kColorClass, "", WS_CHILD, x, y, w, h, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)color);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    PumpFor(150);
    return hwnd;
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    DWORD end = GetTickCount() + (DWORD)ms;
    while (!done()) {
        if ((int)(end - GetTickCount()) <= 0)
            return done();
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done())
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

void MouseTo(int x, int y) {
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    Sleep(60);
    POINT p;
    if (GetCursorPos(&p) && (p.x != x || p.y != y)) {  // rounding of the absolute scale
        SetCursorPos(x, y);
        Sleep(60);
    }
}

void MouseButton(bool left, bool down) {
    DWORD f = left ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                   : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
    SendMouse(f, 0, 0);
    Sleep(80);
}

void Click(int x, int y) {
    MouseTo(x, y);
    MouseButton(true, true);
    MouseButton(true, false);
}

void Key(WORD vk, bool shift) {
    INPUT in[4] = {};
    int n = 0;
    if (shift) {
        in[n].type = INPUT_KEYBOARD;
        in[n++].ki.wVk = VK_SHIFT;
    }
    in[n].type = INPUT_KEYBOARD;
    in[n++].ki.wVk = vk;
    in[n].type = INPUT_KEYBOARD;
    in[n].ki.wVk = vk;
    in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    if (shift) {
        in[n].type = INPUT_KEYBOARD;
        in[n].ki.wVk = VK_SHIFT;
        in[n++].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput((UINT)n, in, sizeof(INPUT));
    Sleep(80);
}

COLORREF PixelAt(const CRaster& img, int x, int yTop) {
    RGBQUAD q = img.GetPixelColor(x, img.Height() - 1 - yTop);
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

int CountPatternDiff(const CRaster& img, int x0, int y0, std::string* where) {
    int n = 0;
    for (int y = 0; y < img.Height(); y++)
        for (int x = 0; x < img.Width(); x++) {
            COLORREF want = PatternColor(x0 + x, y0 + y), got = PixelAt(img, x, y);
            if (want != got && n++ == 0 && where) {
                char t[128];
                snprintf(t, sizeof t, "image (%d,%d): %06lx, pattern (%d,%d): %06lx", x, y, (unsigned long)got, x0 + x,
                         y0 + y, (unsigned long)want);
                *where = t;
            }
        }
    return n;
}

HWND FindProcessDialog() {
    HWND found = nullptr;
    EnumWindows(FindDialogProc, (LPARAM)&found);
    return found;
}

HWND WaitForProcessDialog(int ms) {
    for (int i = 0; i < ms / 25; i++) {
        HWND d = FindProcessDialog();
        if (d)
            return d;
        Sleep(25);
    }
    return nullptr;
}

void SetTestCapture() {
    ClearImage();
    gImage.Create(40, 30, 24, 0);
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            gImage.SetPixelColor(x, y, RGBQUAD{(BYTE)(x * 6), (BYTE)(y * 8), (BYTE)(x ^ y), 0});
    gColorMode = 5;
    gEdited = false;
}

HWND FindEdit(HWND parent) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32];
        GetClassNameA(c, cls, sizeof cls);
        if (_stricmp(cls, "Edit") == 0 && IsWindowVisible(c))
            return c;
        HWND e = FindEdit(c);
        if (e)
            return e;
    }
    return nullptr;
}

std::string WithMessageBox(const std::function<void()>& call, int button, int ms) {
    std::string text;
    std::thread driver([&] {
        HWND box = WaitForProcessDialog(ms);
        if (!box)
            return;
        Sleep(100);
        text = ItemText(box, IDC_MOX_MSGFIRST);
        std::string rest = ItemText(box, IDC_MOX_MSGREST);
        if (!rest.empty())
            text += "\n" + rest;
        PostMessageA(box, WM_COMMAND, (WPARAM)button, 0);
        // Gone before the caller looks for the next dialog, which might
        // otherwise be this box again.
        for (int i = 0; i < 500 && IsWindow(box); i++)
            Sleep(10);
    });
    call();
    driver.join();
    return text;
}

bool PutOnClipboard(UINT format, HGLOBAL block) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    bool ok = SetClipboardData(format, block) != nullptr;
    CloseClipboard();
    return ok;
}

HGLOBAL TextBlock(const std::string& text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    return h;
}

std::string WinPath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}
