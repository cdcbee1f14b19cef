// CVisuals core: initialisation, the colour scheme, the font sets and the
// icon table with its tinted copies. The drawing primitives are in
// visuals_draw.cpp.
#include "visuals.h"

#include <stdlib.h>
#include <string.h>

#include "base/color_util.h"
#include "base/str_util.h"
#include "framework_messages.h"

namespace {

// a + (b - a) * x per channel, truncated.
COLORREF Blend(double x, COLORREF a, COLORREF b) {
    int r = (int)(GetRValue(a) + (GetRValue(b) - GetRValue(a)) * x);
    int g = (int)(GetGValue(a) + (GetGValue(b) - GetGValue(a)) * x);
    int bl = (int)(GetBValue(a) + (GetBValue(b) - GetBValue(a)) * x);
    return RGB(r, g, bl);
}

COLORREF Adj(COLORREF c, double l, double s) {
    return AdjustColorHls(c, 0.0, l, s);
}

// The caption, highlight and text colours the scheme starts from.
struct SchemeSource {
    COLORREF active, inactive, highlight, menuText, highlightText;
    COLORREF gradActive, gradInactive;
    bool gradients;
    BYTE automatic;  // what colour mode 255 means
};

typedef BOOL(WINAPI* IsThemeActiveFn)();
typedef HANDLE(WINAPI* OpenThemeDataFn)(HWND, LPCWSTR);
typedef COLORREF(WINAPI* GetThemeSysColorFn)(HANDLE, int);
typedef HRESULT(WINAPI* CloseThemeDataFn)(HANDLE);

// The theme's colours when a visual theme is active; false otherwise.
bool ReadThemeColors(SchemeSource* src) {
    HMODULE lib = LoadLibraryA("UxTheme.dll");
    if (!lib)
        return false;
    IsThemeActiveFn isActive = (IsThemeActiveFn)(void*)GetProcAddress(lib, "IsThemeActive");
    OpenThemeDataFn open = (OpenThemeDataFn)(void*)GetProcAddress(lib, "OpenThemeData");
    GetThemeSysColorFn sysColor = (GetThemeSysColorFn)(void*)GetProcAddress(lib, "GetThemeSysColor");
    CloseThemeDataFn close = (CloseThemeDataFn)(void*)GetProcAddress(lib, "CloseThemeData");
    bool ok = false;
    if (isActive && open && sysColor && isActive()) {
        HANDLE theme = open(nullptr, L"WINDOW");
        if (theme) {
            src->active = sysColor(theme, COLOR_ACTIVECAPTION);
            src->inactive = sysColor(theme, COLOR_INACTIVECAPTION);
            src->highlight = sysColor(theme, COLOR_HIGHLIGHT);
            src->menuText = sysColor(theme, COLOR_MENUTEXT);
            src->highlightText = sysColor(theme, COLOR_HIGHLIGHTTEXT);
            src->gradActive = sysColor(theme, COLOR_GRADIENTACTIVECAPTION);
            src->gradInactive = sysColor(theme, COLOR_GRADIENTINACTIVECAPTION);
            src->gradients = true;
            src->automatic = 1;
            ok = true;
            if (close)
                close(theme);  // the handle is ours to close
        }
    }
    FreeLibrary(lib);
    return ok;
}

void ReadSchemeSource(SchemeSource* src, bool useTheme) {
    memset(src, 0, sizeof *src);
    if (useTheme)
        ReadThemeColors(src);
    if (src->active == 0) {
        src->active = GetSysColor(COLOR_ACTIVECAPTION);
        src->inactive = GetSysColor(COLOR_INACTIVECAPTION);
        src->highlight = GetSysColor(COLOR_HIGHLIGHT);
        src->menuText = GetSysColor(COLOR_MENUTEXT);
        src->highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
        BOOL on = FALSE;
        src->gradients = SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &on, 0) && on;
        src->gradActive = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
        src->gradInactive = GetSysColor(COLOR_GRADIENTINACTIVECAPTION);
        src->automatic = 0;
    }
}

int CompareIcons(const VisualsIcon* a, const VisualsIcon* b) {
    return a->id < b->id ? -1 : (a->id > b->id ? 1 : 0);
}

}  // namespace

CVisuals::~CVisuals() {
    for (int i = 0; i < icons_.count; i++)
        FreeIconImages(icons_.At(i));
    icons_.RemoveAll();
    for (int s = 0; s < kFontSetCount; s++) {
        for (int i = 0; i < fonts_[s].count; i++)
            if (fonts_[s].At(i)->font)
                DeleteObject(fonts_[s].At(i)->font);
        fonts_[s].RemoveAll();
    }
    if (memDc_) {
        if (oldBitmap_)
            SelectObject(memDc_, oldBitmap_);
        DeleteDC(memDc_);
    }
    if (dib_)
        DeleteObject(dib_);
}

int CVisuals::Init(HINSTANCE inst) {
    instance_ = inst;
    if (!memDc_) {
        memDc_ = CreateCompatibleDC(nullptr);
        if (!memDc_)
            return kVisualsErrGdi;
        BITMAPINFO bi;
        memset(&bi, 0, sizeof bi);
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = 16;
        bi.bmiHeader.biHeight = -16;  // top-down
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib_ = CreateDIBSection(memDc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!dib_) {
            DeleteDC(memDc_);
            memDc_ = nullptr;
            return kVisualsErrGdi;
        }
        dibBits_ = (DWORD*)bits;
        oldBitmap_ = SelectObject(memDc_, dib_);
    }
    NONCLIENTMETRICSA ncm;
    memset(&ncm, 0, sizeof ncm);
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0) && ncm.lfMessageFont.lfFaceName[0])
        StrCopy(uiFace_, countof(uiFace_), ncm.lfMenuFont.lfFaceName);
    else
        StrCopy(uiFace_, countof(uiFace_), "MS Shell Dlg");
    if (!uiFace_[0])
        StrCopy(uiFace_, countof(uiFace_), "MS Shell Dlg");
    StrCopy(userFace_, countof(userFace_), uiFace_);
    return 0;
}

COLORREF CVisuals::SelectorColor(DWORD selector) const {
    switch (selector & 3) {
        case 0:
            return scheme_[3];
        case 1:
            return scheme_[4];
        case 2:
            return scheme_[5];
        default:
            return selector >> 8;
    }
}

namespace {

// The colours the frame faces of a scheme are derived from.
struct SchemeBase {
    COLORREF base, highlight, text, highlightText;
    double d;  // lightness shift that brings the caption colour to the middle (0 for custom colours)
};

// Mode 2 takes the custom colours; the others derive them from the active
// caption colour and the system's.
SchemeBase PickSchemeBase(BYTE mode, const COLORREF* custom, const SchemeSource& src, COLORREF active) {
    SchemeBase b;
    if (mode == 2) {
        b.base = custom[0];
        b.highlight = custom[2];
        b.text = custom[3];
        b.highlightText = custom[4];
        b.d = 0;
    } else {
        b.d = 131.0 / 255.0 - ((ColorRefToHls(active) >> 8) & 0xFF) / 255.0;
        b.base = Adj(active, b.d + 0.4, -0.25);
        b.highlight = src.highlight;
        b.text = src.menuText;
        b.highlightText = src.highlightText;
    }
    return b;
}

// The caption shades of active and inactive frames, the text colours and
// the system colours every mode keeps.
void SetCaptionAndSystemColors(COLORREF* c, COLORREF active, COLORREF inactive, const SchemeBase& b) {
    static const double kCaptionL[8] = {-0.2, -0.1, 0, -0.1, -0.3, -0.2, -0.1, -0.2};
    for (int i = 0; i < 8; i++) {
        c[10 + i] = Adj(active, kCaptionL[i], 0.2);
        c[18 + i] = Adj(inactive, kCaptionL[i], -0.2);
    }
    c[4] = b.text;
    c[5] = b.highlightText;
    c[6] = GetSysColor(COLOR_WINDOW);
    c[46] = GetSysColor(COLOR_HIGHLIGHT);
    c[47] = GetSysColor(COLOR_WINDOW);
    c[48] = GetSysColor(COLOR_HIGHLIGHTTEXT);
    c[49] = GetSysColor(COLOR_MENUTEXT);
    c[50] = GetSysColor(COLOR_GRAYTEXT);
    c[57] = GetSysColor(COLOR_BTNFACE);
}

// Mode 0: the faces in the system's own 3-D colours.
void SetSystemFaceColors(COLORREF* c) {
    COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHIGHLIGHT);
    COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), caption = GetSysColor(COLOR_ACTIVECAPTION);
    c[0] = face;
    c[1] = GetSysColor(COLOR_3DLIGHT);
    c[2] = light;
    c[3] = shadow;
    c[26] = shadow;
    c[27] = light;
    c[28] = c[32] = c[39] = light;
    c[29] = c[31] = c[40] = shadow;
    c[30] = c[35] = c[33] = c[36] = c[34] = c[37] = face;
    COLORREF menu = GetSysColor(COLOR_MENU);
    c[38] = SameRgb(menu, c[33]) ? light : menu;
    c[41] = c[42] = Blend(0.75, caption, face);
    c[43] = c[44] = Blend(0.85, caption, face);
    c[45] = caption;
    c[51] = face;
    c[52] = light;
    c[53] = shadow;
}

// Modes 1 and 2: the faces in shades of the base and highlight colours.
void SetTintedFaceColors(COLORREF* c, const SchemeBase& b) {
    const COLORREF base = b.base, H = b.highlight;
    const double d = b.d;
    c[0] = Adj(base, d + 0.2, -0.3);
    c[1] = c[2] = Adj(base, d + 0.33, -0.1);
    c[3] = Adj(base, d - 0.25, -0.8);
    c[26] = Adj(base, d - 0.6, -0.1);
    c[27] = Adj(base, d + 0.35, -0.1);
    c[28] = c[32] = c[39] = c[1];
    c[29] = c[31] = c[40] = c[3];
    c[30] = c[35] = c[0];
    c[33] = c[36] = Adj(base, d + 0.3, 0);
    c[34] = c[37] = Adj(base, 0, 0);
    c[38] = Adj(base, d + 0.4, -0.25);
    c[41] = Adj(H, d + 0.3, 0);
    c[42] = Adj(H, 0, 0);
    c[43] = Adj(H, d + 0.4, 0);
    c[44] = Adj(H, d + 0.2, 0);
    c[45] = Adj(base, d - 0.5, -0.5);
    c[51] = Adj(base, d + 0.35, -0.4);
    c[52] = Adj(c[51], d + 0.4, -0.2);
    c[53] = Adj(c[51], d - 0.2, -0.6);
}

}  // namespace

int CVisuals::UpdateColorScheme(BYTE* colorMode, const COLORREF* custom) {
    BYTE mode = colorMode ? *colorMode : 255;
    SchemeSource src;
    ReadSchemeSource(&src, mode != 0);
    COLORREF A = src.active, I = src.inactive;
    if (src.gradients) {
        A = Blend(0.4, A, src.gradActive);
        I = Blend(0.6, I, src.gradInactive);
    }
    if (mode == 255) {
        mode = src.automatic;
        if (colorMode)
            *colorMode = mode;
    }
    static const COLORREF kNoCustom[5] = {};
    SchemeBase b = PickSchemeBase(mode, custom ? custom : kNoCustom, src, A);
    COLORREF* c = scheme_;
    SetCaptionAndSystemColors(c, A, I, b);
    if (mode == 0)
        SetSystemFaceColors(c);
    else
        SetTintedFaceColors(c, b);
    static const double kFaceL[3] = {-0.2, -0.05, 0.05};
    for (int i = 0; i < 3; i++)
        c[54 + i] = Adj(c[0], kFaceL[i], -0.3);
    ReloadIcons();
    return 0;
}

UINT CVisuals::DesktopDpi() const {
    typedef UINT(WINAPI * DpiFn)(HWND);
    DpiFn fn = (DpiFn)(void*)GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    UINT dpi = fn ? fn(GetDesktopWindow()) : 0;
    if (!dpi) {
        HDC dc = GetDC(nullptr);
        dpi = dc ? (UINT)GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
    }
    return dpi ? dpi : 96;
}

bool CVisuals::MakeFont(VisualsFont* f) {
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    lf.lfHeight = -MulDiv(f->height, (int)f->dpi, 96);
    lf.lfWeight = f->weight;
    lf.lfEscapement = f->escapement;
    lf.lfOrientation = f->escapement;
    StrCopy(lf.lfFaceName, countof(lf.lfFaceName), f->face);
    f->font = CreateFontIndirectA(&lf);
    f->agHeight = f->spaceWidth = 0;
    if (!f->font)
        return false;
    if (memDc_) {
        HGDIOBJ old = SelectObject(memDc_, f->font);
        RECT r = {0, 0, 0, 0};
        ::DrawTextA(memDc_, "Ag", -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
        f->agHeight = r.bottom - r.top;
        r = {0, 0, 0, 0};
        ::DrawTextA(memDc_, " ", -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
        f->spaceWidth = r.right - r.left;
        SelectObject(memDc_, old);
    }
    return true;
}

int CVisuals::SetupFonts(const char* face, int height, UINT dpi) {
    if (face && *face)
        StrCopy(userFace_, countof(userFace_), face);
    else
        StrCopy(userFace_, countof(userFace_), uiFace_);
    userHeight_ = height > 0 ? height : 12;
    struct Plan {
        const char* face;
        int height, weight, escapement;
    };
    const Plan plans[kFontSetCount] = {
        {uiFace_, 12, 400, 0},
        {uiFace_, 12, 700, 0},
        {uiFace_, 12, 400, -900},
        {"MS Courier", 12, 400, 0},
        {userFace_, userHeight_, 400, 0},
        {userFace_, userHeight_, 700, 0},
        {userFace_, userHeight_, 400, -900},
    };
    for (int s = 0; s < kFontSetCount; s++) {
        for (int i = 0; i < fonts_[s].count; i++)
            if (fonts_[s].At(i)->font)
                DeleteObject(fonts_[s].At(i)->font);
        fonts_[s].Clear();
        VisualsFont f;
        memset(&f, 0, sizeof f);
        f.dpi = dpi ? dpi : 96;
        StrCopy(f.face, countof(f.face), plans[s].face);
        f.height = plans[s].height;
        f.weight = plans[s].weight;
        f.escapement = plans[s].escapement;
        MakeFont(&f);
        fonts_[s].Add(&f);
    }
    return 0;
}

HFONT CVisuals::FontForDpi(int set, UINT dpi) {
    if (set < 0 || set >= kFontSetCount)
        return nullptr;
    if (!dpi)
        dpi = 96;
    if (fonts_[set].count == 0) {
        // A set is empty only before the first SetupFonts: fill all sets once.
        UINT desktop = DesktopDpi();
        char face[260];
        StrCopy(face, countof(face), userFace_);
        SetupFonts(face, userHeight_, desktop);
    }
    CDynArray<VisualsFont>& list = fonts_[set];
    for (int i = 0; i < list.count; i++)
        if (list.At(i)->dpi == dpi)
            return list.At(i)->font;
    VisualsFont f = *list.At(0);
    f.dpi = dpi;
    if (!MakeFont(&f))
        return nullptr;
    if (list.Add(&f) < 0) {
        DeleteObject(f.font);
        return nullptr;
    }
    return f.font;
}

void CVisuals::TextMetrics(UINT dpi, int* agHeight, int* spaceWidth) {
    if (fonts_[kFontText].count == 0)
        FontForDpi(kFontText, dpi);
    const CDynArray<VisualsFont>& list = fonts_[kFontText];
    const VisualsFont* f = list.count ? list.At(0) : nullptr;
    for (int i = 0; i < list.count; i++)
        if (list.At(i)->dpi == dpi)
            f = list.At(i);
    if (agHeight)
        *agHeight = f ? f->agHeight : 0;
    if (spaceWidth)
        *spaceWidth = f ? f->spaceWidth : 0;
}

int CVisuals::MeasureText(const char* text, int* width, int* height, HFONT font) {
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (!text)
        return kVisualsErrNullText;
    if (!memDc_)
        return 0;
    HGDIOBJ old = font ? SelectObject(memDc_, font) : nullptr;
    RECT r = {0, 0, 0, 0};
    ::DrawTextA(memDc_, text, -1, &r, DT_NOPREFIX | DT_CALCRECT | DT_NOCLIP);
    if (old)
        SelectObject(memDc_, old);
    if (width)
        *width = r.right - r.left;
    if (height)
        *height = r.bottom - r.top;
    return 0;
}

int CVisuals::MeasureText(const char* text, int* width, int* height, bool bold, UINT dpi) {
    return MeasureText(text, width, height, FontForDpi(bold ? kFontTextBold : kFontText, dpi));
}

HICON TintIcon(HICON icon, COLORREF light, COLORREF dark) {
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info))
        return nullptr;
    HICON result = nullptr;
    BITMAP bm;
    if (info.hbmColor && info.hbmMask && GetObjectA(info.hbmColor, sizeof bm, &bm) && bm.bmWidth > 0 &&
        bm.bmHeight > 0 && bm.bmWidth <= 1024 && bm.bmHeight <= 1024) {
        int w = bm.bmWidth, h = bm.bmHeight;
        BITMAPINFO bi;
        memset(&bi, 0, sizeof bi);
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        BYTE* color = (BYTE*)malloc((size_t)w * h * 4);
        BYTE* mask = (BYTE*)malloc((size_t)w * h * 4);
        HDC dc = GetDC(nullptr);
        bool ok = dc && color && mask && GetDIBits(dc, info.hbmColor, 0, h, color, &bi, DIB_RGB_COLORS) == h;
        BITMAPINFO mi = bi;
        ok = ok && GetDIBits(dc, info.hbmMask, 0, h, mask, &mi, DIB_RGB_COLORS) == h;
        if (ok) {
            long long sum = 0;
            int opaque = 0;
            for (int i = 0; i < w * h; i++)
                if (mask[i * 4] != 0xFF) {
                    sum += color[i * 4];
                    opaque++;
                }
            // No opaque pixel: nothing is shaded, and no mean is taken.
            double m = opaque ? (double)sum / opaque : 0;
            for (int i = 0; i < w * h; i++) {
                if (mask[i * 4] == 0xFF)
                    continue;
                BYTE* p = color + i * 4;
                double x = (p[0] + p[1] + p[2] + 128 - m) / 765.0;
                x = x < 0 ? 0 : (x > 1 ? 1 : x);  // outside 0..1 the channels would wrap
                p[2] = (BYTE)(GetRValue(light) * x + GetRValue(dark) * (1 - x));
                p[1] = (BYTE)(GetGValue(light) * x + GetGValue(dark) * (1 - x));
                p[0] = (BYTE)(GetBValue(light) * x + GetBValue(dark) * (1 - x));
            }
            HBITMAP tinted = CreateCompatibleBitmap(dc, w, h);
            if (tinted && SetDIBits(dc, tinted, 0, h, color, &bi, DIB_RGB_COLORS) == h) {
                ICONINFO out = info;
                out.fIcon = TRUE;
                out.hbmColor = tinted;
                result = CreateIconIndirect(&out);
            }
            if (tinted)
                DeleteObject(tinted);
        }
        if (dc)
            ReleaseDC(nullptr, dc);
        free(color);
        free(mask);
    } else {
        result = CopyIcon(icon);  // a monochrome icon keeps its two colours
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return result;
}

HICON CVisuals::MakeTintedIcon(HICON icon) const {
    return TintIcon(icon, scheme_[1], scheme_[3]);
}

void CVisuals::LoadIconImages(VisualsIcon* e) {
    e->icon = e->tinted = nullptr;
    if (e->flags & kIconAppDrawn)
        return;
    e->icon = (HICON)LoadImageA(instance_, MAKEINTRESOURCEA(e->resourceId), IMAGE_ICON, e->size, e->size, LR_SHARED);
    if (e->icon)
        e->tinted = MakeTintedIcon(e->icon);
}

void CVisuals::FreeIconImages(VisualsIcon* e) {
    // e->icon is the system's shared copy and must not be destroyed.
    if (e->tinted)
        DestroyIcon(e->tinted);
    e->icon = e->tinted = nullptr;
}

int CVisuals::FindIcon(int id) const {
    int lo = 0, hi = icons_.count - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int v = icons_.At(mid)->id;
        if (v == id)
            return mid;
        if (v < id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

int CVisuals::AddIcon(int id, int resourceId, DWORD flags, int size) {
    VisualsIcon e;
    memset(&e, 0, sizeof e);
    e.id = id;
    e.resourceId = resourceId;
    e.flags = flags;
    e.size = size;
    LoadIconImages(&e);
    if (!(flags & kIconAppDrawn) && !e.icon)
        return kVisualsErrIconLoad;
    int at = FindIcon(id);
    if (at >= 0) {
        FreeIconImages(icons_.At(at));
        *icons_.At(at) = e;
        return 0;
    }
    if (icons_.InsertSorted(&e, CompareIcons) < 0) {
        FreeIconImages(&e);
        return kVisualsErrIconLoad;
    }
    return 0;
}

void CVisuals::ReloadIcons() {
    for (int i = 0; i < icons_.count; i++) {
        FreeIconImages(icons_.At(i));
        LoadIconImages(icons_.At(i));
    }
}

int CVisuals::DrawIcon(HDC dc, int id, UINT state, const RECT* rc) {
    int at = FindIcon(id);
    if (at < 0)
        return kVisualsErrIconMissing;
    const VisualsIcon* e = icons_.At(at);
    if (e->flags & kIconAppDrawn) {
        IconPaintRequest req;
        req.id = (WORD)id;
        req.rect = *rc;
        if (iconPainter_)
            SendMessageA(iconPainter_, MoxMSG_PAINTSWATCH, (WPARAM)dc, (LPARAM)&req);
        return 0;
    }
    HICON icon = (state & 1) ? e->icon : e->tinted;
    if (!icon)
        icon = e->icon;
    if (icon) {
        int oldMode = SetStretchBltMode(dc, HALFTONE);
        DrawIconEx(dc, rc->left, rc->top, icon, rc->right - rc->left, rc->bottom - rc->top, 0, nullptr, DI_NORMAL);
        SetStretchBltMode(dc, oldMode);
    }
    return 0;
}
