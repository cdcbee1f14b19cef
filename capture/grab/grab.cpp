// Taking the capture: the picked rectangle of the frozen picture becomes
// gImage, the capture sound plays and the image is brought into the
// default colour mode.
#include "capture/grab/grab.h"

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/resource.h"
#include "capture/state/color_mode.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "capture/state/undo.h"
#include "framework/app.h"
#include "image/save_stages.h"

namespace {

// A logical palette of the 256 system palette entries; the caller deletes it.
HPALETTE SystemPalette(HDC dc) {
    struct {
        WORD version, count;
        PALETTEENTRY entries[256];
    } lp;
    lp.version = 0x300;
    lp.count = 256;
    if (GetSystemPaletteEntries(dc, 0, 256, lp.entries) == 0)
        return nullptr;  // not a palette device
    return CreatePalette((LOGPALETTE*)&lp);
}

// gImage from the inclusive rectangle sel of the picture's top-down 32-bit
// rows in memory (the overlay's frozen screen on a true-colour display):
// read in place, without a second bitmap, a fill and GetDIBits. False when
// sel does not lie inside them.
bool GrabFromRows(const FrozenRows& rows, const RECT& sel, int width, int height) {
    if (!rows.bits || sel.left < 0 || sel.top < 0 || sel.left + width > rows.width || sel.top + height > rows.height)
        return false;
    GdiFlush();  // drawings on the picture (the cursor) are in its bits
    const BYTE* first = rows.bits + (ptrdiff_t)sel.top * rows.stride + (ptrdiff_t)sel.left * 4;
    return gImage.CreateFromPixels(first, width, height, 32, rows.stride, true);
}

}  // namespace

bool GrabSelection(HDC picture, const RECT& sel, const FrozenRows* rows) {
    BeginImageChange();  // clearing, grabbing and converting: one change for the listeners
    ClearImage();        // every capture starts from a new image
    int width = sel.right + 1 - sel.left;
    int height = sel.bottom + 1 - sel.top;
    bool grabbed = false, fromDib = false;
    if (width > 0 && height > 0) {
        MarkSaveStage(kStageImageCopy, true);
        fromDib = rows && GrabFromRows(*rows, sel, width, height);
        grabbed = fromDib;
        MarkSaveStage(kStageImageCopy, false);
    }
    if (width > 0 && height > 0 && !fromDib) {
        MarkSaveStage(kStageImageCopy, true);
        HDC screen = GetDC(nullptr);
        HPALETTE pal = SystemPalette(screen);
        HPALETTE oldPal = nullptr;
        if (pal) {
            oldPal = SelectPalette(screen, pal, FALSE);
            RealizePalette(screen);
        }
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, width, height);
        if (mem && bmp) {
            HGDIOBJ old = SelectObject(mem, bmp);
            RECT all = {0, 0, width, height};
            FillRect(mem, &all, GetSysColorBrush(COLOR_BACKGROUND));
            BitBlt(mem, 0, 0, width, height, picture, sel.left, sel.top, SRCCOPY | CAPTUREBLT);
            SelectObject(mem, old);
            grabbed = gImage.CreateFromBitmapHandle(bmp, nullptr, false);
        }
        if (pal)
            SelectPalette(screen, oldPal, FALSE);
        ReleaseDC(nullptr, screen);
        if (pal)
            DeleteObject(pal);
        if (mem)
            DeleteDC(mem);
        if (bmp)
            DeleteObject(bmp);
        MarkSaveStage(kStageImageCopy, false);
    }
    if (grabbed && gOpt.PlaySound)
        PlaySoundA(MAKEINTRESOURCEA(IDR_CAPTURE_SOUND), gApp.instance, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
    gColorMode = ScreenColorMode();
    MarkSaveStage(kStageColour, true);
    if (gImage.IsValid())
        SetColorMode(gOpt.DefColMode == kColorOriginal ? gColorMode : gOpt.DefColMode);
    MarkSaveStage(kStageColour, false);
    gSavedSequentially = false;
    StrCopy(gImageName, countof(gImageName), gApp.Text(IDS_UNKNOWN, 1));
    AnnounceImageChange();
    EndImageChange();
    return gImage.IsValid();
}
