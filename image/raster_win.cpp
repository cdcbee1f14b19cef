// Windows bitmap bridges: a screen bitmap or a raw pixel array becomes an
// image; an image becomes a global CF_DIB block for the clipboard.
#include <stdlib.h>
#include <string.h>

#include "image/raster.h"
#include "image/work_threads.h"

namespace {

// width x height x 4 bytes, or null when the count is absurd.
BYTE* AllocPixels32(int width, int height) {
    if (width <= 0 || height <= 0)
        return nullptr;
    uint64_t n = (uint64_t)width * (uint64_t)height;
    if (n >= (1u << 30) || n * 4 > 0x7FFFFFFF)
        return nullptr;
    return (BYTE*)malloc((size_t)(n * 4));
}

BITMAPINFOHEADER Header32(const BITMAP& bm) {
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    h.biSize = 40;
    h.biWidth = bm.bmWidth;
    h.biHeight = bm.bmHeight;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return h;
}

}  // namespace

bool CRaster::BitmapHasAlpha(HBITMAP bitmap) {
    if (!bitmap)
        return false;
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof(bm), &bm) || bm.bmBitsPixel != 32)
        return false;
    BYTE* buf = AllocPixels32(bm.bmWidth, bm.bmHeight);
    if (!buf)
        return false;
    bool alpha = false;
    HDC dc = GetDC(nullptr);
    if (dc) {
        BITMAPINFOHEADER h = Header32(bm);
        if (GetDIBits(dc, bitmap, 0, (UINT)bm.bmHeight, buf, (BITMAPINFO*)&h, DIB_RGB_COLORS)) {
            size_t n = (size_t)bm.bmWidth * bm.bmHeight;
            for (size_t i = 0; i < n && !alpha; i++)
                alpha = buf[4 * i + 3] != 0;
        }
        ReleaseDC(nullptr, dc);
    }
    free(buf);
    return alpha;
}

bool CRaster::CreateFromBitmapHandle(HBITMAP bitmap, HPALETTE palette, bool useAlpha) {
    if (!Destroy() || !bitmap)
        return false;
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof(bm), &bm))
        return false;
    if (useAlpha && BitmapHasAlpha(bitmap)) {
        BYTE* buf = AllocPixels32(bm.bmWidth, bm.bmHeight);
        if (!buf)
            return false;
        HDC dc = GetDC(nullptr);
        bool ok = false;
        if (dc) {
            BITMAPINFOHEADER h = Header32(bm);
            ok = GetDIBits(dc, bitmap, 0, (UINT)bm.bmHeight, buf, (BITMAPINFO*)&h, DIB_RGB_COLORS) != 0;
            ReleaseDC(nullptr, dc);
        }
        if (ok)  // GetDIBits gives 32-bit rows of exactly width x 4 bytes
            ok = CreateFromPixels(buf, bm.bmWidth, bm.bmHeight, 32, bm.bmWidth * 4, false);
        free(buf);
        return ok;
    }
    if (!Create(bm.bmWidth, bm.bmHeight, bm.bmBitsPixel, 0))
        return false;
    HDC dc = GetDC(nullptr);
    if (!dc) {
        SetLastError("GetDIBits failed");
        return false;
    }
    HPALETTE old = nullptr;
    if (palette) {
        old = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    int lines = GetDIBits(dc, bitmap, 0, (UINT)Height(), GetPixels(), (BITMAPINFO*)dib_, DIB_RGB_COLORS);
    if (palette)
        SelectPalette(dc, old, FALSE);
    ReleaseDC(nullptr, dc);
    // GetDIBits may have rewritten the block's header: keep ours.
    memcpy(dib_, &head_, 40);
    if (lines == 0) {
        SetLastError("GetDIBits failed");
        return false;
    }
    InvalidateColorCache();
    return true;
}

bool CRaster::CreateFromPixels(const BYTE* pixels, int width, int height, int bpp, int srcStride, bool flip) {
    if (!pixels)
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return false;
    if (!Create(width, height, bpp == 32 ? 24 : bpp, 0))
        return false;
    if (bpp < 24)
        SetGrayPalette();
    // Rows in bands on the work threads: a whole 4K screen is 33 MB read
    // and 25 MB written, which one thread takes several times as long for.
    const int rowBytes = GetRowStride() < srcStride ? GetRowStride() : srcStride;
    RunOnThreads(WorkThreads((long long)width * height), [&](int t, int n) {
        int from = (int)((int64_t)height * t / n), to = (int)((int64_t)height * (t + 1) / n);
        for (int i = from; i < to; i++) {
            const BYTE* src = pixels + (ptrdiff_t)i * srcStride;
            BYTE* dst = GetRowPointer(flip ? height - 1 - i : i);
            if (bpp == 32) {
                for (int x = 0; x < width; x++) {
                    dst[3 * x] = src[4 * x];
                    dst[3 * x + 1] = src[4 * x + 1];
                    dst[3 * x + 2] = src[4 * x + 2];
                }
            } else {
                memcpy(dst, src, (size_t)rowBytes);
            }
        }
    });
    return true;
}

HGLOBAL CRaster::CopyToGlobalHandle() const {
    if (!dib_)
        return nullptr;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, GetDibSize());
    if (!h)
        return nullptr;
    void* p = GlobalLock(h);
    if (!p) {
        GlobalFree(h);
        return nullptr;
    }
    memcpy(p, dib_, GetDibSize());
    GlobalUnlock(h);
    return h;
}
