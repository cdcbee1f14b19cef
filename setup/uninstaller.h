// The uninstaller: a copy of the running setup file switched to uninstall
// mode, carrying only the uninstall script; its self-deletion at the end of
// an uninstall, and running the uninstaller of a previous installation.
#pragma once

// The 16-character mode tag, in writable data once: "SetupMode:Setup" in
// setup, "SetupMode:Unins" in an uninstaller copy.
extern char gModeTag[16];
// kModeSetup when the five characters behind "SetupMode:" are "Setup".
int ModeFromTag();

// Writes the uninstaller to path: the program image with the mode tag
// switched and the uninstall icon as its program icon, then the archive
// header, the first record ("Uninstall.qsc") and the trailer. 0, or 8 when
// it cannot be built or written.
int BuildUninstaller(const char* path);

// True when the file at path is an uninstaller of this product: it carries
// the uninstall tag and a script that sets #PROGRAM# to this one.
bool IsOwnUninstaller(const char* path);

// Deletes the running program's file once it has ended, through a batch
// file in the temporary folder, named for this process, that also deletes
// itself and the folder made for the uninstaller's copy; the batch gives up
// after about a minute. Fails silently.
void SelfDelete();

// Runs the command line registered as "UninstallString" of product and
// waits for it (and for an older one's temporary copy "_QvUItmp.exe") to
// end, handling window messages meanwhile, for at most ten minutes when
// silent (which adds "-SILENT" to the command line), an hour otherwise;
// keepSettings adds "-KEEPCFG" (the user's settings and data stay). The log
// notes the wait. Its exit code; -1 without a registration or
// "UninstallString", -2 when it cannot be started, -3 when the wait gave up.
long RunOldUninstaller(const char* product, bool silent, bool keepSettings);
