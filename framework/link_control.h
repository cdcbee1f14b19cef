// CLinkControl: turns a static text control of a dialog into a hyperlink,
// drawn in blue with a hand cursor and a tooltip showing the address, that
// opens its address through the shell on a click or the space key.
#pragma once
#include <windows.h>

#include "base/str_util.h"

// Opens an address for a link; owner is the link's dialog.
typedef void (*LinkOpenFunc)(HWND owner, const char* address);

class CLinkControl {
  public:
    CLinkControl() = default;
    ~CLinkControl() { Detach(); }
    CLinkControl(const CLinkControl&) = delete;
    CLinkControl& operator=(const CLinkControl&) = delete;

    // Detaches first, then makes the dialog's item a link to address (null:
    // the control's text). An empty text shows the address. False, with
    // nothing attached, when the dialog has no such item or the address
    // (given or taken from the text) is longer than kCchPath - 1: a cut
    // address would open the wrong place. A longer shown text is cut.
    bool Attach(HWND dialog, int itemId, const char* address = nullptr);
    // Removes the link's subclass from the control and destroys the
    // tooltip; the control itself stays. Also done when the control is
    // destroyed while attached.
    void Detach();

    HWND Window() const { return control_; }
    HWND Tooltip() const { return tooltip_; }
    const char* Text() const { return text_; }
    const char* Address() const { return address_; }

    // Replaces how addresses are opened (tests observe clicks this way);
    // null restores the shell (ShellExecute, default verb, SW_SHOWNORMAL).
    // Returns the previous opener. GUI thread only.
    static LinkOpenFunc SetOpener(LinkOpenFunc opener);

  private:
    static LRESULT CALLBACK LinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
    void OnPaint();
    void Open();
    void Release();

    int itemId_ = 0;
    HWND control_ = nullptr;
    HWND dialog_ = nullptr;
    HWND tooltip_ = nullptr;
    char text_[kCchPath] = "";
    char address_[kCchPath] = "";
    UINT drawFlags_ = 0;       // DT_CENTER, DT_RIGHT, DT_PATH_ELLIPSIS from the style
    bool subclassed_ = false;  // our entry in the control's subclass chain
};
