// CAppWindow: a framework window, a top-level window of class "MoxWindow"
// that the application creates through CApp::CreateFrame. It owns four dock
// bays, keeps its placement, flags and transparency in the record
// "(Mox)Win<index>", a stack of status texts under a mutex, a busy overlay
// while a modal dialog runs, and carries out the window-menu commands. The
// application replaces its window procedure and passes what it does not
// handle to the framework's AppWindowProc.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "base/dyn_array.h"
#include "commands.h"

class CDockBay;

// Window flags, kept in the record.
enum : DWORD {
    kFrameTaskbarButton = 0x1,
    kFrameResizable = 0x2,
    kFrameResolutionLock = 0x4,
    kFrameNoCaption = 0x8,
    kFrameSmallCaption = 0x10,
    kFrameLockBarPositions = 0x20,
    kFrameLockBarSizes = 0x40,
    kFrameLockPosition = 0x80,
    kFrameAlwaysOnTop = 0x100,
    kFrameMaximised = 0x200,
    kFrameMainFrame = 0x400,  // SendToMainFrame's target
    kFrameBorderless = 0x800,
    kFrameLockSize = 0x1000,
    kFrameAcceptFiles = 0x2000,
    kFrameHidden = 0x10000000,
    kFrameAllLocks = kFrameLockBarPositions | kFrameLockBarSizes | kFrameLockPosition | kFrameLockSize,
};

#pragma pack(push, 1)
// The "(Mox)Win<index>" record, 16 bytes.
struct FrameRecord {
    int16_t left, top;
    uint16_t width, height;
    uint32_t flags;
    uint32_t transparency;  // percent in the low byte; 0x1000 click-through
};
#pragma pack(pop)
static_assert(sizeof(FrameRecord) == 16, "the record's layout is fixed");

// One status text; id -3 the base text, -2 the hover help of UI items.
struct StatusEntry {
    int id;
    char text[1024];
};

class CAppWindow {
  public:
    CAppWindow() = default;
    CAppWindow(const CAppWindow&) = delete;
    CAppWindow& operator=(const CAppWindow&) = delete;
    ~CAppWindow();

    // 0 or kMoxErrWindowCreate. appProc (may be null) replaces the framework's procedure.
    // Zero position or size values take the cascading defaults.
    int Create(WORD index, WNDPROC appProc, const char* title, int iconId, DWORD flags, int x, int y, int width,
               int height);
    // The result of the mutex wait: 0 done, else WAIT_TIMEOUT or WAIT_FAILED
    // and nothing changed. A null or empty text removes the entry.
    DWORD SetStatusText(int id, const char* text);
    // The shown status text: the first entry with id -1, else the last one.
    const char* ShownStatusText() const;
    void SavePlacement();
    // True when the command was the frame's.
    bool OnFrameCommand(WORD id);
    // 1 when the focus moved, 0 when the frame has no tab stop.
    int CycleFocus(int direction);
    void Show(int showCmd, bool remember);
    // With null: lays out again at the current size; else moves and sizes
    // the frame, locks lifted for that move.
    void Relayout(const RECT* rect);
    void SetTransparency(int percent);
    void SetClickThrough(bool on);
    // The id list of the window menu, ended by kIdListEnd; fills at most cap ids.
    int BuildWindowMenu(WORD* ids, int cap) const;
    // The window menu at the cursor, its states refreshed.
    void OpenWindowMenu();
    WORD windowMenu[64] = {kIdListEnd};

    HWND window = nullptr;
    HWND busyOverlay = nullptr;
    HWND savedFocus = nullptr;
    WORD index = 0;
    DWORD flags = 0;
    RECT clientRect = {};  // inside the four bays
    RECT normalRect = {};  // the restored rectangle the record keeps
    RECT windowRect = {};  // the last window rectangle after a move or size
    WORD statusCommand = kNoCommand;
    bool restyling = false;
    HICON trayIcon = nullptr;
    int transparency = 0;  // percent, 0-90
    bool clickThrough = false;
    CDynArray<CDockBay*> bays;  // top, bottom, left, right
    CDynArray<StatusEntry> statusTexts;
    HANDLE statusMutex = nullptr;
    void* openPopup = nullptr;

    // Framework procedure pieces.
    void OnSize(int width, int height);
    void RecordPlacement();
    void Restyle(DWORD setBits, DWORD clearBits);
    void SetBusy(bool on);
    void OnActivate(bool active);
    // Fonts for the new DPI, every bar of the frame laid out again, then the
    // suggested rectangle (may be null).
    void OnDpiChanged(UINT dpi, const RECT* suggested);

  private:
    void ComputeStyles(DWORD* style, DWORD* exStyle) const;
    void ApplyTransparency(HWND hwnd, bool withClickThrough) const;
    void ChooseCustomColor(int slot);
    void ChooseCustomFont();
};

// The framework's procedure of every frame.
LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The alpha of a transparency percent: (100 - p) * 255 / 100.
BYTE FrameAlpha(int percent);
