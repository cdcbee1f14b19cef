// The editor's undo stack over gImage; the Undo button (1029) and the
// colour-mode box (1045) of the editor dialog follow it while it is open.
#include "capture/state/undo.h"

#include <new>

#include "capture/editor/editor_dialog.h"
#include "capture/main_dialog/page_actions.h"
#include "capture/state/image_state.h"

CDynArray<UndoEntry> gUndo;

namespace {

const int kUndoButton = 1029;
const int kColorModeBox = 1045;

void UpdateUndoButton() {
    if (gEditorDialog)
        EnableWindow(GetDlgItem(gEditorDialog, kUndoButton), gUndo.count > 0);
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
    UpdateUndoButton();
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
    RefreshImageViews();
    if (gEditorDialog)
        SendDlgItemMessageA(gEditorDialog, kColorModeBox, CB_SETCURSEL, (WPARAM)e.colorMode, 0);
    for (int i = gUndo.count - 1; i >= n; i--)
        DeleteEntry(i);
    UpdateUndoButton();
}

void ClearUndo() {
    for (int i = 0; i < gUndo.count; i++)
        delete gUndo.At(i)->image;
    gUndo.Clear();
    UpdateUndoButton();
}
