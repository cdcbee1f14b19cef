// What the units of the capture application share: the main dialog, the
// current image and its bookkeeping, the overlay, the actions and the hot
// keys. Everything here runs on the GUI thread.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "image/image.h"

// --- main dialog (main_dialog.cpp) ------------------------------------------
// Messages of the main dialog and its pages.
constexpr UINT kMsgShowTab = 1026;     // to the main dialog: ShowMainDialog(lParam)
constexpr UINT kMsgPageStore = 32790;  // to a page: read the controls into gOpt
constexpr UINT kMsgPageLoad = 32791;   // to a page: fill the controls from gOpt

extern HWND gMainDialog;  // 0 before it exists and after the loop ended
extern HDC gScreenDC;     // memory DC compatible with the screen, for the program's run
INT_PTR CALLBACK MainDialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
// n 0..5 shows tab n, -1 shows the current tab, -2 hides the dialog. False
// when the current page refused to be left (an invalid number), and when
// there is no main dialog.
bool ShowMainDialog(int n);
// The Actions page (its buttons run the actions), or 0.
HWND ActionsPage();
// Redraws the Actions page's preview and its texts (size, colour mode).
// Called by everything that changes gImage or the colour mode: the grab,
// opening a file, clearing, SetColorMode, undo and the editor's end.
void RefreshImageViews();
// Rebuilds the tab icons (resources 1, 14, 11, 17, 15, 18, 16, 12, 13, 19,
// list indices 0..9) at the main dialog's DPI and gives them to the tabs.
void LoadTabIcons();
// The image list of LoadTabIcons (owned by the main dialog), or 0.
HIMAGELIST TabImageList();
// The framework's product information dialog over the owner.
void ShowProductInfo(HWND owner);

// --- the current image (image_state.cpp) ------------------------------------
extern CImage gImage;
extern char gImageName[260];     // the file last read or written, or "(Unnamed)"
extern int gColorMode;           // 0..6, see ColorModeText
extern bool gSavedSequentially;  // this capture was written by the sequential save
extern bool gEdited;             // the editor ended with OK and the image was not used since

// The 36-character text of a colour mode 0..6 ("" outside).
const char* ColorModeText(int mode);
// False when the user declined to lose the edited image (question 5100).
bool ConfirmDiscard();
// Empties gImage, the undo stack and the edited flag.
void ClearImage();
// The colour mode matching the screen depth.
int ScreenColorMode();
int ColorModeOfImage(const CRaster& image);
// True on failure (gImage unchanged).
bool OpenImageFile(const char* path);
// Converts gImage to colour mode 0..6: 0 done, -1 already in that mode,
// 2 failed (image unchanged).
int SetColorMode(int mode);

// --- the overlay (overlay.cpp) ----------------------------------------------
extern const char kCaptureClassName[];  // "VellumorProCaptureWnd"
extern HWND gOverlay;                   // 0 when no capture is open
// Opens the overlay, or closes it when one is open.
void StartCapture();
LRESULT CALLBACK CaptureWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
// Refreshes the virtual screen; its width (which 0) or height (which 1).
int GetVirtualScreen(int which);
void GetVisibleWindowBounds(HWND window, RECT* bounds);

// --- actions (actions.cpp) --------------------------------------------------
// Results: 0 done, 1 no valid image, -1 cancelled or failed, else failed
// after a message.
void RunAction(int letter);
// The Actions page's buttons (1026, 1025, 1010, 1027, 1021, 1003, 1005).
void OnActionButton(int id);
int CopyToClipboard();
int SaveSequential();
int SaveImageAs();
// 0, or -11 on failure.
int WriteImageFile(const char* path);
// 0 or the failing write's result; rewrites path (cch characters).
int SaveOptimal(char* path, size_t cch);
void SetImageResolution();
// 0 bmp, 1 gif, 2 jpg, 3 png, 4 tif, 5 opt; -1 anything else.
int SaveTypeFromExtension(const char* name);

// Actions whose units come with printing, Send-To and the image editor
// (pending_actions.cpp until they land).
int PrintImage();
int SendImageTo();
// The image editor (dialog 102): 1 OK, 2 Cancel, -1 not available.
INT_PTR RunImageEditor(HWND owner, int autoCrop);
extern HWND gEditorDialog;  // the open editor, or 0

// --- capture road: grab, overlay internals, undo (grab.cpp, overlay.cpp) ---
// The overlay's pick is complete: grab, close, run the action (posted by
// the overlay to itself, so that nothing of this runs inside WM_PAINT).
constexpr UINT kMsgPickComplete = WM_APP + 0x111;
// Called by the overlay with its selection set: removes the drawings and
// builds gImage from the frozen picture. Always 0.
int GrabSelection();
// Builds gImage from the inclusive rectangle sel of picture (a DC holding
// the frozen virtual screen, in overlay coordinates), plays the capture
// sound and converts to the default colour mode. True when gImage is valid.
bool GrabFromPicture(HDC picture, const RECT& sel);
// The overlay's side of the grab: removes highlight, rubber band and label,
// makes the selection inclusive in every mode and hands out the frozen DC.
// False when no overlay is open.
bool TakeOverlaySelection(RECT* sel, HDC* picture);
// Where the size label of a selection goes. drag: the unordered drag
// rectangle (its direction picks the first corner); sel: the ordered
// inclusive selection; screenW/H the virtual-screen size; w/h the label's.
// Returns the corner used (0 below-right, 1 above-right, 2 above-left,
// 3 below-left) or -1 when the label is centred in the selection.
int PlaceSizeLabel(const RECT& drag, const RECT& sel, int screenW, int screenH, int w, int h, POINT* at);
// Extension of a file name (after the last dot of its last component, no
// dot), or "" when it has none.
const char* FileExtension(const char* path);
// Format id of the real extension of a path ("jpeg", "tiff" included);
// 0 for none or an unknown one.
uint32_t FormatOfPath(const char* path);

// --- hot keys (hotkeys.cpp) -------------------------------------------------
constexpr int kHotKeyCapture = 111;
constexpr int kHotKeyShow = 112;
constexpr UINT kMinuteTimer = 4096;
// Turns the Options page's two edit controls (1077 capture, 1078 show)
// into hot-key fields.
void AttachHotKeyFields(HWND captureEdit, HWND showEdit);
// mode 1 registers, 0 only hands words, dialog and ids to the two fields.
bool RegisterHotKeys(int mode);
void UnregisterHotKeys();
void StoreHotKeys();
// The main dialog's WM_HOTKEY and WM_TIMER.
void OnHotKey(HWND dlg, int id);
void OnMinuteTimer(HWND dlg);
