// The current image and its bookkeeping: name, colour mode, the saved and
// edited flags with the question that protects an edited image, and the
// opening of an image file dropped on the main dialog.
#include <string.h>

#include "app_texts.h"
#include "capture.h"
#include "framework/app.h"
#include "framework/message_box.h"
#include "base/str_util.h"
#include "undo.h"

CImage gImage;
char gImageName[260] = "";
int gColorMode = 6;
bool gSavedSequentially = false;
bool gEdited = false;

const char* ColorModeText(int mode) {
    static const char* const kTexts[7] = {
        "Black & White (1 Bit)",        "Black & White Inverted (1 Bit)",
        "Grayscale (256 Steps, 8 Bit)", "16 Colors (4 Bit)",
        "256 Colors (8 Bit)",           "True Color (24 Bit)",
        "Original Color Mode",
    };
    return mode >= 0 && mode < 7 ? kTexts[mode] : "";
}

bool ConfirmDiscard() {
    if (gEdited && gImage.IsValid()) {
        if (AppMessageBox(gMainDialog, nullptr, "%s", 0x188, 0, gApp.Text(IDS_IMAGE_WILL_BE_LOST, 0)) != IDYES)
            return false;
    }
    gEdited = false;
    return true;
}

void ClearImage() {
    // A reset, not only the pixels: an opened file's transparency, palette
    // alpha, resolution and Exif data must not reach the next capture.
    gImage.Reset(kFormatAny);
    ClearUndo();
    gEdited = false;
    RefreshImageViews();
}

namespace {

// The colour mode of a depth: 1 bit black and white, 4 bits 16 colours,
// 8 bits 256 colours, anything else true colour.
int ModeOfDepth(int bpp) {
    switch (bpp) {
        case 1:
            return 0;
        case 4:
            return 3;
        case 8:
            return 4;
    }
    return 5;
}

}  // namespace

int ScreenColorMode() {
    HDC dc = GetDC(nullptr);
    int bpp = dc ? GetDeviceCaps(dc, BITSPIXEL) : 24;
    if (dc)
        ReleaseDC(nullptr, dc);
    return ModeOfDepth(bpp);
}

int ColorModeOfImage(const CRaster& image) {
    int bpp = image.GetBpp();
    if (bpp >= 4 && image.IsGrayScale())
        return 2;
    return ModeOfDepth(bpp);
}

const char* FileExtension(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    const char* dot = strrchr(name, '.');
    return dot ? dot + 1 : "";
}

uint32_t FormatOfPath(const char* path) {
    const char* ext = FileExtension(path);
    size_t n = strlen(ext);
    if (StrCmpAsciiNoCase(ext, "jpeg") == 0)
        return kFormatJpg;
    if (StrCmpAsciiNoCase(ext, "tiff") == 0)
        return kFormatTif;
    return n == 3 ? CRaster::TypeFromExtension(ext) : 0;
}

bool OpenImageFile(const char* path) {
    if (!path || !path[0])
        return true;
    CImage loaded;
    if (!loaded.Load(path, FormatOfPath(path)))
        return true;
    if (!gImage.TakeOver(loaded, true))
        return true;
    StrCopy(gImageName, countof(gImageName), path);
    gColorMode = ColorModeOfImage(gImage);
    gSavedSequentially = false;  // the numbered file holds the capture, not this picture
    RefreshImageViews();
    return false;
}
