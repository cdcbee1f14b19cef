// The image editor's shared state and the services its units call on each
// other: the dialog (editor_dialog.cpp), the display and draw windows
// (editor_view.cpp, editor_draw.cpp), the colour swatches and the "Enter
// Text" dialog (editor_text.cpp). GUI thread only; reset when the editor
// opens.
#pragma once
#include <windows.h>

#include "image/image.h"

// Drag states of the display window (positive values are edge bits).
enum : int { kDragIdle = 0, kDragPan = -1, kDragBand = -2 };
enum : int { kEdgeLeft = 1, kEdgeTop = 2, kEdgeRight = 4, kEdgeBottom = 8 };
// Tools (gOpt.Tool).
enum : int {
    kToolSelect = 0,
    kToolDraw = 1,
    kToolLine = 2,
    kToolArrow = 3,
    kToolBox = 4,
    kToolInvert = 5,
    kToolFill = 6,
    kToolText = 7,
    kToolCount = 8
};
// Command 1108's lParam when the wheel zooms (the pointer's pixel stays).
constexpr LPARAM kZoomAtPointer = 1234;
// To the display window: scroll by (signed low word, signed high word) of wParam.
constexpr UINT kMsgScrollBy = WM_USER + 3;

struct EditorState {
    HWND dialog;
    HWND view;  // display window
    HWND draw;  // draw window over the view
    HWND text;  // "Enter Text" dialog or 0
    // Selection in image pixels: columns left..right-1, rows top..bottom-1.
    int left, top, right, bottom;
    double zoom;
    int scrollX, scrollY;
    int viewW, viewH;      // display client size less 4
    int offsetX, offsetY;  // client position of pixel (scrollX, scrollY)
    int pointerX, pointerY;
    int drag;
    RECT grip;  // the size grip's square last drawn
};

extern EditorState gEd;
// The committed state of gImage: strokes are wiped back to it.
extern CImage gImageBackup;
// What the view shows: gImage plus the pointer's preview, which never
// reaches gImage.
extern CImage gEditorScreen;
extern TextMask gTextMask;

// Dialog services (editor_dialog.cpp).
void FitZoomToSelection();
void ShowSelectionSize(int w, int h);
void SetEditorCursor(LPCSTR cursor);
// gImage's (and the screen copy's) clip becomes the selection and the pen
// the foreground colour with the brush size.
void SetPaintClip();
void SetEditorPen();

// Display window (editor_view.cpp).
bool CreateEditorView(HWND placeholder);
void UpdateViewOffsets();
// Image rectangle (inclusive) -> client rectangle of the view.
RECT ImageRectToView(RECT r);
void SetViewScrollRange(int bar, int max, int page);
void SetViewScrollPos(int bar, int pos);
// The largest scroll position that still fills the view (0 when the image
// fits) at the current zoom.
int MaxScrollX();
int MaxScrollY();

// Drawing (editor_draw.cpp).
// gImageBackup and gEditorScreen become copies of gImage.
void SnapshotImage();
// gImage's rectangle back from the snapshot, the view invalidated there.
void RestoreFromSnapshot(const RECT* rect);
// Wipes the pointer's preview from the screen copy.
void WipePreview();
bool RegisterDrawClass();

// Swatches and the text tool (editor_text.cpp).
void AttachColorSwatch(HWND swatch, COLORREF* color);
void OpenEnterText();
void CloseEnterText();
// Renders the text buffer into gTextMask with the font and frame.
void RenderEditorText();
