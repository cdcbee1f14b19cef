// Helpers of the capture tests: the application set up as far as the
// capture road needs it, a window showing a known pattern, a message pump,
// input sent as the user would (SendInput from a helper thread), and the
// closing of message boxes and common dialogs from a helper thread.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "image/image.h"

// Texts, module handle and the overlay class; options to their defaults
// with no sound and no default action.
void InitCaptureApp();
// Makes gImage a fresh 40 x 30 true-colour capture of a fixed pattern
// (colour mode 5, not edited).
void SetTestCapture();

// The pattern's colour at a window pixel: every pixel differs from its
// neighbours and from its mirror images.
COLORREF PatternColor(int x, int y);
// A topmost popup at (x, y) of w x h screen pixels drawing PatternColor.
HWND ShowPatternWindow(int x, int y, int w, int h);
// A plain popup filled with one colour (no activation).
HWND ShowColorWindow(int x, int y, int w, int h, COLORREF color, bool topmost);

// A child window of parent filled with one colour.
HWND AddColorChild(HWND parent, int x, int y, int w, int h, COLORREF color);

// Dispatches this thread's messages (with TranslateMessage) until done()
// or ms milliseconds passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int ms);
void PumpFor(int ms);

// Input from any thread (screen coordinates).
void MouseTo(int x, int y);
void MouseButton(bool left, bool down);
void Click(int x, int y);
void Key(WORD vk, bool shift = false);

// Mismatches between img (top-down compared) and the pattern window's
// pixels from (x0, y0); the first one described in *where.
int CountPatternDiff(const CRaster& img, int x0, int y0, std::string* where);
// The colour of an image pixel, top-down.
COLORREF PixelAt(const CRaster& img, int x, int yTop);

// The first visible "#32770" window of this process, or null.
HWND FindProcessDialog();
// Waits (up to ms) for a dialog of this process on a helper thread.
HWND WaitForProcessDialog(int ms);
// The first visible Edit below a window, searched depth first.
HWND FindEdit(HWND parent);

// Runs `call` on this thread while a helper thread waits for a message box,
// records its text (first line and rest joined by '\n') and presses
// `button` (IDOK, IDYES, IDNO). Returns the text, or "" when none came
// within ms.
std::string WithMessageBox(const std::function<void()>& call, int button, int ms = 5000);

// Puts block (format) on the clipboard, which then owns it.
bool PutOnClipboard(UINT format, HGLOBAL block);
// A movable block holding text and its terminating zero.
HGLOBAL TextBlock(const std::string& text);

// Windows path of a test path (backslashes).
std::string WinPath(const std::string& path);
