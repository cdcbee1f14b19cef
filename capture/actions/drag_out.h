// Dragging the current image out of the main dialog as a file: the image
// is written to a temporary file (the smaller of JPEG and PNG) and offered
// as CF_HDROP through the program's own OLE data object, drop source and
// format enumerator. GUI thread only.
#pragma once
#include <windows.h>
#include <ole2.h>

// 0 when there was nothing to drag or the temporary file could not be
// written (after a message owned by owner); 1 after the drag ended. The
// temporary file "Vellumor Pro (<n>).jpg" or ".png" in the temporary folder,
// with the first number from the run's counter on that no file has, stays
// after a drop that did not move it (the target may read it later); a
// cancelled drag deletes it.
int DragImageOut(HWND owner);
// Start-up clean-up: deletes the files that DragImageOut left in the
// temporary folder when they were last written more than a day ago.
// Returns how many it deleted.
int RemoveOldDragFiles();

// The objects; each starts with one reference. E_INVALIDARG for a null out
// pointer (or, for the enumerator, count 0 or null formats), E_OUTOFMEMORY.
// The data object takes over the media's global blocks.
HRESULT CreateDataObject(const FORMATETC* formats, const STGMEDIUM* media, int count, IDataObject** out);
HRESULT CreateDropSource(IDropSource** out);
HRESULT CreateEnumFormatEtc(UINT count, const FORMATETC* formats, IEnumFORMATETC** out);

// The DROPFILES block offering one ANSI path (GMEM_MOVEABLE, zeroed,
// shareable), or null.
HGLOBAL MakeDropFiles(const char* path);
