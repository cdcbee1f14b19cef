// Metafile import: a placeable WMF (converted to an enhanced metafile) or an
// EMF is played with GDI into a screen-compatible bitmap of the metafile's
// own size (at most 4000 pixels on a side) and read back as the image.
// The metafile is read whole, so its size is bounded first.
#include "image/raster_wmf.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "image/byte_order.h"
#include "image/raster_file.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableSize = 22;
constexpr int kWmfHeaderSize = 18;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"

// A converted metafile and its natural size in pixels.
struct Metafile {
    HENHMETAFILE emf = nullptr;
    int width = 0, height = 0;
    const char* error = "corrupted WMF";
    ~Metafile() {
        if (emf)
            DeleteEnhMetaFile(emf);
    }
};

// Reads n bytes from the stream's position into a new block (null on a
// short read or no memory; *noMemory tells which).
BYTE* ReadBlock(CRasterFile* f, size_t n, bool* noMemory) {
    BYTE* p = (BYTE*)malloc(n ? n : 1);
    *noMemory = p == nullptr;
    if (p && f->Read(p, 1, n) != n) {
        free(p);
        p = nullptr;
    }
    return p;
}

// The placeable WMF at `start`: false when the data is none (then EMF is tried).
bool ReadPlaceable(CRasterFile* f, long start, long available, HDC screen, Metafile* m) {
    BYTE h[kPlaceableSize + kWmfHeaderSize];
    if (available < (long)sizeof(h) || f->Read(h, 1, sizeof(h)) != sizeof(h) || LoadLe32(h) != kPlaceableKey)
        return false;
    uint16_t sum = 0;
    for (int i = 0; i < 10; i++)
        sum ^= LoadLe16(h + 2 * i);
    int left = (int16_t)LoadLe16(h + 6), top = (int16_t)LoadLe16(h + 8);
    int right = (int16_t)LoadLe16(h + 10), bottom = (int16_t)LoadLe16(h + 12);
    int inch = LoadLe16(h + 14);
    if (sum != LoadLe16(h + 20) || inch < 1 || inch > 2540)
        return false;
    const BYTE* w = h + kPlaceableSize;
    uint16_t type = LoadLe16(w);
    uint64_t bytes = (uint64_t)LoadLe32(w + 6) * 2;
    if ((type != 1 && type != 2) || bytes < kWmfHeaderSize || bytes > (uint64_t)(available - kPlaceableSize))
        return false;
    if (right <= left || bottom <= top) {
        m->error = "empty WMF";
        return false;
    }
    bool noMemory;
    BYTE* data = f->Seek(start + kPlaceableSize, 0) ? ReadBlock(f, (size_t)bytes, &noMemory) : nullptr;
    if (!data) {
        if (noMemory)
            m->error = "can't allocate memory";
        return false;
    }
    METAFILEPICT pict = {MM_ANISOTROPIC, 10000, 10000, nullptr};
    m->emf = SetWinMetaFileBits((UINT)bytes, data, screen, &pict);
    if (!m->emf) {
        pict.mm = MM_TEXT;
        m->emf = SetWinMetaFileBits((UINT)bytes, data, screen, &pict);
    }
    free(data);
    if (!m->emf)
        return false;
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    m->width = (int)(((int64_t)(right - left) * dpiX + inch / 2) / inch);
    m->height = (int)(((int64_t)(bottom - top) * dpiY + inch / 2) / inch);
    return true;
}

// The enhanced metafile filling the stream from `start`.
bool ReadEnhanced(CRasterFile* f, long start, long available, Metafile* m) {
    ENHMETAHEADER head;
    if (available < (long)sizeof(head) || !f->Seek(start, 0) || f->Read(&head, 1, sizeof(head)) != sizeof(head) ||
        head.iType != EMR_HEADER || head.dSignature != kEmfSignature || !f->Seek(start, 0))
        return false;
    bool noMemory;
    BYTE* data = ReadBlock(f, (size_t)available, &noMemory);
    if (!data) {
        if (noMemory)
            m->error = "can't allocate memory";
        return false;
    }
    m->emf = SetEnhMetaFileBits((UINT)available, data);
    free(data);
    if (!m->emf || !GetEnhMetaFileHeader(m->emf, sizeof(head), &head))
        return false;
    int64_t w = (int64_t)head.rclBounds.right - head.rclBounds.left;
    int64_t h = (int64_t)head.rclBounds.bottom - head.rclBounds.top;
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) {
        m->error = "empty WMF";
        return false;
    }
    m->width = (int)w;
    m->height = (int)h;
    return true;
}

// Keeps the drawing objects of a playback and releases them on every path.
struct Playback {
    HDC screen = nullptr, mem = nullptr;
    HBITMAP bitmap = nullptr, oldBitmap = nullptr;
    HPALETTE palette = nullptr, oldPalette = nullptr;
    ~Playback() {
        if (mem && oldPalette)
            SelectPalette(mem, oldPalette, FALSE);
        if (mem && oldBitmap)
            SelectObject(mem, oldBitmap);
        if (palette)
            DeleteObject(palette);
        if (bitmap)
            DeleteObject(bitmap);
        if (mem)
            DeleteDC(mem);
        if (screen)
            ReleaseDC(nullptr, screen);
    }
};

// The bitmap size: the asked size (0: the metafile's own), scaled down
// to at most kMetafileMaxSide on a side. False when nothing is left.
bool FitOutputSize(int width, int height, const Metafile& m, int64_t* outW, int64_t* outH) {
    int64_t w = width > 0 ? width : m.width, h = height > 0 ? height : m.height;
    if (w > kMetafileMaxSide) {
        h = h * kMetafileMaxSide / w;
        w = kMetafileMaxSide;
    }
    if (h > kMetafileMaxSide) {
        w = w * kMetafileMaxSide / h;
        h = kMetafileMaxSide;
    }
    *outW = w;
    *outH = h;
    return w >= 1 && h >= 1;
}

// A screen-compatible bitmap of w x h selected into a memory DC, filled
// with the window colour. False when GDI cannot make it.
bool CreatePlaybackBitmap(Playback* pb, int w, int h) {
    pb->mem = CreateCompatibleDC(pb->screen);
    pb->bitmap = pb->mem ? CreateCompatibleBitmap(pb->screen, w, h) : nullptr;
    if (!pb->bitmap)
        return false;
    pb->oldBitmap = (HBITMAP)SelectObject(pb->mem, pb->bitmap);
    RECT rc = {0, 0, (LONG)w, (LONG)h};
    COLORREF back = SetBkColor(pb->mem, GetSysColor(COLOR_WINDOW));
    ExtTextOutA(pb->mem, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    SetBkColor(pb->mem, back);
    return true;
}

// The metafile's own palette, when it has one, realised in the memory DC.
// False when there is no memory for it.
bool SelectMetafilePalette(Playback* pb, HENHMETAFILE emf) {
    UINT entries = GetEnhMetaFilePaletteEntries(emf, 0, nullptr);
    if (entries == 0 || entries == GDI_ERROR)
        return true;
    LOGPALETTE* lp = (LOGPALETTE*)malloc(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY));
    if (!lp)
        return false;
    lp->palVersion = 0x300;
    lp->palNumEntries = (WORD)entries;
    GetEnhMetaFilePaletteEntries(emf, entries, lp->palPalEntry);
    pb->palette = CreatePalette(lp);
    free(lp);
    if (pb->palette) {
        pb->oldPalette = SelectPalette(pb->mem, pb->palette, FALSE);
        RealizePalette(pb->mem);
    }
    return true;
}

}  // namespace

bool CRasterWMF::DecodeWmf(CRasterFile* f, int width, int height) {
    if (!f)
        return false;
    long start = f->Tell(), size = f->Size();
    if (start < 0 || size < start) {
        SetLastError("corrupted WMF");
        return false;
    }
    long available = size - start;
    if (available > kMetafileMaxBytes) {
        SetLastError("WMF too large");
        return false;
    }
    Playback pb;
    pb.screen = GetDC(nullptr);
    if (!pb.screen)
        return false;
    // Not a placeable WMF (and not refused as one): an EMF.
    Metafile m;
    bool read = ReadPlaceable(f, start, available, pb.screen, &m);
    if (!read && strcmp(m.error, "corrupted WMF") == 0)
        read = ReadEnhanced(f, start, available, &m);
    if (!read) {
        SetLastError(m.error);
        return false;
    }
    if (GetEscape() == (uint32_t)-1) {
        head_.biWidth = m.width;
        head_.biHeight = m.height;
        SetFormatId(kFormatWmf);
        SetLastError("output dimensions returned");
        return true;
    }
    if (m.width <= 0 || m.height <= 0) {
        SetLastError("empty WMF");
        return false;
    }
    int64_t w = 0, h = 0;
    if (!FitOutputSize(width, height, m, &w, &h)) {
        SetLastError("empty WMF");
        return false;
    }
    if (!CreatePlaybackBitmap(&pb, (int)w, (int)h))
        return false;
    if (!SelectMetafilePalette(&pb, m.emf)) {
        SetLastError("can't allocate memory");
        return false;
    }
    RECT rc = {0, 0, (LONG)w, (LONG)h};
    PlayEnhMetaFile(pb.mem, m.emf, &rc);
    SelectObject(pb.mem, pb.oldBitmap);
    pb.oldBitmap = nullptr;
    if (GetEscape()) {
        SetLastError("Cancelled");
        return false;
    }
    if (!Create((int)w, (int)h, GetDeviceCaps(pb.mem, BITSPIXEL), kFormatWmf))
        return false;
    bool ok =
        GetDIBits(pb.mem, pb.bitmap, 0, (UINT)h, GetPixels(), (BITMAPINFO*)GetDibBlock(), DIB_RGB_COLORS) == (int)h;
    UpdateDibHeader();
    return ok;
}

bool CRasterWMF::EncodeWmf(CRasterFile* f) {
    if (f)
        SetLastError("Save WMF not supported");
    return false;
}

static CRaster* NewWmf() {
    return new CRasterWMF();
}

static bool DecodeThunk(CRaster* codec, CRasterFile* f, bool) {
    return static_cast<CRasterWMF*>(codec)->DecodeWmf(f, 0, 0);
}

static bool EncodeThunk(CRaster* codec, CRasterFile* f) {
    return static_cast<CRasterWMF*>(codec)->EncodeWmf(f);
}

const RasterCodec kWmfCodec = {kFormatWmf, NewWmf, DecodeThunk, EncodeThunk, true};
