// Visuals under Wine: the colour scheme of every mode against the formulas
// for known system colours, fonts at 96 and 144 DPI, every primitive drawn
// into a 32-bit DIB section and read back, tinted icons and icon drawing.
#include "framework/visuals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/color_util.h"
#include "framework/framework_messages.h"

namespace {

// A 32-bit top-down DIB section in its own DC; Px reads a COLORREF.
struct Dib {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
    int w = 0, h = 0;
    Dib(int width, int height, COLORREF fill) : w(width), h(height) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = (DWORD*)p;
        old = SelectObject(dc, bmp);
        Fill(fill);
    }
    ~Dib() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    void Fill(COLORREF c) {
        for (int i = 0; i < w * h; i++)
            bits[i] = SwapRedBlue(c);
    }
    COLORREF Px(int x, int y) const {
        GdiFlush();
        return SwapRedBlue(bits[y * w + x]);
    }
    void Set(int x, int y, COLORREF c) { bits[y * w + x] = SwapRedBlue(c); }
    // Bounding box of pixels that differ from bg; empty when none.
    RECT Painted(COLORREF bg) const {
        RECT r = {w, h, 0, 0};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (Px(x, y) != bg) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        return r;
    }
};

std::string Hex(COLORREF c) {
    char b[16];
    snprintf(b, sizeof b, "%06lX", (unsigned long)(c & 0xFFFFFF));
    return b;
}

// Reference blend and adjustment, written from the formulas.
COLORREF RefBlend(double x, COLORREF a, COLORREF b) {
    auto ch = [x](int p, int q) { return (int)(p + (q - p) * x); };
    return RGB(ch(GetRValue(a), GetRValue(b)), ch(GetGValue(a), GetGValue(b)), ch(GetBValue(a), GetBValue(b)));
}
COLORREF RefAdj(COLORREF c, double l, double s) {
    return AdjustColorHls(c, 0.0, l, s);
}

// System colours set for a test and restored afterwards.
class SysColors {
  public:
    SysColors() {
        for (int i = 0; i < kCount; i++)
            saved_[i] = GetSysColor(kIds[i]);
    }
    ~SysColors() { SetSysColors(kCount, kIds, saved_); }
    void Set(int id, COLORREF c) { SetSysColors(1, &id, &c); }

  private:
    static constexpr int kCount = 15;
    static constexpr INT kIds[kCount] = {COLOR_ACTIVECAPTION,
                                         COLOR_INACTIVECAPTION,
                                         COLOR_GRADIENTACTIVECAPTION,
                                         COLOR_GRADIENTINACTIVECAPTION,
                                         COLOR_HIGHLIGHT,
                                         COLOR_HIGHLIGHTTEXT,
                                         COLOR_MENUTEXT,
                                         COLOR_BTNFACE,
                                         COLOR_3DLIGHT,
                                         COLOR_BTNHIGHLIGHT,
                                         COLOR_BTNSHADOW,
                                         COLOR_WINDOW,
                                         COLOR_MENU,
                                         COLOR_GRAYTEXT,
                                         COLOR_WINDOWTEXT};
    COLORREF saved_[kCount];
};
constexpr INT SysColors::kIds[];

// The colours the scheme starts from: the visual theme's when one is
// active (read through uxtheme as the system offers them), else the system's.
struct Source {
    COLORREF A, I, H, menuText, hlText, gradA, gradI;
    bool gradients;
    bool theme;
};

Source ReadSource(bool allowTheme) {
    Source src = {};
    HMODULE lib = LoadLibraryA("UxTheme.dll");
    typedef BOOL(WINAPI * ActiveFn)();
    typedef HANDLE(WINAPI * OpenFn)(HWND, LPCWSTR);
    typedef COLORREF(WINAPI * ColorFn)(HANDLE, int);
    typedef HRESULT(WINAPI * CloseFn)(HANDLE);
    if (lib && allowTheme) {
        ActiveFn active = (ActiveFn)(void*)GetProcAddress(lib, "IsThemeActive");
        OpenFn open = (OpenFn)(void*)GetProcAddress(lib, "OpenThemeData");
        ColorFn color = (ColorFn)(void*)GetProcAddress(lib, "GetThemeSysColor");
        CloseFn close = (CloseFn)(void*)GetProcAddress(lib, "CloseThemeData");
        HANDLE theme = active && open && color && active() ? open(nullptr, L"WINDOW") : nullptr;
        if (theme) {
            src = {color(theme, 2),
                   color(theme, 3),
                   color(theme, 13),
                   color(theme, 7),
                   color(theme, 14),
                   color(theme, 27),
                   color(theme, 28),
                   true,
                   true};
            close(theme);
        }
    }
    if (lib)
        FreeLibrary(lib);
    if (src.A == 0) {
        BOOL grad = FALSE;
        SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &grad, 0);
        src = {GetSysColor(COLOR_ACTIVECAPTION),
               GetSysColor(COLOR_INACTIVECAPTION),
               GetSysColor(COLOR_HIGHLIGHT),
               GetSysColor(COLOR_MENUTEXT),
               GetSysColor(COLOR_HIGHLIGHTTEXT),
               GetSysColor(COLOR_GRADIENTACTIVECAPTION),
               GetSysColor(COLOR_GRADIENTINACTIVECAPTION),
               grad != 0,
               false};
    }
    return src;
}

// The expected table of a mode (0, 1 or 2) from the current colours.
std::vector<COLORREF> ExpectedScheme(int mode, const COLORREF* custom) {
    Source src = ReadSource(mode != 0);
    COLORREF A = src.A, I = src.I;
    if (src.gradients) {
        A = RefBlend(0.4, A, src.gradA);
        I = RefBlend(0.6, I, src.gradI);
    }
    COLORREF base, H, text, htext;
    double d;
    if (mode == 2) {
        base = custom[0];
        H = custom[2];
        text = custom[3];
        htext = custom[4];
        d = 0;
    } else {
        int lightness = (ColorRefToHls(A) >> 8) & 0xFF;
        d = 131.0 / 255.0 - lightness / 255.0;
        base = RefAdj(A, d + 0.4, -0.25);
        H = src.H;
        text = src.menuText;
        htext = src.hlText;
    }
    std::vector<COLORREF> e(58, 0);
    auto sys = [](int id) { return GetSysColor(id); };
    const double L[8] = {-0.2, -0.1, 0, -0.1, -0.3, -0.2, -0.1, -0.2};
    for (int i = 0; i < 8; i++) {
        e[10 + i] = RefAdj(A, L[i], 0.2);
        e[18 + i] = RefAdj(I, L[i], -0.2);
    }
    e[4] = text;
    e[5] = htext;
    e[6] = sys(COLOR_WINDOW);
    e[46] = sys(COLOR_HIGHLIGHT);
    e[47] = sys(COLOR_WINDOW);
    e[48] = sys(COLOR_HIGHLIGHTTEXT);
    e[49] = sys(COLOR_MENUTEXT);
    e[50] = sys(COLOR_GRAYTEXT);
    e[57] = sys(COLOR_BTNFACE);
    if (mode == 0) {
        e[0] = sys(COLOR_BTNFACE);
        e[1] = sys(COLOR_3DLIGHT);
        e[2] = sys(COLOR_BTNHIGHLIGHT);
        e[3] = sys(COLOR_BTNSHADOW);
        e[26] = e[3];
        e[27] = e[2];
        e[28] = e[32] = e[39] = e[2];
        e[29] = e[31] = e[40] = e[3];
        for (int i : {30, 35, 33, 36, 34, 37, 51})
            e[i] = sys(COLOR_BTNFACE);
        e[38] = (sys(COLOR_MENU) & 0xFFFFFF) == (e[33] & 0xFFFFFF) ? sys(COLOR_BTNHIGHLIGHT) : sys(COLOR_MENU);
        e[41] = e[42] = RefBlend(0.75, sys(COLOR_ACTIVECAPTION), sys(COLOR_BTNFACE));
        e[43] = e[44] = RefBlend(0.85, sys(COLOR_ACTIVECAPTION), sys(COLOR_BTNFACE));
        e[45] = sys(COLOR_ACTIVECAPTION);
        e[52] = sys(COLOR_BTNHIGHLIGHT);
        e[53] = sys(COLOR_BTNSHADOW);
    } else {
        e[0] = RefAdj(base, d + 0.2, -0.3);
        e[1] = e[2] = RefAdj(base, d + 0.33, -0.1);
        e[3] = RefAdj(base, d - 0.25, -0.8);
        e[26] = RefAdj(base, d - 0.6, -0.1);
        e[27] = RefAdj(base, d + 0.35, -0.1);
        e[28] = e[32] = e[39] = e[1];
        e[29] = e[31] = e[40] = e[3];
        e[30] = e[35] = e[0];
        e[33] = e[36] = RefAdj(base, d + 0.3, 0);
        e[34] = e[37] = RefAdj(base, 0, 0);
        e[38] = RefAdj(base, d + 0.4, -0.25);
        e[41] = RefAdj(H, d + 0.3, 0);
        e[42] = RefAdj(H, 0, 0);
        e[43] = RefAdj(H, d + 0.4, 0);
        e[44] = RefAdj(H, d + 0.2, 0);
        e[45] = RefAdj(base, d - 0.5, -0.5);
        e[51] = RefAdj(base, d + 0.35, -0.4);
        e[52] = RefAdj(e[51], d + 0.4, -0.2);
        e[53] = RefAdj(e[51], d - 0.2, -0.6);
    }
    const double F[3] = {-0.2, -0.05, 0.05};
    for (int i = 0; i < 3; i++)
        e[54 + i] = RefAdj(e[0], F[i], -0.3);
    return e;
}

void ExpectScheme(const CVisuals& v, const std::vector<COLORREF>& e, const char* what) {
    for (int i = 0; i < 58; i++) {
        if (i >= 7 && i <= 9)
            continue;
        EXPECT_EQ(Hex(e[i]), Hex(v.Color(i))) << what << " scheme colour " << i;
    }
}

void SetKnownColors(SysColors& sc) {
    sc.Set(COLOR_ACTIVECAPTION, RGB(0x20, 0x50, 0xC0));
    sc.Set(COLOR_INACTIVECAPTION, RGB(0x90, 0x98, 0xA0));
    sc.Set(COLOR_GRADIENTACTIVECAPTION, RGB(0x60, 0xA0, 0xF0));
    sc.Set(COLOR_GRADIENTINACTIVECAPTION, RGB(0xC8, 0xD0, 0xD8));
    sc.Set(COLOR_HIGHLIGHT, RGB(0x31, 0x6A, 0xC5));
    sc.Set(COLOR_HIGHLIGHTTEXT, RGB(0xFF, 0xFE, 0xFD));
    sc.Set(COLOR_MENUTEXT, RGB(0x01, 0x02, 0x03));
    sc.Set(COLOR_BTNFACE, RGB(0xD4, 0xD0, 0xC8));
    sc.Set(COLOR_3DLIGHT, RGB(0xE1, 0xE2, 0xE3));
    sc.Set(COLOR_BTNHIGHLIGHT, RGB(0xFA, 0xFB, 0xFC));
    sc.Set(COLOR_BTNSHADOW, RGB(0x80, 0x7C, 0x78));
    sc.Set(COLOR_WINDOW, RGB(0xF8, 0xF9, 0xF7));
    sc.Set(COLOR_MENU, RGB(0xEE, 0xEC, 0xE8));
    sc.Set(COLOR_GRAYTEXT, RGB(0x6D, 0x6E, 0x6F));
}

TEST(Visuals, ColorSchemeOfEveryMode) {
    SysColors sc;
    SetKnownColors(sc);
    CVisuals v;
    ASSERT_EQ(0, v.Init(GetModuleHandleA(nullptr)));
    COLORREF custom[5] = {0xEE6E18, 0, 0x55ADFF, 0x102030, 0xF0E0D0};

    BYTE mode = 0;
    EXPECT_EQ(0, v.UpdateColorScheme(&mode, custom));
    EXPECT_EQ(0, mode);
    ExpectScheme(v, ExpectedScheme(0, custom), "mode 0");
    // Automatic means default under a theme, else none; it is stored.
    const bool theme = ReadSource(true).theme;
    mode = 255;
    v.UpdateColorScheme(&mode, custom);
    EXPECT_EQ(theme ? 1 : 0, mode);
    ExpectScheme(v, ExpectedScheme(mode, custom), "mode 255");

    mode = 1;
    v.UpdateColorScheme(&mode, custom);
    EXPECT_EQ(1, mode);
    ExpectScheme(v, ExpectedScheme(1, custom), "mode 1");

    mode = 2;
    v.UpdateColorScheme(&mode, custom);
    EXPECT_EQ(2, mode);
    std::vector<COLORREF> e2 = ExpectedScheme(2, custom);
    ExpectScheme(v, e2, "mode 2");
    // d is 0 and base the custom colour itself: colour 34 is base unchanged.
    EXPECT_EQ(Hex(RefAdj(custom[0], 0, 0)), Hex(v.Color(34)));
    EXPECT_EQ(Hex(custom[3]), Hex(v.Color(4)));
    EXPECT_EQ(Hex(custom[4]), Hex(v.Color(5)));

    // Both caption gradient settings.
    BOOL grad = FALSE;
    SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &grad, 0);
    if (SystemParametersInfoA(SPI_SETGRADIENTCAPTIONS, 0, (void*)(INT_PTR)!grad, 0)) {
        mode = 1;
        v.UpdateColorScheme(&mode, custom);
        ExpectScheme(v, ExpectedScheme(1, custom), "mode 1, other gradient setting");
        SystemParametersInfoA(SPI_SETGRADIENTCAPTIONS, 0, (void*)(INT_PTR)grad, 0);
    }

    // Mode 0 with the menu colour equal to the button face: 38 is the highlight.
    sc.Set(COLOR_MENU, GetSysColor(COLOR_BTNFACE));
    mode = 0;
    v.UpdateColorScheme(&mode, custom);
    EXPECT_EQ(Hex(GetSysColor(COLOR_BTNHIGHLIGHT)), Hex(v.Color(38)));
    ExpectScheme(v, ExpectedScheme(0, custom), "mode 0, menu = face");

    // A different caption changes the lightness correction of mode 1.
    sc.Set(COLOR_ACTIVECAPTION, RGB(0xF0, 0xE0, 0x30));
    mode = 1;
    v.UpdateColorScheme(&mode, custom);
    ExpectScheme(v, ExpectedScheme(1, custom), "mode 1, light caption");

    // Selector colours.
    EXPECT_EQ(v.Color(3), v.SelectorColor(0));
    EXPECT_EQ(v.Color(4), v.SelectorColor(1));
    EXPECT_EQ(v.Color(5), v.SelectorColor(2));
    EXPECT_EQ((COLORREF)0x123456, v.SelectorColor(TextColorSelector(0x123456)));
}

LONG FontHeight(HFONT f, LONG* escapement = nullptr, char* face = nullptr) {
    LOGFONTA lf = {};
    EXPECT_TRUE(GetObjectA(f, sizeof lf, &lf));
    if (escapement)
        *escapement = lf.lfEscapement;
    if (face)
        strcpy(face, lf.lfFaceName);
    return lf.lfHeight;
}

TEST(Visuals, FontSetsPerDpi) {
    CVisuals v;
    ASSERT_EQ(0, v.Init(GetModuleHandleA(nullptr)));
    // An empty set is filled for the desktop DPI on first use.
    HFONT first = v.FontForDpi(kFontUi, 96);
    ASSERT_TRUE(first);
    for (int s = 0; s < kFontSetCount; s++)
        EXPECT_GE(v.FontSet(s).count, 1) << s;

    ASSERT_EQ(0, v.SetupFonts(nullptr, 0, 96));
    char face[LF_FACESIZE];
    LONG esc = 0;
    HFONT f96 = v.FontForDpi(kFontUi, 96);
    EXPECT_EQ(-12, FontHeight(f96, &esc, face));
    EXPECT_STREQ(v.UiFace(), face);
    EXPECT_EQ(0, esc);
    EXPECT_EQ(1, v.FontSet(kFontUi).count);

    // A new DPI: one new entry, the same handle later.
    HFONT f144 = v.FontForDpi(kFontUi, 144);
    ASSERT_TRUE(f144);
    EXPECT_NE(f96, f144);
    EXPECT_EQ(-MulDiv(12, 144, 96), FontHeight(f144));
    EXPECT_EQ(2, v.FontSet(kFontUi).count);
    EXPECT_EQ(f144, v.FontForDpi(kFontUi, 144));
    EXPECT_EQ(2, v.FontSet(kFontUi).count);
    EXPECT_EQ(1, v.FontSet(kFontUiBold).count);  // other sets grow only on their own use

    LOGFONTA lf = {};
    GetObjectA(v.FontForDpi(kFontUiBold, 144), sizeof lf, &lf);
    EXPECT_EQ(700, lf.lfWeight);
    EXPECT_EQ(-18, lf.lfHeight);
    FontHeight(v.FontForDpi(kFontUiVertical, 144), &esc);
    EXPECT_EQ(-900, esc);
    FontHeight(v.FontForDpi(kFontFixed, 96), nullptr, face);
    EXPECT_STREQ("MS Courier", face);

    // Chosen face and height for sets 4-6; sets 0-2 keep the UI face at 12.
    ASSERT_EQ(0, v.SetupFonts("Arial", 20, 96));
    EXPECT_EQ(-20, FontHeight(v.FontForDpi(kFontText, 96), nullptr, face));
    EXPECT_STREQ("Arial", face);
    EXPECT_EQ(-30, FontHeight(v.FontForDpi(kFontText, 144)));
    EXPECT_EQ(-30, FontHeight(v.FontForDpi(kFontTextBold, 144)));
    EXPECT_EQ(-12, FontHeight(v.FontForDpi(kFontUi, 96)));
    EXPECT_EQ(-18, FontHeight(v.FontForDpi(kFontUi, 144)));

    // "Ag" metrics grow with the DPI, and match a measure in that font.
    ASSERT_EQ(0, v.SetupFonts(nullptr, 0, 96));
    int ag96 = 0, sp96 = 0, ag144 = 0, sp144 = 0;
    v.TextMetrics(96, &ag96, &sp96);
    v.FontForDpi(kFontText, 144);
    v.TextMetrics(144, &ag144, &sp144);
    EXPECT_GT(ag96, 8);
    EXPECT_GT(ag144, ag96);
    EXPECT_GE(sp144, sp96);
    EXPECT_GT(sp96, 0);
    int w = 0, h = 0;
    EXPECT_EQ(0, v.MeasureText("Ag", &w, &h, false, 144));
    EXPECT_EQ(ag144, h);
    // A DPI without an entry reports the first entry's metrics.
    int ag200 = 0;
    v.TextMetrics(200, &ag200, nullptr);
    EXPECT_EQ(ag96, ag200);
    int wb = 0;
    v.MeasureText("Wide text", &w, &h, false, 96);
    v.MeasureText("Wide text", &wb, &h, true, 96);
    EXPECT_GT(w, 0);
    EXPECT_GE(wb, w);
    w = h = 7;
    EXPECT_EQ(kVisualsErrNullText, v.MeasureText(nullptr, &w, &h, false, 96));
    EXPECT_EQ(0, w);
    EXPECT_EQ(0, h);
}

// The drawing tests: visuals with a scheme of distinct colours for the
// primitives and the fonts at 96 DPI.
class VisualsDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, v.Init(GetModuleHandleA(nullptr)));
        BYTE mode = 2;
        COLORREF custom[5] = {RGB(40, 120, 200), 0, RGB(200, 60, 30), RGB(10, 20, 30), RGB(250, 240, 230)};
        v.UpdateColorScheme(&mode, custom);
        v.SetupFonts(nullptr, 0, 96);
    }
    CVisuals v;
};

const COLORREF kBg = RGB(1, 2, 3);

TEST_F(VisualsDrawing, FillsFramesAndEdges) {
    Dib d(40, 40, kBg);
    RECT rc = {5, 6, 15, 12};
    v.FillColor(d.dc, &rc, RGB(10, 200, 30));
    EXPECT_EQ(RGB(10, 200, 30), d.Px(5, 6));
    EXPECT_EQ(RGB(10, 200, 30), d.Px(14, 11));
    EXPECT_EQ(kBg, d.Px(15, 11));
    EXPECT_EQ(kBg, d.Px(14, 12));
    EXPECT_EQ(kBg, d.Px(4, 6));

    d.Fill(kBg);
    v.DrawFrame(d.dc, &rc, RGB(200, 0, 0));
    EXPECT_EQ(RGB(200, 0, 0), d.Px(5, 6));
    EXPECT_EQ(RGB(200, 0, 0), d.Px(14, 11));
    EXPECT_EQ(RGB(200, 0, 0), d.Px(10, 6));
    EXPECT_EQ(kBg, d.Px(6, 7));
    EXPECT_EQ(kBg, d.Px(15, 6));

    d.Fill(kBg);
    v.DrawRectangle(d.dc, &rc, RGB(0, 0, 250), RGB(0, 250, 0));
    EXPECT_EQ(RGB(0, 0, 250), d.Px(5, 6));
    EXPECT_EQ(RGB(0, 0, 250), d.Px(14, 11));
    EXPECT_EQ(RGB(0, 250, 0), d.Px(8, 8));
    EXPECT_EQ(kBg, d.Px(15, 12));
    d.Fill(kBg);
    v.DrawRectangle(d.dc, &rc, RGB(0, 0, 250), kNoColor);
    EXPECT_EQ(RGB(0, 0, 250), d.Px(5, 6));
    EXPECT_EQ(kBg, d.Px(8, 8));

    // 3D frame: top-left colour on top and left; the other on bottom,
    // right and the top-right and bottom-left pixels.
    const COLORREF tl = RGB(255, 255, 0), br = RGB(0, 0, 128);
    for (int swap = 0; swap < 2; swap++) {
        d.Fill(kBg);
        v.Draw3dFrame(d.dc, &rc, tl, br, swap != 0);
        COLORREF a = swap ? br : tl, b = swap ? tl : br;
        EXPECT_EQ(a, d.Px(5, 6));
        EXPECT_EQ(a, d.Px(13, 6));
        EXPECT_EQ(a, d.Px(5, 10));
        EXPECT_EQ(b, d.Px(14, 6));
        EXPECT_EQ(b, d.Px(5, 11));
        EXPECT_EQ(b, d.Px(14, 11));
        EXPECT_EQ(b, d.Px(10, 11));
        EXPECT_EQ(b, d.Px(14, 8));
        EXPECT_EQ(kBg, d.Px(8, 8));
        EXPECT_EQ(kBg, d.Px(15, 8));
    }

    // Etched lines: 31 and, one pixel down-right, 32.
    d.Fill(kBg);
    RECT hr = {2, 2, 22, 8};  // horizontal: y = 2 + (6 - 2) / 2 = 4
    v.DrawEtchedLine(d.dc, &hr);
    EXPECT_EQ(v.Color(31), d.Px(2, 4));
    EXPECT_EQ(v.Color(31), d.Px(20, 4));
    EXPECT_EQ(kBg, d.Px(21, 4));
    EXPECT_EQ(kBg, d.Px(2, 5));
    EXPECT_EQ(v.Color(32), d.Px(3, 5));
    EXPECT_EQ(v.Color(32), d.Px(21, 5));
    EXPECT_EQ(kBg, d.Px(10, 3));
    EXPECT_EQ(kBg, d.Px(10, 6));
    d.Fill(kBg);
    RECT vr = {2, 2, 9, 30};  // vertical: x = 2 + (7 - 2) / 2 = 4
    v.DrawEtchedLine(d.dc, &vr);
    EXPECT_EQ(v.Color(31), d.Px(4, 2));
    EXPECT_EQ(v.Color(31), d.Px(4, 28));
    EXPECT_EQ(kBg, d.Px(4, 29));
    EXPECT_EQ(v.Color(32), d.Px(5, 3));
    EXPECT_EQ(v.Color(32), d.Px(5, 29));
    EXPECT_EQ(kBg, d.Px(5, 2));
}

TEST_F(VisualsDrawing, GradientsEndAtTheirColours) {
    Dib d(64, 64, kBg);
    const COLORREF from = RGB(0, 100, 250), to = RGB(250, 50, 0);
    RECT rc = {4, 8, 54, 28};
    for (int vertical = 0; vertical < 2; vertical++) {
        d.Fill(kBg);
        v.DrawGradient(d.dc, &rc, from, to, vertical != 0);
        int n = vertical ? rc.bottom - rc.top : rc.right - rc.left;
        auto at = [&](int i, int j) {
            return vertical ? d.Px(rc.left + j, rc.top + i) : d.Px(rc.left + i, rc.top + j);
        };
        EXPECT_EQ(Hex(from), Hex(at(0, 0)));
        COLORREF last = at(n - 1, 0);
        int step = 250 / n + 2;
        EXPECT_NEAR(GetRValue(to), GetRValue(last), step);
        EXPECT_NEAR(GetGValue(to), GetGValue(last), step);
        EXPECT_NEAR(GetBValue(to), GetBValue(last), step);
        for (int i = 1; i < n; i++) {
            EXPECT_GE(GetRValue(at(i, 0)), GetRValue(at(i - 1, 0)));
            EXPECT_LE(GetBValue(at(i, 0)), GetBValue(at(i - 1, 0)));
            EXPECT_EQ(at(i, 0), at(i, 5));  // constant across
        }
        EXPECT_EQ(kBg, d.Px(rc.left - 1, rc.top));
        EXPECT_EQ(kBg, d.Px(rc.right, rc.top));
        EXPECT_EQ(kBg, d.Px(rc.left, rc.bottom));
    }
}

TEST_F(VisualsDrawing, ArrowsAndCheckGlyph) {
    Dib d(22, 22, kBg);
    RECT rc = {0, 0, 22, 22};  // s = 3 * 22 / 22 = 3, centre (11, 11)
    const COLORREF ink = v.SelectorColor(1);
    ASSERT_NE(kBg, ink);
    v.DrawArrow(d.dc, &rc, 0, 1);
    EXPECT_EQ(ink, d.Px(12, 11));  // tip at cx + s / 2
    EXPECT_EQ(kBg, d.Px(13, 11));
    EXPECT_EQ(ink, d.Px(9, 8));  // base corners at cx + s / 2 - s
    EXPECT_EQ(ink, d.Px(9, 14));
    EXPECT_EQ(kBg, d.Px(9, 7));
    EXPECT_EQ(kBg, d.Px(9, 15));
    EXPECT_EQ(kBg, d.Px(8, 11));
    EXPECT_EQ(ink, d.Px(11, 11));

    d.Fill(kBg);
    v.DrawArrow(d.dc, &rc, 1, TextColorSelector(RGB(9, 99, 199)));
    EXPECT_EQ(RGB(9, 99, 199), d.Px(11, 10));  // tip up at cy - s / 2
    EXPECT_EQ(kBg, d.Px(11, 9));
    EXPECT_EQ(RGB(9, 99, 199), d.Px(8, 13));
    EXPECT_EQ(RGB(9, 99, 199), d.Px(14, 13));
    EXPECT_EQ(kBg, d.Px(7, 13));
    EXPECT_EQ(kBg, d.Px(11, 14));

    d.Fill(kBg);
    v.DrawArrow(d.dc, &rc, 2, 2);
    EXPECT_EQ(v.Color(5), d.Px(11, 12));  // tip down at cy + s / 2
    EXPECT_EQ(kBg, d.Px(11, 13));
    EXPECT_EQ(v.Color(5), d.Px(8, 9));
    EXPECT_EQ(v.Color(5), d.Px(14, 9));
    EXPECT_EQ(kBg, d.Px(15, 9));
    EXPECT_EQ(kBg, d.Px(11, 8));

    // Small rectangle: the size is capped by the height.
    d.Fill(kBg);
    RECT small = {0, 0, 22, 2};  // s = 2 * 22 / 22 = 2, centre (11, 1)
    v.DrawArrow(d.dc, &small, 0, 1);
    EXPECT_EQ(ink, d.Px(12, 1));
    EXPECT_EQ(kBg, d.Px(13, 1));
    EXPECT_EQ(kBg, d.Px(8, 1));

    // Check mark (u = 1: arms 1 and 4): bottom vertex (11, 12), inner (11, 11), long arm to (15, 7).
    d.Fill(kBg);
    v.DrawCheck(d.dc, &rc, 0);
    const COLORREF c3 = v.Color(3);
    EXPECT_EQ(c3, d.Px(11, 12));
    EXPECT_EQ(c3, d.Px(11, 11));
    EXPECT_EQ(c3, d.Px(10, 11));
    EXPECT_EQ(c3, d.Px(15, 7));
    EXPECT_EQ(c3, d.Px(13, 9));
    EXPECT_EQ(kBg, d.Px(16, 6));
    EXPECT_EQ(kBg, d.Px(11, 8));
    EXPECT_EQ(kBg, d.Px(11, 14));
    RECT box = d.Painted(kBg);
    EXPECT_EQ(10, box.left);
    EXPECT_EQ(16, box.right);
    EXPECT_EQ(7, box.top);
    EXPECT_EQ(13, box.bottom);
}

TEST_F(VisualsDrawing, Grips) {
    Dib d(24, 24, kBg);
    RECT rc = {0, 0, 20, 20};
    v.DrawSizeGrip(d.dc, &rc);
    const COLORREF dot = v.Color(26), shadow = v.Color(27);
    ASSERT_NE(dot, shadow);
    // Dots at (16 - 4 col, 16 - 4 row) for col + row <= 2.
    int dots = 0;
    for (int row = 0; row < 4; row++)
        for (int col = 0; col < 4; col++) {
            int x = 16 - 4 * col, y = 16 - 4 * row;
            if (x < 0 || y < 0)
                continue;
            if (col + row <= 2) {
                dots++;
                EXPECT_EQ(dot, d.Px(x, y)) << col << "," << row;
                EXPECT_EQ(dot, d.Px(x + 1, y + 1));
                EXPECT_EQ(shadow, d.Px(x + 2, y + 2));
                EXPECT_EQ(shadow, d.Px(x + 2, y + 1));
                EXPECT_EQ(kBg, d.Px(x + 2, y));
                EXPECT_EQ(kBg, d.Px(x, y + 2 + 1));
            } else {
                EXPECT_EQ(kBg, d.Px(x, y)) << col << "," << row;
                EXPECT_EQ(kBg, d.Px(x + 2, y + 2));
            }
        }
    EXPECT_EQ(6, dots);
    EXPECT_EQ(kBg, d.Px(19, 19));

    d.Fill(kBg);
    RECT bar = {2, 3, 20, 21};
    v.DrawBarGrip(d.dc, &bar, true);
    EXPECT_EQ(v.Color(2), d.Px(2, 3));
    EXPECT_EQ(v.Color(2), d.Px(2, 10));
    EXPECT_EQ(v.Color(2), d.Px(4, 3));
    EXPECT_EQ(v.Color(3), d.Px(5, 3));
    EXPECT_EQ(v.Color(3), d.Px(5, 10));
    EXPECT_EQ(v.Color(3), d.Px(3, 20));
    EXPECT_EQ(v.Color(30), d.Px(3, 4));
    EXPECT_EQ(v.Color(30), d.Px(4, 19));
    EXPECT_EQ(kBg, d.Px(6, 10));
    d.Fill(kBg);
    v.DrawBarGrip(d.dc, &bar, false);
    EXPECT_EQ(v.Color(2), d.Px(10, 3));
    EXPECT_EQ(v.Color(3), d.Px(10, 6));
    EXPECT_EQ(v.Color(30), d.Px(10, 4));
    EXPECT_EQ(v.Color(30), d.Px(18, 5));
    EXPECT_EQ(kBg, d.Px(10, 7));
}

TEST_F(VisualsDrawing, TextAlignmentAndVerticalText) {
    Dib d(120, 120, kBg);
    EXPECT_EQ(kVisualsErrNullText, v.PaintText(d.dc, nullptr, 1, 0, 96, nullptr));
    RECT rc = {10, 10, 110, 40};
    const DWORD sel = TextColorSelector(RGB(250, 0, 0));
    ASSERT_EQ(0, v.PaintText(d.dc, &rc, sel, 0, 96, "%s%d", "Mm", 42));
    RECT left = d.Painted(kBg);
    ASSERT_LT(left.left, left.right);
    EXPECT_GE(left.left, 10);
    EXPECT_LE(left.left, 13);
    EXPECT_GE(left.top, 10);
    EXPECT_LE(left.bottom, 40);
    // Vertically centred.
    EXPECT_LE(abs((left.top + left.bottom) - 50), 6);

    int w = 0, h = 0;
    v.MeasureText("Mm42", &w, &h, false, 96);
    d.Fill(kBg);
    v.PaintText(d.dc, &rc, sel, kTextCentre, 96, "Mm42");
    RECT mid = d.Painted(kBg);
    EXPECT_LE(abs((mid.left + mid.right) - 120), 4);
    d.Fill(kBg);
    v.PaintText(d.dc, &rc, sel, kTextRight, 96, "Mm42");
    RECT right = d.Painted(kBg);
    EXPECT_LE(right.right, 110);
    EXPECT_GE(right.right, 107);

    // Bold is wider.
    d.Fill(kBg);
    v.PaintText(d.dc, &rc, sel, kTextBold, 96, "Mm42");
    RECT bold = d.Painted(kBg);
    EXPECT_GT(bold.right - bold.left, left.right - left.left);

    // A long text ends with an ellipsis inside the rectangle.
    d.Fill(kBg);
    RECT narrow = {10, 10, 40, 40};
    v.PaintText(d.dc, &narrow, sel, 0, 96, "%s", "A long long text that cannot fit");
    RECT cut = d.Painted(kBg);
    EXPECT_LE(cut.right, 40);

    // Vertical text: downwards, centred across, clipped to the rectangle.
    d.Fill(kBg);
    RECT col = {30, 5, 60, 115};
    v.PaintText(d.dc, &col, sel, kTextVertical | kTextCentre, 96, "Mmmmm");
    RECT vt = d.Painted(kBg);
    ASSERT_LT(vt.left, vt.right);
    EXPECT_GT(vt.bottom - vt.top, vt.right - vt.left);
    EXPECT_GE(vt.left, 30);
    EXPECT_LE(vt.right, 60);
    EXPECT_LE(abs((vt.left + vt.right) - 90), 6);
    EXPECT_LE(abs((vt.top + vt.bottom) - 120), 6);
    d.Fill(kBg);
    v.PaintText(d.dc, &col, sel, kTextVertical, 96, "Mmmmm");
    RECT top = d.Painted(kBg);
    EXPECT_GE(top.top, 5);
    EXPECT_LE(top.top, 9);
    d.Fill(kBg);
    v.PaintText(d.dc, &col, sel, kTextVertical | kTextRight, 96, "Mmmmm");
    RECT bottom = d.Painted(kBg);
    EXPECT_LE(bottom.bottom, 115);
    EXPECT_GE(bottom.bottom, 110);
    d.Fill(kBg);
    RECT shortCol = {30, 5, 60, 20};
    v.PaintText(d.dc, &shortCol, sel, kTextVertical, 96, "Mmmmmmmmmmmm");
    RECT clipped = d.Painted(kBg);
    EXPECT_LE(clipped.bottom, 20);
}

// A parent whose background at its client point (X, Y) is RGB(X, Y, 77).
COLORREF ParentPx(int x, int y) {
    return RGB(x & 0xFF, y & 0xFF, 77);
}
LRESULT CALLBACK PatternParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == MoxMSG_PAINTBKGND) {
        int ox = (short)LOWORD(lp), oy = (short)HIWORD(lp);
        static DWORD pattern[256 * 256];
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++)
                pattern[y * 256 + x] = SwapRedBlue(ParentPx(x, y));
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 256;
        bi.bmiHeader.biHeight = -256;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        SetDIBitsToDevice((HDC)wp, -ox, -oy, 256, 256, 0, 0, 0, 256, pattern, &bi, DIB_RGB_COLORS);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

struct ParentAndChild {
    HWND parent = nullptr, child = nullptr;
    ParentAndChild() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PatternParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VisualsTestParent";
        RegisterClassA(&wc);
        parent = CreateWindowExA(0, "VisualsTestParent", "", WS_POPUP, 100, 100, 200, 200, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 30, 40, 60, 60, parent, nullptr, wc.hInstance, nullptr);
    }
    ~ParentAndChild() { DestroyWindow(parent); }
};

TEST_F(VisualsDrawing, ItemBackgroundsAndRoundedCorners) {
    ParentAndChild pc;
    ASSERT_TRUE(pc.child);
    v.SetPaintWindow(pc.child);
    Dib d(60, 60, kBg);
    RECT rc = {5, 6, 25, 20};

    // 0: the parent's background under the rectangle only.
    v.DrawItemBackground(d.dc, &rc, 0);
    EXPECT_EQ(ParentPx(30 + 5, 40 + 6), d.Px(5, 6));
    EXPECT_EQ(ParentPx(30 + 24, 40 + 19), d.Px(24, 19));
    EXPECT_EQ(kBg, d.Px(25, 19));
    EXPECT_EQ(kBg, d.Px(4, 6));

    // 1: frame 45, vertical gradient 41 to 42 inside; 2: 43 to 44; a given frame colour.
    for (int type : {1, 2, 6}) {
        d.Fill(kBg);
        v.DrawItemBackground(d.dc, &rc, type);
        EXPECT_EQ(v.Color(45), d.Px(5, 6)) << type;
        EXPECT_EQ(v.Color(45), d.Px(24, 19));
        EXPECT_EQ(Hex(v.Color(type == 1 ? 41 : 43)), Hex(d.Px(10, 7))) << type;
        EXPECT_EQ(d.Px(10, 7), d.Px(20, 7));
        EXPECT_EQ(kBg, d.Px(25, 10));
    }
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 1, RGB(7, 8, 9));
    EXPECT_EQ(RGB(7, 8, 9), d.Px(5, 6));
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 8, kNoColor, 0, 0, 10, 22);
    EXPECT_EQ(v.Color(45), d.Px(5, 6));
    EXPECT_EQ(Hex(v.Color(10)), Hex(d.Px(10, 7)));

    // 3 and 4: 3D frame and fill 51 or a given one.
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 3);
    EXPECT_EQ(v.Color(52), d.Px(5, 6));
    EXPECT_EQ(v.Color(53), d.Px(24, 19));
    EXPECT_EQ(v.Color(51), d.Px(10, 10));
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 4, RGB(1, 100, 1));
    EXPECT_EQ(v.Color(51), d.Px(5, 6));
    EXPECT_EQ(v.Color(53), d.Px(24, 19));
    EXPECT_EQ(RGB(1, 100, 1), d.Px(10, 10));
    // 5: a fill.
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 5, RGB(3, 3, 200));
    EXPECT_EQ(RGB(3, 3, 200), d.Px(5, 6));
    EXPECT_EQ(RGB(3, 3, 200), d.Px(24, 19));
    // 7: the parent's background over a width in a sunken frame.
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 7, kNoColor, 8);
    EXPECT_EQ(v.Color(3), d.Px(5, 6));
    EXPECT_EQ(v.Color(2), d.Px(12, 19));
    EXPECT_EQ(ParentPx(30 + 8, 40 + 10), d.Px(8, 10));
    EXPECT_EQ(kBg, d.Px(14, 10));
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 7, RGB(90, 91, 92));
    EXPECT_EQ(RGB(90, 91, 92), d.Px(10, 10));
    EXPECT_EQ(v.Color(3), d.Px(5, 10));
    EXPECT_EQ(v.Color(2), d.Px(24, 10));

    // Rounded corners against the blend table, with a patterned item.
    struct E {
        int p, s, a, b;
    };
    const E table[4][9] = {
        {{5, 0, 0, 0},
         {30, 0, 1, 1},
         {55, 0, 2, 2},
         {30, 0, 3, 3},
         {45, 1, 4, 3},
         {20, 1, 5, 2},
         {55, 0, 6, 6},
         {20, 1, 7, 6},
         {0, 1, 8, 8}},
        {{55, 0, 0, 0},
         {30, 0, 1, 1},
         {5, 0, 2, 2},
         {20, 1, 3, 0},
         {45, 1, 4, 5},
         {30, 0, 5, 5},
         {0, 1, 6, 6},
         {20, 1, 7, 8},
         {55, 0, 8, 8}},
        {{55, 0, 0, 0},
         {20, 1, 1, 0},
         {0, 1, 2, 2},
         {30, 0, 3, 3},
         {45, 1, 4, 3},
         {20, 1, 5, 8},
         {5, 0, 6, 6},
         {30, 0, 7, 7},
         {55, 0, 8, 8}},
        {{0, 1, 0, 0},
         {20, 1, 1, 2},
         {55, 0, 2, 2},
         {20, 1, 3, 6},
         {45, 1, 4, 5},
         {30, 0, 5, 5},
         {55, 0, 6, 6},
         {30, 0, 7, 7},
         {5, 0, 8, 8}},
    };
    const int flags[4] = {kCornerTopLeft, kCornerTopRight, kCornerBottomLeft, kCornerBottomRight};
    auto itemPx = [](int x, int y) { return RGB(200 - 7 * x, 30 + 9 * y, 120 + 3 * x - 2 * y); };
    for (int k = 0; k < 4; k++) {
        for (int y = 0; y < 60; y++)
            for (int x = 0; x < 60; x++)
                d.Set(x, y, itemPx(x, y));
        v.DrawRoundCorners(d.dc, &rc, flags[k]);
        int cx = (k == 1 || k == 3) ? rc.right - 3 : rc.left;
        int cy = (k == 2 || k == 3) ? rc.bottom - 3 : rc.top;
        for (int i = 0; i < 9; i++) {
            const E& e = table[k][i];
            auto pos = [&](int n, int* x, int* y) {
                *x = cx + n % 3;
                *y = cy + n / 3;
            };
            int ax, ay, bx, by, ox, oy;
            pos(e.a, &ax, &ay);
            pos(e.b, &bx, &by);
            pos(i, &ox, &oy);
            COLORREF S = e.s ? itemPx(ax, ay) : ParentPx(30 + ax, 40 + ay);
            COLORREF I = itemPx(bx, by);
            auto ch = [&](int s, int t) { return s + (t - s) * e.p / 100; };
            COLORREF want =
                RGB(ch(GetRValue(S), GetRValue(I)), ch(GetGValue(S), GetGValue(I)), ch(GetBValue(S), GetBValue(I)));
            EXPECT_EQ(Hex(want), Hex(d.Px(ox, oy))) << "corner " << k << " pixel " << i;
        }
        // Only that corner changes.
        for (int k2 = 0; k2 < 4; k2++) {
            if (k2 == k)
                continue;
            int x = (k2 == 1 || k2 == 3) ? rc.right - 3 : rc.left;
            int y = (k2 == 2 || k2 == 3) ? rc.bottom - 3 : rc.top;
            EXPECT_EQ(itemPx(x, y), d.Px(x, y));
        }
        EXPECT_EQ(itemPx(15, 12), d.Px(15, 12));
    }
    // Corners through the item background: a fill then its top-left corner.
    d.Fill(kBg);
    v.DrawItemBackground(d.dc, &rc, 5, RGB(200, 200, 200), 0, kCornerTopLeft);
    COLORREF bg0 = ParentPx(30 + 5, 40 + 6);
    EXPECT_EQ(RGB(GetRValue(bg0) + (200 - GetRValue(bg0)) * 5 / 100, GetGValue(bg0) + (200 - GetGValue(bg0)) * 5 / 100,
                  77 + (200 - 77) * 5 / 100),
              d.Px(5, 6));
    EXPECT_EQ(RGB(200, 200, 200), d.Px(24, 6));
}

TEST_F(VisualsDrawing, DoubleBufferCopiesAtTheEnd) {
    Dib d(30, 30, kBg);
    PaintBuffer buf;
    HDC mem = v.BeginBuffer(d.dc, 20, 10, &buf);
    ASSERT_TRUE(mem);
    EXPECT_NE(d.dc, mem);
    RECT all = {0, 0, 20, 10};
    v.FillColor(mem, &all, RGB(5, 150, 250));
    EXPECT_EQ(kBg, d.Px(0, 0));
    v.EndBuffer(&buf);
    EXPECT_EQ(RGB(5, 150, 250), d.Px(0, 0));
    EXPECT_EQ(RGB(5, 150, 250), d.Px(19, 9));
    EXPECT_EQ(kBg, d.Px(20, 9));
    EXPECT_EQ(kBg, d.Px(19, 10));
    EXPECT_EQ(nullptr, buf.dc);
    EXPECT_EQ(nullptr, v.BeginBuffer(d.dc, 0, 10, &buf));
}

// An icon from 32-bit pixels (0x00RRGGBB) and a mask (true = transparent).
HICON MakeIcon(int w, int h, const std::vector<COLORREF>& px, const std::vector<bool>& transparent) {
    HDC screen = GetDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> c(w * h), m(w * h);
    for (int i = 0; i < w * h; i++) {
        c[i] = transparent[i] ? 0 : SwapRedBlue(px[i]);
        m[i] = transparent[i] ? 0xFFFFFF : 0;
    }
    HBITMAP color = CreateCompatibleBitmap(screen, w, h);
    SetDIBits(screen, color, 0, h, c.data(), &bi, DIB_RGB_COLORS);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HDC mdc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mdc, mask);
    for (int i = 0; i < w * h; i++)
        SetPixel(mdc, i % w, i / w, transparent[i] ? RGB(255, 255, 255) : 0);
    SelectObject(mdc, old);
    DeleteDC(mdc);
    ReleaseDC(nullptr, screen);
    ICONINFO ii = {TRUE, 0, 0, mask, color};
    HICON icon = CreateIconIndirect(&ii);
    DeleteObject(color);
    DeleteObject(mask);
    return icon;
}

std::vector<COLORREF> IconPixels(HICON icon, int w, int h) {
    ICONINFO ii = {};
    std::vector<COLORREF> out;
    if (!GetIconInfo(icon, &ii))
        return out;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> c(w * h);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, ii.hbmColor, 0, h, c.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    for (DWORD v : c)
        out.push_back(SwapRedBlue(v));
    return out;
}

COLORREF RefTint(COLORREF px, double m, COLORREF light, COLORREF dark) {
    double x = (GetRValue(px) + GetGValue(px) + GetBValue(px) + 128 - m) / 765.0;
    x = x < 0 ? 0 : (x > 1 ? 1 : x);
    auto ch = [x](int l, int d) { return (int)(l * x + d * (1 - x)); };
    return RGB(ch(GetRValue(light), GetRValue(dark)), ch(GetGValue(light), GetGValue(dark)),
               ch(GetBValue(light), GetBValue(dark)));
}

TEST_F(VisualsDrawing, TintedIconsStayBetweenTheSchemeShades) {
    const COLORREF light = v.Color(1), dark = v.Color(3);
    // One white pixel among black ones: the mean blue is small and the white
    // pixel's factor exceeds 1; it must come out as the light shade exactly.
    std::vector<COLORREF> px = {RGB(255, 255, 255), 0, 0, 0, RGB(90, 60, 30), 0};
    std::vector<bool> tr = {false, false, false, false, false, true};
    HICON icon = MakeIcon(3, 2, px, tr);
    ASSERT_TRUE(icon);
    HICON tinted = v.MakeTintedIcon(icon);
    ASSERT_TRUE(tinted);
    std::vector<COLORREF> got = IconPixels(tinted, 3, 2);
    ASSERT_EQ(6u, got.size());
    double m = (255 + 30) / 5.0;
    EXPECT_EQ(Hex(light), Hex(got[0]));
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(Hex(RefTint(px[i], m, light, dark)), Hex(got[i])) << i;
    DestroyIcon(tinted);
    DestroyIcon(icon);

    // Mostly white: the black pixel's factor is below 0: the dark shade.
    px = {RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), 0};
    tr = {false, false, false, false};
    icon = MakeIcon(2, 2, px, tr);
    tinted = v.MakeTintedIcon(icon);
    ASSERT_TRUE(tinted);
    got = IconPixels(tinted, 2, 2);
    ASSERT_EQ(4u, got.size());
    EXPECT_EQ(Hex(dark), Hex(got[3]));
    EXPECT_EQ(Hex(RefTint(px[0], 255 * 3 / 4.0, light, dark)), Hex(got[0]));
    DestroyIcon(tinted);
    DestroyIcon(icon);

    // No opaque pixel at all: a copy, unchanged.
    px = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), RGB(1, 1, 1)};
    tr = {true, true, true, true};
    icon = MakeIcon(2, 2, px, tr);
    tinted = v.MakeTintedIcon(icon);
    ASSERT_TRUE(tinted);
    EXPECT_EQ(IconPixels(icon, 2, 2), IconPixels(tinted, 2, 2));
    DestroyIcon(tinted);
    DestroyIcon(icon);
    EXPECT_EQ(nullptr, v.MakeTintedIcon(nullptr));
}

UINT gSwatchMsg = 0;
WORD gSwatchId = 0;
RECT gSwatchRect = {};
HDC gSwatchDc = nullptr;
LRESULT CALLBACK PainterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == MoxMSG_PAINTSWATCH) {
        gSwatchMsg++;
        gSwatchDc = (HDC)wp;
        gSwatchId = ((IconPaintRequest*)lp)->id;
        gSwatchRect = ((IconPaintRequest*)lp)->rect;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(Visuals, IconTable) {
    // The start-up probe carries icon resource 1.
    HMODULE probe = LoadLibraryExA(VP_PROBE_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(probe);
    {
        CVisuals v;
        ASSERT_EQ(0, v.Init(probe));
        BYTE mode = 2;
        COLORREF custom[5] = {RGB(40, 120, 200), 0, RGB(200, 60, 30), 0, 0};
        v.UpdateColorScheme(&mode, custom);
        EXPECT_EQ(0, v.AddIcon(30, 1, 0, 16));
        EXPECT_EQ(0, v.AddIcon(10, 1, 0, 32));
        EXPECT_EQ(0, v.AddIcon(20, 0, kIconAppDrawn, 16));
        EXPECT_EQ(kVisualsErrIconLoad, v.AddIcon(40, 4321, 0, 16));
        ASSERT_EQ(3, v.Icons().count);
        EXPECT_EQ(10, v.Icons().At(0)->id);
        EXPECT_EQ(20, v.Icons().At(1)->id);
        EXPECT_EQ(30, v.Icons().At(2)->id);
        EXPECT_TRUE(v.Icons().At(0)->tinted);
        EXPECT_EQ(nullptr, v.Icons().At(1)->icon);

        Dib d(40, 40, kBg);
        RECT rc = {4, 4, 20, 20};
        EXPECT_EQ(kVisualsErrIconMissing, v.DrawIcon(d.dc, 99, 1, &rc));
        EXPECT_EQ(0, d.Painted(kBg).right);

        // State bit 0: the loaded icon, as the system draws it.
        HICON original = (HICON)LoadImageA(probe, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_SHARED);
        ASSERT_TRUE(original);
        Dib ref(40, 40, kBg);
        DrawIconEx(ref.dc, 4, 4, original, 16, 16, 0, nullptr, DI_NORMAL);
        ASSERT_EQ(0, v.DrawIcon(d.dc, 30, 1, &rc));
        int same = 0;
        for (int y = 4; y < 20; y++)
            for (int x = 4; x < 20; x++)
                same += d.Px(x, y) == ref.Px(x, y);
        EXPECT_EQ(256, same);
        // Otherwise the tinted one: opaque pixels are shades between 3 and 1.
        d.Fill(kBg);
        ASSERT_EQ(0, v.DrawIcon(d.dc, 30, 0, &rc));
        COLORREF lo = v.Color(3), hi = v.Color(1);
        int shaded = 0;
        for (int y = 4; y < 20; y++)
            for (int x = 4; x < 20; x++) {
                COLORREF p = d.Px(x, y), r = ref.Px(x, y);
                if (r == kBg)
                    continue;
                shaded++;
                EXPECT_GE(GetRValue(p), std::min(GetRValue(lo), GetRValue(hi)) - 1);
                EXPECT_LE(GetRValue(p), std::max(GetRValue(lo), GetRValue(hi)) + 1);
                EXPECT_GE(GetBValue(p), std::min(GetBValue(lo), GetBValue(hi)) - 1);
                EXPECT_LE(GetBValue(p), std::max(GetBValue(lo), GetBValue(hi)) + 1);
            }
        EXPECT_GT(shaded, 0);
        // Nothing outside the rectangle.
        RECT box = d.Painted(kBg);
        EXPECT_GE(box.left, 4);
        EXPECT_LE(box.right, 20);

        // A scheme change re-tints: the tinted copy follows the new shades.
        HICON before = v.Icons().At(2)->tinted;
        custom[0] = RGB(200, 40, 40);
        v.UpdateColorScheme(&mode, custom);
        EXPECT_NE(nullptr, v.Icons().At(2)->tinted);
        d.Fill(kBg);
        v.DrawIcon(d.dc, 30, 0, &rc);
        (void)before;
        COLORREF lo2 = v.Color(3), hi2 = v.Color(1);
        for (int y = 4; y < 20; y++)
            for (int x = 4; x < 20; x++) {
                if (ref.Px(x, y) == kBg)
                    continue;
                COLORREF p = d.Px(x, y);
                EXPECT_LE(GetBValue(p), std::max(GetBValue(lo2), GetBValue(hi2)) + 1);
            }

        // Application-drawn icons go to the painter window.
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PainterProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VisualsTestPainter";
        RegisterClassA(&wc);
        HWND painter = CreateWindowExA(0, "VisualsTestPainter", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       wc.hInstance, nullptr);
        ASSERT_TRUE(painter);
        v.SetIconPainter(painter);
        RECT sw = {1, 2, 17, 18};
        EXPECT_EQ(0, v.DrawIcon(d.dc, 20, 0, &sw));
        EXPECT_EQ(1u, gSwatchMsg);
        EXPECT_EQ(20, gSwatchId);
        EXPECT_EQ(d.dc, gSwatchDc);
        EXPECT_TRUE(EqualRect(&sw, &gSwatchRect));
        DestroyWindow(painter);
    }
    FreeLibrary(probe);
}

}  // namespace
