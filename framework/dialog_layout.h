// CDialogLayout: keeps the controls of a resizable dialog in place when it
// changes size. Positions are kept in units of a reference item's size, so
// a layout follows the dialog's font; an anchor mode per control says which
// edges follow the dialog.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "base/dyn_array.h"

// Anchor modes (one per control).
enum : uint32_t {
    kLayoutSize = 0x1,             // size only: right and bottom margins kept
    kLayoutSizeWidth = 0x2,        // size only: right margin kept, height in units
    kLayoutBottom = 0x8,           // move only: left offset and bottom margin kept
    kLayoutRight = 0x10,           // move only: right margin and top offset kept
    kLayoutBottomRight = 0x20,     // move only: right and bottom margins kept
    kLayoutCentreX = 0x40,         // move only: centre at the same fraction of the width, bottom margin kept
    kLayoutCentreY = 0x80,         // move only: right margin kept, centre at the same fraction of the height
    kLayoutAfterPrevious = 0x100,  // move only: offset from the window before it in Z-order kept
};

class CDialogLayout {
  public:
    CDialogLayout() = default;
    ~CDialogLayout() = default;
    CDialogLayout(const CDialogLayout&) = delete;
    CDialogLayout& operator=(const CDialogLayout&) = delete;

    // Stores the dialog and the reference item and records both client
    // rectangles. A reference item that is missing or has a zero width or
    // height makes that axis count in pixels. False when dialog is not a
    // window (nothing changes) or the reference item is missing.
    bool Attach(HWND dialog, int referenceId);
    // Registers a control of the attached dialog with one anchor mode,
    // measured where it is now. False when not attached, the dialog has no
    // such item or the list can't grow.
    bool AddControl(int itemId, uint32_t mode);
    // Forgets every control (the attachment is kept).
    void Clear() { entries_.Clear(); }
    // Call on every resize of the dialog: repositions every registered
    // control by its mode, in the order they were added, then redraws it.
    // Controls no longer children of the dialog are skipped.
    void Apply();

    int Count() const { return entries_.count; }

  private:
    struct Entry {
        HWND hwnd;
        uint32_t mode;
        // In units of the reference item's width (x) or height (y) at
        // attach time.
        double left, top, width, height;
        double leftOffset, rightMargin, topOffset, bottomMargin;
    };
    void Units(double* ux, double* uy) const;

    HWND dialog_ = nullptr;
    RECT dialogRect_ = {};  // dialog client rectangle when attached
    int referenceId_ = 0;
    RECT referenceRect_ = {};  // reference item client rectangle when attached
    CDynArray<Entry> entries_;
};
