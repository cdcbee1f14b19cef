// CAppWindow: a framework window, a top-level window of class "MoxWindow"
// that the application creates through CApp::CreateFrame. The application
// replaces its window procedure and passes what it does not handle to the
// framework's AppWindowProc.
#pragma once
#include <windows.h>

// Window flags kept with the frame.
enum : DWORD {
    kFrameTaskbarButton = 0x1,
    kFrameResolutionLock = 0x4,
    kFrameAlwaysOnTop = 0x100,
    kFrameMainFrame = 0x400,  // SendToMainFrame's target
    kFrameHidden = 0x10000000,
};

class CAppWindow {
  public:
    CAppWindow() = default;
    CAppWindow(const CAppWindow&) = delete;
    CAppWindow& operator=(const CAppWindow&) = delete;
    ~CAppWindow();

    // 0 or 0xF002. appProc (may be null) replaces the framework's procedure.
    int Create(WORD index, WNDPROC appProc, const char* title, int iconId, DWORD flags, const RECT* rect);

    HWND window = nullptr;
    WORD index = 0;
    DWORD flags = 0;
    RECT windowRect = {};  // the last window rectangle
    HICON trayIcon = nullptr;
};

// The framework's procedure of every frame.
LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
