// CImage services that need GDI: text masks and palette handles.
#include <stdlib.h>
#include <string.h>

#include "image/image.h"

int CImage::RenderTextMask(const char* text, HFONT font, int n) {
    if (!textMask_ || !text)
        return 1;
    HDC screen = GetDC(nullptr);
    HDC mem = screen ? CreateCompatibleDC(screen) : nullptr;
    if (!mem) {
        if (screen)
            ReleaseDC(nullptr, screen);
        return 1;
    }
    HGDIOBJ oldFont = SelectObject(mem, font);
    RECT rc = {0, 0, 0, 0};
    DrawTextA(mem, text, -1, &rc, DT_NOPREFIX | DT_CALCRECT | DT_NOCLIP);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int W = w + 2 * n + h, H = h + 2 * n + h / 2;
    HBITMAP bmp = W > 0 && H > 0 ? CreateCompatibleBitmap(screen, W, H) : nullptr;
    int result = 0;
    if (!bmp) {
        result = 2;
    } else {
        textMask_->width = W;
        textMask_->height = H;
        HGDIOBJ oldBmp = SelectObject(mem, bmp);
        SetTextColor(mem, RGB(0, 0, 0));
        SetBkColor(mem, RGB(255, 255, 255));
        RECT r = {0, 0, W, H};
        for (int i = 0; i < n; i++) {
            FrameRect(mem, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
            InflateRect(&r, -1, -1);
        }
        ::FillRect(mem, &r, (HBRUSH)GetStockObject(WHITE_BRUSH));
        OffsetRect(&r, h / 2, h / 4);
        SetBkMode(mem, TRANSPARENT);
        DrawTextA(mem, text, -1, &r, DT_NOPREFIX | DT_NOCLIP);
        free(textMask_->mask);
        textMask_->mask = (BYTE*)malloc((size_t)W * H);
        if (!textMask_->mask) {
            result = 3;
        } else {
            for (int j = 0; j < H; j++)
                for (int i = 0; i < W; i++) {
                    COLORREF c = GetPixel(mem, i, j);
                    textMask_->mask[(size_t)j * W + i] =
                        (BYTE)(int)((GetGValue(c) * 587.0 + GetRValue(c) * 299.0 + GetBValue(c) * 114.0) / 1000.0);
                }
        }
        SelectObject(mem, oldBmp);
        DeleteObject(bmp);
    }
    SelectObject(mem, oldFont);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return result;
}

HPALETTE CImage::CreatePaletteHandle() const {
    const RGBQUAD* pal = GetPaletteConst();
    int n = GetPaletteCount();
    if (!pal || n <= 0)
        return nullptr;
    LOGPALETTE* lp = (LOGPALETTE*)malloc(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * (size_t)n);
    if (!lp)
        return nullptr;
    lp->palVersion = 0x300;
    lp->palNumEntries = (WORD)n;
    for (int i = 0; i < n; i++)
        lp->palPalEntry[i] = PALETTEENTRY{pal[i].rgbRed, pal[i].rgbGreen, pal[i].rgbBlue, 0};
    HPALETTE h = CreatePalette(lp);
    free(lp);
    return h;
}
