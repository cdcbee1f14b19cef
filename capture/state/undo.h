// The image editor's undo stack: full copies of gImage taken before each
// change, oldest first. Entry 0 is the state before the first change.
// Also ClearImage, which starts the image and its stack anew. GUI thread
// only.
#pragma once
#include "base/dyn_array.h"
#include "image/image.h"

struct UndoEntry {
    int colorMode;  // 0..6, the colour mode of the image when pushed
    CImage* image;  // heap copy of gImage, owned by the entry
};

extern CDynArray<UndoEntry> gUndo;

// dest becomes a copy of src (pixels, settings and frames); the target is
// destroyed first. True when dest is valid afterwards.
bool CopyImageInto(CImage* dest, const CImage& src);
// Appends {gColorMode, copy of gImage}; false (stack unchanged) when the
// copy could not be made.
bool PushUndo();
// PushUndo; while it fails and two or more entries remain, entry 1 is
// dropped and the push tried again. True when the entry was pushed.
bool PushUndoEvicting();
// Appends {gColorMode, gImage's pixels} by moving them, not copying:
// gImage is left empty (its frames stay) for the caller to fill at once.
// False, with gImage unchanged, when the entry could not be added.
bool PushUndoMovingImage();
// Restores entry n (-1: the last) into gImage and drops entries n..last,
// and announces the change. Nothing happens with an empty stack, an n out
// of range, or when the copy fails (the stack is kept).
void UndoTo(int n);
// Deletes every entry's image and empties the stack.
void ClearUndo();
// Empties gImage, the undo stack and the edited flag, and announces it.
void ClearImage();
// The open editor follows the stack: listener(count of entries) after
// every push, undo and clearing; null while no editor is open.
void SetUndoListener(void (*listener)(int count));
