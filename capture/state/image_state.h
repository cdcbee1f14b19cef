// The current image and its bookkeeping: name, colour mode, the saved and
// edited flags with the question that protects an edited image, and the
// opening of an image file dropped on the main dialog. GUI thread only.
#pragma once
#include "image/image.h"

extern CImage gImage;
extern char gImageName[260];     // the file last read or written, or "(Unnamed)"
extern int gColorMode;           // kColor* (options.h), see ColorModeText
extern bool gSavedSequentially;  // this capture was written by the sequential save
extern bool gEdited;             // the editor ended with OK and the image was not used since

// The 36-character text of a colour mode ("" outside them).
const char* ColorModeText(int mode);
// False when the user declined to lose the edited image (question 5100).
bool ConfirmDiscard();
// Empties gImage, the undo stack and the edited flag.
void ClearImage();
// The colour mode matching the screen depth.
int ScreenColorMode();
int ColorModeOfImage(const CRaster& image);
// Reads the file into gImage; false (gImage unchanged) when it cannot.
bool OpenImageFile(const char* path);
