// Web links on the wizard's pages: a static control subclassed to paint
// its text as a link and open its target through the shell.
#pragma once
#include <windows.h>

struct Hyperlink {
    HWND control;
    char text[260];
    char target[260];  // the control's own text when none was given
    unsigned flags;    // reserved
    WNDPROC previous;
};

// Subclasses the control id of dialog with link (which must live as long
// as the control). An empty or null target opens the control's own text.
void AttachHyperlink(Hyperlink* link, HWND dialog, int id, const char* target, unsigned flags);
