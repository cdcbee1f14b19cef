// SetColorMode: the one converter of gImage between the colour modes.
#pragma once

// What SetColorMode returns.
enum : int { kColorModeDone = 0, kColorModeUnchanged = -1, kColorModeFailed = 2 };

// Converts gImage to a colour mode (kColor*, options.h): kColorModeDone
// (the change announced), kColorModeUnchanged when it is in that mode
// already, or kColorModeFailed (gImage unchanged).
int SetColorMode(int mode);
