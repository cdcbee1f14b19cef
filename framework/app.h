// CApp: the framework's one application object (gApp), built before the
// entry point and destroyed after it. Init is the framework start-up; the
// destructor the shutdown, saving the (Mox)App record and relaunching when
// a restart was requested. Only the GUI thread touches it.
#pragma once
#include <windows.h>
#include <stdint.h>

#include "base/dyn_array.h"
#include "base/str_util.h"
#include "command_line.h"
#include "commands.h"
#include "install_settings.h"
#include "string_table.h"
#include "visuals.h"

class CAppWindow;
class CBar;
class CUIItem;
class CMenu;

// The colour mode of the (Mox)App record.
enum : uint8_t { kSchemeNone = 0, kSchemeDefault = 1, kSchemeCustom = 2, kSchemeAutomatic = 255 };

#pragma pack(push, 1)
// The (Mox)App settings record, 297 bytes.
struct AppRecord {
    int32_t language;       // 0 English, 1 Deutsch; others read as 0
    int32_t formatVersion;  // the version given to Init
    uint8_t colorMode;      // kScheme*
    COLORREF colors[5];     // the custom colour scheme
    uint8_t reserved[4];
    char fontFace[260];  // empty: the default face
    int32_t fontSize;    // 0: the default size
};
#pragma pack(pop)
static_assert(sizeof(AppRecord) == 297, "the record's layout is fixed");

struct CApp {
    CApp();
    ~CApp();
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;

    // The framework start-up: 0 to run, else a result code after which the
    // program ends at once (the code's message, if any, was shown).
    int Init(HINSTANCE inst, WORD productTextId, TextRecord* appTable, bool allowSeveral, int formatVersion,
             const char* cmdLine, int showCmd);
    // Creates framework window `index`; its list position, or -1.
    int CreateFrame(WORD index, WNDPROC proc, const char* title, int iconId, DWORD flags, const RECT* rect);
    // The message loop; returns the WM_QUIT code.
    int Run();
    // Destroys tool tip, instance window, frames and icon; saves the records
    // unless this start was handed over.
    void CloseAll();
    void SaveAppRecord();
    bool RecordVersionUnchanged() const { return !recordVersionChanged; }

    CAppWindow* FrameByWindow(HWND hwnd) const;
    CAppWindow* FrameByIndex(WORD index) const;
    CAppWindow* FrameOfWindow(HWND hwnd) const;    // the frame among hwnd and its ancestors
    CAppWindow* FrameAtPoint(POINT screen) const;  // the frame of the window at a screen point
    CBar* BarById(WORD id) const;                  // by its show and hide command
    CUIItem* ItemByCommand(WORD id) const;         // the first item of the command in any bar
    // Removes bar `pos` of the list with its command record; false when there is none.
    bool DeleteBar(int pos);
    // Removes the frame with the window index, its bars first; false when there is none.
    bool DeleteFrame(WORD index);
    HWND ForegroundWindowOfProcess() const;
    LRESULT SendToMainFrame(UINT msg, WPARAM wp, LPARAM lp);

    void DisableFrames(bool on);
    INT_PTR RunModalDialog(HWND owner, int dialogId, DLGPROC proc, LPARAM param);
    // Bold fonts, default-button font, class icon, focus, centring, topmost.
    // Remembers the DPI the dialog was laid out for. Returns the bold font.
    HFONT PrepareDialog(HWND dialog);
    // A dialog after a DPI change (WM_DPICHANGED): its font made anew for
    // dpi and given to its children, the bold font to those that
    // PrepareDialog gave it (default button, group boxes, caption check
    // boxes), and its controls moved and sized by new / old DPI. Children
    // with fonts of their own keep them; child dialogs (tab pages) are only
    // moved and sized: each calls this itself. A top-level dialog takes the
    // suggested window rectangle (WM_DPICHANGED's lParam), or without one
    // grows its client area by the same factor. Returns the bold font for
    // dpi, as PrepareDialog does. The fonts are the application's.
    HFONT ApplyDialogFont(HWND dialog, UINT dpi, const RECT* suggested = nullptr);
    // The DPI a dialog was last laid out for (PrepareDialog or
    // ApplyDialogFont); GetWindowDpi when neither ran on it.
    UINT DialogDpi(HWND dialog) const;
    UINT GetWindowDpi(HWND hwnd) const;
    // Stores the colour mode (255 automatic, 0 none, 1 default, 2 custom) and repaints every frame and bar.
    void SetSchemeMode(BYTE mode);
    // Sends WM_NCACTIVATE (false) to every frame and bar, WM_NCPAINT to frames without caption.
    void RedrawFrameBorders();
    // The sizing cursor of a drag edge 1-8.
    void SetDragCursor(int edge);
    // percent 0 removes the layered style; else alpha (100 - percent) * 255 / 100.
    void SetTransparency(HWND hwnd, int percent, bool clickThrough);
    // Switches a bar on or off and re-lays out every frame.
    void ShowBar(CBar* bar, bool show);
    // Commands (an icon or text id of -1 means the command id itself).
    // Position or -1; the flags get kCmdEnabled and kCmdDroppable added.
    int AddCommand(WORD id, WORD kind, DWORD flags, int iconId, int textId, void* data, float widthFactor = 0,
                   float heightFactor = 0);
    int FindCommandIndex(WORD id) const;
    CommandInfo* Command(WORD id);
    // 0 or kMoxErrUnknownCommand (unknown id; out untouched).
    int GetCommand(WORD id, CommandInfo* out) const;
    int SetCommand(WORD id, const CommandInfo* in);
    // 0 when unknown (FindCommandIndex tells whether an id exists).
    long CommandFlags(WORD id) const;
    // 0 when unknown.
    WORD CommandType(WORD id) const;
    void DeleteCommand(WORD id);
    int EnableCommand(WORD id, bool on);
    int SetCommandChecked(WORD id, bool on);
    // Flags become set | (flags & ~clear); repaints on a change.
    void SetItemState(CUIItem* item, DWORD set, DWORD clear);
    // Repaints every item of the command; value != -1 goes to the items' Update.
    void UpdateItems(WORD id, bool relayout, int value);
    void ShowStatusHelp(CAppWindow* frame, CUIItem* item);
    // The item factory: a new item of the kind, or null.
    CUIItem* CreateUIItem(WORD kind, void* object);
    // With an item: closes the popup open in its container and returns that
    // menu; with null: closes every menu.
    CMenu* CloseMenus(CUIItem* item);
    // Opens the popup of a menu command at a screen point, owned by a frame.
    CMenu* ShowPopupMenu(WORD id, POINT at, CAppWindow* frame);
    // Keyboard movement between the active frame's top-level menus: 0 first,
    // 1 next, -1 previous, 2 close. 0, or 1 without an active frame.
    int MoveMenuSelection(int how);
    // The framework's own commands (separators, window menu) and the window
    // menu's icons. 0, kMoxErrMenuIcon (an icon could not be added) or kMoxErrCommandAdd (a command).
    int AddFrameworkCommands();
    // One message through the framework's pre-dispatch.
    void PreDispatch(MSG* msg);
    // The user-interface font (bold or normal) for a DPI; owned by the app.
    HFONT UiFont(UINT dpi, bool bold);

    // Tray icon of frame `index`: iconId < 0 removes it. tipFormat null: the product name.
    void SetTrayIcon(WORD index, int iconId, const char* tipFormat, ...)
        __attribute__((format(STR_PRINTF_FORMAT, 4, 5)));
    void SetTrayIconRaw(WORD index, HICON icon, const char* tip);
    // Relaunch after the loop ends: mode 1, 2 elevated, -1 as now.
    void RequestRestart(int mode, const char* params, bool broadcast);
    // 0 or kMoxErrStartupLink.
    int SetAutoStart(bool enable, const char* extraArgs, bool onlyIfMissing, const char* iconPath,
                     const char* linkName);
    // Keeps messages flowing for ms milliseconds; false when WM_QUIT came.
    bool Wait(UINT ms, UINT_PTR timerId);
    // 0 opened, 1 not a help file, 2 no viewer, 3 missing, 4 start failed.
    int ShowManual(const char* path, const char* topic);
    // A framework or application text; never null (empty when missing).
    const char* Text(WORD id, int slot) const;

    HINSTANCE instance = nullptr;
    DWORD processId = 0;
    WORD productTextId = 0;
    char productName[260] = "";
    int versionMajor = 0, versionMinor = 0, versionBuild = 0;
    char commandLine[1040] = "";
    char modulePath[260] = "";
    WNDPROC frameworkWndProc = nullptr;
    HWND toolTip = nullptr;
    HWND instanceWindow = nullptr;
    HANDLE instanceMutex = nullptr;  // held from the first moment of a single-instance start until CloseAll
    int modalDepth = 0;
    int osCode = 0;
    bool wow64 = false;
    UINT taskbarMessage = 0;
    UINT instanceMessage = 0;
    bool handedOver = false;
    bool inLoop = false;
    uint32_t productCrc = 0;
    bool autostart = false;
    bool startMinimised = false;
    int restartMode = 0;
    char restartParams[260] = "";
    char restoreKeepList[260] = "";
    bool broadcastRestart = false;
    int doubleClickTime = 0;
    bool recordVersionChanged = false;
    bool recordRead = false;  // the (Mox)App record was read (or found missing): it may be saved
    AppRecord record;
    BYTE installSettings[kCbInstallSettings] = {};
    WORD activeFrame = 0;  // window index of the frame last activated; kNoActiveFrame when none
    HICON icon = nullptr;
    CStringTable strings;
    CVisuals visuals;
    bool visualsReady = false;        // Init set the visuals up
    CDynArray<CAppWindow*> frames;    // sorted by window index
    CDynArray<CBar*> bars;            // every bar of every frame
    CDynArray<CUIItem*> items;        // every live UI item
    CDynArray<CommandInfo> commands;  // sorted by id
    CDynArray<CMenu*> menuBar;        // the keyboard menu bar of the active frame
    CMenu* rootMenu = nullptr;        // the menu whose popup opened first, or null
    bool menuTracking = false;        // a framework popup is open
    bool menuKeyboard = false;        // keyboard navigation of framework menus is on
    int lastPopupResult = 0;
    CMenu* sharedMenu = nullptr;    // reused by ShowPopupMenu
    CDynArray<CmdSwitch> switches;  // the parsed command line

    // Per-monitor DPI functions, when the system has them.
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;

  private:
    int InitSteps(TextRecord* appTable, bool allowSeveral, int formatVersion, int showCmd);
    int InitIdentity(TextRecord* appTable);
    int ReadStartArguments(int showCmd);
    int InitSchemeAndFonts();
    int CreateSharedWindows();
    int HandOver(int waitMode, bool allowSeveral);
    int PrepareDataFolders(int waitMode);
    void CopyInitFolder();
    void ReadAppRecord(int formatVersion);
    void ShowInitError(int code);

    struct FontSlot {
        UINT dpi;
        bool bold;
        HFONT font;
    };
    CDynArray<FontSlot> fonts_;
    // Dialog fonts made for other DPIs, kept for the process's life.
    struct DialogFont {
        LOGFONTA lf;
        HFONT font;
    };
    CDynArray<DialogFont> dialogFonts_;
    HFONT ScaledDialogFont(HFONT from, UINT fromDpi, UINT toDpi);
};

extern CApp gApp;

// Registers a window class of this module once; true when it exists.
// cursor: a system cursor (IDC_ARROW ...) or null; background may be null.
bool EnsureWindowClass(const char* name, WNDPROC proc, LPCSTR cursor, HBRUSH background, HICON icon, UINT style = 0);

// activeFrame when no frame of the program is active.
constexpr WORD kNoActiveFrame = 0xFFFF;

// Icon resource of the program (class icons, tray, message box).
constexpr int kIdiProgram = 1;
