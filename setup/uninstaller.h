// The uninstaller: a copy of the running setup file switched to uninstall
// mode, carrying only the uninstall script.
#pragma once

// The 16-character mode tag, in writable data once: "SetupMode:Setup" in
// setup, "SetupMode:Unins" in an uninstaller copy.
extern char gModeTag[16];
// kModeSetup when the five characters behind "SetupMode:" are "Setup".
int ModeFromTag();

// Writes the uninstaller to path: the program image, the archive header,
// the first record ("Uninstall.qsc") and the trailer, with the mode tag
// switched. 0, or 8 when it cannot be built or written.
int BuildUninstaller(const char* path);
