// The actions on the current image: the clipboard copy and the three ways
// of writing a file (sequential number, save-as dialog, the smaller of
// JPEG and PNG). owner owns an action's dialogs and messages (null: the
// foreground window of the program). GUI thread only.
#pragma once
#include <windows.h>
#include <stddef.h>

#include "base/str_util.h"

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
// kActionDone or kActionWriteFailed; rewrites path (cch characters) to the
// file kept, replacing a file of that name.
int SaveOptimal(char* path, size_t cch);

// An optimal save before its file gets its name: the kept temporary file
// and the name it is meant for.
struct OptimalTemp {
    char tmp[kCchPath];
    char target[kCchPath2];
};
// Writes gImage as JPEG and as PNG under temporary names in path's folder
// and keeps the one the optimal choice keeps (the PNG unless it is more
// than 1.5 times the JPEG's size): t->tmp, meant for t->target (path with
// ".jpg" or ".png"). kActionDone, or kActionWriteFailed with nothing left
// (t->target then names the JPEG when only the PNG failed, else is empty).
int WriteOptimalTemp(const char* path, OptimalTemp* t);
// Gives the temporary file its name, replacing an existing file when
// replace is set. Without it an existing file fails with
// ERROR_ALREADY_EXISTS or ERROR_FILE_EXISTS and t->tmp stays for another
// name; any other failure removes t->tmp.
bool CommitOptimalTemp(const OptimalTemp* t, bool replace);
void SetImageResolution();
// The Save As dialog's type of a file name's extension: 0 bmp, 1 gif,
// 2 jpg, 3 png, 4 tif, 5 opt (the optimal choice); -1 anything else.
int SaveTypeFromExtension(const char* name);
