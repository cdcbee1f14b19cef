// The application object: start-up (Init), frame list and lookups, modal
// dialogs, dialog preparation, the manual, and the shutdown.
#include "app.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "app_window.h"
#include "base/crc32.h"
#include "base/str_util.h"
#include "config_backup.h"
#include "data_path_wait.h"
#include "dialog_util.h"
#include "dock_bay.h"
#include "file_finder.h"
#include "framework_messages.h"
#include "instance_window.h"
#include "item_resources.h"
#include "menu.h"
#include "message_box.h"
#include "monitors.h"
#include "schedules.h"
#include "settings/data_folders.h"
#include "settings/record_file.h"
#include "shell_util.h"
#include "ui_item.h"

CApp gApp;

bool EnsureWindowClass(const char* name, WNDPROC proc, LPCSTR cursor, HBRUSH background, HICON icon, UINT style) {
    WNDCLASSA wc;
    if (GetClassInfoA(gApp.instance, name, &wc))
        return true;
    memset(&wc, 0, sizeof wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = gApp.instance;
    wc.hCursor = cursor ? LoadCursorA(nullptr, cursor) : nullptr;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

static const char kAppRecordName[] = "(Mox)App";

static void DefaultRecord(AppRecord* r) {
    memset(r, 0, sizeof *r);
    r->colorMode = kSchemeAutomatic;
    r->colors[0] = 0xEE6E18;
    r->colors[2] = 0x55ADFF;
}

CApp::CApp() {
    DefaultRecord(&record);
    BuildCrcTable();
}

CApp::~CApp() {
    CloseAll();
    if (broadcastRestart && instanceMessage)
        PostMessageA(HWND_BROADCAST, instanceMessage, MoxMSG_RESTART, (LPARAM)productCrc);
    if (restartMode != 0 && modulePath[0]) {
        const char* verb = (restartMode == 2 && osCode >= 600) ? "runas" : nullptr;
        ShellExecuteA(nullptr, verb, modulePath, restartParams[0] ? restartParams : nullptr, nullptr, SW_SHOWNORMAL);
    }
    for (int i = 0; i < fonts_.count; i++)
        DeleteObject(fonts_.At(i)->font);
    fonts_.RemoveAll();
    for (int i = 0; i < dialogFonts_.count; i++)
        DeleteObject(dialogFonts_.At(i)->font);
    dialogFonts_.RemoveAll();
    FreeSwitches(&switches);
}

const char* CApp::Text(WORD id, int slot) const {
    const char* t = strings.Get(id, slot);
    return t ? t : "";
}

// The version numbers of the program file's version resource (0 when it has none).
static void ReadVersion(const char* path, int* major, int* minor, int* build) {
    DWORD handle = 0;
    DWORD cb = GetFileVersionInfoSizeA(path, &handle);
    if (cb == 0)
        return;
    void* block = malloc(cb);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (block && GetFileVersionInfoA(path, 0, cb, block) && VerQueryValueA(block, "\\", (void**)&info, &len) && info &&
        len >= sizeof *info) {
        *major = HIWORD(info->dwFileVersionMS);
        *minor = LOWORD(info->dwFileVersionMS);
        *build = HIWORD(info->dwFileVersionLS);
    }
    free(block);
}

static bool OsAtLeast(DWORD major, DWORD minor) {
    OSVERSIONINFOEXA v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    DWORDLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoA(&v, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

static int OsCode() {
    if (OsAtLeast(10, 0))
        return 630;
    if (OsAtLeast(6, 2))
        return 620;
    if (OsAtLeast(6, 1))
        return 610;
    if (OsAtLeast(6, 0))
        return 600;
    return 510;
}

int CApp::Init(HINSTANCE inst, WORD textId, TextRecord* appTable, bool allowSeveral, int formatVersion,
               const char* cmdLine, int showCmd) {
    instance = inst;
    productTextId = textId;
    StrCopy(commandLine, countof(commandLine), cmdLine ? cmdLine : "");
    int code = InitSteps(appTable, allowSeveral, formatVersion, showCmd);
    switch (code) {
        case 0:
        case kMoxErrHandedOver:
        case kMoxErrDataFolder:  // its own message was shown, or the user cancelled
            break;
        default:
            ShowInitError(code);
            break;
    }
    return code;
}

void CApp::ShowInitError(int code) {
    AppMessageBox(nullptr, productName, Text(IDS_MOX_INIT_ERROR, 0), kBoxErrorOk, 0, code);
}

// Per-monitor DPI awareness, when the system has it.
static void EnableDpiAwareness(CApp* app) {
    HMODULE user32 = GetModuleHandleA("user32");
    typedef BOOL(WINAPI * SetAwarenessFn)(HANDLE);
    SetAwarenessFn setAwareness =
        user32 ? (SetAwarenessFn)(void*)GetProcAddress(user32, "SetProcessDpiAwarenessContext") : nullptr;
    if (setAwareness) {
        app->getDpiForWindow = (UINT(WINAPI*)(HWND))(void*)GetProcAddress(user32, "GetDpiForWindow");
        setAwareness((HANDLE)(INT_PTR)-4);
    }
}

// The product's name, identity and message, the monitors and the visuals'
// own set-up. 0 or the visuals' code.
int CApp::InitIdentity(TextRecord* appTable) {
    strings.SetAppTable(0, appTable);
    StrCopy(productName, countof(productName), Text(productTextId, 0));
    processId = GetCurrentProcessId();
    instanceMessage = RegisterWindowMessageA("MoxMSG_MoxCONTROL");
    productCrc = Crc32(productName, -1);
    RefreshMonitors();
    doubleClickTime = (int)GetDoubleClickTime();
    return visuals.Init(instance);
}

// The switches of the command line, the start-up flags and the program
// file's path and version. Returns the wait mode of the command line.
int CApp::ReadStartArguments(int showCmd) {
    startMinimised = showCmd != SW_SHOWNORMAL && showCmd != SW_SHOW && showCmd != SW_SHOWDEFAULT;
    CmdLineFlags flags = {false, false};
    int waitMode = ParseCommandLine(&switches, commandLine, &flags);
    autostart = flags.autostart;
    startMinimised = startMinimised || flags.startMinimized;

    if (!GetModuleFileNameA(nullptr, modulePath, countof(modulePath)))
        modulePath[0] = '\0';
    ReadVersion(modulePath, &versionMajor, &versionMinor, &versionBuild);
    return waitMode;
}

// The colour scheme and the fonts of the record's face and size (points) at
// the screen's DPI. 0 or the visuals' code.
int CApp::InitSchemeAndFonts() {
    BYTE mode = record.colorMode;  // the resolved mode is not stored: "automatic" stays the user's choice
    int schemeCode = visuals.UpdateColorScheme(&mode, record.colors);
    if (schemeCode)
        return schemeCode;
    HDC screen = GetDC(nullptr);
    UINT screenDpi = screen ? (UINT)GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    int fontCode = visuals.SetupFonts(record.fontFace[0] ? record.fontFace : nullptr,
                                      record.fontSize > 0 ? MulDiv(record.fontSize, 96, 72) : 0, screenDpi);
    if (fontCode)
        return fontCode;
    visualsReady = true;
    return 0;
}

// The common controls, the hidden instance window, the shared tooltip and
// the program icon. 0 or kMoxErrCommonControls.
int CApp::CreateSharedWindows() {
    if (!CommonControlsAbove470())
        return kMoxErrCommonControls;
    const DWORD kAllControlClasses = 0xFFFF;
    INITCOMMONCONTROLSEX icc = {sizeof icc, kAllControlClasses};
    InitCommonControlsEx(&icc);

    EnsureWindowClass("MoxPhantom", PhantomWndProc, nullptr, nullptr,
                      LoadIconA(instance, MAKEINTRESOURCEA(kIdiProgram)));
    instanceWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "MoxPhantom", productName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, instance, nullptr);
    toolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, nullptr, nullptr,
                              instance, nullptr);
    if (toolTip)
        SetWindowPos(toolTip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    icon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(kIdiProgram), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    return 0;
}

int CApp::InitSteps(TextRecord* appTable, bool allowSeveral, int formatVersion, int showCmd) {
    EnableDpiAwareness(this);
    int code = InitIdentity(appTable);
    if (code)
        return code;
    int waitMode = ReadStartArguments(showCmd);

    // A second start hands over before it reads or writes any file of the
    // running instance (the command record, the first-run copy, a restore).
    code = HandOver(waitMode, allowSeveral);
    if (code)
        return code;

    if (ReadInstallSettings(productName, installSettings) < kCbInstallSettings)
        return kMoxErrInstallSettings;
    code = PrepareDataFolders(waitMode);
    if (code)
        return code;
    CopyInitFolder();
    PendingFailure restoreFailure;
    int restore = UnpackPendingRestore(&restoreFailure);
    ReadAppRecord(formatVersion);
    // Said once, in the user's language; the pending file is gone.
    if (restore == kPendingRefused || restore == kPendingFailed)
        ShowPendingFailure(restore, restoreFailure);
    WriteRecordFile("(Mox)Cmd", -1, commandLine, (int)strlen(commandLine) + 1, 0);

    code = InitSchemeAndFonts();
    if (code)
        return code;
    code = CreateSharedWindows();
    if (code)
        return code;
    code = AddFrameworkCommands();
    if (code)
        return code;
    RunDueSchedules();
    return 0;
}

// The framework's own commands and the icons of the window menu, in their
// order: separators, the bars' overflow menu, the window menu and its
// submenus, each icon before its command. The icons are drawn for the
// screen's DPI; the colour swatches are painted by the first frame.
int CApp::AddFrameworkCommands() {
    static const WORD kCaption[] = {IDM_MOX_CAPTION_NORMAL, IDM_MOX_CAPTION_SMALL, IDM_MOX_CAPTION_NONE,
                                    IDM_MOX_BORDERLESS, kIdListEnd};
    static const WORD kColor[] = {IDM_MOX_SCHEME_NONE, IDM_MOX_SCHEME_DEFAULT, IDM_MOX_SCHEME_CUSTOM, kIdListEnd};
    static const WORD kSwatches[] = {IDM_MOX_COLOR_BACKGROUND, IDM_MOX_COLOR_FOCUS, IDM_MOX_COLOR_TEXT,
                                     IDM_MOX_COLOR_HIGHLIGHT_TEXT, kIdListEnd};
    static const WORD kFont[] = {IDM_MOX_FONT_DEFAULT, IDM_MOX_FONT_CUSTOM, kIdListEnd};
    static const WORD kLock[] = {
        IDM_MOX_LOCK_BAR_POSITIONS, IDM_MOX_LOCK_BAR_SIZES, IDM_MOX_LOCK_POSITION,   IDM_MOX_LOCK_SIZE,
        IDM_MOX_LOCK_ALL,           kCmdSeparatorId,        IDM_MOX_LOCK_RESOLUTION, kIdListEnd};
    static const WORD kTransparency[] = {TransparencyCommand(0),  kCmdSeparatorId,
                                         TransparencyCommand(10), TransparencyCommand(20),
                                         TransparencyCommand(30), TransparencyCommand(40),
                                         TransparencyCommand(50), TransparencyCommand(60),
                                         TransparencyCommand(70), TransparencyCommand(80),
                                         TransparencyCommand(90), kCmdSeparatorId,
                                         IDM_MOX_GHOST,           kIdListEnd};
    const DWORD kText = kCmdCaption, kIconText = kCmdIcon | kCmdCaption;
    int size = MulDiv(16, (int)GetWindowDpi(nullptr), 96);
    auto icon = [&](WORD id, int resourceId, DWORD iconFlags = 0) {
        return visuals.AddIcon(id, resourceId, iconFlags, iconFlags & kIconAppDrawn ? 16 : size) == 0;
    };
    auto command = [&](WORD id, WORD kind, DWORD cmdFlags, const WORD* list = nullptr) {
        int textId = kind == kKindSeparator ? 0 : id == IDM_MOX_MORE_ITEMS ? IDS_MOX_MORE_ITEMS : -1;
        return AddCommand(id, kind, cmdFlags, (cmdFlags & kCmdIcon) ? -1 : 0, textId, (void*)list) >= 0;
    };
    // Runs of buttons with consecutive ids.
    auto buttons = [&](WORD first, WORD last, DWORD cmdFlags) {
        bool ok = true;
        for (WORD id = first; ok && id <= last; id++)
            ok = command(id, kKindButton, cmdFlags);
        return ok;
    };
    if (!command(kCmdSeparatorId, kKindSeparator, kCmdFill) ||
        !command(kCmdSeparatorLineId, kKindSeparator, kCmdSplit) || !command(IDM_MOX_MORE_ITEMS, kKindMenu, kText) ||
        !command(IDM_MOX_WINDOW_MENU, kKindMenu, kText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_ON_TOP, IDI_MOX_FRAME_ON_TOP))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_ON_TOP, kKindButton, kIconText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_TASKBAR, IDI_MOX_FRAME_TASKBAR))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_TASKBAR, kKindButton, kIconText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_CAPTION, IDI_MOX_FRAME_CAPTION))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_CAPTION, kKindMenu, kIconText, kCaption) ||
        !buttons(IDM_MOX_CAPTION_NORMAL, IDM_MOX_BORDERLESS, kText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_COLOR, IDI_MOX_FRAME_COLOR))
        return kMoxErrMenuIcon;
    for (WORD id = IDM_MOX_COLOR_BACKGROUND; id <= IDM_MOX_COLOR_HIGHLIGHT_TEXT; id++)
        if (!icon(id, 0, kIconAppDrawn))
            return kMoxErrMenuIcon;
    if (!command(IDM_MOX_COLOR, kKindMenu, kIconText, kColor) || !command(IDM_MOX_SCHEME_NONE, kKindButton, kText) ||
        !command(IDM_MOX_SCHEME_DEFAULT, kKindButton, kText) ||
        !command(IDM_MOX_SCHEME_CUSTOM, kKindMenu, kCmdSplit | kText, kSwatches) ||
        !buttons(IDM_MOX_COLOR_BACKGROUND, IDM_MOX_COLOR_HIGHLIGHT_TEXT, kIconText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_FONT, IDI_MOX_FRAME_FONT))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_FONT, kKindMenu, kIconText, kFont) ||
        !buttons(IDM_MOX_FONT_DEFAULT, IDM_MOX_FONT_CUSTOM, kText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_LOCK, IDI_MOX_FRAME_LOCK))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_LOCK, kKindMenu, kIconText, kLock) ||
        !buttons(IDM_MOX_LOCK_BAR_POSITIONS, IDM_MOX_LOCK_RESOLUTION, kText))
        return kMoxErrCommandAdd;
    if (!icon(IDM_MOX_TRANSPARENCY, IDI_MOX_FRAME_TRANSPARENCY))
        return kMoxErrMenuIcon;
    if (!command(IDM_MOX_TRANSPARENCY, kKindMenu, kIconText, kTransparency) ||
        !buttons(IDM_MOX_TRANSPARENCY_OFF, IDM_MOX_GHOST, kText))
        return kMoxErrCommandAdd;
    // The value items draw these two at several sizes: one large image.
    if (visuals.AddIcon(MOX_ICON_VALUE_RING, IDI_MOX_VALUE_RING, 0, 32) != 0 ||
        visuals.AddIcon(MOX_ICON_VALUE_PICK, IDI_MOX_VALUE_PICK, 0, 32) != 0)
        return kMoxErrMenuIcon;
    return 0;
}

int CApp::HandOver(int waitMode, bool allowSeveral) {
    taskbarMessage = RegisterWindowMessageA("TaskbarCreated");
    HMODULE user32 = GetModuleHandleA("user32");
    typedef BOOL(WINAPI * FilterFn)(UINT, DWORD);
    FilterFn filter = user32 ? (FilterFn)(void*)GetProcAddress(user32, "ChangeWindowMessageFilter") : nullptr;
    if (filter) {
        filter(taskbarMessage, 1);
        filter(instanceMessage, 1);
    }
    osCode = OsCode();
    typedef BOOL(WINAPI * Wow64Fn)(HANDLE, PBOOL);
    Wow64Fn isWow64 = (Wow64Fn)(void*)GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process");
    BOOL wow = FALSE;
    wow64 = isWow64 && isWow64(GetCurrentProcess(), &wow) && wow;

    if (allowSeveral && waitMode != -1)
        return 0;
    // The instance window exists only once start-up is through (after the
    // data-folder wait and the restore): the mutex marks a running
    // instance from its first moment, so that a second start never runs
    // beside it.
    bool another = false;
    if (waitMode != -1) {
        char name[64];
        StrFmt(name, countof(name), "Local\\MoxInstance-%08X", (unsigned)productCrc);
        instanceMutex = CreateMutexA(nullptr, FALSE, name);
        another = instanceMutex && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    // One still starting has no window to take the request yet: it gets a
    // few seconds to make it. After that (it still waits for its data
    // folder, or shows a message) this start ends without handing over.
    const DWORD kStartingWaitMs = 5000, kStartingPollMs = 100;
    HWND running = FindPhantomWindow(productName);
    for (DWORD start = GetTickCount(); another && !running && GetTickCount() - start < kStartingWaitMs;) {
        Sleep(kStartingPollMs);
        running = FindPhantomWindow(productName);
    }
    if (another || running || waitMode == -1) {
        PostMessageA(HWND_BROADCAST, instanceMessage, waitMode == -1 ? MoxMSG_QUIT : MoxMSG_SECONDSTART,
                     (LPARAM)productCrc);
        handedOver = true;
        return kMoxErrHandedOver;
    }
    return 0;
}

int CApp::PrepareDataFolders(int waitMode) {
    if (!DeriveDataFolders(installSettings, productName, gUserDataFolder, gCommonDataFolder)) {
        AppMessageBox(nullptr, productName, Text(IDS_MOX_DATA_FOLDER, 0), kBoxErrorOk, 0, gUserDataFolder);
        return kMoxErrDataFolder;
    }
    char tip[260], menuText[260];
    StrFmt(tip, countof(tip), "%s: %s", productName, Text(IDS_MOX_DATA_FOLDER, 1));
    StrFmt(menuText, countof(menuText), Text(IDS_MOX_DATA_FOLDER, 2), productName);
    const char* folders[2] = {gUserDataFolder, gCommonDataFolder};
    int count = _stricmp(gUserDataFolder, gCommonDataFolder) == 0 ? 1 : 2;
    for (int i = 0; i < count; i++) {
        CDataPathWait waiter(instance);
        int r = waiter.Wait(folders[i], waitMode == 1 ? -1 : 1, kIdiProgram, tip, menuText);
        if (r == 1)
            return kMoxErrDataFolder;
        if (r != 0 || TestDataFolderWrite(folders[i]) != 0) {
            AppMessageBox(nullptr, productName, Text(IDS_MOX_DATA_FOLDER, 0), kBoxErrorOk, 0, folders[i]);
            return kMoxErrDataFolder;
        }
    }
    return 0;
}

// First run: the install folder's "Init" files seed a new data folder,
// never overwriting a file that is there.
void CApp::CopyInitFolder() {
    char recordPath[kCchPath];
    if (!RecordFilePath(kAppRecordName, -1, recordPath, countof(recordPath), 0) ||
        GetFileAttributesA(recordPath) != INVALID_FILE_ATTRIBUTES)
        return;
    char installFolder[kCchPath], initFolder[kCchPath];
    InstallSettingsText(installSettings, kInstallFolder, installFolder, countof(installFolder));
    if (!installFolder[0] || !StrFmt(initFolder, countof(initFolder), "%s\\Init", installFolder))
        return;
    CFileFinder finder;
    int found = finder.Search(initFolder, "*.*");
    size_t rootLen = strlen(initFolder);
    for (int i = 0; i < found && i < finder.FileCount(); i++) {
        const char* src = finder.File(i);
        char dst[kCchPath];
        if (_strnicmp(src, initFolder, rootLen) != 0 ||
            !StrFmt(dst, countof(dst), "%s%s", gUserDataFolder, src + rootLen))
            continue;
        char folder[kCchPath];
        StrCopy(folder, countof(folder), dst);
        char* slash = strrchr(folder, '\\');
        if (slash) {
            *slash = '\0';
            CDataPathWait::CreateFolderPath(folder);
        }
        CopyFileA(src, dst, TRUE);
    }
}

void CApp::ReadAppRecord(int formatVersion) {
    AppRecord r = record;
    if (ReadRecordFile(kAppRecordName, -1, &r, sizeof r, 0) > 0)
        record = r;
    if (record.formatVersion != formatVersion)
        recordVersionChanged = true;
    record.formatVersion = formatVersion;
    if (record.language != 0 && record.language != 1)
        record.language = 0;
    record.fontFace[sizeof record.fontFace - 1] = '\0';
    strings.SetLanguage(record.language);
    recordRead = true;
}

void CApp::SaveAppRecord() {
    // A record that was never read (a failed start) must not replace the user's.
    if (!recordRead || handedOver)
        return;
    for (int i = 0; i < bars.count; i++)
        (*bars.At(i))->SavePosition();
    for (int i = 0; i < frames.count; i++)
        (*frames.At(i))->SavePlacement();
    WriteRecordFile(kAppRecordName, -1, &record, sizeof record, 0);
}

void CApp::CloseAll() {
    if (toolTip)
        DestroyWindow(toolTip);
    toolTip = nullptr;
    if (instanceWindow)
        DestroyWindow(instanceWindow);
    instanceWindow = nullptr;
    // Released before a relaunch starts the program again.
    if (instanceMutex)
        CloseHandle(instanceMutex);
    instanceMutex = nullptr;
    if (!handedOver)
        SaveAppRecord();
    CloseMenus(nullptr);
    delete sharedMenu;
    sharedMenu = nullptr;
    for (int i = bars.count - 1; i >= 0; i--)
        delete *bars.At(i);
    bars.RemoveAll();
    for (int i = frames.count - 1; i >= 0; i--)
        delete *frames.At(i);
    frames.RemoveAll();
    if (icon)
        DestroyIcon(icon);
    icon = nullptr;
}

static int CompareFrames(CAppWindow* const* a, CAppWindow* const* b) {
    return (int)(*a)->index - (int)(*b)->index;
}

int CApp::CreateFrame(WORD index, WNDPROC proc, const char* title, int iconId, DWORD flags, const RECT* rect) {
    CAppWindow* frame = new CAppWindow;
    frame->index = index;
    int pos = frames.InsertSorted(&frame, CompareFrames);
    if (pos < 0) {
        delete frame;
        return -1;
    }
    int x = rect ? rect->left : 0, y = rect ? rect->top : 0;
    int w = rect ? rect->right - rect->left : 0, h = rect ? rect->bottom - rect->top : 0;
    if (frame->Create(index, proc, title, iconId, flags, x, y, w, h) != 0) {
        frames.RemoveAt(pos);
        delete frame;
        return -1;
    }
    if (frames.count == 1)
        visuals.SetIconPainter(frame->window);  // the first frame paints the application's icons
    return pos;
}

CAppWindow* CApp::FrameByWindow(HWND hwnd) const {
    for (int i = 0; i < frames.count; i++)
        if ((*frames.At(i))->window == hwnd)
            return *frames.At(i);
    return nullptr;
}

CAppWindow* CApp::FrameByIndex(WORD index) const {
    for (int i = 0; i < frames.count; i++)
        if ((*frames.At(i))->index == index)
            return *frames.At(i);
    return nullptr;
}

CAppWindow* CApp::FrameOfWindow(HWND hwnd) const {
    for (; hwnd; hwnd = GetParent(hwnd))
        if (CAppWindow* f = FrameByWindow(hwnd))
            return f;
    return nullptr;
}

CAppWindow* CApp::FrameAtPoint(POINT pt) const {
    return FrameOfWindow(WindowFromPoint(pt));
}

CBar* CApp::BarById(WORD id) const {
    for (int i = 0; i < bars.count; i++)
        if ((*bars.At(i))->command == id)
            return *bars.At(i);
    return nullptr;
}

CUIItem* CApp::ItemByCommand(WORD id) const {
    for (int i = 0; i < bars.count; i++) {
        const CBar* bar = *bars.At(i);
        for (int k = 0; k < bar->items.count; k++) {
            CUIItem* item = dynamic_cast<CUIItem*>(*bar->items.At(k));
            if (item && item->commandId == id)
                return item;
        }
    }
    return nullptr;
}

bool CApp::DeleteBar(int pos) {
    if (pos < 0 || pos >= bars.count)
        return false;
    CBar* bar = *bars.At(pos);
    DeleteCommand(bar->command);
    bars.RemoveAt(pos);
    delete bar;
    return true;
}

bool CApp::DeleteFrame(WORD index) {
    for (int i = 0; i < frames.count; i++) {
        CAppWindow* frame = *frames.At(i);
        if (frame->index != index)
            continue;
        // Its bars go first: they point at the frame and live in its bays.
        for (int b = bars.count - 1; b >= 0; b--)
            if ((*bars.At(b))->frameIndex == index)
                DeleteBar(b);
        if (frame == FrameByIndex(activeFrame))
            activeFrame = kNoActiveFrame;
        frames.RemoveAt(i);
        delete frame;
        visuals.SetIconPainter(frames.count ? (*frames.At(0))->window : nullptr);
        return true;
    }
    return false;
}

HWND CApp::ForegroundWindowOfProcess() const {
    HWND fg = GetForegroundWindow();
    DWORD pid = 0;
    if (fg)
        GetWindowThreadProcessId(fg, &pid);
    return pid == processId ? fg : nullptr;
}

LRESULT CApp::SendToMainFrame(UINT msg, WPARAM wp, LPARAM lp) {
    if (frames.count == 0)
        return -1;
    CAppWindow* target = *frames.At(0);
    for (int i = frames.count - 1; i >= 1; i--)
        if ((*frames.At(i))->flags & kFrameMainFrame) {
            target = *frames.At(i);
            break;
        }
    return SendMessageA(target->window, msg, wp, lp);
}

void CApp::DisableFrames(bool on) {
    if (on)
        modalDepth++;
    else if (modalDepth > 0)
        modalDepth--;
    for (int i = 0; i < frames.count; i++)
        SendMessageA((*frames.At(i))->window, MoxMSG_BUSY, (WPARAM)modalDepth, 0);
}

INT_PTR CApp::RunModalDialog(HWND owner, int dialogId, DLGPROC proc, LPARAM param) {
    if (owner) {
        CAppWindow* frame = FrameByWindow(owner);
        if (frame && !(frame->flags & kFrameHidden))
            ShowWindow(frame->window, SW_SHOW);
        else if (!frame)
            ShowWindow(owner, SW_SHOW);
        SetForegroundWindow(owner);
    }
    DisableFrames(true);
    INT_PTR r = DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), owner, proc, param);
    DisableFrames(false);
    return r;
}

UINT CApp::GetWindowDpi(HWND hwnd) const {
    UINT dpi = getDpiForWindow && hwnd ? getDpiForWindow(hwnd) : 0;
    if (dpi == 0) {
        HDC dc = GetDC(nullptr);
        dpi = dc ? (UINT)GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
    }
    return dpi < 96 ? 96 : dpi;
}

HFONT CApp::UiFont(UINT dpi, bool bold) {
    if (visualsReady) {
        HFONT f = visuals.FontForDpi(bold ? kFontTextBold : kFontText, dpi);
        if (f)
            return f;
    }
    for (int i = 0; i < fonts_.count; i++)
        if (fonts_.At(i)->dpi == dpi && fonts_.At(i)->bold == bold)
            return fonts_.At(i)->font;
    NONCLIENTMETRICSA ncm;
    memset(&ncm, 0, sizeof ncm);
    ncm.cbSize = sizeof ncm;
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
        lf = ncm.lfMessageFont;
    else
        StrCopy(lf.lfFaceName, countof(lf.lfFaceName), "MS Shell Dlg 2");
    if (record.fontFace[0])
        StrCopy(lf.lfFaceName, countof(lf.lfFaceName), record.fontFace);
    int points = record.fontSize > 0 ? record.fontSize : 9;
    lf.lfHeight = -MulDiv(points, (int)dpi, 72);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    FontSlot slot = {dpi, bold, CreateFontIndirectA(&lf)};
    if (!slot.font)
        return (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    fonts_.Add(&slot);
    return slot.font;
}

// The check box stands on the top line of the group box to its left.
static bool IsGroupCaptionCheck(HWND dialog, HWND check, const RECT& rc) {
    int h = rc.bottom - rc.top;
    POINT pt = {rc.left - 1, (rc.top + rc.bottom) / 2};
    HWND left = ChildWindowFromPointEx(dialog, pt, CWP_SKIPINVISIBLE);
    if (!left || left == dialog || left == check)
        return false;
    char cls[16];
    if (!GetClassNameA(left, cls, countof(cls)) || _stricmp(cls, "Button") != 0 ||
        (GetWindowLongA(left, GWL_STYLE) & 0xF) == 0)
        return false;
    RECT g;
    GetWindowRect(left, &g);
    MapWindowPoints(nullptr, dialog, (POINT*)&g, 2);
    return abs(g.top - rc.top) <= h / 2 && rc.left >= g.left && rc.left - g.left <= 3 * h;
}

// Window properties of a prepared dialog: the DPI it is laid out for, and
// the font its children have when ApplyDialogFont replaced the template's.
static const char kDialogDpiProp[] = "MoxDialogDpi";
static const char kDialogFontProp[] = "MoxDialogFont";

// Under per-monitor awareness the system would scale a dialog itself on a
// DPI change; ApplyDialogFont does it, so the system is told not to.
static void KeepDpiScalingToUs(HWND dialog) {
    typedef BOOL(WINAPI * SetBehaviorFn)(HWND, int, int);
    static SetBehaviorFn setBehavior = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
        HMODULE user32 = GetModuleHandleA("user32");
        setBehavior = user32 ? (SetBehaviorFn)(void*)GetProcAddress(user32, "SetDialogDpiChangeBehavior") : nullptr;
    }
    const int kDisableAll = 1;  // DDC_DISABLE_ALL
    if (setBehavior)
        setBehavior(dialog, kDisableAll, kDisableAll);
}

UINT CApp::DialogDpi(HWND dialog) const {
    UINT dpi = (UINT)(UINT_PTR)GetPropA(dialog, kDialogDpiProp);
    return dpi ? dpi : GetWindowDpi(dialog);
}

HFONT CApp::ScaledDialogFont(HFONT from, UINT fromDpi, UINT toDpi) {
    LOGFONTA lf;
    memset(&lf, 0, sizeof lf);
    if (!from || !GetObjectA(from, sizeof lf, &lf))
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    if (fromDpi == toDpi && from)
        return from;
    if (lf.lfHeight < 0) {
        // A template's size in whole points, made as the dialog manager
        // makes it for that DPI.
        int points = MulDiv(-lf.lfHeight, 72, (int)fromDpi);
        lf.lfHeight = -MulDiv(points, (int)toDpi, 72);
    } else {
        lf.lfHeight = MulDiv(lf.lfHeight, (int)toDpi, (int)fromDpi);
    }
    lf.lfWidth = MulDiv(lf.lfWidth, (int)toDpi, (int)fromDpi);
    for (int i = 0; i < dialogFonts_.count; i++) {
        const LOGFONTA& have = dialogFonts_.At(i)->lf;
        if (have.lfHeight == lf.lfHeight && have.lfWidth == lf.lfWidth && have.lfWeight == lf.lfWeight &&
            have.lfItalic == lf.lfItalic && _stricmp(have.lfFaceName, lf.lfFaceName) == 0)
            return dialogFonts_.At(i)->font;
    }
    DialogFont made = {lf, CreateFontIndirectA(&lf)};
    if (!made.font)
        return from;
    dialogFonts_.Add(&made);
    return made.font;
}

// A font's dialog base units, as the dialog manager computes them: the
// average width of the letters and the character height.
static SIZE DialogUnitsOf(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm;
    memset(&tm, 0, sizeof tm);
    GetTextMetricsA(dc, &tm);
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE letters = {0, 0};
    GetTextExtentPoint32A(dc, kLetters, 52, &letters);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    SIZE units = {(letters.cx / 26 + 1) / 2, tm.tmHeight};
    if (units.cx < 1)
        units.cx = 1;
    if (units.cy < 1)
        units.cy = 1;
    return units;
}

// The child's rectangle in its parent's client coordinates, scaled from the
// old dialog units to the new ones (edges scaled, so neighbours stay
// neighbours): what the dialog manager would have made with the new font.
static RECT ScaledChildRect(HWND parent, HWND child, SIZE from, SIZE to) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
    char cls[16] = "";
    GetClassNameA(child, cls, countof(cls));
    if (_stricmp(cls, "ComboBox") == 0) {
        // The height that sizes a combo box includes its drop-down list.
        RECT dropped;
        if (SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped) && dropped.bottom > dropped.top)
            r.bottom = r.top + (dropped.bottom - dropped.top);
    }
    RECT out = {MulDiv(r.left, to.cx, from.cx), MulDiv(r.top, to.cy, from.cy), MulDiv(r.right, to.cx, from.cx),
                MulDiv(r.bottom, to.cy, from.cy)};
    return out;
}

HFONT CApp::ApplyDialogFont(HWND dialog, UINT dpi, const RECT* suggested) {
    if (dpi < 96)
        dpi = 96;
    UINT old = DialogDpi(dialog);
    HFONT oldBold = UiFont(old, true), bold = UiFont(dpi, true);
    HFONT oldFont = (HFONT)GetPropA(dialog, kDialogFontProp);
    if (!oldFont)
        oldFont = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    HFONT font = ScaledDialogFont(oldFont, old, dpi);
    SIZE fromUnits = DialogUnitsOf(oldFont), toUnits = DialogUnitsOf(font);
    // The children first, while the dialog keeps its size.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = "";
        GetClassNameA(child, cls, countof(cls));
        bool isDialog = strcmp(cls, "#32770") == 0;
        RECT r = ScaledChildRect(dialog, child, fromUnits, toUnits);
        if (!isDialog) {
            HFONT has = (HFONT)SendMessageA(child, WM_GETFONT, 0, 0);
            if (has == oldBold && oldBold)
                SendMessageA(child, WM_SETFONT, (WPARAM)bold, FALSE);
            else if (!has || has == oldFont)
                SendMessageA(child, WM_SETFONT, (WPARAM)font, FALSE);
        }
        if (old != dpi)
            SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetPropA(dialog, kDialogFontProp, (HANDLE)font);
    SetPropA(dialog, kDialogDpiProp, (HANDLE)(UINT_PTR)dpi);
    if (!(GetWindowLongA(dialog, GWL_STYLE) & WS_CHILD) && (suggested || old != dpi)) {
        // The client area grows as the controls did; a suggested rectangle
        // gives the place (and the size, when it is not smaller).
        RECT window, client;
        GetWindowRect(dialog, &window);
        GetClientRect(dialog, &client);
        int w = window.right - window.left + MulDiv(client.right, toUnits.cx, fromUnits.cx) - client.right;
        int h = window.bottom - window.top + MulDiv(client.bottom, toUnits.cy, fromUnits.cy) - client.bottom;
        int x = window.left, y = window.top;
        if (suggested) {
            x = suggested->left;
            y = suggested->top;
            if (suggested->right - suggested->left > w)
                w = suggested->right - suggested->left;
            if (suggested->bottom - suggested->top > h)
                h = suggested->bottom - suggested->top;
        }
        SetWindowPos(dialog, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(dialog, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    return bold;
}

HFONT CApp::PrepareDialog(HWND dialog) {
    UINT dpi = GetWindowDpi(dialog);
    SetPropA(dialog, kDialogDpiProp, (HANDLE)(UINT_PTR)dpi);
    KeepDpiScalingToUs(dialog);
    HFONT bold = UiFont(dpi, true);
    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    int defId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : -1;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16];
        if (!GetClassNameA(child, cls, countof(cls)) || _stricmp(cls, "Button") != 0)
            continue;
        LONG style = GetWindowLongA(child, GWL_STYLE);
        bool isDefault = GetDlgCtrlID(child) == defId;
        bool isGroup = (style & 7) == BS_GROUPBOX;
        bool captionCheck = false;
        RECT rc;
        if (!isDefault && !isGroup && (style & 0x2)) {
            GetWindowRect(child, &rc);
            MapWindowPoints(nullptr, dialog, (POINT*)&rc, 2);
            captionCheck = IsGroupCaptionCheck(dialog, child, rc);
        }
        if (isDefault || isGroup || captionCheck)
            SendMessageA(child, WM_SETFONT, (WPARAM)bold, TRUE);
        if (captionCheck)
            SetWindowPos(child, nullptr, 0, 0, (rc.right - rc.left) * 12 / 10, rc.bottom - rc.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HICON programIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIdiProgram));
    if (programIcon)
        SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)programIcon);
    SetFocus(dialog);
    CenterWindow(dialog, nullptr);
    FollowParentTopmost(dialog);
    return bold;
}

void CApp::SetSchemeMode(BYTE mode) {
    record.colorMode = mode;
    if (visualsReady) {
        BYTE resolved = mode;
        visuals.UpdateColorScheme(&resolved, record.colors);
    }
    for (int i = 0; i < frames.count; i++)
        RedrawWindow((*frames.At(i))->window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    for (int i = 0; i < bars.count; i++)
        RedrawWindow((*bars.At(i))->window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void CApp::RedrawFrameBorders() {
    for (int i = 0; i < frames.count; i++) {
        CAppWindow* f = *frames.At(i);
        SendMessageA(f->window, WM_NCACTIVATE, FALSE, 0);
        if (f->flags & kFrameNoCaption)
            SendMessageA(f->window, WM_NCPAINT, 1, 0);
    }
    for (int i = 0; i < bars.count; i++)
        SendMessageA((*bars.At(i))->window, WM_NCACTIVATE, FALSE, 0);
}

void CApp::SetDragCursor(int edge) {
    // Edges clockwise from the top-left corner: 1 and 5 north-west/south-east,
    // 3 and 7 north-east/south-west, 2 and 6 (left, right) west-east, 4 and
    // 8 (bottom, top) north-south.
    static const LPCSTR kCursors[9] = {IDC_ARROW,    IDC_SIZENWSE, IDC_SIZEWE,   IDC_SIZENESW, IDC_SIZENS,
                                       IDC_SIZENWSE, IDC_SIZEWE,   IDC_SIZENESW, IDC_SIZENS};
    SetCursor(LoadCursorA(nullptr, kCursors[edge >= 1 && edge <= 8 ? edge : 0]));
}

void CApp::SetTransparency(HWND hwnd, int percent, bool clickThrough) {
    LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
    if (percent <= 0) {
        SetWindowLongA(hwnd, GWL_EXSTYLE, ex & ~(WS_EX_LAYERED | WS_EX_TRANSPARENT));
        RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
        return;
    }
    ex |= WS_EX_LAYERED;
    ex = clickThrough ? ex | WS_EX_TRANSPARENT : ex & ~WS_EX_TRANSPARENT;
    SetWindowLongA(hwnd, GWL_EXSTYLE, ex);
    SetLayeredWindowAttributes(hwnd, 0, FrameAlpha(percent), LWA_ALPHA);
}

void CApp::ShowBar(CBar* bar, bool show) {
    if (show)
        bar->flags |= kBarOn;
    else
        bar->flags &= ~kBarOn;
    ShowWindow(bar->window, show ? SW_SHOWNA : SW_HIDE);
    for (int i = 0; i < frames.count; i++)
        (*frames.At(i))->Relayout(nullptr);
    CAppWindow* frame = FrameByIndex(bar->frameIndex);
    if (frame)
        SendMessageA(frame->window, MoxMSG_BARSHOWN, show ? 1 : 0, (LPARAM)bar);
}

void CApp::RequestRestart(int mode, const char* params, bool broadcast) {
    if (mode == -1)
        mode = IsProcessElevated(osCode) ? 2 : 1;
    restartMode = mode;
    StrCopy(restartParams, countof(restartParams), params ? params : commandLine);
    broadcastRestart = broadcast;
    PostQuitMessage(0);
}

int CApp::ShowManual(const char* path, const char* topic) {
    if (!path || !strstr(path, ".chm"))
        return 1;
    char full[kCchPath];
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        StrCopy(full, countof(full), path);
    } else {
        char install[kCchPath];
        InstallSettingsText(installSettings, kInstallFolder, install, countof(install));
        if (!StrFmt(full, countof(full), "%s\\%s", install, path))
            return 3;
    }
    char shortPath[kCchPath];
    DWORD n = GetShortPathNameA(full, shortPath, countof(shortPath));
    if (n > 0 && n < countof(shortPath))
        StrCopy(full, countof(full), shortPath);
    char exe[MAX_PATH] = "";
    UINT_PTR found = (UINT_PTR)FindExecutableA(full, nullptr, exe);
    if (found == SE_ERR_NOASSOC) {
        AppMessageBox(nullptr, productName, Text(IDS_MOX_MANUAL, 0), kBoxErrorOk, 1, full);
        return 2;
    }
    if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
        AppMessageBox(nullptr, productName, Text(IDS_MOX_MANUAL, 1), kBoxErrorOk, 1, full);
        return 3;
    }
    char arg[kCchText];
    bool fits = topic && *topic ? StrFmt(arg, countof(arg), "\"%s::/%s\"", full, topic)
                                : StrFmt(arg, countof(arg), "\"%s\"", full);
    if (!fits || (UINT_PTR)ShellExecuteA(nullptr, nullptr, exe, arg, nullptr, SW_SHOWNORMAL) <= 32) {
        AppMessageBox(nullptr, productName, Text(IDS_MOX_MANUAL, 0), kBoxErrorOk, 1, full);
        return 4;
    }
    return 0;
}
