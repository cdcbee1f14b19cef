// The actions on the current image: the clipboard copy and the three ways
// of writing a file (sequential number, save-as dialog, the smaller of
// JPEG and PNG). owner owns an action's dialogs and messages (null: the
// foreground window of the program). GUI thread only.
#pragma once
#include <windows.h>
#include <stddef.h>

// What an action returns.
enum : int {
    kActionDone = 0,
    kActionNoImage = 1,        // there is no valid image: nothing happened, no message
    kActionCancelled = -1,     // cancelled by the user, or failed (a message said why)
    kActionDataRefused = -3,   // the clipboard refused the picture (after a message)
    kActionWriteFailed = -11,  // the file could not be written
};

// The Save As dialog's filters (pairs of name and pattern, ended by an
// empty name); the last, kFilterOptimal (counted from 1, as the dialog
// counts), is the optimal choice.
extern const char kSaveFilter[];
constexpr int kFilterOptimal = 7;

int CopyToClipboard(HWND owner);
int SaveSequential(HWND owner);
int SaveImageAs(HWND owner);
// kActionDone or kActionWriteFailed.
int WriteImageFile(const char* path);
// kActionDone or kActionWriteFailed; rewrites path (cch characters).
int SaveOptimal(char* path, size_t cch);
void SetImageResolution();
// The Save As dialog's type of a file name's extension: 0 bmp, 1 gif,
// 2 jpg, 3 png, 4 tif, 5 opt (the optimal choice); -1 anything else.
int SaveTypeFromExtension(const char* name);
