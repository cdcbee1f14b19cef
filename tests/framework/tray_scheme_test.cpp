// The colour schemes on the running main program's tray menu: for the
// schemes None, Default and Custom, at 96 and 144 DPI, the popup's
// background, border and hot entry take the scheme's colours. The expected
// colours are computed here from the formulas, on their own. Each popup is
// saved as a bitmap (in the test folder, and in VP_SHOT_DIR when set) to be
// looked at.
#include <windows.h>
// The headers below need windows.h first.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/app.h"
#include "framework/framework_messages.h"
#include "support/test_support.h"
#include "tests/framework/startup_test_util.h"

namespace {

// ---- the scheme colours, from the formulas

// Hue (degrees), lightness and saturation (0..1) of a colour.
void ToHls(COLORREF c, double* h, double* l, double* s) {
    double r = GetRValue(c) / 255.0, g = GetGValue(c) / 255.0, b = GetBValue(c) / 255.0;
    double mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    *l = (mx + mn) / 2;
    *h = *s = 0;
    if (mx == mn)
        return;
    double d = mx - mn;
    *s = *l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (r == mx)
        *h = 60 * (6 + (g - b) / d);
    else if (g == mx)
        *h = 60 * (2 + (b - r) / d);
    else
        *h = 60 * (4 + (r - g) / d);
    if (*h > 360)
        *h -= 360;
}

// Truncated; a value a rounding error below a whole byte is that byte.
int Byte(double v01) {
    return (int)(std::min(1.0, std::max(0.0, v01)) * 255.0 + 1e-9);
}

double Channel(double m1, double m2, double h) {
    while (h < 0)
        h += 360;
    while (h > 360)
        h -= 360;
    return h < 60 ? m1 + (m2 - m1) * h / 60 : h < 180 ? m2 : h < 240 ? m1 + (m2 - m1) * (240 - h) / 60 : m1;
}

// The colour with its lightness and saturation bytes scaled by 1 + l and 1 + s.
COLORREF Adjust(COLORREF c, double lf, double sf) {
    double h, l, s;
    ToHls(c, &h, &l, &s);
    // Bytes times the factors, truncated: 120 x 1.4 is 168, though 1.4 as a
    // double is a hair below it.
    int hb = Byte(h / 360), lb = std::min(255, std::max(0, (int)(Byte(l) * (1 + lf) + 1e-6)));
    int sb = std::min(255, std::max(0, (int)(Byte(s) * (1 + sf) + 1e-6)));
    double H = hb / 255.0 * 360, L = lb / 255.0, S = sb / 255.0;
    if (S == 0)
        return RGB(Byte(L), Byte(L), Byte(L));
    double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S, m1 = 2 * L - m2;
    return RGB(Byte(Channel(m1, m2, H + 120)), Byte(Channel(m1, m2, H)), Byte(Channel(m1, m2, H - 120)));
}

COLORREF Blend(double x, COLORREF a, COLORREF b) {
    auto ch = [x](int p, int q) { return (int)(p + (q - p) * x); };
    return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}

// The active caption colour the scheme starts from, and the highlight:
// the visual theme's when one is active, else the system's.
void SchemeSource(COLORREF* active, COLORREF* highlight) {
    COLORREF a = 0, gradient = 0;
    bool gradients = false;
    HMODULE lib = LoadLibraryA("UxTheme.dll");
    typedef BOOL(WINAPI * ActiveFn)();
    typedef HANDLE(WINAPI * OpenFn)(HWND, LPCWSTR);
    typedef COLORREF(WINAPI * ColorFn)(HANDLE, int);
    typedef HRESULT(WINAPI * CloseFn)(HANDLE);
    ActiveFn isActive = lib ? (ActiveFn)(void*)GetProcAddress(lib, "IsThemeActive") : nullptr;
    OpenFn open = lib ? (OpenFn)(void*)GetProcAddress(lib, "OpenThemeData") : nullptr;
    ColorFn color = lib ? (ColorFn)(void*)GetProcAddress(lib, "GetThemeSysColor") : nullptr;
    CloseFn close = lib ? (CloseFn)(void*)GetProcAddress(lib, "CloseThemeData") : nullptr;
    HANDLE theme = isActive && open && color && isActive() ? open(nullptr, L"WINDOW") : nullptr;
    if (theme) {
        a = color(theme, COLOR_ACTIVECAPTION);
        gradient = color(theme, COLOR_GRADIENTACTIVECAPTION);
        *highlight = color(theme, COLOR_HIGHLIGHT);
        gradients = true;
        if (close)
            close(theme);
    }
    if (lib)
        FreeLibrary(lib);
    if (a == 0) {
        BOOL on = FALSE;
        SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &on, 0);
        a = GetSysColor(COLOR_ACTIVECAPTION);
        gradient = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
        *highlight = GetSysColor(COLOR_HIGHLIGHT);
        gradients = on != FALSE;
    }
    *active = gradients ? Blend(0.4, a, gradient) : a;
}

struct MenuColours {
    COLORREF background;  // the menu's background
    COLORREF strip;       // the icon column at its left edge
    COLORREF light;       // its border at the top and left
    COLORREF dark;        // its border at the bottom and right
    COLORREF hotFrame;    // the frame of the entry under the mouse
};

// Mode 0 takes the system's colours; modes 1 and 2 derive them from a base
// colour: the caption's, corrected to a middle lightness, or the user's.
MenuColours Expected(int mode, const COLORREF* custom) {
    MenuColours e;
    if (mode == 0) {
        COLORREF face = GetSysColor(COLOR_BTNFACE), menu = GetSysColor(COLOR_MENU);
        e.background = (menu & 0xFFFFFF) == (face & 0xFFFFFF) ? GetSysColor(COLOR_BTNHIGHLIGHT) : menu;
        e.light = GetSysColor(COLOR_BTNHIGHLIGHT);
        e.dark = GetSysColor(COLOR_BTNSHADOW);
        e.hotFrame = GetSysColor(COLOR_ACTIVECAPTION);
        e.strip = face;
        return e;
    }
    COLORREF active, highlight, base;
    SchemeSource(&active, &highlight);
    double d = 0;
    if (mode == 2) {
        base = custom[0];
    } else {
        double h, l, s;
        ToHls(active, &h, &l, &s);
        d = 131.0 / 255.0 - Byte(l) / 255.0;
        base = Adjust(active, d + 0.4, -0.25);
    }
    e.background = Adjust(base, d + 0.4, -0.25);
    e.light = Adjust(base, d + 0.33, -0.1);
    e.dark = Adjust(base, d - 0.25, -0.8);
    e.hotFrame = Adjust(base, d - 0.5, -0.5);
    e.strip = Adjust(base, d + 0.3, 0);
    return e;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return abs(GetRValue(a) - GetRValue(b)) <= tolerance && abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string Hex(COLORREF c) {
    char b[16];
    snprintf(b, sizeof b, "%06lX", (unsigned long)(c & 0xFFFFFF));
    return b;
}

// ---- the running program

std::string Win(std::string p) {
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

// The screen's pixels of a rectangle, top-down rows of COLORREFs.
struct Shot {
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    COLORREF At(int x, int y) const { return px[(size_t)y * w + x]; }
};

Shot Grab(const RECT& r) {
    Shot s;
    s.w = r.right - r.left;
    s.h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = s.w;
    bi.bmiHeader.biHeight = -s.h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, s.w, s.h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const BYTE* p = (const BYTE*)bits;
    for (int i = 0; i < s.w * s.h; i++)
        s.px.push_back(RGB(p[i * 4 + 2], p[i * 4 + 1], p[i * 4]));
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return s;
}

// A 24-bit bottom-up BMP of the shot.
bool SaveBmp(const Shot& s, const std::string& path) {
    int stride = (s.w * 3 + 3) & ~3;
    std::string bytes(54 + (size_t)stride * s.h, '\0');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; i++)
            bytes[at + i] = (char)(v >> (8 * i));
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, (uint32_t)bytes.size(), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, (uint32_t)s.w, 4);
    put(22, (uint32_t)s.h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < s.h; y++)
        for (int x = 0; x < s.w; x++) {
            COLORREF c = s.At(x, s.h - 1 - y);
            size_t at = 54 + (size_t)y * stride + (size_t)x * 3;
            bytes[at] = (char)GetBValue(c);
            bytes[at + 1] = (char)GetGValue(c);
            bytes[at + 2] = (char)GetRValue(c);
        }
    return WriteFileBytes(path, bytes);
}

struct TrayShot {
    Shot shot;
    RECT entry;  // the first entry, in shot coordinates
    bool ok = false;
};

// Starts the program with the scheme and the DPI, opens its tray menu,
// puts the mouse on the first entry and grabs the popup.
TrayShot ShootTrayMenu(int mode, DWORD dpi, const COLORREF* custom) {
    TrayShot t;
    std::string dir = Win(MakeTestDir(("trayscheme-" + std::to_string(mode) + "-" + std::to_string(dpi)).c_str()));
    std::string data = dir + "\\data";
    CreateDirectoryA(data.c_str(), nullptr);
    InstallRecordFields fields;
    fields.installFolder = dir;
    fields.customDataFolder = data;
    SetInstallRecord("Vellumor Pro", fields);
    AppRecord rec = {};
    rec.formatVersion = 1;
    rec.colorMode = (uint8_t)mode;
    memcpy(rec.colors, custom, sizeof rec.colors);
    EXPECT_TRUE(WriteFileBytes(data + "\\(Mox)App.qcg", std::string((const char*)&rec, sizeof rec)));
    DWORD oldDpi = SetDesktopLogPixels(dpi);
    Started program = StartProgram(ProgramExe(), "", "");
    EXPECT_TRUE(program.ok);
    if (!program.ok) {
        SetDesktopLogPixels(oldDpi);
        return t;
    }
    DWORD pid = program.pi.dwProcessId;
    HWND frame = WaitForWindowOf(pid, "MoxWindow", false, 20000);
    bool shown = WaitForWindowOf(pid, "#32770", true, 20000) != nullptr;
    SetDesktopLogPixels(oldDpi);
    EXPECT_TRUE(frame && shown);
    if (frame && shown) {
        MovePointerTo({5, 5});
        Sleep(300);
        MovePointerTo({300, 200});
        PostMessageA(frame, MoxMSG_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
        HWND popup = WaitForWindowOf(pid, "MoxAppMenuPopup", true, 5000);
        EXPECT_NE(popup, nullptr);
        HWND first = popup ? GetWindow(popup, GW_CHILD) : nullptr;
        for (HWND w = first; w; w = GetWindow(w, GW_HWNDNEXT)) {
            RECT a, b;
            GetWindowRect(w, &a);
            GetWindowRect(first, &b);
            if (a.top < b.top)
                first = w;  // the entry at the top
        }
        if (popup && first) {
            RECT pr, er;
            GetWindowRect(popup, &pr);
            GetWindowRect(first, &er);
            MovePointerTo({(er.left + er.right) / 2, (er.top + er.bottom) / 2});
            Sleep(400);
            t.shot = Grab(pr);
            t.entry = {er.left - pr.left, er.top - pr.top, er.right - pr.left, er.bottom - pr.top};
            t.ok = true;
            std::string name = "tray-" +
                               std::string(mode == 0   ? "none"
                                           : mode == 1 ? "default"
                                                       : "custom") +
                               "-" + std::to_string(dpi) + ".bmp";
            EXPECT_TRUE(SaveBmp(t.shot, dir + "\\" + name));
            char keep[MAX_PATH];
            if (GetEnvironmentVariableA("VP_SHOT_DIR", keep, sizeof keep) && keep[0])
                SaveBmp(t.shot, std::string(keep) + "\\" + name);
        }
    }
    Kill(&program);
    return t;
}

}  // namespace

TEST(TraySchemes, TheSchemeColoursTheTrayMenuAtEachDpi) {
    const COLORREF custom[5] = {0xEE6E18, 0, 0x55ADFF, 0, 0};  // the record's defaults
    int heightAt96 = 0;
    for (DWORD dpi : {96u, 144u}) {
        Shot shots[3];
        for (int mode = 0; mode < 3; mode++) {
            SCOPED_TRACE("scheme " + std::to_string(mode) + " at " + std::to_string(dpi) + " DPI");
            TrayShot t = ShootTrayMenu(mode, dpi, custom);
            ASSERT_TRUE(t.ok);
            const Shot& s = t.shot;
            MenuColours e = Expected(mode, custom);
            int mid = s.h / 2;
            // Right of the entries lies the menu's background; the border
            // is light at the left and top, dark at the right and bottom;
            // the icon column starts in the strip's colour.
            EXPECT_EQ(Hex(s.At(s.w - 2, mid)), Hex(e.background));
            EXPECT_EQ(Hex(s.At(0, mid)), Hex(e.light));
            EXPECT_EQ(Hex(s.At(s.w / 2, 0)), Hex(e.light));
            EXPECT_EQ(Hex(s.At(s.w - 1, mid)), Hex(e.dark));
            EXPECT_EQ(Hex(s.At(s.w / 2, s.h - 1)), Hex(e.dark));
            EXPECT_TRUE(Near(s.At(1, mid), e.strip, 8)) << Hex(s.At(1, mid)) << " for " << Hex(e.strip);
            // The entry under the mouse has the hot frame.
            EXPECT_EQ(Hex(s.At(t.entry.left, (t.entry.top + t.entry.bottom) / 2)), Hex(e.hotFrame));
            EXPECT_EQ(Hex(s.At((t.entry.left + t.entry.right) / 2, t.entry.top)), Hex(e.hotFrame));
            shots[mode] = s;
        }
        // The three schemes change a good part of the menu.
        for (int a = 0; a < 3; a++)
            for (int b = a + 1; b < 3; b++) {
                ASSERT_EQ(shots[a].px.size(), shots[b].px.size());
                size_t differ = 0;
                for (size_t i = 0; i < shots[a].px.size(); i++)
                    differ += shots[a].px[i] != shots[b].px[i];
                EXPECT_GT(differ, shots[a].px.size() / 10) << "schemes " << a << " and " << b << " look alike";
            }
        if (dpi == 96)
            heightAt96 = shots[0].h;
        else
            EXPECT_GE(shots[0].h, heightAt96 * 4 / 3) << "the menu did not grow at 144 DPI";
    }
}
