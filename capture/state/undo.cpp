// The editor's undo stack over gImage; the open editor hears of every
// change of the stack through its listener.
#include "capture/state/undo.h"

#include <new>

#include "capture/state/image_state.h"

CDynArray<UndoEntry> gUndo;

namespace {

void (*gUndoListener)(int count) = nullptr;

void ReportUndoState() {
    if (gUndoListener)
        gUndoListener(gUndo.count);
}

void DeleteEntry(int i) {
    delete gUndo.At(i)->image;
    gUndo.RemoveAt(i);
}

}  // namespace

bool CopyImageInto(CImage* dest, const CImage& src) {
    dest->Destroy();
    dest->DestroyFrames();
    if (!src.IsValid())
        return false;
    return dest->Copy(src, true) && dest->IsValid();
}

bool PushUndo() {
    CImage* copy = new (std::nothrow) CImage();
    if (!copy)
        return false;
    if (!CopyImageInto(copy, gImage)) {
        delete copy;
        return false;
    }
    UndoEntry e = {gColorMode, copy};
    if (gUndo.Add(&e) < 0) {
        delete copy;
        return false;
    }
    ReportUndoState();
    return true;
}

bool PushUndoMovingImage() {
    CImage* moved = new (std::nothrow) CImage();
    if (!moved)
        return false;
    if (!moved->TakeOver(gImage, false)) {
        delete moved;
        return false;
    }
    UndoEntry e = {gColorMode, moved};
    if (gUndo.Add(&e) < 0) {
        gImage.TakeOver(*moved, false);
        delete moved;
        return false;
    }
    ReportUndoState();
    return true;
}

bool PushUndoEvicting() {
    while (!PushUndo()) {
        if (gUndo.count < 2)
            return false;
        DeleteEntry(1);
    }
    return true;
}

void UndoTo(int n) {
    if (gUndo.count == 0)
        return;
    if (n < 0)
        n = gUndo.count - 1;
    if (n >= gUndo.count)
        return;
    UndoEntry e = *gUndo.At(n);
    // The entry's pixels move into gImage (entries n..last go anyway): no
    // copy, so that the way back works when memory has run out.
    if (!e.image->IsValid() || !gImage.TakeOver(*e.image, true))
        return;
    gColorMode = e.colorMode;
    for (int i = gUndo.count - 1; i >= n; i--)
        DeleteEntry(i);
    AnnounceImageChange();
    ReportUndoState();
}

void ClearUndo() {
    for (int i = 0; i < gUndo.count; i++)
        delete gUndo.At(i)->image;
    gUndo.Clear();
    ReportUndoState();
}

void ClearImage() {
    // A reset, not only the pixels: an opened file's transparency, palette
    // alpha, resolution and Exif data must not reach the next capture.
    gImage.Reset(kFormatAny);
    ClearUndo();
    gEdited = false;
    AnnounceImageChange();
}

void SetUndoListener(void (*listener)(int count)) {
    gUndoListener = listener;
}
