// The dispatch of the actions: after a capture the action of the overlay's
// letter or the default one, and the Actions page's buttons. The main
// dialog takes part as the actions' host. GUI thread only.
#pragma once
#include <windows.h>

// What the dispatch asks of its host.
enum : int {
    kHostShowActions = 0,   // no action ran or it failed, or the editor closed: the Actions page shows
    kHostHide = 1,          // a button's action is done and gOpt.AutoHide is on: hide
    kHostEditorOpens = 2,   // the editor is about to open (the hot keys let go of their keys)
    kHostEditorClosed = 3,  // the editor closed (the hot keys are taken again)
};

// The main dialog registers itself at its start and (null, null) at its
// end: owner owns the actions' dialogs and messages and request(kHost*)
// does the host's part. Without a host the actions run alone: no window
// owns them and nothing is shown or hidden.
void SetActionHost(HWND owner, void (*request)(int what));

// True for the upper-case letter that picks an action in the overlay.
bool IsActionLetter(int letter);
// After a capture: the action of the overlay letter, or the default one.
void RunAction(int letter);
// The Actions page's buttons (1026, 1025, 1010, 1027, 1021, 1003, 1005).
void OnActionButton(int id);
