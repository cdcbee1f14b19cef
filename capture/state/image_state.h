// The current image and its bookkeeping: name, colour mode, the saved and
// edited flags with the question that protects an edited image, the
// opening of an image file dropped on the main dialog, and the one
// announcement of a change to those who show the image. GUI thread only.
#pragma once
#include <windows.h>

#include "image/image.h"

extern CImage gImage;
extern char gImageName[260];     // the file last read or written, or "(Unnamed)"
extern int gColorMode;           // kColor* (options.h), see ColorModeText
extern bool gSavedSequentially;  // this capture was written by the sequential save
extern bool gEdited;             // the editor ended with OK and the image was not used since

// The 36-character text of a colour mode ("" outside them).
const char* ColorModeText(int mode);
// False when the user declined to lose the edited image (question 5100,
// owned by owner; null: the foreground window of the program).
bool ConfirmDiscard(HWND owner);
// The colour mode matching the screen depth.
int ScreenColorMode();
int ColorModeOfImage(const CRaster& image);
// Reads the file into gImage and announces it; false (gImage unchanged)
// when it cannot.
bool OpenImageFile(const char* path);

// Those who show the image (the Actions page, the open editor) listen for
// a change of gImage or gColorMode: at most kMaxImageListeners, each
// called once per change however often it was added. False when full.
typedef void (*ImageListener)();
constexpr int kMaxImageListeners = 4;
bool AddImageListener(ImageListener listener);
void RemoveImageListener(ImageListener listener);
// Everything that changes gImage or gColorMode announces it here. Between
// BeginImageChange and EndImageChange (they nest) the listeners wait for
// the outer end, so that a change made in steps (a capture: clear, grab,
// convert) reaches them once.
void AnnounceImageChange();
void BeginImageChange();
void EndImageChange();
