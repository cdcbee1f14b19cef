// The current image and its bookkeeping: name, colour mode, the saved and
// edited flags with the question that protects an edited image, the
// opening of an image file dropped on the main dialog and the listeners
// that hear of a change.
#include "capture/state/image_state.h"

#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/message_box.h"

CImage gImage;
char gImageName[260] = "";
int gColorMode = kColorOriginal;
bool gSavedSequentially = false;
bool gEdited = false;

const char* ColorModeText(int mode) {
    static const char* const kTexts[kColorOriginal + 1] = {
        "Black & White (1 Bit)",        "Black & White Inverted (1 Bit)",
        "Grayscale (256 Steps, 8 Bit)", "16 Colors (4 Bit)",
        "256 Colors (8 Bit)",           "True Color (24 Bit)",
        "Original Color Mode",
    };
    return mode >= kColorBlackWhite && mode <= kColorOriginal ? kTexts[mode] : "";
}

bool ConfirmDiscard(HWND owner) {
    if (gEdited && gImage.IsValid()) {
        if (AppMessageBox(owner, nullptr, "%s", kBoxQuestion | kBoxYesNoCancel | kBoxBoldFirstLine, 0,
                          gApp.Text(IDS_IMAGE_WILL_BE_LOST, 0)) != IDYES)
            return false;
    }
    gEdited = false;
    return true;
}

namespace {

ImageListener gListeners[kMaxImageListeners];
int gChangeDepth = 0;         // open BeginImageChange calls
bool gChangePending = false;  // a change announced inside them

// The colour mode of a depth: 1 bit black and white, 4 bits 16 colours,
// 8 bits 256 colours, anything else true colour.
int ModeOfDepth(int bpp) {
    switch (bpp) {
        case 1:
            return kColorBlackWhite;
        case 4:
            return kColor16;
        case 8:
            return kColor256;
    }
    return kColorTrue;
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
        return kColorGrey;
    return ModeOfDepth(bpp);
}

bool OpenImageFile(const char* path) {
    if (!path || !path[0])
        return false;
    CImage loaded;
    if (!loaded.Load(path, CRaster::TypeFromFileName(path)))
        return false;
    if (!gImage.TakeOver(loaded, true))
        return false;
    StrCopy(gImageName, countof(gImageName), path);
    gColorMode = ColorModeOfImage(gImage);
    gSavedSequentially = false;  // the numbered file holds the capture, not this picture
    AnnounceImageChange();
    return true;
}

bool AddImageListener(ImageListener listener) {
    for (ImageListener l : gListeners)
        if (l == listener)
            return true;
    for (ImageListener& l : gListeners) {
        if (!l) {
            l = listener;
            return true;
        }
    }
    return false;
}

void RemoveImageListener(ImageListener listener) {
    for (ImageListener& l : gListeners)
        if (l == listener)
            l = nullptr;
}

void AnnounceImageChange() {
    if (gChangeDepth > 0) {
        gChangePending = true;
        return;
    }
    for (ImageListener l : gListeners)
        if (l)
            l();
}

void BeginImageChange() {
    gChangeDepth++;
}

void EndImageChange() {
    if (gChangeDepth > 0 && --gChangeDepth == 0 && gChangePending) {
        gChangePending = false;
        AnnounceImageChange();
    }
}
