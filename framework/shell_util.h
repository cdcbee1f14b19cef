// Common file dialog, folder browser and shell helpers.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include <stddef.h>

// The open (save false) or save dialog, owned by the active window.
// filter: pairs of description and pattern, each NUL-terminated, ended by
// an empty string ("PNG\0*.png\0JPEG\0*.jpg;*.jpeg\0"). index: the filter
// shown first (0-based); its pattern's extension ("png") is the default
// extension. chosenIndex (may be null) receives the filter index chosen;
// folder (kCchPath, may be null) is the initial folder and receives the
// chosen file's folder, with its trailing '\'; initialName may be null.
// Returns the chosen path in a shared buffer valid until the next call, or
// null when cancelled or failed (then folder and chosenIndex are left as
// they were). GUI thread only.
const char* FileDialog(bool save, const char* filter, signed char index, int* chosenIndex, char* folder,
                       const char* initialName);

// The default extension FileDialog uses for filter index `index`: the
// extension of that filter's first pattern ("*.jpg;*.jpeg" -> "jpg"), or ""
// when there is none or it is a wildcard. ext holds at least cch characters.
void FilterDefaultExtension(const char* filter, int index, char* ext, size_t cch);

// The shell folder browser (new dialog style added to flags), owned by the
// active window and centred on it. Returns the chosen folder in a shared
// buffer valid until the next call, or null when cancelled or the choice
// has no file-system path. Initialises COM on the calling thread for the
// call (and uninitialises only what it initialised). GUI thread only.
const char* BrowseForFolder(const char* title, UINT flags);

// True when comctl32.dll reports a version above 4.70.
bool CommonControlsAbove470();

// The path of a shell special folder (CSIDL_...) into path (cch); false and
// "" when it has none or it would not fit.
bool GetSpecialFolderPath(int csidl, char* path, size_t cch);

// The first top-level window of class "MoxPhantom" (case ignored) whose
// title equals productName, or null.
HWND FindPhantomWindow(const char* productName);

// The entry after this one in an item-ID list (the terminator after the
// last one), or null when pidl is null or already the terminator.
LPCITEMIDLIST NextItemId(LPCITEMIDLIST pidl);

// Copies a STRRET of any kind into out (cch); a wide one is freed with the
// shell allocator (and its pointer cleared). pidl is the item the STRRET
// came with (for STRRET_OFFSET). False and "" when it would not fit.
bool StrRetToAnsi(STRRET* strRet, LPCITEMIDLIST pidl, char* out, size_t cch);
